// Arbitrary bytes as a device may send them, garbled or cut short, decoded as the traffic
// monitor decodes a traced frame and written as the capture and the trace write them.
// Whatever the bytes: the decoded fields stay within the frame, a reply's status bytes come
// from it, a whole frame's checksum verdict matches the XOR of its bytes, its capture record
// holds the frame whole, and its trace line lists every byte.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "comm/Trace.h"
#include "comm/TrafficCapture.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> bytes(data, data + size);
  for (const bool reply : {false, true}) {
    const va5::TracedFrame t = va5::DecodeTracedFrame(bytes, reply);
    Check(t.frame == va5::FrameWithoutPreambles(bytes));
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
  const std::string line =
      va5::FormatTraceLine({.kind = va5::TraceKind::ReceiveFailed, .bytes = bytes});
  Check(line.size() == 4 + 3 * size + 6 && line.back() == '\n');
  return 0;
}
