// Files in a folder whose name is outside the system's 8-bit code page: the names reach the
// writers and readers as UTF-8 (as the window and the tool hand them over), and the files
// made carry those very names, not a mangled ANSI rendering of their bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "offline/FilePropertyReadWrite.h"
#include "tables/FileOperations.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace va5 {
namespace {

namespace fs = std::filesystem;

std::string AsUtf8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

class NonAsciiFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    suffix_ = std::to_string(std::random_device{}());
    dir_ = fs::temp_directory_path() /
           (std::u8string(u8"表ファイル-") + std::u8string(suffix_.begin(), suffix_.end()));
    fs::create_directories(dir_);
    folder_ = AsUtf8(dir_.u8string());
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  // The names in the folder, as UTF-8.
  std::set<std::string> Listing() const {
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir_)) {
      names.insert(AsUtf8(entry.path().filename().u8string()));
    }
    return names;
  }

  std::string suffix_;
  fs::path dir_;
  std::string folder_;  // UTF-8
};

TEST_F(NonAsciiFolderTest, TableAndConfigurationFilesRoundTripUnderTheirOwnNames) {
  const std::string tableName = AsUtf8(u8"温度表.txt");
  const std::string configName = AsUtf8(u8"設定-Ω.txt");
  const std::string tablePath = folder_ + "/" + tableName;
  const std::string configPath = folder_ + "/" + configName;

  CFileOperations table;
  const std::vector<double> ohms{18.52, 100, 138.5, 390.48};
  const auto tableError =
      table.WriteCustomTable(tablePath, CommentHeader(TableKind::Rtd), "RTD", -200, 50, ohms);
  ASSERT_FALSE(tableError) << *tableError;
  table.Prepare(TableKind::Rtd);
  const TableReadOutcome read =
      table.ReadCustomTable(tablePath, TableKind::Rtd, [](const TableMessage&) { return true; });
  ASSERT_TRUE(read.loaded) << (read.message ? read.message->text : "the file was not opened");
  EXPECT_EQ(table.MinimumText(), "-200");
  EXPECT_EQ(table.StepText(), "50");
  EXPECT_EQ(table.XTexts(),
            (std::vector<std::string>{"18.520000", "100.000000", "138.500000", "390.480000"}));

  ConfigurationValues values;
  values.tag = "TT-7";
  values.descriptor = "NORTH LOOP";
  values.pvUnit = "degC";
  values.upperRange = "250.000";
  values.lowerRange = "-50.000";
  values.damping = "1.500";
  CFilePropertyReadWrite writer;
  ASSERT_TRUE(writer.Write(configPath, writer.BuildLines(values))) << writer.LastError();
  EXPECT_EQ(writer.Record().path, configPath);
  CFilePropertyReadWrite reader;
  ASSERT_TRUE(reader.Read(configPath)) << reader.LastError();
  EXPECT_EQ(reader.Record().path, configPath);
  EXPECT_EQ(reader.Record().tag, "TT-7");
  EXPECT_EQ(reader.Record().descriptor, "NORTH LOOP");
  EXPECT_EQ(reader.Record().upperRange, "250.000");
  EXPECT_EQ(reader.Record().lowerRange, "-50.000");

  // Exactly the two files, under their UTF-8 names (no temporary file left behind).
  EXPECT_EQ(Listing(), (std::set<std::string>{tableName, configName}));

  // A failure names the folder as given, in UTF-8.
  const std::string missing = folder_ + "/" + AsUtf8(u8"無い") + "/t.txt";
  const auto refused =
      table.WriteCustomTable(missing, CommentHeader(TableKind::Rtd), "RTD", -200, 50, ohms);
  ASSERT_TRUE(refused);
  EXPECT_NE(refused->find(AsUtf8(u8"表ファイル-") + suffix_), std::string::npos) << *refused;

#ifdef _WIN32
  // What Windows itself lists: the Japanese names, not question marks.
  const std::wstring wideFolder = dir_.wstring();
  EXPECT_EQ(dir_.filename().wstring(),
            L"表ファイル-" + std::wstring(suffix_.begin(), suffix_.end()));
  std::set<std::wstring> wideNames;
  WIN32_FIND_DATAW found{};
  const HANDLE search = ::FindFirstFileW((wideFolder + L"\\*").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE) << "the folder is not there under its wide name";
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") wideNames.insert(name);
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  EXPECT_EQ(wideNames, (std::set<std::wstring>{L"温度表.txt", L"設定-Ω.txt"}));
#endif
}

}  // namespace
}  // namespace va5
