#include "offline/FilePropertyReadWrite.h"

#include <array>
#include <fstream>
#include <string_view>

#include "base/AtomicFile.h"
#include "base/NumberText.h"
#include "base/Text.h"
#include "base/Utf8Path.h"

namespace va5 {

namespace {

constexpr std::size_t KeyWidth = 24;

// The layout: a section title in brackets, or a key.
constexpr std::array<std::string_view, ConfigurationLineCount> Layout{"[Device Information]",
                                                                      "Tag",
                                                                      "Descriptor",
                                                                      "Date",
                                                                      "Message",
                                                                      "Device Type",
                                                                      "Device Identification",
                                                                      "[PV Input Sensor]",
                                                                      "Sensor Type",
                                                                      "Sensor Wires",
                                                                      "Sensor Unit",
                                                                      "PV Upper Range",
                                                                      "PV Lower Range",
                                                                      "PV Damping",
                                                                      "Burnout Detection",
                                                                      "Transfer Function",
                                                                      "[CJC & Term Sensor]",
                                                                      "Term Temperature Unit",
                                                                      "CJC Mode Switch",
                                                                      "[PV Sensor Information]",
                                                                      "Sensor Serial No",
                                                                      "PV Snsr Cal. Unit",
                                                                      "PV Snsr Zero Point",
                                                                      "PV Snsr Zero Value",
                                                                      "PV Snsr Span Gain",
                                                                      "[Device Version]",
                                                                      "Number of Preambles",
                                                                      "Universal Cmd Revision",
                                                                      "Transmitter Spec Rev",
                                                                      "Hardware Revision",
                                                                      "Firmware Revision",
                                                                      "Final Assembly Number"};

enum class Kind { Text, Number };

struct KeyField {
  std::string_view key;
  std::string ConfigurationRecord::*field;
  Kind kind;
};

const std::array<KeyField, 27> Keys{{
    {"Tag", &ConfigurationRecord::tag, Kind::Text},
    {"Descriptor", &ConfigurationRecord::descriptor, Kind::Text},
    {"Message", &ConfigurationRecord::message, Kind::Text},
    {"Date", &ConfigurationRecord::date, Kind::Text},
    {"Device Type", &ConfigurationRecord::deviceType, Kind::Text},
    {"Device Identification", &ConfigurationRecord::deviceIdentification, Kind::Text},
    {"Sensor Type", &ConfigurationRecord::sensorType, Kind::Text},
    {"Sensor Wires", &ConfigurationRecord::sensorWires, Kind::Text},
    {"Sensor Unit", &ConfigurationRecord::sensorUnit, Kind::Text},
    {"PV Snsr Cal. Unit", &ConfigurationRecord::sensorUnit, Kind::Text},
    {"PV Upper Range", &ConfigurationRecord::upperRange, Kind::Number},
    {"PV Lower Range", &ConfigurationRecord::lowerRange, Kind::Number},
    {"PV Damping", &ConfigurationRecord::damping, Kind::Number},
    {"Burnout Detection", &ConfigurationRecord::burnout, Kind::Text},
    {"Transfer Function", &ConfigurationRecord::transferFunction, Kind::Text},
    {"Sensor Serial No", &ConfigurationRecord::sensorSerialNumber, Kind::Text},
    {"Term Temperature Unit", &ConfigurationRecord::terminalUnit, Kind::Text},
    {"CJC Mode Switch", &ConfigurationRecord::cjcMode, Kind::Text},
    {"PV Snsr Zero Point", &ConfigurationRecord::zeroPoint, Kind::Number},
    {"PV Snsr Zero Value", &ConfigurationRecord::zeroValue, Kind::Number},
    {"PV Snsr Span Gain", &ConfigurationRecord::spanGain, Kind::Text},
    {"Number of Preambles", &ConfigurationRecord::preambles, Kind::Text},
    {"Universal Cmd Revision", &ConfigurationRecord::universalRevision, Kind::Text},
    {"Transmitter Spec Rev", &ConfigurationRecord::specificRevision, Kind::Text},
    {"Hardware Revision", &ConfigurationRecord::hardwareRevision, Kind::Text},
    {"Firmware Revision", &ConfigurationRecord::firmwareRevision, Kind::Text},
    {"Final Assembly Number", &ConfigurationRecord::finalAssemblyNumber, Kind::Text},
}};

std::string Trim(std::string_view text) { return std::string(TrimWhiteSpace(text)); }

// The number of a "number unit" value; empty unless a second token follows the first.
std::string NumberWithoutUnit(std::string_view value) {
  auto isSeparator = [](char c) { return c == ' ' || c == '\t'; };
  std::size_t i = 0;
  while (i < value.size() && isSeparator(value[i])) ++i;
  const std::size_t firstBegin = i;
  while (i < value.size() && !isSeparator(value[i])) ++i;
  const std::size_t firstEnd = i;
  while (i < value.size() && isSeparator(value[i])) ++i;
  if (firstEnd == firstBegin || i == value.size()) return {};
  return std::string(value.substr(firstBegin, firstEnd - firstBegin));
}

std::string NameOf(const StringTable& names, const StringTable& codes, int code) {
  const int index = CglobalFile::IndexOfCode(codes, code);
  if (index < 0 || static_cast<std::size_t>(index) >= names.size()) return std::to_string(code);
  return names[static_cast<std::size_t>(index)];
}

std::string WithUnit(const std::string& number, const std::string& unit) {
  return number + " " + unit;
}

}  // namespace

std::string ConfigurationTemplateLine(std::size_t index) {
  const std::string_view entry = Layout.at(index);
  if (entry.front() == '[') return std::string(entry);
  std::string line(entry);
  line.resize(KeyWidth, ' ');
  return line + "= ";
}

std::vector<std::string> CFilePropertyReadWrite::BuildLines(const ConfigurationValues& v) const {
  std::vector<std::string> lines;
  lines.reserve(ConfigurationLineCount);
  for (std::size_t i = 0; i < ConfigurationLineCount; ++i) {
    lines.push_back(ConfigurationTemplateLine(i));
  }
  // The editor's column first ...
  lines[1] += v.tag;
  lines[2] += v.descriptor;
  lines[3] += v.date;
  lines[4] += v.message;
  lines[6] += v.deviceIdentification;
  lines[8] += v.sensorType;
  lines[9] += v.sensorWires;
  lines[10] += v.pvUnit;
  lines[11] += WithUnit(v.upperRange, v.pvUnit);
  lines[12] += WithUnit(v.lowerRange, v.pvUnit);
  lines[13] += WithUnit(v.damping, v.dampingUnit);
  lines[14] += v.burnout;
  lines[15] += v.transferFunction;
  lines[17] += v.terminalUnit;
  lines[18] += v.cjcMode;
  lines[20] += v.sensorSerialNumber;
  lines[21] += v.pvUnit;
  lines[31] += v.finalAssemblyNumber;
  // ... then what the last file read carried.
  const ConfigurationRecord& r = record_;
  lines[5] += r.deviceType;
  lines[22] += WithUnit(r.zeroPoint, v.pvUnit);
  lines[23] += WithUnit(r.zeroValue, v.pvUnit);
  lines[24] += r.spanGain;
  lines[26] += r.preambles;
  lines[27] += r.universalRevision;
  lines[28] += r.specificRevision;
  lines[29] += r.hardwareRevision;
  lines[30] += r.firmwareRevision;
  return lines;
}

bool CFilePropertyReadWrite::Write(const std::string& path, const std::vector<std::string>& lines) {
  lastError_.clear();
  // The line break of the platform's text files (the file is written byte for byte).
#ifdef _WIN32
  constexpr std::string_view LineBreak = "\r\n";
#else
  constexpr std::string_view LineBreak = "\n";
#endif
  std::string content;
  for (const std::string& line : lines) {
    content += line;  // a value read from a file may hold a NUL byte, and is not cut there
    content += LineBreak;
  }
  if (auto error = WriteFileAtomically(path, content)) {
    lastError_ = std::move(*error);
    return false;
  }
  record_.path = path;
  return true;
}

namespace {

// The unit after the number of a "number unit" value; empty when there is none.
std::string UnitOf(std::string_view value) {
  value = TrimWhiteSpace(value);
  const std::size_t gap = value.find_first_of(" \t");
  return gap == std::string_view::npos ? std::string() : Trim(value.substr(gap));
}

// A range given in another temperature unit than the file's PV unit, converted to it; an
// error text when it cannot be (a unit that is no temperature unit, a value that is no
// number), so that no range is ever taken in the wrong unit.
std::string ConvertRangeToPvUnit(const char* key, std::string& value, const std::string& unit,
                                 const std::string& pvUnit) {
  if (unit.empty() || pvUnit.empty() || unit == pvUnit || value.empty()) return {};
  static const CglobalFile tables;
  const int from = CglobalFile::IndexOfName(tables.TemperatureUnitNames(), unit);
  const int to = CglobalFile::IndexOfName(tables.TemperatureUnitNames(), pvUnit);
  const auto number = ParseDecimal(value);
  if (from >= 0 && to >= 0 && number) {
    value = FormatRange(*ConvertTemperature(*number, from, to));
    return {};
  }
  return std::string(key) + " is given in " + unit + ", but the file's PV unit is " + pvUnit +
         ", and the value cannot be converted to it";
}

}  // namespace

bool CFilePropertyReadWrite::Read(const std::string& path) {
  lastError_.clear();
  std::ifstream in(Utf8Path(path));
  if (!in) return false;
  // What the file holds is taken only once it has turned out to be a configuration file.
  ConfigurationRecord read = record_;
  read.path = path;
  std::string upperUnit, lowerUnit;
  int keys = 0;
  std::string line;
  for (bool first = true; std::getline(in, line); first = false) {
    if (first && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);  // UTF-8 byte-order mark
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = Trim(std::string_view(line).substr(0, equals));
    const std::string value = Trim(std::string_view(line).substr(equals + 1));
    for (const KeyField& k : Keys) {
      if (k.key != key) continue;
      ++keys;
      std::string& field = read.*k.field;
      field = k.kind == Kind::Number ? NumberWithoutUnit(value) : value;
      // The damping unit is a window text that differs between languages: a damping without
      // it is still the number.
      if (k.field == &ConfigurationRecord::damping && field.empty() && ParseDecimal(value)) {
        field = value;
      }
      if (k.field == &ConfigurationRecord::upperRange) upperUnit = UnitOf(value);
      if (k.field == &ConfigurationRecord::lowerRange) lowerUnit = UnitOf(value);
      break;
    }
  }
  if (in.bad()) {
    record_ = std::move(read);
    lastError_ = "error while reading " + path;
    return false;
  }
  if (keys == 0) {
    lastError_ = path + " is not a configuration file: it holds none of its keys";
    return false;
  }
  for (const std::string& error :
       {ConvertRangeToPvUnit("PV Upper Range", read.upperRange, upperUnit, read.sensorUnit),
        ConvertRangeToPvUnit("PV Lower Range", read.lowerRange, lowerUnit, read.sensorUnit)}) {
    if (!error.empty()) {
      lastError_ = path + ": " + error;
      return false;
    }
  }
  record_ = std::move(read);
  return true;
}

ConfigurationValues ConfigurationValuesFromDevice(const DeviceRecord& d, const CglobalFile& t) {
  ConfigurationValues v;
  v.tag = Trim(d.tag);
  v.descriptor = Trim(d.descriptor);
  v.date = Trim(d.dateText);
  v.message = Trim(d.message);
  v.deviceIdentification = Trim(d.deviceIdText);
  v.sensorType = NameOf(t.SensorTypeNames(), t.SensorTypeCodes(), d.sensorType);
  v.sensorWires = NameOf(t.WiringNames(), t.WiringCodes(), d.sensorWires);
  v.pvUnit = NameOf(t.PvUnitNames(), t.PvUnitCodes(), d.pvUnit);
  v.upperRange = FormatRange(d.upperRangeValue);
  v.lowerRange = FormatRange(d.lowerRangeValue);
  v.damping = FormatRange(d.damping);
  v.burnout = NameOf(t.BurnoutNames(), t.BurnoutCodes(), d.burnout);
  v.transferFunction =
      NameOf(t.TransferFunctionNames(), t.TransferFunctionCodes(), d.transferFunction);
  v.terminalUnit = NameOf(t.TerminalUnitNames(), t.TerminalUnitCodes(), d.terminalUnit);
  v.cjcMode = NameOf(t.CjcModeNames(), t.CjcModeCodes(), d.cjcMode);
  v.sensorSerialNumber = FormatInteger(static_cast<long>(d.sensorSerialNumber));
  v.finalAssemblyNumber = FormatInteger(static_cast<long>(d.finalAssemblyNumber));
  return v;
}

void SetCarriedFromDevice(ConfigurationRecord& record, const DeviceRecord& device,
                          bool trimReadFromThisDevice) {
  record.deviceType = device.modelName;
  record.deviceIdentification = device.deviceIdText;
  record.preambles = device.preamblesText;
  record.universalRevision = device.universalRevisionText;
  record.specificRevision = device.specificRevisionText;
  record.hardwareRevision = device.hardwareRevisionText;
  record.firmwareRevision = device.softwareRevisionText;
  if (trimReadFromThisDevice) {
    record.zeroPoint = FormatFixed(device.sensorTrimZeroPoint, 6);
    record.zeroValue = FormatFixed(device.sensorTrimZeroValue, 6);
    record.spanGain = FormatFixed(device.sensorTrimGain, 6);
  }
}

ConfigurationValues ConfigurationValuesFromRecord(const ConfigurationRecord& r) {
  ConfigurationValues v;
  v.tag = r.tag;
  v.descriptor = r.descriptor;
  v.date = r.date;
  v.message = r.message;
  v.deviceIdentification = r.deviceIdentification;
  v.sensorType = r.sensorType;
  v.sensorWires = r.sensorWires;
  v.pvUnit = r.sensorUnit;
  v.upperRange = r.upperRange;
  v.lowerRange = r.lowerRange;
  v.damping = r.damping;
  v.burnout = r.burnout;
  v.transferFunction = r.transferFunction;
  v.terminalUnit = r.terminalUnit;
  v.cjcMode = r.cjcMode;
  v.sensorSerialNumber = r.sensorSerialNumber;
  v.finalAssemblyNumber = r.finalAssemblyNumber;
  return v;
}

const std::vector<ConfigurationField>& ConfigurationFields() {
  using V = ConfigurationValues;
  static const std::vector<ConfigurationField> fields{
      {"Tag", &V::tag},
      {"Descriptor", &V::descriptor},
      {"Date", &V::date},
      {"Message", &V::message},
      {"Device Identification", &V::deviceIdentification},
      {"Sensor Type", &V::sensorType},
      {"Sensor Wires", &V::sensorWires},
      {"Sensor Unit", &V::pvUnit},
      {"PV Upper Range", &V::upperRange, true},
      {"PV Lower Range", &V::lowerRange, true},
      {"PV Damping", &V::damping, true},
      {"Burnout Detection", &V::burnout},
      {"Transfer Function", &V::transferFunction},
      {"Term Temperature Unit", &V::terminalUnit},
      {"CJC Mode Switch", &V::cjcMode},
      {"Sensor Serial No", &V::sensorSerialNumber, true},
      {"Final Assembly Number", &V::finalAssemblyNumber, true},
  };
  return fields;
}

bool SameFieldValue(const ConfigurationField& field, const std::string& a, const std::string& b) {
  if (a == b) return true;
  if (!field.number) return false;
  const auto x = ParseDecimal(a);
  const auto y = ParseDecimal(b);
  return x && y && *x == *y;
}

std::optional<double> ConvertTemperature(double value, int fromIndex, int toIndex) {
  constexpr double Zero = 273.15;
  double celsius = 0;
  switch (fromIndex) {
    case 0:
      celsius = value;
      break;
    case 1:
      celsius = (value - 32) * 5 / 9;
      break;
    case 2:
      celsius = value * 5 / 9 - Zero;
      break;
    case 3:
      celsius = value - Zero;
      break;
    default:
      return std::nullopt;
  }
  switch (toIndex) {
    case 0:
      return celsius;
    case 1:
      return celsius * 9 / 5 + 32;
    case 2:
      return (celsius + Zero) * 9 / 5;
    case 3:
      return celsius + Zero;
    default:
      return std::nullopt;
  }
}

std::optional<std::pair<std::string, std::string>> ConvertRangeTexts(const CglobalFile& tables,
                                                                     const std::string& fromUnit,
                                                                     const std::string& toUnit,
                                                                     const std::string& upper,
                                                                     const std::string& lower) {
  const int from = CglobalFile::IndexOfName(tables.TemperatureUnitNames(), fromUnit);
  const int to = CglobalFile::IndexOfName(tables.TemperatureUnitNames(), toUnit);
  const auto upperValue = ParseDecimal(upper);
  const auto lowerValue = ParseDecimal(lower);
  if (from < 0 || to < 0 || !upperValue || !lowerValue) return std::nullopt;
  return std::pair{FormatRange(*ConvertTemperature(*upperValue, from, to)),
                   FormatRange(*ConvertTemperature(*lowerValue, from, to))};
}

}  // namespace va5
