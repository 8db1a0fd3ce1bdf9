#include "session/Setting.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <ctime>

#include "base/NumberText.h"
#include "base/Utf8.h"
#include "comm/RequestTypes.h"
#include "lang/EntryRules.h"
#include "session/Checks.h"
#include "session/Session.h"

namespace va5::session {

namespace {

std::string JoinNames(const StringTable& names) {
  std::string text;
  for (const auto& n : names) text += (text.empty() ? "\"" : ", \"") + n + "\"";
  return text;
}

Reason UnknownName(const std::string& what, const std::string& entry, const StringTable& names) {
  return Because(ReasonKind::UnknownName,
                 "unknown " + what + " \"" + entry + "\"; choose one of " + JoinNames(names),
                 {what, entry, JoinNames(names)});
}

// A code chosen by its name; -1 when the name is not in the table.
int CodeOfName(const StringTable& names, const StringTable& codes, const std::string& name) {
  const int index = CglobalFile::IndexOfName(names, name);
  return index < 0 ? -1 : std::stoi(codes[static_cast<std::size_t>(index)]);
}

std::optional<Reason> CheckWhole(const std::string& text, unsigned long long maximum,
                                 const std::string& what, unsigned long long& value) {
  if (auto read = ParseWholeNumber(text, maximum)) {
    value = *read;
    return std::nullopt;
  }
  const std::string limit = std::to_string(maximum);
  return Because(ReasonKind::NotAWholeNumber,
                 what + " \"" + text + "\" is not a whole number from 0 to " + limit,
                 {what, text, limit});
}

// Pads to the field's length and converts to upper case; the result must pack.
std::optional<Reason> CheckPacked(const std::string& text, std::size_t length,
                                  const std::string& what, std::string& out) {
  if (CharacterCount(text) > length) {
    return Because(ReasonKind::TextTooLong,
                   what + " has more than " + std::to_string(length) + " characters",
                   {what, std::to_string(length)});
  }
  out = text;
  out.resize(std::max(out.size(), length), ' ');
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  if (!IsPackedText(out)) {
    return Because(ReasonKind::NotPackedText,
                   what + " \"" + text + "\" holds characters that cannot be sent (packed ASCII)",
                   {what, text});
  }
  return std::nullopt;
}

std::optional<Reason> NeedsModel(const DeviceRecord& device, const std::string& lacks) {
  if (IsConfigurableModel(device)) return std::nullopt;
  return Because(ReasonKind::ModelNotConfigurable, "model \"" + device.modelName + "\" " + lacks,
                 {device.modelName, lacks});
}

// The settings chosen from one code table.
struct Choice {
  Setting setting;
  const StringTable& (CglobalFile::*names)() const;
  const StringTable& (CglobalFile::*codes)() const;
  int request;
  std::int16_t DeviceRecord::*requestField;
  std::int16_t DeviceRecord::*deviceField;
};

const Choice* ChoiceOf(Setting setting) {
  static const Choice choices[] = {
      {Setting::Burnout, &CglobalFile::BurnoutNames, &CglobalFile::BurnoutCodes,
       RequestWriteBurnout, &DeviceRecord::requestBurnout, &DeviceRecord::burnout},
      {Setting::Cjc, &CglobalFile::CjcModeNames, &CglobalFile::CjcModeCodes, RequestWriteCjc,
       &DeviceRecord::requestCjcMode, &DeviceRecord::cjcMode},
      {Setting::TransferFunction, &CglobalFile::TransferFunctionNames,
       &CglobalFile::TransferFunctionCodes, RequestWriteTransfer,
       &DeviceRecord::requestTransferFunction, &DeviceRecord::transferFunction},
      {Setting::TerminalUnit, &CglobalFile::TerminalUnitNames, &CglobalFile::TerminalUnitCodes,
       RequestWriteTermUnit, &DeviceRecord::requestTerminalUnit, &DeviceRecord::terminalUnit},
  };
  for (const Choice& c : choices) {
    if (c.setting == setting) return &c;
  }
  return nullptr;
}

bool InAnyUnitFamily(const CglobalFile& t, const std::string& name) {
  for (UnitFamily family :
       {UnitFamily::Temperature, UnitFamily::Ohm, UnitFamily::Millivolt, UnitFamily::Percent}) {
    if (CglobalFile::IndexOfName(t.FamilyNames(family), name) >= 0) return true;
  }
  return false;
}

UnitFamily FamilyOfDevice(const CglobalFile& t, const DeviceRecord& device) {
  return CglobalFile::FamilyOfSensorIndex(
      CglobalFile::IndexOfCode(t.SensorTypeCodes(), device.sensorType));
}

struct RangeEntries {
  NumberEntry upper, lower;
  double minimumSpan = 0;
};

// The range entries against the sensor limits. The limits and the span are compared as they
// read with three decimals, whatever the process locale.
std::optional<Reason> CheckRange(const CglobalFile& t, const SettingEntry& entry,
                                 const DeviceRecord& device, RangeEntries& range) {
  const double usl = RoundToDecimals(device.upperSensorLimit, 3);
  const double lsl = RoundToDecimals(device.lowerSensorLimit, 3);
  range.minimumSpan = RoundToDecimals(device.minimumSpan, 3);
  if (auto r = CheckDecimal(entry.texts[0], lsl, usl, false, "upper range", range.upper)) return r;
  if (auto r = CheckDecimal(entry.texts[1], lsl, usl, false, "lower range", range.lower)) return r;
  // An upper value below the lower one (a reverse range) is allowed.
  if (std::abs(range.upper.value - range.lower.value) < range.minimumSpan) {
    const std::string span = FormatFixed(range.minimumSpan, 2);
    const std::string unit = PvUnitName(t, device.pvUnit);
    return Because(ReasonKind::SpanTooSmall,
                   "the span is smaller than the minimum span " + span + " " + unit, {span, unit});
  }
  return std::nullopt;
}

}  // namespace

const std::vector<std::string>& SettingNames() {
  static const std::vector<std::string> names{"damping",
                                              "range",
                                              "pv-unit",
                                              "sensor",
                                              "burnout",
                                              "cjc",
                                              "transfer-function",
                                              "term-unit",
                                              "serial-number",
                                              "final-assembly",
                                              "tag",
                                              "descriptor",
                                              "message",
                                              "polling-address"};
  return names;
}

std::optional<Setting> SettingOfName(const std::string& name) {
  const auto& names = SettingNames();
  const auto found = std::find(names.begin(), names.end(), name);
  if (found == names.end()) return std::nullopt;
  return static_cast<Setting>(found - names.begin());
}

const std::string& NameOf(Setting setting) {
  return SettingNames()[static_cast<std::size_t>(setting)];
}

bool SettingNeedsUpload(Setting setting) {
  return setting == Setting::Range || setting == Setting::PvUnit || setting == Setting::Tag ||
         setting == Setting::Descriptor;
}

std::string TodayText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  char text[16];
  std::strftime(text, sizeof text, "%Y/%m/%d", &local);
  return text;
}

