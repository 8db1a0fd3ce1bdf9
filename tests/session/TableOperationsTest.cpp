// The table transfers against the simulated transmitter: what goes out point by point, in
// which order, what comes back, and how a transfer that fails part-way ends.
#include "session/TableOperations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>

#include "base/NumberText.h"
#include "session/Operation.h"
#include "session/Session.h"
#include "session/TransferReport.h"
#include "sim/SimulatedTransmitter.h"
#include "testing/TraceCommands.h"
#include "tests/session/WindowDrive.h"

namespace va5 {
namespace {

using namespace std::chrono_literals;
using session::Operation;
using session::Session;
using session::TableUpload;

class TableOperationsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.Start());
    session::SessionOptions options;
    options.port = sim_.SlavePath();
    options.trace = [this](std::string_view line) {
      if (line.rfind("TX: ", 0) != 0) return;
      const int command = test::CommandOfTxLine(line);
      std::lock_guard lock(mutex_);
      commands_.push_back(command);
      if (command == 183) indices_.push_back(PointIndexOfTxLine(line));
    };
    session_ = std::make_unique<Session>(options, timing_);
    ASSERT_EQ(session_->Connect(), ResultOk);
    std::lock_guard lock(mutex_);
    commands_.clear();
  }

  // The point index (request bytes 0-1) of a traced long-frame request.
  static int PointIndexOfTxLine(std::string_view line) {
    std::vector<int> bytes;
    for (std::size_t at = 4; at + 2 <= line.size(); at += 3) {
      bytes.push_back(std::stoi(std::string(line.substr(at, 2)), nullptr, 16));
    }
    std::size_t i = 0;
    while (i < bytes.size() && bytes[i] == 0xFF) ++i;
    i += 1 + 5 + 2;  // delimiter, long address, command, byte count
    return i + 1 < bytes.size() ? bytes[i] * 256 + bytes[i + 1] : -1;
  }
  // Consecutive repeats (a retried transaction) as one.
  static std::vector<int> Unique(std::vector<int> v) {
    v.erase(std::unique(v.begin(), v.end()), v.end());
    return v;
  }

  std::vector<int> Commands() {
    std::lock_guard lock(mutex_);
    std::vector<int> c = commands_;
    std::erase_if(c, [](int command) { return command == 3 || command == 2; });  // the poll
    return c;
  }

  // What a window does, with the poll on between and after the requests: start, hand each
  // worker message to the operation, run a pause as a timer; the shown percentages.
  struct Run {
    session::OperationOutcome outcome;
    std::vector<Millis> pauses;
    std::vector<int> percents;
  };
  Run DriveLikeAWindow(session::RequestChain chain, TableKind kind, bool writing) {
    Operation operation(*session_, std::move(chain), true);
    Run run;
    const test::WindowRun window = test::RunAsAWindow(*session_, operation, false, [&] {
      run.percents.push_back(session_->WithRecord(
          [&](DeviceRecord& r) { return session::TransferPercent(r, kind, writing); }));
    });
    run.outcome = window.outcome;
    run.pauses = window.pauses;
    return run;
  }

  Timing timing_ = Timing{}.Scaled(0.02);
  sim::SimulatedTransmitter sim_;
  std::mutex mutex_;
  std::vector<int> commands_;
  std::vector<int> indices_;          // of the point writes (183)
  std::unique_ptr<Session> session_;  // last: ends before the trace it writes to
};

TableUpload TcTable(int size) {
  TableUpload t;
  t.minimumText = "-200";
  t.stepText = "1";
  for (int i = 0; i < size; ++i) t.x.push_back(FormatFixed(-90 + i * 1.0625, 4));
  return t;
}

