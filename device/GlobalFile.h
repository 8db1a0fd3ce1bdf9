#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace va5 {

using StringTable = std::vector<std::string>;

// Sensor index ranges of the sensor type table.
inline constexpr int SensorIndexOhm = 0;
inline constexpr int SensorIndexLastResistance = 14;  // 0..14: OHM and RTDs, wiring chosen
inline constexpr int SensorIndexMillivolt = 15;
inline constexpr int SensorIndexFirstPot = 30;  // 30..35: potentiometers, wiring 3
inline constexpr int SensorIndexLastPot = 35;

// Sensor type codes whose curve is the device's custom table: writing that table is refused
// while the device measures with it, and selecting them needs the table in the device.
inline constexpr int CustomRtdSensorCode = 93;
inline constexpr int CustomTcSensorCode = 146;
// The transfer function code of the special curve (likewise the device's own table).
inline constexpr int SpecialCurveTransferCode = 4;

enum class UnitFamily { Temperature, Ohm, Millivolt, Percent };

// The code-to-name tables: immutable, identical in every instance. Names are the fixed English
// display names (not translated); codes are decimal texts compared as integers.
class CglobalFile {
 public:
  CglobalFile();

  const StringTable& SensorTypeNames() const;
  const StringTable& SensorTypeCodes() const;
  const StringTable& SensorDefaultUnits() const;  // offline defaults, per sensor index
  const StringTable& SensorDefaultLower() const;
  const StringTable& SensorDefaultUpper() const;
  const StringTable& WiringNames() const;
  const StringTable& WiringCodes() const;
  const StringTable& PvUnitNames() const;  // all PV units
  const StringTable& PvUnitCodes() const;
  const StringTable& TemperatureUnitNames() const;  // family tables
  const StringTable& TemperatureUnitCodes() const;
  const StringTable& OhmUnitNames() const;
  const StringTable& OhmUnitCodes() const;
  const StringTable& MillivoltUnitNames() const;
  const StringTable& MillivoltUnitCodes() const;
  const StringTable& PercentUnitNames() const;
  const StringTable& PercentUnitCodes() const;
  const StringTable& TerminalUnitNames() const;
  const StringTable& TerminalUnitCodes() const;
  const StringTable& OutputUnitNames() const;
  const StringTable& OutputUnitCodes() const;
  const StringTable& BurnoutNames() const;
  const StringTable& BurnoutCodes() const;
  const StringTable& TransferFunctionNames() const;
  const StringTable& TransferFunctionCodes() const;
  const StringTable& CjcModeNames() const;
  const StringTable& CjcModeCodes() const;

  // Comment header lines of the three table text files.
  const StringTable& CustomTcHeader() const;
  const StringTable& CustomRtdHeader() const;
  const StringTable& SpecialCurveHeader() const;

  // Position of the first entry whose code equals `code`, -1 when none.
  static int IndexOfCode(const StringTable& codes, int code);
  // Position of the first entry equal to `name` (exact, case-sensitive), -1 when none.
  static int IndexOfName(const StringTable& names, const std::string& name);
  // The name of a code; throws std::invalid_argument when the code is not in the table.
  static const std::string& NameOfCode(const StringTable& names, const StringTable& codes,
                                       int code);

  // Unit family and the names/codes it offers.
  static UnitFamily FamilyOfSensorIndex(int sensorIndex);
  const StringTable& FamilyNames(UnitFamily family) const;
  const StringTable& FamilyCodes(UnitFamily family) const;
  // Wiring code sent without asking (2 or 3), or 0 when the user chooses (index 0..14);
  // throws std::invalid_argument for an index outside the sensor type table.
  static int FixedWiringOfSensorIndex(int sensorIndex);
};

// Display formats.
// Fixed-point formats with '.' as decimal point whatever the locale; NaN and infinity come
// out as "nan", "inf" and "-inf".
std::string FormatRange(double v);  // "%4.3f": ranges, limits, damping
std::string FormatSpan(double v);   // "%2.2f": minimum span
std::string FormatInteger(long v);  // "%d": serial and final assembly numbers

}  // namespace va5
