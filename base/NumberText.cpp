#include "base/NumberText.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#ifdef _WIN32
#include <locale.h>
#else
#include <locale.h>
#endif

namespace va5 {
namespace {

#ifdef _WIN32
_locale_t CLocale() {
  static _locale_t locale = _create_locale(LC_ALL, "C");
  return locale;
}
#else
locale_t CLocale() {
  static locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return locale;
}

// Switches the calling thread to the "C" locale for the lifetime of the object.
class CLocaleScope {
 public:
  CLocaleScope() : previous_(uselocale(CLocale())) {}
  ~CLocaleScope() { uselocale(previous_); }
  CLocaleScope(const CLocaleScope&) = delete;
  CLocaleScope& operator=(const CLocaleScope&) = delete;

 private:
  locale_t previous_;
};
#endif

template <typename T>
std::string FormatOne(const char* format, T value) {
#ifdef _WIN32
  int length = _snprintf_l(nullptr, 0, format, CLocale(), value);
#else
  CLocaleScope scope;
  int length = std::snprintf(nullptr, 0, format, value);
#endif
  if (length <= 0) return {};
  std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
#ifdef _WIN32
  _snprintf_l(buffer.data(), buffer.size(), format, CLocale(), value);
#else
  std::snprintf(buffer.data(), buffer.size(), format, value);
#endif
  return std::string(buffer.data(), static_cast<std::size_t>(length));
}

}  // namespace

std::string FormatCNumber(const char* format, double value) { return FormatOne(format, value); }
std::string FormatCNumber(const char* format, long long value) { return FormatOne(format, value); }
std::string FormatCNumber(const char* format, unsigned long long value) {
  return FormatOne(format, value);
}

ParsedNumber ReadCDouble(std::string_view text) {
  // strtod needs a terminated text; a copy also stops it at an embedded NUL of the view.
  const std::string copy(text);
  const char* begin = copy.c_str();
  char* end = nullptr;
  errno = 0;
#ifdef _WIN32
  const double value = _strtod_l(begin, &end, CLocale());
#else
  const double value = strtod_l(begin, &end, CLocale());
#endif
  ParsedNumber result;
  result.used = static_cast<std::size_t>(end - begin);
  if (result.used == 0) return result;
  result.value = value;
  result.overflow = errno == ERANGE && std::isinf(value);
  return result;
}

long long ReadCInteger(std::string_view text) {
  const std::string copy(text);
  return std::strtoll(copy.c_str(), nullptr, 10);
}

}  // namespace va5
