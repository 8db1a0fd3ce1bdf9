#pragma once

#include <string_view>

namespace va5 {

// White space as the C locale knows it; the same for every text the core reads (port
// definitions, entries, configuration and table files), whatever the user's locale.
constexpr bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// `text` without leading and trailing white space.
constexpr std::string_view TrimWhiteSpace(std::string_view text) {
  while (!text.empty() && IsWhiteSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsWhiteSpace(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace va5
