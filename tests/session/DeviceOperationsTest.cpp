// The device operations (sensor trim, fixed current, DAC trim, self test) against the
// simulated transmitter: what reaches the device, byte for byte, and the state it is left in.
#include "session/Operations.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

#include "base/NumberText.h"
#include "session/Operation.h"
#include "session/Session.h"
#include "session/Setting.h"
#include "sim/SimulatedTransmitter.h"
#include "tests/session/WindowDrive.h"

namespace va5 {
namespace {

using namespace std::chrono_literals;
using session::Operation;
using session::ReasonClass;
using session::ReasonKind;
using session::SensorTrimPoint;
using session::Session;
using session::SessionOptions;
using session::Setting;
using session::TrimMode;
using Clock = std::chrono::steady_clock;

// A request as the link sent it.
struct SentFrame {
  int command = -1;
  std::vector<std::uint8_t> data;
  Clock::time_point at;
};

// Reads a traced request ("TX: FF,...,delimiter,address,command,count,data...,checksum").
SentFrame ParseTxLine(std::string_view line) {
  std::istringstream in{std::string(line.substr(4))};
  std::vector<std::uint8_t> bytes;
  for (std::string field; std::getline(in, field, ',');) {
    if (field.size() >= 2)
      bytes.push_back(static_cast<std::uint8_t>(std::stoi(field, nullptr, 16)));
  }
  SentFrame frame;
  frame.at = Clock::now();
  std::size_t i = 0;
  while (i < bytes.size() && bytes[i] == 0xFF) ++i;
  if (i >= bytes.size()) return frame;
  i += (bytes[i] & 0x80) != 0 ? 6 : 2;
  if (i + 1 >= bytes.size()) return frame;
  frame.command = bytes[i];
  const std::size_t count = bytes[i + 1];
  const std::size_t begin = std::min(bytes.size(), i + 2);
  frame.data.assign(bytes.begin() + static_cast<long>(begin),
                    bytes.begin() + static_cast<long>(std::min(bytes.size(), begin + count)));
  return frame;
}

float FloatAt(const std::vector<std::uint8_t>& data, std::size_t offset) {
  if (data.size() < offset + 4) {
    ADD_FAILURE() << "no float at " << offset;
    return std::numeric_limits<float>::quiet_NaN();
  }
  const std::uint32_t bits = (std::uint32_t{data[offset]} << 24) |
                             (std::uint32_t{data[offset + 1]} << 16) |
                             (std::uint32_t{data[offset + 2]} << 8) | data[offset + 3];
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

class DeviceOperationsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.Start());
    SessionOptions options;
    options.port = sim_.SlavePath();
    options.retries = 1;
    options.trace = [this](std::string_view line) {
      if (line.rfind("TX: ", 0) != 0) return;
      std::lock_guard lock(mutex_);
      sent_.push_back(ParseTxLine(line));
    };
    session_ = std::make_unique<Session>(options, timing_);
    ASSERT_EQ(session_->Connect(), ResultOk);
    ASSERT_EQ(session_->Upload(), ResultOk);
    Clear();
  }

  void Clear() {
    std::lock_guard lock(mutex_);
    sent_.clear();
  }
  std::vector<SentFrame> Sent() {
    std::lock_guard lock(mutex_);
    return sent_;
  }
  std::vector<int> Commands() {
    std::vector<int> commands;
    for (const auto& f : Sent()) commands.push_back(f.command);
    return commands;
  }
  std::vector<std::uint8_t> LastData(int command) {
    const auto sent = Sent();
    for (auto f = sent.rbegin(); f != sent.rend(); ++f) {
      if (f->command == command) return f->data;
    }
    ADD_FAILURE() << "command " << command << " was not sent";
    return {};
  }

  // Runs a chain to its end, reporting any failure.
  void Succeeds(session::RequestChain chain) {
    const auto outcome = session_->Perform(std::move(chain));
    EXPECT_TRUE(outcome.Succeeded()) << outcome.reason->text;
  }

  // Drives an operation as a window does, one worker message at a time; returns the pauses
  // that the window is asked to wait.
  std::vector<Millis> DriveLikeAWindow(session::RequestChain chain) {
    Operation operation(*session_, std::move(chain));
    const test::WindowRun run = test::RunAsAWindow(*session_, operation);
    EXPECT_EQ(run.questions, 0) << "asked about a link failure";
    EXPECT_TRUE(run.outcome.Succeeded()) << run.outcome.reason->text;
    return run.pauses;
  }

