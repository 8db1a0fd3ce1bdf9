#include "base/Utf8.h"

namespace va5 {
namespace {

// Decodes one character at `pos`; returns its length in bytes (0 when malformed).
std::size_t Decode(const std::string& text, std::size_t pos, char32_t& code) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  std::size_t length = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    code = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (pos + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(pos + i) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(pos + i) & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  code = value;
  return length;
}

}  // namespace

std::size_t NextCharacter(const std::string& text, std::size_t pos) {
  if (pos >= text.size()) return text.size();
  char32_t code = 0;
  const std::size_t length = Decode(text, pos, code);
  return pos + (length == 0 ? 1 : length);
}

std::size_t CharacterCount(const std::string& text) {
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < text.size(); pos = NextCharacter(text, pos)) ++count;
  return count;
}

std::vector<char32_t> CodePoints(const std::string& text) {
  std::vector<char32_t> codes;
  std::size_t pos = 0;
  while (pos < text.size()) {
    char32_t code = 0;
    const std::size_t length = Decode(text, pos, code);
    codes.push_back(length == 0 ? char32_t{0xFFFD} : code);
    pos += length == 0 ? 1 : length;
  }
  return codes;
}

}  // namespace va5
