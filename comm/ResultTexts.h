#pragma once

#include "comm/HartResult.h"

namespace va5 {

// English phrases (lower case, no full stop) for messages that explain a failed request.

// Why the link failed, e.g. "the carrier stays on (line busy, or no HART modem on this port)".
const char* LinkFailureText(LinkFailure failure);

// The meaning of a response code the device sent. Codes 9 to 14 mean what they mean for the
// range write (command 35) unless `command` names a command that uses them otherwise (18: date,
// 45 and 46: loop current mode). A code with bit 7 set reports a communication error.
const char* ResponseCodeText(int code, int command = -1);

}  // namespace va5
