// Base of every localised window; the windows reach the process-wide database directly.
#pragma once

namespace va5 {

class CResourceManager {
 public:
  virtual ~CResourceManager() = default;
};

}  // namespace va5