TEST_F(TableOperationsTest, ThousandPointTcTableGoesOutAndComesBackEqual) {
  const TableUpload table = TcTable(1000);
  ASSERT_FALSE(session::CheckUpload(TableKind::Tc, table, [](const TableMessage& m) {
    ADD_FAILURE() << m.text;
    return false;
  }));
  const Run write =
      DriveLikeAWindow(session::WriteTableChain(TableKind::Tc, table), TableKind::Tc, true);
  ASSERT_TRUE(write.outcome.Succeeded()) << write.outcome.reason->text;
  EXPECT_EQ(write.pauses, std::vector<Millis>{timing_.tableWriteWait});
  EXPECT_EQ(write.percents.front(), 0);
  EXPECT_EQ(write.percents.back(), 100);
  EXPECT_TRUE(std::is_sorted(write.percents.begin(), write.percents.end()));
  // Header, the points in order, the end marker last, then the header read again.
  EXPECT_EQ(Unique(Commands()), (std::vector<int>{181, 183, 180}));
  std::vector<int> indices;
  for (int i = 0; i < 1000; ++i) indices.push_back(i);
  indices.push_back(9999);
  {
    std::lock_guard lock(mutex_);
    EXPECT_EQ(Unique(indices_), indices);
  }
  const sim::DeviceState device = sim_.State();
  EXPECT_TRUE(device.tcTable.configured);
  EXPECT_EQ(device.tcTable.size, 1000);
  EXPECT_EQ(device.tcTable.minimum, -200);

  // Read back by the tool's way; a different device copy first, so nothing is left over.
  session_->WithRecord([](DeviceRecord& r) { r.customTableValues.fill(0); });
  std::vector<int> percents;
  Operation read(*session_, session::ReadTableChain(TableKind::Tc));
  const auto& outcome = session::PerformTransfer(*session_, read, TableKind::Tc, false,
                                                 [&](int p) { percents.push_back(p); });
  ASSERT_TRUE(outcome.Succeeded()) << outcome.reason->text;
  EXPECT_GT(percents.size(), 50u);
  const DeviceRecord record = session_->Record();
  EXPECT_EQ(record.customTableState, 0);
  const TableUpload back = session::UploadFromDevice(record, TableKind::Tc);
  ASSERT_EQ(back.Size(), 1000);
  EXPECT_EQ(back.minimumText, "-200");
  EXPECT_EQ(back.stepText, "1");
  for (int i = 0; i < 1000; ++i) {
    ASSERT_EQ(std::stod(back.x[i]), std::stod(table.x[i])) << i;  // exact in single precision
  }
}

TEST_F(TableOperationsTest, SpecialCurveTravelsAsFractionsAndSizesAreChecked) {
  TableUpload curve;
  curve.x = {"0", "50", "100"};
  curve.y = {"0", "25.5", "100"};
  ASSERT_TRUE(session_->Perform(session::WriteTableChain(TableKind::Curve, curve)).Succeeded());
  const sim::DeviceState device = sim_.State();
  ASSERT_EQ(device.curve.size, 3);
  EXPECT_FLOAT_EQ(device.curve.x[1], 0.5f);
  EXPECT_FLOAT_EQ(device.curve.y[1], 0.255f);
  ASSERT_TRUE(session_->Perform(session::ReadTableChain(TableKind::Curve)).Succeeded());
  EXPECT_NEAR(session_->Record().specialCurveX[1], 50.0, 1e-4);

  // One point, or more than the kind holds: refused before anything is sent.
  {
    std::lock_guard lock(mutex_);
    commands_.clear();
  }
  curve.x.resize(1);
  curve.y.resize(1);
  auto refused = session_->Perform(session::WriteTableChain(TableKind::Curve, curve));
  ASSERT_FALSE(refused.Succeeded());
  EXPECT_EQ(refused.reason->Class(), session::ReasonClass::Entry);
  refused = session_->Perform(session::WriteTableChain(TableKind::Rtd, TcTable(501)));
  EXPECT_FALSE(refused.Succeeded());
  EXPECT_TRUE(Commands().empty());

  // A device header beyond the kind's maximum: the header alone is read (for TC too, whose
  // maximum is what the record holds).
  sim_.Modify([](sim::DeviceState& s) { s.rtdTable.size = 700; });
  ASSERT_TRUE(session_->Perform(session::ReadTableChain(TableKind::Rtd)).Succeeded());
  EXPECT_EQ(Commands(), std::vector<int>{184});
  sim_.Modify([](sim::DeviceState& s) { s.tcTable.size = 1050; });
  ASSERT_TRUE(session_->Perform(session::ReadTableChain(TableKind::Tc)).Succeeded());
  EXPECT_EQ(Commands(), (std::vector<int>{184, 180}));
}

