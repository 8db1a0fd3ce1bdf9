// The language files a technician can choose from: every "*.lng" file of the given folders
// with the language name it carries. A file that cannot be read is left out of the list and
// reported with the reason, so that one damaged file never takes the others with it.
#pragma once

#include <string>
#include <vector>

namespace va5 {

struct LanguageEntry {
  std::string fileName;      // as stored in the settings, e.g. "English.lng"
  std::string languageName;  // the file's /root/language text, e.g. "Japanese"
  std::string displayName;   // how the list shows it, e.g. "日本語" (GetDisplayName)
  std::string path;          // where it was read
};

struct UnreadableLanguageFile {
  std::string path;
  std::string reason;  // the language reader's text: "Can't read resource file ..."
};

struct LanguageList {
  std::vector<LanguageEntry> entries;
  std::vector<UnreadableLanguageFile> unreadable;
};

// Reads the language files of `folders`, folder by folder in the order given, and within a
// folder in the order of their names. A file name already found in an earlier folder is
// skipped: loading by file name would open the earlier one anyway. A folder that does not
// exist adds nothing.
LanguageList FindLanguageFiles(const std::vector<std::string>& folders);

}  // namespace va5
