#include "sim/TransmitterModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "testing/SimTestFrames.h"

namespace va5::sim {
namespace {

using namespace va5::test;
using std::chrono::milliseconds;

class ModelTest : public ::testing::Test {
 protected:
  ParsedReply Send(std::uint8_t command, const Bytes& data = {}) {
    auto reply = model_.HandleFrame(LongRequest(command, data));
    EXPECT_TRUE(reply.has_value()) << "no reply to command " << int(command);
    if (!reply) return {};
    ParsedReply p = ParseReply(*reply);
    EXPECT_TRUE(p.valid);
    EXPECT_EQ(p.command, command);
    return p;
  }
  // A command whose reply must be accepted (response code 0).
  Bytes Ok(std::uint8_t command, const Bytes& data = {}) {
    ParsedReply p = Send(command, data);
    EXPECT_EQ(p.code, 0) << "command " << int(command);
    return p.data;
  }
  std::uint8_t Code(std::uint8_t command, const Bytes& data = {}) {
    ParsedReply p = Send(command, data);
    if (p.code != 0 && p.code != RcSpanTooSmall) {
      EXPECT_TRUE(p.data.empty()) << "an error reply carries only the status bytes";
    }
    return p.code;
  }
  std::uint8_t Status() { return Send(38).status; }

