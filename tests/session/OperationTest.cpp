// One operation driven two ways against the simulated transmitter: synchronously by the
// session (the command-line tool) and asynchronously, one worker message at a time with the
// pauses and questions handled outside (a window's event loop). Both must send the same
// requests and come to the same outcome.
#include "session/Operation.h"

#include <gtest/gtest.h>

#include <mutex>
#include <sstream>

#include "device/GlobalFile.h"
#include "session/Session.h"
#include "session/Setting.h"
#include "sim/SimulatedTransmitter.h"
#include "testing/TraceCommands.h"
#include "tests/session/WindowDrive.h"

namespace va5 {
namespace {

using session::Operation;
using session::OperationOutcome;
using session::ReasonKind;
using session::Session;
using session::SessionOptions;
using session::Setting;

enum class Way { Sync, Async };

using test::CommandOfTxLine;

struct Driven {
  OperationOutcome outcome;
  std::vector<int> commands;  // sent while the operation ran, in order
  std::vector<Millis> pauses;
  int questions = 0;
  sim::DeviceState after;
};

class OperationTest : public ::testing::Test {
 protected:
  // A fresh simulator and session for each run, so that both ways start from the same device.
  Driven RunSetting(Way way, Setting setting, const std::vector<std::string>& values,
                    const std::function<void(sim::DeviceState&)>& prepare = {},
                    const std::function<void(sim::SimulatedTransmitter&)>& faults = {},
                    int retries = 1, bool answerRetry = false) {
    sim::SimulatedTransmitter sim;
    EXPECT_TRUE(sim.Start());
    if (prepare) sim.Modify(prepare);
    std::mutex mutex;
    std::vector<int> commands;
    bool recording = false;
    SessionOptions options;
    options.port = sim.SlavePath();
    options.retries = retries;
    options.trace = [&](std::string_view line) {
      if (line.rfind("TX: ", 0) != 0) return;
      std::lock_guard lock(mutex);
      if (recording) commands.push_back(CommandOfTxLine(line));
    };
    Session session(options, timing_);
    EXPECT_EQ(session.Connect(), ResultOk);
    EXPECT_EQ(session.Upload(), ResultOk);

    const auto check = session::CheckSetting(tables_, setting, values);
    EXPECT_FALSE(check.reason);
    const DeviceRecord device = session.Record();
    EXPECT_FALSE(session::CheckAgainstDevice(tables_, check.entry, device));
    Operation operation(session, session::SettingChain(tables_, check.entry, device));
    if (faults) faults(sim);
    {
      std::lock_guard lock(mutex);
      recording = true;
    }
    Driven run;
    if (way == Way::Sync) {
      run.outcome = session.Perform(operation);
    } else {
      const test::WindowRun window = test::RunAsAWindow(session, operation, answerRetry);
      run.outcome = window.outcome;
      run.pauses = window.pauses;
      run.questions = window.questions;
    }
    std::lock_guard lock(mutex);
    run.commands = commands;
    run.after = sim.State();
    return run;
  }

  static void ExpectSameRun(const Driven& sync, const Driven& async) {
    EXPECT_EQ(sync.outcome.result, async.outcome.result);
    EXPECT_EQ(sync.outcome.reason, async.outcome.reason);
    EXPECT_EQ(sync.outcome.value, async.outcome.value);
    EXPECT_EQ(sync.commands, async.commands);
  }

