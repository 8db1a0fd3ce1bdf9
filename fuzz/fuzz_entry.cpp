// Typed entries from arbitrary bytes through the number, text and date rules; the first byte
// chooses the maximum text length.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/NumberText.h"
#include "base/Utf8.h"
#include "lang/EntryRules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  va5::SetMaximumTextLength(std::to_string(data[0] % 40));
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);

  const va5::NumberEntry entry = va5::CheckNumberEntry(text, -100.0, 1100.0, data[0] & 1);
  if (entry.accepted) {
    // What is kept must read as an accepted value within the limits.
    const auto kept = va5::ParseEntryNumber(entry.enteredText);
    if (!kept || va5::CharacterCount(entry.enteredText) > va5::kEnteredTextLength ||
        !va5::IsWithinEntryLimits(*kept, -100.0, 1100.0, data[0] & 1) || !std::isfinite(*kept)) {
      std::abort();
    }
  }
  // A number is read one way only, and something must have been entered.
  if (const auto number = va5::ParseEntryNumber(text)) {
    if (va5::ParseDecimal(text) != number || va5::TrimEntryText(text).empty()) std::abort();
  }
  (void)va5::IsNumberText(text);
  (void)va5::IsPackedText(text);
  const va5::TextEntry tag = va5::CheckTextEntry(text, true, false);
  if (!tag.failure) {
    // An accepted tag is never empty, never too long, and holds only tag characters.
    if (tag.text.empty() || va5::ExceedsMaximumTextLength(tag.text)) std::abort();
    for (const char32_t c : va5::CodePoints(tag.text)) {
      if (!va5::IsTagCharacter(c)) std::abort();
    }
  }
  (void)va5::CheckTextEntry(text, false, true);
  (void)va5::IsValidEntryDate(text);
  // A whole number as typed (the polling address, 0 to 15): within the bound, and only from
  // a text of digits.
  if (const auto whole = va5::ParseWholeNumber(text, 15)) {
    if (*whole > 15 || text.find_first_not_of(" \t\n\v\f\r0123456789") != std::string::npos)
      std::abort();
  }
  return 0;
}
