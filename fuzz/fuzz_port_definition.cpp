// Arbitrary settings text through the port settings parser.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "comm/PortDefinition.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  va5::PortSettings settings;
  if (va5::ParsePortSettings(text, settings)) {
    // Whatever was accepted must be a setting a serial line can have.
    if (settings.baud <= 0 || settings.dataBits < 5 || settings.dataBits > 8) std::abort();
  } else if (!(settings == va5::PortSettings{})) {
    std::abort();  // a refused text leaves the settings alone
  }
  return 0;
}
