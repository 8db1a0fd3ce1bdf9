#include "lang/ResourceDatabase.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "lang/PrivateException.h"

namespace va5 {
namespace {

namespace fs = std::filesystem;

constexpr const char* kGoodFile = R"(<?xml version="1.0" encoding="utf-8"?>
<root>
  <application>RA5DERI</application>
  <filetype>language</filetype>
  <language>Testish</language>
  <gui name="153">
    <text name="0">Number</text>
    <text name="1199">Fine</text>
  </gui>
  <UIMsg>
    <text name="Message_Box">Box</text>
    <text name="Err_Range_Input">first</text>
    <text name="Err_Range_Input">second</text>
    <text name="it's">quoted</text>
    <text name='say "hi"'>double</text>
  </UIMsg>
  <DisplayMsg><text name="Set_Damping_val">Damping <b>bold</b> part</text></DisplayMsg>
  <text name="rootkey">at root</text>
  <message><text name="m">in message</text></message>
  <parameter name="p">
    <text name="k">param text</text>
    <list name="l"><text name="3">third</text></list>
  </parameter>
</root>
)";

class ResourceDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("va5vivi-lang-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder_);
    database_.InitEmpty();
  }
  void TearDown() override { fs::remove_all(folder_); }

  void Write(const std::string& name, const std::string& content) {
    std::ofstream(folder_ / name, std::ios::binary) << content;
  }

  // Loads a file and returns the text of the exception (empty when it loaded).
  std::string LoadError(const std::string& name) {
    try {
      database_.Load(name, {folder_.string()});
    } catch (const CPrivateException& error) {
      return error.Text();
    }
    return {};
  }

  std::string FileWith(const std::string& application, const std::string& type,
                       const std::string& language) {
    return "<root><application>" + application + "</application><filetype>" + type + "</filetype>" +
           language + "<UIMsg><text name=\"k\">v</text></UIMsg></root>";
  }

  fs::path folder_;
  CResourceDatabase database_;
};

TEST_F(ResourceDatabaseTest, GoodFileAnswersEveryFormOfKey) {
  Write("Good.lng", kGoodFile);
  ASSERT_EQ(LoadError("Good.lng"), "");
  EXPECT_EQ(database_.GetLanguageName(), "Testish");
  EXPECT_EQ(database_.GetGuiText(153, 0), "Number");
  EXPECT_EQ(database_.GetGuiText(153, 1199), "Fine");
  EXPECT_EQ(database_.GetSectionText("UIMsg", "Message_Box"), "Box");
  // The first of two equal keys wins.
  EXPECT_EQ(database_.GetSectionText("UIMsg", "Err_Range_Input"), "first");
  // Text content includes the text of nested elements.
  EXPECT_EQ(database_.GetSectionText("DisplayMsg", "Set_Damping_val"), "Damping bold part");
  EXPECT_EQ(database_.GetRootText("rootkey"), "at root");
  EXPECT_EQ(database_.GetMessageText("m"), "in message");
  EXPECT_EQ(database_.GetParameterText("p", "k"), "param text");
  EXPECT_EQ(database_.GetParameterListText("p", "l", 3), "third");
}

TEST_F(ResourceDatabaseTest, LookupsNeverFail) {
  // Empty database.
  EXPECT_EQ(database_.GetGuiText(153, 0), "");
  EXPECT_EQ(database_.GetSectionText("UIMsg", "Message_Box"), "");
  EXPECT_EQ(database_.GetLanguageName(), "");
  // A database that was never initialised.
  CResourceDatabase fresh;
  EXPECT_EQ(fresh.GetSectionText("UIMsg", "Message_Box"), "");
  Write("Good.lng", kGoodFile);
  ASSERT_EQ(LoadError("Good.lng"), "");
  EXPECT_EQ(database_.GetGuiText(153, 4242), "");
  EXPECT_EQ(database_.GetGuiText(999, 0), "");
  EXPECT_EQ(database_.GetSectionText("NoSection", "Message_Box"), "");
  EXPECT_EQ(database_.GetSectionText("UIMsg", "NoKey"), "");
  EXPECT_EQ(database_.SelectText("/root/[[["), "");
}

TEST_F(ResourceDatabaseTest, QuotesInKeysNeitherBreakNorInjectIntoThePath) {
  Write("Good.lng", kGoodFile);
  ASSERT_EQ(LoadError("Good.lng"), "");
  EXPECT_EQ(database_.GetSectionText("UIMsg", "it's"), "quoted");
  EXPECT_EQ(database_.GetSectionText("UIMsg", "say \"hi\""), "double");
  // Attempts to widen the match select nothing.
  EXPECT_EQ(database_.GetSectionText("UIMsg", "x' or '1'='1"), "");
  EXPECT_EQ(database_.GetSectionText("UIMsg", "x\" or \"1\"=\"1"), "");
  EXPECT_EQ(database_.GetSectionText("UIMsg", "it's \"both\""), "");
  EXPECT_EQ(database_.GetRootText("x' or '1'='1"), "");
  EXPECT_EQ(database_.GetParameterText("p' or '1'='1", "k"), "");
  // A section cannot carry path syntax either.
  EXPECT_EQ(database_.GetSectionText("*", "Message_Box"), "");
  EXPECT_EQ(database_.GetSectionText("UIMsg/..//text[1]/..", "Err_Range_Input"), "");
}

TEST_F(ResourceDatabaseTest, MissingFileNamesTheFileAndTheReason) {
  const std::string error = LoadError("Nothing.lng");
  EXPECT_EQ(error,
            "Can't read resource file \"Nothing.lng\".\nline: 0\nsrc text: \nreason: "
            "File was not found");
}

