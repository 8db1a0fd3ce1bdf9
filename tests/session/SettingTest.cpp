// The settings' entry rules and device checks, without a device.
#include "session/Setting.h"

#include <gtest/gtest.h>

#include <iostream>

#include "comm/RequestTypes.h"
#include "testing/CommaLocale.h"

namespace va5 {
namespace {

using session::CheckAgainstDevice;
using session::CheckSetting;
using session::ReasonKind;
using session::Setting;

class SettingTest : public ::testing::Test {
 protected:
  // The reason's kind, or nothing for an accepted entry.
  std::optional<ReasonKind> KindOf(Setting setting, std::vector<std::string> values) {
    const auto check = CheckSetting(tables_, setting, values);
    if (!check.reason) return std::nullopt;
    return check.reason->kind;
  }
  std::string TextOf(Setting setting, std::vector<std::string> values) {
    const auto check = CheckSetting(tables_, setting, values);
    return check.reason ? check.reason->text : "";
  }

  CglobalFile tables_;
};

TEST_F(SettingTest, NumbersAreReadOneWayAndNothingEnteredIsNoNumber) {
  for (const char* text : {"", " ", "0x10", "abc", "1,5", "inf", "2 "}) {
    EXPECT_EQ(KindOf(Setting::Damping, {text}), ReasonKind::NotANumber) << '"' << text << '"';
  }
  EXPECT_EQ(KindOf(Setting::Damping, {"0.4"}), ReasonKind::OutOfLimits);
  EXPECT_EQ(TextOf(Setting::Damping, {"0.4"}),
            "damping \"0.4\" is not a number from 0.500 to 30.000 (or 0)");
  EXPECT_EQ(CheckSetting(tables_, Setting::Damping, {"0"}).entry.valueText, "0.000");
  EXPECT_EQ(CheckSetting(tables_, Setting::Damping, {" 30"}).entry.valueText, "30.000");

  EXPECT_EQ(KindOf(Setting::Range, {"", "50"}), ReasonKind::NotANumber);
  EXPECT_EQ(TextOf(Setting::Range, {"50", " "}), "lower range \" \" is not a number");
  EXPECT_EQ(KindOf(Setting::Range, {"1e5", "-.5"}), std::nullopt);  // limits need the device

  // Whole numbers: digits only, and their limits shown as whole numbers.
  for (const char* text : {"", "0x10", "-1", "1.5", "1e3", "16777216", "99999999999999999999"}) {
    EXPECT_EQ(KindOf(Setting::SerialNumber, {text}), ReasonKind::NotAWholeNumber) << text;
    EXPECT_EQ(KindOf(Setting::FinalAssembly, {text}), ReasonKind::NotAWholeNumber) << text;
  }
  EXPECT_EQ(TextOf(Setting::SerialNumber, {"16777216"}),
            "serial-number \"16777216\" is not a whole number from 0 to 16777215");
  EXPECT_EQ(CheckSetting(tables_, Setting::SerialNumber, {"16777215"}).entry.whole, 16777215u);
  EXPECT_EQ(TextOf(Setting::PollingAddress, {"16"}),
            "polling-address \"16\" is not a whole number from 0 to 15");
  EXPECT_EQ(CheckSetting(tables_, Setting::PollingAddress, {"15"}).entry.whole, 15u);
}

TEST_F(SettingTest, NamesWiringsTextsAndCounts) {
  auto typeK = CheckSetting(tables_, Setting::Sensor, {"Type K"});
  ASSERT_FALSE(typeK.reason);
  EXPECT_EQ(typeK.entry.code, 137);
  EXPECT_EQ(typeK.entry.wires, 2);
  auto pot = CheckSetting(tables_, Setting::Sensor, {"POT 600 ohms"});
  ASSERT_FALSE(pot.reason);
  EXPECT_EQ(pot.entry.code, 243);
  EXPECT_EQ(pot.entry.wires, 3);
  EXPECT_EQ(KindOf(Setting::Sensor, {"Type K", "3 Wires"}), ReasonKind::FixedWiring);
  EXPECT_EQ(KindOf(Setting::Sensor, {"Pt100"}), ReasonKind::WiringNeeded);
  EXPECT_EQ(KindOf(Setting::Sensor, {"Pt100", "5 Wires"}), ReasonKind::UnknownName);
  EXPECT_EQ(KindOf(Setting::PvUnit, {"furlong"}), ReasonKind::UnknownName);
  EXPECT_EQ(KindOf(Setting::PvUnit, {"mV"}), std::nullopt);  // the sensor decides later

  const auto tag = CheckSetting(tables_, Setting::Tag, {"ab"});
  ASSERT_FALSE(tag.reason);
  EXPECT_EQ(tag.entry.packed, "AB      ");
  const auto tooLong = CheckSetting(tables_, Setting::Tag, {"TOO-LONG-TAG"});
  ASSERT_TRUE(tooLong.reason);
  EXPECT_EQ(tooLong.reason->kind, ReasonKind::TextTooLong);
  EXPECT_EQ(tooLong.reason->args, (std::vector<std::string>{"tag", "8"}));
  // Eight accented letters are eight characters: too long they are not, unpackable they are.
  EXPECT_EQ(
      KindOf(Setting::Tag, {"\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"}),
      ReasonKind::NotPackedText);

  EXPECT_EQ(KindOf(Setting::Damping, {}), ReasonKind::WrongValueCount);
  EXPECT_EQ(KindOf(Setting::Range, {"1"}), ReasonKind::WrongValueCount);
  EXPECT_EQ(KindOf(Setting::Sensor, {"Pt100", "3 Wires", "x"}), ReasonKind::WrongValueCount);
}

// The tag write dates the device: the date entered with tag and descriptor (any separators,
// a real day from 1900 to 2155), else today's.
TEST_F(SettingTest, TheTagWriteSendsTheDateEnteredElseToday) {
  DeviceRecord device;
  device.SetStartValues();
  device.modelName = "TQ5R";
  const struct {
    std::vector<std::string> values;
    std::optional<ReasonKind> refused;
    std::string sent;  // the request's date
  } rows[] = {
      {{"ab", "x"}, std::nullopt, session::TodayText()},
      {{"ab", "x", "2031/07/15"}, std::nullopt, "2031/07/15"},
      {{"ab", "x", "1999-12-31"}, std::nullopt, "1999/12/31"},
      {{"ab", "x", "2155/12/31"}, std::nullopt, "2155/12/31"},
      {{"ab", "x", "2031/02/29"}, ReasonKind::OutOfLimits, ""},
      {{"ab", "x", "1899/12/31"}, ReasonKind::OutOfLimits, ""},
      {{"ab", "x", "31/07/2031"}, ReasonKind::OutOfLimits, ""},
      {{"ab", "x", ""}, ReasonKind::OutOfLimits, ""},
      {{"ab", "x", "2031/07/15", "y"}, ReasonKind::WrongValueCount, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.values));
    const auto check = CheckSetting(tables_, Setting::Tag, row.values);
    ASSERT_EQ(check.reason ? std::optional(check.reason->kind) : std::nullopt, row.refused);
    if (row.refused) continue;
    EXPECT_FALSE(CheckAgainstDevice(tables_, check.entry, device));
    DeviceRecord stored = device;
    session::SettingChain(tables_, check.entry, device).store(stored);
    EXPECT_EQ(stored.requestDate, row.sent);
    EXPECT_EQ(stored.requestTag, "AB      ");
    EXPECT_EQ(stored.requestDescriptor, "X" + std::string(15, ' '));
  }
}

TEST_F(SettingTest, ChainsCarryTheirPreconditionsAndPauses) {
  DeviceRecord device;
  device.SetStartValues();
  const auto tc = CheckSetting(tables_, Setting::Sensor, {"Custom TC"});
  const auto chain = session::SettingChain(tables_, tc.entry, device);
  ASSERT_EQ(chain.steps.size(), 3u);
  EXPECT_EQ(chain.steps[0].request, RequestReadTcHeader);
  ASSERT_TRUE(chain.steps[0].stopIf);
  device.customTableState = 1;
  EXPECT_EQ(chain.steps[0].stopIf(device)->args, std::vector<std::string>{"TC"});
  device.customTableState = 0;
  EXPECT_FALSE(chain.steps[0].stopIf(device));
  EXPECT_EQ(chain.steps[1].request, RequestWriteSensor);
  EXPECT_EQ(chain.steps[2].request, RequestReadSensorInfo);

  // Any other transfer function is written at once; the special curve is looked up first.
  const auto sqrt = CheckSetting(tables_, Setting::TransferFunction, {"SQRT"});
  EXPECT_EQ(session::SettingChain(tables_, sqrt.entry, device).steps.size(), 1u);
  const auto curve = CheckSetting(tables_, Setting::TransferFunction, {"SPECIAL_CURVE"});
  EXPECT_EQ(session::SettingChain(tables_, curve.entry, device).steps[0].request,
            RequestReadCurveHeader);

  const auto unit = CheckSetting(tables_, Setting::PvUnit, {"degF"});
  const auto unitChain = session::SettingChain(tables_, unit.entry, device);
  ASSERT_EQ(unitChain.steps.size(), 2u);
  EXPECT_EQ(unitChain.steps[1].pauseAfter, &Timing::unitChangeWait);
}

TEST_F(SettingTest, RangeCheckKeepsItsDecimalPointsUnderADecimalComma) {
  DeviceRecord device;
  device.SetStartValues();
  device.modelName = "TQ5R";
  device.pvUnit = 32;  // degC
  device.upperSensorLimit = 850.5;
  device.lowerSensorLimit = -200.5;
  device.minimumSpan = 10.25;

  test::CommaLocale comma;
  if (!comma.CLocaleHasComma()) {
    std::cerr << "note: no C locale with a decimal comma could be installed or built; only the "
                 "C++ locale has one\n";
  }
  const auto check = [&](std::vector<std::string> values) -> std::optional<ReasonKind> {
    const auto entry = CheckSetting(tables_, Setting::Range, values);
    EXPECT_FALSE(entry.reason);
    const auto reason = CheckAgainstDevice(tables_, entry.entry, device);
    if (!reason) return std::nullopt;
    return reason->kind;
  };
  // The limits keep their decimals: 850.4 and -200.2 are inside.
  EXPECT_EQ(check({"850.4", "-200.2"}), std::nullopt);
  EXPECT_EQ(check({"850.6", "0"}), ReasonKind::OutOfLimits);
  // So does the minimum span: 10.1 is too narrow, 10.25 is not.
  EXPECT_EQ(check({"100", "89.9"}), ReasonKind::SpanTooSmall);
  EXPECT_EQ(check({"100", "89.75"}), std::nullopt);

  const auto entry = CheckSetting(tables_, Setting::Range, {"100", "89.9"});
  const auto reason = CheckAgainstDevice(tables_, entry.entry, device);
  ASSERT_TRUE(reason);
  EXPECT_EQ(reason->text, "the span is smaller than the minimum span 10.25 degC");
  const auto outside = CheckSetting(tables_, Setting::Range, {"900", "0"});
  EXPECT_EQ(CheckAgainstDevice(tables_, outside.entry, device)->text,
            "upper range \"900\" is not a number from -200.500 to 850.500");
}

}  // namespace
}  // namespace va5
