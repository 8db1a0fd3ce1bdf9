// The configuration download and compare against the simulated transmitter: the model check,
// the stop at the first value that is empty or fails the panels' checks, and a full download
// that the device then holds.
#include "session/ConfigOperations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>

#include "session/Session.h"
#include "sim/SimulatedTransmitter.h"
#include "testing/TraceCommands.h"

namespace va5 {
namespace {

using session::ConfigDownload;
using session::ConfigRow;
using session::ConfigRowOutcome;
using session::ReasonKind;
using State = ConfigRowOutcome::State;

constexpr std::array<int, 12> WriteCommands{18, 17, 131, 44, 35, 34, 135, 47, 142, 133, 49, 19};

class ConfigOperationsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.Start());
    session::SessionOptions options;
    options.port = sim_.SlavePath();
    options.retries = 1;
    options.trace = [this](std::string_view line) {
      if (line.rfind("TX: ", 0) != 0) return;
      std::lock_guard lock(mutex_);
      commands_.push_back(test::CommandOfTxLine(line));
    };
    session_ = std::make_unique<session::Session>(options, Timing{}.Scaled(0.1));
    ASSERT_EQ(session_->Connect(), ResultOk);
    ASSERT_EQ(session_->Upload(), ResultOk);
    device_ = ConfigurationValuesFromDevice(session_->Record(), tables_);
    std::lock_guard lock(mutex_);
    commands_.clear();
  }

  // The write commands sent, in order (reads and polls left out).
  std::vector<int> Writes() {
    std::lock_guard lock(mutex_);
    std::vector<int> writes;
    for (int c : commands_) {
      if (std::find(WriteCommands.begin(), WriteCommands.end(), c) != WriteCommands.end())
        writes.push_back(c);
    }
    return writes;
  }

  // Runs a download as a window does, one worker message at a time, noting the rows reported.
  ConfigDownload Download(const ConfigurationValues& values) {
    ConfigDownload download(*session_, tables_, values);
    download.OnRowDone(
        [this](ConfigRow row, const ConfigRowOutcome&) { reported_.push_back(row); });
    session::PerformDownload(*session_, download);
    return download;
  }

  CglobalFile tables_;
  sim::SimulatedTransmitter sim_;
  std::mutex mutex_;
  std::vector<int> commands_;
  std::vector<ConfigRow> reported_;
  ConfigurationValues device_;  // the simulator's configuration as the editor shows it
  std::unique_ptr<session::Session> session_;
};

TEST_F(ConfigOperationsTest, AnotherModelGetsNoWrite) {
  sim_.Modify([](sim::DeviceState& s) { s.deviceType = 1; });  // "LV4"
  ConfigurationValues values = device_;
  values.tag = "NEW";
  const ConfigDownload download = Download(values);
  ASSERT_TRUE(download.Outcome().reason);
  EXPECT_EQ(download.Outcome().reason->kind, ReasonKind::ModelNotConfigurable);
  EXPECT_TRUE(Writes().empty());
  EXPECT_FALSE(download.Refreshed());
  for (const auto& row : download.Rows()) EXPECT_EQ(row.state, State::NotWritten);
  EXPECT_EQ(sim_.State().tag, "TT-101  ");
}

TEST_F(ConfigOperationsTest, StopsAtTheFirstEmptyOrUncheckedValue) {
  // An empty date stops before the first write.
  ConfigurationValues values = device_;
  values.date = "  ";
  ConfigDownload stopped = Download(values);
  EXPECT_TRUE(Writes().empty());
  EXPECT_EQ(stopped.Rows()[0].state, State::Failed);
  ASSERT_TRUE(stopped.Rows()[0].reason);
  EXPECT_EQ(stopped.Rows()[0].reason->kind, ReasonKind::WrongValueCount);
  EXPECT_NE(stopped.Rows()[0].reason->text.find("date"), std::string::npos);
  EXPECT_FALSE(stopped.Refreshed());

  // Damping "abc" (not 0) stops at its row: the five writes before it reached the device,
  // the burnout after it did not; the written rows are read back.
  reported_.clear();
  values = device_;
  values.message = "DOWNLOADED";
  values.damping = "abc";
  values.burnout = "Downscale";
  const ConfigDownload damping = Download(values);
  EXPECT_EQ(Writes(), (std::vector<int>{18, 17, 131, 44, 35}));
  const auto& rows = damping.Rows();
  for (int i = 0; i < 5; ++i) EXPECT_EQ(rows[i].state, State::Written) << i;
  EXPECT_EQ(rows[5].state, State::Failed);
  ASSERT_TRUE(rows[5].reason);
  EXPECT_EQ(rows[5].reason->kind, ReasonKind::NotANumber);
  EXPECT_EQ(damping.Outcome().reason, rows[5].reason);
  for (std::size_t i = 6; i < rows.size(); ++i) EXPECT_EQ(rows[i].state, State::NotWritten) << i;
  EXPECT_EQ(reported_.size(), 6u);
  EXPECT_EQ(sim_.State().message, "DOWNLOADED                      ");
  EXPECT_EQ(sim_.State().burnout, 0);
  EXPECT_DOUBLE_EQ(sim_.State().damping, 2.0);
  EXPECT_TRUE(damping.Refreshed());
  EXPECT_EQ(ConfigurationValuesFromDevice(session_->Record(), tables_).message, "DOWNLOADED");

  // A custom RTD that the device does not hold stops at the sensor row, as in the sensor panel.
  sim_.Modify([](sim::DeviceState& s) { s.rtdTable.configured = false; });
  {
    std::lock_guard lock(mutex_);
    commands_.clear();
  }
  values = device_;
  values.sensorType = "Custom RTD";
  const ConfigDownload custom = Download(values);
  EXPECT_EQ(Writes(), (std::vector<int>{18, 17}));
  ASSERT_TRUE(custom.Rows()[2].reason);
  EXPECT_EQ(custom.Rows()[2].reason->kind, ReasonKind::TableNotDefined);
  EXPECT_EQ(sim_.State().sensorType, 12);
}

