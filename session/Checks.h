// The entry checks and reason builders that the settings and the device operations share.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "device/GlobalFile.h"
#include "lang/EntryRules.h"
#include "session/Reason.h"

namespace va5::session {

Reason Because(ReasonKind kind, std::string text, std::vector<std::string> args);

// A code's name in its table, or its number when the table lacks it.
std::string NameOfCode(const StringTable& names, const StringTable& codes, int code);
std::string PvUnitName(const CglobalFile& tables, int code);

// A decimal entry within limits (both included), read as the entry dialogs read it. The
// reason names the limits; `allowZero` accepts exactly 0 outside them.
std::optional<Reason> CheckDecimal(const std::string& text, double minimum, double maximum,
                                   bool allowZero, const std::string& what, NumberEntry& entry);

}  // namespace va5::session
