#pragma once

#include <optional>

namespace va5::sim {

enum class InputFamily { Temperature, Ohm, Millivolt, Percent };

// What the transmitter knows about one sensor type: its input family, the wiring it accepts,
// its limits and minimum span in the family's base unit (degC, ohm, mV or %).
struct SensorInfo {
  int code = 0;
  int index = 0;  // position in the sensor type table
  InputFamily family = InputFamily::Temperature;
  int fixedWires = 0;  // 2 or 3 for thermocouples, millivolt and potentiometers; 0: 2, 3 or 4
  double lowerLimit = 0;
  double upperLimit = 0;
  double minimumSpan = 0;
};

std::optional<SensorInfo> FindSensor(int sensorTypeCode);

// Unit handling of the device. Base units: degC, ohm, mV, %.
InputFamily FamilyOfUnit(int unitCode);  // unknown codes report Percent; check with UnitInFamily
bool UnitInFamily(int unitCode, InputFamily family);
int BaseUnit(InputFamily family);
// Converts a value (an absolute reading) between two units of one family.
double ConvertValue(double value, int fromUnit, int toUnit);
// Converts a difference (span, step) between two units of one family.
double ConvertSpan(double span, int fromUnit, int toUnit);

}  // namespace va5::sim