  TransmitterModel model_;
};

TEST_F(ModelTest, IdentityReplyToShortCommandZero) {
  auto reply = model_.HandleFrame(ShortRequest(0, 0));
  ASSERT_TRUE(reply);
  ParsedReply p = ParseReply(*reply);
  ASSERT_TRUE(p.valid);
  EXPECT_EQ(p.preambles, 5);
  EXPECT_EQ(p.noise, 0u);
  EXPECT_EQ(p.delimiter, 0x06);
  EXPECT_EQ(p.address, Bytes{0x00});
  EXPECT_EQ(p.code, 0);
  EXPECT_EQ(p.status & StatusColdStart, StatusColdStart);
  EXPECT_EQ(p.data, (Bytes{254, 29, 2, 5, 5, 3, 12, 0x10, 0, 0x00, 0x01, 0x25}));
  // Cold start is reported once.
  p = ParseReply(*model_.HandleFrame(ShortRequest(0, 0)));
  EXPECT_EQ(p.status & StatusColdStart, 0);
}

TEST_F(ModelTest, AnswersOnlyFramesAddressedToIt) {
  EXPECT_FALSE(model_.HandleFrame(ShortRequest(1, 0)));                // other polling address
  EXPECT_FALSE(model_.HandleFrame(ShortRequest(0, 3)));                // short frame, not command 0
  EXPECT_FALSE(model_.HandleFrame(LongRequest(3, {}, 0x126)));         // other device id
  EXPECT_FALSE(model_.HandleFrame(LongRequest(3, {}, 0x125, 30)));     // other manufacturer
  EXPECT_FALSE(model_.HandleFrame(LongRequest(3, {}, 0x125, 29, 1)));  // other device type
  Bytes bad = LongRequest(3);
  bad.back() ^= 1;
  EXPECT_FALSE(model_.HandleFrame(bad));
  Bytes burst = LongRequest(3);
  burst[0] = 0x81;
  burst.back() ^= 0x82 ^ 0x81;
  EXPECT_FALSE(model_.HandleFrame(burst));
  Bytes slave = LongRequest(3);
  slave[0] = 0x86;
  slave.back() ^= 0x82 ^ 0x86;
  EXPECT_FALSE(model_.HandleFrame(slave));
  EXPECT_FALSE(model_.HandleFrame(Bytes{0x82, 29, 2}));  // truncated
  EXPECT_EQ(model_.RequestCount(), 9);

  // Master and burst bits of the first address byte do not count; the master bit is echoed.
  auto reply = model_.HandleFrame(LongRequest(3, {}, 0x125, 0x80 | 0x40 | 29));
  ASSERT_TRUE(reply);
  ParsedReply p = ParseReply(*reply);
  EXPECT_EQ(p.delimiter, 0x86);
  EXPECT_EQ(p.address, (Bytes{0x80 | 29, 2, 0x00, 0x01, 0x25}));
  // Leading preambles in the frame given to the model are skipped.
  Bytes withPreambles = {0xFF, 0xFF, 0xFF};
  const Bytes req = ShortRequest(0x80, 0);
  withPreambles.insert(withPreambles.end(), req.begin(), req.end());
  reply = model_.HandleFrame(withPreambles);
  ASSERT_TRUE(reply);
  EXPECT_EQ(ParseReply(*reply).address, Bytes{0x80});
}

TEST(ModelAddressing, ConfiguredAddressAndDeviceIdAndCommandSix) {
  SimConfig config;
  config.pollingAddress = 3;
  config.deviceId = 0xABCDEF;
  TransmitterModel model(config);
  EXPECT_FALSE(model.HandleFrame(ShortRequest(0, 0)));
  auto reply = model.HandleFrame(ShortRequest(3, 0));
  ASSERT_TRUE(reply);
  ParsedReply p = ParseReply(*reply);
  EXPECT_EQ(Bytes(p.data.end() - 3, p.data.end()), (Bytes{0xAB, 0xCD, 0xEF}));
  EXPECT_FALSE(model.HandleFrame(LongRequest(0, {}, 0x000125)));
  EXPECT_TRUE(model.HandleFrame(LongRequest(0, {}, 0xABCDEF)));

  p = ParseReply(*model.HandleFrame(LongRequest(6, {7}, 0xABCDEF)));
  EXPECT_EQ(p.code, 0);
  EXPECT_EQ(p.data, Bytes{7});
  EXPECT_FALSE(model.HandleFrame(ShortRequest(3, 0)));
  EXPECT_TRUE(model.HandleFrame(ShortRequest(7, 0)));
  p = ParseReply(*model.HandleFrame(LongRequest(6, {16}, 0xABCDEF)));
  EXPECT_EQ(p.code, RcInvalidSelection);
  EXPECT_EQ(model.State().pollingAddress, 7);
}

TEST_F(ModelTest, TagGroupRoundTrips) {
  Bytes req(21);
  PackAscii(req.data(), "PUMP-7  ", 8);
  PackAscii(req.data() + 6, "COOLING WATER   ", 16);
  req[18] = 7;
  req[19] = 3;
  req[20] = 108;
  EXPECT_EQ(Ok(18, req), req);
  EXPECT_EQ(model_.State().tag, "PUMP-7  ");
  EXPECT_EQ(model_.State().descriptor, "COOLING WATER   ");
  EXPECT_EQ(Ok(13), req);

  Bytes msg(24);
  PackAscii(msg.data(), "CHECKED 2024 BY THE NIGHT SHIFT", 32);
  EXPECT_EQ(Ok(17, msg), msg);
  EXPECT_EQ(model_.State().message, "CHECKED 2024 BY THE NIGHT SHIFT ");
  EXPECT_EQ(Ok(12), msg);

  Bytes badDate = req;
  badDate[19] = 13;
  EXPECT_EQ(Code(18, badDate), 9);
  badDate = req;
  badDate[18] = 0;
  EXPECT_EQ(Code(18, badDate), 9);
  EXPECT_EQ(model_.State().month, 3);

  EXPECT_EQ(Ok(19, {0x01, 0x02, 0x03}), (Bytes{0x01, 0x02, 0x03}));
  EXPECT_EQ(Ok(16), (Bytes{0x01, 0x02, 0x03}));
  EXPECT_EQ(model_.State().finalAssemblyNumber, 0x010203u);
  Ok(49, {0x00, 0x30, 0x39});
  EXPECT_EQ(model_.State().sensorSerialNumber, 12345u);
  const Bytes info = Ok(14);
  EXPECT_EQ(Bytes(info.begin(), info.begin() + 3), (Bytes{0x00, 0x30, 0x39}));
}

TEST_F(ModelTest, SensorInformationAndUnitConversion) {
  Bytes d = Ok(14);
  ASSERT_EQ(d.size(), 16u);
  EXPECT_EQ(d[3], UnitDegC);
  EXPECT_FLOAT_EQ(FloatAt(d, 4), 850.0f);  // Pt100 limits
  EXPECT_FLOAT_EQ(FloatAt(d, 8), -200.0f);
  EXPECT_FLOAT_EQ(FloatAt(d, 12), 10.0f);

  d = Ok(15);
  ASSERT_EQ(d.size(), 17u);
  EXPECT_EQ(d[0], 0);  // alarm high (upscale burnout)
  EXPECT_EQ(d[1], 0);
  EXPECT_EQ(d[2], UnitDegC);
  EXPECT_FLOAT_EQ(FloatAt(d, 3), 100.0f);
  EXPECT_FLOAT_EQ(FloatAt(d, 7), 0.0f);
  EXPECT_FLOAT_EQ(FloatAt(d, 11), 2.0f);

  EXPECT_EQ(Ok(44, {UnitDegF}), Bytes{UnitDegF});
  d = Ok(14);
  EXPECT_EQ(d[3], UnitDegF);
  EXPECT_FLOAT_EQ(FloatAt(d, 4), 1562.0f);
  EXPECT_FLOAT_EQ(FloatAt(d, 8), -328.0f);
  EXPECT_FLOAT_EQ(FloatAt(d, 12), 18.0f);
  d = Ok(15);
  EXPECT_FLOAT_EQ(FloatAt(d, 3), 212.0f);
  EXPECT_FLOAT_EQ(FloatAt(d, 7), 32.0f);
  EXPECT_EQ(Ok(44, {UnitKelvin}), Bytes{UnitKelvin});
  EXPECT_FLOAT_EQ(FloatAt(Ok(15), 3), 373.15f);

  EXPECT_EQ(Code(44, {UnitOhm}), RcInvalidSelection);  // not a temperature unit
  EXPECT_EQ(Code(44, {UnitMilliampere}), RcInvalidSelection);
  EXPECT_EQ(model_.State().pvUnit, UnitKelvin);
}

TEST_F(ModelTest, RangeWriteCodes) {
  auto range = [](int unit, float upper, float lower) {
    return Concat({Bytes{static_cast<std::uint8_t>(unit)}, FloatBytes(upper), FloatBytes(lower)});
  };
  struct Case {
    float upper, lower;
    std::uint8_t code;
  } cases[] = {
      {900, 0, RcUpperTooHigh},   {-300, -250, RcBothOutOfLimits}, {100, 860, RcLowerTooHigh},
      {100, -210, RcLowerTooLow}, {-201, -100, RcUpperTooLow},     {900, -210, RcBothOutOfLimits},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Code(35, range(UnitDegC, c.upper, c.lower)), c.code) << c.upper << " " << c.lower;
  }
  EXPECT_DOUBLE_EQ(model_.State().upperRangeValue, 100.0);  // refused writes change nothing

