#include "lang/ResourceDatabase.h"

#include <filesystem>
#include <optional>

#include "base/Utf8Path.h"
#include "lang/MessageFormat.h"
#include "lang/PrivateException.h"

namespace va5 {
namespace {

// An XPath literal for a key. XPath 1.0 has no escape inside literals: a key holding an
// apostrophe is put between double quotes instead, and a key holding both kinds of quote
// cannot be expressed and matches nothing.
std::optional<std::string> Literal(const std::string& key) {
  if (key.find('\'') == std::string::npos) return "'" + key + "'";
  if (key.find('"') == std::string::npos) return "\"" + key + "\"";
  return std::nullopt;
}

// A section is an element name inside the path; anything but a plain name is refused so
// that it cannot change the shape of the path.
bool IsPlainName(const std::string& name) {
  if (name.empty()) return false;
  for (const char c : name) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '_' || c == '-' || c == '.';
    if (!ok) return false;
  }
  return !(name[0] >= '0' && name[0] <= '9') && name[0] != '-' && name[0] != '.';
}

constexpr std::size_t kMessageBufferSize = 1024;

}  // namespace

void CResourceDatabase::InitEmpty() { xml_.CreateDocument("root"); }

std::string CResourceDatabase::ResolvePath(const std::string& fileName,
                                           const std::vector<std::string>& folders) {
  if (folders.empty()) return fileName;
  for (const std::string& folder : folders) {
    const std::filesystem::path candidate = Utf8Path(folder) / Utf8Path(fileName);
    std::error_code error;
    if (std::filesystem::is_regular_file(candidate, error)) return Utf8String(candidate);
  }
  return Utf8String(Utf8Path(folders.front()) / Utf8Path(fileName));
}

namespace {

template <typename Step>
void WrapFailures(const std::string& fileName, Step step) {
  std::string inner;
  try {
    step();
    return;
  } catch (const CPrivateException& error) {
    char buffer[kMessageBufferSize];
    error.GetErrorMessage(buffer, sizeof buffer);
    inner = buffer;
  } catch (const std::exception& error) {
    inner = FirstCharacters(error.what(), kMessageBufferSize - 1);
  }
  throw CPrivateException(
      FormatMessageText("Can't read resource file \"%1!s!\".%n%2!s!", {fileName, inner}));
}

}  // namespace

void CResourceDatabase::Load(const std::string& fileName, const std::vector<std::string>& folders) {
  WrapFailures(fileName, [&] {
    xml_.Load(ResolvePath(fileName, folders));
    CheckContent();
  });
}

void CResourceDatabase::LoadText(const std::string& fileName, std::string_view content) {
  WrapFailures(fileName, [&] {
    xml_.LoadText(content);
    CheckContent();
  });
}

void CResourceDatabase::CheckContent() const {
  if (SelectText("/root/application") != kApplication ||
      SelectText("/root/filetype") != kFileType || GetLanguageName().empty()) {
    throw CPrivateException("Illegal format");
  }
}

std::string CResourceDatabase::SelectText(const std::string& path) const {
  try {
    return xml_.SelectNodeText(path);
  } catch (const std::exception&) {
    return {};
  }
}

std::string CResourceDatabase::GetGuiText(int dialogId, int controlId) const {
  return SelectText("/root/gui[@name='" + std::to_string(dialogId) + "']/text[@name='" +
                    std::to_string(controlId) + "']");
}

std::string CResourceDatabase::GetSectionText(const std::string& section,
                                              const std::string& key) const {
  const auto name = Literal(key);
  if (!name || !IsPlainName(section)) return {};
  return SelectText("/root/" + section + "/text[@name=" + *name + "]");
}

std::string CResourceDatabase::GetLanguageName() const { return SelectText("/root/language"); }

std::string CResourceDatabase::GetDisplayName() const {
  const std::string shown = SelectText("/root/displayname");
  return shown.empty() ? GetLanguageName() : shown;
}

std::string CResourceDatabase::GetLocaleName() const {
  const std::string locale = SelectText("/root/locale");
  if (!locale.empty()) return locale;
  // Files written before the element existed: the one translated language then shipped.
  return GetLanguageName() == "Japanese" ? "ja" : std::string();
}

std::string CResourceDatabase::GetRootText(const std::string& key) const {
  const auto name = Literal(key);
  return name ? SelectText("/root/text[@name=" + *name + "]") : std::string();
}

std::string CResourceDatabase::GetMessageText(const std::string& key) const {
  const auto name = Literal(key);
  return name ? SelectText("/root/message/text[@name=" + *name + "]") : std::string();
}

std::string CResourceDatabase::GetParameterText(const std::string& parameter,
                                                const std::string& key) const {
  const auto group = Literal(parameter);
  const auto name = Literal(key);
  if (!group || !name) return {};
  return SelectText("/root/parameter[@name=" + *group + "]/text[@name=" + *name + "]");
}

std::string CResourceDatabase::GetParameterListText(const std::string& parameter,
                                                    const std::string& list, int index) const {
  const auto group = Literal(parameter);
  const auto listName = Literal(list);
  if (!group || !listName) return {};
  return SelectText("/root/parameter[@name=" + *group + "]/list[@name=" + *listName +
                    "]/text[@name='" + std::to_string(index) + "']");
}

CResourceDatabase& TheResourceDatabase() {
  static CResourceDatabase database;
  return database;
}

std::string GetUIMsg(const std::string& key) {
  return TheResourceDatabase().GetSectionText("UIMsg", key);
}
std::string GetDisplayMsg(const std::string& key) {
  return TheResourceDatabase().GetSectionText("DisplayMsg", key);
}
std::string GetTitleMsg(const std::string& key) {
  return TheResourceDatabase().GetSectionText("TitleMsg", key);
}
std::string GetProgressMsg(const std::string& key) {
  return TheResourceDatabase().GetSectionText("ProgressMsg", key);
}

}  // namespace va5
