#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

#include "comm/Codecs.h"
#include "comm/HartWorker.h"
#include "comm/TransactionStep.h"
#include "testing/LinkTestSupport.h"
#include "testing/WorkerTestSupport.h"

namespace va5 {

using test::FakeSerialPort;
namespace {

using namespace std::chrono_literals;
using test::FakeDevice;
using test::QueueSink;

constexpr int Target = ReplySensorInfo;

class WorkerTest : public ::testing::Test {
 protected:
  explicit WorkerTest(Timing timing = Timing{}.Scaled(0.05), int deviceAddress = 0)
      : timing_(timing),
        device_(port_, deviceAddress),
        link_(port_, timing_, NullTraceSink()),
        worker_(link_, record_, sink_, timing_) {}

  void SetUp() override {
    ASSERT_EQ(link_.OpenPort("FAKE"), ResultOk);
    worker_.SetTarget(nullptr, Target);
  }
  void TearDown() override { worker_.StopWorker(); }

  void Start() { ASSERT_EQ(worker_.StartWorker(), ResultOk); }

  // The next message must be (kind, detail).
  void Expect(int kind, int detail, std::chrono::milliseconds timeout = 5s) {
    auto m = sink_.Next(timeout);
    ASSERT_TRUE(m) << "no message, expected (" << kind << ", " << detail << ")";
    EXPECT_EQ(m->message, Target);
    EXPECT_EQ(m->kind, kind);
    EXPECT_EQ(m->detail, detail);
  }
  void ExpectProgress(float percent) {
    auto m = sink_.Next();
    ASSERT_TRUE(m) << "no progress message";
    EXPECT_EQ(m->kind, MessageProgress);
    EXPECT_FLOAT_EQ(m->percent, percent);
  }
  void ExpectQuiet(std::chrono::milliseconds span = 100ms) {
    auto m = sink_.Next(span);
    EXPECT_FALSE(m) << "unexpected message (" << m->kind << ", " << m->detail << ")";
  }

