#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "comm/HartResult.h"

namespace va5 {

// The link copies at most this many characters of a port definition.
inline constexpr std::size_t MaxPortDefinition = 256;

enum class Parity { None, Even, Odd, Mark, Space };
enum class StopBits { One, OneAndHalf, Two };

// A port definition such as "COM3: baud=9600 parity=N data=8 stop=1", read the way the
// Windows comm control-block builder reads it. Settings the text leaves out keep these
// defaults (the line settings of a HART modem).
struct PortDefinition {
  std::string portName;
  long baud = 9600;
  Parity parity = Parity::None;
  int dataBits = 8;
  StopBits stopBits = StopBits::One;
};

// Reads `definition` (only its first MaxPortDefinition characters) into `out`.
// The port name is the text before the first ":" (blanks around it removed); the rest holds
// either "key=value" settings separated by blanks (baud, parity N/E/O/M/S, data 5-8,
// stop 1/1.5/2, and the handshake keys to, xon, odsr, octs, dtr, rts, idsr, which are
// accepted and ignored) or the older "9600,n,8,1" form.
// Returns ResultOk, ResultBadPortDefinition (no port name before ":") or
// ResultPortOpenFailed (a setting that cannot be read).
HartResult ParsePortDefinition(std::string_view definition, PortDefinition& out);

}  // namespace va5
