#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "base/MessageSink.h"
#include "comm/HartResult.h"
#include "session/Reason.h"
#include "session/RequestChain.h"

namespace va5::session {

class Session;

// What an operation came to.
struct OperationOutcome {
  HartResult result = ResultOk;  // of the last request that ran
  std::optional<Reason> reason;  // nothing when it did what was asked
  std::string value;             // on success: the chain's description of what the device holds

  bool Succeeded() const { return !reason; }
};

// One run of a request chain, driven by the worker's messages: Start submits the first
// request, and every message of the worker goes to OnMessage, which answers failures by the
// session's link-failure policy and submits the next request when one completes. Nothing in
// it waits, so a window drives it from its event loop:
//
//   status = op.Start();
//   on each worker message m:     status = op.OnMessage(m);
//   on Pausing:                   after op.PauseLength(), status = op.Resume();
//   on NeedsAnswer (ask "retry?"): status = op.Answer(retry);
//   on Done:                      show op.Outcome().
//
// Session::Perform drives the same object synchronously for the command-line tool.
class Operation {
 public:
  enum class Status { NotStarted, Running, Pausing, NeedsAnswer, Done };

  // `monitoringAfter`: the poll runs between and after the requests (the window shows live
  // values meanwhile); the command-line tool does not poll between the steps of a chain.
  Operation(Session& session, RequestChain chain, bool monitoringAfter = false);

  // Refused at once (206, nothing stored in the record) while the worker still has another
  // submitted request: its request fields must stay as they were until it has been sent.
  Status Start();
  Status OnMessage(const WorkerMessage& message);
  // Ends a pause (Pausing) and goes on with the chain.
  Status Resume();
  // The technician's answer to a failure that the policy left to them (NeedsAnswer).
  Status Answer(bool retry);

  Status GetStatus() const { return status_; }
  // From Start until Done, pauses and open questions included: the window stays disabled for
  // as long, whatever poll completions arrive in between, and starts no other operation.
  bool InProgress() const {
    return status_ == Status::Running || status_ == Status::Pausing ||
           status_ == Status::NeedsAnswer;
  }
  // The request being run, 0 before the start and after the end.
  int CurrentRequest() const;
  Millis PauseLength() const;
  const OperationOutcome& Outcome() const { return outcome_; }
  const RequestChain& Chain() const { return chain_; }

 private:
  Status Submit();
  Status Advance();
  Status Complete();  // after the last step
  Status Finish(HartResult result, std::optional<Reason> reason);
  Reason BusyReason() const;

  Session& session_;
  RequestChain chain_;
  bool monitoringAfter_;
  Status status_ = Status::NotStarted;
  std::size_t step_ = 0;
  OperationOutcome outcome_;
};

}  // namespace va5::session
