#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "testing/SimTestFrames.h"
#include "sim/FrameAssembler.h"
#include "sim/TransmitterModel.h"

namespace va5::sim {
namespace {

using namespace va5::test;
using std::chrono::milliseconds;

ParsedReply Send(TransmitterModel& m, std::uint8_t command, const Bytes& data = {}) {
  auto r = m.HandleFrame(LongRequest(command, data));
  return r ? ParseReply(*r) : ParsedReply{};
}

// ---- tables ---------------------------------------------------------------------------------

struct TableCommands {
  std::uint8_t readHeader, writeHeader, readPoint, writePoint;
  int maxPoints;
};

class CustomTableTest : public ::testing::TestWithParam<TableCommands> {};

TEST_P(CustomTableTest, HeaderPointsAndEndMarker) {
  const TableCommands c = GetParam();
  TransmitterModel m;
  ParsedReply p = Send(m, c.readHeader);
  ASSERT_EQ(p.code, 0);
  ASSERT_EQ(p.data.size(), 8u);
  EXPECT_EQ(p.data[5], 0);  // factory table configured

  auto header = [](int size, int step, int minimum) {
    return Concat({U16(size), Bytes{static_cast<std::uint8_t>(step)}, U16(minimum)});
  };
  EXPECT_EQ(Send(m, c.writeHeader, header(c.maxPoints + 1, 10, 0)).code, RcTooLarge);
  EXPECT_EQ(Send(m, c.writeHeader, header(1, 10, 0)).code, RcTooSmall);
  EXPECT_EQ(Send(m, c.writeHeader, header(3, 51, 0)).code, RcTooLarge);
  EXPECT_EQ(Send(m, c.writeHeader, header(3, 0, 0)).code, RcTooSmall);
  EXPECT_EQ(Send(m, c.writeHeader, header(3, 10, -274)).code, RcTooSmall);
  EXPECT_EQ(Send(m, c.readHeader).data[5], 0);  // refused headers leave the table alone
  EXPECT_EQ(Send(m, c.writeHeader, header(c.maxPoints, 50, 0)).code, 0);

  p = Send(m, c.writeHeader, header(3, 25, -50));
  EXPECT_EQ(p.code, 0);
  EXPECT_EQ(p.data, header(3, 25, -50));
  p = Send(m, c.readHeader);
  EXPECT_EQ(p.data, Concat({U16(0), U16(3), Bytes{25, 1}, U16(-50)}));  // not configured

  auto point = [](int index, float v) { return Concat({U16(index), FloatBytes(v)}); };
  EXPECT_EQ(Send(m, c.writePoint, point(0, 80.5f)).data, point(0, 80.5f));
  EXPECT_EQ(Send(m, c.writePoint, point(1, 100.0f)).code, 0);
  // The end marker before the last point is refused; the table stays unconfigured.
  EXPECT_EQ(Send(m, c.writePoint, point(TableEndMarker, 0)).code, RcInvalidSelection);
  EXPECT_EQ(Send(m, c.writePoint, point(3, 1.0f)).code, RcInvalidSelection);
  EXPECT_EQ(Send(m, c.writePoint, point(2, 119.4f)).code, 0);
  EXPECT_EQ(Send(m, c.readHeader).data[5], 1);
  p = Send(m, c.writePoint, point(TableEndMarker, 0));
  EXPECT_EQ(p.code, 0);
  EXPECT_EQ(p.data, point(TableEndMarker, 0));
  EXPECT_EQ(Send(m, c.readHeader).data[5], 0);
  EXPECT_TRUE(m.State().configChanged);

  EXPECT_EQ(Send(m, c.readPoint, U16(2)).data, point(2, 119.4f));
  EXPECT_EQ(Send(m, c.readPoint, U16(3)).code, RcInvalidSelection);
  EXPECT_EQ(Send(m, c.readPoint, U16(TableEndMarker)).code, RcInvalidSelection);
}

// The factory table, read back header and points, is taken again as it was read.
TEST_P(CustomTableTest, FactoryTableIsWrittenBackAsRead) {
  const TableCommands c = GetParam();
  TransmitterModel m;
  const Bytes header = Send(m, c.readHeader).data;
  ASSERT_EQ(header.size(), 8u);
  const int size = header[2] << 8 | header[3];
  ASSERT_GE(size, 2);
  std::vector<Bytes> points;
  for (int i = 0; i < size; ++i) points.push_back(Send(m, c.readPoint, U16(i)).data);

  // Number of points, step and minimum, as the read gave them.
  const Bytes written{header[2], header[3], header[4], header[6], header[7]};
  ParsedReply p = Send(m, c.writeHeader, written);
  ASSERT_EQ(p.code, 0) << "step " << int(header[4]);
  for (const Bytes& point : points) ASSERT_EQ(Send(m, c.writePoint, point).code, 0);
  EXPECT_EQ(Send(m, c.writePoint, Concat({U16(TableEndMarker), FloatBytes(0)})).code, 0);
  EXPECT_EQ(Send(m, c.readHeader).data, header);  // configured again, as it was
  for (int i = 0; i < size; ++i) {
    EXPECT_EQ(Send(m, c.readPoint, U16(i)).data, points[static_cast<std::size_t>(i)]) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Tables, CustomTableTest,
                         ::testing::Values(TableCommands{180, 181, 182, 183, CustomTcMaxPoints},
                                           TableCommands{184, 185, 186, 187, CustomRtdMaxPoints}));

TEST(SpecialCurve, FractionsStatesAndTransfer) {
  TransmitterModel m;
  EXPECT_EQ(Send(m, 189, U16(129)).code, RcTooLarge);
  EXPECT_EQ(Send(m, 189, U16(1)).code, RcTooSmall);
  EXPECT_EQ(Send(m, 189, U16(3)).data, U16(3));
  EXPECT_EQ(Send(m, 188).data, Concat({U16(0), U16(3), Bytes{1}}));
  EXPECT_EQ(Send(m, 47, {4}).code, RcInvalidSelection);  // curve not defined

  auto point = [](int i, float x, float y) {
    return Concat({U16(i), FloatBytes(x), FloatBytes(y)});
  };
  Send(m, 191, point(0, 0.0f, 0.0f));
  Send(m, 191, point(1, 0.5f, 0.8f));  // 50 % -> 80 %
  Send(m, 191, point(2, 1.0f, 1.0f));
  EXPECT_EQ(Send(m, 191, point(3, 1.0f, 1.0f)).code, RcInvalidSelection);
  EXPECT_EQ(Send(m, 191, point(TableEndMarker, 0, 0)).code, 0);
  EXPECT_EQ(Send(m, 188).data[4], 0);
  EXPECT_EQ(Send(m, 190, U16(1)).data, point(1, 0.5f, 0.8f));
  EXPECT_EQ(Send(m, 190, U16(3)).code, RcInvalidSelection);

  // With the special curve as transfer function percent and current follow it.
  DeviceState& s = m.MutableState();
  s.processValue = 25.0;  // 25 % of 0..100 degC
  s.damping = 0;
  m.Advance(milliseconds(100));
  EXPECT_EQ(Send(m, 47, {4}).code, 0);
  ParsedReply p = Send(m, 2);
  EXPECT_NEAR(FloatAt(p.data, 4), 40.0, 1e-4);
  EXPECT_NEAR(FloatAt(p.data, 0), 4.0 + 16.0 * 0.4, 1e-4);
  Send(m, 47, {1});  // square root
  EXPECT_NEAR(FloatAt(Send(m, 2).data, 4), 50.0, 1e-4);
}

// ---- dynamics -------------------------------------------------------------------------------

std::vector<float> PvTrace(std::uint64_t seed, int steps) {
  SimConfig config;
  config.seed = seed;
  TransmitterModel m(config);
  std::vector<float> out;
  for (int i = 0; i < steps; ++i) {
    m.Advance(milliseconds(700));
    out.push_back(FloatAt(Send(m, 3).data, 5));
  }
  return out;
}

TEST(Dynamics, DeterministicPerSeedAndMovingSlowlyInsideTheLimits) {
  const auto a = PvTrace(1, 200), b = PvTrace(1, 200), c = PvTrace(2, 200);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  float lo = a[0], hi = a[0];
  for (std::size_t i = 1; i < a.size(); ++i) {
    EXPECT_LT(std::fabs(a[i] - a[i - 1]), 5.0f) << "step " << i;  // 0.7 s apart, 2 s damping
    lo = std::min(lo, a[i]);
    hi = std::max(hi, a[i]);
  }
  EXPECT_GT(hi - lo, 20.0f);  // it does move over 140 s
  EXPECT_GE(lo, -200.0f);
  EXPECT_LE(hi, 850.0f);
}

TEST(Dynamics, PvStaysWithinNarrowSensorLimitsForAWideRange) {
  TransmitterModel m;
  m.MutableState().lowerRangeValue = -200;
  m.MutableState().upperRangeValue = 850;
  for (int i = 0; i < 300; ++i) {
    m.Advance(milliseconds(1000));
    const DeviceState& s = m.State();
    ASSERT_GE(s.pvValue, -200.0);
    ASSERT_LE(s.pvValue, 850.0);
    ASSERT_FALSE(s.pvOutOfLimits);
  }
}

TEST(Dynamics, DampingFiltersAStep) {
  TransmitterModel m;
  DeviceState& s = m.MutableState();
  s.damping = 4.0;
  s.processValue = 10.0;
  m.Advance(milliseconds(60000));
  EXPECT_NEAR(m.State().pvValue, 10.0, 1e-4);
  m.MutableState().processValue = 60.0;
  m.Advance(milliseconds(4000));  // one time constant: 63 % of the step
  EXPECT_NEAR(m.State().pvValue, 10.0 + 50.0 * (1.0 - std::exp(-1.0)), 0.05);
  m.Advance(milliseconds(40000));
  EXPECT_NEAR(m.State().pvValue, 60.0, 1e-3);
}

TEST(Dynamics, PercentCurrentSaturationAndLimits) {
  TransmitterModel m;
  DeviceState& s = m.MutableState();
  s.damping = 0;
  struct Case {
    double lower, upper, process, percent, current;
    bool saturated;
  } cases[] = {
      {0, 100, 25, 25, 8, false},       {100, 0, 25, 75, 16, false},  // reverse range
      {0, 100, 103, 103, 20.48, false}, {0, 100, 104, 104, 20.5, true},
      {0, 100, -1, -1, 3.84, false},    {0, 100, -2, -2, 3.8, true},
  };
  for (const Case& c : cases) {
    s.lowerRangeValue = c.lower;
    s.upperRangeValue = c.upper;
    s.processValue = c.process;
    m.Advance(milliseconds(100));
    ParsedReply p = Send(m, 2);
    EXPECT_NEAR(FloatAt(p.data, 4), c.percent, 1e-4) << c.process;
    EXPECT_NEAR(FloatAt(p.data, 0), c.current, 1e-4) << c.process;
    EXPECT_EQ((p.status & StatusCurrentSaturated) != 0, c.saturated) << c.process;
  }
  s.processValue = 851;
  m.Advance(milliseconds(100));
  EXPECT_TRUE(Send(m, 3).status & StatusPvOutOfLimits);
  s.processValue = 849;
  m.Advance(milliseconds(100));
  EXPECT_FALSE(Send(m, 3).status & StatusPvOutOfLimits);
  // Terminal temperature sits near 25 degC.
  EXPECT_NEAR(FloatAt(Send(m, 3).data, 10), 25.0, 0.5);
}

TEST(Dynamics, SensorBreakDrivesTheBurnoutCurrent) {
  TransmitterModel m;
  Send(m, 3);
  m.InjectFault({Fault::Kind::SensorBreak});
  ParsedReply p = Send(m, 3);
  EXPECT_FLOAT_EQ(FloatAt(p.data, 0), 21.6f);
  EXPECT_EQ(p.status & (StatusDeviceMalfunction | StatusPvOutOfLimits | StatusMoreStatus),
            StatusDeviceMalfunction | StatusPvOutOfLimits | StatusMoreStatus);
  EXPECT_EQ(Send(m, 48).data[0] & AdditionalSensorBreak, AdditionalSensorBreak);
  Send(m, 135, {1});
  EXPECT_FLOAT_EQ(FloatAt(Send(m, 2).data, 0), 3.6f);
  Send(m, 40, FloatBytes(12));  // a fixed current wins over burnout
  EXPECT_FLOAT_EQ(FloatAt(Send(m, 2).data, 0), 12.0f);
  Send(m, 40, FloatBytes(0));
  m.ClearFaults();
  p = Send(m, 3);
  EXPECT_EQ(p.status & StatusDeviceMalfunction, 0);
  EXPECT_LT(FloatAt(p.data, 0), 20.5f);
  // The same through the state.
  m.MutableState().sensorBreak = true;
  EXPECT_FLOAT_EQ(FloatAt(Send(m, 2).data, 0), 3.6f);
}

// ---- faults ---------------------------------------------------------------------------------

TEST(Faults, SilenceForNRequestsOrForGood) {
  TransmitterModel m;
  m.InjectFault({Fault::Kind::Silence, 2});
  EXPECT_FALSE(m.HandleFrame(LongRequest(3)));
  EXPECT_FALSE(m.HandleFrame(LongRequest(3)));
  EXPECT_TRUE(m.HandleFrame(LongRequest(3)));
  m.InjectFault({Fault::Kind::Silence, -1, 48});  // only command 48, for good
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(m.HandleFrame(LongRequest(48)));
  EXPECT_TRUE(m.HandleFrame(LongRequest(3)));
  m.ClearFaults();
  EXPECT_TRUE(m.HandleFrame(LongRequest(48)));
}

TEST(Faults, ReplyDisturbances) {
  TransmitterModel m;
  m.InjectFault({Fault::Kind::Noise, 1});
  Bytes r = *m.HandleFrame(LongRequest(3));
  ParsedReply p = ParseReply(r);
  EXPECT_GT(p.noise, 0u);
  EXPECT_TRUE(p.valid);
  EXPECT_EQ(ParseReply(*m.HandleFrame(LongRequest(3))).noise, 0u);

  m.InjectFault({Fault::Kind::Noise, 1, -1, 1});  // noise instead of a reply
  r = *m.HandleFrame(LongRequest(3));
  EXPECT_FALSE(r.empty());
  EXPECT_EQ(std::count(r.begin(), r.end(), 0xFF), 0);

  m.InjectFault({Fault::Kind::BadChecksum, 1});
  EXPECT_FALSE(ParseReply(*m.HandleFrame(LongRequest(3))).valid);
  EXPECT_TRUE(ParseReply(*m.HandleFrame(LongRequest(3))).valid);

  m.InjectFault({Fault::Kind::Preambles20, 1});
  EXPECT_EQ(ParseReply(*m.HandleFrame(LongRequest(3))).preambles, 20);

  m.InjectFault({Fault::Kind::Slow, 1, -1, 600});
  auto slow = m.HandleRequest(LongRequest(3));
  ASSERT_TRUE(slow);
  EXPECT_EQ(slow->delay, milliseconds(600));
  EXPECT_EQ(m.HandleRequest(LongRequest(3))->delay, milliseconds(0));

  m.InjectFault({Fault::Kind::NanPv, 1});
  p = ParseReply(*m.HandleFrame(LongRequest(3)));
  EXPECT_EQ(Bytes(p.data.begin() + 5, p.data.begin() + 9), (Bytes{0x7F, 0xA0, 0x00, 0x00}));
  EXPECT_TRUE(std::isnan(FloatAt(p.data, 5)));
}

TEST(Faults, ResponseCodeAndCommunicationError) {
  TransmitterModel m;
  m.InjectFault({Fault::Kind::ResponseCode, 1, 34, 7});
  ParsedReply p = ParseReply(*m.HandleFrame(LongRequest(34, FloatBytes(9))));
  EXPECT_EQ(p.code, 7);
  EXPECT_TRUE(p.data.empty());
  EXPECT_DOUBLE_EQ(m.State().damping, 2.0);  // a refused write is not carried out
  EXPECT_EQ(ParseReply(*m.HandleFrame(LongRequest(3))).code, 0);  // other commands unaffected

  m.InjectFault({Fault::Kind::CommError, 1, -1, 0x08});
  p = ParseReply(*m.HandleFrame(LongRequest(3)));
  EXPECT_EQ(p.code, 0x88);
  EXPECT_EQ(p.status, 0);
  EXPECT_TRUE(p.data.empty());
  EXPECT_EQ(ParseReply(*m.HandleFrame(LongRequest(3))).code, 0);
}

TEST(Faults, VanishAfterPointWrites) {
  TransmitterModel m;
  m.InjectFault({Fault::Kind::VanishAfterPointWrites, -1, -1, 2});
  Send(m, 185, Concat({U16(4), Bytes{10}, U16(0)}));
  EXPECT_EQ(Send(m, 187, Concat({U16(0), FloatBytes(100)})).code, 0);
  EXPECT_TRUE(m.HandleFrame(LongRequest(3)));  // other commands do not count
  EXPECT_EQ(Send(m, 187, Concat({U16(1), FloatBytes(104)})).code, 0);
  EXPECT_FALSE(m.HandleFrame(LongRequest(187, Concat({U16(2), FloatBytes(108)}))));
  EXPECT_FALSE(m.HandleFrame(LongRequest(3)));
  EXPECT_FALSE(m.HandleFrame(ShortRequest(0, 0)));
  m.ClearFaults();
  EXPECT_TRUE(m.HandleFrame(LongRequest(3)));
}

// ---- frame assembly -------------------------------------------------------------------------

std::vector<Bytes> Assemble(FrameAssembler& a, const Bytes& line) {
  std::vector<Bytes> frames;
  for (std::uint8_t b : line) {
    if (auto f = a.Feed(b)) frames.push_back(*f);
  }
  return frames;
}

TEST(FrameAssembler, FindsFramesAmidNoise) {
  FrameAssembler a;
  const Bytes shortReq = ShortRequest(0, 0);
  const Bytes longReq = LongRequest(34, FloatBytes(2));
  Bytes line = {0x00, 0x12};
  line.insert(line.end(), 5, 0xFF);
  line.insert(line.end(), shortReq.begin(), shortReq.end());
  line.insert(line.end(), {0x55, 0xFF, 0x02});  // one preamble is not enough: dropped
  line.insert(line.end(), 3, 0xFF);
  line.insert(line.end(), longReq.begin(), longReq.end());
  line.insert(line.end(), {0xFF, 0xFF, 0x03, 0xFF, 0xFF});  // not a delimiter
  line.insert(line.end(), shortReq.begin(), shortReq.end());
  const auto frames = Assemble(a, line);
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0], shortReq);
  EXPECT_EQ(frames[1], longReq);
  EXPECT_EQ(frames[2], shortReq);

  // A reset after a gap drops a partial frame.
  Assemble(a, Bytes{0xFF, 0xFF, 0x82, 29});
  EXPECT_TRUE(a.InFrame());
  a.Reset();
  Bytes again = {0xFF, 0xFF};
  again.insert(again.end(), shortReq.begin(), shortReq.end());
  EXPECT_EQ(Assemble(a, again), std::vector<Bytes>{shortReq});
}

}  // namespace
}  // namespace va5::sim
