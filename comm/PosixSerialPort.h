#pragma once

#include <string>

#include "comm/SerialPort.h"

namespace va5 {

// What an errno from opening or claiming a port means to the user.
PortOpenError PortOpenErrorFromErrno(int error);

// A serial port through termios: raw 8-bit line, exclusive use, DTR raised while open, RTS
// raised around each write (what the Windows driver's RTS toggle does for the modem).
// A device without modem lines (a pseudo-terminal) is a device that never hears a carrier.
// Names open what ResolvePortName says (a registered simulator, else a device under /dev).
class PosixSerialPort : public SerialPort {
 public:
  PosixSerialPort() = default;
  ~PosixSerialPort() override;
  PosixSerialPort(const PosixSerialPort&) = delete;
  PosixSerialPort& operator=(const PosixSerialPort&) = delete;

  HartResult Open(const std::string& portName, const PortSettings& settings,
                  const Timing& timing) override;
  PortOpenError LastOpenError() const override { return lastError_; }
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
  PortOpenError lastError_ = PortOpenError::None;
  bool hasModemLines_ = true;
  bool hasCounters_ = true;
  // Line-error counters at the last ClearLineErrors: frame, parity, overrun, buffer overrun,
  // break.
  int counters_[5] = {};
};

}  // namespace va5
