#pragma once

#include <string>
#include <utility>
#include <vector>

#include "comm/SimulatorRegistry.h"

namespace va5::sim {

// The simulator's side of the port registry (comm/SimulatorRegistry.h): each registered port
// is a symbolic link named after the port (SIM1, SIM2 ...) pointing at the pseudo-terminal's
// slave, and this process holds the entry's lock until it unregisters or ends.

// Live registered ports as (name, target), ordered by name with numbers compared by value
// (SIM2 before SIM10).
std::vector<std::pair<std::string, std::string>> ListRegisteredPorts();

// Registers `target` under `name`, or under the first SIMn no running simulator holds when
// `name` is empty. An entry left by a simulator that died is replaced. Returns the name used,
// or an empty string when the registry folder cannot be made or trusted, or the name is held
// by a running simulator; `problem` (if given) then says why.
std::string RegisterPort(const std::string& target, const std::string& name = {},
                         std::string* problem = nullptr);

// Removes the entry `name` (its link, if still in place, and its lock) if this process
// registered it for `target`; true when it did.
bool UnregisterPort(const std::string& name, const std::string& target);

}  // namespace va5::sim
