#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "testing/FakeSerialPort.h"
#include "comm/HartLink.h"
#include "testing/LinkTestSupport.h"

namespace va5 {

using test::FakeSerialPort;
namespace {

using test::Hex;
using test::Reply;
using test::WithPreambles;
using Clock = std::chrono::steady_clock;

// Reads 20 ms, limits 100 ms before the first preamble and 40 ms after it (and while searching).
const Timing kTiming = Timing{}.Scaled(0.2);

// The link counts whole milliseconds of its tick clock, so a limit may end up to one
// millisecond of real time early.
constexpr long long kTickSlack = 1;

long long MillisSince(Clock::time_point start) {
  return std::chrono::duration_cast<Millis>(Clock::now() - start).count();
}

// The number after "Timeout: " in the trace, or -1.
int TimeoutMillis(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    if (line.rfind("Timeout: ", 0) == 0) return std::stoi(line.substr(9));
  }
  return -1;
}

class LinkReceive : public ::testing::Test {
 protected:
  FakeSerialPort port;
  test::TraceLines trace;
  HartLink link{port, kTiming, trace.Sink()};
};

TEST_F(LinkReceive, SkipsNoiseAndCountsEveryPreamble) {
  const auto frame = Reply(0x06, {0x02}, 0, {0x00, 0x00, 0xFE, 0x1D, 0x02});
  std::vector<std::uint8_t> line{0x00, 0x12};
  const auto body = WithPreambles(20, frame);
  line.insert(line.end(), body.begin(), body.end());
  port.QueueBytes(line, Micros(0), Micros(500));

  ASSERT_EQ(link.ReceiveFrame(), ResultOk);
  EXPECT_EQ(link.State().rxLength, frame.size());
  EXPECT_TRUE(std::equal(frame.begin(), frame.end(), link.State().rxFrame.begin()));

  std::string expected = "RX: ";
  for (int i = 0; i < 20; ++i) expected += "FF,";
  expected += Hex(frame) + "\n";
  EXPECT_EQ(trace.Last(), expected);
  EXPECT_TRUE(link.ParseReply());
  EXPECT_EQ(link.State().data[3], 0x1D);
}

TEST_F(LinkReceive, ByteCountZeroGoesStraightToTheChecksum) {
  const auto frame = Reply(0x06, {0x00}, 0, {});
  port.QueueBytes(WithPreambles(5, frame));
  ASSERT_EQ(link.ReceiveFrame(), ResultOk);
  EXPECT_EQ(link.State().rxLength, 5u);
  // Nothing left unread: the checksum ended the frame.
  EXPECT_EQ(port.PendingBytes(), 0u);
  // No status bytes: refused, and the trace has no error mark from the checksum byte.
  EXPECT_EQ(trace.Last(), "RX: FF,FF,FF,FF,FF," + Hex(frame) + "\n");
}

TEST_F(LinkReceive, ABurstOrRequestDelimiterEndsAtOnce) {
  for (std::uint8_t delimiter : {0x01, 0x02, 0x82}) {
    port.QueueBytes(WithPreambles(5, Reply(delimiter, {0x00}, 0, {0, 0})));
    const auto start = Clock::now();
    EXPECT_EQ(link.ReceiveFrame(), ResultLinkFailed);
    EXPECT_LT(MillisSince(start), kTiming.byteGapLimit.count());
    char expected[40];
    std::snprintf(expected, sizeof expected, "RX: FF,FF,FF,FF,FF,%02X,Error\n", delimiter);
    EXPECT_EQ(trace.Last(), expected);
    EXPECT_EQ(TimeoutMillis(trace.Lines()), -1);
    port.PurgeReceive();
  }
}

TEST_F(LinkReceive, ChecksumMismatchFails) {
  auto frame = Reply(0x06, {0x00}, 0, {0x00, 0x00});
  frame.back() ^= 0x40;
  port.QueueBytes(WithPreambles(5, frame));
  EXPECT_EQ(link.ReceiveFrame(), ResultLinkFailed);
  EXPECT_EQ(trace.Last(), "RX: FF,FF,FF,FF,FF," + Hex(frame) + "Error\n");
}

TEST_F(LinkReceive, SilenceEndsAtTheFirstByteLimit) {
  const auto start = Clock::now();
  EXPECT_EQ(link.ReceiveFrame(), ResultLinkFailed);
  const long long took = MillisSince(start);
  const int reported = TimeoutMillis(trace.Lines());
  EXPECT_GE(reported, kTiming.firstByteLimit.count());
  EXPECT_LT(reported, kTiming.firstByteLimit.count() + kTiming.readTimeout.count() + 40);
  EXPECT_GE(took, kTiming.firstByteLimit.count() - kTickSlack);
  EXPECT_EQ(trace.Last(), "RX: Error\n");
  // Reads of the read time-out, not a poll loop.
  EXPECT_LE(port.ReadCount(), 7);
  EXPECT_GE(link.State().lastFrameTime + 2, TickMillis());
}

TEST_F(LinkReceive, SearchingShortensTheFirstLimit) {
  link.SetSearching(true);
  const auto start = Clock::now();
  EXPECT_EQ(link.ReceiveFrame(), ResultLinkFailed);
  const int reported = TimeoutMillis(trace.Lines());
  EXPECT_GE(reported, kTiming.searchLimit.count());
  EXPECT_LT(reported, kTiming.firstByteLimit.count());
  EXPECT_LT(MillisSince(start), kTiming.firstByteLimit.count());
}

TEST_F(LinkReceive, APauseAfterTheFirstPreambleEndsAtTheGapLimit) {
  // One preamble, then a pause longer than the gap limit but shorter than the first limit.
  port.QueueBytes({0xFF});
  port.QueueBytes(Reply(0x06, {0x00}, 0, {0, 0}), Millis(90));
  EXPECT_EQ(link.ReceiveFrame(), ResultLinkFailed);
  EXPECT_GE(TimeoutMillis(trace.Lines()), kTiming.byteGapLimit.count());
  EXPECT_EQ(trace.Last(), "RX: FF,Error\n");
}

TEST(LinkReceiveGaps, EachByteRestartsTheGapTimer) {
  // Wider margins than the other tests: limits of 250 ms before and 100 ms after the first
  // preamble, reads of 50 ms.
  const Timing timing = Timing{}.Scaled(0.5);
  FakeSerialPort port;
  HartLink link(port, timing, NullTraceSink());
  // Noise every 150 ms, the reply 450 ms after the start: well past the first limit in all.
  port.QueueBytes({0x00, 0x12}, Millis(150), Millis(150));
  port.QueueBytes(WithPreambles(5, Reply(0x06, {0x00}, 0, {0, 0})), Millis(450), Micros(500));
  EXPECT_EQ(link.ReceiveFrame(), ResultOk);
  // Bytes 50 ms apart after the first preamble stay below the 100 ms gap limit.
  port.QueueBytes(WithPreambles(2, Reply(0x06, {0x00}, 0, {0, 0})), Millis(0), Millis(50));
  EXPECT_EQ(link.ReceiveFrame(), ResultOk);
}

TEST_F(LinkReceive, BytesWithLineErrorsAreIgnored) {
  const auto frame = Reply(0x06, {0x00}, 0, {0x00, 0x00, 0x42});
  std::vector<FakeSerialPort::ScriptedByte> script;
  for (std::uint8_t b : WithPreambles(5, frame)) script.push_back({Micros(0), b, 0});
  // A garbled copy of a data byte, arriving with a framing error.
  script.insert(script.begin() + 11, {Micros(0), 0x55, LineErrorFraming});
  // A preamble with a parity error is not counted either.
  script.insert(script.begin(), {Micros(0), 0xFF, LineErrorParity});
  port.QueueScript(script);
  ASSERT_EQ(link.ReceiveFrame(), ResultOk);
  EXPECT_EQ(link.State().rxLength, frame.size());
  EXPECT_EQ(trace.Last(), "RX: FF,FF,FF,FF,FF," + Hex(frame) + "\n");
}

TEST_F(LinkReceive, AByteCountBeyondTheDataAreaFailsWithoutOverflow) {
  LinkState& s = link.State();
  s.rxFrame.fill(0xAA);
  std::vector<std::uint8_t> data(101, 0x00);
  port.QueueBytes(WithPreambles(5, Reply(0x06, {0x00}, 0, data)));
  EXPECT_EQ(link.ReceiveFrame(), ResultLinkFailed);
  EXPECT_EQ(s.rxLength, 4u);  // delimiter, address, command, count
  EXPECT_EQ(s.rxFrame[4], 0xAA);
  EXPECT_EQ(trace.Last(), "RX: FF,FF,FF,FF,FF,06,00,00,65,Error\n");
  EXPECT_EQ(port.PendingBytes(), data.size() + 1);

  // 100 bytes (status bytes included) is the largest reply the data area holds.
  port.PurgeReceive();
  data.resize(100);
  data[99] = 0x77;
  port.QueueBytes(WithPreambles(5, Reply(0x86, {0x1D, 0x02, 0, 1, 0x25}, 130, data)));
  ASSERT_EQ(link.ReceiveFrame(), ResultOk);
  EXPECT_EQ(s.rxLength, 109u);
  ASSERT_TRUE(link.ParseReply());
  EXPECT_EQ(s.data[99], 0x77);
}

TEST_F(LinkReceive, ARefusedReplyIsReceivedButNotAccepted) {
  port.QueueBytes(WithPreambles(5, Reply(0x06, {0x00}, 0, {0x10, 0x00})));
  EXPECT_EQ(link.ReceiveFrame(), ResultOk);
  EXPECT_FALSE(link.ParseReply());
  EXPECT_EQ(link.State().responseCode, 0x10);
}

TEST_F(LinkReceive, CommunicationErrorsAreMarkedInLongAndShortReplies) {
  const auto longReply = Reply(0x86, {0x1D, 0x02, 0, 1, 0x25}, 3, {0x88, 0x00});
  port.QueueBytes(WithPreambles(5, longReply));
  ASSERT_EQ(link.ReceiveFrame(), ResultOk);
  EXPECT_EQ(trace.Last(), "RX: FF,FF,FF,FF,FF," + Hex(longReply) + "Communication Error\n");
  EXPECT_FALSE(link.ParseReply());

  const auto shortReply = Reply(0x06, {0x00}, 0, {0xC0, 0x00});
  port.QueueBytes(WithPreambles(5, shortReply));
  ASSERT_EQ(link.ReceiveFrame(), ResultOk);
  EXPECT_EQ(trace.Last(), "RX: FF,FF,FF,FF,FF," + Hex(shortReply) + "Communication Error\n");
  EXPECT_FALSE(link.ParseReply());
  EXPECT_EQ(link.State().commErrorBits, 0xC8);
}

TEST_F(LinkReceive, TheErrorMarkNeverComesFromAnEarlierFrame) {
  // A long reply whose byte at offset 8 has bit 7 set but is a data byte of a short reply ...
  const auto first = Reply(0x86, {0x1D, 0x02, 0, 1, 0x25}, 3, {0x00, 0x00, 0x00});
  port.QueueBytes(WithPreambles(5, first));
  ASSERT_EQ(link.ReceiveFrame(), ResultOk);
  link.State().rxFrame[8] = 0x80;  // leftover bytes beyond the next, shorter frame
  // ... then a short reply of seven bytes, which ends before offset 8.
  const auto second = Reply(0x06, {0x00}, 0, {0x00, 0x00});
  port.QueueBytes(WithPreambles(5, second));
  ASSERT_EQ(link.ReceiveFrame(), ResultOk);
  EXPECT_EQ(trace.Last(), "RX: FF,FF,FF,FF,FF," + Hex(second) + "\n");
}

TEST_F(LinkReceive, FailingReadsDoNotSpin) {
  port.FailReads(true);
  const auto start = Clock::now();
  const long long cpuStart = test::ThreadCpuMicros();
  EXPECT_EQ(link.ReceiveFrame(), ResultLinkFailed);
  EXPECT_GE(MillisSince(start), kTiming.firstByteLimit.count() - kTickSlack);
  EXPECT_LE(port.ReadCount(), 7);
  // Windows counts a thread's time in scheduler ticks (15.6 ms at most): one tick is no spin.
#ifdef _WIN32
  constexpr long long kMostCpuMicros = 16000;
#else
  constexpr long long kMostCpuMicros = 5000;
#endif
  EXPECT_LT(test::ThreadCpuMicros() - cpuStart, kMostCpuMicros);
}

// A reply is taken only from the device asked and for the command asked; a late reply to an
// earlier request (after its receive timed out) is skipped and the receive waits on.
class LinkReceiveMatch : public LinkReceive {
 protected:
  const std::vector<std::uint8_t> device{0x1D, 0x02, 0x00, 0x01, 0x25};

