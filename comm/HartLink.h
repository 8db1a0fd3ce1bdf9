#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "comm/HartResult.h"
#include "comm/SerialPort.h"
#include "comm/Timing.h"
#include "comm/Trace.h"

namespace va5 {

inline constexpr int FrameKindShort = 1;  // one address byte
inline constexpr int FrameKindLong = 5;   // five address bytes
inline constexpr std::size_t LinkDataSize = 100;
inline constexpr std::size_t RxFrameSize = 264;
// 5 preambles + delimiter + 5 address + command + count + 24 data + checksum, with room to spare.
inline constexpr std::size_t MaxRequestFrame = 64;
inline constexpr std::size_t MaxRequestData = 24;
// Bytes a receive accepts before the delimiter (noise and preambles). A line that never stops
// sending noise ends the receive instead of holding the worker forever.
inline constexpr std::size_t MaxBytesBeforeDelimiter = 1024;
// Request data bytes a reply may be asked to repeat (SendFrame).
inline constexpr std::size_t MaxReplyEcho = 4;

// Where the link reads the time and how it waits: the steady clock and real sleeps by
// default; a fuzzer gives it a virtual clock that a sleep merely moves on.
struct LinkClock {
  std::function<std::uint64_t()> now;  // tick count in milliseconds
  std::function<void(Micros)> sleep;
};

// The one record of the HART link: the frame fields of the request being built and of the
// reply last parsed. Touched by the worker thread only while it runs.
struct LinkState {
  std::uint64_t lastFrameTime = 0;  // steady-clock milliseconds at the end of the last frame
  int preambleCount = 5;
  int frameKind = FrameKindShort;
  std::uint8_t command = 0;
  std::uint8_t byteCount = 0;
  bool masterFlag = false;
  bool burstFlag = false;
  int pollingAddress = 0;
  std::uint8_t replyManufacturer = 0;
  std::uint8_t replyDeviceType = 0;
  std::uint32_t replyDeviceId = 0;
  std::uint8_t identityManufacturer = 0;
  std::uint8_t identityDeviceType = 0;
  std::uint8_t identityFlags = 0;
  std::array<std::uint8_t, 3> identityDeviceId{};
  // Request data (index 0 = first data byte); after a parse: [0] response code,
  // [1] field device status, [2..] the command's reply data.
  std::array<std::uint8_t, LinkDataSize> data{};
  std::array<std::uint8_t, RxFrameSize> rxFrame{};  // delimiter .. checksum, no preambles
  std::size_t rxLength = 0;                         // bytes stored in rxFrame
  std::uint8_t responseCode = 0;
  std::uint8_t deviceStatus = 0;
  std::uint8_t commErrorBits = 0;  // OR of every response code with CommErrorFlag set
};

// The lowest layer of the HART stack: opens the port, builds and sends request frames with the
// modem's line timing, receives and checks replies byte by byte, and traces every frame.
// It knows nothing of commands, threads or windows.
class HartLink {
 public:
  HartLink(SerialPort& port, Timing timing = {}, TraceSink trace = PlatformTraceSink());

  LinkState& State() { return state_; }
  const LinkState& State() const { return state_; }
  const Timing& GetTiming() const { return timing_; }
  void SetTrace(TraceSink trace) { trace_ = std::move(trace); }
  // Puts an event of the worker's own (an answer, a reopen) into the same trace as the
  // frames, stamped with the time now.
  void Trace(TraceEvent event) const;
  void SetClock(LinkClock clock) { clock_ = std::move(clock); }
  // A flag that, once set, makes the carrier wait and the receive give up at their next check
  // (within one read time-out), so that a shutdown never waits out a busy line.
  void SetAbort(const std::atomic<bool>* abort) { abort_ = abort; }
  SerialPort& Port() { return port_; }

  // While a device search runs, the receive gap limit before the first preamble is shortened.
  void SetSearching(bool searching) { searching_ = searching; }
  bool Searching() const { return searching_; }

