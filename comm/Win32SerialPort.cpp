#include "comm/Win32SerialPort.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>


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

PortOpenError PortOpenErrorFromWin32(unsigned long error) {
  switch (error) {
    case ERROR_SUCCESS:
      return PortOpenError::None;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_UNIT:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_BAD_NETPATH:
      return PortOpenError::NotFound;
    // A COM port is opened without sharing: Windows refuses a second open with "access
    // denied", so this is another program holding the port.
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
      return PortOpenError::Busy;
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW:
      return PortOpenError::NameTooLong;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
      return PortOpenError::NotSerial;
    case ERROR_INVALID_PARAMETER:
      return PortOpenError::BadSettings;
    default:
      return PortOpenError::Other;
  }
}

namespace {

// The comm control block for `settings`: the line as given, no flow control, binary mode.
bool ApplySettings(const PortSettings& settings, DCB& dcb) {
  if (settings.baud <= 0) return false;
  dcb.BaudRate = static_cast<DWORD>(settings.baud);
  dcb.ByteSize = static_cast<BYTE>(settings.dataBits);
  switch (settings.parity) {
    case Parity::None:
      dcb.Parity = NOPARITY;
      break;
    case Parity::Even:
      dcb.Parity = EVENPARITY;
      break;
    case Parity::Odd:
      dcb.Parity = ODDPARITY;
      break;
    case Parity::Mark:
      dcb.Parity = MARKPARITY;
      break;
    case Parity::Space:
      dcb.Parity = SPACEPARITY;
      break;
  }
  dcb.fParity = settings.parity != Parity::None;
  switch (settings.stopBits) {
    case StopBits::One:
      dcb.StopBits = ONESTOPBIT;
      break;
    case StopBits::OneAndHalf:
      dcb.StopBits = ONE5STOPBITS;
      break;
    case StopBits::Two:
      dcb.StopBits = TWOSTOPBITS;
      break;
  }
  dcb.fBinary = TRUE;
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fNull = FALSE;
  return true;
}

}  // namespace

HartResult Win32SerialPort::Open(const std::string& portName, const PortSettings& settings,
                                 const Timing& timing) {
  if (portName.empty()) {
    lastError_ = PortOpenError::NotFound;
    return ResultBadPortDefinition;
  }
  Close();
  lastError_ = PortOpenError::None;
  auto refuse = [this](PortOpenError why) {
    lastError_ = why;
    return ResultPortOpenFailed;
  };
  if (portName.find('\0') != std::string::npos) return refuse(PortOpenError::NotFound);

  const std::string name =
      portName.rfind("\\\\.\\", 0) == 0 ? portName : "\\\\.\\" + portName;
  const std::wstring wide = Widen(name);
  // Device names go through the Win32 path rules, which stop at MAX_PATH.
  if (wide.size() >= MAX_PATH) return refuse(PortOpenError::NameTooLong);
  HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return refuse(PortOpenErrorFromWin32(GetLastError()));
  auto fail = [h, &refuse](PortOpenError why) {
    CloseHandle(h);
    return refuse(why);
  };
  auto failWithLastError = [&fail]() { return fail(PortOpenErrorFromWin32(GetLastError())); };

  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  // A handle that has no comm state is no serial port (a file, a printer, the null device).
  if (!GetCommState(h, &dcb)) return fail(PortOpenError::NotSerial);
  const DWORD previousRts = dcb.fRtsControl;
  if (!ApplySettings(settings, dcb)) return fail(PortOpenError::BadSettings);
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fRtsControl = RTS_CONTROL_TOGGLE;
  dcb.fAbortOnError = FALSE;

  hasModemLines_ = true;
  if (!EscapeCommFunction(h, SETDTR)) {
    if (!NotSupported()) return failWithLastError();
    hasModemLines_ = false;
  }
  if (!SetCommState(h, &dcb)) {
    if (!NotSupported()) return fail(PortOpenError::BadSettings);
    // No RTS toggle on this driver: keep its RTS setting and treat it as modem-less.
    hasModemLines_ = false;
    dcb.fRtsControl = previousRts;
    if (!SetCommState(h, &dcb)) return fail(PortOpenError::BadSettings);
  }

  Sleep(static_cast<DWORD>(timing.openSettle.count()));

  handle_ = h;
  readTimeout_ = Millis(0);
  if (!SetReadTimeout(timing.readTimeout)) {
    handle_ = INVALID_HANDLE_VALUE;
    return failWithLastError();
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
