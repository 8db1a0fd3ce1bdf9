#include "lang/MessageFormatter.h"

#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace va5 {

#ifdef _WIN32
CMessageFormatter::CMessageFormatter(int code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  if (length > 0 && buffer != nullptr) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(length), nullptr, 0,
                                         nullptr, nullptr);
    text_.resize(static_cast<std::size_t>(size));
    WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(length), text_.data(), size, nullptr,
                        nullptr);
  }
  if (buffer != nullptr) LocalFree(buffer);
}
#else
namespace {
// strerror_r comes in two flavours (XSI returns int, GNU returns the text).
[[maybe_unused]] std::string FromStrerror(int result, const char* buffer, int code) {
  return result == 0 ? std::string(buffer) : "Unknown error " + std::to_string(code);
}
[[maybe_unused]] std::string FromStrerror(const char* result, const char*, int code) {
  return result != nullptr ? std::string(result) : "Unknown error " + std::to_string(code);
}
}  // namespace

CMessageFormatter::CMessageFormatter(int code) {
  char buffer[256] = {};
  text_ = FromStrerror(strerror_r(code, buffer, sizeof buffer), buffer, code);
  text_ += "\n";  // like the system texts of Windows, the text ends with a line break
}
#endif

}  // namespace va5