  void Send(std::uint8_t delimiter, const std::vector<std::uint8_t>& address, std::uint8_t command,
            const std::vector<std::uint8_t>& data = {}, std::size_t echo = 0) {
    const auto request = WithPreambles(5, Reply(delimiter, address, command, data));
    ASSERT_EQ(link.SendFrame(request.data(), request.size(), echo), ResultOk);
  }
  // The receive's lines: everything after the last request's "TX: " line.
  std::vector<std::string> ReceiveLines() const {
    const auto lines = trace.Lines();
    auto from = lines.end();
    while (from != lines.begin() && (from - 1)->rfind("TX: ", 0) != 0) --from;
    return {from, lines.end()};
  }
};

std::string Preambles5() { return "FF,FF,FF,FF,FF,"; }

TEST_F(LinkReceiveMatch, ALateReplyToAnotherCommandIsSkippedForTheRightOne) {
  const std::vector<std::uint8_t> damping{0x40, 0xA0, 0x00, 0x00};  // 5.0
  Send(0x82, device, 34, damping);
  std::vector<std::uint8_t> outputInfo(17, 0x11);
  outputInfo[0] = outputInfo[1] = 0;
  const auto late = Reply(0x86, device, 15, outputInfo);
  // The device echoes the address with the master bit set: still the device asked.
  const auto right =
      Reply(0x86, {0x9D, 0x02, 0x00, 0x01, 0x25}, 34, {0x00, 0x40, 0x40, 0xA0, 0x00, 0x00});
  auto line = WithPreambles(5, late);
  const auto body = WithPreambles(5, right);
  line.insert(line.end(), body.begin(), body.end());
  port.QueueBytes(line);

  ASSERT_EQ(link.ReceiveFrame(), ResultOk);
  EXPECT_EQ(link.LastFailure(), LinkFailure::None);
  ASSERT_EQ(link.State().rxLength, right.size());
  EXPECT_TRUE(std::equal(right.begin(), right.end(), link.State().rxFrame.begin()));
  EXPECT_EQ(ReceiveLines(), (std::vector<std::string>{
                                "RX: skipped: " + Preambles5() + Hex(late) + "other command\n",
                                "RX: " + Preambles5() + Hex(right) + "\n"}));
  ASSERT_TRUE(link.ParseReply());
  EXPECT_EQ(link.State().command, 34);
  EXPECT_TRUE(std::equal(damping.begin(), damping.end(), link.State().data.begin() + 2));
}

TEST_F(LinkReceiveMatch, RepliesFromOtherAddressesAreSkipped) {
  Send(0x82, device, 3);
  const std::vector<std::uint8_t> status{0x00, 0x00};
  const std::vector<std::vector<std::uint8_t>> others = {
      Reply(0x86, {0x1D, 0x02, 0x00, 0x01, 0x26}, 3, status),  // another device id
      Reply(0x86, {0x1E, 0x02, 0x00, 0x01, 0x25}, 3, status),  // another manufacturer
      Reply(0x86, {0x1D, 0x03, 0x00, 0x01, 0x25}, 3, status),  // another device type
      Reply(0x06, {0x00}, 3, status),                          // a short frame
  };
  const auto right = Reply(0x86, device, 3, status);
  std::vector<std::uint8_t> line;
  for (const auto& f : others) {
    const auto framed = WithPreambles(5, f);
    line.insert(line.end(), framed.begin(), framed.end());
  }
  const auto framed = WithPreambles(5, right);
  line.insert(line.end(), framed.begin(), framed.end());
  port.QueueBytes(line);
  ASSERT_EQ(link.ReceiveFrame(), ResultOk);
  std::vector<std::string> expected;
  for (const auto& f : others) {
    expected.push_back("RX: skipped: " + Preambles5() + Hex(f) + "other address\n");
  }
  expected.push_back("RX: " + Preambles5() + Hex(right) + "\n");
  EXPECT_EQ(ReceiveLines(), expected);

  // Command 0 to polling address 2, as a search asks: the late answer from address 1 is not
  // the device at 2; the one from 2 is, master bit or not.
  Send(0x02, {0x02}, 0);
  const auto fromOne = Reply(0x06, {0x81}, 0, status);
  const auto fromTwo = Reply(0x06, {0x82}, 0, status);
  line = WithPreambles(5, fromOne);
  const auto two = WithPreambles(5, fromTwo);
  line.insert(line.end(), two.begin(), two.end());
  port.QueueBytes(line);
  ASSERT_EQ(link.ReceiveFrame(), ResultOk);
  EXPECT_EQ(ReceiveLines(), (std::vector<std::string>{
                                "RX: skipped: " + Preambles5() + Hex(fromOne) + "other address\n",
                                "RX: " + Preambles5() + Hex(fromTwo) + "\n"}));
}

TEST_F(LinkReceiveMatch, OnlyAReplyToAnotherRequestEndsInATimeOut) {
  Send(0x82, device, 34, {0x40, 0xA0, 0x00, 0x00});
  const auto late = Reply(0x86, device, 15, {0x00, 0x00, 0x01});
  port.QueueBytes(WithPreambles(5, late));
  const auto start = Clock::now();
  EXPECT_EQ(link.ReceiveFrame(), ResultLinkFailed);
  EXPECT_EQ(link.LastFailure(), LinkFailure::NoReply);
  // Waited the first-byte limit again after the skipped frame.
  EXPECT_GE(MillisSince(start), kTiming.firstByteLimit.count() - kTickSlack);
  const auto lines = ReceiveLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "RX: skipped: " + Preambles5() + Hex(late) + "other command\n");
  EXPECT_GE(TimeoutMillis(lines), kTiming.firstByteLimit.count());
  EXPECT_EQ(lines[2], "RX: Error\n");
}

