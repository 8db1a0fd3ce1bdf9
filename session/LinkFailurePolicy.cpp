#include "session/LinkFailurePolicy.h"

namespace va5::session {

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

}  // namespace va5::session
