#pragma once

#include <string>

#include "comm/HartResult.h"

namespace va5 {

// English phrases (lower case, no full stop) for messages that explain a failed request.

// Why the link failed, e.g. "the carrier stays on (line busy, or no HART modem on this port)".
const char* LinkFailureText(LinkFailure failure);

// The meaning of a response code the device sent. Codes 9 to 14 mean what they mean for the
// range write (command 35) unless `command` names a command that uses them otherwise (18: date,
// 45 and 46: loop current mode). A code with bit 7 set reports a communication error.
const char* ResponseCodeText(int code, int command = -1);

// The communication errors that a first status byte with bit 7 set reports, named and joined
// with ", " ("overrun error, framing error"); "" when none of the named bits is set.
std::string CommErrorBitsText(int code);

// The first status byte of a reply as a message tells it: "response code 7: the device is in
// write-protect mode", or, with bit 7 set, "communication error: framing error" (the bits it
// reports, never the byte as a response code).
std::string FirstStatusByteText(int code, int command = -1);

// A short name of a HART command: the universal ones, the common-practice ones and this
// transmitter's device-specific ones (128 and above) as this tool uses them, e.g. 3 "Read
// dynamic variables", 141 "Write sensor trim point". An empty text for any other number.
const char* CommandName(int command);

}  // namespace va5
