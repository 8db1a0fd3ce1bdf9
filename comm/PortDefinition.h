#pragma once

#include <string_view>

namespace va5 {

enum class Parity { None, Even, Odd, Mark, Space };
enum class StopBits { One, OneAndHalf, Two };

// The line settings of a serial port. The defaults are those of a HART modem's serial side:
// 9600 bit/s, no parity, 8 data bits, 1 stop bit. The port name travels apart from them, so
// that any path (colons included) can be opened.
struct PortSettings {
  long baud = 9600;
  Parity parity = Parity::None;
  int dataBits = 8;
  StopBits stopBits = StopBits::One;

  bool operator==(const PortSettings&) const = default;
};

// Reads settings text, the way the Windows comm control-block builder reads it: either
// "key=value" settings separated by blanks (baud, parity N/E/O/M/S, data 5-8, stop 1/1.5/2,
// and the handshake keys to, xon, odsr, octs, dtr, rts, idsr, which are accepted and ignored)
// or the older "9600,n,8,1" form. Settings the text leaves out keep their defaults; blank text
// is the defaults. False (and `out` untouched) when a setting cannot be read.
bool ParsePortSettings(std::string_view text, PortSettings& out);

}  // namespace va5
