// The session's answers to the worker's failures and its request chains, in process against
// the simulated transmitter with scaled timing.
#include "session/Session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "session/Connection.h"
#include "session/LinkHold.h"
#include "session/Operations.h"
#include "session/Setting.h"
#include "sim/SimulatedTransmitter.h"

namespace va5 {
namespace {

using session::Connection;
using session::LinkHold;
using session::Operation;
using session::OperationOutcome;
using session::ReasonClass;
using session::ReasonKind;
using session::Session;
using session::SessionOptions;
using session::Setting;

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(sim_.Start()); }

  // A connected session that has identified the device.
  std::unique_ptr<Session> Connect(int retries) {
    SessionOptions options;
    options.port = sim_.SlavePath();
    options.retries = retries;
    auto session = std::make_unique<Session>(options, Timing{}.Scaled(0.1));
    EXPECT_EQ(session->Connect(), ResultOk);
    requestsBefore_ = sim_.RequestCount();
    return session;
  }
  OperationOutcome Apply(Session& session, Setting setting, std::vector<std::string> values) {
    const auto check = session::CheckSetting(tables_, setting, values);
    EXPECT_FALSE(check.reason) << check.reason->text;
    return session::WriteSetting(session, tables_, check.entry);
  }
  void Silence(int command, int requests) {
    sim_.InjectFault({.kind = sim::Fault::Kind::Silence, .count = requests, .command = command});
  }
  int Sent() const { return sim_.RequestCount() - requestsBefore_; }

  sim::SimulatedTransmitter sim_;
  CglobalFile tables_;
  int requestsBefore_ = 0;
};

TEST_F(SessionTest, FirstFailureOfAWriteIsRetriedWithoutCounting) {
  auto session = Connect(0);
  Silence(34, 4);  // one failed transaction
  const auto outcome = Apply(*session, Setting::Damping, {"2.5"});
  ASSERT_TRUE(outcome.Succeeded()) << outcome.reason->text;
  EXPECT_EQ(outcome.value, "2.500 s");
  EXPECT_EQ(Sent(), 4 + 1);
  EXPECT_DOUBLE_EQ(sim_.State().damping, 2.5);
}

TEST_F(SessionTest, SecondFailureOfAWriteNeedsARetryLeft) {
  auto session = Connect(0);
  Silence(34, 8);
  auto outcome = Apply(*session, Setting::Damping, {"2.5"});
  ASSERT_FALSE(outcome.Succeeded());
  EXPECT_EQ(outcome.reason->Class(), ReasonClass::Link);
  EXPECT_EQ(outcome.reason->text, "damping: no answer from the device");
  EXPECT_EQ(outcome.result, ResultLinkFailed);
  EXPECT_EQ(Sent(), 8);
  session.reset();  // the port is for one user at a time

  auto patient = Connect(1);
  Silence(34, 8);
  outcome = Apply(*patient, Setting::Damping, {"3"});
  EXPECT_TRUE(outcome.Succeeded()) << outcome.reason->text;
  EXPECT_EQ(Sent(), 8 + 1);
}

TEST_F(SessionTest, ReadsAreRetriedOnlyAsOftenAsAllowed) {
  auto none = Connect(0);
  Silence(14, 4);
  EXPECT_EQ(none->Run(RequestReadSensorInfo), ResultLinkFailed);
  EXPECT_EQ(Sent(), 4);  // nothing after giving up
  none.reset();

  auto two = Connect(2);
  Silence(14, 8);
  EXPECT_EQ(two->Run(RequestReadSensorInfo), ResultOk);  // 14, 15, 3, 132
  EXPECT_EQ(Sent(), 8 + 4);
}

TEST_F(SessionTest, UndefinedCustomTableRefusesTheSensorChange) {
  sim_.Modify([](sim::DeviceState& s) { s.rtdTable.configured = false; });
  auto session = Connect(1);
  const int sensorBefore = sim_.State().sensorType;
  const auto outcome = Apply(*session, Setting::Sensor, {"Custom RTD", "3 Wires"});
  ASSERT_FALSE(outcome.Succeeded());
  EXPECT_EQ(outcome.reason->kind, ReasonKind::TableNotDefined);
  EXPECT_EQ(outcome.reason->args, std::vector<std::string>{"RTD"});
  EXPECT_NE(outcome.reason->text.find("custom RTD table is not defined"), std::string::npos);
  EXPECT_EQ(Sent(), 1);  // the header read only
  EXPECT_EQ(sim_.State().sensorType, sensorBefore);
}

