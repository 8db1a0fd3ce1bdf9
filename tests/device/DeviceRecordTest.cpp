#include "device/DeviceRecord.h"

#include <gtest/gtest.h>

namespace va5 {
namespace {

TEST(DeviceRecord, StartValuesDescribeAMillivoltInputAndLeaveTheRestEmpty) {
  DeviceRecord record;
  record.tag = "KEEP";  // SetStartValues touches only its own fields
  record.SetStartValues();
  EXPECT_EQ(record.sensorType, 129);
  EXPECT_EQ(record.sensorWires, 2);
  EXPECT_EQ(record.pvUnit, 36);
  EXPECT_EQ(record.upperRangeValue, 1000.0);
  EXPECT_EQ(record.lowerRangeValue, 0.0);
  EXPECT_EQ(record.upperSensorLimit, 1100.0);
  EXPECT_EQ(record.lowerSensorLimit, -100.0);
  EXPECT_EQ(record.minimumSpan, 10.0);
  EXPECT_EQ(record.terminalUnit, 32);
  EXPECT_EQ(record.terminalTemperature, -40.0);
  EXPECT_EQ(record.tag, "KEEP");

  EXPECT_EQ(record.damping, 0.0);
  EXPECT_EQ(record.loopCurrent, 0.0);
  EXPECT_EQ(record.transferFunction, 0);
  EXPECT_TRUE(record.manufacturerName.empty());
  EXPECT_EQ(record.customTableSize, 0);
  // No table is claimed before the device has reported one.
  EXPECT_NE(record.customTableState, 0);
  EXPECT_NE(record.specialCurveState, 0);
}

}  // namespace
}  // namespace va5