  CglobalFile tables_;
  Timing timing_ = Timing{}.Scaled(0.1);
  // The self test keeps the device busy for less than the scaled wait after it.
  sim::SimulatedTransmitter sim_{sim::SimConfig{.selfTestBusy = 100ms}};
  std::mutex mutex_;
  std::vector<SentFrame> sent_;
  std::unique_ptr<Session> session_;  // last: ends before the trace it writes to
};

TEST_F(DeviceOperationsTest, SensorTrimSendsPointUnitAndValue) {
  // A steady input, so that the span trim has a distance from the zero point.
  sim_.Modify([](sim::DeviceState& s) {
    s.damping = 0;
    s.processValue = 20.0;
  });
  DeviceRecord device = session_->Record();
  ASSERT_EQ(device.pvUnit, sim::UnitDegC);
  std::string text;
  // The sensor limits themselves are accepted, beyond them is refused.
  EXPECT_FALSE(
      session::CheckSensorTrimValue(FormatFixed(device.upperSensorLimit, 3), device, text));
  EXPECT_FALSE(
      session::CheckSensorTrimValue(FormatFixed(device.lowerSensorLimit, 3), device, text));
  auto refused =
      session::CheckSensorTrimValue(FormatFixed(device.upperSensorLimit + 0.01, 3), device, text);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->kind, ReasonKind::OutOfLimits);

  ASSERT_FALSE(session::CheckSensorTrimValue("1.5", device, text));
  Succeeds(session::SensorTrimChain(tables_, SensorTrimPoint::Zero, text));
  auto data = LastData(141);
  ASSERT_GE(data.size(), 6u);
  EXPECT_EQ(data[0], 1);
  EXPECT_EQ(data[1], sim::UnitDegC);
  EXPECT_FLOAT_EQ(FloatAt(data, 2), 1.5f);
  EXPECT_NEAR(sim_.State().trimZeroPoint, 20.0, 1e-3);
  EXPECT_DOUBLE_EQ(sim_.State().trimZeroValue, 1.5);
  // The reply's trim data reach the record.
  EXPECT_DOUBLE_EQ(session_->Record().sensorTrimZeroValue, 1.5);

  sim_.Modify([](sim::DeviceState& s) { s.processValue = 80.0; });
  ASSERT_FALSE(session::CheckSensorTrimValue("81.5", device, text));
  Succeeds(session::SensorTrimChain(tables_, SensorTrimPoint::Span, text));
  data = LastData(141);
  EXPECT_EQ(data[0], 2);
  EXPECT_EQ(data[1], sim::UnitDegC);
  EXPECT_FLOAT_EQ(FloatAt(data, 2), 81.5f);
  EXPECT_NEAR(sim_.State().trimGain, 80.0 / 60.0, 1e-4);

  // Clearing sends the present PV of the last reading, with point 0.
  ASSERT_EQ(session_->Run(RequestReadSensorInfo), ResultOk);
  const double pv = session_->Record().pvValue;
  EXPECT_NEAR(pv, 81.5, 0.01);
  Succeeds(session::SensorTrimChain(tables_, SensorTrimPoint::Clear));
  data = LastData(141);
  EXPECT_EQ(data[0], 0);
  EXPECT_EQ(data[1], sim::UnitDegC);
  EXPECT_FLOAT_EQ(FloatAt(data, 2), static_cast<float>(std::stod(FormatFixed(pv, 6))));
  EXPECT_DOUBLE_EQ(sim_.State().trimGain, 1.0);
  EXPECT_DOUBLE_EQ(sim_.State().trimZeroValue, 0.0);
}

TEST_F(DeviceOperationsTest, SensorTrimTakesTheUnitOfTheMomentOfTheRequest) {
  // The trim is prepared while the PV is in degC; the unit changes before it is sent.
  auto trim = session::SensorTrimChain(tables_, SensorTrimPoint::Zero, "100");
  const auto unit = session::CheckSetting(tables_, Setting::PvUnit, {"degF"});
  ASSERT_FALSE(unit.reason);
  const auto written = session::WriteSetting(*session_, tables_, unit.entry);
  ASSERT_TRUE(written.Succeeded()) << written.reason->text;

  Clear();
  Succeeds(std::move(trim));
  EXPECT_EQ(Commands(), std::vector<int>{141});
  const auto data = LastData(141);
  EXPECT_EQ(data[1], sim::UnitDegF);
  EXPECT_FLOAT_EQ(FloatAt(data, 2), 100.0f);
  EXPECT_NEAR(sim_.State().trimZeroValue, 100.0, 1e-4);  // taken as degF
}

