// The texts of the current language file, looked up by window and control identifier or by
// section and key. Lookups never fail: whatever cannot be found reads as an empty text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "lang/XmlReaderWriter.h"

namespace va5 {

class CResourceDatabase {
 public:
  // The identification every language file carries.
  static constexpr const char* kApplication = "RA5DERI";
  static constexpr const char* kFileType = "language";

  // An empty document: every lookup reads as the empty text.
  void InitEmpty();

  // Loads the language file `fileName` from the first folder of `folders` that holds it (the
  // first folder when none does) and checks that it is a language file of this system.
  // Raises CPrivateException with the text "Can't read resource file "<name>".", a line break
  // and the reason. A file that parses but fails the checks has replaced the document.
  void Load(const std::string& fileName, const std::vector<std::string>& folders);

  // The same for a file's content held in memory; `fileName` only names it in messages.
  void LoadText(const std::string& fileName, std::string_view content);

  // Every lookup goes through SelectText: a failure of any kind gives the empty text.
  std::string SelectText(const std::string& path) const;

  std::string GetGuiText(int dialogId, int controlId) const;
  std::string GetSectionText(const std::string& section, const std::string& key) const;
  std::string GetLanguageName() const;
  // The language as a list of languages shows it, in its own script ("日本語"); the language
  // name for a file without one.
  std::string GetDisplayName() const;
  // The locale of the language ("ja") for the toolkit's own texts; empty when unknown.
  std::string GetLocaleName() const;
  std::string GetRootText(const std::string& key) const;
  std::string GetMessageText(const std::string& key) const;
  std::string GetParameterText(const std::string& parameter, const std::string& key) const;
  std::string GetParameterListText(const std::string& parameter, const std::string& list,
                                   int index) const;

  // The full path of `fileName` in the first folder that holds it.
  static std::string ResolvePath(const std::string& fileName,
                                 const std::vector<std::string>& folders);

 private:
  void CheckContent() const;

  CXmlReaderWriter xml_;
};

// The one database of the process, used by every window.
CResourceDatabase& TheResourceDatabase();

// Texts of the four message sections of the process-wide database.
std::string GetUIMsg(const std::string& key);
std::string GetDisplayMsg(const std::string& key);
std::string GetTitleMsg(const std::string& key);
std::string GetProgressMsg(const std::string& key);

}  // namespace va5
