// va5vivi-cli config download|compare FILE: a configuration file sent to the device, or held
// against what the device holds.
#pragma once

#include <string>
#include <vector>

#include "session/Session.h"

namespace va5::cli {

// Exit status of "config compare" when the device differs from the file.
inline constexpr int ExitDifferent = 4;

// The reason "config ARGS" is not a valid use; empty when it is (download or compare, and one
// file).
std::string ConfigUsageProblem(const std::vector<std::string>& args);

// Runs "config ACTION FILE" on the device of `options`. The file is read before the port is
// opened: a file that cannot be read exits 3 and sends nothing. `outputOpen` tells whether
// standard output can take the results, `writeError` reports that it cannot.
int RunConfigCommand(const session::SessionOptions& options, const std::string& action,
                     const std::string& path, bool (*outputOpen)(), int (*writeError)());

}  // namespace va5::cli
