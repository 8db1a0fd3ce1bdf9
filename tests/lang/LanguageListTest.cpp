#include "lang/LanguageList.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace va5 {
namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, const std::string& languageName) {
  std::ofstream(path) << "<root><application>RA5DERI</application><filetype>language</filetype>"
                      << "<language>" << languageName << "</language></root>";
}

// The program's folder before the installed one: a file name found in both is offered once,
// from the folder the language is then loaded from; damaged files are named, not fatal.
TEST(LanguageListTest, FirstFolderWinsAndDamagedFilesAreReportedNotFatal) {
  const fs::path root =
      fs::temp_directory_path() / ("va5-langlist-" + std::to_string(std::random_device{}()));
  fs::remove_all(root);
  fs::create_directories(root / "exe");
  fs::create_directories(root / "data");
  WriteFile(root / "exe" / "English.lng", "English");
  WriteFile(root / "data" / "English.lng", "Shadowed");
  WriteFile(root / "data" / "Deutsch.LNG", "Deutsch");
  WriteFile(root / "data" / "notes.txt", "Not a language file");
  std::ofstream(root / "exe" / "Broken.lng") << "<root><application>RA5DERI";
  WriteFile(root / "exe" / "Other.lng", "");  // no language name: not a language file

  const LanguageList list = FindLanguageFiles(
      {(root / "exe").string(), (root / "missing").string(), (root / "data").string()});
  ASSERT_EQ(list.entries.size(), 2u);
  EXPECT_EQ(list.entries[0].fileName, "English.lng");
  EXPECT_EQ(list.entries[0].languageName, "English");
  EXPECT_EQ(list.entries[1].fileName, "Deutsch.LNG");
  EXPECT_EQ(list.entries[1].languageName, "Deutsch");
  ASSERT_EQ(list.unreadable.size(), 2u);
  EXPECT_EQ(fs::path(list.unreadable[0].path).filename(), "Broken.lng");
  EXPECT_NE(list.unreadable[0].reason.find("Broken.lng"), std::string::npos);
  EXPECT_NE(list.unreadable[1].reason.find("Illegal format"), std::string::npos);
  fs::remove_all(root);
}

}  // namespace
}  // namespace va5
