#include "base/NumberText.h"

#include <charconv>
#include <cerrno>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <type_traits>
#include <vector>

#include "base/Text.h"

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

#ifdef _WIN32
// Windows' C runtime writes at least three exponent digits ("1.5e+007"); C and every other
// platform write at least two ("1.5e+07"). Files and screens must read the same everywhere.
void TrimExponent(std::string& text) {
  const std::size_t e = text.find_first_of("eE");
  if (e == std::string::npos) return;
  std::size_t digits = e + 1;
  if (digits < text.size() && (text[digits] == '+' || text[digits] == '-')) ++digits;
  std::size_t end = digits;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
  while (end - digits > 2 && text[digits] == '0') {
    text.erase(digits, 1);
    --end;
  }
}
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
  std::string text(buffer.data(), static_cast<std::size_t>(length));
#ifdef _WIN32
  if constexpr (std::is_floating_point_v<T>) TrimExponent(text);
#endif
  return text;
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

std::string FormatFixed(double value, int precision, int width) {
  std::string text;
  if (std::isnan(value)) {
    text = "nan";
  } else if (std::isinf(value)) {
    text = value < 0 ? "-inf" : "inf";
  } else {
    char buffer[400];  // the largest double in fixed notation has 309 digits
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
    text = error == std::errc{} ? std::string(buffer, end) : std::string("inf");
  }
  if (text.size() < static_cast<std::size_t>(std::max(width, 0))) {
    text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
  }
  return text;
}

namespace {

double ReadBack(const char* begin, const char* end, double fallback) {
  double value = fallback;
  const auto [stop, error] = std::from_chars(begin, end, value);
  return error == std::errc{} && stop == end ? value : fallback;
}

}  // namespace

double RoundToDecimals(double value, int precision) {
  if (!std::isfinite(value)) return value;
  char buffer[400];
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
  return error == std::errc{} ? ReadBack(buffer, end, value) : value;
}

double RoundToSignificant(double value, int digits) {
  if (!std::isfinite(value)) return value;
  char buffer[64];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value,
                                          std::chars_format::general, std::max(digits, 1));
  return error == std::errc{} ? ReadBack(buffer, end, value) : value;
}

std::optional<double> ParseDecimal(std::string_view text) {
  text = TrimWhiteSpace(text);
  // from_chars takes no leading '+' and would read "inf", "nan" and hexadecimal digits with the
  // right format: check the shape first, so that only plain decimal numbers pass.
  std::string_view body = text;
  if (!body.empty() && (body.front() == '+' || body.front() == '-')) body.remove_prefix(1);
  std::size_t i = 0, digits = 0;
  while (i < body.size() && body[i] >= '0' && body[i] <= '9') ++i, ++digits;
  if (i < body.size() && body[i] == '.') {
    ++i;
    while (i < body.size() && body[i] >= '0' && body[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < body.size() && (body[j] == '+' || body[j] == '-')) ++j;
    const std::size_t first = j;
    while (j < body.size() && body[j] >= '0' && body[j] <= '9') ++j;
    if (j == first) return std::nullopt;
    i = j;
  }
  if (i != body.size()) return std::nullopt;
  double value = 0.0;
  const auto [end, error] = std::from_chars(body.data(), body.data() + body.size(), value);
  if (error != std::errc{} || end != body.data() + body.size()) return std::nullopt;
  return text.front() == '-' ? -value : value;
}

std::optional<unsigned long long> ParseWholeNumber(std::string_view text,
                                                   unsigned long long maximum) {
  text = TrimWhiteSpace(text);
  if (text.empty()) return std::nullopt;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  unsigned long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || value > maximum) {
    return std::nullopt;
  }
  return value;
}

}  // namespace va5
