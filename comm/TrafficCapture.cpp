#include "comm/TrafficCapture.h"

#include <utility>

namespace va5 {
namespace {

constexpr std::size_t IpHeaderSize = 20;
constexpr std::size_t UdpHeaderSize = 8;
constexpr std::size_t HartIpHeaderSize = 8;
constexpr std::uint32_t ClientAddress = 0x7F000001;  // 127.0.0.1
constexpr std::uint32_t DeviceAddress = 0x7F000002;  // 127.0.0.2

void Little16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Little32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Little16(out, static_cast<std::uint16_t>(v));
  Little16(out, static_cast<std::uint16_t>(v >> 16));
}
void Big16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}
void Big32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Big16(out, static_cast<std::uint16_t>(v >> 16));
  Big16(out, static_cast<std::uint16_t>(v));
}

// The IPv4 header checksum: the one's complement of the one's complement sum of its words.
std::uint16_t HeaderChecksum(const std::uint8_t* header, std::size_t length) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i + 1 < length; i += 2) {
    sum += static_cast<std::uint32_t>(header[i] << 8 | header[i + 1]);
  }
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint16_t>(~sum);
}

}  // namespace

std::vector<std::uint8_t> FrameWithoutPreambles(const std::vector<std::uint8_t>& bytes) {
  std::size_t i = 0;
  while (i < bytes.size() && bytes[i] == 0xFF) ++i;
  return {bytes.begin() + static_cast<std::ptrdiff_t>(i), bytes.end()};
}

TracedFrame DecodeTracedFrame(const std::vector<std::uint8_t>& bytes, bool reply) {
  TracedFrame t;
  t.frame = FrameWithoutPreambles(bytes);
  const std::vector<std::uint8_t>& f = t.frame;
  if (f.empty()) return t;
  // After the delimiter: the short (1) or long (5) address and the expansion bytes it announces.
  t.longAddress = (f[0] & 0x80) != 0;
  const std::size_t addressSize = t.longAddress ? 5 : 1;
  const std::size_t commandAt = 1 + addressSize + ((f[0] >> 5) & 0x03);
  t.dataEnd = f.size();  // without a header, every byte is data
  if (f.size() < commandAt + 2) return t;
  t.hasHeader = true;
  std::copy(f.begin() + 1, f.begin() + 1 + static_cast<std::ptrdiff_t>(addressSize), t.address);
  t.address[0] &= 0x3F;
  t.command = f[commandAt];
  t.byteCount = f[commandAt + 1];
  const std::size_t dataAt = commandAt + 2;
  const std::size_t available = f.size() > dataAt ? f.size() - dataAt - 1 : 0;
  std::size_t size = std::min(static_cast<std::size_t>(t.byteCount), available);
  t.dataBegin = dataAt;
  if (reply && size >= 2) {
    t.responseCode = f[dataAt];
    t.deviceStatus = f[dataAt + 1];
    t.dataBegin += 2;
    size -= 2;
  }
  t.dataEnd = t.dataBegin + size;
  if (f.size() == dataAt + static_cast<std::size_t>(t.byteCount) + 1) {
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i + 1 < f.size(); ++i) sum ^= f[i];
    t.checksumWrong = sum != f.back();
  }
  return t;
}

std::vector<std::uint8_t> PcapFileHeader() {
  std::vector<std::uint8_t> out;
  Little32(out, 0xA1B2C3D4);  // microsecond times; little-endian fields
  Little16(out, 2);           // version 2.4
  Little16(out, 4);
  Little32(out, 0);      // times are UTC
  Little32(out, 0);      // accuracy of the times
  Little32(out, 65535);  // snapshot length
  Little32(out, PcapLinkTypeRawIpv4);
  return out;
}

