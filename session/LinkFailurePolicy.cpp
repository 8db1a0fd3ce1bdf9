#include "session/LinkFailurePolicy.h"

namespace va5::session {

namespace {
// Addresses 0 ... 15: a search moves on fifteen times.
constexpr int SearchSteps = 15;
}  // namespace

void LinkFailurePolicy::BeginRequest(HartWorker& worker) {
  retriesLeft_ = retries_;
  worker.ClearSilentRetry();
}

LinkFailurePolicy::Answer LinkFailurePolicy::OnFailure(HartWorker& worker) {
  if (worker.SilentRetry()) {
    worker.ClearSilentRetry();
    return Answer::Retry;
  }
  if (retriesLeft_ > 0) {
    --retriesLeft_;
    return Answer::Retry;
  }
  return Answer::Ask;
}

LinkFailurePolicy::Answer LinkFailurePolicy::OnSearchFailure(const HartWorker& worker) {
  // The worker counts the addresses it moved on: after the 15th move the last one has failed.
  return worker.StepsDone() < SearchSteps ? Answer::Retry : Answer::GiveUp;
}

}  // namespace va5::session
