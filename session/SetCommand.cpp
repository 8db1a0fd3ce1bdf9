#include "session/SetCommand.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <ctime>

#include "lang/EntryRules.h"
#include "comm/RequestTypes.h"

namespace va5::cli {

namespace {

constexpr double MaxSerialNumber = 16777215.0;

Outcome Usage(std::string reason) { return Outcome{ExitUsage, std::move(reason), {}}; }
Outcome Done(std::string value) { return Outcome{ExitOk, {}, std::move(value)}; }
Outcome Failed(HartResult result, const std::string& what) {
  const int status = ExitStatusOf(result);
  return Outcome{status,
                 status == ExitRefused ? what + ": the device refused the request"
                                       : what + ": no answer from the device",
                 {}};
}

std::string JoinNames(const StringTable& names) {
  std::string text;
  for (const auto& n : names) text += (text.empty() ? "\"" : ", \"") + n + "\"";
  return text;
}

// A code chosen by its name; -1 when the name is not in the table.
int CodeOfName(const StringTable& names, const StringTable& codes, const std::string& name) {
  const int index = CglobalFile::IndexOfName(names, name);
  return index < 0 ? -1 : std::stoi(codes[static_cast<std::size_t>(index)]);
}

std::string NameOf(const StringTable& names, const StringTable& codes, int code) {
  const int index = CglobalFile::IndexOfCode(codes, code);
  return index < 0 ? std::to_string(code) : names[static_cast<std::size_t>(index)];
}

// A number entry with its limits; the error names the limits.
bool CheckNumber(const std::string& text, double minimum, double maximum, bool allowZero,
                 const std::string& what, NumberEntry& entry, Outcome& failure) {
  entry = CheckNumberEntry(text, minimum, maximum, allowZero);
  if (entry.accepted) return true;
  failure = Usage(what + " \"" + text + "\" is not a number from " + FormatRange(minimum) + " to " +
                  FormatRange(maximum) + (allowZero ? " (or 0)" : ""));
  return false;
}

bool CheckInteger(const std::string& text, double maximum, const std::string& what, long& value,
                  Outcome& failure) {
  const bool digits = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
  });
  NumberEntry entry;
  if (!digits || !CheckNumber(text, 0, maximum, true, what, entry, failure)) {
    if (!digits)
      failure = Usage(what + " \"" + text + "\" is not a whole number from 0 to " +
                      FormatInteger(static_cast<long>(maximum)));
    return false;
  }
  value = static_cast<long>(entry.value);
  return true;
}

