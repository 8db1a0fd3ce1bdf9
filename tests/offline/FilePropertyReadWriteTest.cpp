#include "offline/FilePropertyReadWrite.h"

#include <gtest/gtest.h>
#include <unistd.h>

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
  ASSERT_TRUE(writer.Write(path, writer.BuildLines(SampleValues())));
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
                                     "PV Damping = 2.5\n"  // no unit: not a number field value
                                     "tag = lower case key\n"
                                     "Tag = first\n"
                                     "Tag = second = with equals\n"
                                     "Sensor Unit = degF\n"
                                     "PV Snsr Cal. Unit = Kelvin\n");
  ASSERT_TRUE(file.Read(path));
  const ConfigurationRecord& r = file.Record();
  EXPECT_EQ(r.upperRange, "1000.000");
  EXPECT_EQ(r.lowerRange, "-50");
  EXPECT_EQ(r.damping, "");
  EXPECT_EQ(r.tag, "second = with equals");  // later key wins; split at the first "="
  EXPECT_EQ(r.sensorUnit, "Kelvin");         // whichever of the two keys comes later
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
}

}  // namespace
}  // namespace va5
