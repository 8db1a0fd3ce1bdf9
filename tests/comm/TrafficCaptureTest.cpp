#include "comm/TrafficCapture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "comm/ResultTexts.h"
#include "comm/StatusBits.h"

namespace va5 {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Little32(const Bytes& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
unsigned Big16(const Bytes& b, std::size_t at) { return b[at] << 8 | b[at + 1]; }

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every kind of event as the one line --trace prints and other tools read: the same text,
// byte for byte, as the link has always written.
TEST(TrafficCaptureTest, FormatsEveryKindOfEventAsItsTraceLine) {
  using K = TraceKind;
  const Bytes poll = {0xFF, 0xFF, 0x02, 0x80, 0x00, 0x00, 0x82};
  const struct {
    TraceEvent event;
    const char* line;
  } cases[] = {
      {{.kind = K::Sent, .bytes = poll}, "TX: FF,FF,02,80,00,00,82,\n"},
      {{.kind = K::Received, .bytes = {0xFF, 0x06, 0x80, 0x00, 0x02, 0x00, 0x00, 0x84}},
       "RX: FF,06,80,00,02,00,00,84,\n"},
      {{.kind = K::Received,
        .bytes = {0x06, 0x80, 0x00, 0x02, 0x88, 0x00, 0x0C},
        .commError = true},
       "RX: 06,80,00,02,88,00,0C,Communication Error\n"},
      {{.kind = K::ReceiveFailed,
        .bytes = {0xFF, 0x06, 0x80, 0x00, 0xEC},
        .failure = LinkFailure::BadReply},
       "RX: FF,06,80,00,EC,Error\n"},
      {{.kind = K::ReceiveFailed, .failure = LinkFailure::NoReply}, "RX: Error\n"},
      {{.kind = K::Skipped, .bytes = {0xFF, 0x06, 0x81, 0x00}},
       "RX: skipped: FF,06,81,00,other address\n"},
      {{.kind = K::Skipped, .bytes = {0xAB}, .skipped = SkipReason::OtherCommand},
       "RX: skipped: AB,other command\n"},
      {{.kind = K::Skipped, .skipped = SkipReason::OtherSelector}, "RX: skipped: other selector\n"},
      {{.kind = K::SendTimeout, .failure = LinkFailure::CarrierStuck}, "TX: Timeout\n"},
      {{.kind = K::ReceiveTimeout, .elapsedMs = 305}, "Timeout: 305\n"},
      {{.kind = K::Answer, .retry = true}, "Answer: retry\n"},
      {{.kind = K::Answer}, "Answer: give up\n"},
      {{.kind = K::LinkEvent, .note = "port opened again"}, "Link: port opened again\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatTraceLine(c.event), c.line);

  // A sink of text gets those lines; a sink of events gets the event itself; an empty
  // function makes an empty sink.
  std::string text;
  TraceSink lines = [&](std::string_view line) { text += line; };
  std::vector<TraceKind> kinds;
  TraceSink events = [&](const TraceEvent& e) { kinds.push_back(e.kind); };
  for (const auto& c : cases) {
    lines(c.event);
    events(c.event);
  }
  std::string all;
  for (const auto& c : cases) all += c.line;
  EXPECT_EQ(text, all);
  ASSERT_EQ(kinds.size(), std::size(cases));
  EXPECT_EQ(kinds.back(), K::LinkEvent);
  EXPECT_FALSE(TraceSink(std::function<void(std::string_view)>()));
  EXPECT_EQ(FrameWithoutPreambles(poll), (Bytes{0x02, 0x80, 0x00, 0x00, 0x82}));
}

// The fields of whole, garbled and cut-short frames; nothing is read beyond what arrived.
TEST(TrafficCaptureTest, DecodesTracedFramesAsFarAsTheirBytesGo) {
  // A long reply to command 3 from 1D 02 00 01 25 (master bit set), four data bytes.
  Bytes reply = {0xFF, 0xFF, 0x86, 0x9D, 0x02, 0x00, 0x01, 0x25, 0x03, 0x06,
                 0x00, 0x40, 0x41, 0x74, 0xCF, 0x10};
  std::uint8_t sum = 0;
  for (std::size_t i = 2; i < reply.size(); ++i) sum ^= reply[i];
  reply.push_back(sum);
  TracedFrame t = DecodeTracedFrame(reply, true);
  ASSERT_TRUE(t.hasHeader);
  EXPECT_TRUE(t.longAddress);
  EXPECT_EQ(Bytes(t.address, t.address + 5), (Bytes{0x1D, 0x02, 0x00, 0x01, 0x25}));
  EXPECT_EQ(t.command, 3);
  EXPECT_EQ(t.byteCount, 6);
  EXPECT_EQ(t.responseCode, 0x00);
  EXPECT_EQ(t.deviceStatus, 0x40);
  EXPECT_EQ(Bytes(t.frame.begin() + t.dataBegin, t.frame.begin() + t.dataEnd),
            (Bytes{0x41, 0x74, 0xCF, 0x10}));
  EXPECT_FALSE(t.checksumWrong);
  reply.back() ^= 0x5A;
  EXPECT_TRUE(DecodeTracedFrame(reply, true).checksumWrong);

  // Cut short after one data byte: no status of its own, the checksum not judged.
  const Bytes cut(reply.begin(), reply.begin() + 12);
  t = DecodeTracedFrame(cut, true);
  EXPECT_EQ(t.byteCount, 6);
  EXPECT_EQ(t.responseCode, -1);
  EXPECT_EQ(t.dataEnd - t.dataBegin, 1u);  // the last byte may be a checksum: never data
  EXPECT_FALSE(t.checksumWrong);

  // A short request with two expansion bytes announced; a request has no status bytes.
  t = DecodeTracedFrame({0x02 | 0x40, 0x80, 0xAA, 0xBB, 0x01, 0x00, 0x00}, false);
  EXPECT_EQ(t.address[0], 0x00);
  EXPECT_EQ(t.command, 0x01);
  EXPECT_EQ(t.responseCode, -1);
  EXPECT_EQ(t.dataBegin, t.dataEnd);

  // Too short for a header: every byte is data.
  t = DecodeTracedFrame({0xFF, 0x86, 0x9D, 0x02}, true);
  EXPECT_FALSE(t.hasHeader);
  EXPECT_EQ(t.dataEnd, 3u);
}

TEST(TrafficCaptureTest, RecordIsAChecksummedHartIpDatagram) {
  const Bytes header = PcapFileHeader();
  ASSERT_EQ(header.size(), 24u);
  EXPECT_EQ(Little32(header, 0), 0xA1B2C3D4u);
  EXPECT_EQ(Little32(header, 20), 101u);

  const Bytes frame{0x06, 0x80, 0x0D, 0x02, 0x00, 0x00, 0x89};
  const CaptureTime time{std::chrono::microseconds(1'700'000'000'123'456)};
  const Bytes r = PcapHartIpRecord(frame, false, 0x1234, 7, time);
  ASSERT_EQ(r.size(), 16u + 20 + 8 + 8 + frame.size());
  EXPECT_EQ(Little32(r, 0), 1'700'000'000u);
  EXPECT_EQ(Little32(r, 4), 123'456u);
  EXPECT_EQ(Little32(r, 8), r.size() - 16);
  EXPECT_EQ(Little32(r, 12), r.size() - 16);

  const std::size_t ip = 16;
  EXPECT_EQ(r[ip], 0x45);
  EXPECT_EQ(Big16(r, ip + 2), r.size() - 16);  // total length
  EXPECT_EQ(r[ip + 9], 17);                    // UDP
  unsigned sum = 0;  // a header with its checksum sums to 0xFFFF
  for (std::size_t i = 0; i < 20; i += 2) sum += Big16(r, ip + i);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  EXPECT_EQ(sum, 0xFFFFu);
  EXPECT_EQ((Bytes{r.begin() + ip + 12, r.begin() + ip + 20}),
            (Bytes{127, 0, 0, 2, 127, 0, 0, 1}));  // a reply: device to client

  const std::size_t udp = ip + 20;
  EXPECT_EQ(Big16(r, udp), 5094u);
  EXPECT_EQ(Big16(r, udp + 2), 50000u);
  EXPECT_EQ(Big16(r, udp + 4), 8u + 8 + frame.size());

  const std::size_t hartIp = udp + 8;
  EXPECT_EQ((Bytes{r.begin() + hartIp, r.begin() + hartIp + 4}), (Bytes{1, 1, 3, 0}));
  EXPECT_EQ(Big16(r, hartIp + 4), 0x1234u);
  EXPECT_EQ(Big16(r, hartIp + 6), 8u + frame.size());
  EXPECT_EQ((Bytes{r.begin() + hartIp + 8, r.end()}), frame);
}

TEST(TrafficCaptureTest, ReplacesTheFileOnlyWhenFinished) {
  const auto folder = std::filesystem::temp_directory_path() / "va5vivi-capture-test";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const std::string path = (folder / "link.pcap").string();
  std::ofstream(path) << "older capture";

  const CaptureTime t0{std::chrono::seconds(1'800'000'000)};
  {
    TrafficCapture capture(path);
    ASSERT_TRUE(capture.IsOpen()) << capture.Error();
    const TraceEvent request{.kind = TraceKind::Sent,
                             .bytes = {0xFF, 0xFF, 0x02, 0x80, 0x00, 0x00, 0x82}};
    capture.Add(request, t0);
    capture.Add({.kind = TraceKind::ReceiveTimeout, .elapsedMs = 305}, t0);  // no frame, no packet
    capture.Add(request, t0);
    capture.Add({.kind = TraceKind::Received,
                 .bytes = {0xFF, 0xFF, 0x06, 0x80, 0x00, 0x02, 0x00, 0x00, 0x84}},
                t0 + std::chrono::milliseconds(90));
    // Preambles only: nothing to decode.
    capture.Add({.kind = TraceKind::ReceiveFailed, .bytes = {0xFF, 0xFF}}, t0);
    EXPECT_EQ(capture.Packets(), 3u);
    const Bytes before = ReadAll(path);
    EXPECT_EQ(std::string(before.begin(), before.end()), "older capture");  // until Finish
    EXPECT_EQ(capture.Finish(), std::nullopt);
  }
  const Bytes file = ReadAll(path);
  ASSERT_EQ(file.size(), 24u + 2 * (16 + 20 + 8 + 8 + 5) + (16 + 20 + 8 + 8 + 7));
  const std::size_t third = 24 + 2 * 57;
  EXPECT_EQ(Little32(file, third + 4), 90'000u);        // the reply's own time
  EXPECT_EQ(file[third + 16 + 28 + 1], 1);              // a response ...
  EXPECT_EQ(Big16(file, third + 16 + 28 + 4), 2u);      // ... to the second request
  EXPECT_EQ(Big16(file, 24 + 57 + 16 + 28 + 4), 2u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);  // no leftovers

  TrafficCapture nowhere((folder / "missing" / "link.pcap").string());
  EXPECT_FALSE(nowhere.IsOpen());
  EXPECT_NE(nowhere.Error().find("cannot create the capture"), std::string::npos);
  EXPECT_NE(nowhere.Finish(), std::nullopt);
  std::filesystem::remove_all(folder);
}

// The traffic monitor names the commands beside their numbers: every command the tool sends
// has a name, and a number it does not know has none.
TEST(TrafficCaptureTest, NamesTheCommandsTheToolSends) {
  EXPECT_STREQ(CommandName(0), "Read unique identifier");
  EXPECT_STREQ(CommandName(3), "Read dynamic variables");
  EXPECT_STREQ(CommandName(141), "Write sensor trim point");
  EXPECT_STREQ(CommandName(187), "Write custom RTD table point");
  for (const int command : {0,   2,   3,   6,   12,  13,  14,  15,  16,  17,  18,  19,  34,
                            35,  38,  40,  41,  42,  44,  45,  46,  47,  48,  49,  59,  130,
                            131, 132, 133, 134, 135, 138, 140, 141, 142, 144, 145, 154, 155,
                            158, 162, 163, 180, 181, 182, 183, 184, 185, 186, 187, 188, 189,
                            190, 191}) {
    EXPECT_STRNE(CommandName(command), "") << command;
  }
  for (const int command : {-1, 4, 129, 192, 255, 256}) {
    EXPECT_STREQ(CommandName(command), "") << command;
  }
}

// The status bits are named once: each is one bit of its byte, the communication errors lie
// below their flag, and the link's texts name exactly the bits set, highest first.
TEST(TrafficCaptureTest, NamesEachStatusBitOnce) {
  for (const auto& bits :
       {std::vector<StatusBit>(std::begin(CommErrorBits), std::end(CommErrorBits)),
        std::vector<StatusBit>(std::begin(DeviceStatusBits), std::end(DeviceStatusBits))}) {
    unsigned seen = 0;
    for (const StatusBit& bit : bits) {
      EXPECT_EQ(bit.mask & (bit.mask - 1), 0) << bit.meaning;                 // one bit
      EXPECT_EQ(seen & bit.mask, 0u) << bit.meaning;                          // not named twice
      EXPECT_GT(seen == 0 ? 0x100u : seen & -seen, bit.mask) << bit.meaning;  // highest first
      seen |= bit.mask;
    }
  }
  for (const StatusBit& bit : CommErrorBits) EXPECT_EQ(bit.mask & CommErrorFlag, 0);
  EXPECT_EQ(CommErrorBitsText(0xFF),
            "vertical parity error, overrun error, framing error, longitudinal parity error, "
            "buffer overflow");
  EXPECT_EQ(FirstStatusByteText(CommErrorFlag | comm_error::Framing.mask),
            "communication error: framing error");
  EXPECT_EQ(FirstStatusByteText(0x85), "communication error: no error bit named");  // reserved
  EXPECT_EQ(FirstStatusByteText(7), "response code 7: " + std::string(ResponseCodeText(7)));
}

}  // namespace
}  // namespace va5
