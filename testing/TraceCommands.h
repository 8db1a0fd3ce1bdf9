// Reading the link's trace in tests: which commands went out.
#pragma once

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace va5::test {

// The command of a traced request frame ("TX: FF,...,FF,delimiter,address...,command,..."),
// or -1 when the line holds no whole header.
inline int CommandOfTxLine(std::string_view line) {
  std::istringstream in{std::string(line.substr(line.size() < 4 ? line.size() : 4))};
  std::vector<int> bytes;
  for (std::string field; std::getline(in, field, ',');) {
    if (field.size() == 2) bytes.push_back(std::stoi(field, nullptr, 16));
  }
  std::size_t i = 0;
  while (i < bytes.size() && bytes[i] == 0xFF) ++i;
  if (i >= bytes.size()) return -1;
  i += (bytes[i] & 0x80) != 0 ? 6 : 2;  // delimiter and the long or short address
  return i < bytes.size() ? bytes[i] : -1;
}

}  // namespace va5::test
