// The technician's operations on a connected device, each as a request chain that a window
// and the command-line tool run alike (Operation, Session::Perform), with the entry checks
// beside them. The settings of the sensor and detailed-information panels have their own
// file, Setting.h; the table transfers theirs, TableOperations.h; the configuration download
// and compare theirs, ConfigOperations.h.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "comm/RequestTypes.h"
#include "device/DeviceRecord.h"
#include "device/GlobalFile.h"
#include "session/Reason.h"
#include "session/RequestChain.h"

namespace va5::session {

// One request on its own, with nothing stored before it and nothing described after it.
RequestChain SingleRequest(int type);

// Connect: identify the device at the polling address (401), upload its information (402),
// then switch the poll on (403). The window shows the upload's progress messages meanwhile.
RequestChain ConnectChain();

// ---- sensor trim (calibration of the sensor input) -------------------------------------

enum class SensorTrimPoint : std::uint8_t { Clear = 0, Zero = 1, Span = 2 };

// The sensor trim data: zero point and zero value in the PV unit, then the gain.
std::string DescribeSensorTrim(const CglobalFile& tables, const DeviceRecord& device);

// Reads the sensor trim data (434).
RequestChain ReadSensorTrimChain(const CglobalFile& tables);

// A zero or span value: a number between the sensor limits, both included. `valueText` is
// the text that will be sent.
std::optional<Reason> CheckSensorTrimValue(const std::string& text, const DeviceRecord& device,
                                           std::string& valueText);

// Trims at `point` (435). The unit is the PV unit the device reports when the chain starts;
// clearing sends the present PV ("%.6lf") of that moment, zero and span send `valueText`.
RequestChain SensorTrimChain(const CglobalFile& tables, SensorTrimPoint point,
                             const std::string& valueText = {});

// ---- fixed output current and DAC trim -------------------------------------------------

inline constexpr double MinimumFixedCurrent = 3.8;   // mA
inline constexpr double MaximumFixedCurrent = 21.6;  // mA

// A fixed output current typed by the technician: 3.8 ... 21.6 mA, both included.
std::optional<Reason> CheckFixedCurrent(const std::string& text, std::string& valueText);

// The loop current of the last poll as the fixed value ("%4.3f"). An alarm current or a value
// that is not a number lies outside the fixed-current limits and is refused.
std::optional<Reason> CheckPresentCurrent(double loopCurrent, std::string& valueText);

// Fixes the output at `valueText` mA (418); "0.0" leaves the fixed mode.
RequestChain FixedCurrentChain(const std::string& valueText);
inline constexpr const char* LeaveFixedCurrentText = "0.0";

// The trim mode of the DAC trim: none, trimming at 4 mA, trimming at 20 mA.
enum class TrimMode { None = -1, Lower = 0, Upper = 1 };

// Enters a trim mode: the output is fixed at 4 or 20 mA (429).
RequestChain TrimModeChain(TrimMode mode);

// The current the technician measured in a trim mode: 3.8 ... 4.2 mA at the lower end,
// 19.8 ... 20.2 mA at the upper end, both included.
struct TrimLimits {
  double minimum, maximum;
  const char* defaultText;  // offered in the entry
};
TrimLimits TrimLimitsOf(TrimMode mode);
std::optional<Reason> CheckTrimCurrent(TrimMode mode, const std::string& text,
                                       std::string& valueText);

// Trims the DAC by the measured current (430: command 45 at the lower end, 46 at the upper).
RequestChain TrimDacChain(TrimMode mode, const std::string& valueText);

// Clears the DAC trim (431), then leaves the fixed mode (432).
RequestChain ClearDacTrimChain();

// Leaves the fixed mode on closing the DAC trim (433), then waits for the output to settle.
RequestChain CloseDacTrimChain();

// ---- self test and additional status ---------------------------------------------------

// The six lamps of the diagnostics: a bit of byte 2 of the additional status each, named as
// the window names them.
struct StatusLamp {
  const char* name;
  std::uint8_t bit;
};
const std::array<StatusLamp, 6>& EepromStatusLamps();
// "<name>: error" or "<name>: ok", one line a lamp.
std::string DescribeEepromStatus(const DeviceRecord& device);

// Runs the self test (440: command 41 and the self-test wait), then reads the additional
// status at once (442), with no poll between the two even when the poll runs after them.
RequestChain SelfTestChain();
// Reads the additional status (442: command 48).
RequestChain AdditionalStatusChain();
// Resets the configuration-changed flag (441: command 38).
RequestChain ResetConfigChangedChain();

}  // namespace va5::session
