// Arbitrary bytes as one line of the link's trace, as the traffic monitor and the capture read
// it: the bytes a device sent, garbled or cut short, are listed there. Whatever the line: the
// decoded fields stay within the frame, a reply's status bytes come from it, a whole frame's
// checksum verdict matches the XOR of its bytes, and its capture record holds the frame whole.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "comm/TrafficCapture.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const va5::TraceEvent event = va5::ParseTraceLine(line);
  Check(event.bytes.size() <= size / 3);
  for (const bool reply : {false, true}) {
    const va5::TracedFrame t = va5::DecodeTracedFrame(event.bytes, reply);
    Check(t.frame == va5::FrameWithoutPreambles(event.bytes));
    Check(t.dataBegin <= t.dataEnd && t.dataEnd <= t.frame.size());
    Check(!t.hasHeader || (t.command >= 0 && t.command <= 0xFF && t.byteCount >= 0));
    Check(reply || t.responseCode < 0);
    if (t.responseCode >= 0) Check(t.frame[t.dataBegin - 2] == t.responseCode);
    if (t.checksumWrong) {
      std::uint8_t sum = 0;
      for (std::uint8_t b : t.frame) sum ^= b;
      Check(sum != 0);  // the XOR over the frame and its checksum byte is zero when they match
    }
    const std::vector<std::uint8_t> record =
        va5::PcapHartIpRecord(t.frame, !reply, 1, 1, va5::CaptureTime{});
    Check(record.size() >= t.frame.size() &&
          std::equal(t.frame.begin(), t.frame.end(),
                     record.end() - static_cast<std::ptrdiff_t>(t.frame.size())));
  }
  return 0;
}
