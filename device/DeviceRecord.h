#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace va5 {

// Short-frame polling addresses run 0 ... 15; the bits above them in the address byte are the
// master and burst flags.
inline constexpr int MaxPollingAddress = 15;
// The one gate for a polling address from outside (options, a setting, a device reply): 0 ... 15
// stands, anything else reads as 0.
std::int16_t ValidPollingAddress(long long value);
// The same for the stored text of an address (the PollingAddr setting): decimal digits only.
std::int16_t PollingAddressFromText(std::string_view text);

inline constexpr int CustomTableMaxPoints = 1000;  // custom TC; custom RTD uses at most 500
inline constexpr int SpecialCurveMaxPoints = 128;

// Text capacities in characters (terminator not counted).
inline constexpr std::size_t ManufacturerNameLength = 15;
inline constexpr std::size_t ModelNameLength = 16;
inline constexpr std::size_t TagLength = 8;
inline constexpr std::size_t DescriptorLength = 16;
inline constexpr std::size_t DateLength = 10;
inline constexpr std::size_t MessageLength = 32;
inline constexpr std::size_t EntryTextLength = 19;  // calibration, fixed current, trim texts
inline constexpr std::size_t RangeTextLength = 20;  // range and damping request texts
inline constexpr std::size_t TableTextLength = 99;  // step and minimum texts of a table upload
inline constexpr std::size_t TablePointTextLength = 499;

// The in-memory image of the connected transmitter. Reply decoders write it, panels read it;
// the request fields are filled by a panel before it submits a request and read by the
// command builders. Texts are ASCII (the device sends packed ASCII and numbers).
struct DeviceRecord {
  // Identity, from the command 0 reply.
  std::string manufacturerName;
  std::string modelName;
  std::string preamblesText;
  std::string universalRevisionText;
  std::string specificRevisionText;
  std::string softwareRevisionText;
  std::string hardwareRevisionText;
  std::string deviceIdText;

  // Tag group (commands 12, 13, 17, 18).
  std::string tag;
  std::string descriptor;
  std::string dateText;  // "YYYY/MM/DD"
  std::string message;

  // Process variable, range and sensor. Codes are unsigned bytes from the wire.
  std::int16_t sensorType = 0;
  std::int16_t sensorWires = 0;
  std::uint32_t sensorSerialNumber = 0;
  std::int16_t pvUnit = 0;
  double upperSensorLimit = 0;
  double lowerSensorLimit = 0;
  double minimumSpan = 0;
  std::int16_t transferFunction = 0;
  double upperRangeValue = 0;
  double lowerRangeValue = 0;
  double damping = 0;
  std::uint32_t finalAssemblyNumber = 0;
  std::int16_t burnout = 0;
  std::int16_t cjcMode = 0;
  std::int16_t terminalUnit = 0;

  // Dynamic values, refreshed by the poll (commands 3 and 2).
  double loopCurrent = 0;
  std::int16_t loopCurrentUnit = 0;
  double pvValue = 0;
  double terminalTemperature = 0;
  double percentOfRange = 0;

  // Link settings (commands 6 and 59).
  std::int16_t pollingAddress = 0;
  std::int16_t responsePreambles = 0;

  // Sensor trim (commands 140, 141).
  double sensorTrimZeroPoint = 0;
  double sensorTrimZeroValue = 0;
  double sensorTrimGain = 0;

  // Output and DAC trim (commands 40, 45, 46, 158).
  std::string fixedCurrentText;           // mA; "0.0" leaves fixed current mode
  int requestedTrimMode = 0;              // 0 lower (4 mA, command 45), 1 upper (20 mA, command 46)
  std::string trimCurrentText;            // the current the user measured
  std::array<double, 2> dacTrimValues{};  // command 158 reply, stored, not shown

  // Additional device status (command 48), six bytes in reply order.
  std::array<std::uint8_t, 6> additionalStatus{};

  // Device-specific settings (commands 138, 144, 145, 154, 155, 162, 163).
  std::array<std::string, 2> pairTexts;           // 138 request
  std::array<double, 2> pairValues{};             // 138 reply
  std::array<std::string, 4> blockTexts;          // 144 request floats
  std::array<std::int16_t, 2> blockWords{};       // 144 request 16-bit values
  std::array<double, 4> blockValues{};            // 144 reply floats
  std::array<std::int16_t, 2> blockReplyWords{};  // 144 reply 16-bit values
  double terminalSetting = 0;                     // 145 reply bytes 1-4
  double floatSetting = 0;                        // 154 / 155 reply
  std::string floatSettingText;                   // 155 request
  std::array<double, 3> tripleSetting{};          // 162 / 163 reply
  std::uint8_t tripleSelector = 0;                // 163 request byte 0
  std::string tripleText;                         // 163 request float

  // Custom RTD / TC table, device copy (commands 180-187).
  // 0 = configured. Starts as "not configured" (1) so that nothing claims a table the device
  // has not reported; SetStartValues keeps it.
  std::uint16_t customTableState = 1;
  std::uint16_t customTableHeaderWord = 0;
  int customTableSize = 0;
  double customTableStep = 0;     // degC
  double customTableMinimum = 0;  // degC of point 0
  std::array<double, CustomTableMaxPoints> customTableValues{};

  // Special curve, device copy (commands 188-191), in percent.
  std::uint16_t specialCurveState = 1;  // 0 = defined; starts as "not defined", as above
  std::uint16_t specialCurveHeaderWord = 0;
  int specialCurveSize = 0;
  std::array<double, SpecialCurveMaxPoints> specialCurveX{};
  std::array<double, SpecialCurveMaxPoints> specialCurveY{};

  // Table point index of the transfer in progress (9999 = end marker).
  int tablePointIndex = 0;

  // Upload buffers: what a table write sends to the device.
  int uploadTableSize = 0;
  std::string uploadStepText;
  std::string uploadMinimumText;
  std::array<std::string, CustomTableMaxPoints> uploadValueTexts;
  int uploadCurveSize = 0;
  std::array<std::string, SpecialCurveMaxPoints> uploadCurveXTexts;
  std::array<std::string, SpecialCurveMaxPoints> uploadCurveYTexts;

  // Request fields that the panels fill before they submit a write.
  std::int16_t requestSensorType = 0;            // 131
  std::int16_t requestSensorWires = 0;           // 131
  std::int16_t requestUnit = 0;                  // 44 and 35
  std::string upperRangeText;                    // 35
  std::string lowerRangeText;                    // 35
  std::string dampingText;                       // 34
  std::uint32_t requestSerialNumber = 0;         // 49
  std::int16_t requestBurnout = 0;               // 135
  std::int16_t requestCjcMode = 0;               // 133
  std::int16_t requestTransferFunction = 0;      // 47
  std::int16_t requestTerminalUnit = 0;          // 142
  std::uint32_t requestFinalAssemblyNumber = 0;  // 19
  std::string requestTag;                        // 18, padded to 8 and upper case
  std::string requestDescriptor;                 // 18, padded to 16
  std::string requestDate;                       // 18, "YYYY/MM/DD"
  std::string requestMessage;                    // 17, padded to 32
  std::int16_t requestPollingAddress = 0;        // 6
  std::int16_t requestPreambles = 5;             // 59
  std::uint8_t calibrationPoint = 0;             // 141: 0 clear, 1 zero, 2 span
  std::uint8_t calibrationUnit = 0;              // 141
  std::string calibrationValueText;              // 141

  // Gives the record the values shown before any device is read.
  void SetStartValues();

  bool operator==(const DeviceRecord&) const = default;
};

}  // namespace va5
