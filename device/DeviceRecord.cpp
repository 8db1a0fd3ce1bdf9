#include "device/DeviceRecord.h"

namespace va5 {

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
