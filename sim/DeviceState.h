#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace va5::sim {

// Field device status bits (second status byte of every reply).
inline constexpr std::uint8_t StatusDeviceMalfunction = 0x80;
inline constexpr std::uint8_t StatusConfigChanged = 0x40;
inline constexpr std::uint8_t StatusColdStart = 0x20;
inline constexpr std::uint8_t StatusMoreStatus = 0x10;
inline constexpr std::uint8_t StatusCurrentFixed = 0x08;
inline constexpr std::uint8_t StatusCurrentSaturated = 0x04;
inline constexpr std::uint8_t StatusNonPvOutOfLimits = 0x02;
inline constexpr std::uint8_t StatusPvOutOfLimits = 0x01;

// Additional status (command 48), byte 0: live conditions of the input.
inline constexpr std::uint8_t AdditionalSensorBreak = 0x01;

// Response codes the device gives.
inline constexpr std::uint8_t RcOk = 0;
inline constexpr std::uint8_t RcInvalidSelection = 2;
inline constexpr std::uint8_t RcTooLarge = 3;
inline constexpr std::uint8_t RcTooSmall = 4;
inline constexpr std::uint8_t RcTooFewBytes = 5;
inline constexpr std::uint8_t RcLowerTooHigh = 9;  // also: wrong current mode for 45/46, bad date
inline constexpr std::uint8_t RcLowerTooLow = 10;
inline constexpr std::uint8_t RcUpperTooHigh = 11;
inline constexpr std::uint8_t RcUpperTooLow = 12;
inline constexpr std::uint8_t RcBothOutOfLimits = 13;
inline constexpr std::uint8_t RcSpanTooSmall = 14;  // a warning: the values are stored
inline constexpr std::uint8_t RcBusy = 32;
inline constexpr std::uint8_t RcNotImplemented = 64;

// HART unit codes the device knows.
inline constexpr int UnitDegC = 32;
inline constexpr int UnitDegF = 33;
inline constexpr int UnitDegR = 34;
inline constexpr int UnitKelvin = 35;
inline constexpr int UnitMillivolt = 36;
inline constexpr int UnitOhm = 37;
inline constexpr int UnitMilliampere = 39;
inline constexpr int UnitPercent = 57;

inline constexpr int TableEndMarker = 9999;
inline constexpr int CustomTcMaxPoints = 1000;
inline constexpr int CustomRtdMaxPoints = 500;
inline constexpr int CurveMaxPoints = 128;

// A custom RTD or thermocouple table held in the device: point i stands for the temperature
// minimum + i x step (degC); the values are ohms (RTD) or millivolts (TC).
struct CustomTable {
  std::uint16_t headerWord = 0;
  int size = 0;
  int step = 0;
  int minimum = 0;
  bool configured = false;  // reported as state 0; a header write clears it until the end marker
  std::vector<float> values;
  std::vector<bool> written;  // points written since the last header write
};

// The special linearisation curve, held as fractions (0.5 = 50 %).
struct SpecialCurve {
  std::uint16_t headerWord = 0;
  int size = 0;
  bool configured = false;
  std::vector<float> x;
  std::vector<float> y;
  std::vector<bool> written;
};

// Everything the transmitter stores, plus its dynamic values at the model's clock. Range,
// limits, trim points and the PV are in the PV unit; the terminal temperature in the terminal
// unit. Texts are kept unpacked, padded to their field length.
struct DeviceState {
  // Identity (command 0).
  std::uint8_t manufacturer = 29;
  std::uint8_t deviceType = 2;
  std::uint32_t deviceId = 0x000125;
  std::uint8_t minimumPreambles = 5;
  std::uint8_t universalRevision = 5;
  std::uint8_t specificRevision = 3;
  std::uint8_t softwareRevision = 12;
  std::uint8_t hardwareRevision = 2;    // upper five bits of identity byte 7
  std::uint8_t physicalSignalling = 0;  // lower three bits (0 = Bell 202 current)
  std::uint8_t flags = 0;
  int pollingAddress = 0;
  int responsePreambles = 5;

  // Tag group.
  std::string tag = "TT-101  ";
  std::string descriptor = "OUTLET TEMP     ";
  std::string message = "VA5VIVI SIMULATED TRANSMITTER   ";
  std::uint8_t day = 15;
  std::uint8_t month = 1;
  std::uint8_t yearOffset = 124;  // 2024
  std::uint32_t finalAssemblyNumber = 100234;
  std::uint32_t sensorSerialNumber = 5678;

  // Input and output configuration.
  int sensorType = 12;  // Pt100
  int sensorWires = 3;
  int pvUnit = UnitDegC;
  double upperRangeValue = 100.0;
  double lowerRangeValue = 0.0;
  double damping = 2.0;  // seconds
  int transferFunction = 0;
  int burnout = 0;  // 0 upscale, 1 downscale, 2 none
  int cjcMode = 1;
  int terminalUnit = UnitDegC;

  // Sensor trim: reported PV = zero value + (measured - zero point) x gain.
  double trimZeroPoint = 0.0;
  double trimZeroValue = 0.0;
  double trimGain = 1.0;
  // DAC trim of the analog output (mA offset and gain), cleared by command 158.
  double dacZeroOffset = 0.0;
  double dacGain = 1.0;

  bool fixedCurrentMode = false;
  double fixedCurrent = 0.0;  // mA while fixed

  bool configChanged = false;
  bool coldStart = true;
  std::array<std::uint8_t, 6> additionalStatus{};

  // Device-specific settings of commands 138, 144/145, 154/155, 162/163.
  std::array<double, 2> pair{1.0, 0.0};
  std::array<double, 4> block{0.0, 100.0, 0.0, 1.0};
  std::array<std::int16_t, 2> blockWords{0, 1};
  double terminalSetting = 0.0;
  double floatSetting = 50.0;
  std::array<double, 3> triple{0.0, 1.0, 0.0};

  CustomTable tcTable;
  CustomTable rtdTable;
  SpecialCurve curve;

  // Input conditions. processValue holds the measured input at a value (PV unit) instead of
  // the slowly moving process; sensorBreak opens the input.
  std::optional<double> processValue;
  bool sensorBreak = false;

  // Dynamic values at the model's clock (recomputed, writing them has no effect).
  double pvValue = 0.0;
  double percentOfRange = 0.0;
  double loopCurrent = 4.0;
  double terminalTemperature = 25.0;
  bool loopCurrentSaturated = false;
  bool pvOutOfLimits = false;
};

// How the simulated transmitter is set up.
struct SimConfig {
  int pollingAddress = 0;
  std::uint32_t deviceId = 0x000125;
  bool realtime = false;  // pace the reply at the HART line rate after a turnaround
  std::uint64_t seed = 1;
  std::chrono::milliseconds selfTestBusy{2000};   // command 41: busy (32) for this long
  std::chrono::milliseconds resetDuration{1000};  // command 42: silent for this long
};

// A fault to inject. count: how many requests it affects (-1: for good); command: only requests
// of this command (-1: any). value: the kind's parameter (response code, error bits,
// delay in ms, preamble count, number of point writes before vanishing, pause in ms after the
// preambles; for Noise, 1 means noise instead of the reply).
struct Fault {
  enum class Kind {
    Silence,
    Noise,
    BadChecksum,
    ResponseCode,
    CommError,
    Slow,
    Preambles20,
    VanishAfterPointWrites,
    NanPv,
    SensorBreak,
    Gap  // the reply stops for a while after its preambles, then goes on
  } kind;
  int count = -1;
  int command = -1;
  int value = 0;
};

}  // namespace va5::sim
