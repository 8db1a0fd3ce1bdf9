// The technician's operations on a connected device, each as a request chain that a window
// and the command-line tool run alike (Operation, Session::Perform). The settings of the
// sensor and detailed-information panels have their own file, Setting.h.
//
// The operations still to come join this file in the same shape, one chain builder each, with
// their entry checks beside them: sensor trim (434, 435), DAC trim and fixed current (418,
// 429-433), self test and device reset (440, 424), the custom tables and the special curve
// (444-456), and the configuration download and compare of the offline editor.
#pragma once

#include "comm/RequestTypes.h"
#include "session/RequestChain.h"

namespace va5::session {

// One request on its own, with nothing stored before it and nothing described after it.
RequestChain SingleRequest(int type);

// Connect: identify the device at the polling address (401), upload its information (402),
// then switch the poll on (403). The window shows the upload's progress messages meanwhile.
RequestChain ConnectChain();

}  // namespace va5::session
