#pragma once

#include <string>
#include <utility>
#include <vector>

namespace va5::sim {

// Simulated ports are registered as symbolic links in a per-user runtime directory: the link's
// name is the port name (SIM1, SIM2 ...), its target the pseudo-terminal's slave path.

// $XDG_RUNTIME_DIR/va5vivi/ports, else /tmp/va5vivi-<uid>/ports (no trailing slash).
std::string PortRegistryDirectory();

// Registered ports whose target still exists, as (name, target), ordered by name with numbers
// compared by value (SIM2 before SIM10).
std::vector<std::pair<std::string, std::string>> ListRegisteredPorts();

// True for a name that can be a registry entry: letters, digits, '-', '_' and '.', not
// starting with '.', at most 64 characters.
bool IsValidPortName(const std::string& name);

// Registers `target` under `name`, or under the first free SIMn when `name` is empty. A link
// left behind by a simulator that died (its target gone) is replaced. Returns the name used,
// or an empty string (errno set) when the directory cannot be made or the name is taken.
std::string RegisterPort(const std::string& target, const std::string& name = {});

// Removes the link `name` if it still points at `target`; true when it was removed.
bool UnregisterPort(const std::string& name, const std::string& target);

}  // namespace va5::sim
