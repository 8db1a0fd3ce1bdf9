#include "comm/Codecs.h"

#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <system_error>

#include "base/Text.h"

namespace va5 {

void PutU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 8);
  p[1] = static_cast<std::uint8_t>(v);
}

std::uint16_t GetU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

std::int16_t GetS16(const std::uint8_t* p) { return static_cast<std::int16_t>(GetU16(p)); }

void PutU24(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 16);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v);
}

std::uint32_t GetU24(const std::uint8_t* p) {
  return (static_cast<std::uint32_t>(p[0]) << 16) | (static_cast<std::uint32_t>(p[1]) << 8) | p[2];
}

void PutFloat(std::uint8_t* p, float v) {
  static_assert(sizeof(float) == 4 && std::numeric_limits<float>::is_iec559);
  std::uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  p[0] = static_cast<std::uint8_t>(bits >> 24);
  p[1] = static_cast<std::uint8_t>(bits >> 16);
  p[2] = static_cast<std::uint8_t>(bits >> 8);
  p[3] = static_cast<std::uint8_t>(bits);
}

float GetFloat(const std::uint8_t* p) {
  const std::uint32_t bits = (static_cast<std::uint32_t>(p[0]) << 24) |
                             (static_cast<std::uint32_t>(p[1]) << 16) |
                             (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
  float v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

float ToWireFloat(double v) {
  if (std::isnan(v) || std::isinf(v)) return static_cast<float>(v);
  // Half a unit in the last place above the largest float: from here on, round-to-nearest
  // gives infinity. Below it the conversion is an ordinary, defined rounding.
  const double overflow = std::ldexp(1.0, 128) - std::ldexp(1.0, 103);
  if (std::fabs(v) >= overflow) {
    return std::signbit(v) ? -std::numeric_limits<float>::infinity()
                           : std::numeric_limits<float>::infinity();
  }
  if (std::fabs(v) > std::numeric_limits<float>::max()) {
    return std::signbit(v) ? -std::numeric_limits<float>::max() : std::numeric_limits<float>::max();
  }
  return static_cast<float>(v);
}

void PackAscii(std::uint8_t* out, std::string_view text, std::size_t characters) {
  for (std::size_t i = 0; i + 4 <= characters; i += 4) {
    unsigned c[4];
    for (std::size_t k = 0; k < 4; ++k) {
      c[k] = i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : ' ';
    }
    std::uint8_t* b = out + i / 4 * 3;
    b[0] = static_cast<std::uint8_t>(((c[0] & 0x3F) << 2) | ((c[1] >> 4) & 0x03));
    b[1] = static_cast<std::uint8_t>(((c[1] & 0x0F) << 4) | ((c[2] >> 2) & 0x0F));
    b[2] = static_cast<std::uint8_t>(((c[2] & 0x03) << 6) | (c[3] & 0x3F));
  }
}

std::string UnpackAscii(const std::uint8_t* in, std::size_t bytes) {
  std::string text;
  text.reserve(bytes / 3 * 4);
  for (std::size_t i = 0; i + 3 <= bytes; i += 3) {
    const unsigned group =
        (static_cast<unsigned>(in[i]) << 16) | (static_cast<unsigned>(in[i + 1]) << 8) | in[i + 2];
    for (int shift = 18; shift >= 0; shift -= 6) {
      unsigned code = (group >> shift) & 0x3F;
      // Codes 0x00-0x1F stand for 0x40-0x5F ('@', 'A'..'Z', ...), 0x20-0x3F for themselves.
      if ((code & 0x20) == 0) code += 0x40;
      text.push_back(static_cast<char>(code));
    }
  }
  return text;
}

std::string DecodeDate(std::uint8_t day, std::uint8_t month, std::uint8_t yearOffset) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%d/%02d/%02d", yearOffset + 1900, month, day);
  return buffer;
}

namespace {

// The characters [from, from + count) of the text, as many of them as exist.
std::string_view Slice(std::string_view text, std::size_t from, std::size_t count) {
  if (from >= text.size()) return {};
  return text.substr(from, count);
}

}  // namespace

void EncodeDate(std::uint8_t* out, std::string_view text) {
  const long year = TextToLong(Slice(text, 0, 4));
  const long month = TextToLong(Slice(text, 5, 2));
  const long day = TextToLong(text.size() >= 2 ? text.substr(text.size() - 2) : text);
  out[0] = static_cast<std::uint8_t>(day);
  out[1] = static_cast<std::uint8_t>(month);
  out[2] = static_cast<std::uint8_t>(year - 1900);  // modulo 256
}

namespace {

// Skips leading white space and an optional sign; returns the rest and whether it was negative.
std::string_view SkipSpaceAndSign(std::string_view text, bool& negative) {
  std::size_t i = 0;
  while (i < text.size() && IsWhiteSpace(text[i])) ++i;
  negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  return text.substr(i);
}

bool HasHexPrefix(std::string_view text) {
  return text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') &&
         std::isxdigit(static_cast<unsigned char>(text[2]));
}

// True when the text that overflowed a double carries a negative exponent, i.e. it underflowed.
bool IsUnderflow(std::string_view number) {
  const std::size_t e = number.find_first_of(HasHexPrefix(number) ? "pP" : "eE");
  return e != std::string_view::npos && e + 1 < number.size() && number[e + 1] == '-';
}

}  // namespace

double TextToDouble(std::string_view text) {
  bool negative = false;
  std::string_view rest = SkipSpaceAndSign(text, negative);
  // A second sign ("+-1") is no number, as with strtod.
  if (!rest.empty() && (rest[0] == '+' || rest[0] == '-')) return 0.0;
  auto format = std::chars_format::general;
  if (HasHexPrefix(rest)) {
    rest.remove_prefix(2);
    format = std::chars_format::hex;
  }
  double value = 0.0;
  const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), value, format);
  if (error == std::errc::invalid_argument) return 0.0;
  if (error == std::errc::result_out_of_range) {
    const std::string_view number = rest.substr(0, static_cast<std::size_t>(end - rest.data()));
    value = IsUnderflow(number) ? 0.0 : std::numeric_limits<double>::infinity();
  }
  return negative ? -value : value;
}

long TextToLong(std::string_view text) {
  bool negative = false;
  const std::string_view rest = SkipSpaceAndSign(text, negative);
  unsigned long magnitude = 0;
  const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), magnitude);
  if (error == std::errc::invalid_argument) return 0;
  const unsigned long limit =
      negative ? static_cast<unsigned long>(LONG_MAX) + 1UL : static_cast<unsigned long>(LONG_MAX);
  if (error == std::errc::result_out_of_range || magnitude > limit) {
    return negative ? LONG_MIN : LONG_MAX;
  }
  if (negative) return magnitude == limit ? LONG_MIN : -static_cast<long>(magnitude);
  return static_cast<long>(magnitude);
}

}  // namespace va5
