#include "lang/MessageFormat.h"

#include <cctype>
#include <optional>
#include <string_view>

#include "base/Text.h"

#include "base/NumberText.h"

namespace va5 {
namespace {

// Width and precision are bounded so that a hostile text cannot ask for huge buffers.
constexpr int kMaximumFieldSize = 1024;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads up to a few digits; returns -1 when the number is larger than the bound.
int ReadField(std::string_view spec, std::size_t& pos) {
  int value = 0;
  while (pos < spec.size() && IsDigit(spec[pos])) {
    value = value * 10 + (spec[pos] - '0');
    if (value > kMaximumFieldSize) return -1;
    ++pos;
  }
  return value;
}

// An integer as the caller formats it: optional blanks and sign, then decimal digits only.
bool IsWholeNumberText(std::string_view text) {
  text = TrimWhiteSpace(text);
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  return !text.empty() && text.size() <= 19 &&
         text.find_first_not_of("0123456789") == std::string_view::npos;
}

// Applies one printf conversion given between exclamation marks (without them) to a text
// argument. An unusable conversion, or a numeric one whose argument is no number, inserts the
// argument unchanged.
std::string ApplyConversion(std::string_view spec, const std::string& argument) {
  std::string flags;
  std::size_t pos = 0;
  while (pos < spec.size() && std::string_view("-+ #0").find(spec[pos]) != std::string_view::npos) {
    if (flags.find(spec[pos]) == std::string::npos) flags += spec[pos];
    ++pos;
  }
  const std::size_t widthStart = pos;
  const int width = ReadField(spec, pos);
  const bool hasWidth = pos > widthStart;
  int precision = -1;
  if (pos < spec.size() && spec[pos] == '.') {
    ++pos;
    precision = ReadField(spec, pos);
    if (precision < 0) return argument;
  }
  if (width < 0) return argument;
  // Length modifiers carry no meaning for text arguments.
  while (pos < spec.size() &&
         std::string_view("hlLqjztI0123456789").find(spec[pos]) != std::string_view::npos) {
    ++pos;
  }
  if (pos + 1 != spec.size()) return argument;
  const char conversion = spec[pos];

  // Appended piece by piece: g++ 12 at -O3 warns falsely (-Wrestrict) about "literal" + string.
  std::string format(1, '%');
  format += flags;
  if (hasWidth) format += std::to_string(width);
  if (precision >= 0) {
    format += '.';
    format += std::to_string(precision);
  }

  switch (conversion) {
    case 's':
    case 'S': {
      // Done by hand: the argument may hold NUL bytes and is not limited by printf's int.
      std::string text = argument;
      if (precision >= 0 && text.size() > static_cast<std::size_t>(precision)) {
        text.resize(static_cast<std::size_t>(precision));
      }
      if (hasWidth && text.size() < static_cast<std::size_t>(width)) {
        const std::string pad(static_cast<std::size_t>(width) - text.size(), ' ');
        text = flags.find('-') != std::string::npos ? text + pad : pad + text;
      }
      return text;
    }
    case 'd':
    case 'i':
      if (!IsWholeNumberText(argument)) return argument;
      return FormatCNumber((format + "lld").c_str(), ReadCInteger(argument));
    case 'u':
    case 'x':
    case 'X':
    case 'o':
      if (!IsWholeNumberText(argument)) return argument;
      return FormatCNumber((format + "ll" + conversion).c_str(),
                           static_cast<unsigned long long>(ReadCInteger(argument)));
    case 'c': {
      if (!IsWholeNumberText(argument)) return argument;
      const long long code = ReadCInteger(argument);
      std::string text(1, static_cast<char>(code & 0x7F));
      if (hasWidth && text.size() < static_cast<std::size_t>(width)) {
        const std::string pad(static_cast<std::size_t>(width) - 1, ' ');
        text = flags.find('-') != std::string::npos ? text + pad : pad + text;
      }
      return text;
    }
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G':
    case 'a':
    case 'A': {
      const std::optional<double> value = ParseDecimal(argument);
      if (!value) return argument;
      return FormatCNumber((format + conversion).c_str(), *value);
    }
    default:
      return argument;
  }
}

}  // namespace

std::string FormatMessageText(const std::string& format, const std::vector<std::string>& args) {
  // One pass over the pattern: inserted values are copied, never read as patterns again, and
  // only conversions built from the parsed insert reach the number formatter.
  std::string out;
  out.reserve(format.size());
  std::size_t i = 0;
  while (i < format.size()) {
    const char c = format[i];
    if (c != '%') {
      out += c;
      ++i;
      continue;
    }
    if (i + 1 >= format.size()) break;  // a lone percent sign at the end shows nothing
    const char next = format[i + 1];
    if (next == '0') break;
    if (next >= '1' && next <= '9') {
      std::size_t pos = i + 2;
      int number = next - '0';
      if (pos < format.size() && IsDigit(format[pos])) {
        number = number * 10 + (format[pos] - '0');
        ++pos;
      }
      std::size_t end = pos;  // the insert with its conversion, if it has one
      std::string_view spec;
      bool hasSpec = false;
      if (pos < format.size() && format[pos] == '!') {
        const std::size_t close = format.find('!', pos + 1);
        if (close != std::string::npos) {
          spec = std::string_view(format).substr(pos + 1, close - pos - 1);
          hasSpec = true;
          end = close + 1;
        }
      }
      const std::size_t index = static_cast<std::size_t>(number) - 1;
      if (index >= args.size()) {
        // A text from a language file may name more inserts than its caller passes: show the
        // insert as it is written rather than guess a value.
        out.append(format, i, end - i);
      } else {
        out += hasSpec ? ApplyConversion(spec, args[index]) : args[index];
      }
      i = end;
      continue;
    }
    if (next == 'n') {
      out += '\n';
    } else {
      out += next;  // covers %% and every other escaped character
    }
    i += 2;
  }
  return out;
}

}  // namespace va5
