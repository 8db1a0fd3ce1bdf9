#include "offline/FilePropertyReadWrite.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "base/NumberText.h"
#include "base/Text.h"

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

namespace {

std::string SystemText(int error) { return error != 0 ? std::strerror(error) : "unknown error"; }

// Creates a file that did not exist beside `path` ("path.tmp", "path.tmp1", ...), so that no
// file of the user's is overwritten; null with the error text when none can be created.
std::FILE* CreateTemporary(const std::string& path, std::string& name, std::string& error) {
  for (int n = 0; n < 100; ++n) {
    name = path + ".tmp" + (n == 0 ? std::string() : std::to_string(n));
    errno = 0;
    // "x": fails when the file exists; text mode writes CR LF on Windows.
    if (std::FILE* file = std::fopen(name.c_str(), "wx")) return file;
    if (errno != EEXIST) break;
  }
  error = "cannot create " + name + ": " + SystemText(errno);
  return nullptr;
}

// Writes the lines to a new file and makes sure they reached the disk; the error text on
// failure (the file is then closed, and may be incomplete).
std::string WriteNewFile(std::FILE* file, const std::string& path,
                         const std::vector<std::string>& lines) {
  int error = 0;
  for (const std::string& line : lines) {
    // fwrite, not fputs: a value read from a file may hold a NUL byte, and must not be cut.
    if (std::fwrite(line.data(), 1, line.size(), file) != line.size() ||
        std::fputc('\n', file) == EOF) {
      error = errno != 0 ? errno : EIO;
      break;
    }
  }
  if (error == 0 && std::fflush(file) != 0) error = errno != 0 ? errno : EIO;
#ifdef _WIN32
  if (error == 0 && ::_commit(::_fileno(file)) != 0) error = errno;
#else
  if (error == 0 && ::fsync(::fileno(file)) != 0) error = errno;
#endif
  if (std::fclose(file) != 0 && error == 0) error = errno != 0 ? errno : EIO;
  if (error != 0) return "error while writing " + path + ": " + SystemText(error);
  return {};
}

}  // namespace

bool CFilePropertyReadWrite::Write(const std::string& path, const std::vector<std::string>& lines) {
  namespace fs = std::filesystem;
  lastError_.clear();
  std::error_code ec;
  const fs::path target(path);
  const fs::file_status status = fs::status(target, ec);
  if (fs::exists(status)) {
    if (fs::is_directory(status)) {
      lastError_ = "cannot write " + path + ": it is a folder";
      return false;
    }
    // Renaming over a read-only file would succeed where opening it for writing does not.
    if ((status.permissions() & fs::perms::owner_write) == fs::perms::none) {
      lastError_ = "cannot write " + path + ": the file is read-only";
      return false;
    }
  }
  // Beside the target, so that the rename stays on one file system.
  std::string temporary;
  std::FILE* file = CreateTemporary(path, temporary, lastError_);
  if (file == nullptr) return false;
  if (std::string error = WriteNewFile(file, temporary, lines); !error.empty()) {
    fs::remove(temporary, ec);
    lastError_ = std::move(error);
    return false;
  }
  ec.clear();  // fs::status above leaves "no such file" for a new target
#ifdef _WIN32
  if (!::MoveFileExW(fs::path(temporary).wstring().c_str(), target.wstring().c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ec = std::error_code(static_cast<int>(::GetLastError()), std::system_category());
  }
#else
  fs::rename(temporary, target, ec);
#endif
  if (ec) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    lastError_ = "cannot replace " + path + ": " + ec.message();
    return false;
  }
  record_.path = path;
  return true;
}

bool CFilePropertyReadWrite::Read(const std::string& path) {
  lastError_.clear();
  std::ifstream in(path);
  if (!in) return false;
  record_.path = path;
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = Trim(std::string_view(line).substr(0, equals));
    const std::string value = Trim(std::string_view(line).substr(equals + 1));
    for (const KeyField& k : Keys) {
      if (k.key != key) continue;
      record_.*k.field = k.kind == Kind::Number ? NumberWithoutUnit(value) : value;
      break;
    }
  }
  if (in.bad()) {
    lastError_ = "error while reading " + path;
    return false;
  }
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
      {"PV Upper Range", &V::upperRange},
      {"PV Lower Range", &V::lowerRange},
      {"PV Damping", &V::damping},
      {"Burnout Detection", &V::burnout},
      {"Transfer Function", &V::transferFunction},
      {"Term Temperature Unit", &V::terminalUnit},
      {"CJC Mode Switch", &V::cjcMode},
      {"Sensor Serial No", &V::sensorSerialNumber},
      {"Final Assembly Number", &V::finalAssemblyNumber},
  };
  return fields;
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