TEST_F(ConfigOperationsTest, RowsAreCheckedAsThePanelsCheckThem) {
  ConfigurationValues v = device_;
  const auto reasonOf = [&](ConfigRow row) {
    return session::CheckConfigRow(tables_, row, v).reason;
  };
  v.date = "2009/3/7";  // day 0, or read past the end, if sent as it is
  ASSERT_TRUE(reasonOf(ConfigRow::TagGroup));
  EXPECT_EQ(reasonOf(ConfigRow::TagGroup)->kind, ReasonKind::OutOfLimits);
  v.date = "2009-03-07";
  EXPECT_EQ(session::CheckConfigRow(tables_, ConfigRow::TagGroup, v).date, "2009/03/07");
  v.tag = "TAG-LONGER";  // more than 8 characters: never cut silently
  EXPECT_EQ(reasonOf(ConfigRow::TagGroup)->kind, ReasonKind::TextTooLong);
  v.tag = "tt~1";  // upper-cased, but "~" cannot pack
  EXPECT_EQ(reasonOf(ConfigRow::TagGroup)->kind, ReasonKind::NotPackedText);
  for (const char* serial : {"-1", "99999999", "12a"}) {
    v.sensorSerialNumber = serial;
    ASSERT_TRUE(reasonOf(ConfigRow::SerialNumber)) << serial;
    EXPECT_EQ(reasonOf(ConfigRow::SerialNumber)->kind, ReasonKind::NotAWholeNumber) << serial;
  }
  v.finalAssemblyNumber = "16777216";
  EXPECT_TRUE(reasonOf(ConfigRow::FinalAssembly));
  v.damping = "31";
  EXPECT_EQ(reasonOf(ConfigRow::Damping)->kind, ReasonKind::OutOfLimits);
  v.sensorType = "Type K";
  v.sensorWires = "9 Wires";  // a fixed wiring still needs a wiring name
  EXPECT_EQ(reasonOf(ConfigRow::Sensor)->kind, ReasonKind::UnknownName);
  v.sensorWires = "3 Wires";  // a thermocouple is sent with its own wiring
  EXPECT_EQ(session::CheckConfigRow(tables_, ConfigRow::Sensor, v).entry.wires, 2);
  v.transferFunction = "linear";
  EXPECT_EQ(reasonOf(ConfigRow::TransferFunction)->kind, ReasonKind::UnknownName);
}

TEST_F(ConfigOperationsTest, FullDownloadLeavesTheDeviceEqualToTheFile) {
  ConfigurationValues file;
  file.tag = "tt-202";  // hand-edited lower case: sent upper case
  file.descriptor = "INLET";
  file.date = "2009/03/07";
  file.message = "DOWNLOADED CONFIGURATION";
  file.deviceIdentification = device_.deviceIdentification;
  file.sensorType = "Type K";
  file.sensorWires = "2 Wires";
  file.pvUnit = "degF";
  file.upperRange = "1000.000";
  file.lowerRange = "32.000";
  file.damping = "5.000";
  file.burnout = "Downscale";
  file.transferFunction = "LINEAR";
  file.terminalUnit = "Kelvin";
  file.cjcMode = "CJC OFF";
  file.sensorSerialNumber = "99";
  file.finalAssemblyNumber = "4242";
  const ConfigDownload download = Download(file);
  ASSERT_FALSE(download.Outcome().reason) << download.Outcome().reason->text;
  EXPECT_EQ(Writes(), std::vector<int>(WriteCommands.begin(), WriteCommands.end()));
  for (const auto& row : download.Rows()) EXPECT_EQ(row.state, State::Written);
  ASSERT_EQ(reported_.size(), 12u);
  EXPECT_EQ(reported_.back(), ConfigRow::FinalAssembly);
  EXPECT_TRUE(download.Refreshed());
  EXPECT_EQ(sim_.State().tag, "TT-202  ");
  EXPECT_EQ(sim_.State().day, 7);
  EXPECT_EQ(sim_.State().month, 3);
  EXPECT_EQ(sim_.State().yearOffset, 109);

  // The upload after the download shows the file, but for the tag's case.
  const auto differences = session::CompareConfigurations(
      file, ConfigurationValuesFromDevice(session_->Record(), tables_));
  ASSERT_EQ(differences.size(), 1u);
  EXPECT_EQ(differences[0].key, std::string("Tag"));
  EXPECT_EQ(differences[0].fileValue, "tt-202");
  EXPECT_EQ(differences[0].deviceValue, "TT-202");
}

}  // namespace
}  // namespace va5
