#include "comm/HartLink.h"

#include <algorithm>
#include <thread>

#include "comm/PortDefinition.h"
#include "comm/StatusBits.h"

namespace va5 {

std::uint64_t TickMillis() {
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<Millis>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

namespace {

LinkClock SteadyClock() {
  return LinkClock{TickMillis, [](Micros d) { std::this_thread::sleep_for(d); }};
}

}  // namespace

HartLink::HartLink(SerialPort& port, Timing timing, TraceSink trace)
    : port_(port), timing_(timing), trace_(std::move(trace)), clock_(SteadyClock()) {
  if (!trace_) trace_ = NullTraceSink();
}

void HartLink::Trace(TraceEvent event) const {
  event.time = std::chrono::system_clock::now();
  trace_(event);
}

void HartLink::SleepFor(Micros duration) const {
  if (duration > Micros(0)) clock_.sleep(duration);
}

void HartLink::SleepUntilTick(std::uint64_t deadline) const {
  const std::uint64_t now = Now();
  if (deadline > now) SleepFor(Millis(deadline - now));
}

HartResult HartLink::OpenPort(const std::string& portName, const PortSettings& settings) {
  // A name of blanks names no port: 202, and the port that is open stays open.
  const bool blank = portName.find_first_not_of(" \t\r\n") == std::string::npos;
  if (blank) return port_.Open(std::string(), settings, timing_);
  // Opening again replaces the port rather than leaking the old handle.
  if (port_.IsOpen()) port_.Close();
  portName_ = portName;
  settings_ = settings;
  return port_.Open(portName, settings, timing_);
}

HartResult HartLink::ReopenPort() {
  if (portName_.empty()) return ResultBadPortDefinition;
  ClosePort();
  return port_.Open(portName_, settings_, timing_);
}

bool HartLink::PurgePort() { return port_.PurgeReceive() && port_.PurgeTransmit(); }

void HartLink::ClosePort() {
  if (port_.IsOpen()) port_.Close();
}

std::uint32_t HartLink::ClearLineErrors() { return port_.ClearLineErrors(); }

std::size_t HartLink::BuildRequestFrame(std::uint8_t* buffer) const {
  const LinkState& s = state_;
  const bool isLong = s.frameKind == FrameKindLong && s.command != 0;
  const std::size_t preambles = static_cast<std::size_t>(std::max(0, s.preambleCount));
  const std::size_t total = preambles + 1 + (isLong ? 5 : 1) + 2 + s.byteCount + 1;
  if (total > MaxRequestFrame) return 0;

  std::size_t n = 0;
  for (std::size_t i = 0; i < preambles; ++i) buffer[n++] = 0xFF;
  const std::size_t delimiterAt = n;
  if (isLong) {
    buffer[n++] = 0x82;
    buffer[n++] = static_cast<std::uint8_t>(s.identityManufacturer | (s.masterFlag ? 0x80 : 0));
    buffer[n++] = s.identityDeviceType;
    for (std::uint8_t b : s.identityDeviceId) buffer[n++] = b;
  } else {
    buffer[n++] = 0x02;
    buffer[n++] = static_cast<std::uint8_t>((s.masterFlag ? 0x80 : 0) | (s.burstFlag ? 0x40 : 0) |
                                            (s.pollingAddress & 0x3F));
  }
  buffer[n++] = s.command;
  buffer[n++] = s.byteCount;
  for (std::size_t i = 0; i < s.byteCount; ++i) buffer[n++] = s.data[i];
  std::uint8_t check = 0;
  for (std::size_t i = delimiterAt; i < n; ++i) check ^= buffer[i];
  buffer[n++] = check;
  return n;
}

HartResult HartLink::SendFrame(const std::uint8_t* bytes, std::size_t length,
                               std::size_t replyEcho) {
  sent_.valid = false;
  if (bytes == nullptr || length == 0) {
    failure_ = LinkFailure::WriteFailed;
    return ResultLinkFailed;
  }

  // Inter-frame gap after the last frame sent or received.
  SleepUntilTick(state_.lastFrameTime + static_cast<std::uint64_t>(timing_.interFrameGap.count()));

  // Wait while another station's carrier is on the line (or the status cannot be read).
  const std::uint64_t t0 = Now();
  const auto wait = static_cast<std::uint64_t>(timing_.carrierWait.count());
  const Micros pollPeriod = std::clamp<Micros>(timing_.carrierWait / 300, Millis(1), Millis(10));
  while (true) {
    const ModemStatus status = port_.GetModemStatus();
    if (status.ok && !status.carrier) break;
    const std::uint64_t elapsed = Now() - t0;
    if (elapsed >= wait || Aborted()) {
      failure_ = Aborted()   ? LinkFailure::Stopped
                 : status.ok ? LinkFailure::CarrierStuck
                             : LinkFailure::PortFailed;
      Trace({.kind = TraceKind::SendTimeout, .failure = failure_});
      return ResultLinkFailed;
    }
    SleepFor(std::min<Micros>(pollPeriod, Millis(wait - elapsed)));
  }

  port_.PurgeReceive();
  const long written = port_.Write(bytes, length);
  if (written < 0 || static_cast<std::size_t>(written) != length) {
    failure_ = LinkFailure::WriteFailed;
    return ResultLinkFailed;
  }
  NoteRequest(bytes, length, replyEcho);

  Trace({.kind = TraceKind::Sent, .bytes = std::vector<std::uint8_t>(bytes, bytes + length)});

  // The modem is still putting the frame on the 1200 bit/s line.
  SleepFor(timing_.PostWriteSleep(length));
  state_.lastFrameTime = Now();
  failure_ = LinkFailure::None;
  return ResultOk;
}

void HartLink::NoteRequest(const std::uint8_t* bytes, std::size_t length, std::size_t replyEcho) {
  std::size_t i = 0;
  while (i < length && bytes[i] == 0xFF) ++i;
  if (i >= length) return;
  const bool isLong = (bytes[i] & 0x80) != 0;
  const std::size_t addressLength = isLong ? 5 : 1;
  const std::size_t commandAt = i + 1 + addressLength;
  if (commandAt >= length) return;  // no command byte
  sent_.isLong = isLong;
  std::copy_n(bytes + i + 1, addressLength, sent_.address.begin());
  sent_.command = bytes[commandAt];
  // The data follow the byte count; the checksum is not one of them.
  const std::size_t dataAt = commandAt + 2;
  const std::size_t dataLength = length > dataAt ? length - dataAt - 1 : 0;
  sent_.echoLength = std::min({replyEcho, MaxReplyEcho, dataLength});
  std::copy_n(bytes + dataAt, sent_.echoLength, sent_.echo.begin());
  sent_.valid = true;
}

std::optional<SkipReason> HartLink::MismatchWithRequest() const {
  if (!sent_.valid) return std::nullopt;
  const std::uint8_t* f = state_.rxFrame.data();
  const bool isLong = (f[0] & 0x80) != 0;
  // Bit 7 (master) and bit 6 (burst) of the first address byte say who talks, not to whom.
  bool sameAddress = isLong == sent_.isLong && (f[1] & 0x3F) == (sent_.address[0] & 0x3F);
  if (isLong) sameAddress = sameAddress && std::equal(f + 2, f + 6, sent_.address.begin() + 1);
  if (!sameAddress) return SkipReason::OtherAddress;
  const std::size_t commandAt = isLong ? 6 : 2;
  if (f[commandAt] != sent_.command) return SkipReason::OtherCommand;
  // Reply data begin after the byte count and the two status bytes. A reply without them (an
  // error reply of status bytes only) cannot say which request it answers.
  const std::size_t count = f[commandAt + 1];
  const std::uint8_t* data = f + commandAt + 4;
  if (sent_.echoLength > 0 && count >= 2 + sent_.echoLength &&
      !std::equal(data, data + sent_.echoLength, sent_.echo.begin())) {
    return SkipReason::OtherSelector;
  }
  return std::nullopt;
}

HartResult HartLink::ReceiveFrame() {
  enum class Rx { WaitPreamble, Preamble, Address, Command, ByteCount, Data, Checksum };
  constexpr HartResult kRunning = 0;

  LinkState& s = state_;
  const Millis firstLimit = searching_ ? timing_.searchLimit : timing_.firstByteLimit;
  Millis limit = firstLimit;
  Rx rx = Rx::WaitPreamble;
  int preambles = 0;
  std::size_t beforeDelimiter = 0;
  std::size_t stored = 0;
  std::size_t left = 0;  // address or data bytes still to come
  std::uint8_t check = 0;
  HartResult result = kRunning;
  failure_ = LinkFailure::None;

  // rxFrame holds at most 1 + 5 + 2 + LinkDataSize + 1 bytes: the byte count is checked
  // against the data area before any data byte is stored.
  auto store = [&](std::uint8_t b) {
    if (stored < s.rxFrame.size()) s.rxFrame[stored++] = b;
  };

  port_.ClearLineErrors();
  std::uint64_t lastByte = Now();
  while (result == kRunning) {
    const std::uint64_t readStart = Now();
    const ReadResult r = port_.ReadByte(timing_.readTimeout);
    bool got = false;
    if (r.ok) {
      const std::uint32_t errors = port_.ClearLineErrors();
      got = errors == 0 && r.transferred == 1;
    } else {
      // A failing port answers at once; wait out the read time so the loop does not spin.
      SleepUntilTick(readStart + static_cast<std::uint64_t>(timing_.readTimeout.count()));
    }

    if (Aborted()) {
      result = ResultLinkFailed;
      failure_ = LinkFailure::Stopped;
      break;
    }
    // The gap before this read's byte is measured against the limit that applied to it.
    const std::uint64_t now = Now();
    const std::uint64_t elapsed = now - lastByte;
    if (elapsed >= static_cast<std::uint64_t>(limit.count())) {
      Trace({.kind = TraceKind::ReceiveTimeout, .elapsedMs = static_cast<int>(elapsed)});
      result = ResultLinkFailed;
      // Silence, or only replies to other requests; a frame cut off is a bad reply.
      failure_ = rx == Rx::WaitPreamble ? LinkFailure::NoReply : LinkFailure::BadReply;
      break;
    }

    if (got) {
      lastByte = now;
      const std::uint8_t b = r.byte;
      switch (rx) {
        case Rx::WaitPreamble:
          limit = firstLimit;
          preambles = 0;
          if (b == 0xFF) {
            preambles = 1;
            limit = timing_.byteGapLimit;
            rx = Rx::Preamble;
          }
          break;
        case Rx::Preamble:
          limit = timing_.byteGapLimit;
          if (b == 0xFF) {
            ++preambles;
            break;
          }
          store(b);
          check = b;
          if ((b & 7) != 6) {
            result = ResultLinkFailed;  // a burst frame or an echo of a request
            break;
          }
          left = (b & 0x80) ? 5 : 1;
          rx = Rx::Address;
          break;
        case Rx::Address:
          store(b);
          check ^= b;
          if (--left == 0) rx = Rx::Command;
          break;
        case Rx::Command:
          store(b);
          check ^= b;
          rx = Rx::ByteCount;
          break;
        case Rx::ByteCount:
          store(b);
          check ^= b;
          left = b;
          if (left > LinkDataSize) {
            result = ResultLinkFailed;  // more than the data area holds
            break;
          }
          rx = left == 0 ? Rx::Checksum : Rx::Data;
          break;
        case Rx::Data:
          store(b);
          check ^= b;
          if (--left == 0) rx = Rx::Checksum;
          break;
        case Rx::Checksum:
          store(b);
          if (b != check) {
            result = ResultLinkFailed;
            break;
          }
          if (const std::optional<SkipReason> why = MismatchWithRequest()) {
            // A late reply to an earlier request: wait on for the one asked for. Its bytes
            // count against the bytes allowed before the reply.
            TraceSkipped(preambles, stored, *why);
            beforeDelimiter += stored;
            stored = 0;
            preambles = 0;
            limit = firstLimit;
            rx = Rx::WaitPreamble;
            break;
          }
          result = ResultOk;
          break;
      }
      if (result == kRunning && (rx == Rx::WaitPreamble || rx == Rx::Preamble) &&
          ++beforeDelimiter > MaxBytesBeforeDelimiter) {
        result = ResultLinkFailed;
      }
    }
  }

  if (result == ResultOk) {
    failure_ = LinkFailure::None;
  } else if (failure_ == LinkFailure::None) {
    failure_ = LinkFailure::BadReply;  // delimiter, byte count, checksum or endless noise
  }
  s.rxLength = stored;
  TraceReceive(preambles, stored, result);
  s.lastFrameTime = Now();
  return result;
}

std::vector<std::uint8_t> HartLink::Received(int preambles, std::size_t stored) const {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::max(0, preambles)), 0xFF);
  bytes.insert(bytes.end(), state_.rxFrame.begin(),
               state_.rxFrame.begin() + static_cast<std::ptrdiff_t>(stored));
  return bytes;
}

