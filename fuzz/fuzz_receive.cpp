// Feeds arbitrary line bytes to the link's receive and parse, and arbitrary bytes to the
// text and date codecs. The fake port runs on a virtual clock, so nothing waits.
//
// Input: one flags byte, then the bytes on the line.
//   bit 0       device search running (shorter first-byte limit)
//   bits 1-5    spacing between line bytes, in 10 ms steps (0-310 ms: reaches every limit)
//   bits 6-7    every (3n+1)-th byte arrives with a framing error (0: none)
// An input of odd length first sends a request to polling address 0, so that the receive
// takes only that request's reply and skips every other frame: command 0, or (length 3 modulo
// 4) command 182 for point 1, whose reply must name point 1 when it carries an index.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "comm/Codecs.h"
#include "testing/FakeSerialPort.h"
#include "comm/HartLink.h"

namespace {

using namespace va5;
using va5::test::FakeSerialPort;

void FuzzLink(const std::uint8_t* data, std::size_t size) {
  const std::uint8_t flags = data[0];
  const Micros spacing = Millis(((flags >> 1) & 0x1F) * 10);
  const unsigned errorEvery = (flags >> 6) ? (flags >> 6) * 3 + 1 : 0;

  FakeSerialPort port;
  port.SetInstant(true);
  HartLink link(port, Timing{}, [](std::string_view line) {
    if (line.empty() || line.back() != '\n') __builtin_trap();
  });
  link.SetClock(LinkClock{[&port] { return port.VirtualMillis(); },
                          [&port](Micros d) { port.AdvanceVirtual(d); }});
  link.SetSearching(flags & 1);
  const bool asked = (size & 1) != 0;
  const bool point = (size & 3) == 3;
  const std::uint8_t command = point ? 182 : 0;
  if (point) {
    const std::uint8_t request[] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x00,
                                    182,  0x02, 0x00, 0x01, 0xB7};
    if (link.SendFrame(request, sizeof request, 2) != ResultOk) __builtin_trap();
  } else if (asked) {
    const std::uint8_t request[] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x00, 0x00, 0x00, 0x02};
    if (link.SendFrame(request, sizeof request) != ResultOk) __builtin_trap();
  }

  std::vector<FakeSerialPort::ScriptedByte> script;
  for (std::size_t i = 1; i < size; ++i) {
    const bool garbled = errorEvery != 0 && i % errorEvery == 0;
    script.push_back(
        {spacing * static_cast<long>(i - 1), data[i], garbled ? LineErrorFraming : 0u});
  }
  port.QueueScript(script);

  // Several replies may follow one another on the line.
  for (int frame = 0; frame < 4 && port.PendingBytes() > 0; ++frame) {
    if (link.ReceiveFrame() != ResultOk) continue;
    const LinkState& s = link.State();
    if (s.rxLength > s.rxFrame.size()) __builtin_trap();
    // Only the reply asked for: a short frame from address 0 for the command, for point 1.
    if (asked && ((s.rxFrame[0] & 0x80) || (s.rxFrame[1] & 0x3F) || s.rxFrame[2] != command)) {
      __builtin_trap();
    }
    if (point && s.rxFrame[3] >= 4 && (s.rxFrame[6] != 0x00 || s.rxFrame[7] != 0x01)) {
      __builtin_trap();
    }
    const bool accepted = link.ParseReply();
    if (accepted && (s.responseCode != 0 || s.byteCount < 2)) __builtin_trap();
    // The reply data as the command decoders see it.
    const std::size_t replyBytes = std::min<std::size_t>(s.byteCount, LinkDataSize);
    if (replyBytes > 2) {
      const std::size_t packed = (replyBytes - 2) / 3 * 3;
      const std::string text = UnpackAscii(s.data.data() + 2, packed);
      if (text.size() != packed / 3 * 4) __builtin_trap();
    }
  }

  // A request built from whatever the last parse left in the state must fit its buffer.
  std::array<std::uint8_t, MaxRequestFrame> request{};
  LinkState& s = link.State();
  s.preambleCount = size > 1 ? data[1] % 70 : 5;
  s.byteCount = size > 2 ? data[2] : 0;
  const std::size_t length = link.BuildRequestFrame(request.data());
  if (length > request.size()) __builtin_trap();
  if (length > 0) link.SendFrame(request.data(), length);
}

void FuzzCodecs(const std::uint8_t* data, std::size_t size) {
  const std::string text = UnpackAscii(data, size / 3 * 3);
  if (text.size() != size / 3 * 4) __builtin_trap();
  if (size >= 3) DecodeDate(data[0], data[1], data[2]);
  std::uint8_t date[3];
  EncodeDate(date, std::string_view(reinterpret_cast<const char*>(data), size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  FuzzLink(data, size);
  FuzzCodecs(data, size);
  return 0;
}
