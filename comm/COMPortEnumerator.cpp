#include "comm/COMPortEnumerator.h"

namespace va5 {

void CCOMPortEnumerator::Enumerate() {
  std::vector<PortRecord> found = MergePorts(source_ ? source_() : std::vector<PortRecord>{});
  std::lock_guard lock(mutex_);
  ports_ = std::move(found);
}

std::vector<PortRecord> CCOMPortEnumerator::Ports() const {
  std::lock_guard lock(mutex_);
  return ports_;
}

}  // namespace va5
