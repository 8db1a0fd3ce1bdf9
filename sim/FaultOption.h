#pragma once

#include <optional>
#include <string>

#include "sim/DeviceState.h"

namespace va5::sim {

// Reads one fault as given on the command line:
//   silence[:N]  noise[:N]  noise-only[:N]  bad-checksum[:N]  rc:CMD:CODE  comm-error:BITS
//   slow:MS  gap:MS  preambles[:COUNT]  vanish-after:N  nan-pv  sensor-break
// N limits the fault to the next N requests (for good without it). Numbers may be decimal or
// 0x-hexadecimal. nullopt for anything else.
std::optional<Fault> ParseFault(const std::string& text);

// The lines of the usage text that describe the faults.
const char* FaultUsage();

}  // namespace va5::sim
