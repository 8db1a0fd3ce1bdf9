#include "device/GlobalFile.h"

#include "base/NumberText.h"

#include <charconv>
#include <cstdio>
#include <string_view>
#include <system_error>

namespace va5 {

namespace {

// The tables are the same for every instance, so they are built once and shared.
struct Tables {
  StringTable sensorTypeNames{"OHM",           "Pt100",        "Pt200",         "Pt300",
                              "Pt400",         "Pt500",        "Pt1000",        "Pt50(JIS81)",
                              "JPt100(JIS89)", "Ni100",        "Ni120",         "Cu10@25",
                              "Ni508.4",       "NiFe604",      "Custom RTD",    "Millivolt",
                              "Type B",        "Type E",       "Type J",        "Type K",
                              "Type N",        "Type R",       "Type S",        "Type T",
                              "Type W5",       "Type U",       "Type L",        "Type P",
                              "Type PR",       "Custom TC",    "POT 4000 ohms", "POT 2500 ohms",
                              "POT 1200 ohms", "POT 600 ohms", "POT 300 ohms",  "POT 150 ohms"};
  StringTable sensorTypeCodes{"1",   "12",  "13",  "14",  "15",
                              "16",  "17",  "21",  "22",  "62",
                              "63",  "81",  "91",  "92",  std::to_string(CustomRtdSensorCode),
                              "129", "131", "134", "136", "137",
                              "138", "139", "140", "141", "132",
                              "143", "142", "144", "145", std::to_string(CustomTcSensorCode),
                              "240", "241", "242", "243", "244",
                              "245"};
  StringTable sensorDefaultUnits{"ohm",  "degC", "degC", "degC", "degC", "degC", "degC", "degC",
                                 "degC", "degC", "degC", "degC", "degC", "degC", "degC", "mV",
                                 "degC", "degC", "degC", "degC", "degC", "degC", "degC", "degC",
                                 "degC", "degC", "degC", "degC", "degC", "degC", "%",    "%",
                                 "%",    "%",    "%",    "%"};
  StringTable sensorDefaultLower{
      "0.000",    "-200.000", "-200.00",    "-200.000", "-200.000", "-200.000",
      "-200.000", "-200.000", "-200.000",   "-80.000",  "-80.000",  "-50.000",
      "-50.000",  "-200.000", "-99999.000", "-50.000",  "400.000",  "-170.000",
      "-180.000", "-150.000", "-130.000",   "200.000",  "0.000",    "-170.000",
      "0.000",    "-200.000", "-200.000",   "0.000",    "0.000",    "-99999.000",
      "0.000",    "0.000",    "0.000",      "0.000",    "0.000",    "0.000"};
  StringTable sensorDefaultUpper{
      "4000.000", "850.000",  "850.000",   "850.000",  "850.000",  "850.000",
      "850.000",  "649.000",  "510.000",   "260.000",  "260.000",  "250.000",
      "200.000",  "200.000",  "99999.000", "1000.000", "1760.000", "1000.000",
      "1200.000", "1370.000", "1300.000",  "1760.000", "1760.000", "400.000",
      "2315.000", "600.000",  "900.000",   "1395.000", "1760.000", "99999.000",
      "100.000",  "100.000",  "100.000",   "100.000",  "100.000",  "100.000"};
  StringTable wiringNames{"2 Wires", "3 Wires", "4 Wires"};
  StringTable wiringCodes{"2", "3", "4"};
  StringTable pvUnitNames{"degC", "degF", "degR", "Kelvin", "mV", "ohm", "mA", "%"};
  StringTable pvUnitCodes{"32", "33", "34", "35", "36", "37", "39", "57"};
  StringTable temperatureUnitNames{"degC", "degF", "degR", "Kelvin"};
  StringTable temperatureUnitCodes{"32", "33", "34", "35"};
  StringTable ohmUnitNames{"ohm"};
  StringTable ohmUnitCodes{"37"};
  StringTable millivoltUnitNames{"mV"};
  StringTable millivoltUnitCodes{"36"};
  StringTable percentUnitNames{"%"};
  StringTable percentUnitCodes{"57"};
  StringTable terminalUnitNames{"degC", "degF", "degR", "Kelvin"};
  StringTable terminalUnitCodes{"32", "33", "34", "35"};
  StringTable outputUnitNames{"mA", "mV", "V"};
  StringTable outputUnitCodes{"39", "36", "40"};
  StringTable burnoutNames{"Upscale", "Downscale", "None"};
  StringTable burnoutCodes{"0", "1", "2"};
  StringTable transferFunctionNames{"LINEAR", "SQRT", "SPECIAL_CURVE"};
  StringTable transferFunctionCodes{"0", "1", std::to_string(SpecialCurveTransferCode)};
  StringTable cjcModeNames{"CJC OFF", "CJC ON"};
  StringTable cjcModeCodes{"0", "1"};

