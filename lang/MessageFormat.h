// Expansion of message texts written in the Windows message-formatter notation, the notation
// of every text in the language files:
//   %1 ... %99          insert the numbered argument; an insert beyond the arguments given
//                       stays as it is written (with its conversion)
//   %1!fmt!             insert it through a printf conversion (s, d, i, u, x, X, o, c, f, e,
//                       E, g, G, a, A with flags, width and precision), e.g. %2!d!, %3!4.3f!
//   %n                  line break
//   %%                  percent sign
//   %0                  end of the text
//   %x (other)          x
// Arguments are texts; a numeric conversion reads its argument as a number first and inserts
// the text unchanged when it is none. The pattern is read once: inserted values are never
// expanded again.
#pragma once

#include <string>
#include <vector>

namespace va5 {

std::string FormatMessageText(const std::string& format, const std::vector<std::string>& args);

}  // namespace va5
