#include "comm/Win32SerialPort.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "comm/PortDefinition.h"

namespace va5 {
namespace {

std::wstring Widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

// Wine answers "not supported" for the modem functions of a port backed by a pseudo-terminal.
bool NotSupported() { return GetLastError() == ERROR_NOT_SUPPORTED; }

}  // namespace

Win32SerialPort::~Win32SerialPort() { Close(); }

bool Win32SerialPort::IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

HartResult Win32SerialPort::Open(const std::string& definition, const Timing& timing) {
  PortDefinition parsed;
  const HartResult check = ParsePortDefinition(definition, parsed);
  if (check != ResultOk) return check;
  Close();

  const std::string name =
      parsed.portName.rfind("\\\\.\\", 0) == 0 ? parsed.portName : "\\\\.\\" + parsed.portName;
  HANDLE h = CreateFileW(Widen(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return ResultPortOpenFailed;
  auto fail = [h]() {
    CloseHandle(h);
    return ResultPortOpenFailed;
  };

  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(h, &dcb)) return fail();
  const DWORD previousRts = dcb.fRtsControl;
  const std::wstring wide = Widen(definition.substr(0, MaxPortDefinition));
  if (!BuildCommDCBW(wide.c_str(), &dcb)) return fail();
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fRtsControl = RTS_CONTROL_TOGGLE;
  dcb.fAbortOnError = FALSE;

  hasModemLines_ = true;
  if (!EscapeCommFunction(h, SETDTR)) {
    if (!NotSupported()) return fail();
    hasModemLines_ = false;
  }
  if (!SetCommState(h, &dcb)) {
    if (!NotSupported()) return fail();
    // No RTS toggle on this driver: keep its RTS setting and treat it as modem-less.
    hasModemLines_ = false;
    dcb.fRtsControl = previousRts;
    if (!SetCommState(h, &dcb)) return fail();
  }

  Sleep(static_cast<DWORD>(timing.openSettle.count()));

  handle_ = h;
  readTimeout_ = Millis(0);
  if (!SetReadTimeout(timing.readTimeout)) {
    handle_ = INVALID_HANDLE_VALUE;
    return fail();
  }
  return ResultOk;
}

bool Win32SerialPort::SetReadTimeout(Millis timeout) {
  if (timeout == readTimeout_) return true;
  COMMTIMEOUTS t{};
  t.ReadIntervalTimeout = 0;
  t.ReadTotalTimeoutMultiplier = 0;
  t.ReadTotalTimeoutConstant = static_cast<DWORD>(timeout.count());
  t.WriteTotalTimeoutMultiplier = MAXDWORD;
  t.WriteTotalTimeoutConstant = 10;
  if (!SetCommTimeouts(handle_, &t)) return false;
  readTimeout_ = timeout;
  return true;
}

void Win32SerialPort::Close() {
  if (handle_ == INVALID_HANDLE_VALUE) return;
  CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

bool Win32SerialPort::SetDtr(bool on) {
  if (!IsOpen()) return false;
  if (!hasModemLines_) return true;
  return EscapeCommFunction(handle_, on ? SETDTR : CLRDTR) || NotSupported();
}

bool Win32SerialPort::SetRts(bool on) {
  if (!IsOpen()) return false;
  if (!hasModemLines_) return true;
  return EscapeCommFunction(handle_, on ? SETRTS : CLRRTS) || NotSupported();
}

ModemStatus Win32SerialPort::GetModemStatus() {
  if (!IsOpen()) return ModemStatus{false, false};
  if (!hasModemLines_) return ModemStatus{true, false};
  DWORD status = 0;
  if (GetCommModemStatus(handle_, &status)) {
    return ModemStatus{true, (status & MS_RLSD_ON) != 0};
  }
  if (NotSupported()) {
    hasModemLines_ = false;
    return ModemStatus{true, false};
  }
  return ModemStatus{false, false};
}

ReadResult Win32SerialPort::ReadByte(Millis timeout) {
  if (!IsOpen() || !SetReadTimeout(timeout)) return ReadResult{false, 0, 0};
  std::uint8_t byte = 0;
  DWORD transferred = 0;
  if (!ReadFile(handle_, &byte, 1, &transferred, nullptr)) return ReadResult{false, 0, 0};
  return ReadResult{true, transferred, byte};
}

long Win32SerialPort::Write(const std::uint8_t* data, std::size_t length) {
  if (!IsOpen()) return -1;
  DWORD written = 0;
  if (!WriteFile(handle_, data, static_cast<DWORD>(length), &written, nullptr)) return -1;
  return static_cast<long>(written);
}

bool Win32SerialPort::PurgeReceive() {
  return IsOpen() && PurgeComm(handle_, PURGE_RXABORT | PURGE_RXCLEAR);
}

bool Win32SerialPort::PurgeTransmit() {
  return IsOpen() && PurgeComm(handle_, PURGE_TXABORT | PURGE_TXCLEAR);
}

std::uint32_t Win32SerialPort::ClearLineErrors() {
  if (!IsOpen()) return 0;
  DWORD errors = 0;
  COMSTAT status{};
  if (!ClearCommError(handle_, &errors, &status)) return 0;
  // The LineError bits are the CE_ values; any other error bit also marks the byte as bad.
  return errors;
}

}  // namespace va5
