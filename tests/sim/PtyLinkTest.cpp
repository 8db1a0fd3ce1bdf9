#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <thread>

#include "testing/LinkClient.h"
#include "sim/SimulatedTransmitter.h"

namespace va5::sim {
namespace {

using namespace va5::test;
using std::chrono::milliseconds;

SimConfig FastConfig() {
  SimConfig c;
  c.selfTestBusy = milliseconds(300);
  c.resetDuration = milliseconds(200);
  return c;
}

class PtyLink : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.Start());
    ASSERT_EQ(client_.Open(sim_.SlavePath()), ResultOk);
    ASSERT_EQ(client_.Run(0), ResultOk);
  }
  void Expect(std::uint8_t command, HartResult expected = ResultOk) {
    EXPECT_EQ(client_.Run(command), expected)
        << "command " << int(command) << ", response code " << int(client_.State().responseCode);
  }
  // Holds the measured input still so that trims and currents are exact.
  void HoldProcess(double value) {
    sim_.Modify([value](DeviceState& s) {
      s.processValue = value;
      s.damping = 0;
    });
    std::this_thread::sleep_for(milliseconds(20));
  }

  SimulatedTransmitter sim_{FastConfig()};
  LinkClient client_;
  DeviceRecord& rec_ = client_.Record();
};

// Every command the tool uses is exercised below; this keeps the list honest.
TEST(PtyLinkCoverage, EveryCommandOfTheTableIsCovered) {
  const std::set<int> covered = {
      0,   2,   3,   6,   12,  13,  14,  15,  16,  17,  18,  19,  34,  35,  38,  40,  41,  42,
      44,  45,  46,  47,  48,  49,  59,  130, 131, 132, 133, 134, 135, 138, 140, 141, 142, 144,
      145, 154, 155, 158, 162, 163, 180, 181, 182, 183, 184, 185, 186, 187, 188, 189, 190, 191};
  for (int c = 0; c < 256; ++c) {
    if (FindCommand(static_cast<std::uint8_t>(c)) != nullptr) {
      EXPECT_TRUE(covered.count(c)) << "command " << c << " has no pty test";
    }
  }
}

TEST_F(PtyLink, IdentityAndUpload) {
  EXPECT_EQ(rec_.manufacturerName, "Kerrin CO");
  EXPECT_EQ(rec_.modelName, "TQ5R");
  EXPECT_EQ(rec_.deviceIdText, "293");
  EXPECT_EQ(rec_.preamblesText, "5");
  EXPECT_EQ(rec_.universalRevisionText, "5");
  for (std::uint8_t c : {130, 14, 15, 13, 132, 12, 16, 134, 3, 2}) Expect(c);
  const DeviceState s = sim_.State();
  EXPECT_EQ(rec_.sensorType, s.sensorType);
  EXPECT_EQ(rec_.sensorWires, s.sensorWires);
  EXPECT_EQ(rec_.sensorSerialNumber, s.sensorSerialNumber);
  EXPECT_EQ(rec_.pvUnit, s.pvUnit);
  EXPECT_DOUBLE_EQ(rec_.upperSensorLimit, 850.0);
  EXPECT_DOUBLE_EQ(rec_.lowerSensorLimit, -200.0);
  EXPECT_DOUBLE_EQ(rec_.minimumSpan, 10.0);
  EXPECT_DOUBLE_EQ(rec_.upperRangeValue, s.upperRangeValue);
  EXPECT_DOUBLE_EQ(rec_.damping, s.damping);
  EXPECT_EQ(rec_.tag, s.tag);
  EXPECT_EQ(rec_.descriptor, s.descriptor);
  EXPECT_EQ(rec_.dateText, "2024/01/15");
  EXPECT_EQ(rec_.message, s.message);
  EXPECT_EQ(rec_.finalAssemblyNumber, s.finalAssemblyNumber);
  EXPECT_EQ(rec_.cjcMode, s.cjcMode);
  EXPECT_EQ(rec_.burnout, s.burnout);
  EXPECT_EQ(rec_.loopCurrentUnit, 39);
  EXPECT_GE(rec_.loopCurrent, 3.8);
  EXPECT_LE(rec_.loopCurrent, 20.5);
  EXPECT_NEAR(rec_.loopCurrent, 4.0 + 16.0 * rec_.percentOfRange / 100.0, 0.2);
  EXPECT_NEAR(rec_.terminalTemperature, 25.0, 0.5);
  EXPECT_GT(sim_.RequestCount(), 10);
}

