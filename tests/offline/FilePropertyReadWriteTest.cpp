#include "offline/FilePropertyReadWrite.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#endif
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace va5 {
namespace {

class ConfigurationFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("va5vivi-offline-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }
  std::string WriteText(const std::string& name, const std::string& text) const {
    std::ofstream(PathOf(name)) << text;
    return PathOf(name);
  }
  static std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  static ConfigurationValues SampleValues() {
    ConfigurationValues v;
    v.tag = "TT-101";
    v.descriptor = "BOILER INLET";
    v.date = "2008/03/07";
    v.message = "CALIBRATED";
    v.deviceIdentification = "1234";
    v.sensorType = "Type K";
    v.sensorWires = "2 Wires";
    v.pvUnit = "degC";
    v.upperRange = "1000.000";
    v.lowerRange = "0.000";
    v.damping = "2.000";
    v.burnout = "Upscale";
    v.transferFunction = "LINEAR";
    v.terminalUnit = "degF";
    v.cjcMode = "CJC ON";
    v.sensorSerialNumber = "77";
    v.finalAssemblyNumber = "4242";
    return v;
  }

  std::filesystem::path dir_;
};

TEST_F(ConfigurationFileTest, BuildsTheThirtyTwoLineLayout) {
  CFilePropertyReadWrite file;
  const auto lines = file.BuildLines(SampleValues());
  ASSERT_EQ(lines.size(), 32u);
  EXPECT_EQ(lines[0], "[Device Information]");
  EXPECT_EQ(lines[1], "Tag                     = TT-101");
  EXPECT_EQ(lines[5], "Device Type             = ");
  EXPECT_EQ(lines[7], "[PV Input Sensor]");
  EXPECT_EQ(lines[11], "PV Upper Range          = 1000.000 degC");
  EXPECT_EQ(lines[13], "PV Damping              = 2.000 Sec");
  EXPECT_EQ(lines[16], "[CJC & Term Sensor]");
  EXPECT_EQ(lines[21], "PV Snsr Cal. Unit       = degC");
  EXPECT_EQ(lines[22], "PV Snsr Zero Point      =  degC");
  EXPECT_EQ(lines[25], "[Device Version]");
  EXPECT_EQ(lines[31], "Final Assembly Number   = 4242");
  for (const auto& line : lines) {
    if (line.front() != '[') {
      EXPECT_EQ(line.substr(24, 2), "= ") << line;
    }
  }
}

TEST_F(ConfigurationFileTest, WriteThenReadRoundTripsAndCarriesHiddenValues) {
  CFilePropertyReadWrite writer;
  writer.Record().deviceType = "TQ5R";
  writer.Record().zeroPoint = "0.500000";
  writer.Record().spanGain = "1.000000";
  writer.Record().firmwareRevision = "3";
  const std::string path = PathOf("a.txt");
  ASSERT_TRUE(writer.Write(path, writer.BuildLines(SampleValues()))) << writer.LastError();
  EXPECT_EQ(writer.Record().path, path);

  CFilePropertyReadWrite reader;
  ASSERT_TRUE(reader.Read(path));
  const ConfigurationRecord& r = reader.Record();
  EXPECT_EQ(r.tag, "TT-101");
  EXPECT_EQ(r.descriptor, "BOILER INLET");
  EXPECT_EQ(r.upperRange, "1000.000");
  EXPECT_EQ(r.damping, "2.000");
  EXPECT_EQ(r.zeroPoint, "0.500000");
  EXPECT_EQ(r.zeroValue, "");  // written as " degC": a unit without a number
  EXPECT_EQ(r.sensorUnit, "degC");
  EXPECT_EQ(r.deviceType, "TQ5R");
  EXPECT_EQ(r.finalAssemblyNumber, "4242");

  // Writing right after reading reproduces the carried-over lines of the file read.
  const std::string again = PathOf("b.txt");
  ASSERT_TRUE(reader.Write(again, reader.BuildLines(SampleValues())));
  EXPECT_EQ(ReadText(again), ReadText(path));
}

TEST_F(ConfigurationFileTest, ReadsLooselyFormattedFilesAndKeepsMissingFields) {
  CFilePropertyReadWrite file;
  file.Record().message = "FROM BEFORE";
  const std::string path = WriteText("loose.txt",
                                     "some comment\n"
                                     "PV Upper Range=1000.000\tdegC\r\n"
                                     "  PV Lower Range   =   -50  degC  \n"
                                     "PV Damping = 2.5\n"  // no unit: still the damping
                                     "Tag = first\n"
                                     "Tag = second = with equals\n"
                                     "tag = lower case key\n"  // not the key "Tag"
                                     "Sensor Unit = Kelvin\n"
                                     "PV Snsr Cal. Unit = degC\n");
  ASSERT_TRUE(file.Read(path));
  const ConfigurationRecord& r = file.Record();
  EXPECT_EQ(r.upperRange, "1000.000");
  EXPECT_EQ(r.lowerRange, "-50");
  EXPECT_EQ(r.damping, "2.5");
  EXPECT_EQ(r.tag, "second = with equals");  // later key wins; split at the first "="
  EXPECT_EQ(r.sensorUnit, "degC");           // whichever of the two keys comes later
  EXPECT_EQ(r.message, "FROM BEFORE");       // absent key leaves the field alone
}

TEST_F(ConfigurationFileTest, MissingFileFailsWithoutTouchingTheRecord) {
  CFilePropertyReadWrite file;
  file.Record().tag = "KEEP";
  EXPECT_FALSE(file.Read(PathOf("absent.txt")));
  EXPECT_EQ(file.Record().tag, "KEEP");
  EXPECT_TRUE(file.LastError().empty());
  EXPECT_FALSE(file.Write(PathOf("no/such/dir/x.txt"), {"line"}));
  EXPECT_FALSE(file.LastError().empty());
}

TEST_F(ConfigurationFileTest, FillsValuesFromADeviceWithCodeTableNames) {
  DeviceRecord d;
  d.tag = "AB      ";
  d.sensorType = 137;
  d.sensorWires = 2;
  d.pvUnit = 33;
  d.upperRangeValue = 1000;
  d.lowerRangeValue = -5.5;
  d.damping = 0.5;
  d.transferFunction = 4;
  d.burnout = 1;
  d.cjcMode = 1;
  d.terminalUnit = 35;
  d.sensorSerialNumber = 16777215;
  d.finalAssemblyNumber = 12;
  CglobalFile tables;
  const ConfigurationValues v = ConfigurationValuesFromDevice(d, tables);
  EXPECT_EQ(v.tag, "AB");
  EXPECT_EQ(v.sensorType, "Type K");
  EXPECT_EQ(v.sensorWires, "2 Wires");
  EXPECT_EQ(v.pvUnit, "degF");
  EXPECT_EQ(v.upperRange, "1000.000");
  EXPECT_EQ(v.lowerRange, "-5.500");
  EXPECT_EQ(v.damping, "0.500");
  EXPECT_EQ(v.transferFunction, "SPECIAL_CURVE");
  EXPECT_EQ(v.burnout, "Downscale");
  EXPECT_EQ(v.cjcMode, "CJC ON");
  EXPECT_EQ(v.terminalUnit, "Kelvin");
  EXPECT_EQ(v.sensorSerialNumber, "16777215");
  d.pvUnit = 250;  // not in the table: the code stays visible
  EXPECT_EQ(ConfigurationValuesFromDevice(d, tables).pvUnit, "250");

  // The trim data go into the carried values only when read from this device.
  d.sensorTrimZeroPoint = 1.25;
  d.sensorTrimGain = 1.5;
  ConfigurationRecord carried;
  carried.zeroPoint = "FROM FILE";
  SetCarriedFromDevice(carried, d);
  EXPECT_EQ(carried.zeroPoint, "FROM FILE");
  SetCarriedFromDevice(carried, d, true);
  EXPECT_EQ(carried.zeroPoint, "1.250000");
  EXPECT_EQ(carried.zeroValue, "0.000000");
  EXPECT_EQ(carried.spanGain, "1.500000");
}

TEST_F(ConfigurationFileTest, ReadThenWriteReproducesTheFileByteForByte) {
  std::string text;
  CFilePropertyReadWrite source;
  source.Record() = {};
  source.Record().deviceType = "TQ5R";
  source.Record().zeroPoint = "0.100000";
  source.Record().zeroValue = "0.200000";
  source.Record().spanGain = "1.000500";
  source.Record().preambles = "5";
  source.Record().universalRevision = "5";
  source.Record().specificRevision = "3";
  source.Record().hardwareRevision = "2";
  source.Record().firmwareRevision = "12";
  for (const auto& line : source.BuildLines(SampleValues())) text += line + "\n";
  const std::string path = WriteText("original.txt", text);

  // A fresh reader: the editor shows the file's column, then writes it back.
  CFilePropertyReadWrite file;
  ASSERT_TRUE(file.Read(path));
  const std::string again = PathOf("again.txt");
  ASSERT_TRUE(file.Write(again, file.BuildLines(ConfigurationValuesFromRecord(file.Record()))))
      << file.LastError();
  EXPECT_EQ(ReadText(again), text);
}

TEST_F(ConfigurationFileTest, FailedWritesAreReportedAndKeepThePreviousFile) {
  CFilePropertyReadWrite file;
  const auto lines = file.BuildLines(SampleValues());
  const std::string path = WriteText("kept.txt", "previous\n");

  std::filesystem::permissions(
      path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
  EXPECT_FALSE(file.Write(path, lines));
  EXPECT_NE(file.LastError().find("read-only"), std::string::npos) << file.LastError();
  EXPECT_EQ(ReadText(path), "previous\n");
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);

#ifndef _WIN32
  // A write that breaks off half way (the file size limit stands in for a full disk).
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 100;
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written = file.Write(path, lines);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(written);
  EXPECT_NE(file.LastError().find("error while writing"), std::string::npos) << file.LastError();
  EXPECT_EQ(ReadText(path), "previous\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_),
                          std::filesystem::directory_iterator()),
            1);  // no temporary file left behind
#endif

  ASSERT_TRUE(file.Write(path, lines));
  EXPECT_EQ(ReadText(path).substr(0, 21), "[Device Information]\n");
}

// What is no configuration file is said to be none and leaves the record alone; a range is
// taken in the PV unit or not at all; a byte-order mark does not hide the first key.
TEST_F(ConfigurationFileTest, ReadsOnlyConfigurationFilesAndRangesInThePvUnit) {
  struct Row {
    std::string name;
    std::string text;
    std::string error;  // empty: the file reads
    std::string upper = "", lower = "", tag = "";
  };
  const std::string utf16("\xFF\xFET\0a\0g\0 \0=\0 \0X\0\n\0", 18);
  const std::vector<Row> rows{
      {"empty", "", "not a configuration file"},
      {"binary",
       std::string("\x7F"
                   "ELF\0\x01=\x02\n\0\0",
                   11),
       "not a configuration file"},
      {"utf16", utf16, "not a configuration file"},
      {"table", "Minimum TC Temperature = -20\nStep = 5\n{\n1\n2\n}\n", "not a configuration file"},
      {"bom", "\xEF\xBB\xBFTag = FIRST\n", "", "", "", "FIRST"},
      {"converted",
       "Sensor Unit = degC\nPV Upper Range = 212 degF\nPV Lower Range = 273.15 Kelvin\n", "",
       "100.000", "0.000"},
      {"same unit", "Sensor Unit = degF\nPV Upper Range = 212.5 degF\nPV Lower Range = 0 degF\n",
       "", "212.5", "0"},
      {"no temperature", "Sensor Unit = mV\nPV Upper Range = 100 degC\nPV Lower Range = 0 mV\n",
       "PV Upper Range is given in degC, but the file's PV unit is mV"},
  };
  for (const Row& row : rows) {
    CFilePropertyReadWrite file;
    file.Record().tag = "KEEP";
    const std::string path = WriteText(row.name + ".txt", row.text);
    const bool read = file.Read(path);
    EXPECT_EQ(read, row.error.empty()) << row.name;
    if (!row.error.empty()) {
      EXPECT_NE(file.LastError().find(row.error), std::string::npos) << file.LastError();
      EXPECT_NE(file.LastError().find(path), std::string::npos) << file.LastError();
      EXPECT_EQ(file.Record().tag, "KEEP") << row.name;
      EXPECT_EQ(file.Record().upperRange, "") << row.name;
      continue;
    }
    EXPECT_EQ(file.Record().upperRange, row.upper) << row.name;
    EXPECT_EQ(file.Record().lowerRange, row.lower) << row.name;
    EXPECT_EQ(file.Record().tag, row.tag.empty() ? "KEEP" : row.tag) << row.name;
  }

  // Numbers compare as numbers, texts as texts.
  const auto& fields = ConfigurationFields();
  const auto field = [&](const std::string& key) {
    return *std::find_if(fields.begin(), fields.end(), [&](const auto& f) { return f.key == key; });
  };
  EXPECT_TRUE(SameFieldValue(field("PV Damping"), "5", "5.000"));
  EXPECT_TRUE(SameFieldValue(field("Final Assembly Number"), "0042", "42"));
  EXPECT_FALSE(SameFieldValue(field("PV Upper Range"), "5", "5.001"));
  EXPECT_FALSE(SameFieldValue(field("PV Upper Range"), "", "0"));
  EXPECT_FALSE(SameFieldValue(field("Tag"), "5", "5.000"));
}

TEST_F(ConfigurationFileTest, ConvertsRangesOnlyBetweenKnownUnitsAndNumbers) {
  CglobalFile tables;
  auto f = ConvertRangeTexts(tables, "degC", "degF", "100.000", "0.000");
  ASSERT_TRUE(f);
  EXPECT_EQ(f->first, "212.000");
  EXPECT_EQ(f->second, "32.000");
  auto k = ConvertRangeTexts(tables, "degF", "Kelvin", f->first, f->second);
  ASSERT_TRUE(k);
  EXPECT_EQ(k->first, "373.150");
  EXPECT_EQ(k->second, "273.150");
  auto r = ConvertRangeTexts(tables, "Kelvin", "degR", "373.150", "0");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->first, "671.670");
  EXPECT_EQ(r->second, "0.000");
  EXPECT_FALSE(ConvertRangeTexts(tables, "mV", "degF", "100", "0"));  // index -1
  EXPECT_FALSE(ConvertRangeTexts(tables, "degC", "ohm", "100", "0"));
  EXPECT_FALSE(ConvertRangeTexts(tables, "degC", "degF", "", "0"));  // not "32.000" from nothing
  EXPECT_FALSE(ConvertRangeTexts(tables, "degC", "degF", "100", "abc"));
  EXPECT_FALSE(ConvertTemperature(1.0, 0, 4));
}

}  // namespace
}  // namespace va5
