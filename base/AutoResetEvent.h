#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace va5 {

// An event that releases exactly one waiter and then clears itself. Setting it while nobody
// waits leaves it signalled until the next wait consumes it.
class AutoResetEvent {
 public:
  void Set();
  // Clears the event without waking anybody.
  void Reset();
  // Waits without limit; consumes the signal.
  void Wait();
  // Waits up to `timeout`; true (and the signal consumed) when the event was signalled.
  bool WaitFor(std::chrono::milliseconds timeout);

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool signalled_ = false;
};

}  // namespace va5
