// Where the language files are looked for: beside the executable, then (for an installed
// build) in the shared data folder.
#pragma once

#include <string>
#include <vector>

namespace va5 {

std::vector<std::string> LanguageFolders();

}  // namespace va5
