#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "device/DeviceRecord.h"
#include "device/GlobalFile.h"

namespace va5 {

// What the last configuration file read held (every field is text, as the file has it).
// Numbers with a unit in the file (ranges, damping, zero point and value) are kept without
// the unit.
struct ConfigurationRecord {
  std::string tag;
  std::string descriptor;
  std::string message;
  std::string date;
  std::string deviceType;
  std::string deviceIdentification;
  std::string sensorType;
  std::string sensorWires;
  std::string sensorUnit;
  std::string upperRange;
  std::string lowerRange;
  std::string damping;
  std::string burnout;
  std::string transferFunction;
  std::string sensorSerialNumber;
  std::string terminalUnit;
  std::string cjcMode;
  std::string zeroPoint;
  std::string zeroValue;
  std::string spanGain;
  std::string preambles;
  std::string universalRevision;
  std::string specificRevision;
  std::string hardwareRevision;
  std::string firmwareRevision;
  std::string finalAssemblyNumber;
  std::string path;  // the last file chosen
};

// The texts of the editor's "File Configuration" column, as they are written to the file.
struct ConfigurationValues {
  std::string tag;
  std::string descriptor;
  std::string date;
  std::string message;
  std::string deviceIdentification;
  std::string sensorType;
  std::string sensorWires;
  std::string pvUnit;
  std::string upperRange;
  std::string lowerRange;
  std::string damping;
  std::string dampingUnit = "Sec";
  std::string burnout;
  std::string transferFunction;
  std::string terminalUnit;
  std::string cjcMode;
  std::string sensorSerialNumber;
  std::string finalAssemblyNumber;
};

inline constexpr std::size_t ConfigurationLineCount = 32;

// Reads and writes configuration files: 32 lines of a key padded to 24 characters, "= " and a
// value, with bracketed section lines. Values the editor does not show (device type, sensor
// trim, versions) are carried over from the last file read.
class CFilePropertyReadWrite {
 public:
  ConfigurationRecord& Record() { return record_; }
  const ConfigurationRecord& Record() const { return record_; }

  // The 32 lines of a file: the template, the column values, then the carried-over values.
  std::vector<std::string> BuildLines(const ConfigurationValues& values) const;

  // Writes each line with a text-mode line break. The lines go to a temporary file beside
  // `path`, which replaces `path` only once all of it has been written and flushed, so a
  // failed or interrupted write leaves the previous file as it was. False, with LastError
  // saying why, when the file cannot be created, written or put in place, or when `path` is
  // a read-only file.
  bool Write(const std::string& path, const std::vector<std::string>& lines);

  // Fills the record from `path`: keys are matched exactly, unknown keys and lines without "="
  // are ignored, a key that occurs again wins; a UTF-8 byte-order mark before the first line
  // is skipped, a damping without its unit is the number, and a range given in another
  // temperature unit than the PV unit is converted to the PV unit. True when the file was
  // read to its end; false when it cannot be opened (no message), when it holds none of the
  // keys (not a configuration file) or a range that cannot be converted (LastError says so,
  // the record is untouched), or when a read error occurs (LastError says why; the record
  // keeps what was read before the error).
  bool Read(const std::string& path);

  const std::string& LastError() const { return lastError_; }

 private:
  ConfigurationRecord record_;
  std::string lastError_;
};

// The template line of one of the 32 lines: a section line, or a padded key and "= ".
std::string ConfigurationTemplateLine(std::size_t index);

// The column texts of a device configuration: names from the code tables for codes (the
// decimal code when a table has no name for it), ranges and damping "%4.3f", serial and final
// assembly numbers "%d", texts without surrounding blanks.
ConfigurationValues ConfigurationValuesFromDevice(const DeviceRecord& device,
                                                  const CglobalFile& tables);

// Sets the values a file carries but the editor does not show from a device's identity: device
// type, identification, preambles and the revisions. The sensor trim's zero point, zero value
// and gain ("%.6f") are taken only when `trimReadFromThisDevice` says that the record's trim
// data were read from this very device; otherwise the carried trim values stay as they are
// (the record keeps the last trim read, whichever device it came from).
void SetCarriedFromDevice(ConfigurationRecord& record, const DeviceRecord& device,
                          bool trimReadFromThisDevice = false);

// The "File Configuration" column as the last file read left it (the PV unit from the record's
// sensor unit).
ConfigurationValues ConfigurationValuesFromRecord(const ConfigurationRecord& record);

// One shown value of a configuration: its key in the file and its place in the values.
struct ConfigurationField {
  const char* key;
  std::string ConfigurationValues::*value;
  bool number = false;  // a number: "5" and "5.000" are the same value
};
// The values of the file column and the device column in the order of the file, without the
// damping unit (a window text, not a value).
const std::vector<ConfigurationField>& ConfigurationFields();

// Whether two texts of `field` hold the same value: numbers are compared as numbers, all else
// as text.
bool SameFieldValue(const ConfigurationField& field, const std::string& a, const std::string& b);

// ---- temperature units ------------------------------------------------------------------

// A temperature converted through degrees Celsius between units given by their places in the
// temperature unit table (0 degC, 1 degF, 2 degR, 3 Kelvin). Nothing for a place outside the
// table.
std::optional<double> ConvertTemperature(double value, int fromIndex, int toIndex);

// The upper and lower range texts converted from one temperature unit name to another and
// formatted "%4.3f". Nothing (convert nothing) unless both units are in the temperature unit
// table and both texts read as numbers.
std::optional<std::pair<std::string, std::string>> ConvertRangeTexts(const CglobalFile& tables,
                                                                     const std::string& fromUnit,
                                                                     const std::string& toUnit,
                                                                     const std::string& upper,
                                                                     const std::string& lower);

}  // namespace va5
