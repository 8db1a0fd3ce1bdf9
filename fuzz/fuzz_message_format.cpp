// A message text and its arguments from arbitrary bytes: the first line is the format, each
// further line one argument.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "lang/MessageFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = input.find('\n', start);
    parts.push_back(
        input.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  const std::string format = parts.front();
  parts.erase(parts.begin());
  (void)va5::FormatMessageText(format, parts);
  (void)va5::FormatMessageText(format, {});
  return 0;
}
