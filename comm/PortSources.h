#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "comm/SimulatorRegistry.h"  // ResolvePortName and the simulator registry

namespace va5 {

// One serial port found on the machine.
struct PortRecord {
  std::string openName;     // what the link opens: "COM3", "\\.\COM12", "/dev/ttyUSB0"
  std::string portName;     // what the user sees and the settings keep: "COM3", "ttyUSB0", "SIM1"
  std::string description;  // friendly name, may be empty

  bool operator==(const PortRecord&) const = default;
};

// Every port the platform's sources report, in the order found, duplicates included.
std::vector<PortRecord> PlatformPortSources();

// Sorts by portName in plain character order (stable) and drops every entry whose portName
// equals the one before it, so the first source to report a port wins.
std::vector<PortRecord> MergePorts(std::vector<PortRecord> ports);

// Windows port names. "COM%d" below 10; from 10 on the open name needs the device prefix.
std::string ComOpenName(int number);
// A WMI serial port: DeviceID must be "COM" (any case) followed by digits and ':' only; the
// description is Name, with " (COMn)" appended unless Name already contains "COMn".
std::optional<PortRecord> PortFromWmi(std::string_view deviceId, std::string_view name);
// A device of the COM port interface class: the "PortName" value must be "COM" (any case)
// followed by digits only; the description is the friendly name.
std::optional<PortRecord> PortFromSetupApi(std::string_view portNameValue,
                                           std::string_view friendlyName);

}  // namespace va5
