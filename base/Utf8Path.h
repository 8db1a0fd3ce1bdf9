// File names are UTF-8 std::string everywhere in the program. A std::filesystem::path made
// from a std::string, or its string(), takes the system's 8-bit code page on Windows, which
// loses every character outside it (a folder named in Japanese on a Western system); these
// two cross over through UTF-8 instead. On POSIX the bytes stay as they are.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace va5 {

// The path named by the UTF-8 text `utf8`.
std::filesystem::path Utf8Path(std::string_view utf8);

// The UTF-8 text of `path`.
std::string Utf8String(const std::filesystem::path& path);

}  // namespace va5
