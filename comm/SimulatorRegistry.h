#pragma once

#include <string>
#include <vector>

namespace va5 {

// Running simulated transmitters register their ports in a per-user folder: one symbolic link
// per port, named after the port (SIM1, BENCH ...) and pointing at its pseudo-terminal, and
// beside it a hidden lock file (".SIM1.lock") that the simulator keeps locked while it runs.
// An entry whose lock nobody holds was left by a simulator that died: it is stale; listing
// and name resolution ignore it, and the next simulator of that name replaces it.
//
// The folder decides which device a name such as "SIM1" opens, so it is trusted only when it
// and the folder above it that is ours (va5vivi/, or /tmp/va5vivi-<uid>) are real folders
// (not symbolic links), owned by this user and writable by no one else.

// $XDG_RUNTIME_DIR/va5vivi/ports when XDG_RUNTIME_DIR is an absolute path, else
// /tmp/va5vivi-<uid>/ports (no trailing slash). Empty on platforms without simulated ports.
// The simulator registers and the configurator looks up its ports here: one folder for both.
std::string SimulatorRegistryFolder();

// Why the registry folder cannot be trusted ("/tmp/va5vivi-1000 belongs to another user
// (uid 1001)"), or "" when it can or does not exist yet.
std::string RegistryFolderProblem();

// Creates the registry folder and the folders above it that are missing, with mode 0700, and
// checks it. "" when it is ready for registering, else why not.
std::string MakeRegistryFolder();

// True for a name that can be a registry entry: letters, digits, '-', '_' and '.', not
// starting with '.', at most 64 characters.
bool IsValidRegistryName(const std::string& name);

struct RegistryEntry {
  std::string name;    // the port name: "SIM1"
  std::string target;  // the pseudo-terminal: "/dev/pts/4"
};

// The live entries (owner running, target present) of a trusted folder, in no given order;
// nothing when the folder is missing or not trusted.
std::vector<RegistryEntry> LiveRegistryEntries();

// The target of the live entry `name`, or "" when there is none.
std::string LiveRegistryTarget(const std::string& name);

// Takes the registry name `name` for this process: creates and locks its lock file. Returns
// the lock's descriptor, to be kept open for as long as the entry exists, or -1 with errno
// set (EEXIST: a running simulator holds the name; EINVAL: not a valid name). The caller then
// puts its link in place (replacing a stale one).
int ClaimRegistryName(const std::string& name);

// Gives a claimed name back: removes its lock file and closes the descriptor.
void ReleaseRegistryName(const std::string& name, int lockFd);

// The device path a port name opens. A name with a '/' is a path (absolute, or relative to
// the working directory); a name registered by a running simulator opens its pseudo-terminal;
// any other name is a device under /dev. On Windows the name is returned as it is.
std::string ResolvePortName(const std::string& portName);

}  // namespace va5
