#include "lang/PrivateException.h"

#include <cstring>

#include "lang/MessageFormatter.h"
#include "base/Utf8.h"

namespace va5 {

CPrivateException::CPrivateException(std::string text) : text_(std::move(text)) {}

CPrivateException::CPrivateException(const CMessageFormatter& formatter)
    : text_(formatter.Text()) {}

bool CPrivateException::GetErrorMessage(char* buffer, std::size_t size) const {
  if (buffer == nullptr || size == 0) return false;
  std::size_t length = std::min(text_.size(), size - 1);
  // Step back over continuation bytes so that the copy ends on a whole character.
  if (length < text_.size()) {
    while (length > 0 && (static_cast<unsigned char>(text_[length]) & 0xC0) == 0x80) --length;
  }
  std::memcpy(buffer, text_.data(), length);
  buffer[length] = '\0';
  return true;
}

std::string CPrivateException::ReportText() const { return FirstCharacters(text_, kReportLength); }

std::string FirstCharacters(const std::string& text, std::size_t count) {
  std::size_t pos = 0;
  for (std::size_t n = 0; n < count && pos < text.size(); ++n) pos = NextCharacter(text, pos);
  return text.substr(0, pos);
}

}  // namespace va5