TEST_F(SessionTest, UndefinedSpecialCurveRefusesTheTransferFunction) {
  sim_.Modify([](sim::DeviceState& s) { s.curve.configured = false; });
  auto session = Connect(1);
  const auto outcome = Apply(*session, Setting::TransferFunction, {"SPECIAL_CURVE"});
  ASSERT_FALSE(outcome.Succeeded());
  EXPECT_EQ(outcome.reason->kind, ReasonKind::CurveNotDefined);
  EXPECT_EQ(outcome.reason->Class(), ReasonClass::Refused);
  EXPECT_EQ(Sent(), 1);
}

TEST_F(SessionTest, DefinedCustomTableLeadsToTheWriteAndTheReads) {
  sim_.Modify([](sim::DeviceState& s) { s.tcTable.configured = true; });
  auto session = Connect(1);
  const auto outcome = Apply(*session, Setting::Sensor, {"Custom TC"});
  ASSERT_TRUE(outcome.Succeeded()) << outcome.reason->text;
  EXPECT_EQ(outcome.value, "Custom TC, 2 Wires");
  EXPECT_EQ(Sent(), 1 + 1 + 4);  // 180, then 131, then 14, 15, 3, 132
}

TEST_F(SessionTest, ModelChecksComeFromTheIdentity) {
  auto session = Connect(1);
  session->WithRecord([](DeviceRecord& r) { r.modelName = "TQ9X"; });
  for (Setting setting : {Setting::FinalAssembly, Setting::Tag, Setting::PollingAddress}) {
    const auto outcome = Apply(*session, setting, {"1"});
    ASSERT_FALSE(outcome.Succeeded()) << session::NameOf(setting);
    EXPECT_EQ(outcome.reason->kind, ReasonKind::ModelNotConfigurable);
    EXPECT_EQ(outcome.reason->args[0], "TQ9X");
  }
  // The message has no model check.
  EXPECT_TRUE(Apply(*session, Setting::Message, {"HELLO"}).Succeeded());
  EXPECT_EQ(Sent(), 1);
}

