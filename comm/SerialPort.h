#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "comm/HartResult.h"
#include "comm/PortDefinition.h"
#include "comm/PortOpenError.h"
#include "comm/Timing.h"

namespace va5 {

// Line-error bits returned by ClearLineErrors (the values of the Win32 CE_ flags, so that both
// platforms report the same mask).
inline constexpr std::uint32_t LineErrorRxOver = 0x0001;
inline constexpr std::uint32_t LineErrorOverrun = 0x0002;
inline constexpr std::uint32_t LineErrorParity = 0x0004;
inline constexpr std::uint32_t LineErrorFraming = 0x0008;
inline constexpr std::uint32_t LineErrorBreak = 0x0010;

struct ModemStatus {
  bool ok = false;       // false: the status could not be read
  bool carrier = false;  // receive-line-signal-detect (another station is sending)
};

struct ReadResult {
  bool ok = false;           // false: the read call itself failed
  std::size_t transferred = 0;  // 0 on time-out, 1 when a byte arrived
  std::uint8_t byte = 0;
};

// Exactly the operations the HART link needs from a serial port. Implementations:
// PosixSerialPort (termios), Win32SerialPort (Win32 comm API), FakeSerialPort (tests).
class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Opens the port `portName` ("COM3", "\\.\COM12", "/dev/ttyUSB0", a registered simulator
  // port such as "SIM1"; any characters, colons included) with `settings`. 200 on success;
  // 202 for an empty name (the port that is open stays open); 201 when the port cannot be
  // opened or configured, with LastOpenError telling why.
  virtual HartResult Open(const std::string& portName, const PortSettings& settings,
                          const Timing& timing) = 0;
  // Why the last Open failed; None after a successful one.
  virtual PortOpenError LastOpenError() const = 0;
  virtual bool IsOpen() const = 0;
  virtual void Close() = 0;

  virtual bool SetDtr(bool on) = 0;
  virtual bool SetRts(bool on) = 0;
  virtual ModemStatus GetModemStatus() = 0;

  // Reads at most one byte, returning within `timeout`.
  virtual ReadResult ReadByte(Millis timeout) = 0;
  // Writes the whole buffer (raising RTS around it where the hardware has one); returns the
  // number of bytes written, or -1 when the write failed.
  virtual long Write(const std::uint8_t* data, std::size_t length) = 0;

  virtual bool PurgeReceive() = 0;
  virtual bool PurgeTransmit() = 0;
  // Clears pending line errors and returns their mask (LineError* bits); 0 when none.
  virtual std::uint32_t ClearLineErrors() = 0;
};

}  // namespace va5
