#pragma once

#include <string>
#include <vector>

#include "session/CliSession.h"
#include "device/GlobalFile.h"

namespace va5::cli {

// The outcome of a check or a write: the exit status and, unless it is 0, the reason.
struct Outcome {
  int status = ExitOk;
  std::string reason;
  std::string value;  // on success: the value the device returned, as printed
};

// The settings `set` knows, in the order they are listed in the usage text.
const std::vector<std::string>& SettingNames();

// True when the setting needs the device's configuration (limits, units, tag group) before
// its entry can be checked.
bool SettingNeedsUpload(const std::string& name);

// Checks the entry against the device's configuration, fills the request fields and runs the
// same request chain as the panels do, then formats what the device returned.
Outcome ApplySetting(CliSession& session, const CglobalFile& tables, const std::string& name,
                     const std::vector<std::string>& values);

// Today's local date as the tag write sends it ("%Y/%m/%d").
std::string TodayText();

}  // namespace va5::cli
