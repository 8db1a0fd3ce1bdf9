#include "comm/CommandSet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <set>
#include <vector>

#include "comm/Codecs.h"
#include "comm/RequestTypes.h"

namespace va5 {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes F(float v) {
  Bytes b(4);
  PutFloat(b.data(), v);
  return b;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

Bytes Zeros(std::size_t n) { return Bytes(n, 0); }

class CommandSetTest : public ::testing::Test {
 protected:
  LinkState link_;
  DeviceRecord record_;

  // Fills the data area as the link leaves it after parsing an accepted reply.
  void Decode(std::uint8_t command, const Bytes& reply) {
    const CommandDescriptor* d = FindCommand(command);
    ASSERT_NE(d, nullptr) << int(command);
    ASSERT_NE(d->decoder, nullptr) << int(command);
    link_.data.fill(0xEE);  // stale bytes of earlier frames
    link_.data[0] = 0;      // response code
    link_.data[1] = 0;      // field device status
    std::copy(reply.begin(), reply.end(), link_.data.begin() + 2);
    d->decoder(link_, record_);
  }

  // The request data a builder writes; the data area starts out full of stale bytes.
  Bytes Build(std::uint8_t command) {
    const CommandDescriptor* d = FindCommand(command);
    if (!d || !d->builder) {
      ADD_FAILURE() << "no builder for " << int(command);
      return {};
    }
    link_.data.fill(0xAA);
    d->builder(record_, link_);
    return Bytes(link_.data.begin(), link_.data.begin() + d->requestBytes);
  }
};

TEST_F(CommandSetTest, EveryCommandHasItsRequestSize) {
  const std::map<int, int> sizes = {
      {0, 0},   {2, 0},   {3, 0},   {6, 1},    {12, 0},  {13, 0},  {14, 0},   {15, 0},   {16, 0},
      {17, 24}, {18, 21}, {19, 3},  {34, 4},   {35, 9},  {38, 0},  {40, 4},   {41, 0},   {42, 0},
      {44, 1},  {45, 4},  {46, 4},  {47, 1},   {48, 0},  {49, 3},  {59, 1},   {130, 0},  {131, 2},
      {132, 0}, {133, 1}, {134, 0}, {135, 1},  {138, 8}, {140, 0}, {141, 14}, {142, 1},  {144, 22},
      {145, 0}, {154, 0}, {155, 4}, {158, 10}, {162, 0}, {163, 5}, {180, 0},  {181, 5},  {182, 6},
      {183, 6}, {184, 0}, {185, 5}, {186, 6},  {187, 6}, {188, 0}, {189, 2},  {190, 10}, {191, 10},
  };
  for (int command = 0; command < 256; ++command) {
    const CommandDescriptor* d = FindCommand(static_cast<std::uint8_t>(command));
    const auto it = sizes.find(command);
    if (it == sizes.end()) {
      EXPECT_EQ(d, nullptr) << command;
      continue;
    }
    ASSERT_NE(d, nullptr) << command;
    EXPECT_EQ(d->command, command);
    EXPECT_EQ(d->requestBytes, it->second) << command;
    // Requests with data have a builder; only the commands whose reply carries nothing of use
    // have no decoder.
    EXPECT_EQ(d->builder != nullptr, it->second > 0) << command;
    const bool nothingUsed = command == 38 || command == 41 || command == 42;
    EXPECT_EQ(d->decoder == nullptr, nothingUsed) << command;
  }
}

TEST_F(CommandSetTest, IdentityFillsTheLinkAndTheIdentityTexts) {
  Decode(0, {254, 29, 2, 5, 5, 1, 7, 0x0B, 0x01, 0x12, 0x34, 0x56});
  EXPECT_EQ(link_.identityManufacturer, 29);
  EXPECT_EQ(link_.identityDeviceType, 2);
  EXPECT_EQ(link_.identityFlags, 0x01);
  EXPECT_EQ(link_.identityDeviceId, (std::array<std::uint8_t, 3>{0x12, 0x34, 0x56}));
  EXPECT_EQ(record_.manufacturerName, "Kerrin CO");
  EXPECT_EQ(record_.modelName, "TQ5R");
  EXPECT_EQ(record_.preamblesText, "5");
  EXPECT_EQ(record_.universalRevisionText, "5");
  EXPECT_EQ(record_.specificRevisionText, "1");
  EXPECT_EQ(record_.softwareRevisionText, "7");
  EXPECT_EQ(record_.hardwareRevisionText, "1.3");  // revision 1, signalling code 3
  EXPECT_EQ(record_.deviceIdText, "1193046");

  Decode(0, {254, 29, 7, 20, 5, 1, 255, 0xFF, 0, 0xFF, 0xFF, 0xFF});
  EXPECT_EQ(record_.manufacturerName, "Kerrin CO");
  EXPECT_EQ(record_.modelName, "");
  EXPECT_EQ(record_.preamblesText, "20");
  EXPECT_EQ(record_.softwareRevisionText, "255");
  EXPECT_EQ(record_.hardwareRevisionText, "31.7");
  EXPECT_EQ(record_.deviceIdText, "16777215");  // eight digits
  EXPECT_LE(record_.hardwareRevisionText.size(), 16u);
}

TEST_F(CommandSetTest, IdentityNames) {
  struct Row {
    std::uint8_t manufacturer, type;
    const char* maker;
    const char* model;
  };
  const Row rows[] = {
      {29, 1, "Kerrin CO", "LV4"},
      {29, 2, "Kerrin CO", "TQ5R"},
      {29, 3, "Kerrin CO", "PX9M"},
      {29, 4, "Kerrin CO", "TQ5R2"},
      {29, 5, "Kerrin CO", ""},
      {29, 129, "Kerrin CO", ""},
      {21, 129, "Fuji Electric", "FRC"},
      {21, 5, "Fuji Electric", ""},
      {21, 1, "Fuji Electric", ""},
      {30, 2, "", ""},
      {0, 129, "", ""},
  };
  for (const Row& row : rows) {
    Decode(0, {254, row.manufacturer, row.type, 5, 5, 1, 1, 8, 0, 0, 0, 1});
    EXPECT_EQ(record_.manufacturerName, row.maker) << int(row.manufacturer);
    EXPECT_EQ(record_.modelName, row.model) << int(row.manufacturer) << "/" << int(row.type);
    EXPECT_EQ(link_.identityManufacturer, row.manufacturer);
  }
}

TEST_F(CommandSetTest, PollRepliesRefreshTheDynamicValues) {
  Decode(3, Cat({F(12.0f), {33}, F(25.5f), {32}, F(-40.0f)}));
  EXPECT_EQ(record_.loopCurrent, 12.0);
  EXPECT_EQ(record_.pvUnit, 33);
  EXPECT_EQ(record_.pvValue, 25.5);
  EXPECT_EQ(record_.terminalUnit, 32);
  EXPECT_EQ(record_.terminalTemperature, -40.0);
  EXPECT_EQ(record_.loopCurrentUnit, 39);

  Decode(2, Cat({F(4.0f), F(50.0f)}));
  EXPECT_EQ(record_.loopCurrent, 4.0);
  EXPECT_EQ(record_.percentOfRange, 50.0);

  // The device's "not a number" reaches the record as NaN.
  Decode(2, Cat({F(4.0f), {0x7F, 0xA0, 0, 0}}));
  EXPECT_TRUE(std::isnan(record_.percentOfRange));
}

TEST_F(CommandSetTest, TagDescriptorDateAndMessage) {
  Bytes tag(6), descriptor(12), message(24);
  PackAscii(tag.data(), "TT-101", 8);
  PackAscii(descriptor.data(), "REACTOR INLET", 16);
  PackAscii(message.data(), "CALIBRATED 2008", 32);
  Decode(13, Cat({tag, descriptor, {7, 3, 108}}));
  EXPECT_EQ(record_.tag, "TT-101  ");
  EXPECT_EQ(record_.descriptor, "REACTOR INLET   ");
  EXPECT_EQ(record_.dateText, "2008/03/07");
  Decode(12, message);
  EXPECT_EQ(record_.message, "CALIBRATED 2008                 ");

  // The write replies carry the same layout.
  Decode(18, Cat({tag, descriptor, {7, 3, 109}}));
  EXPECT_EQ(record_.dateText, "2009/03/07");
  Decode(17, Zeros(24));
  EXPECT_EQ(record_.message, std::string(32, '@'));

  record_.requestTag = "TT-101";
  record_.requestDescriptor = "REACTOR INLET";
  record_.requestDate = "2008/03/07";
  EXPECT_EQ(Build(18),
            Cat({{0x51, 0x4B, 0x71, 0xC3, 0x18, 0x20},
                 {0x48, 0x50, 0x43, 0x50, 0xF4, 0xA0, 0x24, 0xE3, 0x05, 0x52, 0x08, 0x20},
                 {0x07, 0x03, 0x6C}}));
  record_.requestMessage = "CALIBRATED 2008";
  EXPECT_EQ(Build(17), message);
}

TEST_F(CommandSetTest, SensorAndOutputReads) {
  Decode(14, Cat({{0x01, 0x02, 0x03, 32}, F(850.0f), F(-200.0f), F(10.0f)}));
  EXPECT_EQ(record_.sensorSerialNumber, 0x010203u);
  EXPECT_EQ(record_.pvUnit, 32);
  EXPECT_EQ(record_.upperSensorLimit, 850.0);
  EXPECT_EQ(record_.lowerSensorLimit, -200.0);
  EXPECT_EQ(record_.minimumSpan, 10.0);

  Decode(15, Cat({{250, 4, 33}, F(500.0f), F(-50.0f), F(2.5f)}));
  EXPECT_EQ(record_.transferFunction, 4);
  EXPECT_EQ(record_.pvUnit, 33);
  EXPECT_EQ(record_.upperRangeValue, 500.0);
  EXPECT_EQ(record_.lowerRangeValue, -50.0);
  EXPECT_EQ(record_.damping, 2.5);

  Decode(16, {0xFF, 0x00, 0x01});
  EXPECT_EQ(record_.finalAssemblyNumber, 0xFF0001u);
  Decode(130, {137, 3});
  EXPECT_EQ(record_.sensorType, 137);  // codes above 127 stay positive
  EXPECT_EQ(record_.sensorWires, 3);
  Decode(132, {1});
  EXPECT_EQ(record_.cjcMode, 1);
  Decode(134, {2});
  EXPECT_EQ(record_.burnout, 2);
  Decode(48, {1, 2, 0xC5, 4, 5, 6});
  EXPECT_EQ(record_.additionalStatus, (std::array<std::uint8_t, 6>{1, 2, 0xC5, 4, 5, 6}));
  Decode(140, Cat({F(0.25f), F(0.5f), F(1.0f)}));
  EXPECT_EQ(record_.sensorTrimZeroPoint, 0.25);
  EXPECT_EQ(record_.sensorTrimZeroValue, 0.5);
  EXPECT_EQ(record_.sensorTrimGain, 1.0);
  Decode(145, Cat({{33}, F(77.0f)}));
  EXPECT_EQ(record_.terminalUnit, 33);
  EXPECT_EQ(record_.terminalSetting, 77.0);
  Decode(154, F(3.0f));
  EXPECT_EQ(record_.floatSetting, 3.0);
  Decode(162, Cat({F(1.0f), F(2.0f), F(3.0f)}));
  EXPECT_EQ(record_.tripleSetting, (std::array<double, 3>{1.0, 2.0, 3.0}));
}

TEST_F(CommandSetTest, SingleByteWrites) {
  struct Row {
    std::uint8_t command;
    std::int16_t DeviceRecord::*request;
    std::int16_t DeviceRecord::*stored;
    std::int16_t value;
  };
  const Row rows[] = {
      {6, &DeviceRecord::requestPollingAddress, &DeviceRecord::pollingAddress, 15},
      {44, &DeviceRecord::requestUnit, &DeviceRecord::pvUnit, 35},
      {47, &DeviceRecord::requestTransferFunction, &DeviceRecord::transferFunction, 4},
      {59, &DeviceRecord::requestPreambles, &DeviceRecord::responsePreambles, 20},
      {133, &DeviceRecord::requestCjcMode, &DeviceRecord::cjcMode, 1},
      {135, &DeviceRecord::requestBurnout, &DeviceRecord::burnout, 2},
      {142, &DeviceRecord::requestTerminalUnit, &DeviceRecord::terminalUnit, 34},
  };
  for (const Row& row : rows) {
    record_.*row.request = row.value;
    EXPECT_EQ(Build(row.command), (Bytes{static_cast<std::uint8_t>(row.value)}))
        << int(row.command);
    // Bytes beyond the request are cleared too, not left from an earlier frame.
    EXPECT_EQ(link_.data[1], 0) << int(row.command);
    Decode(row.command, {static_cast<std::uint8_t>(row.value)});
    EXPECT_EQ(record_.*row.stored, row.value) << int(row.command);
  }
  // The new polling address is the one command 0 uses from now on.
  EXPECT_EQ(link_.pollingAddress, 15);

  record_.requestSensorType = 142;
  record_.requestSensorWires = 2;
  EXPECT_EQ(Build(131), (Bytes{142, 2}));
  Decode(131, {142, 2});
  EXPECT_EQ(record_.sensorType, 142);
  EXPECT_EQ(record_.sensorWires, 2);
}

TEST_F(CommandSetTest, WritesFromEnteredNumberTexts) {
  record_.dampingText = "2.5";
  EXPECT_EQ(Build(34), (Bytes{0x40, 0x20, 0x00, 0x00}));
  Decode(34, F(2.5f));
  EXPECT_EQ(record_.damping, 2.5);

  record_.fixedCurrentText = "20.0";
  EXPECT_EQ(Build(40), (Bytes{0x41, 0xA0, 0x00, 0x00}));
  record_.fixedCurrentText = "0.0";  // leaves fixed current mode
  EXPECT_EQ(Build(40), Zeros(4));
  Decode(40, F(4.0f));
  EXPECT_EQ(record_.loopCurrent, 4.0);

  record_.trimCurrentText = "4.0";
  EXPECT_EQ(Build(45), (Bytes{0x40, 0x80, 0x00, 0x00}));
  EXPECT_EQ(Build(46), (Bytes{0x40, 0x80, 0x00, 0x00}));
  Decode(46, F(20.0f));
  EXPECT_EQ(record_.loopCurrent, 20.0);

  record_.pairTexts = {"1.5", "-2"};
  EXPECT_EQ(Build(138), Cat({F(1.5f), F(-2.0f)}));
  Decode(138, Cat({F(1.5f), F(-2.0f)}));
  EXPECT_EQ(record_.pairValues, (std::array<double, 2>{1.5, -2.0}));

  record_.calibrationPoint = 2;
  record_.calibrationUnit = 32;
  record_.calibrationValueText = "100";
  EXPECT_EQ(Build(141), Cat({{2, 32}, F(100.0f), Zeros(8)}));
  Decode(141, Cat({{2, 32}, F(0.5f), F(1.5f), F(1.25f)}));
  EXPECT_EQ(record_.sensorTrimZeroPoint, 0.5);
  EXPECT_EQ(record_.sensorTrimZeroValue, 1.5);
  EXPECT_EQ(record_.sensorTrimGain, 1.25);

  record_.blockTexts = {"1", "2", "3", "4"};
  record_.blockWords = {-2, 0x1234};
  EXPECT_EQ(Build(144),
            Cat({F(1.0f), F(2.0f), F(3.0f), F(4.0f), {0xFF, 0xFE, 0x12, 0x34}, Zeros(2)}));
  Decode(144, Cat({F(5.0f), F(6.0f), F(7.0f), F(8.0f), {0xFF, 0xFE, 0x00, 0x07}}));
  EXPECT_EQ(record_.blockValues, (std::array<double, 4>{5.0, 6.0, 7.0, 8.0}));
  EXPECT_EQ(record_.blockReplyWords, (std::array<std::int16_t, 2>{-2, 7}));

  record_.floatSettingText = "0.25";
  EXPECT_EQ(Build(155), F(0.25f));
  Decode(155, F(0.75f));
  EXPECT_EQ(record_.floatSetting, 0.75);

  EXPECT_EQ(Build(158), Cat({{1}, Zeros(9)}));
  Decode(158, Cat({F(3.5f), F(19.5f)}));
  EXPECT_EQ(record_.dacTrimValues, (std::array<double, 2>{3.5, 19.5}));

  record_.tripleSelector = 2;
  record_.tripleText = "12.5";
  EXPECT_EQ(Build(163), Cat({{2}, F(12.5f)}));
  Decode(163, Cat({F(1.0f), F(2.0f), F(12.5f)}));
  EXPECT_EQ(record_.tripleSetting, (std::array<double, 3>{1.0, 2.0, 12.5}));

  // A text that is no number goes out as 0; one beyond the float range as infinity.
  record_.dampingText = "fast";
  EXPECT_EQ(Build(34), Zeros(4));
  record_.dampingText = "1e40";
  EXPECT_EQ(Build(34), (Bytes{0x7F, 0x80, 0x00, 0x00}));
}

TEST_F(CommandSetTest, TwentyFourBitNumbers) {
  record_.requestFinalAssemblyNumber = 0xABCDEF;
  EXPECT_EQ(Build(19), (Bytes{0xAB, 0xCD, 0xEF}));
  Decode(19, {0xAB, 0xCD, 0xEF});
  EXPECT_EQ(record_.finalAssemblyNumber, 0xABCDEFu);
  record_.requestSerialNumber = 16777216 + 5;  // only 24 bits travel
  EXPECT_EQ(Build(49), (Bytes{0, 0, 5}));
  Decode(49, {0, 1, 0});
  EXPECT_EQ(record_.sensorSerialNumber, 256u);
}

// A decoder reads exactly its reply size: the bytes after it make no difference, and the last
// one of it does.
TEST(ReplySizes, DecodersReadNoFurtherThanTheirReplySize) {
  for (int command = 0; command < 256; ++command) {
    const CommandDescriptor* d = FindCommand(static_cast<std::uint8_t>(command));
    const std::size_t size = ReplyDataBytes(static_cast<std::uint8_t>(command));
    if (!d || !d->decoder) {
      EXPECT_EQ(size, 0u) << command;
      continue;
    }
    ASSERT_GT(size, 0u) << command;
    auto decode = [&](std::uint8_t beyond, std::uint8_t lastFlip) {
      LinkState link;
      DeviceRecord record;
      link.data.fill(beyond);
      link.data[0] = link.data[1] = 0;
      // Small byte values: no float of the reply is NaN, so records compare equal.
      for (std::size_t k = 0; k < size; ++k) link.data[2 + k] = 0x01 + (k * 7) % 0x3F;
      if (command >= 180) link.data[2] = 0, link.data[3] = 1;  // a table point index of 1
      link.data[2 + size - 1] ^= lastFlip;
      d->decoder(link, record);
      return std::pair{record, link.identityDeviceId};
    };
    EXPECT_TRUE(decode(0x00, 0) == decode(0x5A, 0)) << command;
    EXPECT_FALSE(decode(0x00, 0) == decode(0x00, 0x01)) << command;
  }
}

TEST(RangeValues, ValuesOnASensorLimitMoveInward) {
  auto adjust = [](double u, double l) { return AdjustRangeValues(u, l, 1100.0, -100.0, 10.0); };
  RangePair r = adjust(1100.0, 0.0);  // 1: upper on the upper limit
  EXPECT_EQ(r.upper, 1100.0 - 0.0001);
  EXPECT_EQ(r.lower, 0.0);
  r = adjust(1100.0, 1090.0);  // ... at the minimum span the lower end follows
  EXPECT_EQ(r.upper, 1100.0 - 0.0001);
  EXPECT_EQ(r.lower, 1090.0 - 0.0001);
  r = adjust(500.0, -100.0);  // 2: lower on the lower limit
  EXPECT_EQ(r.upper, 500.0);
  EXPECT_EQ(r.lower, -100.0 + 0.0001);
  r = adjust(-90.0, -100.0);
  EXPECT_EQ(r.upper, -90.0 + 0.0001);
  EXPECT_EQ(r.lower, -100.0 + 0.0001);
  r = adjust(-100.0, 200.0);  // 3: a reversed range with its upper value on the lower limit
  EXPECT_EQ(r.upper, -100.0 + 0.0001);
  EXPECT_EQ(r.lower, 200.0);
  r = adjust(-100.0, -90.0);
  EXPECT_EQ(r.upper, -100.0 + 0.0001);
  EXPECT_EQ(r.lower, -90.0 + 0.0001);
  r = adjust(0.0, 1100.0);  // 4: lower value on the upper limit
  EXPECT_EQ(r.upper, 0.0);
  EXPECT_EQ(r.lower, 1100.0 - 0.0001);
  r = adjust(1090.0, 1100.0);
  EXPECT_EQ(r.upper, 1090.0 - 0.0001);
  EXPECT_EQ(r.lower, 1100.0 - 0.0001);
  r = adjust(1000.0, 0.0);  // nothing on a limit: unchanged
  EXPECT_EQ(r.upper, 1000.0);
  EXPECT_EQ(r.lower, 0.0);
}

TEST(RangeValues, ChecksRunInOrderOnTheValuesLeftByTheLastOne) {
  // The whole sensor range is the minimum span: check 1 moves both ends down, so the lower end
  // has left the lower limit before check 2 looks at it.
  const RangePair r = AdjustRangeValues(10.0, 0.0, 10.0, 0.0, 10.0);
  EXPECT_EQ(r.upper, 10.0 - 0.0001);
  EXPECT_EQ(r.lower, 0.0 - 0.0001);
}

TEST(RangeValues, LimitsCompareAsShownWithThreeDecimals) {
  // A limit of 1100.0004 is shown (and compared) as 1100.000; 1100.0006 as 1100.001.
  EXPECT_EQ(AdjustRangeValues(1100.0, 0.0, 1100.0004, -100.0, 10.0).upper, 1100.0 - 0.0001);
  EXPECT_EQ(AdjustRangeValues(1100.0, 0.0, 1100.0006, -100.0, 10.0).upper, 1100.0);
  EXPECT_EQ(AdjustRangeValues(1100.0, 1090.0, 1100.0, -100.0, 9.9996).lower, 1090.0 - 0.0001);
  // Single-precision limits from the device, like 850.1 (850.0999755859375).
  EXPECT_EQ(AdjustRangeValues(850.1, 0.0, 850.1f, -200.0, 10.0).upper, 850.1 - 0.0001);
}

TEST_F(CommandSetTest, RangeWriteSendsTheUnitAndTheAdjustedValues) {
  record_.SetStartValues();  // limits 1100 / -100, minimum span 10
  record_.requestUnit = 36;
  record_.upperRangeText = "1100";
  record_.lowerRangeText = "0";
  EXPECT_EQ(Build(35), Cat({{36}, F(1099.9999f), F(0.0f)}));
  record_.upperRangeText = "500.5";
  record_.lowerRangeText = "-100.000";
  EXPECT_EQ(Build(35), Cat({{36}, F(500.5f), F(-99.9999f)}));

  Decode(35, Cat({{32}, F(400.0f), F(-50.0f)}));
  EXPECT_EQ(record_.pvUnit, 32);
  EXPECT_EQ(record_.upperRangeValue, 400.0);
  EXPECT_EQ(record_.lowerRangeValue, -50.0);
}

TEST_F(CommandSetTest, CustomTableHeaders) {
  for (std::uint8_t command : {180, 184}) {
    Decode(command, {0x12, 0x34, 0x01, 0xF4, 10, 0, 0xFF, 0x38});
    EXPECT_EQ(record_.customTableHeaderWord, 0x1234);
    EXPECT_EQ(record_.customTableSize, 500);
    EXPECT_EQ(record_.customTableStep, 10.0);
    EXPECT_EQ(record_.customTableState, 0);
    EXPECT_EQ(record_.customTableMinimum, -200.0);
    Decode(command, {0, 0, 0, 2, 1, 1, 0, 0});
    EXPECT_EQ(record_.customTableState, 1);
  }
  record_.uploadTableSize = 1000;
  record_.uploadStepText = "5";
  record_.uploadMinimumText = "-273";
  EXPECT_EQ(Build(181), (Bytes{0x03, 0xE8, 5, 0xFE, 0xEF}));
  EXPECT_EQ(Build(185), (Bytes{0x03, 0xE8, 5, 0xFE, 0xEF}));
  Decode(185, {0x01, 0xF4, 50, 0x27, 0x10});
  EXPECT_EQ(record_.customTableSize, 500);
  EXPECT_EQ(record_.customTableStep, 50.0);
  EXPECT_EQ(record_.customTableMinimum, 10000.0);
}

TEST_F(CommandSetTest, CustomTablePoints) {
  record_.tablePointIndex = 3;
  record_.uploadValueTexts[3] = "123.5";
  EXPECT_EQ(Build(182), Cat({{0, 3}, Zeros(4)}));
  EXPECT_EQ(Build(186), Cat({{0, 3}, Zeros(4)}));
  EXPECT_EQ(Build(183), Cat({{0, 3}, F(123.5f)}));
  EXPECT_EQ(Build(187), Cat({{0, 3}, F(123.5f)}));

  Decode(182, Cat({{0, 3}, F(100.25f)}));
  EXPECT_EQ(record_.customTableValues[3], 100.25);
  Decode(187, Cat({{0x03, 0xE7}, F(-7.5f)}));  // index 999, the last one the record holds
  EXPECT_EQ(record_.customTableValues[999], -7.5);
}

TEST_F(CommandSetTest, TableEndMarkerCarriesZerosAndStoresNothing) {
  record_.tablePointIndex = TableEndIndex;
  record_.uploadValueTexts.fill("55.5");
  record_.uploadCurveXTexts.fill("50");
  record_.uploadCurveYTexts.fill("50");
  EXPECT_EQ(Build(183), Cat({{0x27, 0x0F}, Zeros(4)}));
  EXPECT_EQ(Build(187), Cat({{0x27, 0x0F}, Zeros(4)}));
  EXPECT_EQ(Build(191), Cat({{0x27, 0x0F}, Zeros(8)}));

  const DeviceRecord before = record_;
  Decode(183, Cat({{0x27, 0x0F}, F(1.0f)}));
  Decode(187, Cat({{0x27, 0x0F}, F(1.0f)}));
  Decode(191, Cat({{0x27, 0x0F}, F(1.0f), F(1.0f)}));
  EXPECT_TRUE(record_ == before);
}

TEST_F(CommandSetTest, SpecialCurveTravelsAsFractions) {
  Decode(188, {0xFF, 0xFF, 0x00, 0x05, 0});
  EXPECT_EQ(record_.specialCurveHeaderWord, 0xFFFF);
  EXPECT_EQ(record_.specialCurveSize, 5);
  EXPECT_EQ(record_.specialCurveState, 0);

  record_.uploadCurveSize = 128;
  EXPECT_EQ(Build(189), (Bytes{0x00, 0x80}));
  Decode(189, {0x00, 0x80});
  EXPECT_EQ(record_.specialCurveSize, 128);

  record_.tablePointIndex = 4;
  record_.uploadCurveXTexts[4] = "50";
  record_.uploadCurveYTexts[4] = "25.0000000";
  EXPECT_EQ(Build(190), Cat({{0, 4}, Zeros(8)}));
  EXPECT_EQ(Build(191), Cat({{0, 4}, {0x3F, 0, 0, 0}, {0x3E, 0x80, 0, 0}}));

  Decode(190, Cat({{0, 4}, F(0.5f), F(-0.125f)}));
  EXPECT_EQ(record_.specialCurveX[4], 50.0);
  EXPECT_EQ(record_.specialCurveY[4], -12.5);
  Decode(191, Cat({{0, 127}, F(1.15f), F(1.0f)}));
  EXPECT_DOUBLE_EQ(record_.specialCurveX[127], 1.15f * 100.0);
  EXPECT_EQ(record_.specialCurveY[127], 100.0);
}

TEST_F(CommandSetTest, DeviceIndexesAndSizesBeyondTheRecordAreHarmless) {
  const DeviceRecord before = record_;
  for (std::uint8_t command : {182, 183, 186, 187}) {
    Decode(command, Cat({{0x03, 0xE8}, F(1.0f)}));  // 1000
    Decode(command, Cat({{0xFF, 0xFF}, F(1.0f)}));  // 65535 (or -1)
  }
  for (std::uint8_t command : {190, 191}) {
    Decode(command, Cat({{0x00, 0x80}, F(1.0f), F(1.0f)}));  // 128
    Decode(command, Cat({{0xFF, 0xFF}, F(1.0f), F(1.0f)}));
  }
  EXPECT_TRUE(record_ == before);

  // Sizes larger than the record's arrays read as one more than they hold (never as a full
  // table whose points would then be read).
  Decode(184, {0, 0, 0xFF, 0xFF, 1, 0, 0, 0});
  EXPECT_EQ(record_.customTableSize, CustomTableMaxPoints + 1);
  Decode(185, {0x07, 0xD0, 1, 0, 0});
  EXPECT_EQ(record_.customTableSize, CustomTableMaxPoints + 1);
  Decode(184, {0, 0, 0x03, 0xE8, 1, 0, 0, 0});
  EXPECT_EQ(record_.customTableSize, CustomTableMaxPoints);
  Decode(188, {0, 0, 0x01, 0x00, 0});
  EXPECT_EQ(record_.specialCurveSize, SpecialCurveMaxPoints + 1);
  Decode(189, {0xFF, 0xFE});
  EXPECT_EQ(record_.specialCurveSize, 0);

  // A point index the upload buffers do not have sends the value 0.
  record_.uploadValueTexts.fill("9");
  record_.uploadCurveXTexts.fill("9");
  record_.uploadCurveYTexts.fill("9");
  record_.tablePointIndex = CustomTableMaxPoints;
  EXPECT_EQ(Build(183), Cat({{0x03, 0xE8}, Zeros(4)}));
  record_.tablePointIndex = -1;
  EXPECT_EQ(Build(187), Cat({{0xFF, 0xFF}, Zeros(4)}));
  record_.tablePointIndex = SpecialCurveMaxPoints;
  EXPECT_EQ(Build(191), Cat({{0x00, 0x80}, Zeros(8)}));
}

std::vector<int> Commands(const CommandDescriptor* list) {
  std::vector<int> commands;
  for (; list && !(list->command == CommandListEnd && list->requestBytes == CommandListEnd);
       ++list) {
    commands.push_back(list->command);
    if (commands.size() > 20) break;  // an unterminated list
  }
  return commands;
}

TEST(CommandLists, EachRequestTypeRunsItsCommands) {
  const std::map<int, std::vector<int>> lists = {
      {400, {3, 2}},
      {401, {0}},
      {402, {0, 130, 14, 15, 13, 132, 12, 16, 134, 3}},
      {404, {131}},
      {405, {14, 15, 3, 132}},
      {406, {44}},
      {407, {3, 14, 15}},
      {408, {35}},
      {409, {34}},
      {410, {135}},
      {411, {133}},
      {412, {47}},
      {413, {142}},
      {414, {145}},
      {415, {18}},
      {416, {17}},
      {418, {40}},
      {422, {49}},
      {423, {19}},
      {424, {42}},
      {425, {142}},
      {426, {138}},
      {429, {40}},
      {431, {158}},
      {432, {40}},
      {433, {40}},
      {434, {140}},
      {435, {141}},
      {436, {154}},
      {437, {155}},
      {438, {162}},
      {439, {163}},
      {440, {41}},
      {441, {38}},
      {442, {48}},
      {444, {180}},
      {445, {182}},
      {446, {181}},
      {447, {183}},
      {448, {184}},
      {449, {186}},
      {450, {185}},
      {451, {187}},
      {452, {144}},
      {453, {188}},
      {454, {189}},
      {455, {190}},
      {456, {191}},
      {457, {6}},
      {458, {59}},
      {459, {0}},
  };
  DeviceRecord record;
  for (int type = 390; type < 470; ++type) {
    const CommandDescriptor* list = CommandListFor(type, record);
    const auto it = lists.find(type);
    if (it == lists.end() && type != 430) {
      EXPECT_EQ(list, nullptr) << type;  // 403 and the unused numbers
      continue;
    }
    if (type == 430) continue;
    EXPECT_EQ(Commands(list), it->second) << type;
    // List entries carry the same byte counts and functions as the command table.
    for (const CommandDescriptor* d = list; d->command != CommandListEnd; ++d) {
      const CommandDescriptor* entry = FindCommand(d->command);
      ASSERT_NE(entry, nullptr);
      EXPECT_EQ(d->requestBytes, entry->requestBytes);
      EXPECT_EQ(d->decoder, entry->decoder);
      EXPECT_EQ(d->builder, entry->builder);
    }
  }
}

TEST(CommandLists, DacTrimPicksTheCommandOfTheTrimPoint) {
  DeviceRecord record;
  record.requestedTrimMode = 1;
  EXPECT_EQ(Commands(CommandListFor(RequestTrimDac, record)), std::vector<int>{46});
  record.requestedTrimMode = 0;
  EXPECT_EQ(Commands(CommandListFor(RequestTrimDac, record)), std::vector<int>{45});
}

TEST(CommandLists, FixedListsAreTerminated) {
  const auto poll = PollList();
  ASSERT_EQ(poll.size(), 2u);
  EXPECT_EQ(Commands(poll.data()), (std::vector<int>{3, 2}));
  const auto upload = UploadList();
  ASSERT_EQ(upload.size(), 10u);
  EXPECT_EQ(Commands(upload.data()), (std::vector<int>{0, 130, 14, 15, 13, 132, 12, 16, 134, 3}));
}

TEST(CommandLists, SilentRetryMarksTheWritesAndThePointReads) {
  const std::set<int> silent = {404, 406, 408, 409, 410, 411, 412, 413, 415, 416, 418, 422,
                                423, 425, 426, 429, 430, 431, 432, 433, 435, 437, 439, 445,
                                446, 447, 449, 450, 451, 452, 454, 455, 456, 457, 458};
  for (int type = 390; type < 470; ++type) {
    EXPECT_EQ(IsSilentRetryRequest(type), silent.count(type) == 1) << type;
  }
}

}  // namespace
}  // namespace va5
