// Number <-> text conversions that ignore the process locale.
//
// The GUI runs with the user's locale (a decimal comma in many countries), while entry
// texts, message inserts and device values always use a decimal point.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace va5 {

// printf-style formatting of exactly one argument in the "C" locale. `format` must hold one
// conversion that matches the argument's type.
std::string FormatCNumber(const char* format, double value);
std::string FormatCNumber(const char* format, long long value);
std::string FormatCNumber(const char* format, unsigned long long value);

// Result of reading a decimal floating-point number from the start of a text.
struct ParsedNumber {
  double value = 0.0;
  std::size_t used = 0;   // bytes consumed, including skipped leading white space
  bool overflow = false;  // the magnitude exceeds the double range
};

// strtod in the "C" locale over the first bytes of `text` (which need not be terminated):
// leading white space is skipped; nothing read gives used = 0.
ParsedNumber ReadCDouble(std::string_view text);

// Reads an integer like strtoll (base 10) from the start of `text`; 0 when nothing is read.
long long ReadCInteger(std::string_view text);

// Fixed-point text with `precision` decimals, padded on the left with blanks to `width`, like
// "%W.Pf" in the "C" locale. Not-a-number and infinities print as "nan", "inf", "-inf".
std::string FormatFixed(double value, int precision, int width = 0);

// The value as it reads when shown with `precision` decimals ("%.Pf" and back).
double RoundToDecimals(double value, int precision);

// The value as it reads with `digits` significant digits ("%.Dg" and back).
double RoundToSignificant(double value, int digits);

// The one reader of typed numbers: the whole text, white space around it aside, must be a
// decimal number: an optional sign, digits with at most one decimal point, an optional
// exponent ("1.5", "-.5", "2e3"). Empty or blank text, hexadecimal, "inf", "nan", thousands
// separators, a decimal comma and values beyond the double range give no value.
std::optional<double> ParseDecimal(std::string_view text);

// A whole number in decimal digits only (no sign, no exponent), white space around it aside;
// no value for anything else or beyond `maximum`.
std::optional<unsigned long long> ParseWholeNumber(std::string_view text,
                                                   unsigned long long maximum);

}  // namespace va5
