#include "testing/FakeSerialPort.h"

#include <algorithm>


namespace va5::test {
namespace {

std::int64_t SteadyMicros(FakeSerialPort::Clock::time_point t) {
  return std::chrono::duration_cast<Micros>(t.time_since_epoch()).count();
}

}  // namespace

std::int64_t FakeSerialPort::NowLocked() const {
  return instant_ ? virtualNow_ : SteadyMicros(Clock::now());
}

void FakeSerialPort::Record(EventKind kind, long size) {
  events_.push_back(Event{kind, Clock::now(), size});
}

void FakeSerialPort::QueueBytes(const std::vector<std::uint8_t>& bytes, Micros first,
                                Micros spacing) {
  std::vector<ScriptedByte> script;
  script.reserve(bytes.size());
  Micros at = first;
  for (std::uint8_t b : bytes) {
    script.push_back(ScriptedByte{at, b, 0});
    at += spacing;
  }
  QueueScript(script);
}

void FakeSerialPort::QueueScript(const std::vector<ScriptedByte>& script) {
  {
    std::lock_guard lock(mutex_);
    const std::int64_t base = NowLocked();
    for (const ScriptedByte& s : script) {
      // Bytes keep their order on the line even when a script goes back in time.
      std::int64_t at = base + s.at.count();
      if (!incoming_.empty()) at = std::max(at, incoming_.back().at);
      incoming_.push_back(Pending{at, s.byte, s.lineErrors});
    }
  }
  arrived_.notify_all();
}

std::size_t FakeSerialPort::PendingBytes() const {
  std::lock_guard lock(mutex_);
  return incoming_.size();
}

void FakeSerialPort::SetResponder(Responder responder) {
  std::lock_guard lock(mutex_);
  responder_ = std::move(responder);
}

void FakeSerialPort::SetInstant(bool instant) {
  std::lock_guard lock(mutex_);
  instant_ = instant;
}

std::uint64_t FakeSerialPort::VirtualMillis() const {
  std::lock_guard lock(mutex_);
  return static_cast<std::uint64_t>(virtualNow_ / 1000);
}

void FakeSerialPort::AdvanceVirtual(Micros duration) {
  std::lock_guard lock(mutex_);
  if (duration > Micros(0)) virtualNow_ += duration.count();
}

void FakeSerialPort::SetModemStatus(ModemStatus status) {
  std::lock_guard lock(mutex_);
  modem_ = status;
  modemChange_.reset();
}

void FakeSerialPort::ChangeModemStatusAfter(Micros after, ModemStatus status) {
  std::lock_guard lock(mutex_);
  modemChange_.emplace(NowLocked() + after.count(), status);
}

int FakeSerialPort::ModemStatusReads() const {
  std::lock_guard lock(mutex_);
  return modemReads_;
}

void FakeSerialPort::FailOpen(HartResult result, PortOpenError why) {
  std::lock_guard lock(mutex_);
  failOpen_ = result;
  failOpenWhy_ = why;
}

void FakeSerialPort::FailWrites(bool fail) {
  std::lock_guard lock(mutex_);
  failWrites_ = fail;
}

void FakeSerialPort::LimitWrites(std::optional<std::size_t> maxBytes) {
  std::lock_guard lock(mutex_);
  writeLimit_ = maxBytes;
}

void FakeSerialPort::FailReads(bool fail) {
  std::lock_guard lock(mutex_);
  failReads_ = fail;
}

std::string FakeSerialPort::PortName() const {
  std::lock_guard lock(mutex_);
  return portName_;
}

PortSettings FakeSerialPort::Settings() const {
  std::lock_guard lock(mutex_);
  return settings_;
}

std::vector<std::vector<std::uint8_t>> FakeSerialPort::Writes() const {
  std::lock_guard lock(mutex_);
  return writes_;
}

std::vector<FakeSerialPort::Event> FakeSerialPort::Events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

std::size_t FakeSerialPort::CountEvents(EventKind kind) const {
  std::lock_guard lock(mutex_);
  return static_cast<std::size_t>(std::count_if(events_.begin(), events_.end(),
                                                [kind](const Event& e) { return e.kind == kind; }));
}

int FakeSerialPort::ReadCount() const {
  std::lock_guard lock(mutex_);
  return reads_;
}

void FakeSerialPort::ClearRecords() {
  std::lock_guard lock(mutex_);
  writes_.clear();
  events_.clear();
  reads_ = 0;
  modemReads_ = 0;
}

HartResult FakeSerialPort::Open(const std::string& portName, const PortSettings& settings,
                                const Timing&) {
  std::lock_guard lock(mutex_);
  if (portName.empty()) {
    lastOpenError_ = PortOpenError::NotFound;
    return ResultBadPortDefinition;
  }
  if (open_) {  // as a real port: opening again closes first
    open_ = false;
    Record(EventKind::Close, 0);
  }
  if (failOpen_ != ResultOk) {
    lastOpenError_ = failOpenWhy_;
    return failOpen_;
  }
  open_ = true;
  lastOpenError_ = PortOpenError::None;
  portName_ = portName;
  settings_ = settings;
  Record(EventKind::Open, 0);
  return ResultOk;
}

PortOpenError FakeSerialPort::LastOpenError() const {
  std::lock_guard lock(mutex_);
  return lastOpenError_;
}

bool FakeSerialPort::IsOpen() const {
  std::lock_guard lock(mutex_);
  return open_;
}

void FakeSerialPort::Close() {
  std::lock_guard lock(mutex_);
  open_ = false;
  Record(EventKind::Close, 0);
}

bool FakeSerialPort::SetDtr(bool on) {
  std::lock_guard lock(mutex_);
  Record(EventKind::SetDtr, on ? 1 : 0);
  return true;
}

bool FakeSerialPort::SetRts(bool on) {
  std::lock_guard lock(mutex_);
  Record(EventKind::SetRts, on ? 1 : 0);
  return true;
}

ModemStatus FakeSerialPort::GetModemStatus() {
  std::lock_guard lock(mutex_);
  ++modemReads_;
  if (modemChange_ && NowLocked() >= modemChange_->first) {
    modem_ = modemChange_->second;
    modemChange_.reset();
  }
  return modem_;
}

ReadResult FakeSerialPort::ReadByte(Millis timeout) {
  std::unique_lock lock(mutex_);
  ++reads_;
  if (failReads_) return ReadResult{false, 0, 0};
  const std::int64_t timeoutUs = std::chrono::duration_cast<Micros>(timeout).count();

  auto take = [this]() {
    const Pending p = incoming_.front();
    incoming_.pop_front();
    pendingErrors_ |= p.lineErrors;
    return ReadResult{true, 1, p.byte};
  };

  if (instant_) {
    const std::int64_t deadline = virtualNow_ + timeoutUs;
    if (!incoming_.empty() && incoming_.front().at <= deadline) {
      virtualNow_ = std::max(virtualNow_, incoming_.front().at);
      return take();
    }
    virtualNow_ = deadline;
    return ReadResult{true, 0, 0};
  }

  const auto deadline = Clock::now() + timeout;
  while (true) {
    const auto now = Clock::now();
    if (!incoming_.empty() && incoming_.front().at <= SteadyMicros(now)) return take();
    if (now >= deadline) return ReadResult{true, 0, 0};
    auto wake = deadline;
    if (!incoming_.empty()) {
      const auto due = Clock::time_point(
          std::chrono::duration_cast<Clock::duration>(Micros(incoming_.front().at)));
      wake = std::min(wake, due);
    }
    arrived_.wait_until(lock, wake);
  }
}

long FakeSerialPort::Write(const std::uint8_t* data, std::size_t length) {
  Responder responder;
  std::vector<std::uint8_t> written;
  long result = 0;
  {
    std::lock_guard lock(mutex_);
    if (failWrites_) {
      Record(EventKind::Write, -1);
      return -1;
    }
    const std::size_t n = writeLimit_ ? std::min(length, *writeLimit_) : length;
    written.assign(data, data + n);
    writes_.push_back(written);
    result = static_cast<long>(n);
    Record(EventKind::Write, result);
    responder = responder_;
  }
  if (responder) responder(written, *this);
  return result;
}

bool FakeSerialPort::PurgeReceive() {
  std::lock_guard lock(mutex_);
  // Drops what has arrived; bytes still on their way arrive later, as on a real line.
  const std::int64_t now = NowLocked();
  while (!incoming_.empty() && incoming_.front().at <= now) incoming_.pop_front();
  Record(EventKind::PurgeReceive, 0);
  return true;
}

bool FakeSerialPort::PurgeTransmit() {
  std::lock_guard lock(mutex_);
  Record(EventKind::PurgeTransmit, 0);
  return true;
}

std::uint32_t FakeSerialPort::ClearLineErrors() {
  std::lock_guard lock(mutex_);
  const std::uint32_t mask = pendingErrors_;
  pendingErrors_ = 0;
  return mask;
}

}  // namespace va5::test
