#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "base/MessageSink.h"
#include "comm/HartResult.h"
#include "session/Driven.h"
#include "session/Reason.h"
#include "session/RequestChain.h"

namespace va5::session {

class Session;

// One run of a request chain, driven by the worker's messages (Driven): Start submits the first
// request, and every message of the worker goes to OnMessage, which answers failures by the
// session's link-failure policy and submits the next request when one completes.
// Session::Perform drives the same object synchronously for the command-line tool.
class Operation : public Driven {
 public:

  // `monitoringAfter`: the poll runs between and after the requests (the window shows live
  // values meanwhile); the command-line tool does not poll between the steps of a chain.
  Operation(Session& session, RequestChain chain, bool monitoringAfter = false);

  // Refused at once (206, nothing stored in the record) while the worker still has another
  // submitted request: its request fields must stay as they were until it has been sent.
  Status Start() override;
  Status OnMessage(const WorkerMessage& message) override;
  // Ends a pause (Pausing) and goes on with the chain.
  Status Resume() override;
  // The technician's answer to a failure that the policy left to them (NeedsAnswer).
  Status Answer(bool retry) override;

  Status GetStatus() const override { return status_; }
  // The request being run, 0 before the start and after the end.
  int CurrentRequest() const override;
  Millis PauseLength() const override;
  const OperationOutcome& Outcome() const override { return outcome_; }
  const RequestChain& Chain() const { return chain_; }

  // Ends the run at the next request boundary: the request in flight finishes, nothing more
  // is sent, and the outcome says the technician stopped it (a link-class reason: what was
  // asked was not done). A failure of the request in flight still ends the run as a failure.
  void RequestStop() { stopRequested_ = true; }
  // The run ended at a stop (RequestStop), not by a failure or at its end.
  bool Stopped() const { return stopped_; }
  // The step the run ended at: the request that failed, or after a stop the first one not
  // sent; the number of steps after the end.
  std::size_t EndedAt() const { return step_; }
  // A write of the chain (its journal's steps) went out and its reply was lost or unusable:
  // the device may have taken it. False for a refusal, a stop, or a failure before anything
  // was sent.
  bool ReplyLost() const;

 private:
  Status Submit();
  Status Advance();
  Status Complete();  // after the last step
  Status Finish(HartResult result, std::optional<Reason> reason);
  Reason BusyReason() const;
  Status FollowRefusal(HartResult result, int followUp);

  Session& session_;
  RequestChain chain_;
  bool monitoringAfter_;
  Status status_ = Status::NotStarted;
  std::size_t step_ = 0;
  OperationOutcome outcome_;
  bool stopRequested_ = false;
  bool stopped_ = false;
  // A refused step's follow-up request is running; the refusal waits here for its end.
  std::optional<OperationOutcome> refusal_;
};

}  // namespace va5::session
