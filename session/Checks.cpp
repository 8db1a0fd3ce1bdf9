#include "session/Checks.h"

#include "base/NumberText.h"

namespace va5::session {

Reason Because(ReasonKind kind, std::string text, std::vector<std::string> args) {
  return Reason{kind, std::move(text), std::move(args)};
}

std::string NameOfCode(const StringTable& names, const StringTable& codes, int code) {
  const int index = CglobalFile::IndexOfCode(codes, code);
  return index < 0 ? std::to_string(code) : names[static_cast<std::size_t>(index)];
}

std::string PvUnitName(const CglobalFile& tables, int code) {
  return NameOfCode(tables.PvUnitNames(), tables.PvUnitCodes(), code);
}

std::optional<Reason> CheckDecimal(const std::string& text, double minimum, double maximum,
                                   bool allowZero, const std::string& what, NumberEntry& entry) {
  entry = CheckNumberEntry(text, minimum, maximum, allowZero);
  if (entry.accepted) return std::nullopt;
  const ReasonKind kind = ParseEntryNumber(text) ? ReasonKind::OutOfLimits : ReasonKind::NotANumber;
  return Because(kind,
                 what + " \"" + text + "\" is not a number from " + FormatRange(minimum) + " to " +
                     FormatRange(maximum) + (allowZero ? " (or 0)" : ""),
                 {what, text, FormatRange(minimum), FormatRange(maximum)});
}

}  // namespace va5::session
