#pragma once

#include <string>

#include "comm/SerialPort.h"

namespace va5 {

// What a Win32 error from opening or setting up a port means to the user.
PortOpenError PortOpenErrorFromWin32(unsigned long error);

// A serial port through the Win32 comm API: the settings fill the comm control block, DTR is
// raised, the driver toggles RTS around each write to key the modem's carrier, and a read
// waits at most its time-out for one byte. A port whose driver does not support the modem
// functions (Wine on a pseudo-terminal) is a port without carrier.
class Win32SerialPort : public SerialPort {
 public:
  Win32SerialPort() = default;
  ~Win32SerialPort() override;
  Win32SerialPort(const Win32SerialPort&) = delete;
  Win32SerialPort& operator=(const Win32SerialPort&) = delete;

  HartResult Open(const std::string& portName, const PortSettings& settings,
                  const Timing& timing) override;
  PortOpenError LastOpenError() const override { return lastError_; }
  bool IsOpen() const override;
  void Close() override;

  bool SetDtr(bool on) override;
  bool SetRts(bool on) override;
  ModemStatus GetModemStatus() override;

  ReadResult ReadByte(Millis timeout) override;
  long Write(const std::uint8_t* data, std::size_t length) override;

  bool PurgeReceive() override;
  bool PurgeTransmit() override;
  std::uint32_t ClearLineErrors() override;

 private:
  bool SetReadTimeout(Millis timeout);

  void* handle_ = reinterpret_cast<void*>(static_cast<std::intptr_t>(-1));  // invalid
  PortOpenError lastError_ = PortOpenError::None;
  bool hasModemLines_ = true;
  Millis readTimeout_{0};
};

}  // namespace va5
