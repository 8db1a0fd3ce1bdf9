// The worker over a pseudo-terminal against the simulated transmitter, with scaled timing.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "comm/HartWorker.h"
#include "comm/PosixSerialPort.h"
#include "sim/FaultOption.h"
#include "sim/SimulatedTransmitter.h"
#include "testing/WorkerTestSupport.h"

namespace va5 {
namespace {

using test::QueueSink;

class WorkerSimTest : public ::testing::Test {
 protected:
  explicit WorkerSimTest(int deviceAddress = 0, double timeScale = 0.1)
      : sim_(sim::SimConfig{.pollingAddress = deviceAddress}),
        timing_(Timing{}.Scaled(timeScale)),
        link_(port_, timing_, NullTraceSink()),
        worker_(link_, record_, sink_, timing_) {}

  void SetUp() override {
    ASSERT_TRUE(sim_.Start());
    ASSERT_EQ(link_.OpenPort(sim_.SlavePath()), ResultOk);
  }
  void TearDown() override { worker_.StopWorker(); }

  // Starts the worker and identifies the device (later commands use its long address).
  void Connect() {
    ASSERT_EQ(worker_.StartWorker(), ResultOk);
    worker_.SubmitRequest(RequestIdentify, false);
    Expect(RequestIdentify, ResultOk);
  }
  // Searches from `from` until the worker ends; `goOn(failure)` answers each failed address,
  // `check` looks at the worker when it asks. The addresses that failed, in order.
  std::vector<int> Search(int from, const std::function<bool(const HartWorker&)>& goOn,
                          const std::function<void(const HartWorker&)>& check = {}) {
    record_.pollingAddress = static_cast<std::int16_t>(from);
    worker_.SetSearchMode(true);
    EXPECT_EQ(worker_.StartWorker(), ResultOk);
    worker_.SubmitRequest(RequestIdentify, false);
    std::vector<int> failedAt;
    while (auto m = sink_.Next()) {
      if (m->kind == MessageWorkerEnded) break;
      if (m->kind != MessageFailure) continue;
      failedAt.push_back(worker_.WithRecord([](DeviceRecord& r) { return int{r.pollingAddress}; }));
      if (check) check(worker_);
      worker_.PurgePort();
      worker_.AnswerFailure(goOn(worker_));
    }
    return failedAt;
  }
  void Expect(int kind, int detail) {
    auto m = sink_.Next();
    ASSERT_TRUE(m) << "expected (" << kind << ", " << detail << ")";
    EXPECT_EQ(m->kind, kind);
    EXPECT_EQ(m->detail, detail);
  }

