// Arbitrary bytes as a configuration file: the reader must never fail on content (only on
// opening), and what it read must write back and read again to the same record.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "offline/FilePropertyReadWrite.h"

namespace {

std::string TempPath(const char* name) {
  return std::string("/tmp/va5vivi-fuzz-") + std::to_string(::getpid()) + name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string input = TempPath(".cfg");
  static const std::string output = TempPath(".out");
  if (FILE* f = std::fopen(input.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  va5::CFilePropertyReadWrite file;
  if (!file.Read(input)) std::abort();  // the file exists: reading it must succeed

  va5::CFilePropertyReadWrite again;
  va5::ConfigurationValues values;  // the editor's column is empty; carried values survive
  if (!file.Write(output, file.BuildLines(values)) || !again.Read(output)) std::abort();
  const va5::ConfigurationRecord& a = file.Record();
  const va5::ConfigurationRecord& b = again.Record();
  if (a.deviceType != b.deviceType || a.preambles != b.preambles ||
      a.firmwareRevision != b.firmwareRevision) {
    std::abort();
  }
  return 0;
}
