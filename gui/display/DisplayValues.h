// One poll's worth of what the live display and the status strip show, as plain values. The
// main window fills it from the session's snapshot; the widgets never reach the engine.
#pragma once

#include <QString>
#include <cstdint>

namespace va5 {

struct DisplayValues {
  double pv = 0.0;            // primary variable, in pvUnit
  QString pvUnit;             // name of the PV unit, e.g. "degC"
  double pvUpperRange = 100;  // the device's range values: the PV gauge's scale
  double pvLowerRange = 0;
  double percent = 0.0;          // PV in percent of range
  double terminal = 0.0;         // terminal temperature, in terminalUnit
  QString terminalUnit;          // name of the terminal temperature unit
  double loopCurrent = 0.0;      // analog output in mA
  std::uint8_t deviceStatus = 0;  // second status byte of the last reply
  // First status byte of the last reply. With bit 7 set it is no response code but a report
  // of communication errors, and its bits light the comm lamps like commErrors.
  std::uint8_t responseCode = 0;
  // Communication errors gathered from every reply since the comm lamps were last drawn; the
  // caller clears its copy once it has handed them over.
  std::uint8_t commErrors = 0;
};

}  // namespace va5