  sim::SimulatedTransmitter sim_;
  Timing timing_;
  PosixSerialPort port_;
  HartLink link_;
  DeviceRecord record_;
  QueueSink sink_;
  HartWorker worker_;
};

TEST_F(WorkerSimTest, UploadStopsAtTheRefusedFifthReply) {
  Connect();
  sim_.InjectFault({.kind = sim::Fault::Kind::ResponseCode, .command = 13, .value = 0x10});
  worker_.SubmitRequest(RequestUpload, false);
  for (float percent : {10.0f, 20.0f, 30.0f, 40.0f}) {
    auto m = sink_.Next();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->kind, MessageProgress);
    EXPECT_FLOAT_EQ(m->percent, percent);
  }
  Expect(RequestUpload, ResultReplyRejected);
  EXPECT_EQ(worker_.LastResponseCode(), 0x10);
  EXPECT_EQ(sim_.RequestCount(), 1 + 5);
}

TEST_F(WorkerSimTest, RetryResendsTheFailedCommandAndTheListGoesOn) {
  Connect();
  sim_.InjectFault({.kind = sim::Fault::Kind::Silence, .count = 4, .command = 14});
  worker_.SubmitRequest(RequestReadAfterUnit, false);  // 3, 14, 15
  Expect(MessageFailure, RequestReadAfterUnit);
  EXPECT_EQ(sim_.RequestCount(), 1 + 1 + 4);
  worker_.PurgePort();
  worker_.AnswerFailure(true);
  Expect(RequestReadAfterUnit, ResultOk);
  EXPECT_EQ(sim_.RequestCount(), 1 + 1 + 4 + 2);
  worker_.WithRecord([&](DeviceRecord& r) {
    EXPECT_GT(r.upperSensorLimit, r.lowerSensorLimit);
    EXPECT_NE(r.pvUnit, 0);
  });
}

TEST_F(WorkerSimTest, PollsFillTheDynamicValues) {
  Connect();
  worker_.SubmitRequest(RequestMonitorOn, false);
  Expect(RequestMonitorOn, ResultOk);
  Expect(RequestPoll, ResultOk);
  Expect(RequestPoll, ResultOk);
  worker_.WithRecord([](DeviceRecord& r) {
    EXPECT_GE(r.loopCurrent, 3.5);
    EXPECT_LE(r.loopCurrent, 23.0);
    EXPECT_EQ(r.loopCurrentUnit, 39);
  });
}

TEST_F(WorkerSimTest, StopWhileWaitingForAnAnswerEndsTheWorker) {
  Connect();
  sim_.InjectFault({.kind = sim::Fault::Kind::Silence});
  worker_.SubmitRequest(RequestResetConfigChanged, false);
  Expect(MessageFailure, RequestResetConfigChanged);
  worker_.StopWorker();
  Expect(RequestResetConfigChanged, ResultLinkFailed);
  Expect(MessageWorkerEnded, 0);
  EXPECT_FALSE(port_.IsOpen());
}

class WorkerSimSearchTest : public WorkerSimTest {
 protected:
  WorkerSimSearchTest() : WorkerSimTest(4) {}
};

TEST_F(WorkerSimSearchTest, SearchFromThirteenFindsTheDeviceAtFour) {
  const auto failedAt =
      Search(13, [](const HartWorker& worker) { return worker.AddressesTried() < 15; });
  EXPECT_EQ(failedAt, (std::vector<int>{13, 14, 15, 0, 1, 2, 3}));
  EXPECT_EQ(sim_.RequestCount(), 8);  // each address once
  worker_.WithRecord([](DeviceRecord& r) {
    EXPECT_EQ(r.pollingAddress, 4);
    EXPECT_EQ(r.modelName, "TQ5R");
  });
}

// A search asks each address once. The device at 4 answers late, while address 5 is being
// asked: that answer is not a device at 5, and the search goes on.
class WorkerSimLateSearchTest : public WorkerSimTest {
 protected:
  WorkerSimLateSearchTest() : WorkerSimTest(4, 0.5) {}
};

TEST_F(WorkerSimLateSearchTest, ALateAnswerIsNotADeviceAtTheNextAddress) {
  // Search limit 100 ms, gap 40 ms: address 4 gives up after about 150 ms, and address 5
  // listens from about 240 ms to 340 ms, when the answer from 4 arrives 290 ms late.
  auto fault = sim::ParseFault("slow:290");
  ASSERT_TRUE(fault);
  fault->command = 0;
  fault->count = 1;
  sim_.InjectFault(*fault);
  int asked = 0;
  const auto failedAt = Search(
      4, [&](const HartWorker&) { return ++asked < 3; },
      [](const HartWorker& worker) { EXPECT_EQ(worker.LastLinkFailure(), LinkFailure::NoReply); });
  EXPECT_EQ(failedAt, (std::vector<int>{4, 5, 6}));
  worker_.WithRecord([](DeviceRecord& r) { EXPECT_EQ(r.modelName, ""); });
}

// The device answers the first two table point reads late: the first request is answered
// during its repeat, and the answer to the repeat comes while the next point is being asked.
// That answer names point 0 and is skipped: every point read holds the device's value.
class WorkerSimLatePointTest : public WorkerSimTest {
 protected:
  WorkerSimLatePointTest() : WorkerSimTest(0, 0.5) {}
};

TEST_F(WorkerSimLatePointTest, ALateAnswerNamingAnotherPointIsNotThisPointsValue) {
  Connect();
  // First byte limit 250 ms after a request of about 90 ms on the line: the repeat goes out
  // at about 380 ms and the answer, 500 ms late, comes while the repeat waits.
  auto fault = sim::ParseFault("slow:500");
  ASSERT_TRUE(fault);
  fault->command = 186;
  fault->count = 2;
  sim_.InjectFault(*fault);
  record_.customTableValues.fill(-1.0);
  constexpr int Points = 4;
  for (int index = 0; index < Points; ++index) {
    record_.tablePointIndex = index;
    worker_.SubmitRequest(RequestReadRtdPoint, false);
    for (;;) {
      auto m = sink_.Next();
      ASSERT_TRUE(m);
      if (m->kind == MessageFailure) {
        worker_.PurgePort();
        worker_.AnswerFailure(true);
        continue;
      }
      ASSERT_EQ(m->kind, RequestReadRtdPoint);
      ASSERT_EQ(m->detail, ResultOk);
      break;
    }
  }
  const sim::DeviceState device = sim_.State();
  worker_.WithRecord([&](DeviceRecord& r) {
    for (std::size_t i = 0; i < Points; ++i) {
      EXPECT_EQ(r.customTableValues[i], device.rtdTable.values[i]) << i;
    }
  });
}

}  // namespace
}  // namespace va5
