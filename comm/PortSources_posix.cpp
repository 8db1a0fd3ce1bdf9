// Serial ports of a POSIX machine: the tty devices of /sys/class/tty that a driver has bound
// (what udev lists), plus the ports of running simulated transmitters.
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "comm/PortSources.h"

namespace va5 {

namespace fs = std::filesystem;

namespace {

bool HasPrefix(const std::string& name, std::string_view prefix) {
  return name.compare(0, prefix.size(), prefix) == 0;
}

std::string ReadAttribute(const fs::path& path) {
  std::ifstream in(path);
  std::string line;
  if (!in || !std::getline(in, line)) return {};
  while (!line.empty() && (line.back() == '\n' || line.back() == ' ')) line.pop_back();
  return line;
}

// A legacy 8250 port node exists for every possible UART; only those with a real UART behind
// them answer TIOCGSERIAL with a known type.
bool IsRealUart(const std::string& devicePath) {
  const int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  serial_struct info{};
  const bool real = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
  ::close(fd);
  return real;
}

// Product and manufacturer of the USB device above the tty, if there is one.
std::string UsbDescription(const fs::path& device) {
  std::error_code ec;
  fs::path dir = fs::canonical(device, ec);
  if (ec) return {};
  for (int depth = 0; depth < 8 && dir.has_relative_path(); ++depth, dir = dir.parent_path()) {
    if (fs::exists(dir / "idVendor", ec)) {
      const std::string product = ReadAttribute(dir / "product");
      const std::string maker = ReadAttribute(dir / "manufacturer");
      if (!product.empty() && !maker.empty()) return maker + " " + product;
      return !product.empty() ? product : maker;
    }
  }
  return {};
}

void AddTtyPorts(std::vector<PortRecord>& ports) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/sys/class/tty", ec)) {
    const std::string name = entry.path().filename().string();
    const bool candidate = HasPrefix(name, "ttyS") || HasPrefix(name, "ttyUSB") ||
                           HasPrefix(name, "ttyACM") || HasPrefix(name, "ttyAMA") ||
                           HasPrefix(name, "rfcomm");
    if (!candidate) continue;
    const fs::path device = entry.path() / "device";
    std::error_code linkError;
    if (!fs::exists(device / "driver", linkError)) continue;
    const std::string devicePath = "/dev/" + name;
    if (HasPrefix(name, "ttyS") && !IsRealUart(devicePath)) continue;
    // As on Windows, the description names the port: "FT232R USB UART (ttyUSB0)".
    std::string description = UsbDescription(device);
    if (description.empty()) description = "Serial port";
    if (description.find(name) == std::string::npos) description += " (" + name + ")";
    ports.push_back(PortRecord{devicePath, name, description});
  }
}

// Ports of running simulators; stale entries and an untrusted folder give none.
void AddSimulatorPorts(std::vector<PortRecord>& ports) {
  for (const RegistryEntry& entry : LiveRegistryEntries()) {
    ports.push_back(
        PortRecord{entry.target, entry.name, "Simulated transmitter (" + entry.name + ")"});
  }
}

}  // namespace

std::vector<PortRecord> PlatformPortSources() {
  std::vector<PortRecord> ports;
  AddTtyPorts(ports);
  AddSimulatorPorts(ports);
  return ports;
}

}  // namespace va5
