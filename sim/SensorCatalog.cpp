#include "sim/SensorCatalog.h"

#include <string>

#include "base/NumberText.h"
#include "device/GlobalFile.h"
#include "sim/DeviceState.h"

namespace va5::sim {
namespace {

InputFamily ToInputFamily(UnitFamily f) {
  switch (f) {
    case UnitFamily::Ohm:
      return InputFamily::Ohm;
    case UnitFamily::Millivolt:
      return InputFamily::Millivolt;
    case UnitFamily::Percent:
      return InputFamily::Percent;
    case UnitFamily::Temperature:
      break;
  }
  return InputFamily::Temperature;
}

// The smallest span the input stage resolves well, by sensor type code.
double MinimumSpanOf(int code, InputFamily family) {
  switch (family) {
    case InputFamily::Ohm:
      return 10.0;
    case InputFamily::Millivolt:
      return 2.0;
    case InputFamily::Percent:
      return 10.0;
    case InputFamily::Temperature:
      break;
  }
  switch (code) {
    case 131:  // B
    case 132:  // W5
    case 139:  // R
    case 140:  // S
    case 145:  // PR
      return 100.0;
    default:
      break;
  }
  return code >= 129 ? 25.0 : 10.0;  // thermocouples, then RTDs
}

}  // namespace

std::optional<SensorInfo> FindSensor(int sensorTypeCode) {
  static const CglobalFile tables;
  const int index = CglobalFile::IndexOfCode(tables.SensorTypeCodes(), sensorTypeCode);
  if (index < 0) return std::nullopt;
  SensorInfo info;
  info.code = sensorTypeCode;
  info.index = index;
  info.family = ToInputFamily(CglobalFile::FamilyOfSensorIndex(index));
  info.fixedWires = CglobalFile::FixedWiringOfSensorIndex(index);
  // The code tables write their limits with a decimal point, whatever the process locale.
  info.lowerLimit = ParseDecimal(tables.SensorDefaultLower().at(index)).value_or(0.0);
  info.upperLimit = ParseDecimal(tables.SensorDefaultUpper().at(index)).value_or(0.0);
  info.minimumSpan = MinimumSpanOf(sensorTypeCode, info.family);
  return info;
}

InputFamily FamilyOfUnit(int unitCode) {
  switch (unitCode) {
    case UnitDegC:
    case UnitDegF:
    case UnitDegR:
    case UnitKelvin:
      return InputFamily::Temperature;
    case UnitOhm:
      return InputFamily::Ohm;
    case UnitMillivolt:
      return InputFamily::Millivolt;
    default:
      return InputFamily::Percent;
  }
}

bool UnitInFamily(int unitCode, InputFamily family) {
  switch (family) {
    case InputFamily::Temperature:
      return unitCode >= UnitDegC && unitCode <= UnitKelvin;
    case InputFamily::Ohm:
      return unitCode == UnitOhm;
    case InputFamily::Millivolt:
      return unitCode == UnitMillivolt;
    case InputFamily::Percent:
      return unitCode == UnitPercent;
  }
  return false;
}

int BaseUnit(InputFamily family) {
  switch (family) {
    case InputFamily::Ohm:
      return UnitOhm;
    case InputFamily::Millivolt:
      return UnitMillivolt;
    case InputFamily::Percent:
      return UnitPercent;
    case InputFamily::Temperature:
      break;
  }
  return UnitDegC;
}

namespace {

double ToCelsius(double v, int unit) {
  switch (unit) {
    case UnitDegF:
      return (v - 32.0) / 1.8;
    case UnitDegR:
      return v / 1.8 - 273.15;
    case UnitKelvin:
      return v - 273.15;
    default:
      return v;
  }
}

double FromCelsius(double c, int unit) {
  switch (unit) {
    case UnitDegF:
      return c * 1.8 + 32.0;
    case UnitDegR:
      return (c + 273.15) * 1.8;
    case UnitKelvin:
      return c + 273.15;
    default:
      return c;
  }
}

double SpanFactor(int unit) { return unit == UnitDegF || unit == UnitDegR ? 1.8 : 1.0; }

}  // namespace

double ConvertValue(double value, int fromUnit, int toUnit) {
  if (fromUnit == toUnit || FamilyOfUnit(fromUnit) != InputFamily::Temperature) return value;
  return FromCelsius(ToCelsius(value, fromUnit), toUnit);
}

double ConvertSpan(double span, int fromUnit, int toUnit) {
  if (fromUnit == toUnit || FamilyOfUnit(fromUnit) != InputFamily::Temperature) return span;
  return span / SpanFactor(fromUnit) * SpanFactor(toUnit);
}

}  // namespace va5::sim