SettingCheck CheckSetting(const CglobalFile& t, Setting setting,
                          const std::vector<std::string>& values) {
  SettingCheck check;
  SettingEntry& entry = check.entry;
  entry.setting = setting;
  entry.texts = values;
  const std::string& name = NameOf(setting);
  const std::size_t wanted = setting == Setting::Range ? 2 : 1;
  // The sensor may come with its wiring, the tag with the descriptor written beside it and
  // the date the write gives the device.
  const std::size_t most = setting == Setting::Tag ? 3 : setting == Setting::Sensor ? 2 : 0;
  const bool countRight =
      most > 0 ? !values.empty() && values.size() <= most : values.size() == wanted;
  if (!countRight) {
    check.reason = Because(ReasonKind::WrongValueCount, name + ": wrong number of values", {name});
    return check;
  }
  const std::string& value = values[0];
  auto& reason = check.reason;

  switch (setting) {
    case Setting::Damping: {
      NumberEntry number;
      reason = CheckDecimal(value, MinimumDamping, MaximumDamping, true, name, number);
      entry.valueText = number.valueText;
      break;
    }
    case Setting::Range:
      // The limits come from the device; here only that both read as numbers.
      for (std::size_t i = 0; i < 2 && !reason; ++i) {
        if (!ParseEntryNumber(values[i])) {
          const std::string what = i == 0 ? "upper range" : "lower range";
          reason = Because(ReasonKind::NotANumber, what + " \"" + values[i] + "\" is not a number",
                           {what, values[i], "", ""});
        }
      }
      break;
    case Setting::PvUnit:
      // Which units suit depends on the device's sensor; here only that it is a unit at all.
      if (!InAnyUnitFamily(t, value)) reason = UnknownName("pv-unit", value, t.PvUnitNames());
      break;
    case Setting::Sensor: {
      const int index = CglobalFile::IndexOfName(t.SensorTypeNames(), value);
      if (index < 0) {
        reason = UnknownName("sensor type", value, t.SensorTypeNames());
        break;
      }
      entry.code = std::stoi(t.SensorTypeCodes()[static_cast<std::size_t>(index)]);
      entry.wires = CglobalFile::FixedWiringOfSensorIndex(index);
      if (entry.wires == 0) {
        if (values.size() < 2) {
          reason =
              Because(ReasonKind::WiringNeeded,
                      "sensor \"" + value + "\" needs its wiring: " + JoinNames(t.WiringNames()),
                      {value, JoinNames(t.WiringNames())});
          break;
        }
        entry.wires = CodeOfName(t.WiringNames(), t.WiringCodes(), values[1]);
        if (entry.wires < 0) reason = UnknownName("wiring", values[1], t.WiringNames());
      } else if (values.size() > 1) {
        reason = Because(ReasonKind::FixedWiring, "sensor \"" + value + "\" has a fixed wiring",
                         {value});
      }
      break;
    }
    case Setting::Burnout:
    case Setting::Cjc:
    case Setting::TransferFunction:
    case Setting::TerminalUnit: {
      const Choice& c = *ChoiceOf(setting);
      entry.code = CodeOfName((t.*c.names)(), (t.*c.codes)(), value);
      if (entry.code < 0) reason = UnknownName(name, value, (t.*c.names)());
      break;
    }
    case Setting::SerialNumber:
    case Setting::FinalAssembly:
      reason = CheckWhole(value, static_cast<unsigned long long>(MaxSerialNumber), name, entry.whole);
      break;
    case Setting::PollingAddress:
      reason = CheckWhole(value, static_cast<unsigned long long>(MaxPollingAddress), name, entry.whole);
      break;
    case Setting::Tag:
      reason = CheckPacked(value, TagLength, "tag", entry.packed);
      if (!reason && values.size() >= 2) {
        reason = CheckPacked(values[1], DescriptorLength, "descriptor", entry.packedDescriptor);
      }
      if (!reason && values.size() == 3) {
        const std::string& date = values[2];
        if (!IsValidEntryDate(date)) {
          reason = Because(ReasonKind::OutOfLimits,
                           "date \"" + date + "\" is not a date YYYY/MM/DD from 1900 to 2155",
                           {"date", date, "1900/01/01", "2155/12/31"});
        } else {
          entry.date = date.substr(0, 4) + "/" + date.substr(5, 2) + "/" + date.substr(8, 2);
        }
      }
      break;
    case Setting::Descriptor:
      reason = CheckPacked(value, DescriptorLength, "descriptor", entry.packed);
      break;
    case Setting::Message:
      reason = CheckPacked(value, MessageLength, "message", entry.packed);
      break;
  }
  return check;
}

