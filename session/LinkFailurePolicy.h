#pragma once

#include "comm/HartWorker.h"

namespace va5::session {

// How a session answers the worker's failure messages (MessageFailure). The same rules serve
// the window, which asks the technician when the policy says Ask, and the command-line tool,
// which has nobody to ask and gives up.
class LinkFailurePolicy {
 public:
  enum class Answer { Retry, Ask, GiveUp };

  // `retries`: failures of one request that are retried without asking, after the silent one.
  explicit LinkFailurePolicy(int retries = 0) : retries_(retries), retriesLeft_(retries) {}

  int Retries() const { return retries_; }

  // Starts the count of a new request: only its own silent-retry mark counts.
  void BeginRequest(HartWorker& worker);

  // A failed transaction of an ordinary request: the first failure of a write request is
  // retried silently, then up to `retries` failures; after that the technician decides.
  Answer OnFailure(HartWorker& worker);

 private:
  int retries_;
  int retriesLeft_;
};

}  // namespace va5::session