TEST_F(DeviceOperationsTest, FixedCurrentStaysWithinItsLimits) {
  std::string text;
  EXPECT_FALSE(session::CheckFixedCurrent("3.8", text));
  EXPECT_EQ(text, "3.8");
  EXPECT_FALSE(session::CheckFixedCurrent("21.6", text));
  EXPECT_EQ(text, "21.6");
  for (const char* entry : {"3.79", "21.61", "abc", ""}) {
    const auto reason = session::CheckFixedCurrent(entry, text);
    ASSERT_TRUE(reason) << entry;
    EXPECT_EQ(reason->Class(), ReasonClass::Entry) << entry;
  }
  EXPECT_EQ(text, "21.6");  // a refused entry leaves nothing to send

  // The present loop current becomes the fixed value only when it could be entered: an alarm
  // current (3.6, 21.8) or a broken reading is no output to fix.
  for (double current : {3.6, 21.8, std::numeric_limits<double>::quiet_NaN(),
                         std::numeric_limits<double>::infinity()}) {
    const auto reason = session::CheckPresentCurrent(current, text);
    ASSERT_TRUE(reason) << current;
    EXPECT_EQ(reason->kind, ReasonKind::OutOfLimits);
  }
  EXPECT_EQ(text, "21.6");
  EXPECT_FALSE(session::CheckPresentCurrent(12.3456, text));
  EXPECT_EQ(text, "12.346");

  const auto fixed = session_->Perform(session::FixedCurrentChain("21.6"));
  ASSERT_TRUE(fixed.Succeeded()) << fixed.reason->text;
  EXPECT_EQ(fixed.value, "21.600 mA");
  EXPECT_FLOAT_EQ(FloatAt(LastData(40), 0), 21.6f);
  EXPECT_TRUE(sim_.State().fixedCurrentMode);

  Succeeds(session::FixedCurrentChain(session::LeaveFixedCurrentText));
  EXPECT_EQ(FloatAt(LastData(40), 0), 0.0f);
  EXPECT_FALSE(sim_.State().fixedCurrentMode);
}

TEST_F(DeviceOperationsTest, DacTrimEntersAndLeavesTheFixedMode) {
  std::string text;
  const auto noMode = session::CheckTrimCurrent(TrimMode::None, "4", text);
  ASSERT_TRUE(noMode);
  EXPECT_EQ(noMode->kind, ReasonKind::TrimModeNotSet);
  EXPECT_FALSE(session::CheckTrimCurrent(TrimMode::Lower, "4.2", text));
  EXPECT_TRUE(session::CheckTrimCurrent(TrimMode::Lower, "4.21", text));
  EXPECT_FALSE(session::CheckTrimCurrent(TrimMode::Upper, "19.8", text));
  EXPECT_TRUE(session::CheckTrimCurrent(TrimMode::Upper, "19.79", text));

  Succeeds(session::TrimModeChain(TrimMode::Lower));
  EXPECT_FLOAT_EQ(FloatAt(LastData(40), 0), 4.0f);
  EXPECT_TRUE(sim_.State().fixedCurrentMode);
  Clear();
  Succeeds(session::TrimDacChain(TrimMode::Lower, "4.1"));
  EXPECT_EQ(Commands(), std::vector<int>{45});
  EXPECT_FLOAT_EQ(FloatAt(LastData(45), 0), 4.1f);
  EXPECT_NEAR(sim_.State().dacZeroOffset, -0.1, 1e-5);
  EXPECT_TRUE(sim_.State().fixedCurrentMode);  // the technician may trim again

  // Clearing ends outside the fixed mode with the trim undone.
  Clear();
  Succeeds(session::ClearDacTrimChain());
  EXPECT_EQ(Commands(), (std::vector<int>{158, 40}));
  EXPECT_EQ(LastData(158).at(0), 1);
  EXPECT_EQ(FloatAt(LastData(40), 0), 0.0f);
  EXPECT_FALSE(sim_.State().fixedCurrentMode);
  EXPECT_DOUBLE_EQ(sim_.State().dacZeroOffset, 0.0);

  Clear();
  Succeeds(session::TrimModeChain(TrimMode::Upper));
  Succeeds(session::TrimDacChain(TrimMode::Upper, "20.1"));
  EXPECT_EQ(Commands(), (std::vector<int>{40, 46}));
  EXPECT_FLOAT_EQ(FloatAt(LastData(40), 0), 20.0f);
  EXPECT_TRUE(sim_.State().fixedCurrentMode);

  // Closing always leaves the fixed mode, then lets the output settle on the window's timer.
  Clear();
  EXPECT_EQ(DriveLikeAWindow(session::CloseDacTrimChain()),
            std::vector<Millis>{timing_.leaveFixedWait});
  EXPECT_EQ(Commands(), std::vector<int>{40});
  EXPECT_EQ(FloatAt(LastData(40), 0), 0.0f);
  EXPECT_FALSE(sim_.State().fixedCurrentMode);
}

