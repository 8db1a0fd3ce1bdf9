#include "comm/PortDefinition.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string>
#include <vector>

#include "base/Text.h"

namespace va5 {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool ParseLong(std::string_view s, long& value) {
  if (s.empty()) return false;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  return ec == std::errc() && end == s.data() + s.size();
}

// The mode-command abbreviations of the classic rates ("96" is 9600 bit/s).
bool ParseBaud(std::string_view s, long& baud) {
  long v = 0;
  if (!ParseLong(s, v) || v <= 0) return false;
  switch (v) {
    case 11:
      v = 110;
      break;
    case 15:
      v = 150;
      break;
    case 30:
      v = 300;
      break;
    case 60:
      v = 600;
      break;
    case 12:
      v = 1200;
      break;
    case 24:
      v = 2400;
      break;
    case 48:
      v = 4800;
      break;
    case 96:
      v = 9600;
      break;
    case 19:
      v = 19200;
      break;
    default:
      break;
  }
  baud = v;
  return true;
}

bool ParseParity(std::string_view s, Parity& parity) {
  if (s.size() != 1) return false;
  switch (std::tolower(static_cast<unsigned char>(s[0]))) {
    case 'n':
      parity = Parity::None;
      return true;
    case 'e':
      parity = Parity::Even;
      return true;
    case 'o':
      parity = Parity::Odd;
      return true;
    case 'm':
      parity = Parity::Mark;
      return true;
    case 's':
      parity = Parity::Space;
      return true;
    default:
      return false;
  }
}

bool ParseDataBits(std::string_view s, int& bits) {
  long v = 0;
  if (!ParseLong(s, v) || v < 5 || v > 8) return false;
  bits = static_cast<int>(v);
  return true;
}

bool ParseStopBits(std::string_view s, StopBits& stop) {
  if (s == "1")
    stop = StopBits::One;
  else if (s == "1.5")
    stop = StopBits::OneAndHalf;
  else if (s == "2")
    stop = StopBits::Two;
  else
    return false;
  return true;
}

bool IsOnOff(const std::string& v) { return v == "on" || v == "off"; }

// "baud=9600 parity=N data=8 stop=1 ..."
bool ParseKeyValues(std::string_view text, PortSettings& def) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && IsWhiteSpace(text[pos])) ++pos;
    if (pos == text.size()) break;
    std::size_t end = pos;
    while (end < text.size() && !IsWhiteSpace(text[end])) ++end;
    const std::string_view item = text.substr(pos, end - pos);
    pos = end;

    const std::size_t eq = item.find('=');
    if (eq == std::string_view::npos) return false;
    const std::string key = Lower(item.substr(0, eq));
    const std::string_view value = item.substr(eq + 1);
    const std::string lvalue = Lower(value);
    bool ok = false;
    if (key == "baud")
      ok = ParseBaud(value, def.baud);
    else if (key == "parity")
      ok = ParseParity(value, def.parity);
    else if (key == "data")
      ok = ParseDataBits(value, def.dataBits);
    else if (key == "stop")
      ok = ParseStopBits(value, def.stopBits);
    else if (key == "to" || key == "xon" || key == "odsr" || key == "octs" || key == "idsr")
      ok = IsOnOff(lvalue);
    else if (key == "dtr")
      ok = IsOnOff(lvalue) || lvalue == "hs";
    else if (key == "rts")
      ok = IsOnOff(lvalue) || lvalue == "hs" || lvalue == "tg";
    if (!ok) return false;
  }
  return true;
}

// "9600,n,8,1" with an optional handshake letter (x or p) at the end.
bool ParseLegacy(std::string_view text, PortSettings& def) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    parts.push_back(TrimWhiteSpace(text.substr(start, comma - start)));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  if (parts.size() > 5) return false;
  if (!ParseBaud(parts[0], def.baud)) return false;
  if (parts.size() > 1 && !parts[1].empty() && !ParseParity(parts[1], def.parity)) return false;
  if (parts.size() > 2 && !parts[2].empty() && !ParseDataBits(parts[2], def.dataBits)) return false;
  if (parts.size() > 3 && !parts[3].empty() && !ParseStopBits(parts[3], def.stopBits)) return false;
  if (parts.size() > 4) {
    const std::string hs = Lower(parts[4]);
    if (hs != "x" && hs != "p" && !hs.empty()) return false;
  }
  return true;
}

}  // namespace

bool ParsePortSettings(std::string_view text, PortSettings& out) {
  const std::string_view settings = TrimWhiteSpace(text);
  PortSettings read;
  if (!settings.empty()) {
    const bool ok = settings.find('=') != std::string_view::npos ? ParseKeyValues(settings, read)
                                                                 : ParseLegacy(settings, read);
    if (!ok) return false;
  }
  out = read;
  return true;
}

}  // namespace va5