  CglobalFile tables_;
  Timing timing_ = Timing{}.Scaled(0.1);
};

TEST_F(OperationTest, SensorTypeWithItsTableIsTheSameDrivenEitherWay) {
  const auto defined = [](sim::DeviceState& s) { s.rtdTable.configured = true; };
  const Driven sync = RunSetting(Way::Sync, Setting::Sensor, {"Custom RTD", "4 Wires"}, defined);
  const Driven async = RunSetting(Way::Async, Setting::Sensor, {"Custom RTD", "4 Wires"}, defined);
  ASSERT_TRUE(sync.outcome.Succeeded()) << sync.outcome.reason->text;
  EXPECT_EQ(sync.outcome.value, "Custom RTD, 4 Wires");
  // The table header first, then the write, then the reads of the sensor information.
  EXPECT_EQ(sync.commands, (std::vector<int>{184, 131, 14, 15, 3, 132}));
  ExpectSameRun(sync, async);
  EXPECT_EQ(async.after.sensorType, CustomRtdSensorCode);
  EXPECT_EQ(async.after.sensorWires, sync.after.sensorWires);

  // A table the device does not hold stops both after the header read.
  const auto undefined = [](sim::DeviceState& s) { s.rtdTable.configured = false; };
  const Driven syncRefused =
      RunSetting(Way::Sync, Setting::Sensor, {"Custom RTD", "3 Wires"}, undefined);
  const Driven asyncRefused =
      RunSetting(Way::Async, Setting::Sensor, {"Custom RTD", "3 Wires"}, undefined);
  ASSERT_FALSE(syncRefused.outcome.Succeeded());
  EXPECT_EQ(syncRefused.outcome.reason->kind, ReasonKind::TableNotDefined);
  EXPECT_EQ(syncRefused.commands, std::vector<int>{184});
  ExpectSameRun(syncRefused, asyncRefused);
  EXPECT_EQ(asyncRefused.after.sensorType, sim::DeviceState{}.sensorType);
}

TEST_F(OperationTest, RangeWriteIsTheSameDrivenEitherWay) {
  const Driven sync = RunSetting(Way::Sync, Setting::Range, {"150", "-50.5"});
  const Driven async = RunSetting(Way::Async, Setting::Range, {"150", "-50.5"});
  ASSERT_TRUE(sync.outcome.Succeeded()) << sync.outcome.reason->text;
  EXPECT_EQ(sync.outcome.value, "150.000 -50.500 degC");
  EXPECT_EQ(sync.commands, std::vector<int>{35});
  ExpectSameRun(sync, async);
  EXPECT_DOUBLE_EQ(async.after.upperRangeValue, 150.0);
  EXPECT_DOUBLE_EQ(async.after.lowerRangeValue, -50.5);
}

TEST_F(OperationTest, UnitChangePausesBeforeTheReadsAreShown) {
  const Driven sync = RunSetting(Way::Sync, Setting::PvUnit, {"degF"});
  const Driven async = RunSetting(Way::Async, Setting::PvUnit, {"degF"});
  ASSERT_TRUE(sync.outcome.Succeeded()) << sync.outcome.reason->text;
  EXPECT_EQ(sync.commands, (std::vector<int>{44, 3, 14, 15}));
  ExpectSameRun(sync, async);
  // The window is told to wait, once, after the reads; it never sleeps itself.
  EXPECT_EQ(async.pauses, std::vector<Millis>{timing_.unitChangeWait});
}

TEST_F(OperationTest, AWindowIsAskedOnceTheSilentRetryIsSpent) {
  // Two failed transactions of the damping write: the first is retried silently, the second
  // is the technician's question.
  const auto twoFailures = [](sim::SimulatedTransmitter& sim) {
    sim.InjectFault({.kind = sim::Fault::Kind::Silence, .count = 8, .command = 34});
  };
  const Driven retried = RunSetting(Way::Async, Setting::Damping, {"4"}, {}, twoFailures, 0, true);
  ASSERT_TRUE(retried.outcome.Succeeded()) << retried.outcome.reason->text;
  EXPECT_EQ(retried.questions, 1);
  EXPECT_EQ(retried.commands.size(), 8u + 1u);
  EXPECT_DOUBLE_EQ(retried.after.damping, 4.0);

  const Driven cancelled =
      RunSetting(Way::Async, Setting::Damping, {"4"}, {}, twoFailures, 0, false);
  ASSERT_FALSE(cancelled.outcome.Succeeded());
  EXPECT_EQ(cancelled.questions, 1);
  EXPECT_EQ(cancelled.outcome.reason->kind, ReasonKind::LinkFailed);
  EXPECT_EQ(cancelled.commands.size(), 8u);  // nothing after giving up
  EXPECT_DOUBLE_EQ(cancelled.after.damping, sim::DeviceState{}.damping);

  // The tool has nobody to ask: the same failures give up where the window asks.
  const Driven tool = RunSetting(Way::Sync, Setting::Damping, {"4"}, {}, twoFailures, 0);
  ExpectSameRun(cancelled, tool);
}

}  // namespace
}  // namespace va5