// A request whose reply repeats its first data bytes (a table point's index, a trim point)
// takes only a reply that repeats them; a reply too short to repeat them cannot be told apart.
TEST_F(LinkReceiveMatch, AReplyThatNamesAnotherPointIsSkipped) {
  using Bytes = std::vector<std::uint8_t>;
  // Status bytes, the point's index, then 100.0.
  const auto point = [](std::uint8_t hi, std::uint8_t lo) {
    return Bytes{0x00, 0x00, hi, lo, 0x42, 0xC8, 0x00, 0x00};
  };
  struct Case {
    const char* name;
    std::uint8_t command;
    Bytes request;
    std::size_t echo;
    std::vector<Bytes> skipped;  // reply data of the frames skipped, in order
    Bytes taken;                 // reply data of the frame taken
  } cases[] = {
      {"late reply to point 0",
       183,
       {0x00, 0x01, 0x42, 0xC8, 0x00, 0x00},
       2,
       {point(0x00, 0x00)},
       point(0x00, 0x01)},
      {"late replies to point 256 and to point 1's neighbour",
       187,
       {0x00, 0x01, 0, 0, 0, 0},
       2,
       {point(0x01, 0x01), point(0x00, 0x02)},
       point(0x00, 0x01)},
      {"late reply to a point before the end marker",
       191,
       {0x27, 0x0F, 0, 0, 0, 0, 0, 0, 0, 0},
       2,
       {point(0x00, 0x02)},
       point(0x27, 0x0F)},
      {"a refusal carries no index", 186, {0x00, 0x05, 0, 0, 0, 0}, 2, {}, {0x02, 0x00}},
      {"a communication error carries no index",
       182,
       {0x00, 0x05, 0, 0, 0, 0},
       2,
       {},
       {0x90, 0x00}},
      {"a reply with too few bytes for the whole index",
       182,
       {0x00, 0x05, 0, 0, 0, 0},
       2,
       {},
       {0x00, 0x00, 0x00}},
      {"sensor trim: another calibration point",
       141,
       {0x01, 0x20, 0, 0, 0, 0},
       1,
       {{0x00, 0x00, 0x02, 0x20}},
       {0x00, 0x00, 0x01, 0x21}},
      {"without an echo asked, the first reply is taken",
       183,
       {0x00, 0x01, 0, 0, 0, 0},
       0,
       {},
       point(0x00, 0x00)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    port.PurgeReceive();
    Send(0x82, device, c.command, c.request, c.echo);
    std::vector<std::string> expected;
    Bytes line;
    for (const Bytes& data : c.skipped) {
      const auto frame = Reply(0x86, device, c.command, data);
      expected.push_back("RX: skipped: " + Preambles5() + Hex(frame) + "other selector\n");
      const auto framed = WithPreambles(5, frame);
      line.insert(line.end(), framed.begin(), framed.end());
    }
    const auto taken = Reply(0x86, device, c.command, c.taken);
    expected.push_back("RX: " + Preambles5() + Hex(taken) +
                       ((c.taken[0] & 0x80) ? "Communication Error\n" : "\n"));
    const auto framed = WithPreambles(5, taken);
    line.insert(line.end(), framed.begin(), framed.end());
    port.QueueBytes(line);
    ASSERT_EQ(link.ReceiveFrame(), ResultOk);
    EXPECT_EQ(ReceiveLines(), expected);
    EXPECT_EQ(port.PendingBytes(), 0u);
  }
}

TEST_F(LinkReceiveMatch, OnlyRepliesForOtherPointsEndInATimeOutAsNoReply) {
  Send(0x82, device, 186, {0x00, 0x03, 0, 0, 0, 0}, 2);
  port.QueueBytes(WithPreambles(5, Reply(0x86, device, 186, {0, 0, 0x00, 0x02, 0, 0, 0, 0})));
  EXPECT_EQ(link.ReceiveFrame(), ResultLinkFailed);
  EXPECT_EQ(link.LastFailure(), LinkFailure::NoReply);
  EXPECT_EQ(trace.Last(), "RX: Error\n");
}

TEST(LinkReceiveInstant, EndlessNoiseEndsTheReceive) {
  FakeSerialPort port;
  port.SetInstant(true);
  HartLink link(port, Timing{}, NullTraceSink());
  link.SetClock(LinkClock{[&port] { return port.VirtualMillis(); }, [](Micros) {}});
  // Noise bytes every millisecond: the gap limit never ends this on its own.
  port.QueueBytes(std::vector<std::uint8_t>(5000, 0x00), Micros(0), Millis(1));
  EXPECT_EQ(link.ReceiveFrame(), ResultLinkFailed);
  EXPECT_EQ(port.ReadCount(), static_cast<int>(MaxBytesBeforeDelimiter) + 1);

  // Endless preambles as well.
  port.PurgeReceive();
  port.QueueBytes(std::vector<std::uint8_t>(5000, 0xFF), Micros(0), Millis(1));
  EXPECT_EQ(link.ReceiveFrame(), ResultLinkFailed);
}

TEST(LinkReceiveInstant, EndlessRepliesToOtherRequestsEndTheReceive) {
  FakeSerialPort port;
  port.SetInstant(true);
  HartLink link(port, Timing{}, NullTraceSink());
  link.SetClock(LinkClock{[&port] { return port.VirtualMillis(); }, [](Micros) {}});
  const auto request = WithPreambles(5, Reply(0x02, {0x00}, 0, {}));
  ASSERT_EQ(link.SendFrame(request.data(), request.size()), ResultOk);
  // A frame for address 1 every few milliseconds, for good: never the gap limit.
  std::vector<std::uint8_t> line;
  for (int i = 0; i < 400; ++i) {
    const auto frame = WithPreambles(5, Reply(0x06, {0x01}, 0, {0x00, 0x00}));
    line.insert(line.end(), frame.begin(), frame.end());
  }
  port.QueueBytes(line, Micros(0), Millis(1));
  EXPECT_EQ(link.ReceiveFrame(), ResultLinkFailed);
  EXPECT_EQ(link.LastFailure(), LinkFailure::BadReply);
  EXPECT_LE(port.ReadCount(), static_cast<int>(MaxBytesBeforeDelimiter) + 20);
}

TEST(LinkReceiveInstant, VirtualTimeMeasuresTheLimits) {
  FakeSerialPort port;
  port.SetInstant(true);
  test::TraceLines trace;
  HartLink link(port, Timing{}, trace.Sink());
  link.SetClock(LinkClock{[&port] { return port.VirtualMillis(); }, [](Micros) {}});
  // A reply 450 ms late still counts; one 550 ms late does not.
  port.QueueBytes(WithPreambles(5, Reply(0x06, {0x00}, 0, {0, 0})), Millis(450));
  EXPECT_EQ(link.ReceiveFrame(), ResultOk);
  port.QueueBytes(WithPreambles(5, Reply(0x06, {0x00}, 0, {0, 0})), Millis(550));
  EXPECT_EQ(link.ReceiveFrame(), ResultLinkFailed);
  EXPECT_EQ(TimeoutMillis(trace.Lines()), 500);
}

}  // namespace
}  // namespace va5