  Timing timing_;
  FakeSerialPort port_;
  FakeDevice device_;
  HartLink link_;
  DeviceRecord record_;
  QueueSink sink_;
  HartWorker worker_;
};

TEST_F(WorkerTest, SubmitWithoutAWorkerIsRefusedAndStopIsHarmless) {
  EXPECT_EQ(worker_.SubmitRequest(RequestReadSensorInfo, true), ResultNoWorker);
  EXPECT_FALSE(worker_.Monitoring());
  EXPECT_EQ(worker_.StopWorker(), ResultOk);
  EXPECT_FALSE(port_.IsOpen());
  ExpectQuiet(50ms);
}

TEST_F(WorkerTest, IdentifyDecodesTheDeviceAndStopPostsTheEnd) {
  Start();
  ASSERT_EQ(worker_.SubmitRequest(RequestIdentify, false), ResultOk);
  Expect(RequestIdentify, ResultOk);
  worker_.WithRecord([](DeviceRecord& r) {
    EXPECT_EQ(r.manufacturerName, "Kerrin CO");
    EXPECT_EQ(r.modelName, "TQ5R");
    EXPECT_EQ(r.deviceIdText, "1234");
  });
  EXPECT_EQ(worker_.DeviceStatus(), 0x40);
  EXPECT_EQ(worker_.StopWorker(), ResultOk);
  Expect(MessageWorkerEnded, 0);
  EXPECT_FALSE(worker_.IsRunning());
  EXPECT_FALSE(port_.IsOpen());
  EXPECT_EQ(worker_.SubmitRequest(RequestIdentify, false), ResultNoWorker);
}

TEST_F(WorkerTest, RequestSubmittedBeforeTheFirstCompletedIsRefusedAndTheFirstRuns) {
  Start();
  device_.CloseGate(0);
  ASSERT_EQ(worker_.SubmitRequest(RequestIdentify, false), ResultOk);
  ASSERT_TRUE(device_.WaitAtGate());
  EXPECT_EQ(worker_.SubmitRequest(RequestWriteDamping, false), ResultBusy);  // running
  device_.OpenGate();
  Expect(RequestIdentify, ResultOk);
  ExpectQuiet();
  EXPECT_EQ(device_.Commands(), (std::vector<int>{0}));

  // Taken over but not yet sent (held): still the first one's turn.
  worker_.SetHold(true);
  ASSERT_EQ(worker_.SubmitRequest(RequestResetConfigChanged, false), ResultOk);
  EXPECT_EQ(worker_.SubmitRequest(RequestWriteDamping, true), ResultBusy);
  EXPECT_FALSE(worker_.Monitoring());  // the refused submission changed nothing
  worker_.SetHold(false);
  Expect(RequestResetConfigChanged, ResultOk);
  EXPECT_FALSE(worker_.RequestPending());

  // Once its completion is out, the next one goes, as a chain's handler submits it.
  EXPECT_EQ(worker_.SubmitRequest(RequestWriteDamping, false), ResultOk);
  Expect(RequestWriteDamping, ResultOk);
  EXPECT_EQ(device_.Commands(), (std::vector<int>{0, 38, 34}));
}

TEST_F(WorkerTest, RetriedFailureResendsTheSameCommandThenContinues) {
  Start();
  device_.SilenceNext(14, 4);                          // all four attempts of one transaction
  worker_.SubmitRequest(RequestReadAfterUnit, false);  // 3, 14, 15
  Expect(MessageFailure, RequestReadAfterUnit);
  EXPECT_EQ(device_.Commands(), (std::vector<int>{3, 14, 14, 14, 14}));
  EXPECT_TRUE(worker_.PurgePort());
  worker_.AnswerFailure(true);
  Expect(RequestReadAfterUnit, ResultOk);
  EXPECT_EQ(device_.Commands(), (std::vector<int>{3, 14, 14, 14, 14, 14, 15}));
  EXPECT_FALSE(worker_.SilentRetry());  // 407 is not marked
}

TEST_F(WorkerTest, GivingUpEndsTheListAndSendsNothingMore) {
  Start();
  device_.SilenceNext(14, 4);
  worker_.SubmitRequest(RequestReadAfterUnit, false);
  Expect(MessageFailure, RequestReadAfterUnit);
  worker_.AnswerFailure(false);
  Expect(RequestReadAfterUnit, ResultLinkFailed);
  ExpectQuiet();
  EXPECT_EQ(device_.Commands(), (std::vector<int>{3, 14, 14, 14, 14}));
}

TEST_F(WorkerTest, RefusedReplyEndsTheListWithoutAsking) {
  Start();
  device_.RefuseWith(15, 0x10);
  worker_.SubmitRequest(RequestReadSensorInfo, false);  // 14, 15, 3, 132
  Expect(RequestReadSensorInfo, ResultReplyRejected);
  EXPECT_EQ(device_.Commands(), (std::vector<int>{14, 15}));
  EXPECT_EQ(worker_.LastResponseCode(), 0x10);
}

TEST_F(WorkerTest, ReplyShorterThanItsDecoderReadsIsRefused) {
  Start();
  worker_.WithRecord([](DeviceRecord& r) { r.damping = 7.5; });
  device_.ShortReply(15, 4);  // the decoder reads 15 bytes
  worker_.SubmitRequest(RequestReadSensorInfo, false);  // 14, 15, 3, 132
  Expect(RequestReadSensorInfo, ResultReplyRejected);
  EXPECT_EQ(device_.Commands(), (std::vector<int>{14, 15}));
  worker_.WithRecord([](DeviceRecord& r) { EXPECT_EQ(r.damping, 7.5); });
}

// The worker tells why a transaction failed, so that a failure can name its cause: a carrier
// that never drops is not a silent device, and neither is a refusal.
TEST_F(WorkerTest, LastLinkFailureNamesTheCauseOfEachOutcome) {
  Start();
  port_.SetModemStatus({true, true});  // carrier detect stays on
  worker_.SubmitRequest(RequestAdditionalStatus, false);
  Expect(MessageFailure, RequestAdditionalStatus);
  EXPECT_EQ(worker_.LastLinkFailure(), LinkFailure::CarrierStuck);
  EXPECT_TRUE(device_.Commands().empty());
  port_.SetModemStatus({true, false});
  device_.SilenceNext(48, 4);
  worker_.AnswerFailure(true);
  Expect(MessageFailure, RequestAdditionalStatus);
  EXPECT_EQ(worker_.LastLinkFailure(), LinkFailure::NoReply);
  worker_.AnswerFailure(true);
  Expect(RequestAdditionalStatus, ResultOk);
  EXPECT_EQ(worker_.LastLinkFailure(), LinkFailure::None);

  device_.ShortReply(48, 5);  // one byte fewer than the decoder reads
  worker_.SubmitRequest(RequestAdditionalStatus, false);
  Expect(RequestAdditionalStatus, ResultReplyRejected);
  EXPECT_EQ(worker_.LastLinkFailure(), LinkFailure::BadReply);
  EXPECT_EQ(worker_.LastResponseCode(), 0);

  device_.RefuseWith(38, 7);  // write-protected: the link worked, the device said no
  worker_.SubmitRequest(RequestResetConfigChanged, false);
  Expect(RequestResetConfigChanged, ResultReplyRejected);
  EXPECT_EQ(worker_.LastLinkFailure(), LinkFailure::None);
  EXPECT_EQ(worker_.LastResponseCode(), 7);
}

TEST_F(WorkerTest, WriteRequestsAreMarkedForASilentRetry) {
  Start();
  worker_.WithRecord([](DeviceRecord& r) { r.dampingText = "2.5"; });
  worker_.SubmitRequest(RequestWriteDamping, true);
  Expect(RequestWriteDamping, ResultOk);
  EXPECT_TRUE(worker_.SilentRetry());
  EXPECT_TRUE(worker_.Monitoring());
  worker_.ClearSilentRetry();
  EXPECT_FALSE(worker_.SilentRetry());
}

TEST_F(WorkerTest, TrimRequestChoosesTheCommandFromTheRecord) {
  Start();
  worker_.WithRecord([](DeviceRecord& r) { r.requestedTrimMode = 1; });
  worker_.SubmitRequest(RequestTrimDac, false);
  Expect(RequestTrimDac, ResultOk);
  worker_.WithRecord([](DeviceRecord& r) { r.requestedTrimMode = 0; });
  worker_.SubmitRequest(RequestTrimDac, false);
  Expect(RequestTrimDac, ResultOk);
  EXPECT_EQ(device_.Commands(), (std::vector<int>{46, 45}));
}

TEST_F(WorkerTest, UnknownRequestTypeCompletesAsRefused) {
  Start();
  worker_.SubmitRequest(417, false);
  Expect(417, ResultReplyRejected);
  EXPECT_TRUE(device_.Commands().empty());
}

TEST_F(WorkerTest, UploadPostsProgressUntilTheRefusedFifthReply) {
  Start();
  device_.RefuseWith(13, 0x10);
  worker_.SubmitRequest(RequestUpload, false);
  for (float p : {10.0f, 20.0f, 30.0f, 40.0f}) ExpectProgress(p);
  Expect(RequestUpload, ResultReplyRejected);
  EXPECT_EQ(device_.Commands(), (std::vector<int>{0, 130, 14, 15, 13}));
}

TEST_F(WorkerTest, MonitoringPollsWhileIdleAndStopsWhenSwitchedOff) {
  Start();
  worker_.SubmitRequest(RequestMonitorOn, false);
  Expect(RequestMonitorOn, ResultOk);
  EXPECT_TRUE(worker_.Monitoring());
  Expect(RequestPoll, ResultOk);
  Expect(RequestPoll, ResultOk);
  worker_.SetMonitoring(false);
  while (sink_.Next(100ms)) {
  }
  const auto sent = device_.Commands().size();
  ASSERT_GE(sent, 4u);
  EXPECT_EQ(device_.Commands()[0], 3);
  EXPECT_EQ(device_.Commands()[1], 2);
  ExpectQuiet();
  EXPECT_EQ(device_.Commands().size(), sent);
}

TEST_F(WorkerTest, HoldKeepsATransactionBackUntilReleased) {
  Start();
  worker_.SetHold(true);
  worker_.SubmitRequest(RequestWriteDamping, false);
  ExpectQuiet(150ms);
  EXPECT_TRUE(device_.Commands().empty());
  worker_.SetHold(false);
  Expect(RequestWriteDamping, ResultOk);
  EXPECT_EQ(device_.Commands(), (std::vector<int>{34}));
}

TEST_F(WorkerTest, StopWhileWaitingForAnAnswerGivesUpAndEnds) {
  Start();
  device_.SilenceAll(true);
  worker_.SubmitRequest(RequestReadAfterUnit, false);
  Expect(MessageFailure, RequestReadAfterUnit);
  const auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(worker_.StopWorker(), ResultOk);
  EXPECT_LT(std::chrono::steady_clock::now() - before, 500ms);
  Expect(RequestReadAfterUnit, ResultLinkFailed);
  Expect(MessageWorkerEnded, 0);
  ExpectQuiet(50ms);
  EXPECT_FALSE(port_.IsOpen());
}

TEST_F(WorkerTest, StopWhileHeldDoesNotSendOrAsk) {
  Start();
  worker_.SetHold(true);
  worker_.SubmitRequest(RequestWriteDamping, false);
  ExpectQuiet(50ms);
  worker_.StopWorker();
  Expect(RequestWriteDamping, ResultLinkFailed);
  Expect(MessageWorkerEnded, 0);
  EXPECT_TRUE(device_.Commands().empty());
}

TEST_F(WorkerTest, HoldsNestAndASubmissionMadeWhileHeldRunsAfterTheLastRelease) {
  Start();
  ASSERT_EQ(worker_.SubmitRequest(RequestMonitorOn, true), ResultOk);
  Expect(RequestMonitorOn, ResultOk);
  worker_.SetHold(true);  // a panel's question
  worker_.SetHold(true);  // the entry dialog's own
  while (sink_.Next(100ms)) {
  }  // the poll now waits on the hold
  const std::size_t sent = device_.Commands().size();
  ASSERT_EQ(worker_.SubmitRequest(RequestWriteDamping, false), ResultOk);
  worker_.SetHold(false);  // the dialog closes: the panel still holds
  EXPECT_TRUE(worker_.Holding());
  ExpectQuiet(150ms);
  EXPECT_EQ(device_.Commands().size(), sent);
  worker_.SetHold(false);
  worker_.SetHold(false);  // one release too many
  EXPECT_EQ(worker_.HoldCount(), 0);
  // The held poll took the submission's signal; the request still runs, once.
  std::vector<int> done;
  while (auto m = sink_.Next(2s)) {
    done.push_back(m->kind);
    if (m->kind == RequestWriteDamping) break;
  }
  ASSERT_FALSE(done.empty());
  EXPECT_EQ(done.back(), RequestWriteDamping);
  const auto commands = device_.Commands();
  EXPECT_EQ(std::count(commands.begin() + static_cast<long>(sent), commands.end(), 34), 1);
  // The surplus release left no debt: the next hold holds.
  worker_.SetHold(true);
  EXPECT_TRUE(worker_.Holding());
}

TEST_F(WorkerTest, StopLetsAWorkerHeldBetweenTwoCommandsEndAndClosesThePort) {
  Start();
  device_.CloseGate(14);
  ASSERT_EQ(worker_.SubmitRequest(RequestReadSensorInfo, false), ResultOk);  // 14, 15, 3, 132
  ASSERT_TRUE(device_.WaitAtGate());
  worker_.SetHold(true);  // the close question
  worker_.SetHold(true);
  device_.OpenGate();  // 14 completes; 15 waits on the hold
  ExpectQuiet(150ms);
  const auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(worker_.StopWorker(), ResultOk);
  EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
  EXPECT_FALSE(port_.IsOpen());
  EXPECT_FALSE(worker_.Holding());
  Expect(RequestReadSensorInfo, ResultLinkFailed);
  Expect(MessageWorkerEnded, 0);
  EXPECT_EQ(device_.Commands(), (std::vector<int>{14}));
  // The holds died with the worker: the next one is not held by them.
  ASSERT_EQ(link_.OpenPort("FAKE"), ResultOk);
  Start();
  ASSERT_EQ(worker_.SubmitRequest(RequestWriteDamping, false), ResultOk);
  Expect(RequestWriteDamping, ResultOk);
}

TEST_F(WorkerTest, PollingAddressesBeyondFifteenNeverReachTheAddressByte) {
  Start();
  // A device that reports address 99 after command 6: 0 from then on, on the link as well.
  device_.ReplyWith(6, {99});
  ASSERT_EQ(worker_.SubmitRequest(RequestWritePollingAddress, false), ResultOk);
  Expect(RequestWritePollingAddress, ResultOk);
  EXPECT_EQ(worker_.WithRecord([](DeviceRecord& r) { return int{r.pollingAddress}; }), 0);
  EXPECT_EQ(link_.State().pollingAddress, 0);
  worker_.StopWorker();
  Expect(MessageWorkerEnded, 0);

  // A search that starts from a value the record should never hold tries 0 ... 15 once each.
  ASSERT_EQ(link_.OpenPort("FAKE"), ResultOk);
  device_.SilenceAll(true);
  worker_.SetSearchMode(true);
  worker_.SetAddressesTried(0);
  Start();
  worker_.WithRecord([](DeviceRecord& r) { r.pollingAddress = 99; });
  const std::size_t before = device_.Requests().size();
  ASSERT_EQ(worker_.SubmitRequest(RequestIdentify, false), ResultOk);
  while (auto m = sink_.Next(2s)) {
    if (m->kind == MessageWorkerEnded) break;
    if (m->kind != MessageFailure) continue;
    worker_.AnswerFailure(worker_.AddressesTried() < 15);
  }
  std::vector<int> addresses;
  const auto requests = device_.Requests();
  for (std::size_t i = before; i < requests.size(); ++i) addresses.push_back(requests[i].address);
  EXPECT_EQ(addresses, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
}

TEST_F(WorkerTest, AnswerFromAnEarlierFailureDoesNotDecideTheNextOne) {
  Start();
  worker_.AnswerFailure(true);  // stray answer with no failure pending
  device_.SilenceNext(38, 4);
  worker_.SubmitRequest(RequestResetConfigChanged, false);
  Expect(MessageFailure, RequestResetConfigChanged);
  ExpectQuiet(100ms);  // the worker waits for a fresh answer
  EXPECT_EQ(device_.Commands().size(), 4u);
  worker_.AnswerFailure(false);
  Expect(RequestResetConfigChanged, ResultLinkFailed);
}

class SlowWaitWorkerTest : public WorkerTest {
 protected:
  static Timing SlowWaits() {
    Timing t = Timing{}.Scaled(0.05);
    t.selfTestWait = Millis(5000);
    t.resetWait = Millis(300);
    return t;
  }
  SlowWaitWorkerTest() : WorkerTest(SlowWaits()) {}
};

TEST_F(SlowWaitWorkerTest, ResetWaitsBeforeReporting) {
  Start();
  worker_.SubmitRequest(RequestDeviceReset, false);
  ASSERT_TRUE(device_.WaitForRequests(1));
  const auto sent = std::chrono::steady_clock::now();
  Expect(RequestDeviceReset, ResultOk);
  EXPECT_GE(std::chrono::steady_clock::now() - sent, 250ms);
}

TEST_F(SlowWaitWorkerTest, StopInsideTheSelfTestWaitReturnsPromptly) {
  Start();
  worker_.SubmitRequest(RequestSelfTest, false);
  ASSERT_TRUE(device_.WaitForRequests(1));
  std::this_thread::sleep_for(100ms);  // well inside the 5000 ms wait
  const auto before = std::chrono::steady_clock::now();
  worker_.StopWorker();
  EXPECT_LT(std::chrono::steady_clock::now() - before, 300ms);
  Expect(RequestSelfTest, ResultOk);
  Expect(MessageWorkerEnded, 0);
  EXPECT_EQ(device_.Commands(), (std::vector<int>{41}));
}

class BusyLineWorkerTest : public WorkerTest {
 protected:
  static Timing LongCarrierWait() {
    Timing t = Timing{}.Scaled(0.05);
    t.carrierWait = Millis(3000);
    return t;
  }
  BusyLineWorkerTest() : WorkerTest(LongCarrierWait()) {}
};

TEST_F(BusyLineWorkerTest, StopWhileTheLineIsBusyReturnsPromptly) {
  Start();
  port_.SetModemStatus({true, true});  // another station keeps its carrier on
  worker_.SubmitRequest(RequestReadIdentity, false);
  std::this_thread::sleep_for(200ms);  // well inside the 3000 ms carrier wait
  const auto before = std::chrono::steady_clock::now();
  worker_.StopWorker();
  EXPECT_LT(std::chrono::steady_clock::now() - before, 500ms);
  EXPECT_TRUE(device_.Commands().empty());
}

class SearchWorkerTest : public WorkerTest {
 protected:
  SearchWorkerTest() : WorkerTest(Timing{}.Scaled(0.05), 4) {}

  // Answers failures as the connect logic does: retry while fewer than 15 steps were made.
  void AnswerUntilEnd(std::vector<float>& progress, std::vector<int>& addressesAtFailure) {
    for (;;) {
      auto m = sink_.Next();
      ASSERT_TRUE(m);
      if (m->kind == MessageWorkerEnded) return;
      if (m->kind == MessageProgress) {
        progress.push_back(m->percent);
        continue;
      }
      ASSERT_EQ(m->kind, MessageFailure);
      EXPECT_EQ(m->detail, RequestIdentify);
      addressesAtFailure.push_back(
          worker_.WithRecord([](DeviceRecord& r) { return int{r.pollingAddress}; }));
      worker_.PurgePort();
      worker_.AnswerFailure(worker_.AddressesTried() < 15);
    }
  }
};

TEST_F(SearchWorkerTest, SearchTriesEachAddressOnceFromTheStartAndEndsTheWorker) {
  worker_.WithRecord([](DeviceRecord& r) { r.pollingAddress = 13; });
  worker_.SetSearchMode(true);
  worker_.SetAddressesTried(0);
  Start();
  worker_.SubmitRequest(RequestIdentify, false);
  std::vector<float> progress;
  std::vector<int> failed;
  AnswerUntilEnd(progress, failed);
  EXPECT_EQ(failed, (std::vector<int>{13, 14, 15, 0, 1, 2, 3}));
  ASSERT_EQ(progress.size(), 7u);
  EXPECT_FLOAT_EQ(progress[0], 6.66667f);
  EXPECT_FLOAT_EQ(progress[6], 46.6667f);
  std::vector<int> addresses;
  for (const auto& r : device_.Requests()) {
    EXPECT_EQ(r.command, 0);
    addresses.push_back(r.address);
  }
  EXPECT_EQ(addresses, (std::vector<int>{13, 14, 15, 0, 1, 2, 3, 4}));
  EXPECT_EQ(worker_.WithRecord([](DeviceRecord& r) { return int{r.pollingAddress}; }), 4);
  EXPECT_EQ(worker_.WithRecord([](DeviceRecord& r) { return r.modelName; }), "TQ5R");
  EXPECT_FALSE(worker_.IsRunning());
  // The port stays open for the caller, who stops the worker (closing it) when done.
  EXPECT_TRUE(port_.IsOpen());
  EXPECT_EQ(worker_.SubmitRequest(RequestIdentify, false), ResultNoWorker);
  worker_.StopWorker();
  EXPECT_FALSE(port_.IsOpen());
}

TEST_F(SearchWorkerTest, SearchWithoutADeviceTriesAllSixteenAddresses) {
  device_.SilenceAll(true);
  worker_.WithRecord([](DeviceRecord& r) { r.pollingAddress = 5; });
  worker_.SetSearchMode(true);
  Start();
  worker_.SubmitRequest(RequestIdentify, false);
  std::vector<float> progress;
  std::vector<int> failed;
  AnswerUntilEnd(progress, failed);
  ASSERT_EQ(failed.size(), 16u);
  EXPECT_EQ(failed.front(), 5);
  EXPECT_EQ(failed.back(), 4);
  EXPECT_EQ(device_.Requests().size(), 16u);
  ASSERT_EQ(progress.size(), 16u);
  EXPECT_FLOAT_EQ(progress[14], 100.0f);
  ExpectQuiet(50ms);  // no (401, result): a search ends with the worker's end only
}

TEST_F(SearchWorkerTest, WorkerCanStartAgainAfterASearchEndedIt) {
  worker_.WithRecord([](DeviceRecord& r) { r.pollingAddress = 4; });
  worker_.SetSearchMode(true);
  Start();
  worker_.SubmitRequest(RequestIdentify, false);
  Expect(MessageWorkerEnded, 0);
  worker_.SetSearchMode(false);
  Start();
  worker_.SubmitRequest(RequestIdentify, false);
  Expect(RequestIdentify, ResultOk);
}

// A device that answers every table point read 800 ms late, beyond the first-byte limit
// (500 ms after the request has gone out): each answer comes while the link is already
// waiting for the next one. The answer to the point before is never taken for this point's,
// so every point gets its own value, the late answers only cost repeats.
TEST(TransactionStep, ALateAnswerForThePointBeforeIsNeverTakenForThisPoint) {
  FakeSerialPort port;
  port.SetInstant(true);
  HartLink link(port, Timing{}, NullTraceSink());
  link.SetClock(LinkClock{[&port] { return port.VirtualMillis(); },
                          [&port](Micros d) { port.AdvanceVirtual(d); }});
  ASSERT_EQ(link.OpenPort("FAKE"), ResultOk);
  std::vector<int> asked;  // the index of every request written
  port.SetResponder([&](const std::vector<std::uint8_t>& w, FakeSerialPort& p) {
    // Long frame after five preambles: delimiter, address 5, command, count, index.
    ASSERT_EQ(w.size(), 20u);
    const int index = w[13] << 8 | w[14];
    asked.push_back(index);
    std::vector<std::uint8_t> data{0x00, 0x00, w[13], w[14], 0, 0, 0, 0};
    PutFloat(data.data() + 4, static_cast<float>(100 + index));
    const auto reply = test::Reply(0x86, {w.begin() + 6, w.begin() + 11}, w[11], data);
    p.QueueBytes(test::WithPreambles(5, reply), Millis(800));
  });

  DeviceRecord record;
  record.customTableValues.fill(-1.0);
  const CommandDescriptor* readPoint = FindCommand(186);
  ASSERT_NE(readPoint, nullptr);
  for (int index = 0; index < 5; ++index) {
    record.tablePointIndex = index;
    ASSERT_EQ(RunCommand(link, *readPoint, record, 4), ResultOk) << index;
  }
  for (int index = 0; index < 5; ++index) {
    EXPECT_EQ(record.customTableValues[static_cast<std::size_t>(index)], 100 + index) << index;
  }
  // A point whose first request timed out is asked again and takes the first answer; the
  // second answer arrives while the next point waits, which skips it and takes its own.
  EXPECT_EQ(asked, (std::vector<int>{0, 0, 1, 2, 2, 3, 4, 4}));
}

}  // namespace
}  // namespace va5