TEST_F(PtyLink, TextAndNumberWrites) {
  rec_.requestMessage = "HELLO FROM THE TEST BENCH";
  Expect(17);
  EXPECT_EQ(sim_.State().message, "HELLO FROM THE TEST BENCH       ");
  EXPECT_EQ(rec_.message, sim_.State().message);
  rec_.requestTag = "TT-202";
  rec_.requestDescriptor = "REACTOR INLET";
  rec_.requestDate = "2023/11/05";
  Expect(18);
  DeviceState s = sim_.State();
  EXPECT_EQ(s.tag, "TT-202  ");
  EXPECT_EQ(s.descriptor, "REACTOR INLET   ");
  EXPECT_EQ(s.day, 5);
  EXPECT_EQ(s.month, 11);
  EXPECT_EQ(s.yearOffset, 123);
  EXPECT_EQ(rec_.dateText, "2023/11/05");
  rec_.requestFinalAssemblyNumber = 4242;
  Expect(19);
  rec_.requestSerialNumber = 777;
  Expect(49);
  s = sim_.State();
  EXPECT_EQ(s.finalAssemblyNumber, 4242u);
  EXPECT_EQ(rec_.finalAssemblyNumber, 4242u);
  EXPECT_EQ(s.sensorSerialNumber, 777u);
  EXPECT_EQ(rec_.sensorSerialNumber, 777u);
  EXPECT_TRUE(client_.State().deviceStatus & StatusConfigChanged);
  Expect(38);
  EXPECT_FALSE(client_.State().deviceStatus & StatusConfigChanged);
  EXPECT_FALSE(sim_.State().configChanged);
}

TEST_F(PtyLink, RangeUnitsAndSensorSettings) {
  Expect(14);
  rec_.dampingText = "3.5";
  Expect(34);
  EXPECT_DOUBLE_EQ(sim_.State().damping, 3.5);
  EXPECT_DOUBLE_EQ(rec_.damping, 3.5);

  rec_.requestUnit = UnitDegF;
  Expect(44);
  EXPECT_EQ(rec_.pvUnit, UnitDegF);
  Expect(14);
  EXPECT_DOUBLE_EQ(rec_.upperSensorLimit, 1562.0);
  rec_.upperRangeText = "1562";  // on the limit: the builder moves it inward
  rec_.lowerRangeText = "32";
  Expect(35);
  DeviceState s = sim_.State();
  EXPECT_EQ(s.pvUnit, UnitDegF);
  EXPECT_NEAR(s.upperRangeValue, 1562.0, 1e-3);
  EXPECT_LT(s.upperRangeValue, 1562.0);
  EXPECT_DOUBLE_EQ(rec_.lowerRangeValue, 32.0);

  rec_.upperRangeText = "2000";
  EXPECT_EQ(client_.Run(35), ResultReplyRejected);
  EXPECT_EQ(client_.State().responseCode, RcUpperTooHigh);
  rec_.upperRangeText = "40";
  EXPECT_EQ(client_.Run(35), ResultReplyRejected);  // span warning: stored, still refused
  EXPECT_EQ(client_.State().responseCode, RcSpanTooSmall);
  EXPECT_DOUBLE_EQ(sim_.State().upperRangeValue, 40.0);

  rec_.requestTransferFunction = 1;
  Expect(47);
  EXPECT_EQ(sim_.State().transferFunction, 1);
  rec_.requestSensorType = 137;
  rec_.requestSensorWires = 2;
  Expect(131);
  Expect(130);
  EXPECT_EQ(rec_.sensorType, 137);
  EXPECT_EQ(sim_.State().sensorType, 137);
  rec_.requestCjcMode = 0;
  Expect(133);
  Expect(132);
  rec_.requestBurnout = 1;
  Expect(135);
  Expect(134);
  rec_.requestTerminalUnit = UnitKelvin;
  Expect(142);
  Expect(145);
  s = sim_.State();
  EXPECT_EQ(rec_.cjcMode, 0);
  EXPECT_EQ(s.cjcMode, 0);
  EXPECT_EQ(rec_.burnout, 1);
  EXPECT_EQ(s.burnout, 1);
  EXPECT_EQ(rec_.terminalUnit, UnitKelvin);
  EXPECT_EQ(s.terminalUnit, UnitKelvin);
  Expect(3);
  EXPECT_NEAR(rec_.terminalTemperature, 298.15, 0.5);

  rec_.requestUnit = UnitOhm;  // not a unit of a thermocouple
  EXPECT_EQ(client_.Run(44), ResultReplyRejected);
  EXPECT_EQ(client_.State().responseCode, RcInvalidSelection);
  rec_.dampingText = "31";
  EXPECT_EQ(client_.Run(34), ResultReplyRejected);
  EXPECT_EQ(client_.State().responseCode, RcTooLarge);
  EXPECT_DOUBLE_EQ(rec_.damping, 3.5);  // a refused reply decodes nothing
}

