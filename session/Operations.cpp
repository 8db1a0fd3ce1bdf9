#include "session/Operations.h"

#include <cmath>
#include <string>

#include "base/NumberText.h"
#include "lang/EntryRules.h"
#include "session/Checks.h"

namespace va5::session {

namespace {

ChainJournal Journal(JournalKind kind, std::string setting, std::string requested = {},
                     std::string reference = {}) {
  ChainJournal journal;
  journal.kind = kind;
  journal.setting = std::move(setting);
  journal.requested = std::move(requested);
  journal.reference = std::move(reference);
  return journal;
}

}  // namespace

RequestChain SingleRequest(int type) {
  RequestChain chain;
  chain.what = "request " + std::to_string(type);
  chain.steps = {ChainStep{type}};
  // An upload is what a job's configuration as found comes from.
  if (type == RequestUpload) chain.journal.kind = JournalKind::Upload;
  return chain;
}

RequestChain ConnectChain() {
  RequestChain chain;
  chain.what = "connect";
  chain.steps = {ChainStep{RequestIdentify}, ChainStep{RequestUpload}, ChainStep{RequestMonitorOn}};
  chain.journal.kind = JournalKind::Upload;
  return chain;
}

// ---- sensor trim -----------------------------------------------------------------------

std::string DescribeSensorTrim(const CglobalFile& tables, const DeviceRecord& r) {
  const std::string unit = PvUnitName(tables, r.pvUnit);
  return "zero point " + FormatFixed(r.sensorTrimZeroPoint, 4) + " " + unit + ", zero value " +
         FormatFixed(r.sensorTrimZeroValue, 4) + " " + unit + ", gain " +
         FormatFixed(r.sensorTrimGain, 4);
}

RequestChain ReadSensorTrimChain(const CglobalFile& tables) {
  RequestChain chain;
  chain.what = "sensor trim";
  chain.steps = {{RequestReadSensorTrim}};
  chain.describe = [&tables](const DeviceRecord& r) { return DescribeSensorTrim(tables, r); };
  return chain;
}

std::optional<Reason> CheckSensorTrimValue(const std::string& text, const DeviceRecord& device,
                                           std::string& valueText) {
  NumberEntry entry;
  auto reason = CheckDecimal(text, device.lowerSensorLimit, device.upperSensorLimit, false,
                             "calibration value", entry);
  if (!reason) valueText = entry.enteredText;
  return reason;
}

RequestChain SensorTrimChain(const CglobalFile& tables, SensorTrimPoint point,
                             const std::string& valueText) {
  RequestChain chain = ReadSensorTrimChain(tables);
  chain.what = point == SensorTrimPoint::Clear ? "sensor trim clear"
               : point == SensorTrimPoint::Zero ? "sensor zero trim"
                                                : "sensor span trim";
  chain.store = [point, valueText](DeviceRecord& r) {
    r.calibrationPoint = static_cast<std::uint8_t>(point);
    r.calibrationUnit = static_cast<std::uint8_t>(r.pvUnit);
    r.calibrationValueText =
        point == SensorTrimPoint::Clear ? FormatFixed(r.pvValue, 6) : valueText;
  };
  chain.steps = {{RequestWriteSensorTrim}};
  const char* names[] = {"clear", "zero", "span"};
  chain.journal = Journal(JournalKind::SensorTrim, names[static_cast<int>(point)], valueText,
                          point == SensorTrimPoint::Clear ? std::string() : valueText);
  return chain;
}

// ---- fixed output current and DAC trim -------------------------------------------------

namespace {

std::optional<Reason> CheckCurrent(const std::string& text, double minimum, double maximum,
                                   std::string& valueText) {
  NumberEntry entry;
  auto reason = CheckDecimal(text, minimum, maximum, false, "output current", entry);
  if (!reason) valueText = entry.enteredText;
  return reason;
}

std::string DescribeLoopCurrent(const DeviceRecord& r) {
  return FormatFixed(r.loopCurrent, 3) + " mA";
}

}  // namespace

std::optional<Reason> CheckFixedCurrent(const std::string& text, std::string& valueText) {
  return CheckCurrent(text, MinimumFixedCurrent, MaximumFixedCurrent, valueText);
}

std::optional<Reason> CheckPresentCurrent(double loopCurrent, std::string& valueText) {
  const std::string text = std::isfinite(loopCurrent) ? FormatFixed(loopCurrent, 3, 4) : "nan";
  if (std::isfinite(loopCurrent) && loopCurrent >= MinimumFixedCurrent &&
      loopCurrent <= MaximumFixedCurrent) {
    valueText = text;
    return std::nullopt;
  }
  return Because(ReasonKind::OutOfLimits,
                 "the present loop current " + text + " mA is outside " +
                     FormatRange(MinimumFixedCurrent) + " to " +
                     FormatRange(MaximumFixedCurrent) + " mA",
                 {"output current", text, FormatRange(MinimumFixedCurrent),
                  FormatRange(MaximumFixedCurrent)});
}

RequestChain FixedCurrentChain(const std::string& valueText) {
  RequestChain chain;
  chain.what = "fixed current";
  chain.store = [valueText](DeviceRecord& r) { r.fixedCurrentText = valueText; };
  chain.steps = {{RequestFixedCurrent}};
  chain.describe = DescribeLoopCurrent;
  chain.journal = Journal(JournalKind::FixedCurrent, "fixed current", valueText);
  return chain;
}

RequestChain TrimModeChain(TrimMode mode) {
  RequestChain chain;
  chain.what = "trim mode";
  chain.store = [mode](DeviceRecord& r) {
    r.requestedTrimMode = mode == TrimMode::Upper ? 1 : 0;
    r.fixedCurrentText = mode == TrimMode::Upper ? "20.0" : "4.0";
  };
  chain.steps = {{RequestTrimModeCurrent}};
  chain.describe = DescribeLoopCurrent;
  chain.journal =
      Journal(JournalKind::FixedCurrent, "trim mode", mode == TrimMode::Upper ? "20.0" : "4.0");
  return chain;
}

TrimLimits TrimLimitsOf(TrimMode mode) {
  return mode == TrimMode::Upper ? TrimLimits{19.8, 20.2, "20.000"}
                                 : TrimLimits{3.8, 4.2, "4.000"};
}

std::optional<Reason> CheckTrimCurrent(TrimMode mode, const std::string& text,
                                       std::string& valueText) {
  if (mode == TrimMode::None) {
    return Because(ReasonKind::TrimModeNotSet,
                   "no trim mode is set: enter the lower or upper trim mode first", {});
  }
  const TrimLimits limits = TrimLimitsOf(mode);
  return CheckCurrent(text, limits.minimum, limits.maximum, valueText);
}

RequestChain TrimDacChain(TrimMode mode, const std::string& valueText) {
  RequestChain chain;
  chain.what = "DAC trim";
  chain.store = [mode, valueText](DeviceRecord& r) {
    r.requestedTrimMode = mode == TrimMode::Upper ? 1 : 0;
    r.trimCurrentText = valueText;
  };
  chain.steps = {{RequestTrimDac}};
  chain.describe = DescribeLoopCurrent;
  chain.journal = Journal(JournalKind::DacTrim, mode == TrimMode::Upper ? "upper" : "lower",
                          valueText, valueText);
  return chain;
}

RequestChain ClearDacTrimChain() {
  RequestChain chain;
  chain.what = "DAC trim clear";
  // The clear (158) takes no current; the fixed-mode exit after it sends 0.
  chain.store = [](DeviceRecord& r) { r.fixedCurrentText = LeaveFixedCurrentText; };
  chain.steps = {{RequestClearDacTrim}, {RequestLeaveTrimFixed}};
  chain.describe = DescribeLoopCurrent;
  chain.journal = Journal(JournalKind::DacTrim, "clear");
  chain.journal.lastWrite = 1;
  return chain;
}

RequestChain CloseDacTrimChain() {
  RequestChain chain;
  chain.what = "leaving the trim mode";
  chain.store = [](DeviceRecord& r) { r.fixedCurrentText = LeaveFixedCurrentText; };
  chain.steps = {{RequestCloseTrimFixed, {}, &Timing::leaveFixedWait}};
  chain.describe = DescribeLoopCurrent;
  chain.journal = Journal(JournalKind::FixedCurrent, "leaving the trim mode", LeaveFixedCurrentText);
  return chain;
}

// ---- self test and additional status ---------------------------------------------------

const std::array<StatusLamp, 6>& EepromStatusLamps() {
  static const std::array<StatusLamp, 6> lamps{{
      {"EEPROM SUM Error (Basic Part)", 0x01},
      {"EEPROM SUM Error (Custom TC Part)", 0x02},
      {"EEPROM SUM Error (Custom RTD Part)", 0x04},
      {"EEPROM SUM Error (Special Curve Part)", 0x08},
      {"EEPROM SUM Error (Summary)", 0x40},
      {"EEPROM Hardware Error", 0x80},
  }};
  return lamps;
}

std::string DescribeEepromStatus(const DeviceRecord& r) {
  std::string text;
  for (const StatusLamp& lamp : EepromStatusLamps()) {
    if (!text.empty()) text += '\n';
    text += std::string(lamp.name) + ": " + ((r.additionalStatus[2] & lamp.bit) ? "error" : "ok");
  }
  return text;
}

RequestChain SelfTestChain() {
  RequestChain chain;
  chain.what = "self test";
  chain.steps = {{RequestSelfTest}, {RequestAdditionalStatus}};
  // The status read must be the next command the device hears: a poll between the two could
  // come first and read the device mid-test.
  chain.pollBetween = false;
  chain.describe = DescribeEepromStatus;
  chain.journal = Journal(JournalKind::SelfTest, "self test");
  return chain;
}

RequestChain AdditionalStatusChain() {
  RequestChain chain;
  chain.what = "additional status";
  chain.steps = {{RequestAdditionalStatus}};
  chain.describe = DescribeEepromStatus;
  return chain;
}

RequestChain ResetConfigChangedChain() {
  RequestChain chain;
  chain.what = "configuration-changed flag reset";
  chain.steps = {{RequestResetConfigChanged}};
  chain.journal = Journal(JournalKind::Command, "reset-config-changed");
  return chain;
}

}  // namespace va5::session
