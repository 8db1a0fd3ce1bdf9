#include "lang/EntryRules.h"

#include <cmath>
#include <mutex>

#include "base/NumberText.h"
#include "lang/PrivateException.h"
#include "base/Utf8.h"
#include "base/Text.h"

namespace va5 {
namespace {

// A cut number may differ from the typed one only in digits beyond what any device value
// can carry.
bool NearlyEqual(double a, double b) {
  return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(b));
}

std::mutex& LengthMutex() {
  static std::mutex mutex;
  return mutex;
}
std::string& LengthText() {
  static std::string text;
  return text;
}

bool IsAllDigits(const std::string& text, std::size_t from, std::size_t count) {
  for (std::size_t i = from; i < from + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

int Digits(const std::string& text, std::size_t from, std::size_t count) {
  int value = 0;
  for (std::size_t i = from; i < from + count; ++i) value = value * 10 + (text[i] - '0');
  return value;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

std::optional<double> ParseEntryNumber(const std::string& text) {
  // Blanks before the number are skipped; after it, nothing may follow.
  if (text.empty() || IsWhiteSpace(text.back())) return std::nullopt;
  return ParseDecimal(text);
}

std::string EntryValueText(double value) {
  std::string text = FormatCNumber("%.3lf", value);
  if (text == "-0.000") text = "0.000";
  return text;
}

bool IsWithinEntryLimits(double value, double minimum, double maximum, bool allowZero) {
  return (minimum <= value && value <= maximum) || (allowZero && value == 0.0);
}

NumberEntry CheckNumberEntry(const std::string& text, double minimum, double maximum,
                             bool allowZero) {
  NumberEntry entry;
  const std::optional<double> typed = ParseEntryNumber(text);
  if (!typed || !IsWithinEntryLimits(*typed, minimum, maximum, allowZero)) return entry;
  entry.value = *typed;
  entry.enteredText = FirstCharacters(text, kEnteredTextLength);
  if (entry.enteredText.size() != text.size()) {
    const std::optional<double> kept = ParseEntryNumber(entry.enteredText);
    if (!kept || !NearlyEqual(*kept, *typed) ||
        !IsWithinEntryLimits(*kept, minimum, maximum, allowZero)) {
      return NumberEntry{};
    }
    entry.value = *kept;
  }
  entry.valueText = EntryValueText(entry.value);
  entry.accepted = true;
  return entry;
}

bool IsNumberText(const std::string& text) {
  for (const char c : text) {
    if (std::string_view(" 1234567890.-+").find(c) == std::string_view::npos) return false;
  }
  return true;
}

bool IsTagCharacter(char32_t c) { return c >= 0x20 && c <= 0x7E; }

bool IsPackedText(const std::string& text) {
  for (const char c : text) {
    const auto code = static_cast<unsigned char>(c);
    if (code < 0x20 || code > 0x5F) return false;
  }
  return true;
}

std::string TrimEntryText(const std::string& text) { return std::string(TrimWhiteSpace(text)); }

void SetMaximumTextLength(const std::string& length) {
  std::lock_guard<std::mutex> lock(LengthMutex());
  LengthText() = length;
}

std::string MaximumTextLength() {
  std::lock_guard<std::mutex> lock(LengthMutex());
  return LengthText();
}

bool ExceedsMaximumTextLength(const std::string& text) {
  const long long maximum = ReadCInteger(MaximumTextLength());
  return static_cast<long long>(CharacterCount(text)) > maximum;
}

TextEntry CheckTextEntry(const std::string& text, bool textMode, bool dateMode) {
  TextEntry entry;
  entry.text = TrimEntryText(text);
  // assign(1, c), not = " ": g++ 12 at -O3 warns falsely (-Wrestrict) about the latter.
  if (entry.text.empty()) entry.text.assign(1, ' ');
  if (textMode) {
    if (ExceedsMaximumTextLength(entry.text)) {
      entry.failure = EntryFailure{"Err_Tag_Number_overflow", {MaximumTextLength()}};
      return entry;
    }
    // The message names the first character refused, as typed.
    std::size_t pos = 0;
    for (const char32_t c : CodePoints(entry.text)) {
      const std::size_t next = NextCharacter(entry.text, pos);
      if (!IsTagCharacter(c)) {
        entry.failure = EntryFailure{"Err_Tag_Inalid_char", {entry.text.substr(pos, next - pos)}};
        return entry;
      }
      pos = next;
    }
  }
  if (dateMode && !IsValidEntryDate(entry.text)) {
    entry.failure = EntryFailure{"Err_Date_Invalid", {}};
  }
  return entry;
}

bool IsValidEntryDate(const std::string& text) {
  // Ten characters, all of them ASCII; the separators at 4 and 7 are not examined.
  if (text.size() != 10 || CharacterCount(text) != 10) return false;
  if (!IsAllDigits(text, 0, 4) || !IsAllDigits(text, 5, 2) || !IsAllDigits(text, 8, 2)) {
    return false;
  }
  const int year = Digits(text, 0, 4);
  const int month = Digits(text, 5, 2);
  const int day = Digits(text, 8, 2);
  if (year - 1900 < 0 || year - 1900 > 255) return false;
  if (month < 1 || month > 12 || day < 1 || day > 31) return false;
  return day <= DaysInMonth(year, month);
}

}  // namespace va5
