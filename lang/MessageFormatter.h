// The operating system's own message text for a result code.
#pragma once

#include <string>

namespace va5 {

class CMessageFormatter {
 public:
  // Windows: the system message table entry for `code` (inserts left unexpanded).
  // POSIX: strerror of `code`.
  explicit CMessageFormatter(int code);

  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

}  // namespace va5