  // The limits themselves, nudged inward by the tool, are accepted.
  EXPECT_EQ(Ok(35, range(UnitDegC, 849.9999f, -199.9999f)), range(UnitDegC, 849.9999f, -199.9999f));
  EXPECT_NEAR(model_.State().upperRangeValue, 850.0, 1e-3);

  // A span below the minimum is a warning: stored, and the reply carries the data.
  ParsedReply p = Send(35, range(UnitDegC, 55, 50));
  EXPECT_EQ(p.code, RcSpanTooSmall);
  EXPECT_EQ(p.data.size(), 9u);
  EXPECT_DOUBLE_EQ(model_.State().upperRangeValue, 55.0);
  EXPECT_TRUE(model_.State().configChanged);

  // Values in another unit of the family are converted; a unit of another family is refused.
  Ok(35, range(UnitDegF, 212, 32));
  EXPECT_NEAR(model_.State().upperRangeValue, 100.0, 1e-4);
  EXPECT_NEAR(model_.State().lowerRangeValue, 0.0, 1e-4);
  EXPECT_EQ(Code(35, range(UnitOhm, 100, 0)), RcInvalidSelection);
  EXPECT_EQ(Code(35, range(UnitDegC, NAN, 0)), RcInvalidSelection);
  // Reverse ranges are allowed.
  Ok(35, range(UnitDegC, 0, 200));
  EXPECT_DOUBLE_EQ(model_.State().upperRangeValue, 0.0);
}

TEST_F(ModelTest, DampingAndTooFewBytes) {
  EXPECT_EQ(Ok(34, FloatBytes(4.5f)), FloatBytes(4.5f));
  EXPECT_EQ(Code(34, FloatBytes(30.5f)), RcTooLarge);
  EXPECT_EQ(Code(34, FloatBytes(-1.0f)), RcTooSmall);
  EXPECT_DOUBLE_EQ(model_.State().damping, 4.5);
  EXPECT_EQ(Code(34, {0x40, 0x00}), RcTooFewBytes);

  // Every write refuses a request that is one byte short, and changes nothing.
  const std::uint8_t writes[][2] = {
      {6, 1},   {17, 24}, {18, 21}, {19, 3},   {34, 4},  {35, 9},  {40, 4},  {44, 1},
      {45, 4},  {46, 4},  {47, 1},  {49, 3},   {59, 1},  {131, 2}, {133, 1}, {135, 1},
      {138, 8}, {141, 6}, {142, 1}, {144, 20}, {155, 4}, {158, 1}, {163, 5}, {181, 5},
      {182, 2}, {183, 6}, {185, 5}, {186, 2},  {187, 6}, {189, 2}, {190, 2}, {191, 10}};
  model_.MutableState().configChanged = false;
  for (const auto& w : writes) {
    EXPECT_EQ(Code(w[0], Bytes(w[1] - 1u, 0)), RcTooFewBytes) << "command " << int(w[0]);
  }
  EXPECT_FALSE(model_.State().configChanged);
  EXPECT_EQ(Code(7), RcNotImplemented);
  EXPECT_EQ(Code(50), RcNotImplemented);
  EXPECT_EQ(Code(200), RcNotImplemented);
}

TEST_F(ModelTest, ConfigurationChangedAndColdStartBits) {
  EXPECT_EQ(Send(3).status & (StatusColdStart | StatusConfigChanged), StatusColdStart);
  EXPECT_EQ(Send(3).status & StatusColdStart, 0);
  Ok(34, FloatBytes(1.0f));
  EXPECT_TRUE(Send(3).status & StatusConfigChanged);
  EXPECT_EQ(Status() & StatusConfigChanged, 0);  // command 38 clears it in its own reply
  Code(34, FloatBytes(99.0f));                   // a refused write does not set it
  EXPECT_EQ(Send(3).status & StatusConfigChanged, 0);
  Ok(3);
  EXPECT_EQ(Send(3).status & StatusConfigChanged, 0);  // reads do not set it
}

TEST_F(ModelTest, FixedCurrentModeAndDacTrim) {
  EXPECT_EQ(Code(45, FloatBytes(4.0f)), RcLowerTooHigh);  // not fixed
  EXPECT_EQ(FloatAt(Ok(40, FloatBytes(12.5f)), 0), 12.5f);
  ParsedReply p = Send(2);
  EXPECT_FLOAT_EQ(FloatAt(p.data, 0), 12.5f);
  EXPECT_TRUE(p.status & StatusCurrentFixed);
  EXPECT_EQ(Code(45, FloatBytes(4.0f)), RcLowerTooHigh);  // fixed, but not at 4 mA

  EXPECT_EQ(Code(40, FloatBytes(21.7f)), RcTooLarge);
  EXPECT_EQ(Code(40, FloatBytes(3.7f)), RcTooSmall);
  EXPECT_EQ(Code(40, FloatBytes(-1.0f)), RcTooSmall);
  Ok(40, FloatBytes(21.6f));
  Ok(40, FloatBytes(3.8f));

  Ok(40, FloatBytes(4.0f));
  EXPECT_EQ(Ok(45, FloatBytes(4.02f)), FloatBytes(4.02f));
  EXPECT_NEAR(model_.State().dacZeroOffset, -0.02, 1e-6);
  EXPECT_EQ(Code(45, FloatBytes(4.6f)), RcTooLarge);
  EXPECT_EQ(Code(45, FloatBytes(3.4f)), RcTooSmall);
  EXPECT_EQ(Code(46, FloatBytes(20.0f)), RcLowerTooHigh);  // 46 needs 20 mA
  Ok(40, FloatBytes(20.0f));
  Ok(46, FloatBytes(19.9f));
  EXPECT_NEAR(model_.State().dacGain, 20.0 / 19.9, 1e-6);

  Bytes cleared = Ok(158, Bytes{1, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(FloatAt(cleared, 0), 0.0f);
  EXPECT_EQ(FloatAt(cleared, 4), 1.0f);
  EXPECT_EQ(model_.State().dacGain, 1.0);
  EXPECT_EQ(Code(158, {2}), RcInvalidSelection);

  // 0 leaves fixed mode: the current follows the PV again and the bit clears.
  model_.MutableState().processValue = 50.0;
  model_.MutableState().damping = 0;
  model_.Advance(milliseconds(200));
  Bytes left = Ok(40, FloatBytes(0.0f));
  EXPECT_FLOAT_EQ(FloatAt(left, 0), 12.0f);
  EXPECT_EQ(Send(2).status & StatusCurrentFixed, 0);
}

TEST_F(ModelTest, SensorConfigurationRules) {
  EXPECT_EQ(Ok(130), (Bytes{12, 3}));
  EXPECT_EQ(Ok(131, {16, 4}), (Bytes{16, 4}));  // Pt500, four wires: same family, range kept
  EXPECT_EQ(model_.State().pvUnit, UnitDegC);
  EXPECT_DOUBLE_EQ(model_.State().upperRangeValue, 100.0);

  EXPECT_EQ(Code(131, {137, 3}), RcInvalidSelection);  // thermocouples are wired 2
  EXPECT_EQ(Code(131, {240, 2}), RcInvalidSelection);  // potentiometers 3
  EXPECT_EQ(Code(131, {12, 5}), RcInvalidSelection);
  EXPECT_EQ(Code(131, {99, 2}), RcInvalidSelection);  // no such sensor type

  Ok(44, {UnitDegF});
  Ok(131, {141, 2});  // type T: -170..400 degC; the range in degF is inside, kept
  EXPECT_EQ(model_.State().pvUnit, UnitDegF);
  Bytes d = Ok(14);
  EXPECT_FLOAT_EQ(FloatAt(d, 4), 752.0f);
  EXPECT_FLOAT_EQ(FloatAt(d, 12), 45.0f);  // 25 degC minimum span
  Ok(131, {1, 2});  // OHM: another family, the unit and the range follow the sensor
  EXPECT_EQ(model_.State().pvUnit, UnitOhm);
  EXPECT_DOUBLE_EQ(model_.State().upperRangeValue, 4000.0);
  EXPECT_DOUBLE_EQ(model_.State().lowerRangeValue, 0.0);
  EXPECT_EQ(Code(44, {UnitDegC}), RcInvalidSelection);
  Ok(131, {129, 2});
  EXPECT_EQ(model_.State().pvUnit, UnitMillivolt);
  Ok(131, {242, 3});
  EXPECT_EQ(model_.State().pvUnit, UnitPercent);

  // Custom sensor types need their table.
  model_.MutableState().rtdTable.configured = false;
  EXPECT_EQ(Code(131, {93, 3}), RcInvalidSelection);
  model_.MutableState().tcTable.configured = false;
  EXPECT_EQ(Code(131, {146, 2}), RcInvalidSelection);
  model_.MutableState().tcTable.configured = true;
  Ok(131, {146, 2});
  EXPECT_EQ(model_.State().sensorType, 146);
}

TEST_F(ModelTest, CodedSettings) {
  EXPECT_EQ(Ok(133, {0}), Bytes{0});
  EXPECT_EQ(Ok(132), Bytes{0});
  EXPECT_EQ(Code(133, {2}), RcInvalidSelection);
  EXPECT_EQ(Ok(135, {2}), Bytes{2});
  EXPECT_EQ(Ok(134), Bytes{2});
  EXPECT_EQ(Ok(15)[0], 251);  // no alarm action
  EXPECT_EQ(Code(135, {3}), RcInvalidSelection);
  EXPECT_EQ(Ok(142, {UnitKelvin}), Bytes{UnitKelvin});
  EXPECT_EQ(Code(142, {UnitMillivolt}), RcInvalidSelection);
  Bytes d = Ok(3);
  EXPECT_EQ(d[9], UnitKelvin);
  EXPECT_NEAR(FloatAt(d, 10), 298.15, 0.5);
  EXPECT_EQ(Ok(145)[0], UnitKelvin);
  EXPECT_EQ(Ok(59, {9}), Bytes{9});
  EXPECT_EQ(Send(0).preambles, 9);
  EXPECT_EQ(Code(59, {4}), RcTooSmall);
  EXPECT_EQ(Code(59, {21}), RcTooLarge);
  EXPECT_EQ(Ok(47, {1}), Bytes{1});
  EXPECT_EQ(Code(47, {2}), RcInvalidSelection);
  model_.MutableState().curve.configured = false;
  EXPECT_EQ(Code(47, {4}), RcInvalidSelection);
  EXPECT_EQ(model_.State().transferFunction, 1);
}

TEST_F(ModelTest, DeviceSpecificValues) {
  Bytes pair = Concat({FloatBytes(1.5f), FloatBytes(-2.25f)});
  EXPECT_EQ(Ok(138, pair), pair);
  EXPECT_EQ(model_.State().pair[1], -2.25);
  EXPECT_EQ(Code(138, Concat({FloatBytes(INFINITY), FloatBytes(0)})), RcInvalidSelection);

  Bytes block = Concat(
      {FloatBytes(1), FloatBytes(2), FloatBytes(3), FloatBytes(4), U16(-7), U16(300), Bytes{0, 0}});
  EXPECT_EQ(Ok(144, block), Bytes(block.begin(), block.begin() + 20));
  EXPECT_EQ(model_.State().blockWords[0], -7);
  EXPECT_EQ(model_.State().block[3], 4.0);

  model_.MutableState().terminalSetting = 1.25;
  EXPECT_EQ(FloatAt(Ok(145), 1), 1.25f);
  EXPECT_EQ(Ok(155, FloatBytes(60)), FloatBytes(60));
  EXPECT_EQ(Ok(154), FloatBytes(60));
  EXPECT_EQ(Ok(163, Concat({Bytes{2}, FloatBytes(9.5f)})),
            Concat({FloatBytes(0), FloatBytes(1), FloatBytes(9.5f)}));
  EXPECT_EQ(Ok(162), Concat({FloatBytes(0), FloatBytes(1), FloatBytes(9.5f)}));
  EXPECT_EQ(Code(163, Concat({Bytes{3}, FloatBytes(1)})), RcInvalidSelection);
}

TEST_F(ModelTest, SensorTrimChangesThePv) {
  DeviceState& s = model_.MutableState();
  s.processValue = 40.0;
  s.damping = 0;
  model_.Advance(milliseconds(100));
  EXPECT_FLOAT_EQ(FloatAt(Ok(1), 1), 40.0f);

  Bytes zero = Concat({Bytes{1, UnitDegC}, FloatBytes(41.0f), Bytes(8, 0)});
  Bytes d = Ok(141, zero);
  ASSERT_EQ(d.size(), 14u);
  EXPECT_EQ(d[0], 1);
  EXPECT_EQ(d[1], UnitDegC);
  EXPECT_FLOAT_EQ(FloatAt(d, 2), 40.0f);
  EXPECT_FLOAT_EQ(FloatAt(d, 6), 41.0f);
  EXPECT_FLOAT_EQ(FloatAt(d, 10), 1.0f);
  EXPECT_FLOAT_EQ(FloatAt(Ok(1), 1), 41.0f);

  model_.MutableState().processValue = 90.0;
  model_.Advance(milliseconds(100));
  Ok(141, Concat({Bytes{2, UnitDegC}, FloatBytes(96.0f), Bytes(8, 0)}));
  EXPECT_NEAR(model_.State().trimGain, 55.0 / 50.0, 1e-6);
  EXPECT_NEAR(FloatAt(Ok(3), 5), 96.0, 1e-4);
  d = Ok(140);
  EXPECT_EQ(d.size(), 12u);
  EXPECT_NEAR(FloatAt(d, 8), 1.1, 1e-6);

  EXPECT_EQ(Code(141, Concat({Bytes{1, UnitDegC}, FloatBytes(900.0f)})), RcTooLarge);
  EXPECT_EQ(Code(141, Concat({Bytes{1, UnitOhm}, FloatBytes(10.0f)})), RcInvalidSelection);
  EXPECT_EQ(Code(141, Concat({Bytes{3, UnitDegC}, FloatBytes(10.0f)})), RcInvalidSelection);
  // Span at the zero point cannot define a gain.
  model_.MutableState().processValue = 40.0;
  model_.Advance(milliseconds(100));
  EXPECT_EQ(Code(141, Concat({Bytes{2, UnitDegC}, FloatBytes(50.0f)})), RcTooLarge);

  // A trim made in degF lands at the right place in degC.
  Ok(141, Concat({Bytes{0, UnitDegC}, FloatBytes(0)}));
  EXPECT_EQ(model_.State().trimGain, 1.0);
  Ok(141, Concat({Bytes{1, UnitDegF}, FloatBytes(105.8f)}));  // 41 degC
  EXPECT_NEAR(model_.State().pvValue, 41.0, 1e-4);
  Ok(44, {UnitDegF});
  EXPECT_NEAR(model_.State().pvValue, 105.8, 1e-3);
}

TEST(ModelTiming, SelfTestBusyAndReset) {
  SimConfig config;
  config.selfTestBusy = milliseconds(3000);
  config.resetDuration = milliseconds(1500);
  TransmitterModel model(config);
  auto send = [&](std::uint8_t cmd, const Bytes& data = {}) {
    auto r = model.HandleFrame(LongRequest(cmd, data));
    return r ? ParseReply(*r) : ParsedReply{};
  };
  send(3);  // cold start reported
  EXPECT_EQ(send(41).code, 0);
  EXPECT_EQ(send(48).code, RcBusy);
  EXPECT_EQ(send(34, FloatBytes(1)).code, RcBusy);
  EXPECT_EQ(send(0).code, 0);
  model.Advance(milliseconds(2900));
  EXPECT_EQ(send(3).code, RcBusy);
  model.Advance(milliseconds(100));
  EXPECT_EQ(send(48).code, 0);

  send(40, FloatBytes(8));
  ParsedReply p = send(42);
  EXPECT_TRUE(p.valid);  // the reply comes first
  EXPECT_EQ(p.code, 0);
  EXPECT_FALSE(model.HandleFrame(LongRequest(3)));
  EXPECT_FALSE(model.HandleFrame(ShortRequest(0, 0)));
  model.Advance(milliseconds(1400));
  EXPECT_FALSE(model.HandleFrame(LongRequest(3)));
  model.Advance(milliseconds(100));
  p = send(3);
  EXPECT_TRUE(p.valid);
  EXPECT_TRUE(p.status & StatusColdStart);
  EXPECT_FALSE(p.status & StatusCurrentFixed);  // a reset leaves fixed current mode
}

TEST_F(ModelTest, AdditionalStatusAndMoreStatusBit) {
  EXPECT_EQ(Ok(48), Bytes(6, 0));
  EXPECT_EQ(Send(3).status & StatusMoreStatus, 0);
  model_.MutableState().additionalStatus[2] = 0x41;
  EXPECT_EQ(Ok(48), (Bytes{0, 0, 0x41, 0, 0, 0}));
  EXPECT_TRUE(Send(3).status & StatusMoreStatus);
}

}  // namespace
}  // namespace va5::sim