TEST_F(PtyLink, DeviceSpecificSettings) {
  rec_.pairTexts = {"1.25", "-3.5"};
  Expect(138);
  EXPECT_EQ(rec_.pairValues[1], -3.5);
  rec_.blockTexts = {"1", "2", "3", "4.5"};
  rec_.blockWords = {5, -6};
  Expect(144);
  rec_.floatSettingText = "60.5";
  Expect(155);
  rec_.floatSetting = 0;
  Expect(154);
  rec_.tripleSelector = 1;
  rec_.tripleText = "7.25";
  Expect(163);
  Expect(162);
  const DeviceState s = sim_.State();
  EXPECT_EQ(s.pair[0], 1.25);
  EXPECT_EQ(s.block[3], 4.5);
  EXPECT_EQ(s.blockWords[1], -6);
  EXPECT_EQ(rec_.blockValues[3], 4.5);
  EXPECT_EQ(rec_.blockReplyWords[0], 5);
  EXPECT_EQ(s.floatSetting, 60.5);
  EXPECT_EQ(rec_.floatSetting, 60.5);
  EXPECT_EQ(s.triple[1], 7.25);
  EXPECT_EQ(rec_.tripleSetting[1], 7.25);
}

TEST_F(PtyLink, OutputFixingAndTrims) {
  rec_.fixedCurrentText = "4.0";
  Expect(40);
  EXPECT_TRUE(client_.State().deviceStatus & StatusCurrentFixed);
  EXPECT_TRUE(sim_.State().fixedCurrentMode);
  rec_.requestedTrimMode = 0;
  rec_.trimCurrentText = "4.01";
  Expect(45);
  EXPECT_NEAR(rec_.loopCurrent, 4.01, 1e-5);
  EXPECT_NEAR(sim_.State().dacZeroOffset, -0.01, 1e-5);
  EXPECT_EQ(client_.Run(46), ResultReplyRejected);  // not at 20 mA
  EXPECT_EQ(client_.State().responseCode, RcLowerTooHigh);
  rec_.fixedCurrentText = "20.0";
  Expect(40);
  rec_.trimCurrentText = "19.98";
  Expect(46);
  EXPECT_NEAR(sim_.State().dacGain, 20.0 / 19.98, 1e-5);
  Expect(158);
  EXPECT_EQ(rec_.dacTrimValues[0], 0.0);
  EXPECT_EQ(rec_.dacTrimValues[1], 1.0);
  rec_.fixedCurrentText = "21.7";
  EXPECT_EQ(client_.Run(40), ResultReplyRejected);
  EXPECT_EQ(client_.State().responseCode, RcTooLarge);
  rec_.fixedCurrentText = "0.0";
  Expect(40);
  EXPECT_FALSE(client_.State().deviceStatus & StatusCurrentFixed);
  EXPECT_FALSE(sim_.State().fixedCurrentMode);

  HoldProcess(50.0);
  Expect(2);
  EXPECT_NEAR(rec_.loopCurrent, 12.0, 1e-4);
  EXPECT_NEAR(rec_.percentOfRange, 50.0, 1e-4);
  rec_.calibrationPoint = 1;
  rec_.calibrationUnit = UnitDegC;
  rec_.calibrationValueText = "51.0";
  Expect(141);
  EXPECT_NEAR(rec_.sensorTrimZeroPoint, 50.0, 1e-4);
  EXPECT_NEAR(rec_.sensorTrimZeroValue, 51.0, 1e-4);
  Expect(3);
  EXPECT_NEAR(rec_.pvValue, 51.0, 1e-4);
  Expect(140);
  EXPECT_NEAR(rec_.sensorTrimGain, 1.0, 1e-6);
  rec_.calibrationPoint = 0;
  Expect(141);
  EXPECT_EQ(sim_.State().trimZeroValue, 0.0);
}

TEST_F(PtyLink, PollingAddressPreamblesAndStatus) {
  sim_.Modify([](DeviceState& s) { s.additionalStatus = {0, 0, 0x41, 0, 0, 0}; });
  Expect(48);
  EXPECT_EQ(rec_.additionalStatus[2], 0x41);
  EXPECT_TRUE(client_.State().deviceStatus & StatusMoreStatus);

  rec_.requestPreambles = 12;
  Expect(59);
  EXPECT_EQ(rec_.responsePreambles, 12);
  Expect(3);
  std::string twelve;
  for (int i = 0; i < 12; ++i) twelve += "FF,";
  bool found = false;
  for (const auto& line : client_.Trace()) {
    if (line.rfind("RX: " + twelve + "86,", 0) == 0) found = true;
  }
  EXPECT_TRUE(found) << "a reply with twelve preambles in the trace";

  rec_.requestPollingAddress = 4;
  Expect(6);
  EXPECT_EQ(rec_.pollingAddress, 4);
  Expect(0);  // the short frame now goes to address 4
  EXPECT_EQ(sim_.State().pollingAddress, 4);
  rec_.pollingAddress = 0;
  EXPECT_EQ(client_.Run(0), ResultLinkFailed);

  EXPECT_EQ(client_.RunRaw(50, {}), ResultReplyRejected);
  EXPECT_EQ(client_.State().responseCode, RcNotImplemented);
  EXPECT_EQ(client_.RunRaw(34, {0x40}), ResultReplyRejected);
  EXPECT_EQ(client_.State().responseCode, RcTooFewBytes);
  EXPECT_EQ(client_.State().byteCount, 2);  // only the status bytes
}