  StringTable customTcHeader{"/*********************************************************",
                             "/*\tCustom TC Table Definition",
                             "/*\tTi = f(Xi)   ( 0 <= i < Size )",
                             "/*\t\tTemperature Step (1 to 50 degC)",
                             "/*\t\t-100 <= X(i) <= 1000 mV",
                             "/*\t\tX(i) < X(i+1)",
                             "/*\t\t2 <= Size <= 1000",
                             "/*********************************************************"};
  StringTable customRtdHeader{"/*********************************************************",
                              "/*\tCustom RTD Table Definition",
                              "/*\tTi = f(Xi)   ( 0 <= i < Size )",
                              "/*\t\tTemperature Step (1 to 50 degC)",
                              "/*\t\t0 < X(i) <= 4000 Ohms",
                              "/*\t\tX(i) < X(i+1)",
                              "/*\t\t2 <= Size <= 500",
                              "/*********************************************************"};
  StringTable specialCurveHeader{"/*********************************************************",
                                 "/*\tLinearization Table( Special Curve ) Definition",
                                 "/*\tYi = f(Xi)   ( 0 <= i < Size )",
                                 "/*\t\t-15 <= X(i), Y(i) <= 115 %",
                                 "/*\t\tX(i) < X(i+1)",
                                 "/*\t\t2 <= Size <= 128",
                                 "/*********************************************************"};
};

const Tables& T() {
  static const Tables tables;
  return tables;
}

}  // namespace

CglobalFile::CglobalFile() { T(); }

const StringTable& CglobalFile::SensorTypeNames() const { return T().sensorTypeNames; }
const StringTable& CglobalFile::SensorTypeCodes() const { return T().sensorTypeCodes; }
const StringTable& CglobalFile::SensorDefaultUnits() const { return T().sensorDefaultUnits; }
const StringTable& CglobalFile::SensorDefaultLower() const { return T().sensorDefaultLower; }
const StringTable& CglobalFile::SensorDefaultUpper() const { return T().sensorDefaultUpper; }
const StringTable& CglobalFile::WiringNames() const { return T().wiringNames; }
const StringTable& CglobalFile::WiringCodes() const { return T().wiringCodes; }
const StringTable& CglobalFile::PvUnitNames() const { return T().pvUnitNames; }
const StringTable& CglobalFile::PvUnitCodes() const { return T().pvUnitCodes; }
const StringTable& CglobalFile::TemperatureUnitNames() const { return T().temperatureUnitNames; }
const StringTable& CglobalFile::TemperatureUnitCodes() const { return T().temperatureUnitCodes; }
const StringTable& CglobalFile::OhmUnitNames() const { return T().ohmUnitNames; }
const StringTable& CglobalFile::OhmUnitCodes() const { return T().ohmUnitCodes; }
const StringTable& CglobalFile::MillivoltUnitNames() const { return T().millivoltUnitNames; }
const StringTable& CglobalFile::MillivoltUnitCodes() const { return T().millivoltUnitCodes; }
const StringTable& CglobalFile::PercentUnitNames() const { return T().percentUnitNames; }
const StringTable& CglobalFile::PercentUnitCodes() const { return T().percentUnitCodes; }
const StringTable& CglobalFile::TerminalUnitNames() const { return T().terminalUnitNames; }
const StringTable& CglobalFile::TerminalUnitCodes() const { return T().terminalUnitCodes; }
const StringTable& CglobalFile::OutputUnitNames() const { return T().outputUnitNames; }
const StringTable& CglobalFile::OutputUnitCodes() const { return T().outputUnitCodes; }
const StringTable& CglobalFile::BurnoutNames() const { return T().burnoutNames; }
const StringTable& CglobalFile::BurnoutCodes() const { return T().burnoutCodes; }
const StringTable& CglobalFile::TransferFunctionNames() const { return T().transferFunctionNames; }
const StringTable& CglobalFile::TransferFunctionCodes() const { return T().transferFunctionCodes; }
const StringTable& CglobalFile::CjcModeNames() const { return T().cjcModeNames; }
const StringTable& CglobalFile::CjcModeCodes() const { return T().cjcModeCodes; }
const StringTable& CglobalFile::CustomTcHeader() const { return T().customTcHeader; }
const StringTable& CglobalFile::CustomRtdHeader() const { return T().customRtdHeader; }
const StringTable& CglobalFile::SpecialCurveHeader() const { return T().specialCurveHeader; }

int CglobalFile::IndexOfCode(const StringTable& codes, int code) {
  for (std::size_t i = 0; i < codes.size(); ++i) {
    const std::string& text = codes[i];
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc{} && value == code) return static_cast<int>(i);
  }
  return -1;
}

