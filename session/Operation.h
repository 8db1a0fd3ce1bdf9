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
