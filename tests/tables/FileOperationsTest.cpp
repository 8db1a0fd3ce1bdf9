// The table text files: what the reader refuses, asks and keeps, the exact lines written, and
// that a failed write never costs the old file.
#include "tables/FileOperations.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace va5 {
namespace {

namespace fs = std::filesystem;

// Answers every question with `ok` and keeps the keys asked.
struct Asker {
  bool ok = true;
  std::vector<std::string> keys;
  std::vector<std::vector<std::string>> args;
  TableQuestion Fn() {
    return [this](const TableMessage& m) {
      EXPECT_TRUE(m.okCancel) << m.key;
      keys.push_back(m.key);
      args.push_back(m.args);
      return ok;
    };
  }
};

std::string CustomFile(const std::string& word, const std::string& step,
                       const std::vector<std::string>& values, const std::string& eol = "\n") {
  std::string s = "/* comment\n";
  s += "Minimum " + word + " Temperature = -20" + eol;
  if (!step.empty()) s += "Step = " + step + eol;
  s += "{" + eol;
  for (const auto& v : values) s += v + eol;
  return s + "}" + eol;
}

TableReadOutcome ReadCustom(CFileOperations& f, TableKind kind, const std::string& text,
                            Asker& asker) {
  f.Prepare(kind);
  std::istringstream in(text);
  return f.ReadCustomTable(in, kind, asker.Fn());
}

TableReadOutcome ReadCurve(CFileOperations& f, const std::string& text, Asker& asker) {
  f.Prepare(TableKind::Curve);
  std::istringstream in(text);
  return f.ReadSpecialCurve(in, asker.Fn());
}

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(TableFileTest, HeaderChecks) {
  CFileOperations f;
  Asker asker;
  // The wrong kind, both ways, and a curve opened as a custom table.
  auto r = ReadCustom(f, TableKind::Rtd, CustomFile("TC", "5", {"1", "2"}), asker);
  ASSERT_TRUE(r.message);
  EXPECT_EQ(r.message->key, "Err_TableType");
  EXPECT_EQ(r.message->args, std::vector<std::string>{"Custom TC"});
  EXPECT_FALSE(r.loaded);
  r = ReadCustom(f, TableKind::Tc, CustomFile("RTD", "5", {"1", "2"}), asker);
  EXPECT_EQ(r.message->args, std::vector<std::string>{"Custom RTD"});
  r = ReadCurve(f, CustomFile("TC", "5", {"1,1", "2,2"}), asker);
  EXPECT_EQ(r.message->args, std::vector<std::string>{"Custom TC"});
  EXPECT_FALSE(r.loaded);
  r = ReadCustom(f, TableKind::Tc, CustomFile("TC", "", {"1", "2"}), asker);
  EXPECT_EQ(r.message->args, std::vector<std::string>{"Special Curve"});
  EXPECT_FALSE(r.loaded);
  EXPECT_TRUE(asker.keys.empty());

  // Steps 0 and 51 are questions; OK keeps them, Cancel abandons the read.
  for (const char* step : {"0", "51"}) {
    r = ReadCustom(f, TableKind::Tc, CustomFile("TC", step, {"1", "2"}), asker);
    EXPECT_TRUE(r.loaded) << step;
    EXPECT_EQ(f.StepText(), step);
    EXPECT_EQ(f.MinimumText(), "-20");
  }
  EXPECT_EQ(asker.keys, (std::vector<std::string>{"Err_Temp_Step", "Err_Temp_Step"}));
  asker.ok = false;
  r = ReadCustom(f, TableKind::Tc, CustomFile("TC", "0", {"1", "2"}), asker);
  EXPECT_TRUE(r.abandoned);
  EXPECT_FALSE(r.loaded);
  // Not a number: a message with OK only, nothing loaded.
  r = ReadCustom(f, TableKind::Tc, CustomFile("TC", "x", {"1", "2"}), asker);
  ASSERT_TRUE(r.message);
  EXPECT_EQ(r.message->key, "Err_Temp_Step");
  EXPECT_FALSE(r.message->okCancel);
  EXPECT_FALSE(r.loaded);
  EXPECT_FALSE(r.abandoned);
  EXPECT_EQ(asker.keys.size(), 3u);
}

TEST(TableFileTest, ValueChecks) {
  CFileOperations f;
  Asker asker;
  // Equal neighbours pass a custom table without a question; CR LF ends lines as LF does.
  auto r = ReadCustom(f, TableKind::Rtd,
                      CustomFile("RTD", "10", {"100", " 100 ", "", "120.5"}, "\r\n"), asker);
  EXPECT_TRUE(r.loaded);
  EXPECT_EQ(f.XTexts(), (std::vector<std::string>{"100", "100", "120.5"}));
  EXPECT_EQ(f.StepText(), "10");
  EXPECT_TRUE(asker.keys.empty());
  // A falling value is a question with the previous value in it; Cancel abandons.
  asker.ok = false;
  r = ReadCustom(f, TableKind::Tc, CustomFile("TC", "10", {"5", "4"}), asker);
  EXPECT_TRUE(r.abandoned);
  EXPECT_EQ(asker.keys, std::vector<std::string>{"Err_Custom_Table_Data"});
  // Beyond the bounds: a question (Cancel refuses the file); bad syntax: refused outright.
  asker = {};
  asker.ok = false;
  r = ReadCustom(f, TableKind::Rtd, CustomFile("RTD", "10", {"1", "4000.5"}), asker);
  EXPECT_FALSE(r.loaded);
  EXPECT_FALSE(r.abandoned);
  EXPECT_EQ(asker.keys, std::vector<std::string>{"Err_CustomRTD_Data_Bound"});
  r = ReadCustom(f, TableKind::Tc, CustomFile("TC", "10", {"1", " x"}), asker);
  ASSERT_TRUE(r.message);
  EXPECT_EQ(r.message->key, "Err_CustomTable_Data_Bound");
  EXPECT_FALSE(r.loaded);
  EXPECT_FALSE(CFileOperations::CheckNumberSyntax("1x"));  // a number is the whole text
  EXPECT_FALSE(CFileOperations::CheckNumberSyntax(" x"));
  EXPECT_FALSE(CFileOperations::CheckNumberSyntax("1.2.3.4"));
  EXPECT_FALSE(CFileOperations::CheckNumberSyntax("12e5"));

  // The special curve refuses equal X values (a question; OK keeps the point).
  asker = {};
  r = ReadCurve(f, "{\n0,0\n0,10\n50, 60\n}\n", asker);
  EXPECT_TRUE(r.loaded);
  EXPECT_EQ(asker.keys, std::vector<std::string>{"Err_Special_Table_Data"});
  EXPECT_EQ(f.YTexts(), (std::vector<std::string>{"0", "10", "60"}));
  // A pair without a comma ends the read with nothing loaded.
  r = ReadCurve(f, "{\n0,0\n10\n}\n", asker);
  EXPECT_FALSE(r.loaded);
}

TEST(TableFileTest, PointCounts) {
  CFileOperations f;
  Asker asker;
  std::vector<std::string> values;
  for (int i = 0; i < 1001; ++i) values.push_back(std::to_string(i * 0.5));
  auto r = ReadCustom(f, TableKind::Tc, CustomFile("TC", "1", values), asker);
  ASSERT_TRUE(r.message);
  EXPECT_EQ(r.message->key, "Err_TableSize");
  EXPECT_EQ(r.message->args, (std::vector<std::string>{"1001", "Custom TC", "1000", "1000"}));
  EXPECT_TRUE(r.loaded);
  EXPECT_EQ(f.PointCount(), 1000);
  values.pop_back();
  r = ReadCustom(f, TableKind::Tc, CustomFile("TC", "1", values), asker);
  EXPECT_TRUE(r.loaded);
  EXPECT_FALSE(r.message);
  EXPECT_EQ(f.PointCount(), 1000);

  // One point, at "}" or at a cut-off end, and an empty file: never a table.
  for (const std::string& text :
       {CustomFile("TC", "1", {"1"}), std::string("Step = 1\n{\n1\n"), std::string()}) {
    r = ReadCustom(f, TableKind::Tc, text, asker);
    EXPECT_FALSE(r.loaded) << text;
    ASSERT_TRUE(r.message) << text;
    EXPECT_EQ(r.message->key, "Err_TableSize_Min");
  }
  r = ReadCurve(f, "{\n1,1\n", asker);
  EXPECT_FALSE(r.loaded);
  EXPECT_EQ(r.message->key, "Err_TableSize_Min");
  EXPECT_TRUE(asker.keys.empty());
}

// A number is the whole field or nothing: every other text is refused, naming its line and
// its point (counted from 1, as the X values of the file are), never read as a smaller number.
TEST(TableFileTest, NumbersAreWholeFieldsOrRefused) {
  CFileOperations f;
  Asker asker;
  struct Row {
    std::string value;
    std::string key;
  };
  const std::vector<Row> values{
      {std::string("1\0"
                   "00",
                   4),
       "Err_CustomTable_Data_Bound"},
      {"1x5", "Err_CustomTable_Data_Bound"},
      {"9,5", "Err_CustomTable_Data_Bound"},
      {"0x10", "Err_CustomTable_Data_Bound"},
      {"-", "Err_CustomTable_Data_Bound"},
      {".", "Err_CustomTable_Data_Bound"},
      {"1e2", "Err_CustomTable_Data_Bound"},
      {"+5", "Err_CustomTable_Data_Bound"},
  };
  for (const Row& row : values) {
    // The third point, on line 7 of the file (comment, minimum, step, "{", two points).
    const auto r =
        ReadCustom(f, TableKind::Tc, CustomFile("TC", "5", {"1", "2", row.value}), asker);
    EXPECT_FALSE(r.loaded) << row.value;
    ASSERT_TRUE(r.message) << row.value;
    EXPECT_EQ(r.message->key, row.key);
    EXPECT_FALSE(r.message->okCancel);
    EXPECT_EQ(r.message->args[0], "3");
    EXPECT_EQ(r.message->args[1], row.value);
    EXPECT_EQ(r.message->text.rfind("Line 7: point 3: ", 0), 0u) << r.message->text;
  }
  // The minimum and the step travel as whole numbers: nothing else is taken for one.
  for (const char* minimum : {"abc", "1e9", "19e2", "+", "-", "1.5", ""}) {
    std::string text = CustomFile("TC", "5", {"1", "2"});
    text.replace(text.find("-20"), 3, minimum);
    const auto r = ReadCustom(f, TableKind::Tc, text, asker);
    EXPECT_FALSE(r.loaded) << minimum;
    ASSERT_TRUE(r.message) << minimum;
    EXPECT_EQ(r.message->key, "Err_Temp_Min");
    EXPECT_EQ(r.message->text.rfind("Line 2: ", 0), 0u) << r.message->text;
  }
  for (const char* step : {"1.5", "1e1", "5x", "+5"}) {
    const auto r = ReadCustom(f, TableKind::Tc, CustomFile("TC", step, {"1", "2"}), asker);
    EXPECT_FALSE(r.loaded) << step;
    ASSERT_TRUE(r.message) << step;
    EXPECT_EQ(r.message->key, "Err_Temp_Step");
    EXPECT_FALSE(r.message->okCancel);
  }
  EXPECT_TRUE(asker.keys.empty());

  // A byte-order mark does not hide the minimum; "-20.0" is a whole number.
  auto r =
      ReadCustom(f, TableKind::Rtd,
                 "\xEF\xBB\xBFMinimum RTD Temperature = -200\nStep = 10.0\n{\n1\n2\n}\n", asker);
  EXPECT_TRUE(r.loaded);
  EXPECT_EQ(f.MinimumText(), "-200");
  EXPECT_EQ(f.StepText(), "10.0");
  r = ReadCurve(f, "\xEF\xBB\xBF{\n0,0\n10,10\n}\n", asker);
  EXPECT_TRUE(r.loaded);

  // The curve names a refused Y as Y, and every question names the point as the refusals do:
  // the third value line is point 3, after point 2.
  r = ReadCurve(f, "{\n0,0\n10,116\n}\n", asker);
  r = ReadCurve(f, "{\n0,0\n10,10\n5,20\n}\n", asker);
  r = ReadCustom(f, TableKind::Tc, CustomFile("TC", "5", {"1", "2", "1"}), asker);
  EXPECT_EQ(asker.keys,
            (std::vector<std::string>{"Err_Special_Table_Data_Bound_Y", "Err_Special_Table_Data",
                                      "Err_Custom_Table_Data"}));
  EXPECT_EQ(asker.args,
            (std::vector<std::vector<std::string>>{{"2", "116", "-15", "115"},
                                                   {"3", "5", "2", "10.000"},
                                                   {"3", "1", "mV", "2", "2.000", "mV"}}));
  r = ReadCurve(f, "{\n0,0\n10,1y\n}\n", asker);
  ASSERT_TRUE(r.message);
  EXPECT_EQ(r.message->key, "Err_Special_Table_Data_Bound_Y");
  EXPECT_EQ(r.message->args[0], "2");
}

// A blank line before "}" is no point: a full table with one is no table with too many.
TEST(TableFileTest, BlankLinesAreNoPoints) {
  CFileOperations f;
  Asker asker;
  std::vector<std::string> values;
  for (int i = 0; i < 128; ++i) {
    values.push_back(std::to_string(i / 2) + (i % 2 ? ".5," : ",") + std::to_string(i / 2));
  }
  std::string text = "{\n";
  for (const auto& v : values) text += v + "\n";
  auto r = ReadCurve(f, text + "\n  \n}\n", asker);
  EXPECT_TRUE(r.loaded);
  EXPECT_FALSE(r.message);
  EXPECT_EQ(f.PointCount(), 128);
  r = ReadCurve(f, text + "114,0\n}\n", asker);
  ASSERT_TRUE(r.message);
  EXPECT_EQ(r.message->key, "Err_TableSize");
  EXPECT_TRUE(asker.keys.empty());
}

class TableFileWriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("va5-tables-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir_);
  }
  fs::path dir_;
};

