#include "session/Reason.h"

#include "comm/ResultTexts.h"
#include "comm/StatusBits.h"

namespace va5::session {

namespace {

// A command number or a polling address as an argument; "" when not known.
std::string NumberArg(int number) { return number >= 0 ? std::to_string(number) : std::string(); }

}  // namespace

ReasonClass ClassOf(ReasonKind kind) {
  switch (kind) {
    case ReasonKind::ModelNotConfigurable:
    case ReasonKind::TableNotDefined:
    case ReasonKind::CurveNotDefined:
    case ReasonKind::DeviceRefused:
      return ReasonClass::Refused;
    case ReasonKind::LinkFailed:
    case ReasonKind::PortNotOpened:
      return ReasonClass::Link;
    default:
      return ReasonClass::Entry;
  }
}

Reason ExchangeFailed(HartResult result, const std::string& what, const FailureDetails& details) {
  if (result == ResultPortOpenFailed || result == ResultBadPortDefinition) {
    std::string why = PortOpenErrorText(details.openError, details.portName);
    return {ReasonKind::PortNotOpened,
            what + ": " + why,
            {what, details.portName, why, NumberArg(details.address)}};
  }
  if (result == ResultReplyRejected && details.linkFailure != LinkFailure::BadReply) {
    // Warnings (8, 14) are refusals too; the code tells the technician which one it was. A
    // communication error is no code: the device heard the request garbled, and says how.
    const int byte = details.responseCode;
    const std::string code = std::to_string(byte);
    const bool commError = (byte & CommErrorFlag) != 0;
    const std::string bits = commError ? CommErrorBitsText(byte) : std::string();
    const std::string meaning = !commError     ? ResponseCodeText(byte, details.command)
                                : bits.empty() ? "no error bit named"
                                               : bits;
    const char* how = commError ? "did not take the request" : "refused the request";
    return {ReasonKind::DeviceRefused,
            what + ": the device " + how + " (" + FirstStatusByteText(byte, details.command) + ")",
            {what, code, meaning, NumberArg(details.command)}};
  }
  if (result == ResultReplyRejected) {
    const std::string why = LinkFailureText(details.linkFailure);
    return {
        ReasonKind::DeviceRefused, what + ": " + why, {what, "", why, NumberArg(details.command)}};
  }
  // No reply, a stopped exchange or a worker that is gone all read as no answer; the others
  // send the technician somewhere else (the line, the modem, the port).
  const LinkFailure failure = details.linkFailure;
  const bool noAnswer = failure == LinkFailure::None || failure == LinkFailure::NoReply ||
                        failure == LinkFailure::Stopped;
  const std::string why = noAnswer ? "no answer from the device" : LinkFailureText(failure);
  return {ReasonKind::LinkFailed,
          what + ": " + why,
          {what, why, details.portName, NumberArg(details.address)}};
}

}  // namespace va5::session
