#include "session/Operation.h"

#include "comm/RequestTypes.h"
#include "session/Session.h"

namespace va5::session {

Operation::Operation(Session& session, RequestChain chain, bool monitoringAfter)
    : session_(session), chain_(std::move(chain)), monitoringAfter_(monitoringAfter) {}

int Operation::CurrentRequest() const {
  const bool running =
      status_ == Status::Running || status_ == Status::NeedsAnswer || status_ == Status::Pausing;
  if (!running || step_ >= chain_.steps.size()) return 0;
  return refusal_ ? chain_.steps[step_].afterRefusal : chain_.steps[step_].request;
}

bool Operation::ReplyLost() const {
  const ChainJournal& journal = chain_.journal;
  if (status_ != Status::Done || outcome_.Succeeded() || stopped_ || !journal) return false;
  if (step_ < journal.firstWrite || step_ > journal.lastWrite) return false;
  const Reason& reason = *outcome_.reason;
  if (reason.kind == ReasonKind::PortNotOpened || outcome_.result == ResultBusy) return false;
  // A reply that came but could not be used carries no response code.
  if (reason.kind == ReasonKind::DeviceRefused)
    return reason.args.size() >= 2 && reason.args[1].empty();
  return reason.Class() == ReasonClass::Link;
}

Millis Operation::PauseLength() const {
  if (status_ != Status::Pausing) return Millis{0};
  return session_.GetTiming().*(chain_.steps[step_].pauseAfter);
}

Operation::Status Operation::Start() {
  if (status_ != Status::NotStarted) return status_;
  step_ = 0;
  outcome_ = {};
  if (session_.RequestPending()) return Finish(ResultBusy, BusyReason());
  if (chain_.journal) session_.Job().Begin(this, session_.Record());
  if (chain_.store) session_.WithRecord([&](DeviceRecord& r) { chain_.store(r); });
  if (chain_.steps.empty()) return Finish(ResultOk, std::nullopt);
  return Submit();
}

Operation::Status Operation::Submit() {
  status_ = Status::Running;
  // The step's own fields, or past the steps that have nothing to do.
  for (;; ++step_) {
    if (step_ >= chain_.steps.size()) return Complete();
    const ChainStep& step = chain_.steps[step_];
    if (!step.refuseIf && !step.skipIf && !step.store) break;
    std::optional<Reason> refused;
    const bool skip = session_.WithRecord([&](DeviceRecord& r) {
      const DeviceRecord& record = r;
      if (step.refuseIf && (refused = step.refuseIf(record))) return false;
      if (step.skipIf && step.skipIf(record)) return true;
      if (step.store) step.store(r);
      return false;
    });
    if (refused) return Finish(ResultOk, std::move(refused));
    if (!skip) break;
  }
  if (stopRequested_) {
    // A request boundary: nothing more goes out.
    stopped_ = true;
    const std::string why = "stopped by the technician";
    return Finish(ResultOk,
                  Reason{ReasonKind::LinkFailed, chain_.what + ": " + why, {chain_.what, why}});
  }
  session_.BeginRequest();
  const bool last = step_ + 1 == chain_.steps.size();
  const HartResult submitted = session_.Submit(chain_.steps[step_].request,
                                               monitoringAfter_ && (chain_.pollBetween || last));
  if (submitted == ResultBusy) return Finish(ResultBusy, BusyReason());
  if (submitted != ResultOk)
    return Finish(ResultLinkFailed, session_.Explain(submitted, chain_.what));
  return status_;
}

Operation::Status Operation::OnMessage(const WorkerMessage& message) {
  if (status_ != Status::Running && status_ != Status::NeedsAnswer) return status_;
  if (message.kind == MessageFailure) {
    // Whatever failed (this request, or a poll that ran before it was taken), the worker now
    // waits for an answer.
    switch (session_.OnFailure()) {
      case LinkFailurePolicy::Answer::Retry:
        session_.AnswerFailure(true);
        break;
      case LinkFailurePolicy::Answer::Ask:
        status_ = Status::NeedsAnswer;
        break;
      case LinkFailurePolicy::Answer::GiveUp:
        session_.AnswerFailure(false);
        break;
    }
    return status_;
  }
  if (message.kind == MessageWorkerEnded) {
    return Finish(ResultLinkFailed, session_.Explain(ResultLinkFailed, chain_.what));
  }
  if (message.kind != CurrentRequest()) return status_;  // polls, progress
  if (refusal_) {
    // The follow-up of a refusal has ended, however it went: the refusal is the outcome.
    OperationOutcome refusal = std::move(*refusal_);
    refusal_.reset();
    return Finish(refusal.result, std::move(refusal.reason));
  }
  const ChainStep& step = chain_.steps[step_];
  if (message.detail == ResultReplyRejected && step.afterRefusal != 0) {
    return FollowRefusal(message.detail, step.afterRefusal);
  }
  if (message.detail != ResultOk) {
    return Finish(message.detail, session_.Explain(message.detail, chain_.what));
  }
  if (step.stopIf) {
    auto stop = session_.WithRecord(
        [&](DeviceRecord& r) { return step.stopIf(static_cast<const DeviceRecord&>(r)); });
    if (stop) return Finish(ResultOk, std::move(stop));
  }
  if (step.pauseAfter != nullptr && session_.GetTiming().*step.pauseAfter > Millis{0}) {
    status_ = Status::Pausing;
    return status_;
  }
  return Advance();
}

Operation::Status Operation::Resume() {
  if (status_ != Status::Pausing) return status_;
  return Advance();
}

Operation::Status Operation::Answer(bool retry) {
  if (status_ != Status::NeedsAnswer) return status_;
  status_ = Status::Running;
  session_.AnswerFailure(retry);
  return status_;
}

Operation::Status Operation::Advance() {
  if (++step_ < chain_.steps.size()) return Submit();
  return Complete();
}

Operation::Status Operation::Complete() {
  std::string value;
  if (chain_.describe) {
    value = session_.WithRecord(
        [&](DeviceRecord& r) { return chain_.describe(static_cast<const DeviceRecord&>(r)); });
  }
  Finish(ResultOk, std::nullopt);
  outcome_.value = std::move(value);
  return status_;
}

Operation::Status Operation::FollowRefusal(HartResult result, int followUp) {
  // Explained now: the follow-up's own exchange replaces the details of this one.
  refusal_ = OperationOutcome{result, session_.Explain(result, chain_.what), {}};
  session_.BeginRequest();
  if (session_.Submit(followUp, monitoringAfter_) == ResultOk) return status_;
  OperationOutcome refusal = std::move(*refusal_);
  refusal_.reset();
  return Finish(refusal.result, std::move(refusal.reason));
}

Reason Operation::BusyReason() const {
  const std::string why = "another request is still running";
  return {ReasonKind::LinkFailed, chain_.what + ": " + why, {chain_.what, why}};
}

Operation::Status Operation::Finish(HartResult result, std::optional<Reason> reason) {
  outcome_.result = result;
  outcome_.reason = std::move(reason);
  status_ = Status::Done;
  // A chain that held the poll between its requests gives it back however it ended.
  if (monitoringAfter_ && !chain_.pollBetween) session_.SetMonitoring(true);
  if (chain_.journal) session_.Job().End(this, chain_, session_.Record(), outcome_, step_);
  return status_;
}

}  // namespace va5::session
