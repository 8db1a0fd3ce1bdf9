#include <gtest/gtest.h>

#include <string>

#include <chrono>
#include <vector>

#include "testing/FakeSerialPort.h"
#include "comm/HartLink.h"
#include "testing/LinkTestSupport.h"

namespace va5 {

using test::FakeSerialPort;
namespace {

using Clock = std::chrono::steady_clock;
using Kind = FakeSerialPort::EventKind;

// Gap 16 ms, carrier wait 600 ms, post-write sleep of a 10-byte frame 18.2 ms.
const Timing kTiming = Timing{}.Scaled(0.2);
const std::vector<std::uint8_t> kFrame{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x02, 0x00, 0x00, 0x00};

double MillisBetween(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

class LinkSend : public ::testing::Test {
 protected:
  FakeSerialPort port;
  test::TraceLines trace;
  HartLink link{port, kTiming, trace.Sink()};

  HartResult Send() { return link.SendFrame(kFrame.data(), kFrame.size()); }
  Clock::time_point WriteTime() const {
    for (const auto& e : port.Events()) {
      if (e.kind == Kind::Write) return e.at;
    }
    return {};
  }
};

TEST_F(LinkSend, PurgesReceiveWritesTracesAndSleeps) {
  port.QueueBytes({0x12, 0x34});  // stale bytes on the line
  const auto start = Clock::now();
  ASSERT_EQ(Send(), ResultOk);
  const auto end = Clock::now();

  EXPECT_EQ(port.PendingBytes(), 0u);
  const auto events = port.Events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, Kind::PurgeReceive);
  EXPECT_EQ(events[1].kind, Kind::Write);
  EXPECT_EQ(port.CountEvents(Kind::PurgeTransmit), 0u);
  ASSERT_EQ(port.Writes().size(), 1u);
  EXPECT_EQ(port.Writes()[0], kFrame);
  EXPECT_EQ(trace.Lines(), std::vector<std::string>{"TX: FF,FF,FF,FF,FF,02,02,00,00,00,\n"});

  // The modem's time on the line: 91 ms scaled to 18.2 ms, after the write.
  const double sleep = MillisBetween(events[1].at, end);
  EXPECT_GE(sleep, 18.0);
  EXPECT_LT(sleep, 18.2 + 40);
  // No gap to wait for after a long pause.
  EXPECT_LT(MillisBetween(start, events[1].at), kTiming.interFrameGap.count());
  EXPECT_GE(link.State().lastFrameTime + 1, TickMillis() - 1);
}

TEST_F(LinkSend, WaitsOutTheGapSinceTheLastFrame) {
  link.State().lastFrameTime = TickMillis();
  const auto start = Clock::now();
  ASSERT_EQ(Send(), ResultOk);
  // The gap is counted in whole milliseconds of the tick count.
  EXPECT_GE(MillisBetween(start, WriteTime()), kTiming.interFrameGap.count() - 1.0);

  // Back to back: the second frame waits for the gap after the first one's end.
  const auto firstEnd = Clock::now();
  port.ClearRecords();
  ASSERT_EQ(Send(), ResultOk);
  EXPECT_GE(MillisBetween(firstEnd, WriteTime()), kTiming.interFrameGap.count() - 1.0);
}

TEST_F(LinkSend, FailedOrShortWritesFailWithoutTrace) {
  link.State().lastFrameTime = 7;
  port.LimitWrites(9);
  EXPECT_EQ(Send(), ResultLinkFailed);
  EXPECT_EQ(link.LastFailure(), LinkFailure::WriteFailed);
  port.LimitWrites(std::nullopt);
  port.FailWrites(true);
  EXPECT_EQ(Send(), ResultLinkFailed);
  EXPECT_EQ(link.LastFailure(), LinkFailure::WriteFailed);
  EXPECT_TRUE(trace.Lines().empty());
  EXPECT_EQ(link.State().lastFrameTime, 7u);
}

TEST_F(LinkSend, ACarrierThatStaysTimesOut) {
  // Carrier detect on for good (busy line, or a port without a HART modem), or a port whose
  // modem status cannot be read: the two are told apart.
  const std::pair<ModemStatus, LinkFailure> cases[] = {
      {ModemStatus{true, true}, LinkFailure::CarrierStuck},
      {ModemStatus{false, false}, LinkFailure::PortFailed}};
  for (const auto& [status, failure] : cases) {
    port.SetModemStatus(status);
    const auto start = Clock::now();
    EXPECT_EQ(Send(), ResultLinkFailed);
    EXPECT_EQ(link.LastFailure(), failure);
    const double took = MillisBetween(start, Clock::now());
    EXPECT_GE(took, kTiming.carrierWait.count() - 1.0);  // whole milliseconds of the tick count
    EXPECT_LT(took, kTiming.carrierWait.count() + 40);
    EXPECT_EQ(trace.Last(), "TX: Timeout\n");
    EXPECT_TRUE(port.Writes().empty());
    // Polled every few milliseconds, not in a tight loop.
    EXPECT_LT(port.ModemStatusReads(), 700);
    port.ClearRecords();
  }
}

TEST_F(LinkSend, SendsOnceTheCarrierDrops) {
  port.SetModemStatus({true, true});
  port.ChangeModemStatusAfter(Millis(100), {true, false});
  const auto start = Clock::now();
  ASSERT_EQ(Send(), ResultOk);
  EXPECT_EQ(link.LastFailure(), LinkFailure::None);
  EXPECT_GE(MillisBetween(start, WriteTime()), 100.0);
  EXPECT_LT(MillisBetween(start, WriteTime()), 100.0 + 40);
}

// The real timing: waiting is sleeping, so the CPU stays idle.
TEST(LinkSendCpu, GapAndCarrierWaitsSleep) {
#ifdef _WIN32
  // Windows counts thread times in scheduler ticks (10-16 ms): too coarse for a 5 ms bound.
  GTEST_SKIP() << "thread CPU time is not fine enough here";
#endif
  FakeSerialPort port;
  HartLink link(port, Timing{}, NullTraceSink());
  // One send first, so that first-use costs (allocations, page faults) are not counted.
  ASSERT_EQ(link.SendFrame(kFrame.data(), kFrame.size()), ResultOk);
  link.State().lastFrameTime = TickMillis();
  auto start = Clock::now();
  long long cpu = test::ThreadCpuMicros();
  ASSERT_EQ(link.SendFrame(kFrame.data(), kFrame.size()), ResultOk);
  EXPECT_GE(MillisBetween(start, Clock::now()), 80.0 + 91.0 - 1);
  const long long gapCpu = test::ThreadCpuMicros() - cpu;
  EXPECT_LT(gapCpu, 5000);
  ::testing::Test::RecordProperty("gap_wait_cpu_us", std::to_string(gapCpu));

  port.SetModemStatus({true, true});
  port.ChangeModemStatusAfter(Millis(300), {true, false});
  start = Clock::now();
  cpu = test::ThreadCpuMicros();
  ASSERT_EQ(link.SendFrame(kFrame.data(), kFrame.size()), ResultOk);
  EXPECT_GE(MillisBetween(start, Clock::now()), 300.0);
  const long long carrierCpu = test::ThreadCpuMicros() - cpu;
  EXPECT_LT(carrierCpu, 5000);
  ::testing::Test::RecordProperty("carrier_wait_cpu_us", std::to_string(carrierCpu));
}

}  // namespace
}  // namespace va5
