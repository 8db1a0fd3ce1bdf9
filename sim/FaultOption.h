#pragma once

#include <optional>
#include <string>

#include "sim/DeviceState.h"

namespace va5::sim {

// A number as the simulator's options take it: decimal digits (a leading zero is still
// decimal: "010" is ten) or 0x and hexadecimal digits; no sign, no blanks. nullopt for
// anything else or a value above `highest`.
std::optional<unsigned long long> ParseOptionNumber(const std::string& text,
                                                    unsigned long long highest);

// Reads one fault as given on the command line:
//   silence[:N]  noise[:N]  noise-only[:N]  bad-checksum[:N]  rc:CMD:CODE  comm-error:BITS
//   slow:MS  gap:MS  preambles[:COUNT]  vanish-after:N  nan-pv  sensor-break
// N limits the fault to the next N requests (for good without it). Numbers as
// ParseOptionNumber reads them. nullopt for anything else; `problem` (if given) then says
// what is wrong: an unknown fault, or which number of a known one is missing or out of range.
std::optional<Fault> ParseFault(const std::string& text, std::string* problem = nullptr);

// The lines of the usage text that describe the faults.
const char* FaultUsage();

}  // namespace va5::sim
