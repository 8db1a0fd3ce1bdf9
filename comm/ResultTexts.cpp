#include "comm/ResultTexts.h"

namespace va5 {

const char* LinkFailureText(LinkFailure failure) {
  switch (failure) {
    case LinkFailure::None:
      return "no failure";
    case LinkFailure::NoReply:
      return "no answer from the device";
    case LinkFailure::BadReply:
      return "the device's answer was garbled or incomplete";
    case LinkFailure::CarrierStuck:
      return "the carrier stays on (line busy, or no HART modem on this port)";
    case LinkFailure::PortFailed:
      return "the port's modem status cannot be read";
    case LinkFailure::WriteFailed:
      return "the request could not be written to the port";
    case LinkFailure::Stopped:
      return "the exchange was stopped";
  }
  return "unknown link failure";
}

const char* ResponseCodeText(int code, int command) {
  if (code & 0x80) return "the device reports a communication error";
  if (code == 9 && command == 18) return "invalid date";
  if (code == 9 && (command == 45 || command == 46)) return "the loop current is not in fixed mode";
  switch (code) {
    case 0:
      return "success";
    case 2:
      return "invalid selection";
    case 3:
      return "value too large";
    case 4:
      return "value too small";
    case 5:
      return "too few data bytes";
    case 6:
      return "device-specific command error";
    case 7:
      return "the device is in write-protect mode";
    case 8:
      return "warning: update failure";
    case 9:
      return "lower range value too high";
    case 10:
      return "lower range value too low";
    case 11:
      return "upper range value too high";
    case 12:
      return "upper range value too low";
    case 13:
      return "upper and lower range values out of limits";
    case 14:
      return "warning: span too small, accuracy may be impaired";
    case 16:
      return "access restricted";
    case 32:
      return "the device is busy";
    case 64:
      return "command not implemented";
    default:
      return "unknown response code";
  }
}

}  // namespace va5