TEST_F(SessionTest, SearchWithoutADeviceGivesUpAfterSixteenAddresses) {
  sim_.InjectFault({.kind = sim::Fault::Kind::Silence});
  // The frames are counted as the session sent them: what the simulator reads of a request
  // that the next address's purge discards depends on how fast it is scheduled.
  std::mutex mutex;
  std::vector<int> addresses;
  SessionOptions options;
  options.port = sim_.SlavePath();
  options.address = 13;
  options.trace = [&](std::string_view line) {
    // "TX: FF,FF,FF,FF,FF,02,AA,..." with the address byte after the short-frame delimiter.
    if (line.rfind("TX: ", 0) != 0) return;
    const std::string_view frame = line.substr(4 + 5 * 3);
    ASSERT_EQ(frame.substr(0, 3), "02,") << line;
    std::lock_guard lock(mutex);
    addresses.push_back(std::stoi(std::string(frame.substr(3, 2)), nullptr, 16) & 0x0F);
  };
  Connection search(options, Connection::Goal::Search, Timing{}.Scaled(0.1));
  const OperationOutcome& outcome = search.GetSession().Drive(search);
  ASSERT_TRUE(outcome.reason);  // nobody to ask for another round
  EXPECT_EQ(outcome.reason->kind, ReasonKind::LinkFailed) << outcome.reason->text;
  EXPECT_FALSE(search.FoundAddress());
  EXPECT_EQ(search.GetState(), Connection::State::Offline);
  EXPECT_FALSE(search.GetSession().Running());  // a search always ends the worker
  std::lock_guard lock(mutex);
  const std::vector<int> expected{13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  EXPECT_EQ(addresses, expected);
}

TEST_F(SessionTest, SearchFindsTheDeviceAndEndsTheWorker) {
  sim_.Modify([](sim::DeviceState& s) { s.pollingAddress = 2; });
  SessionOptions options;
  options.port = sim_.SlavePath();
  options.address = 14;
  Connection search(options, Connection::Goal::Search, Timing{}.Scaled(0.1));
  std::vector<Connection::State> states;
  search.OnStateChanged([&](Connection::State state) { states.push_back(state); });
  ASSERT_TRUE(search.GetSession().Drive(search).Succeeded());
  EXPECT_EQ(search.FoundAddress(), 2);
  EXPECT_EQ(search.GetSession().Record().pollingAddress, 2);
  EXPECT_EQ(search.GetSession().Record().modelName, "TQ5R");
  EXPECT_EQ(states, (std::vector<Connection::State>{Connection::State::Opening,
                                                    Connection::State::Searching,
                                                    Connection::State::Offline}));
}

TEST_F(SessionTest, PortThatDoesNotOpenEndsEverythingAtOnceWithItsReason) {
  using namespace std::chrono_literals;
  SessionOptions options;
  options.port = "/dev/va5vivi-no-such-port";
  options.address = 4;
  Session session(options, Timing{}.Scaled(0.1));
  const auto start = std::chrono::steady_clock::now();
  const HartResult opened = session.Open(true);
  ASSERT_EQ(opened, ResultPortOpenFailed);
  const auto reason = session.Explain(opened, "open");
  EXPECT_EQ(reason.kind, ReasonKind::PortNotOpened);
  EXPECT_NE(reason.text.find("/dev/va5vivi-no-such-port"), std::string::npos) << reason.text;

  // An operation on it ends at once, for the open's reason, without a message of the worker.
  const OperationOutcome outcome = session.Perform(session::SingleRequest(RequestReadSensorInfo));
  ASSERT_FALSE(outcome.Succeeded());
  EXPECT_EQ(outcome.reason->kind, ReasonKind::PortNotOpened) << outcome.reason->text;
  EXPECT_EQ(session.Submit(RequestIdentify, false), ResultNoWorker);
  // Answering a failure that nobody reported moves no address and posts no progress.
  session.AnswerFailure(true);
  EXPECT_EQ(session.Record().pollingAddress, 4);
  EXPECT_FALSE(session.Messages().Next(50ms));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_EQ(sim_.RequestCount(), 0);
}

TEST_F(SessionTest, OperationStartedWhileAnotherRunsIsRefusedAndKeepsTheFirstOnesFields) {
  auto session = Connect(0);
  const auto entry = [&](const std::string& value) {
    const auto check = session::CheckSetting(tables_, Setting::Damping, {value});
    EXPECT_FALSE(check.reason);
    return session::SettingChain(tables_, check.entry, session->Record());
  };
  Operation first(*session, entry("2.5"), true);
  ASSERT_EQ(first.Start(), Operation::Status::Running);
  EXPECT_TRUE(first.InProgress());
  const DeviceRecord fields = session->Record();

  Operation second(*session, entry("7"), true);  // a second click before the first completed
  EXPECT_EQ(second.Start(), Operation::Status::Done);
  EXPECT_FALSE(second.InProgress());
  EXPECT_EQ(second.Outcome().result, ResultBusy);
  ASSERT_TRUE(second.Outcome().reason);
  EXPECT_EQ(session->Record().dampingText, fields.dampingText);

  const OperationOutcome& outcome = session->Perform(first);
  ASSERT_TRUE(outcome.Succeeded()) << outcome.reason->text;
  EXPECT_FALSE(first.InProgress());
  EXPECT_DOUBLE_EQ(sim_.State().damping, 2.5);
  // Now it is the next one's turn.
  Operation third(*session, entry("7"), true);
  EXPECT_TRUE(session->Perform(third).Succeeded());
  EXPECT_DOUBLE_EQ(sim_.State().damping, 7.0);
}

TEST_F(SessionTest, LinkHoldsNestMoveAndOutliveNoStop) {
  using namespace std::chrono_literals;
  auto session = Connect(0);
  Operation read(*session, session::SingleRequest(RequestReadSensorInfo));
  {
    LinkHold panel = session->Hold();
    {
      LinkHold dialog = session->Hold();
    }
    EXPECT_TRUE(session->Holding());  // the dialog's end keeps the panel's
    LinkHold kept = std::move(panel);  // a move hands the hold on, it does not give it back
    EXPECT_FALSE(panel.Held());
    EXPECT_TRUE(session->Holding());
    ASSERT_EQ(read.Start(), Operation::Status::Running);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(Sent(), 0);
  }  // every way out gives it back
  EXPECT_FALSE(session->Holding());
  EXPECT_TRUE(session->Perform(read).Succeeded());

  // A hold taken before a stop is dropped by it, and its late release spares the next one's.
  LinkHold stale = session->Hold();
  session->Close();
  EXPECT_FALSE(session->Holding());
  ASSERT_EQ(session->Open(), ResultOk);
  LinkHold fresh = session->Hold();
  stale.Release();
  EXPECT_FALSE(stale.Held());
  EXPECT_TRUE(session->Holding());
}

TEST(PollingAddressTest, AnythingButZeroToFifteenReadsAsZero) {
  const std::vector<std::pair<std::string, int>> texts{{"0", 0},   {"7", 7},  {" 15 ", 15},
                                                       {"16", 0},  {"99", 0}, {"-1", 0},
                                                       {"3.5", 0}, {"", 0},   {"x", 0}};
  for (const auto& [text, address] : texts)
    EXPECT_EQ(PollingAddressFromText(text), address) << text;
  for (const int value : {-1, 16, 99, 32767}) EXPECT_EQ(ValidPollingAddress(value), 0) << value;
  SessionOptions options;
  options.address = 99;  // a hand-edited setting
  Session session(options);
  EXPECT_EQ(session.Record().pollingAddress, 0);
}

TEST_F(SessionTest, LiveSnapshotIsWholeAndTakesTheCommErrorBitsOnce) {
  SessionOptions options;
  options.port = sim_.SlavePath();
  Connection monitor(options, Connection::Goal::Monitor, Timing{}.Scaled(0.1));
  Session* session = &monitor.GetSession();
  // The display reads while the poll writes (ThreadSanitizer watches this one).
  std::atomic<bool> stop{false};
  std::atomic<int> snapshots{0};
  std::thread display([&] {
    while (!stop) {
      const auto live = session->TakeLive();
      EXPECT_GE(live.loopCurrent, 0.0);
      ++snapshots;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  // Once connected, a busy device refuses two polls; they are reported and the polls go on.
  monitor.OnStateChanged([&](Connection::State state) {
    if (state != Connection::State::Monitoring) return;
    sim_.InjectFault({.kind = sim::Fault::Kind::ResponseCode, .count = 2, .command = 3,
                      .value = sim::RcBusy});
  });
  std::vector<HartResult> polls;
  monitor.OnPoll([&](HartResult result) {
    polls.push_back(result);
    if (polls.size() == 4) monitor.Close();
  });
  EXPECT_TRUE(session->Drive(monitor).Succeeded());
  EXPECT_EQ(monitor.GetState(), Connection::State::Offline);
  ASSERT_EQ(session->Open(), ResultOk);
  ASSERT_EQ(session->Identify(), ResultOk);
  EXPECT_EQ(polls, (std::vector<HartResult>{ResultReplyRejected, ResultReplyRejected, ResultOk,
                                            ResultOk}));
  stop = true;
  display.join();
  EXPECT_GT(snapshots, 0);

  sim_.InjectFault({.kind = sim::Fault::Kind::CommError, .count = 1, .command = 14, .value = 0x10});
  EXPECT_EQ(session->Run(RequestReadSensorInfo), ResultReplyRejected);  // 14, 15, 3, 132
  EXPECT_EQ(session->TakeLive().commErrorBits, 0x90);
  EXPECT_EQ(session->TakeLive().commErrorBits, 0);          // taken by the first snapshot
  ASSERT_EQ(session->Run(RequestReadAfterUnit), ResultOk);  // 3, 14, 15
  const auto live = session->TakeLive();
  const auto device = sim_.State();
  EXPECT_EQ(live.pvUnit, device.pvUnit);
  EXPECT_EQ(live.terminalUnit, device.terminalUnit);
  EXPECT_EQ(live.responseCode, 0);
  EXPECT_EQ(live.deviceStatus, session->DeviceStatus());
}

}  // namespace
}  // namespace va5
