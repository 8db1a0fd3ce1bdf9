#pragma once

#include <functional>
#include <mutex>
#include <vector>

#include "comm/PortSources.h"

namespace va5 {

// Holds the list of serial ports; Enumerate rebuilds it (on a background thread) from the
// platform's sources with the merge, sort and duplicate rules of MergePorts.
class CCOMPortEnumerator {
 public:
  using Source = std::function<std::vector<PortRecord>()>;

  explicit CCOMPortEnumerator(Source source = PlatformPortSources) : source_(std::move(source)) {}

  void Enumerate();
  // A copy of the last list.
  std::vector<PortRecord> Ports() const;

 private:
  Source source_;
  mutable std::mutex mutex_;  // the list is rebuilt on one thread and read on another
  std::vector<PortRecord> ports_;
};

}  // namespace va5
