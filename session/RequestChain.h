#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "comm/Timing.h"
#include "device/DeviceRecord.h"
#include "session/Reason.h"

namespace va5::session {

// One request of a chain.
struct ChainStep {
  using StopIf = std::function<std::optional<Reason>(const DeviceRecord&)>;

  // Not explicit: a plain request type is a step.
  ChainStep(int type, StopIf stop = {}, Millis Timing::*pause = nullptr)
      : request(type), stopIf(std::move(stop)), pauseAfter(pause) {}

  int request = 0;
  // Looked at once the request has succeeded: a reason ends the chain there (a table that the
  // device reports as not defined), nothing lets it go on.
  StopIf stopIf;
  // The pause after this step, before the next request or the outcome, as one of the
  // session's Timing values (the device settles after a unit change); none when null.
  Millis Timing::*pauseAfter = nullptr;
  // Looked at when the chain comes to this step: true passes over it without a request (the
  // points beyond the size a header reported).
  std::function<bool(const DeviceRecord&)> skipIf;
  // Sets this step's request fields just before it is submitted (a table point's index).
  std::function<void(DeviceRecord&)> store;
  // Looked at when the chain comes to this step, before skipIf: a reason ends the chain there
  // without this request (a table of a size the device cannot take).
  StopIf refuseIf;
  // Sent when the device refuses this request, before the chain ends with that refusal, so
  // that the record shows what the device kept (the header read again after a refused table
  // header); 0 for none. Its own result does not change the outcome.
  int afterRefusal = 0;
};

// What a job record keeps of a chain (JobRecorder): nothing for a chain that changes nothing
// (kind None), the configuration for an upload, and for a write what was asked of the device.
enum class JournalKind {
  None,
  Upload,        // the configuration was read (as found, and before each later write)
  Setting,       // a setting or a configuration row: `setting` is its name (SettingNames)
  SensorTrim,    // `setting` "zero", "span" or "clear"; `reference` the value entered
  DacTrim,       // `setting` "lower", "upper" or "clear"; `reference` the current measured
  FixedCurrent,  // `requested` the current in mA ("0.0" leaves the fixed mode)
  SelfTest,
  TableWrite,  // `setting` the table's kind name, `points`, `checksum`
  Command,     // another write with no value (`setting` names it)
};

struct ChainJournal {
  JournalKind kind = JournalKind::None;
  std::string setting;
  std::string requested;  // the value sent, as entered
  std::string reference;  // trims: the reference value entered
  std::string source;     // table writes: the file the points came from (set by the caller)
  int points = 0;         // table writes
  std::string checksum;   // table writes: CRC-32 of the points' text (TablePointsChecksum)
  // The steps that change the device: a failure before the first means nothing was sent, a
  // failure after the last one left the write confirmed (only the read back failed).
  std::size_t firstWrite = 0;
  std::size_t lastWrite = 0;

  explicit operator bool() const { return kind != JournalKind::None; }
};

// An operation on the device as data: what goes into the record's request fields, the
// requests in their order, and what the outcome says once the last one has succeeded. The
// window and the command-line tool run the same chain (Operation).
struct RequestChain {
  std::string what;                          // names it in failure reasons
  std::function<void(DeviceRecord&)> store;  // before the first request
  std::vector<ChainStep> steps;
  std::function<std::string(const DeviceRecord&)> describe;  // after the last request
  ChainJournal journal{};  // what the session's job record keeps of it; nothing when empty
  // False: no poll runs between the requests even when the operation polls after them (a
  // status read that must follow its command at once); the poll comes back at the end.
  bool pollBetween = true;
};

}  // namespace va5::session
