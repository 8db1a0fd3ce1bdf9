#include "lang/LanguageList.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <system_error>

#include "base/Utf8Path.h"
#include "lang/PrivateException.h"
#include "lang/ResourceDatabase.h"

namespace va5 {
namespace {

namespace fs = std::filesystem;

bool IsLanguageFileName(const fs::path& path) {
  std::string extension = Utf8String(path.extension());
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".lng";
}

// The language files of one folder, by name; an unreadable folder is reported.
std::vector<fs::path> FilesOf(const std::string& folder, LanguageList& list) {
  std::vector<fs::path> files;
  std::error_code error;
  const fs::path folderPath = Utf8Path(folder);
  if (!fs::is_directory(folderPath, error)) return files;
  fs::directory_iterator it(folderPath, error);
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    std::error_code typeError;
    if (it->is_regular_file(typeError) && IsLanguageFileName(it->path())) {
      files.push_back(it->path());
    }
  }
  if (error) list.unreadable.push_back({folder, error.message()});
  std::sort(files.begin(), files.end(),
            [](const fs::path& a, const fs::path& b) { return a.filename() < b.filename(); });
  return files;
}

}  // namespace

LanguageList FindLanguageFiles(const std::vector<std::string>& folders) {
  LanguageList list;
  std::set<std::string> seen;
  for (const std::string& folder : folders) {
    for (const fs::path& file : FilesOf(folder, list)) {
      const std::string name = Utf8String(file.filename());
      if (!seen.insert(name).second) continue;
      // A database of its own for each candidate: the one in use stays as it is.
      CResourceDatabase database;
      try {
        database.Load(name, {folder});
        list.entries.push_back(
            {name, database.GetLanguageName(), database.GetDisplayName(), Utf8String(file)});
      } catch (const std::exception& failure) {
        list.unreadable.push_back({Utf8String(file), failure.what()});
      }
    }
  }
  return list;
}

}  // namespace va5