TEST_F(TableFileWriteTest, RoundTripsByteForByte) {
  CFileOperations f;
  Asker asker;
  const fs::path tc = dir_ / "tc.txt";
  const std::vector<double> mv{-1.25, 0, 3.5, 1000};
  ASSERT_FALSE(
      f.WriteCustomTable(tc.string(), CommentHeader(TableKind::Tc), "TC", -20, 9.9996, mv));
  const std::string written = Slurp(tc);
  EXPECT_EQ(written,
            "/*********************************************************\r\n"
            "/*\tCustom TC Table Definition\r\n"
            "/*\tTi = f(Xi)   ( 0 <= i < Size )\r\n"
            "/*\t\tTemperature Step (1 to 50 degC)\r\n"
            "/*\t\t-100 <= X(i) <= 1000 mV\r\n"
            "/*\t\tX(i) < X(i+1)\r\n"
            "/*\t\t2 <= Size <= 1000\r\n"
            "/*********************************************************\r\n"
            "Minimum TC Temperature = -20\r\nStep = 10\r\n{\r\n"
            "-1.250000\r\n0.000000\r\n3.500000\r\n1000.000000\r\n}\r\n");
  f.Prepare(TableKind::Tc);
  ASSERT_TRUE(f.ReadCustomTable(tc.string(), TableKind::Tc, asker.Fn()).loaded);
  std::vector<double> back;
  for (const auto& t : f.XTexts()) back.push_back(std::stod(t));
  ASSERT_FALSE(f.WriteCustomTable(tc.string(), CommentHeader(TableKind::Tc), "TC",
                                  std::stod(f.MinimumText()), std::stod(f.StepText()), back));
  EXPECT_EQ(Slurp(tc), written);

  const fs::path rtd = dir_ / "rtd.txt";
  const std::vector<double> ohms{18.5, 100, 138.5};
  ASSERT_FALSE(f.WriteCustomTable(rtd.string(), CommentHeader(TableKind::Rtd), "RTD", 0, 1, ohms));
  const std::string rtdText = Slurp(rtd);
  EXPECT_NE(rtdText.find("*\r\nMinimum RTD Temperature = 0\r\n"
                         "Step = 1\r\n{\r\n18.500000\r\n"),
            std::string::npos);
  f.Prepare(TableKind::Rtd);
  ASSERT_TRUE(f.ReadCustomTable(rtd.string(), TableKind::Rtd, asker.Fn()).loaded);
  back.clear();
  for (const auto& t : f.XTexts()) back.push_back(std::stod(t));
  ASSERT_FALSE(f.WriteCustomTable(rtd.string(), CommentHeader(TableKind::Rtd), "RTD", 0, 1, back));
  EXPECT_EQ(Slurp(rtd), rtdText);

  const fs::path curve = dir_ / "sc.txt";
  const std::vector<double> x{-15, 50, 115}, y{0, 50.25, 100};
  ASSERT_FALSE(f.WriteSpecialCurve(curve.string(), CommentHeader(TableKind::Curve), x, y));
  const std::string curveText = Slurp(curve);
  EXPECT_NE(curveText.find("*\r\n{\r\n-15.000000,0.000000\r\n50.000000,50.250000\r\n"
                           "115.000000,100.000000\r\n}\r\n"),
            std::string::npos);
  f.Prepare(TableKind::Curve);
  ASSERT_TRUE(f.ReadSpecialCurve(curve.string(), asker.Fn()).loaded);
  std::vector<double> bx, by;
  for (int i = 0; i < f.PointCount(); ++i) {
    bx.push_back(std::stod(f.XTexts()[i]));
    by.push_back(std::stod(f.YTexts()[i]));
  }
  ASSERT_FALSE(f.WriteSpecialCurve(curve.string(), CommentHeader(TableKind::Curve), bx, by));
  EXPECT_EQ(Slurp(curve), curveText);
  EXPECT_TRUE(asker.keys.empty());
  // Nothing but the three tables is left in the folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3);
}

