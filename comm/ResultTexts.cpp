#include "comm/ResultTexts.h"

#include <utility>

#include "comm/StatusBits.h"

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
  if (code & CommErrorFlag) return "the device reports a communication error";
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

std::string CommErrorBitsText(int code) {
  std::string text;
  for (const StatusBit& bit : CommErrorBits) {
    if ((code & bit.mask) == 0) continue;
    if (!text.empty()) text += ", ";
    text += bit.meaning;
  }
  return text;
}

std::string FirstStatusByteText(int code, int command) {
  if ((code & CommErrorFlag) != 0) {
    const std::string bits = CommErrorBitsText(code);
    return "communication error: " + (bits.empty() ? std::string("no error bit named") : bits);
  }
  return "response code " + std::to_string(code) + ": " + ResponseCodeText(code, command);
}

const char* CommandName(int command) {
  switch (command) {
    // Universal commands.
    case 0:
      return "Read unique identifier";
    case 1:
      return "Read primary variable";
    case 2:
      return "Read loop current and percent of range";
    case 3:
      return "Read dynamic variables";
    case 6:
      return "Write polling address";
    case 11:
      return "Read unique identifier by tag";
    case 12:
      return "Read message";
    case 13:
      return "Read tag, descriptor, date";
    case 14:
      return "Read PV transducer information";
    case 15:
      return "Read device output information";
    case 16:
      return "Read final assembly number";
    case 17:
      return "Write message";
    case 18:
      return "Write tag, descriptor, date";
    case 19:
      return "Write final assembly number";
    // Common-practice commands.
    case 33:
      return "Read device variables";
    case 34:
      return "Write damping value";
    case 35:
      return "Write range values";
    case 36:
      return "Set upper range value";
    case 37:
      return "Set lower range value";
    case 38:
      return "Reset configuration changed flag";
    case 39:
      return "EEPROM control";
    case 40:
      return "Enter/exit fixed current mode";
    case 41:
      return "Perform self test";
    case 42:
      return "Perform device reset";
    case 43:
      return "Set PV zero";
    case 44:
      return "Write PV units";
    case 45:
      return "Trim loop current zero";
    case 46:
      return "Trim loop current gain";
    case 47:
      return "Write PV transfer function";
    case 48:
      return "Read additional device status";
    case 49:
      return "Write PV transducer serial number";
    case 59:
      return "Write number of response preambles";
    // This transmitter's device-specific commands.
    case 130:
      return "Read sensor configuration";
    case 131:
      return "Write sensor configuration";
    case 132:
      return "Read cold-junction compensation";
    case 133:
      return "Write cold-junction compensation";
    case 134:
      return "Read burnout";
    case 135:
      return "Write burnout";
    case 138:
      return "Write device-specific value pair";
    case 140:
      return "Read sensor trim data";
    case 141:
      return "Write sensor trim point";
    case 142:
      return "Write terminal temperature unit";
    case 144:
      return "Write device-specific value block";
    case 145:
      return "Read terminal temperature setting";
    case 154:
      return "Read device-specific float setting";
    case 155:
      return "Write device-specific float setting";
    case 158:
      return "Clear DAC trim";
    case 162:
      return "Read device-specific triple setting";
    case 163:
      return "Write device-specific triple setting";
    case 180:
      return "Read custom TC table header";
    case 181:
      return "Write custom TC table header";
    case 182:
      return "Read custom TC table point";
    case 183:
      return "Write custom TC table point";
    case 184:
      return "Read custom RTD table header";
    case 185:
      return "Write custom RTD table header";
    case 186:
      return "Read custom RTD table point";
    case 187:
      return "Write custom RTD table point";
    case 188:
      return "Read special curve header";
    case 189:
      return "Write special curve size";
    case 190:
      return "Read special curve point";
    case 191:
      return "Write special curve point";
    default:
      return "";
  }
}

}  // namespace va5
