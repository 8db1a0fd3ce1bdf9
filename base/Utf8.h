// Small helpers for UTF-8 texts: the length rules of the entry dialogs count characters.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace va5 {

// Position of the character after the one that starts at `pos`. A byte that does not start
// a well-formed sequence counts as one character of its own.
std::size_t NextCharacter(const std::string& text, std::size_t pos);

// Number of characters (code points) of a UTF-8 text.
std::size_t CharacterCount(const std::string& text);

// Code points of a text; a malformed byte becomes 0xFFFD.
std::vector<char32_t> CodePoints(const std::string& text);

}  // namespace va5
