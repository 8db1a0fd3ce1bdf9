#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "comm/SerialPort.h"

namespace va5::test {

// A serial port for tests and fuzzers: incoming bytes follow a script of arrival times,
// line errors, modem status and write failures can be injected, and everything the link does
// to the port is recorded.
//
// Arrival times are relative to the moment the bytes are queued (QueueBytes, QueueScript or a
// responder's QueueBytes after a write). ReadByte sleeps until the next byte is due or the
// time-out passes; it never spins.
//
// In instant mode the port keeps its own virtual clock instead of sleeping: a read returns the
// next byte at once when it is due within the time-out (moving the clock to its arrival), and
// otherwise moves the clock on by the whole time-out and returns nothing. Give the link
// VirtualMillis as its clock and a whole receive runs without any waiting (fuzzers).
//
// Thread safe: a test thread may queue bytes while the link reads on another thread.
class FakeSerialPort : public SerialPort {
 public:
  using Clock = std::chrono::steady_clock;

  struct ScriptedByte {
    Micros at{0};  // arrival, relative to the moment the script is queued
    std::uint8_t byte = 0;
    std::uint32_t lineErrors = 0;  // reported by the ClearLineErrors after this byte's read
  };

  enum class EventKind { Open, Close, Write, PurgeReceive, PurgeTransmit, SetDtr, SetRts };
  struct Event {
    EventKind kind;
    Clock::time_point at;
    long size = 0;  // Write: bytes written or -1; SetDtr/SetRts: 1 on, 0 off
  };

  // Called after every write with the bytes written; it may queue a reply.
  using Responder = std::function<void(const std::vector<std::uint8_t>& written, FakeSerialPort&)>;

  FakeSerialPort() = default;

  // --- incoming bytes
  // Queues bytes: the first arrives `first` after now, each further one `spacing` later.
  void QueueBytes(const std::vector<std::uint8_t>& bytes, Micros first = Micros(0),
                  Micros spacing = Micros(0));
  void QueueScript(const std::vector<ScriptedByte>& script);
  std::size_t PendingBytes() const;
  void SetResponder(Responder responder);

  // --- instant mode (no waiting; virtual clock)
  void SetInstant(bool instant);
  std::uint64_t VirtualMillis() const;
  void AdvanceVirtual(Micros duration);  // a sleep on the virtual clock

  // --- modem status
  void SetModemStatus(ModemStatus status);
  // From `after` on (relative to now), GetModemStatus reports `status`.
  void ChangeModemStatusAfter(Micros after, ModemStatus status);
  int ModemStatusReads() const;

  // --- failures
  // Opening fails with `result` and `why` (ResultOk: opening works again).
  void FailOpen(HartResult result, PortOpenError why = PortOpenError::Other);
  void FailWrites(bool fail);
  void LimitWrites(std::optional<std::size_t> maxBytes);  // a short write
  void FailReads(bool fail);                              // reads fail at once

  // --- records
  // Name and settings of the last successful Open.
  std::string PortName() const;
  PortSettings Settings() const;
  std::vector<std::vector<std::uint8_t>> Writes() const;
  std::vector<Event> Events() const;
  std::size_t CountEvents(EventKind kind) const;
  int ReadCount() const;
  void ClearRecords();

  // --- SerialPort
  HartResult Open(const std::string& portName, const PortSettings& settings,
                  const Timing& timing) override;
  PortOpenError LastOpenError() const override;
  bool IsOpen() const override;
  void Close() override;
  bool SetDtr(bool on) override;
  bool SetRts(bool on) override;
  ModemStatus GetModemStatus() override;
  ReadResult ReadByte(Millis timeout) override;
  long Write(const std::uint8_t* data, std::size_t length) override;
  bool PurgeReceive() override;
  bool PurgeTransmit() override;
  std::uint32_t ClearLineErrors() override;

 private:
  struct Pending {
    std::int64_t at;  // port time in microseconds
    std::uint8_t byte;
    std::uint32_t lineErrors;
  };

  std::int64_t NowLocked() const;  // port time: steady clock, or the virtual clock
  void Record(EventKind kind, long size);

  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<Pending> incoming_;
  Responder responder_;
  bool instant_ = false;
  std::int64_t virtualNow_ = 1'000'000;  // starts at one second
  ModemStatus modem_{true, false};
  std::optional<std::pair<std::int64_t, ModemStatus>> modemChange_;
  int modemReads_ = 0;
  HartResult failOpen_ = ResultOk;
  PortOpenError failOpenWhy_ = PortOpenError::Other;
  PortOpenError lastOpenError_ = PortOpenError::None;
  bool failWrites_ = false;
  bool failReads_ = false;
  std::optional<std::size_t> writeLimit_;
  bool open_ = false;
  std::string portName_;
  PortSettings settings_;
  std::uint32_t pendingErrors_ = 0;
  std::vector<std::vector<std::uint8_t>> writes_;
  std::vector<Event> events_;
  int reads_ = 0;
};

}  // namespace va5::test