std::optional<Reason> CheckAgainstDevice(const CglobalFile& t, const SettingEntry& entry,
                                         const DeviceRecord& device) {
  switch (entry.setting) {
    case Setting::Range: {
      RangeEntries range;
      return CheckRange(t, entry, device, range);
    }
    case Setting::PvUnit: {
      const UnitFamily family = FamilyOfDevice(t, device);
      if (CglobalFile::IndexOfName(t.FamilyNames(family), entry.texts[0]) >= 0) return {};
      const std::string names = JoinNames(t.FamilyNames(family));
      return Because(
          ReasonKind::UnitDoesNotSuit,
          "unit \"" + entry.texts[0] + "\" does not suit the sensor; choose one of " + names,
          {entry.texts[0], names});
    }
    case Setting::FinalAssembly:
      return NeedsModel(device, "has no final assembly number");
    case Setting::Tag:
    case Setting::Descriptor: {
      if (auto r = NeedsModel(device, "has no writable tag")) return r;
      // Tag and descriptor travel together: the one not entered goes back as the device has
      // it, and must pack too.
      if (entry.setting == Setting::Tag && entry.texts.size() >= 2) return std::nullopt;
      std::string other;
      return entry.setting == Setting::Tag
                 ? CheckPacked(TrimEntryText(device.descriptor), DescriptorLength, "descriptor",
                               other)
                 : CheckPacked(TrimEntryText(device.tag), TagLength, "tag", other);
    }
    case Setting::PollingAddress:
      return NeedsModel(device, "cannot change its address");
    default:
      return std::nullopt;
  }
}

