#pragma once

#include <cstdint>
#include <string>
#include <vector>


#include "comm/HartResult.h"
#include "comm/PortOpenError.h"

namespace va5::session {

// Why an operation did not do what was asked. The window maps the kind to its language
// file's message and formats it with `args`; the command-line tool prints `text`, the same
// message in English with the arguments already in place.
enum class ReasonKind {
  // The entry itself (no device needed to tell).
  WrongValueCount,  // args: setting
  NotANumber,       // args: what, entry, minimum, maximum ("" when the device gives them)
  NotAWholeNumber,  // args: what, entry, maximum
  OutOfLimits,      // args: what, entry, minimum, maximum (fixed, or the sensor's limits)
  UnknownName,      // args: what, entry, the names to choose from
  WiringNeeded,     // args: sensor, the wiring names
  FixedWiring,      // args: sensor
  TextTooLong,      // args: what, maximum length
  NotPackedText,    // args: what, entry
  // The entry against the connected device's configuration.
  SpanTooSmall,     // args: minimum span ("%.2f"), unit name
  UnitDoesNotSuit,  // args: entry, the family's unit names
  // The device cannot take the setting.
  ModelNotConfigurable,  // args: model, what it lacks
  TableNotDefined,       // args: "RTD" or "TC"
  CurveNotDefined,       // no args
  TrimModeNotSet,        // no args: a DAC trim needs its trim mode first
  // The exchange.
  PortNotOpened,  // args: what, port name, why (the port's own sentence), polling address
  // args: what, response code (the whole first status byte; "" when the reply was unusable),
  // its meaning (or the communication errors it reports, or why the reply was unusable), and
  // the number of the command that was refused ("" when not known)
  DeviceRefused,
  LinkFailed,  // args: what, why, port name, polling address
};

// What kind of trouble a reason is: the entry, the device's refusal, or the link.
enum class ReasonClass { Entry, Refused, Link };

ReasonClass ClassOf(ReasonKind kind);

struct Reason {
  ReasonKind kind = ReasonKind::LinkFailed;
  std::string text;  // English, complete
  std::vector<std::string> args;

  ReasonClass Class() const { return ClassOf(kind); }
  bool operator==(const Reason&) const = default;
};

// The reason for a failed request of an operation named `what`: 201 and 202 are a port that
// did not open, 208 a refusal, anything else a link failure. The details say why: the port's
// open error, the request's response code and command, the link's failure; the port and the
// polling address say where.
struct FailureDetails {
  std::string portName;
  int address = -1;  // the polling address the link talks to (-1: not known)
  PortOpenError openError = PortOpenError::None;
  std::uint8_t responseCode = 0;
  int command = -1;
  LinkFailure linkFailure = LinkFailure::None;
};
Reason ExchangeFailed(HartResult result, const std::string& what, const FailureDetails& details);

}  // namespace va5::session
