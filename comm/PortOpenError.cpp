#include "comm/PortOpenError.h"

namespace va5 {

std::string PortOpenErrorText(PortOpenError error, const std::string& portName) {
  const std::string port = portName.empty() ? std::string("The port") : "Port " + portName;
  switch (error) {
    case PortOpenError::None:
      return port + " is open.";
    case PortOpenError::NotFound:
      if (portName.empty()) return "No port was named.";
      return port + " does not exist (is the modem plugged in?).";
    case PortOpenError::PermissionDenied:
#ifdef _WIN32
      return port + " may not be opened by this user.";
#else
      return port +
             " may not be opened by this user; the user may need to be in the 'dialout' "
             "group (log in again after adding it).";
#endif
    case PortOpenError::Busy:
      return port + " is in use by another program.";
    case PortOpenError::NotSerial:
#ifdef _WIN32
      return port + " is not a serial port.";
#else
      return port + " is not a serial port (it is a regular file or a device such as /dev/null).";
#endif
    case PortOpenError::NameTooLong:
      return "The port name is too long for this system.";
    case PortOpenError::BadSettings:
      return port + " does not accept the line settings (baud rate, parity, data or stop bits).";
    case PortOpenError::Other:
      break;
  }
  return port + " cannot be opened.";
}

}  // namespace va5