  // Opens the port `portName` (a path, "COM3", or a listed name such as "SIM1", taken as it
  // is, colons and all) with the line settings of a HART modem unless others are given (text
  // settings: ParsePortSettings). 200; 202 for an empty name; 201 when the port cannot be
  // opened, with LastOpenError telling why.
  HartResult OpenPort(const std::string& portName, const PortSettings& settings = {});
  PortOpenError LastOpenError() const { return port_.LastOpenError(); }
  // Closes the port and opens it again by the name and settings of the last OpenPort: a port
  // that vanished under the link (and may be back under its name) is found anew.
  HartResult ReopenPort();
  // Clears the receive buffer and, if that worked, the transmit buffer.
  bool PurgePort();
  // Builds the request from the state; `buffer` holds at least MaxRequestFrame bytes.
  // Returns the frame length, or 0 when the state asks for a frame longer than
  // MaxRequestFrame (more than MaxRequestData data bytes or too many preambles).
  std::size_t BuildRequestFrame(std::uint8_t* buffer) const;
  // Waits out the inter-frame gap and another station's carrier, then writes the frame and
  // sleeps while the modem puts it on the line. 200, or 209 (carrier never dropped, empty
  // frame, failed or short write). The frame's address and command, and its first
  // `replyEcho` data bytes (at most MaxReplyEcho), are what the next receive accepts as its
  // reply: a reply that carries data must repeat those bytes at the start of its data.
  HartResult SendFrame(const std::uint8_t* bytes, std::size_t length, std::size_t replyEcho = 0);
  // Reads one reply into rxFrame byte by byte. 200, or 209 (time-out, not a reply delimiter,
  // byte count beyond the data area, checksum mismatch, endless noise). An intact frame that
  // does not answer the request last sent (another command; another address: polling
  // address, or manufacturer, device type and device id; or, where the request asked for an
  // echo, other leading data bytes, such as another table point's index) is a late reply to
  // an earlier request: it is traced as skipped ("RX: skipped: ...") and the receive waits on for
  // the reply, under the same gap limits. A reply too short to carry the echo (an error reply of
  // two status bytes) is not told apart. Before any request was sent, the first intact frame
  // is taken.
  HartResult ReceiveFrame();
  // Why the last SendFrame or ReceiveFrame failed; None after a success.
  LinkFailure LastFailure() const { return failure_; }
  // Unpacks rxFrame into the state; true when the reply is accepted (checksum right, both
  // status bytes present and response code 0).
  bool ParseReply();
  void ClosePort();
  std::uint32_t ClearLineErrors();

 private:
  std::uint64_t Now() const { return clock_.now(); }
  void SleepFor(Micros duration) const;
  std::string portName_;  // of the last OpenPort
  PortSettings settings_;
  void SleepUntilTick(std::uint64_t deadline) const;
  void TraceReceive(int preambles, std::size_t stored, HartResult result);
  void TraceSkipped(int preambles, std::size_t stored, SkipReason why);
  // The preambles, then the bytes stored in rxFrame.
  std::vector<std::uint8_t> Received(int preambles, std::size_t stored) const;
  void NoteRequest(const std::uint8_t* bytes, std::size_t length, std::size_t replyEcho);
  // Why the intact frame in rxFrame does not answer the request; nothing when it does.
  std::optional<SkipReason> MismatchWithRequest() const;

  // Address field (as many bytes as the frame kind has), command and the data bytes its reply
  // repeats, of the request last sent.
  struct SentRequest {
    bool valid = false;
    bool isLong = false;
    std::array<std::uint8_t, 5> address{};
    std::uint8_t command = 0;
    std::size_t echoLength = 0;
    std::array<std::uint8_t, MaxReplyEcho> echo{};
  };

  SerialPort& port_;
  Timing timing_;
  TraceSink trace_;
  bool searching_ = false;
  LinkClock clock_;
  const std::atomic<bool>* abort_ = nullptr;
  bool Aborted() const { return abort_ != nullptr && abort_->load(); }
  LinkState state_;
  SentRequest sent_;
  LinkFailure failure_ = LinkFailure::None;
};

// Milliseconds of the steady clock (the link's tick count).
std::uint64_t TickMillis();

}  // namespace va5
