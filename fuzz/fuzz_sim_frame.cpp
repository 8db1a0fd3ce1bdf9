// Arbitrary request frames into the simulated transmitter: it must never crash, and every
// reply it gives must be a well-formed slave frame with a correct checksum. The same bytes,
// as text, go to the reader of the simulator's --fault option and numbers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "sim/FaultOption.h"
#include "sim/TransmitterModel.h"

namespace {

// A fault is read, or refused with a reason; a number never beyond its bound.
void FuzzOptions(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string problem;
  const auto fault = va5::sim::ParseFault(text, &problem);
  if (fault.has_value() == !problem.empty()) std::abort();
  const unsigned long long highest = size > 0 ? data[0] * 1000ull : 0;
  const auto number = va5::sim::ParseOptionNumber(text, highest);
  if (number && *number > highest) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzOptions(data, size);
  static va5::sim::TransmitterModel model;  // state carries over, as on a real loop
  const auto reply = model.HandleFrame(std::span<const std::uint8_t>(data, size));
  if (!reply) return 0;
  const auto& r = *reply;
  std::size_t i = 0;
  while (i < r.size() && r[i] == 0xFF) ++i;
  if (i == 0 || i >= r.size()) std::abort();
  const std::uint8_t delimiter = r[i];
  if ((delimiter & 7) != 6) std::abort();
  const std::size_t header = 1 + ((delimiter & 0x80) ? 5 : 1) + 2;
  if (r.size() < i + header + 1) std::abort();
  const std::size_t count = r[i + header - 1];
  if (r.size() != i + header + count + 1) std::abort();
  std::uint8_t check = 0;
  for (std::size_t k = i; k + 1 < r.size(); ++k) check ^= r[k];
  if (check != r.back()) std::abort();
  return 0;
}