void HartLink::TraceSkipped(int preambles, std::size_t stored, SkipReason why) {
  Trace({.kind = TraceKind::Skipped, .bytes = Received(preambles, stored), .skipped = why});
}

void HartLink::TraceReceive(int preambles, std::size_t stored, HartResult result) {
  if (result != ResultOk) {
    Trace({.kind = TraceKind::ReceiveFailed,
           .bytes = Received(preambles, stored),
           .failure = failure_});
    return;
  }
  // The response code follows delimiter, address, command and byte count; a reply with
  // byte count 0 has none (the byte there is the checksum).
  const std::size_t at = (state_.rxFrame[0] & 0x80) ? 8 : 4;
  Trace({.kind = TraceKind::Received,
         .bytes = Received(preambles, stored),
         .commError = at + 1 < stored && (state_.rxFrame[at] & CommErrorFlag) != 0});
}

bool HartLink::ParseReply() {
  LinkState& s = state_;
  s.preambleCount = 5;
  const std::size_t length = std::min(s.rxLength, s.rxFrame.size());
  if (length == 0) return false;
  const std::uint8_t* f = s.rxFrame.data();
  const bool isLong = (f[0] & 0x80) != 0;
  const std::size_t addressLength = isLong ? 5 : 1;
  const std::size_t head = 1 + addressLength + 2;  // delimiter, address, command, byte count
  if (length < head + 1) return false;
  const std::size_t count = f[head - 1];
  if (count > LinkDataSize || head + count + 1 > length) return false;

  const std::uint8_t address = f[1];
  s.masterFlag = (address & 0x80) != 0;
  s.burstFlag = (address & 0x40) != 0;
  if (isLong) {
    s.frameKind = FrameKindLong;
    s.replyManufacturer = address & 0x3F;
    s.replyDeviceType = f[2];
    s.replyDeviceId = (std::uint32_t{f[3]} << 16) | (std::uint32_t{f[4]} << 8) | f[5];
  } else {
    s.frameKind = FrameKindShort;
    s.pollingAddress = address & 0x3F;
  }
  s.command = f[1 + addressLength];
  s.byteCount = static_cast<std::uint8_t>(count);
  // A reply too short to carry the two status bytes reports none (never the checksum).
  s.responseCode = count >= 1 ? f[head] : 0;
  s.deviceStatus = count >= 2 ? f[head + 1] : 0;
  std::copy(f + head, f + head + count, s.data.begin());

  std::uint8_t check = 0;
  for (std::size_t i = 0; i < head + count; ++i) check ^= f[i];
  if (check != f[head + count]) return false;

  if (s.responseCode & CommErrorFlag) s.commErrorBits |= s.responseCode;
  if (count < 2) return false;
  return s.responseCode == 0;
}

}  // namespace va5
