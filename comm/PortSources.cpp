#include "comm/PortSources.h"

#include <algorithm>
#include <cctype>

namespace va5 {

namespace {

bool StartsWithCom(std::string_view text) {
  return text.size() > 3 && std::toupper(static_cast<unsigned char>(text[0])) == 'C' &&
         std::toupper(static_cast<unsigned char>(text[1])) == 'O' &&
         std::toupper(static_cast<unsigned char>(text[2])) == 'M';
}

// The leading decimal number of `digits` (stops at the first non-digit, such as ':').
int LeadingNumber(std::string_view digits) {
  long value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
    if (value > 1000000) break;  // no port has such a number; keeps the value in range
  }
  return static_cast<int>(value);
}

PortRecord MakeComRecord(int number, std::string description) {
  return PortRecord{ComOpenName(number), "COM" + std::to_string(number), std::move(description)};
}

}  // namespace

std::string ComOpenName(int number) {
  std::string name = "COM" + std::to_string(number);
  return number >= 10 ? "\\\\.\\" + name : name;
}

std::optional<PortRecord> PortFromWmi(std::string_view deviceId, std::string_view name) {
  if (!StartsWithCom(deviceId)) return std::nullopt;
  const std::string_view rest = deviceId.substr(3);
  if (!std::all_of(rest.begin(), rest.end(),
                   [](char c) { return (c >= '0' && c <= '9') || c == ':'; })) {
    return std::nullopt;
  }
  const int number = LeadingNumber(rest);
  const std::string com = "COM" + std::to_string(number);
  std::string description(name);
  if (description.find(com) == std::string::npos) description += " (" + com + ")";
  return MakeComRecord(number, std::move(description));
}

std::optional<PortRecord> PortFromSetupApi(std::string_view portNameValue,
                                           std::string_view friendlyName) {
  if (!StartsWithCom(portNameValue)) return std::nullopt;
  const std::string_view rest = portNameValue.substr(3);
  if (!std::all_of(rest.begin(), rest.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  return MakeComRecord(LeadingNumber(rest), std::string(friendlyName));
}

std::vector<PortRecord> MergePorts(std::vector<PortRecord> ports) {
  std::stable_sort(ports.begin(), ports.end(), [](const PortRecord& a, const PortRecord& b) {
    return a.portName < b.portName;  // plain character order: COM10 before COM2
  });
  auto last = std::unique(ports.begin(), ports.end(), [](const PortRecord& a, const PortRecord& b) {
    return a.portName == b.portName;
  });
  ports.erase(last, ports.end());
  return ports;
}

}  // namespace va5
