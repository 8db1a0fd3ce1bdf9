#include "device/DeviceRecord.h"

#include "base/NumberText.h"

namespace va5 {

std::int16_t ValidPollingAddress(long long value) {
  return value >= 0 && value <= MaxPollingAddress ? static_cast<std::int16_t>(value) : 0;
}

std::int16_t PollingAddressFromText(std::string_view text) {
  const auto value = ParseWholeNumber(text, MaxPollingAddress);
  return value ? static_cast<std::int16_t>(*value) : 0;
}

void DeviceRecord::SetStartValues() {
  // A millivolt input with the device's wide default range, until a device is read. Every
  // other field keeps its constructed value.
  sensorType = 129;  // Millivolt
  sensorWires = 2;
  pvUnit = 36;  // mV
  upperRangeValue = 1000.0;
  lowerRangeValue = 0.0;
  upperSensorLimit = 1100.0;
  lowerSensorLimit = -100.0;
  minimumSpan = 10.0;
  terminalUnit = 32;  // degC
  terminalTemperature = -40.0;
}

}  // namespace va5