RequestChain SettingChain(const CglobalFile& t, const SettingEntry& entry,
                          const DeviceRecord& device) {
  RequestChain chain;
  chain.what = NameOf(entry.setting);
  switch (entry.setting) {
    case Setting::Damping:
      chain.store = [text = entry.valueText](DeviceRecord& r) { r.dampingText = text; };
      chain.steps = {{RequestWriteDamping}};
      chain.describe = [](const DeviceRecord& r) { return FormatRange(r.damping) + " s"; };
      break;
    case Setting::Range: {
      RangeEntries range;
      CheckRange(t, entry, device, range);
      chain.store = [range](DeviceRecord& r) {
        r.upperRangeText = range.upper.enteredText;
        r.lowerRangeText = range.lower.enteredText;
        r.requestUnit = r.pvUnit;
      };
      chain.steps = {{RequestWriteRange}};
      chain.describe = [&t](const DeviceRecord& r) {
        return FormatRange(r.upperRangeValue) + " " + FormatRange(r.lowerRangeValue) + " " +
               PvUnitName(t, r.pvUnit);
      };
      break;
    }
    case Setting::PvUnit: {
      const int code = CodeOfName(t.PvUnitNames(), t.PvUnitCodes(), entry.texts[0]);
      chain.store = [code](DeviceRecord& r) { r.requestUnit = static_cast<std::int16_t>(code); };
      // Limits and range are read again in the new unit, once the device has settled.
      chain.steps = {{RequestWritePvUnit}, {RequestReadAfterUnit, {}, &Timing::unitChangeWait}};
      chain.describe = [&t](const DeviceRecord& r) {
        const std::string unit = PvUnitName(t, r.pvUnit);
        return unit + " (range " + FormatRange(r.upperRangeValue) + " " +
               FormatRange(r.lowerRangeValue) + " " + unit + ")";
      };
      break;
    }
    case Setting::Sensor: {
      chain.store = [code = entry.code, wires = entry.wires](DeviceRecord& r) {
        r.requestSensorType = static_cast<std::int16_t>(code);
        r.requestSensorWires = static_cast<std::int16_t>(wires);
      };
      // A custom sensor needs its table in the device: its header is read first.
      if (entry.code == CustomRtdSensorCode || entry.code == CustomTcSensorCode) {
        const bool rtd = entry.code == CustomRtdSensorCode;
        chain.steps.push_back(
            {rtd ? RequestReadRtdHeader : RequestReadTcHeader,
             [rtd](const DeviceRecord& r) -> std::optional<Reason> {
               if (r.customTableState == 0) return std::nullopt;
               const std::string kind = rtd ? "RTD" : "TC";
               return Because(ReasonKind::TableNotDefined,
                              "the custom " + kind + " table is not defined in the device", {kind});
             }});
      }
      chain.steps.push_back({RequestWriteSensor});
      chain.steps.push_back({RequestReadSensorInfo});
      chain.describe = [&t](const DeviceRecord& r) {
        return NameOfCode(t.SensorTypeNames(), t.SensorTypeCodes(), r.sensorType) + ", " +
               NameOfCode(t.WiringNames(), t.WiringCodes(), r.sensorWires);
      };
      break;
    }
    case Setting::Burnout:
    case Setting::Cjc:
    case Setting::TransferFunction:
    case Setting::TerminalUnit: {
      const Choice& c = *ChoiceOf(entry.setting);
      chain.store = [field = c.requestField, code = entry.code](DeviceRecord& r) {
        r.*field = static_cast<std::int16_t>(code);
      };
      // The special curve must be defined in the device before it can be chosen.
      if (entry.setting == Setting::TransferFunction && entry.code == SpecialCurveTransferCode) {
        chain.steps.push_back(
            {RequestReadCurveHeader, [](const DeviceRecord& r) -> std::optional<Reason> {
               if (r.specialCurveState == 0) return std::nullopt;
               return Because(ReasonKind::CurveNotDefined,
                              "the special curve is not defined in the device", {});
             }});
      }
      chain.steps.push_back({c.request});
      chain.describe = [&t, &c](const DeviceRecord& r) {
        return NameOfCode((t.*c.names)(), (t.*c.codes)(), r.*c.deviceField);
      };
      break;
    }
    case Setting::SerialNumber:
      chain.store = [n = entry.whole](DeviceRecord& r) {
        r.requestSerialNumber = static_cast<std::uint32_t>(n);
      };
      chain.steps = {{RequestWriteSerial}};
      chain.describe = [](const DeviceRecord& r) {
        return FormatInteger(static_cast<long>(r.sensorSerialNumber));
      };
      break;
    case Setting::FinalAssembly:
      chain.store = [n = entry.whole](DeviceRecord& r) {
        r.requestFinalAssemblyNumber = static_cast<std::uint32_t>(n);
      };
      chain.steps = {{RequestWriteFinalAssembly}};
      chain.describe = [](const DeviceRecord& r) {
        return FormatInteger(static_cast<long>(r.finalAssemblyNumber));
      };
      break;
    case Setting::Tag:
    case Setting::Descriptor: {
      const bool isTag = entry.setting == Setting::Tag;
      std::string tag = entry.packed, descriptor = entry.packed;
      if (isTag && entry.texts.size() >= 2) {
        descriptor = entry.packedDescriptor;
      } else if (isTag) {
        CheckPacked(TrimEntryText(device.descriptor), DescriptorLength, "descriptor", descriptor);
      } else {
        CheckPacked(TrimEntryText(device.tag), TagLength, "tag", tag);
      }
      chain.store = [tag, descriptor, date = entry.date](DeviceRecord& r) {
        r.requestTag = tag;
        r.requestDescriptor = descriptor;
        // The tag write dates the device: the date entered, else today.
        r.requestDate = date.empty() ? TodayText() : date;
      };
      chain.steps = {{RequestWriteTag}};
      chain.describe = [isTag](const DeviceRecord& r) {
        return TrimEntryText(isTag ? r.tag : r.descriptor) + " (date " + r.dateText + ")";
      };
      break;
    }
    case Setting::Message:
      chain.store = [text = entry.packed](DeviceRecord& r) { r.requestMessage = text; };
      chain.steps = {{RequestWriteMessage}};
      chain.describe = [](const DeviceRecord& r) { return TrimEntryText(r.message); };
      break;
    case Setting::PollingAddress:
      chain.store = [n = entry.whole](DeviceRecord& r) {
        r.requestPollingAddress = static_cast<std::int16_t>(n);
      };
      chain.steps = {{RequestWritePollingAddress}};
      chain.describe = [](const DeviceRecord& r) { return std::to_string(r.pollingAddress); };
      break;
  }
  chain.journal.kind = JournalKind::Setting;
  chain.journal.setting = NameOf(entry.setting);
  for (const std::string& text : entry.texts) {
    chain.journal.requested += (chain.journal.requested.empty() ? "" : " ") + text;
  }
  // The write is the last step but for the sensor and the unit, which read back after it.
  const std::size_t write = entry.setting == Setting::PvUnit   ? 0
                            : entry.setting == Setting::Sensor ? chain.steps.size() - 2
                                                               : chain.steps.size() - 1;
  chain.journal.firstWrite = chain.journal.lastWrite = write;
  return chain;
}

OperationOutcome WriteSetting(Session& session, const CglobalFile& tables,
                              const SettingEntry& entry) {
  const DeviceRecord device = session.Record();
  if (auto reason = CheckAgainstDevice(tables, entry, device)) {
    return OperationOutcome{ResultOk, std::move(reason), {}};
  }
  // The tool does not poll between the steps of a chain.
  return session.Perform(SettingChain(tables, entry, device), false);
}

}  // namespace va5::session
