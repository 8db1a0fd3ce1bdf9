#pragma once

#include <string>

#include "comm/SerialPort.h"

namespace va5 {

// The device path a port name opens: a name starting with "/" is a path; a name registered by
// a running simulator (a link in $XDG_RUNTIME_DIR/va5vivi/ports, else
// /tmp/va5vivi-<uid>/ports) opens what the link points at; any other name is under /dev.
std::string ResolvePortPath(const std::string& portName);

// A serial port through termios: raw 8-bit line, exclusive use, DTR raised while open, RTS
// raised around each write (what the Windows driver's RTS toggle does for the modem).
// A device without modem lines (a pseudo-terminal) is a device that never hears a carrier.
class PosixSerialPort : public SerialPort {
 public:
  PosixSerialPort() = default;
  ~PosixSerialPort() override;
  PosixSerialPort(const PosixSerialPort&) = delete;
  PosixSerialPort& operator=(const PosixSerialPort&) = delete;

  HartResult Open(const std::string& definition, const Timing& timing) override;
  bool IsOpen() const override { return fd_ >= 0; }
  void Close() override;

  bool SetDtr(bool on) override;
  bool SetRts(bool on) override;
  ModemStatus GetModemStatus() override;

  ReadResult ReadByte(Millis timeout) override;
  long Write(const std::uint8_t* data, std::size_t length) override;

  bool PurgeReceive() override;
  bool PurgeTransmit() override;
  std::uint32_t ClearLineErrors() override;

  // True once an ioctl on the modem lines said the device has none.
  bool HasModemLines() const { return hasModemLines_; }

 private:
  bool SetModemLine(int line, bool on);

  int fd_ = -1;
  bool hasModemLines_ = true;
  bool hasCounters_ = true;
  // Line-error counters at the last ClearLineErrors: frame, parity, overrun, buffer overrun,
  // break.
  int counters_[5] = {};
};

}  // namespace va5