TEST_F(ResourceDatabaseTest, ParseErrorReportsTheRealLineAndItsSource) {
  Write("Broken.lng",
        "<?xml version=\"1.0\"?>\r\n<root>\r\n  <language>x</language>\r\n  <oops "
        "a=1/>\r\n</root>\r\n");
  const std::string error = LoadError("Broken.lng");
  EXPECT_EQ(error.rfind("Can't read resource file \"Broken.lng\".\nline: 4\nsrc text:   <oops "
                        "a=1/>\nreason: ",
                        0),
            0u)
      << error;
  EXPECT_GT(error.size(), error.find("reason: ") + 8);
}

// UTF-16 little endian with a byte order mark, as Windows editors save "Unicode" files.
std::string Utf16(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  for (const char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

TEST_F(ResourceDatabaseTest, Utf16FilesLoadAndReportErrorsByTheirOwnLines) {
  Write("Wide.lng", Utf16(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<root>"
                          u"<application>RA5DERI</application><filetype>language</filetype>"
                          u"<language>\u65E5\u672C\u8A9E</language></root>\r\n"));
  ASSERT_EQ(LoadError("Wide.lng"), "");
  EXPECT_EQ(database_.GetLanguageName(), "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E");
  Write("WideBroken.lng",
        Utf16(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<root>\r\n  <\u65E5 a=1/>\r\n"));
  const std::string error = LoadError("WideBroken.lng");
  EXPECT_NE(error.find("line: 3\nsrc text:   <\xE6\x97\xA5 a=1/>\nreason: "), std::string::npos)
      << error;
}

TEST_F(ResourceDatabaseTest, LocateOffsetFindsLineAndTextAtTheEdges) {
  EXPECT_EQ(LocateOffset("abc", 0).line, 1);
  EXPECT_EQ(LocateOffset("abc", 0).text, "abc");
  EXPECT_EQ(LocateOffset("a\nb\n", 4).line, 3);
  EXPECT_EQ(LocateOffset("a\nb\n", 4).text, "");
  EXPECT_EQ(LocateOffset("a\nbc", 99).text, "bc");
}

TEST_F(ResourceDatabaseTest, IdentificationChecksGiveIllegalFormat) {
  const std::string illegal = "Can't read resource file \"F.lng\".\nIllegal format";
  const std::string language = "<language>L</language>";
  Write("F.lng", FileWith("OTHER", "language", language));
  EXPECT_EQ(LoadError("F.lng"), illegal);
  Write("F.lng", FileWith("ra5deri", "language", language));
  EXPECT_EQ(LoadError("F.lng"), illegal);
  Write("F.lng", FileWith("RA5DERI", "table", language));
  EXPECT_EQ(LoadError("F.lng"), illegal);
  Write("F.lng", FileWith("RA5DERI", "language", "<language></language>"));
  EXPECT_EQ(LoadError("F.lng"), illegal);
  Write("F.lng", FileWith("RA5DERI", "language", ""));
  EXPECT_EQ(LoadError("F.lng"), illegal);
  Write("F.lng", FileWith("RA5DERI", "language", language));
  EXPECT_EQ(LoadError("F.lng"), "");
}

TEST_F(ResourceDatabaseTest, FileThatParsesButFailsTheChecksStillReplacesTheDocument) {
  Write("Good.lng", kGoodFile);
  ASSERT_EQ(LoadError("Good.lng"), "");
  Write("F.lng", FileWith("OTHER", "language", "<language>L</language>"));
  EXPECT_NE(LoadError("F.lng"), "");
  EXPECT_EQ(database_.GetSectionText("UIMsg", "k"), "v");
  // A file that does not parse leaves the document as it was.
  Write("Broken.lng", "<root>");
  EXPECT_NE(LoadError("Broken.lng"), "");
  EXPECT_EQ(database_.GetSectionText("UIMsg", "k"), "v");
}

TEST_F(ResourceDatabaseTest, FoldersAreSearchedInOrder) {
  const fs::path second = folder_ / "share";
  fs::create_directories(second);
  std::ofstream(second / "Good.lng", std::ios::binary) << kGoodFile;
  database_.Load("Good.lng", {(folder_ / "bin").string(), second.string()});
  EXPECT_EQ(database_.GetLanguageName(), "Testish");
  EXPECT_EQ(CResourceDatabase::ResolvePath("None.lng", {"/a", "/b"}),
            (fs::path("/a") / "None.lng").string());
}

TEST_F(ResourceDatabaseTest, LongInnerTextIsKeptToTheMessageBuffer) {
  // A parse error on a huge single line must not give an unbounded message.
  Write("Long.lng", "<root>" + std::string(5000, 'x') + "<");
  const std::string error = LoadError("Long.lng");
  EXPECT_LE(error.size(), 1023u + std::string("Can't read resource file \"Long.lng\".\n").size());
}

TEST(ResourceDatabaseGlobalTest, SectionFunctionsReadTheProcessWideDatabase) {
  TheResourceDatabase().LoadText("Mem.lng", kGoodFile);
  EXPECT_EQ(GetUIMsg("Message_Box"), "Box");
  EXPECT_EQ(GetDisplayMsg("Set_Damping_val"), "Damping bold part");
  EXPECT_EQ(GetTitleMsg("Message_Box"), "");
  EXPECT_EQ(GetProgressMsg("Message_Box"), "");
  TheResourceDatabase().InitEmpty();
  EXPECT_EQ(GetUIMsg("Message_Box"), "");
}

}  // namespace
}  // namespace va5
