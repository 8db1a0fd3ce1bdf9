// SIGINT and SIGTERM while the tool works on a device: a transfer (a table read or write, a
// configuration download) or the monitor ends at its next request boundary and says what the
// device holds, instead of dying between two requests.
#pragma once

#include <atomic>
#include <csignal>

namespace va5::cli {

inline std::atomic<bool> interrupted{false};

inline void OnInterrupt(int) { interrupted = true; }

inline void CatchInterrupts() {
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
}

}  // namespace va5::cli