TEST_F(PtyLink, SelfTestBusyAndReset) {
  Expect(41);
  EXPECT_EQ(client_.Run(48), ResultReplyRejected);
  EXPECT_EQ(client_.State().responseCode, RcBusy);
  std::this_thread::sleep_for(milliseconds(350));
  Expect(48);

  Expect(42);
  EXPECT_EQ(client_.Run(3), ResultLinkFailed);  // silent while it restarts
  std::this_thread::sleep_for(milliseconds(250));
  Expect(3);
  EXPECT_TRUE(client_.State().deviceStatus & StatusColdStart);
  Expect(3);
  EXPECT_FALSE(client_.State().deviceStatus & StatusColdStart);
}

TEST_F(PtyLink, CustomTablesAndSpecialCurve) {
  struct Table {
    std::uint8_t readHeader, writeHeader, readPoint, writePoint;
    bool tc;
  };
  for (const Table t : {Table{180, 181, 182, 183, true}, Table{184, 185, 186, 187, false}}) {
    rec_.uploadTableSize = 3;
    rec_.uploadStepText = "10";
    rec_.uploadMinimumText = "-20";
    rec_.uploadValueTexts[0] = "1.5";
    rec_.uploadValueTexts[1] = "2.5";
    rec_.uploadValueTexts[2] = "3.75";
    Expect(t.writeHeader);
    Expect(t.readHeader);
    EXPECT_NE(rec_.customTableState, 0);
    for (int i = 0; i < 3; ++i) {
      rec_.tablePointIndex = i;
      Expect(t.writePoint);
    }
    rec_.tablePointIndex = TableEndIndex;
    Expect(t.writePoint);
    Expect(t.readHeader);
    EXPECT_EQ(rec_.customTableState, 0);
    EXPECT_EQ(rec_.customTableSize, 3);
    EXPECT_EQ(rec_.customTableStep, 10);
    EXPECT_EQ(rec_.customTableMinimum, -20);
    rec_.customTableValues = {};
    rec_.tablePointIndex = 2;
    Expect(t.readPoint);
    EXPECT_EQ(rec_.customTableValues[2], 3.75);
    rec_.tablePointIndex = 3;
    EXPECT_EQ(client_.Run(t.readPoint), ResultReplyRejected);
    const DeviceState s = sim_.State();
    const CustomTable& table = t.tc ? s.tcTable : s.rtdTable;
    EXPECT_TRUE(table.configured);
    EXPECT_EQ(table.values, (std::vector<float>{1.5f, 2.5f, 3.75f}));
  }

  rec_.uploadCurveSize = 3;
  rec_.uploadCurveXTexts[0] = "0";
  rec_.uploadCurveYTexts[0] = "0";
  rec_.uploadCurveXTexts[1] = "50";
  rec_.uploadCurveYTexts[1] = "80";
  rec_.uploadCurveXTexts[2] = "100";
  rec_.uploadCurveYTexts[2] = "100";
  Expect(189);
  Expect(188);
  EXPECT_NE(rec_.specialCurveState, 0);
  for (int i : {0, 1, 2, TableEndIndex}) {
    rec_.tablePointIndex = i;
    Expect(191);
  }
  Expect(188);
  EXPECT_EQ(rec_.specialCurveState, 0);
  EXPECT_EQ(rec_.specialCurveSize, 3);
  EXPECT_FLOAT_EQ(sim_.State().curve.x[1], 0.5f);  // 50 % travels as 0.5
  EXPECT_FLOAT_EQ(sim_.State().curve.y[1], 0.8f);
  rec_.specialCurveX = {};
  rec_.tablePointIndex = 1;
  Expect(190);
  EXPECT_NEAR(rec_.specialCurveX[1], 50.0, 1e-4);
  EXPECT_NEAR(rec_.specialCurveY[1], 80.0, 1e-4);
}

TEST_F(PtyLink, SurvivesTheClientClosingAndReopening) {
  for (int i = 0; i < 3; ++i) {
    client_.Close();
    std::this_thread::sleep_for(milliseconds(30));
    ASSERT_EQ(client_.Open(sim_.SlavePath()), ResultOk);
    Expect(0);
  }
  const int before = sim_.RequestCount();
  Expect(3);
  EXPECT_EQ(sim_.RequestCount(), before + 1);
}

}  // namespace
}  // namespace va5::sim