std::vector<std::uint8_t> PcapHartIpRecord(const std::vector<std::uint8_t>& frame, bool request,
                                           std::uint16_t sequence, std::uint16_t identification,
                                           CaptureTime time) {
  const std::size_t hartIpLength = HartIpHeaderSize + frame.size();
  const std::size_t udpLength = UdpHeaderSize + hartIpLength;
  const std::size_t ipLength = IpHeaderSize + udpLength;
  const auto micros =
      std::chrono::duration_cast<std::chrono::microseconds>(time.time_since_epoch()).count();
  const auto sinceEpoch = static_cast<std::uint64_t>(micros < 0 ? 0 : micros);

  std::vector<std::uint8_t> out;
  out.reserve(16 + ipLength);
  Little32(out, static_cast<std::uint32_t>(sinceEpoch / 1000000));
  Little32(out, static_cast<std::uint32_t>(sinceEpoch % 1000000));
  Little32(out, static_cast<std::uint32_t>(ipLength));  // bytes stored
  Little32(out, static_cast<std::uint32_t>(ipLength));  // bytes on the wire

  const std::size_t ip = out.size();
  out.push_back(0x45);  // IPv4, 5 words of header
  out.push_back(0);     // type of service
  Big16(out, static_cast<std::uint16_t>(ipLength));
  Big16(out, identification);
  Big16(out, 0x4000);  // do not fragment
  out.push_back(64);   // time to live
  out.push_back(17);   // UDP
  Big16(out, 0);       // checksum, filled in below
  Big32(out, request ? ClientAddress : DeviceAddress);
  Big32(out, request ? DeviceAddress : ClientAddress);
  const std::uint16_t checksum = HeaderChecksum(out.data() + ip, IpHeaderSize);
  out[ip + 10] = static_cast<std::uint8_t>(checksum >> 8);
  out[ip + 11] = static_cast<std::uint8_t>(checksum);

  Big16(out, request ? CaptureClientPort : HartIpPort);
  Big16(out, request ? HartIpPort : CaptureClientPort);
  Big16(out, static_cast<std::uint16_t>(udpLength));
  Big16(out, 0);  // no UDP checksum

  out.push_back(1);                // HART-IP version
  out.push_back(request ? 0 : 1);  // message type: request or response
  out.push_back(3);                // message id: token-passing PDU
  out.push_back(0);                // status
  Big16(out, sequence);
  Big16(out, static_cast<std::uint16_t>(hartIpLength));
  out.insert(out.end(), frame.begin(), frame.end());
  return out;
}

// ---- TrafficCapture ----------------------------------------------------------------------

TrafficCapture::TrafficCapture(std::string path)
    : path_(std::move(path)),
      systemStart_(std::chrono::system_clock::now()),
      steadyStart_(std::chrono::steady_clock::now()) {
  // Beside the target (or the file a link names), created so that nothing planted there is
  // written through; a target that is no regular file is refused here, before any traffic.
  file_ = std::make_unique<AtomicFile>(path_);
  if (!file_->IsOpen()) {
    error_ = "cannot create the capture: " + file_->Error();
    file_.reset();
    return;
  }
  Write(PcapFileHeader());
}

// Without Finish, the AtomicFile removes its temporary file.
TrafficCapture::~TrafficCapture() = default;

bool TrafficCapture::IsOpen() const {
  std::lock_guard lock(mutex_);
  return file_ != nullptr && error_.empty();
}

std::size_t TrafficCapture::Packets() const {
  std::lock_guard lock(mutex_);
  return packets_;
}

std::string TrafficCapture::Error() const {
  std::lock_guard lock(mutex_);
  return error_;
}

void TrafficCapture::Add(const TraceEvent& event) {
  // The steady clock from the start on, so that the packets stay in order even when the
  // wall clock is set while capturing.
  const auto elapsed = std::chrono::steady_clock::now() - steadyStart_;
  Add(event, systemStart_ + std::chrono::duration_cast<CaptureTime::duration>(elapsed));
}

void TrafficCapture::Add(const TraceEvent& event, CaptureTime time) {
  if (event.kind != TraceKind::Sent && event.kind != TraceKind::Received &&
      event.kind != TraceKind::ReceiveFailed && event.kind != TraceKind::Skipped) {
    return;
  }
  const std::vector<std::uint8_t> frame = FrameWithoutPreambles(event.bytes);
  if (frame.empty()) return;  // nothing but noise or preambles arrived
  std::lock_guard lock(mutex_);
  const bool request = event.kind == TraceKind::Sent;
  if (request) ++sequence_;  // a reply carries the number of the request before it
  Write(PcapHartIpRecord(frame, request, sequence_, ++identification_, time));
  ++packets_;
}

TraceSink TrafficCapture::Sink(TraceSink next) {
  return [this, next = std::move(next)](const TraceEvent& event) {
    Add(event);
    if (next) next(event);
  };
}

void TrafficCapture::Write(const std::vector<std::uint8_t>& bytes) {
  if (file_ == nullptr || !error_.empty()) return;
  if (!file_->Write(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()))) {
    error_ = "cannot write the capture: " + file_->Error();
  }
}

std::optional<std::string> TrafficCapture::Finish() {
  std::lock_guard lock(mutex_);
  const std::unique_ptr<AtomicFile> file = std::move(file_);
  if (file == nullptr || !error_.empty()) {
    return error_.empty() ? std::nullopt : std::optional(error_);
  }
  if (auto error = file->Commit()) {
    error_ = "cannot write the capture: " + *error;
    return error_;
  }
  return std::nullopt;
}

}  // namespace va5
