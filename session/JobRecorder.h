// Keeps the job record of a session as its operations run: every chain that carries a journal
// (RequestChain::journal) is handed over by Operation when it starts and when it ends, with the
// device record of both moments. Only what the device answered is recorded; a write whose
// reply was lost is "not confirmed", never a change.
//
// The window reads Job() (and saves it with SaveJob); the command-line tool resumes a job from
// its file, runs its command, then closes the job (CloseJob) and saves it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "device/DeviceRecord.h"
#include "session/JobRecord.h"
#include "session/Operation.h"
#include "session/Reason.h"
#include "session/RequestChain.h"

namespace va5::session {

class Session;

class JobRecorder {
 public:
  const JobRecord& Job() const { return job_; }
  // Starts again from `job` (a file the tool appends to); its as-found configuration stays.
  void Resume(JobRecord job);
  // Forgets the job: the next upload starts a new one.
  void Clear();

  // True when the job has no device yet or `device` is the job's device.
  bool Accepts(const DeviceRecord& device) const;

  void SetPort(std::string port) { port_ = std::move(port); }
  void SetTechnician(std::string name) { job_.technician = std::move(name); }
  void SetNotes(std::string notes) { job_.notes = std::move(notes); }

  // Operation's hooks: `before` when a chain with a journal starts, the rest when it ends
  // (`endedAt` the index of the step it ended at, the number of steps when it completed).
  void Begin(const void* operation, const DeviceRecord& before);
  void End(const void* operation, const RequestChain& chain, const DeviceRecord& after,
           const OperationOutcome& outcome, std::size_t endedAt);

  // A fresh reading of the process values (a poll, an upload): a sensor trim's reading after
  // is the first one that follows it.
  void NoteReading(const DeviceRecord& device);

  // The configuration as left, from a record just read again from the device (CloseJob).
  void Close(const DeviceRecord& uploaded);

 private:
  void TakeUpload(const DeviceRecord& device);
  void RecordWrite(const RequestChain& chain, const DeviceRecord& before, const DeviceRecord& after,
                   const OperationOutcome& outcome, JobOutcome result);
  void RecordTrim(const ChainJournal& journal, const DeviceRecord& before,
                  const DeviceRecord& after, const std::string& answered, JobOutcome result);
  void RecordOther(const RequestChain& chain, const DeviceRecord& after,
                   const OperationOutcome& outcome, JobOutcome result);

  JobRecord job_;
  std::string port_;
  // The started chains with their record before, by operation.
  std::vector<std::pair<const void*, DeviceRecord>> pending_;
  JobConfiguration known_;            // the device's configuration as last read or answered
  std::vector<std::size_t> waiting_;  // sensor trims waiting for their reading after
};

// Reads the configuration again (identify and upload) and closes the session's job with it as
// the configuration as left. The reason when it could not be read (the job then stays open).
std::optional<Reason> CloseJob(Session& session);

}  // namespace va5::session
