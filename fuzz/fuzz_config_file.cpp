// Arbitrary bytes as a configuration file: the reader fails on content only for a file that
// holds no key or a range it cannot take in the PV unit, and then says why and takes nothing;
// what it read, shown in the editor's column and written back, must read again to
// the same record and write again to the same bytes (as long as the PV unit written after the
// numbers is one word, as every unit name is). The range conversion takes the same
// bytes as unit names and range texts.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "offline/FilePropertyReadWrite.h"

namespace {

// In memory where there is a tmpfs: every write is flushed to the disk.
std::string TempPath(const char* name) {
  const bool shm = ::access("/dev/shm", W_OK) == 0;
  return std::string(shm ? "/dev/shm" : "/tmp") + "/va5vivi-fuzz-" + std::to_string(::getpid()) +
         name;
}

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void Check(bool condition) {
  if (!condition) std::abort();
}

// Numbers are written with the PV unit after them: without a unit they read back as empty, and
// an empty number before a unit of several words would read as the unit's first word.
bool UnitKeepsNumbers(const std::string& unit) {
  return !unit.empty() && unit.find_first_of(" \t") == std::string::npos;
}

void SameRecords(const va5::ConfigurationRecord& a, const va5::ConfigurationRecord& b) {
  Check(a.tag == b.tag && a.descriptor == b.descriptor && a.message == b.message &&
        a.date == b.date && a.deviceType == b.deviceType &&
        a.deviceIdentification == b.deviceIdentification && a.sensorType == b.sensorType &&
        a.sensorWires == b.sensorWires && a.sensorUnit == b.sensorUnit && a.damping == b.damping &&
        a.burnout == b.burnout && a.transferFunction == b.transferFunction &&
        a.sensorSerialNumber == b.sensorSerialNumber && a.terminalUnit == b.terminalUnit &&
        a.cjcMode == b.cjcMode && a.spanGain == b.spanGain && a.preambles == b.preambles &&
        a.universalRevision == b.universalRevision && a.specificRevision == b.specificRevision &&
        a.hardwareRevision == b.hardwareRevision && a.firmwareRevision == b.firmwareRevision &&
        a.finalAssemblyNumber == b.finalAssemblyNumber);
  if (UnitKeepsNumbers(a.sensorUnit)) {
    Check(a.upperRange == b.upperRange && a.lowerRange == b.lowerRange &&
          a.zeroPoint == b.zeroPoint && a.zeroValue == b.zeroValue);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string input = TempPath(".cfg");
  static const std::string first = TempPath(".1");
  static const std::string second = TempPath(".2");
  if (FILE* f = std::fopen(input.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  va5::CFilePropertyReadWrite file;
  if (file.Read(input)) {
    const auto column = va5::ConfigurationValuesFromRecord(file.Record());
    Check(file.Write(first, file.BuildLines(column)));
    va5::CFilePropertyReadWrite again;
    Check(again.Read(first));
    SameRecords(file.Record(), again.Record());
    Check(
        again.Write(second, again.BuildLines(va5::ConfigurationValuesFromRecord(again.Record()))));
    if (UnitKeepsNumbers(file.Record().sensorUnit)) Check(Contents(first) == Contents(second));
  } else {
    // The file exists: only its content can have been refused, with a reason, taking nothing.
    Check(!file.LastError().empty());
    SameRecords(file.Record(), va5::ConfigurationRecord{});
    Check(file.Record().upperRange.empty() && file.Record().path.empty());
  }

  // Four texts split at NUL bytes: from unit, to unit, upper, lower.
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string parts[4];
  std::size_t begin = 0;
  for (std::string& part : parts) {
    const std::size_t end = std::min(text.find('\0', begin), text.size());
    part = text.substr(std::min(begin, text.size()), end - std::min(begin, end));
    begin = end + 1;
  }
  static const va5::CglobalFile tables;
  if (const auto converted =
          va5::ConvertRangeTexts(tables, parts[0], parts[1], parts[2], parts[3])) {
    // Both units are temperature units and both texts numbers: the reverse converts too.
    Check(va5::ConvertRangeTexts(tables, parts[1], parts[0], converted->first, converted->second)
              .has_value() == (converted->first != "inf" && converted->first != "-inf" &&
                               converted->second != "inf" && converted->second != "-inf"));
  }
  return 0;
}
