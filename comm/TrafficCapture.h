#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/AtomicFile.h"
#include "comm/Trace.h"

namespace va5 {

// ---- Traced frames ----------------------------------------------------------------------

// The HART frame from its delimiter on: the bytes after the leading 0xFF preambles.
std::vector<std::uint8_t> FrameWithoutPreambles(const std::vector<std::uint8_t>& bytes);

// A traced frame's fields, as far as its bytes go (a garbled or cut-short frame leaves the
// later ones unset). Nothing is read beyond the bytes given.
struct TracedFrame {
  std::vector<std::uint8_t> frame;  // from the delimiter on
  bool hasHeader = false;           // the address, command and byte count are there
  bool longAddress = false;
  std::uint8_t address[5]{};  // the long address (master and burst bits cleared), or the
                              // polling address in address[0]
  int command = -1;
  int byteCount = -1;
  int responseCode = -1;  // a reply's two status bytes, when they arrived
  int deviceStatus = -1;
  std::size_t dataBegin = 0;   // the data bytes in `frame` (after a reply's status bytes),
  std::size_t dataEnd = 0;     // never the checksum nor beyond what arrived
  bool checksumWrong = false;  // a whole frame whose checksum does not match
};
TracedFrame DecodeTracedFrame(const std::vector<std::uint8_t>& bytes, bool reply);

// ---- The capture file -------------------------------------------------------------------
//
// A classic pcap file (microsecond times, raw IPv4 link type) in which every HART frame is a
// HART-IP token-passing message in a UDP datagram: requests from 127.0.0.1:50000 to the
// HART-IP port 5094 of 127.0.0.2, replies the other way. Wireshark and tshark decode it with
// their HART-IP dissector. The format is small and fixed, so it is written here rather than
// through a capture library (which would be one more dependency on both platforms).

using CaptureTime = std::chrono::system_clock::time_point;

inline constexpr std::uint16_t HartIpPort = 5094;
inline constexpr std::uint16_t CaptureClientPort = 50000;
inline constexpr std::uint32_t PcapLinkTypeRawIpv4 = 101;

// The 24-byte pcap file header.
std::vector<std::uint8_t> PcapFileHeader();

// One pcap record: record header, IPv4 header, UDP header, HART-IP header, the frame.
// `identification` is the IPv4 identification field (any running number).
std::vector<std::uint8_t> PcapHartIpRecord(const std::vector<std::uint8_t>& frame, bool request,
                                           std::uint16_t sequence, std::uint16_t identification,
                                           CaptureTime time);

// Writes the link's traffic to a capture file, from its trace events. The file is written
// beside the target under a temporary name and renamed over the target by Finish, so a
// capture that breaks off never replaces a good file with half of one. Safe to feed from
// the link's thread while another thread owns the object.
class TrafficCapture {
 public:
  explicit TrafficCapture(std::string path);
  ~TrafficCapture();  // without Finish, the temporary file is removed
  TrafficCapture(const TrafficCapture&) = delete;
  TrafficCapture& operator=(const TrafficCapture&) = delete;

  // Whether the temporary file could be created; Error() says why not.
  bool IsOpen() const;
  std::string Error() const;

  // One trace event, stamped with the time it arrives (or the time given). Events that
  // carry no frame (time-outs, answers, the link's own) add nothing.
  void Add(const TraceEvent& event);
  void Add(const TraceEvent& event, CaptureTime time);

  // The packets written so far.
  std::size_t Packets() const;

  // A trace sink that feeds this capture and then passes the event on to `next` (if any).
  // The capture must outlive every copy of the sink.
  TraceSink Sink(TraceSink next = nullptr);

  // Closes the file and puts it in place. Returns the reason when the capture could not be
  // written (the temporary file is then removed and the target left as it was).
  std::optional<std::string> Finish();

 private:
  void Write(const std::vector<std::uint8_t>& bytes);

  mutable std::mutex mutex_;
  std::string path_;
  CaptureTime systemStart_;
  std::chrono::steady_clock::time_point steadyStart_;
  std::unique_ptr<AtomicFile> file_;  // until Finish
  std::string error_;  // the first failure
  std::uint16_t sequence_ = 0;
  std::uint16_t identification_ = 0;
  std::size_t packets_ = 0;
};

}  // namespace va5
