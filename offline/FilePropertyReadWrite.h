#pragma once

#include <string>
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

  // Creates or truncates `path` and writes each line with a text-mode line break. False when
  // the file cannot be created or written (LastError says why).
  bool Write(const std::string& path, const std::vector<std::string>& lines);

  // Fills the record from `path`: keys are matched exactly, unknown keys and lines without "="
  // are ignored, a key that occurs again wins. True when the file was read to its end; false
  // when it cannot be opened (no message) or a read error occurs (LastError says why; the
  // record keeps what was read before the error).
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
// type, identification, preambles and the revisions.
void SetCarriedFromDevice(ConfigurationRecord& record, const DeviceRecord& device);

}  // namespace va5