// Pads to the field's length, converts to upper case and checks that it packs.
bool PackedText(const std::string& text, std::size_t length, const std::string& what,
                std::string& out, Outcome& failure) {
  if (text.size() > length) {
    failure = Usage(what + " has more than " + std::to_string(length) + " characters");
    return false;
  }
  out = text;
  out.resize(length, ' ');
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  if (!IsPackedText(out)) {
    failure = Usage(what + " \"" + text + "\" holds characters that cannot be sent (packed ASCII)");
    return false;
  }
  return true;
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

bool SettingNeedsUpload(const std::string& name) {
  return name == "range" || name == "pv-unit" || name == "tag" || name == "descriptor";
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

Outcome ApplySetting(CliSession& session, const CglobalFile& t, const std::string& name,
                     const std::vector<std::string>& values) {
  const std::size_t wanted = name == "range" ? 2 : name == "sensor" ? 0 : 1;
  if (name == "sensor" ? (values.empty() || values.size() > 2) : values.size() != wanted) {
    return Usage("set " + name + ": wrong number of values");
  }
  const std::string& value = values[0];
  Outcome failure;
  const DeviceRecord device = session.WithRecord([](DeviceRecord& r) { return r; });
  // The tool does not poll between the steps of a chain.
  auto run = [&](int type) { return session.Run(type, false); };

  if (name == "damping") {
    NumberEntry entry;
    if (!CheckNumber(value, 0.5, 30.0, true, "damping", entry, failure)) return failure;
    session.WithRecord([&](DeviceRecord& r) { r.dampingText = entry.valueText; });
    if (HartResult r = run(RequestWriteDamping); r != ResultOk) return Failed(r, "damping");
    return Done(session.WithRecord([](DeviceRecord& r) { return FormatRange(r.damping); }) + " s");
  }

  if (name == "range") {
    const double usl = std::stod(FormatPrintf("%.3f", device.upperSensorLimit));
    const double lsl = std::stod(FormatPrintf("%.3f", device.lowerSensorLimit));
    const double span = std::stod(FormatPrintf("%.3f", device.minimumSpan));
    NumberEntry upper, lower;
    if (!CheckNumber(values[0], lsl, usl, false, "upper range", upper, failure)) return failure;
    if (!CheckNumber(values[1], lsl, usl, false, "lower range", lower, failure)) return failure;
    if (std::abs(upper.value - lower.value) < span) {
      return Usage("the span is smaller than the minimum span " + FormatPrintf("%.2f", span) + " " +
                   NameOf(t.PvUnitNames(), t.PvUnitCodes(), device.pvUnit));
    }
    session.WithRecord([&](DeviceRecord& r) {
      r.upperRangeText = upper.enteredText;
      r.lowerRangeText = lower.enteredText;
      r.requestUnit = r.pvUnit;
    });
    if (HartResult r = run(RequestWriteRange); r != ResultOk) return Failed(r, "range");
    return Done(session.WithRecord([&](DeviceRecord& r) {
      return FormatRange(r.upperRangeValue) + " " + FormatRange(r.lowerRangeValue) + " " +
             NameOf(t.PvUnitNames(), t.PvUnitCodes(), r.pvUnit);
    }));
  }

  if (name == "pv-unit") {
    const int sensorIndex = CglobalFile::IndexOfCode(t.SensorTypeCodes(), device.sensorType);
    const UnitFamily family = CglobalFile::FamilyOfSensorIndex(sensorIndex);
    const int code = CodeOfName(t.FamilyNames(family), t.FamilyCodes(family), value);
    if (code < 0) {
      return Usage("unit \"" + value + "\" does not suit the sensor; choose one of " +
                   JoinNames(t.FamilyNames(family)));
    }
    session.WithRecord([&](DeviceRecord& r) { r.requestUnit = static_cast<std::int16_t>(code); });
    if (HartResult r = run(RequestWritePvUnit); r != ResultOk) return Failed(r, "pv-unit");
    if (HartResult r = run(RequestReadAfterUnit); r != ResultOk) return Failed(r, "pv-unit");
    return Done(session.WithRecord([&](DeviceRecord& r) {
      const std::string unit = NameOf(t.PvUnitNames(), t.PvUnitCodes(), r.pvUnit);
      return unit + " (range " + FormatRange(r.upperRangeValue) + " " +
             FormatRange(r.lowerRangeValue) + " " + unit + ")";
    }));
  }

  if (name == "sensor") {
    const int index = CglobalFile::IndexOfName(t.SensorTypeNames(), value);
    if (index < 0) {
      return Usage("unknown sensor type \"" + value + "\"; choose one of " +
                   JoinNames(t.SensorTypeNames()));
    }
    const int code = std::stoi(t.SensorTypeCodes()[static_cast<std::size_t>(index)]);
    int wires = CglobalFile::FixedWiringOfSensorIndex(index);
    if (wires == 0) {
      if (values.size() < 2) {
        return Usage("sensor \"" + value + "\" needs its wiring: " + JoinNames(t.WiringNames()));
      }
      wires = CodeOfName(t.WiringNames(), t.WiringCodes(), values[1]);
      if (wires < 0) {
        return Usage("unknown wiring \"" + values[1] + "\"; choose one of " +
                     JoinNames(t.WiringNames()));
      }
    } else if (values.size() > 1) {
      return Usage("sensor \"" + value + "\" has a fixed wiring");
    }
    session.WithRecord([&](DeviceRecord& r) {
      r.requestSensorType = static_cast<std::int16_t>(code);
      r.requestSensorWires = static_cast<std::int16_t>(wires);
    });
    constexpr int CustomRtdCode = 93;
    constexpr int CustomTcCode = 146;
    if (code == CustomRtdCode || code == CustomTcCode) {
      const int header = code == CustomRtdCode ? RequestReadRtdHeader : RequestReadTcHeader;
      if (HartResult r = run(header); r != ResultOk) return Failed(r, "sensor");
      if (session.WithRecord([](DeviceRecord& r) { return r.customTableState; }) != 0) {
        return Outcome{ExitRefused,
                       std::string("the custom ") + (code == CustomRtdCode ? "RTD" : "TC") +
                           " table is not defined in the device",
                       {}};
      }
    }
    if (HartResult r = run(RequestWriteSensor); r != ResultOk) return Failed(r, "sensor");
    if (HartResult r = run(RequestReadSensorInfo); r != ResultOk) return Failed(r, "sensor");
    return Done(session.WithRecord([&](DeviceRecord& r) {
      return NameOf(t.SensorTypeNames(), t.SensorTypeCodes(), r.sensorType) + ", " +
             NameOf(t.WiringNames(), t.WiringCodes(), r.sensorWires);
    }));
  }

  // The settings chosen from one code table.
  struct Choice {
    const char* name;
    const StringTable& names;
    const StringTable& codes;
    int request;
    std::int16_t DeviceRecord::*requestField;
    std::int16_t DeviceRecord::*deviceField;
  };
  const Choice choices[] = {
      {"burnout", t.BurnoutNames(), t.BurnoutCodes(), RequestWriteBurnout,
       &DeviceRecord::requestBurnout, &DeviceRecord::burnout},
      {"cjc", t.CjcModeNames(), t.CjcModeCodes(), RequestWriteCjc, &DeviceRecord::requestCjcMode,
       &DeviceRecord::cjcMode},
      {"transfer-function", t.TransferFunctionNames(), t.TransferFunctionCodes(),
       RequestWriteTransfer, &DeviceRecord::requestTransferFunction,
       &DeviceRecord::transferFunction},
      {"term-unit", t.TerminalUnitNames(), t.TerminalUnitCodes(), RequestWriteTermUnit,
       &DeviceRecord::requestTerminalUnit, &DeviceRecord::terminalUnit},
  };
  for (const Choice& c : choices) {
    if (name != c.name) continue;
    const int code = CodeOfName(c.names, c.codes, value);
    if (code < 0) {
      return Usage("unknown " + name + " \"" + value + "\"; choose one of " + JoinNames(c.names));
    }
    session.WithRecord(
        [&](DeviceRecord& r) { r.*c.requestField = static_cast<std::int16_t>(code); });
    constexpr int SpecialCurveCode = 4;
    if (c.request == RequestWriteTransfer && code == SpecialCurveCode) {
      if (HartResult r = run(RequestReadCurveHeader); r != ResultOk) return Failed(r, name);
      if (session.WithRecord([](DeviceRecord& r) { return r.specialCurveState; }) != 0) {
        return Outcome{ExitRefused, "the special curve is not defined in the device", {}};
      }
    }
    if (HartResult r = run(c.request); r != ResultOk) return Failed(r, name);
    return Done(session.WithRecord(
        [&](DeviceRecord& r) { return NameOf(c.names, c.codes, r.*c.deviceField); }));
  }

  const bool tq5r = device.modelName == "TQ5R";
  if (name == "serial-number" || name == "final-assembly") {
    long number = 0;
    if (!CheckInteger(value, MaxSerialNumber, name, number, failure)) return failure;
    const bool serial = name == "serial-number";
    if (!serial && !tq5r) {
      return Outcome{
          ExitRefused, "model \"" + device.modelName + "\" has no final assembly number", {}};
    }
    session.WithRecord([&](DeviceRecord& r) {
      (serial ? r.requestSerialNumber : r.requestFinalAssemblyNumber) =
          static_cast<std::uint32_t>(number);
    });
    if (HartResult r = run(serial ? RequestWriteSerial : RequestWriteFinalAssembly);
        r != ResultOk) {
      return Failed(r, name);
    }
    return Done(session.WithRecord([&](DeviceRecord& r) {
      return FormatInteger(
          static_cast<long>(serial ? r.sensorSerialNumber : r.finalAssemblyNumber));
    }));
  }

  if (name == "tag" || name == "descriptor") {
    if (!tq5r)
      return Outcome{ExitRefused, "model \"" + device.modelName + "\" has no writable tag", {}};
    std::string tag, descriptor;
    const bool isTag = name == "tag";
    if (!PackedText(isTag ? value : TrimEntryText(device.tag), TagLength, "tag", tag, failure) ||
        !PackedText(isTag ? TrimEntryText(device.descriptor) : value, DescriptorLength,
                    "descriptor", descriptor, failure)) {
      return failure;
    }
    session.WithRecord([&](DeviceRecord& r) {
      r.requestTag = tag;
      r.requestDescriptor = descriptor;
      r.requestDate = TodayText();
    });
    if (HartResult r = run(RequestWriteTag); r != ResultOk) return Failed(r, name);
    return Done(session.WithRecord([&](DeviceRecord& r) {
      return TrimEntryText(isTag ? r.tag : r.descriptor) + " (date " + r.dateText + ")";
    }));
  }

  if (name == "message") {
    std::string message;
    if (!PackedText(value, MessageLength, "message", message, failure)) return failure;
    session.WithRecord([&](DeviceRecord& r) { r.requestMessage = message; });
    if (HartResult r = run(RequestWriteMessage); r != ResultOk) return Failed(r, name);
    return Done(session.WithRecord([](DeviceRecord& r) { return TrimEntryText(r.message); }));
  }

  if (name == "polling-address") {
    long address = 0;
    if (!CheckInteger(value, 15, name, address, failure)) return failure;
    if (!tq5r) {
      return Outcome{
          ExitRefused, "model \"" + device.modelName + "\" cannot change its address", {}};
    }
    session.WithRecord(
        [&](DeviceRecord& r) { r.requestPollingAddress = static_cast<std::int16_t>(address); });
    if (HartResult r = run(RequestWritePollingAddress); r != ResultOk) return Failed(r, name);
    return Done(
        session.WithRecord([](DeviceRecord& r) { return std::to_string(r.pollingAddress); }));
  }

  return Usage("unknown setting \"" + name + "\"");
}

}  // namespace va5::cli