TEST_F(TableFileWriteTest, FailedWritesKeepTheOldFile) {
  CFileOperations f;
  const fs::path target = dir_ / "tc.txt";
  const std::vector<double> v{1, 2};
  ASSERT_FALSE(f.WriteCustomTable(target.string(), CommentHeader(TableKind::Tc), "TC", 0, 1, v));
  const std::string old = Slurp(target);

  // Cut off midway (a full disk): reported, the old file stays, no temporary is left.
  f.FailWritesAfter(100);
  const std::vector<double> other{5, 6, 7};
  auto error = f.WriteCustomTable(target.string(), CommentHeader(TableKind::Tc), "TC", 0, 1, other);
  ASSERT_TRUE(error);
  EXPECT_NE(error->find(target.string()), std::string::npos) << *error;
  EXPECT_EQ(Slurp(target), old);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
  f.FailWritesAfter(std::nullopt);

#ifndef _WIN32
  // A folder that cannot be written to (root writes anywhere: a folder that takes no files).
  if (::geteuid() != 0) {
    fs::permissions(dir_, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    error = f.WriteCustomTable(target.string(), CommentHeader(TableKind::Tc), "TC", 0, 1, other);
    EXPECT_TRUE(error);
    EXPECT_EQ(Slurp(target), old);
  } else {
    EXPECT_TRUE(f.WriteCustomTable("/proc/va5vivi-table.txt", CommentHeader(TableKind::Tc), "TC", 0,
                                   1, other));
  }
#endif
}

}  // namespace
}  // namespace va5
