// Arbitrary bytes as a job record file: the reader refuses or reads, never fails otherwise; a
// job it read writes out and reads back to the same job, and the text report of it is made
// without trouble.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "session/JobRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace va5::session;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string error;
  const auto job = JobFromJson(text, error);
  if (!job) {
    if (error.empty()) std::abort();  // a refusal always says why
    return 0;
  }
  // Texts that are not UTF-8 are replaced on writing: the second round trip is exact.
  const std::string written = JobToJson(*job);
  const auto again = JobFromJson(written, error);
  if (!again) std::abort();
  if (JobToJson(*again) != written) std::abort();
  (void)JobText(*again);
  (void)CompareFoundAndLeft(*again);
  return 0;
}
