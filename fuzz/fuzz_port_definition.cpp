// Arbitrary port definition strings through the definition parser.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "comm/PortDefinition.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  va5::PortDefinition def;
  const va5::HartResult result = va5::ParsePortDefinition(text, def);
  if (result == va5::ResultOk) {
    // Whatever was accepted must be a setting a serial line can have.
    if (def.portName.empty() || def.dataBits < 5 || def.dataBits > 8) std::abort();
  } else if (result != va5::ResultPortOpenFailed && result != va5::ResultBadPortDefinition) {
    std::abort();
  }
  return 0;
}