int CglobalFile::IndexOfName(const StringTable& names, const std::string& name) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == name) return static_cast<int>(i);
  }
  return -1;
}

const std::string& CglobalFile::NameOfCode(const StringTable& names, const StringTable& codes,
                                           int code) {
  const int index = IndexOfCode(codes, code);
  if (index < 0 || static_cast<std::size_t>(index) >= names.size()) {
    throw std::invalid_argument("no name for code " + std::to_string(code));
  }
  return names[static_cast<std::size_t>(index)];
}

UnitFamily CglobalFile::FamilyOfSensorIndex(int sensorIndex) {
  if (sensorIndex == SensorIndexOhm) return UnitFamily::Ohm;
  if (sensorIndex == SensorIndexMillivolt) return UnitFamily::Millivolt;
  if (sensorIndex >= SensorIndexFirstPot && sensorIndex <= SensorIndexLastPot) {
    return UnitFamily::Percent;
  }
  return UnitFamily::Temperature;
}

const StringTable& CglobalFile::FamilyNames(UnitFamily family) const {
  switch (family) {
    case UnitFamily::Ohm:
      return OhmUnitNames();
    case UnitFamily::Millivolt:
      return MillivoltUnitNames();
    case UnitFamily::Percent:
      return PercentUnitNames();
    case UnitFamily::Temperature:
      break;
  }
  return TemperatureUnitNames();
}

const StringTable& CglobalFile::FamilyCodes(UnitFamily family) const {
  switch (family) {
    case UnitFamily::Ohm:
      return OhmUnitCodes();
    case UnitFamily::Millivolt:
      return MillivoltUnitCodes();
    case UnitFamily::Percent:
      return PercentUnitCodes();
    case UnitFamily::Temperature:
      break;
  }
  return TemperatureUnitCodes();
}

int CglobalFile::FixedWiringOfSensorIndex(int sensorIndex) {
  if (sensorIndex < 0 || sensorIndex > SensorIndexLastPot) {
    throw std::invalid_argument("no sensor type at index " + std::to_string(sensorIndex));
  }
  if (sensorIndex <= SensorIndexLastResistance) return 0;  // the user picks 2, 3 or 4 wires
  if (sensorIndex < SensorIndexFirstPot) return 2;         // millivolt and thermocouples
  return 3;                                                // potentiometers
}

std::string FormatRange(double v) { return FormatFixed(v, 3, 4); }
std::string FormatSpan(double v) { return FormatFixed(v, 2, 2); }
std::string FormatInteger(long v) { return std::to_string(v); }

}  // namespace va5