TEST_F(TableOperationsTest, UploadChecksAskInTheirOrder) {
  std::vector<std::string> asked;
  const auto okAll = [&](const TableMessage& m) {
    asked.push_back(m.key);
    return true;
  };
  TableUpload t = TcTable(3);
  t.x = {"-100", "1000", "1000"};  // the bounds themselves and equal neighbours pass
  EXPECT_FALSE(session::CheckUpload(TableKind::Tc, t, okAll));
  EXPECT_TRUE(asked.empty());
  t.x = {"-100.5", "5", "4"};
  EXPECT_FALSE(session::CheckUpload(TableKind::Tc, t, okAll));
  EXPECT_EQ(asked,
            (std::vector<std::string>{"Err_CustomTable_Data_Bound", "Err_Custom_Table_Data"}));
  // Minimum and step refuse without asking.
  t.minimumText = "-274";
  EXPECT_EQ(session::CheckUpload(TableKind::Tc, t, okAll)->key, "Err_Temp_Min");
  t.minimumText = "0";
  t.stepText = "0";
  EXPECT_EQ(session::CheckUpload(TableKind::Rtd, t, okAll)->key, "Err_Temp_Step");
  EXPECT_EQ(asked.size(), 2u);
  // RTD values must lie above 0; Cancel refuses with the question's message.
  t.stepText = "5";
  t.x = {"0", "1", "2"};
  const auto refused =
      session::CheckUpload(TableKind::Rtd, t, [](const TableMessage&) { return false; });
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->key, "Err_CustomRTD_Data_Bound");
  EXPECT_EQ(refused->args[1], "0");
  // The curve: Y beyond 115 refuses without a choice; equal X values pass, a falling X asks.
  TableUpload c;
  c.x = {"0", "0", "10"};
  c.y = {"0", "115.5", "10"};
  EXPECT_EQ(session::CheckUpload(TableKind::Curve, c, okAll)->key,
            "Err_Special_Table_Data_Bound_Y");
  c.y[1] = "5";
  EXPECT_FALSE(session::CheckUpload(TableKind::Curve, c, okAll));
  EXPECT_EQ(asked.size(), 2u);
  c.x[2] = "-1";
  EXPECT_FALSE(session::CheckUpload(TableKind::Curve, c, okAll));
  EXPECT_EQ(asked.back(), "Err_Special_Table_Data");
}

TEST(TableCopyOriginTest, OneCustomCopyForRtdAndTcFromOneDevice) {
  DeviceRecord device;
  device.manufacturerName = "M";
  device.modelName = "TQ5R";
  device.deviceIdText = "293";
  session::TableCopyOrigin origin;
  EXPECT_FALSE(origin.Holds(TableKind::Rtd, device));
  origin.Note(TableKind::Rtd, device);
  origin.Note(TableKind::Curve, device);
  EXPECT_TRUE(origin.Holds(TableKind::Rtd, device));
  EXPECT_FALSE(origin.Holds(TableKind::Tc, device));
  DeviceRecord other = device;
  other.deviceIdText = "294";
  EXPECT_FALSE(origin.Holds(TableKind::Rtd, other));
  // A TC read replaces the RTD table in the shared copy; the curve has its own.
  origin.Note(TableKind::Tc, device);
  EXPECT_FALSE(origin.Holds(TableKind::Rtd, device));
  EXPECT_TRUE(origin.Holds(TableKind::Tc, device));
  origin.Forget(TableKind::Tc);
  EXPECT_FALSE(origin.Holds(TableKind::Tc, device));
  EXPECT_TRUE(origin.Holds(TableKind::Curve, device));
}