TEST_F(DeviceOperationsTest, SelfTestReadsTheStatusAfterItsWait) {
  sim_.Modify([](sim::DeviceState& s) { s.additionalStatus[2] = 0x41; });
  const auto outcome = session_->Perform(session::SelfTestChain());
  ASSERT_TRUE(outcome.Succeeded()) << outcome.reason->text;
  const auto sent = Sent();
  ASSERT_EQ(Commands(), (std::vector<int>{41, 48}));
  EXPECT_GE(sent[1].at - sent[0].at, timing_.selfTestWait);
  EXPECT_EQ(outcome.value,
            "EEPROM SUM Error (Basic Part): error\n"
            "EEPROM SUM Error (Custom TC Part): ok\n"
            "EEPROM SUM Error (Custom RTD Part): ok\n"
            "EEPROM SUM Error (Special Curve Part): ok\n"
            "EEPROM SUM Error (Summary): error\n"
            "EEPROM Hardware Error: ok");

  // A window polls after the chain, yet the status read is the next command the device hears
  // even when the window takes its time over the self test's completion; the poll is on again
  // afterwards.
  Clear();
  Operation windowed(*session_, session::SelfTestChain(), true);
  for (auto status = windowed.Start(); status != Operation::Status::Done;) {
    const auto message = session_->Messages().Next(std::chrono::seconds(30));
    ASSERT_TRUE(message);
    if (message->kind == RequestSelfTest) std::this_thread::sleep_for(timing_.idleWait * 3);
    status = windowed.OnMessage(*message);
  }
  ASSERT_TRUE(windowed.Outcome().Succeeded()) << windowed.Outcome().reason->text;
  const std::vector<int> windowCommands = Commands();
  ASSERT_GE(windowCommands.size(), 2u);
  EXPECT_EQ((std::vector<int>(windowCommands.begin(), windowCommands.begin() + 2)),
            (std::vector<int>{41, 48}));
  EXPECT_TRUE(session_->Monitoring());
  session_->SetMonitoring(false);
  std::this_thread::sleep_for(200ms);  // a poll under way ends before the next part

  // A refused self test ends the chain: no status is read after it.
  Clear();
  sim_.InjectFault(
      {.kind = sim::Fault::Kind::ResponseCode, .count = -1, .command = 41, .value = 16});
  const auto refused = session_->Perform(session::SelfTestChain());
  ASSERT_FALSE(refused.Succeeded());
  EXPECT_EQ(refused.result, ResultReplyRejected);
  EXPECT_EQ(refused.reason->Class(), ReasonClass::Refused);
  EXPECT_EQ(Commands(), std::vector<int>{41});
}

TEST_F(DeviceOperationsTest, TagIsWrittenWithItsDescriptor) {
  const auto check = session::CheckSetting(tables_, Setting::Tag, {"ab", "desc"});
  ASSERT_FALSE(check.reason) << check.reason->text;
  EXPECT_EQ(check.entry.packed, "AB      ");
  EXPECT_EQ(check.entry.packedDescriptor, "DESC            ");
  const auto written = session::WriteSetting(*session_, tables_, check.entry);
  ASSERT_TRUE(written.Succeeded()) << written.reason->text;
  EXPECT_EQ(sim_.State().tag, "AB      ");
  EXPECT_EQ(sim_.State().descriptor, "DESC            ");

  // Characters packed ASCII lacks are refused in either text, before anything is built.
  for (const std::vector<std::string>& values : std::vector<std::vector<std::string>>{
           {"t\xC3\xA9"}, {"a~"}, {"ab", "d\xC3\xA9sc"}, {"ab", "~"}}) {
    const auto bad = session::CheckSetting(tables_, Setting::Tag, values);
    ASSERT_TRUE(bad.reason) << values.back();
    EXPECT_EQ(bad.reason->kind, ReasonKind::NotPackedText) << values.back();
  }
}

}  // namespace
}  // namespace va5
