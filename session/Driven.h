#pragma once

#include <optional>
#include <string>

#include "base/MessageSink.h"
#include "comm/HartResult.h"
#include "comm/Timing.h"
#include "session/Reason.h"

namespace va5::session {

// What a run came to.
struct OperationOutcome {
  HartResult result = ResultOk;  // of the last request that ran
  std::optional<Reason> reason;  // nothing when it did what was asked
  std::string value;             // on success: the chain's description of what the device holds

  bool Succeeded() const { return !reason; }
};

enum class RunStatus { NotStarted, Running, Pausing, NeedsAnswer, Done };

// Every long piece of work on the link (a connection, an operation, a configuration download)
// is driven the same way, from the worker's messages, and never waits itself:
//
//   status = run.Start();
//   on each worker message m:      status = run.OnMessage(m);
//   on Pausing:                    after run.PauseLength(), status = run.Resume();
//   on NeedsAnswer (ask "retry?"): status = run.Answer(retry);
//   on Done:                       show run.Outcome().
//
// The window drives it from its event loop (one runner), the command-line tool on its own
// thread (Session::Drive).
class Driven {
 public:
  using Status = RunStatus;

  virtual ~Driven() = default;
  virtual Status Start() = 0;
  virtual Status OnMessage(const WorkerMessage& message) = 0;
  virtual Status Resume() = 0;
  virtual Status Answer(bool retry) = 0;

  virtual Status GetStatus() const = 0;
  // How long a pause lasts (Pausing only).
  virtual Millis PauseLength() const = 0;
  // The request being run; a message about it (or a failure, or the worker's end) belongs to
  // the run, anything else (polls, progress) passes it by.
  virtual int CurrentRequest() const = 0;
  virtual const OperationOutcome& Outcome() const = 0;

  // From Start until Done, pauses and open questions included.
  bool InProgress() const {
    const Status status = GetStatus();
    return status == Status::Running || status == Status::Pausing ||
           status == Status::NeedsAnswer;
  }
};

}  // namespace va5::session