TEST_F(TableOperationsTest, VanishedDeviceAndRefusedPointStopTheTransfer) {
  // The device goes after 10 points: the write stops there, the poll is on again and the
  // header is not read again.
  sim_.InjectFault({.kind = sim::Fault::Kind::VanishAfterPointWrites, .value = 10});
  const Run write =
      DriveLikeAWindow(session::WriteTableChain(TableKind::Tc, TcTable(50)), TableKind::Tc, true);
  ASSERT_FALSE(write.outcome.Succeeded());
  EXPECT_EQ(write.outcome.reason->Class(), session::ReasonClass::Link);
  EXPECT_TRUE(session_->Monitoring());
  const std::vector<int> sent = Commands();
  EXPECT_EQ(std::count(sent.begin(), sent.end(), 180), 0);
  EXPECT_EQ(sent.front(), 181);
  // Points 0 to 9 answered; the 11th went unanswered (retried) and was the last sent.
  {
    std::lock_guard lock(mutex_);
    EXPECT_EQ(Unique(indices_), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  }
  EXPECT_TRUE(write.pauses.empty());
  EXPECT_FALSE(sim_.State().tcTable.configured);

  // A refused point read ends the read there.
  sim_.ClearFaults();
  session_->SetMonitoring(false);
  sim_.Modify([](sim::DeviceState& s) {
    s.rtdTable.size = 5;
    s.rtdTable.values.assign(5, 100.0f);
  });
  sim_.InjectFault(
      {.kind = sim::Fault::Kind::ResponseCode, .count = 1, .command = 186, .value = 2});
  {
    std::lock_guard lock(mutex_);
    commands_.clear();
  }
  const auto read = session_->Perform(session::ReadTableChain(TableKind::Rtd));
  ASSERT_FALSE(read.Succeeded());
  EXPECT_EQ(read.reason->Class(), session::ReasonClass::Refused);
  EXPECT_EQ(Commands(), (std::vector<int>{184, 186}));
}

// What a write that ends part-way leaves in the device, in the words both the window and the
// tool use: the points the device confirmed, the one whose reply was lost, and nothing for a
// refused header (which is read again instead, so the record shows the table kept).
TEST_F(TableOperationsTest, AWriteThatEndsPartWaySaysWhatTheDeviceHolds) {
  struct Case {
    const char* name;
    std::optional<sim::Fault> fault;
    std::string badPoint4;  // a value the device refuses in point 4, or nothing
    int stopAtStep;         // RequestStop while this step runs (0: the header); -1: never
    session::ReasonClass why;
    std::vector<int> sent;  // the commands, repeats as one
    std::optional<std::string> held;
  };
  const std::string lead = "The device holds a partly written table: ";
  const std::string again = "; write the table again or restore it.";
  const std::vector<Case> cases = {
      {"refused header",
       sim::Fault{.kind = sim::Fault::Kind::ResponseCode,
                  .count = 1,
                  .command = 181,
                  .value = sim::RcInvalidSelection},
       "",
       -1,
       session::ReasonClass::Refused,
       {181, 180},
       std::nullopt},
      {"refused point",
       std::nullopt,
       "1e39",
       -1,
       session::ReasonClass::Refused,
       {181, 183},
       lead + "points 1 to 3 of 5 were written" + again},
      {"stopped",
       std::nullopt,
       "",
       3,
       session::ReasonClass::Link,
       {181, 183},
       lead + "points 1 to 3 of 5 were written" + again},
      {"stopped after the header",
       std::nullopt,
       "",
       0,
       session::ReasonClass::Link,
       {181},
       lead + "its header was written, and none of its 5 points was confirmed" + again},
      {"link lost after 2 points",
       sim::Fault{.kind = sim::Fault::Kind::VanishAfterPointWrites, .value = 2},
       "",
       -1,
       session::ReasonClass::Link,
       {181, 183},
       lead + "points 1 to 2 of 5 were written, point 3 is not confirmed: the device may " +
           "have taken it" + again},
  };
  sim_.Modify([](sim::DeviceState& s) {
    s.tcTable.size = 7;
    s.tcTable.minimum = -40;
    s.tcTable.values.assign(7, 1.0f);
    s.tcTable.written.assign(7, true);
  });
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim_.ClearFaults();
    if (c.fault) sim_.InjectFault(*c.fault);
    TableUpload table = TcTable(5);
    if (!c.badPoint4.empty()) table.x[3] = c.badPoint4;
    {
      std::lock_guard lock(mutex_);
      commands_.clear();
      indices_.clear();
    }
    Operation write(*session_, session::WriteTableChain(TableKind::Tc, table));
    const auto& outcome = session_->Drive(write, [&] {
      if (write.InProgress() && static_cast<int>(write.EndedAt()) == c.stopAtStep) {
        write.RequestStop();
      }
    });
    ASSERT_FALSE(outcome.Succeeded());
    EXPECT_EQ(outcome.reason->Class(), c.why) << outcome.reason->text;
    EXPECT_EQ(Unique(Commands()), c.sent);
    const auto held = session::PartialTableWrite(write);
    EXPECT_EQ(held ? std::optional<std::string>(held->text) : std::nullopt, c.held);
    if (c.stopAtStep >= 0) {
      EXPECT_EQ(outcome.reason->text, "write the custom TC table: stopped by the technician");
      // The request in flight finished; nothing went out after it.
      std::lock_guard lock(mutex_);
      EXPECT_EQ(Unique(indices_).size(), static_cast<std::size_t>(c.stopAtStep));
    }
    if (c.sent.back() == 180) {
      // The header read again: the record holds the table the device kept.
      const DeviceRecord record = session_->Record();
      EXPECT_EQ(record.customTableSize, 7);
      EXPECT_EQ(record.customTableMinimum, -40);
    }
  }
}

}  // namespace
}  // namespace va5
