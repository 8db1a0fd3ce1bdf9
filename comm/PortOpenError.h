#pragma once

#include <string>

namespace va5 {

// Why a serial port could not be opened.
enum class PortOpenError {
  None,              // opened (or nothing tried yet)
  NotFound,          // no device by that name
  PermissionDenied,  // the device exists but this user may not open it
  Busy,              // another program holds the port
  NotSerial,         // the name leads to something that is no serial port (a file, /dev/null)
  NameTooLong,       // the name is longer than the platform can open
  BadSettings,       // the port does not take the line settings
  Other,             // anything else (the system's error is not one of the above)
};

// An English sentence for the user, naming the port: "COM3 is in use by another program."
std::string PortOpenErrorText(PortOpenError error, const std::string& portName);

}  // namespace va5
