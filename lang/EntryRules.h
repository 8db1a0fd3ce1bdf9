// The checks behind the entry dialogs, free of any window: numbers, tag texts and dates.
// Texts are UTF-8; every length counts characters, not bytes.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace va5 {

// ---- numbers -------------------------------------------------------------------------------

// A typed number: decimal floating point as ParseDecimal reads it (no hexadecimal, "inf" or
// "nan"), leading blanks allowed, nothing may follow it, the value must be finite. An empty or
// blank text is no number: nothing was entered. Returns nothing when the text is invalid.
std::optional<double> ParseEntryNumber(const std::string& text);

// "%.3lf" of a value, with "-0.000" shown as "0.000".
std::string EntryValueText(double value);

// minimum <= value <= maximum, or value == 0 when allowZero is set.
bool IsWithinEntryLimits(double value, double minimum, double maximum, bool allowZero);

// Entered texts are kept to this many characters.
constexpr std::size_t kEnteredTextLength = 17;

struct NumberEntry {
  bool accepted = false;
  std::string enteredText;  // the text that will be sent, at most 17 characters
  std::string valueText;    // "%.3lf" of the value that will be sent
  double value = 0.0;
};

// The whole numeric rule. A text longer than 17 characters is kept as its first 17
// characters; those must then read as the number that was typed (within rounding) and pass
// the limits themselves, so that a cut entry never sends another value than the one checked.
NumberEntry CheckNumberEntry(const std::string& text, double minimum, double maximum,
                             bool allowZero);

// True when every character is one of " 1234567890.-+".
bool IsNumberText(const std::string& text);

// ---- texts ---------------------------------------------------------------------------------

// True for U+0020 ... U+007E.
bool IsTagCharacter(char32_t c);

// True when the text is empty or every character lies in 0x20 ... 0x5F.
bool IsPackedText(const std::string& text);

// Leading and trailing white space removed.
std::string TrimEntryText(const std::string& text);

// The process-wide maximum text length ("8" for a tag, "16" for a descriptor, "32" for a
// message), set by the caller just before a text entry opens.
void SetMaximumTextLength(const std::string& length);
std::string MaximumTextLength();

// A failure: the message key and the arguments of its text.
struct EntryFailure {
  std::string key;
  std::vector<std::string> args;
};

// True when the text has more characters than maximumTextLength allows.
bool ExceedsMaximumTextLength(const std::string& text);

struct TextEntry {
  std::optional<EntryFailure> failure;
  std::string text;  // the trimmed text, " " when it would be empty
};

// Trims the text and applies the tag rules (textMode) and the date rules (dateMode).
TextEntry CheckTextEntry(const std::string& text, bool textMode, bool dateMode);

// "YYYY?MM?DD" with years 1900 ... 2155 and a date that the calendar has.
bool IsValidEntryDate(const std::string& text);

}  // namespace va5
