#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace va5 {

// Byte codecs of the HART command set. Multi-byte values are most significant byte first.

void PutU16(std::uint8_t* p, std::uint16_t v);
std::uint16_t GetU16(const std::uint8_t* p);
std::int16_t GetS16(const std::uint8_t* p);
void PutU24(std::uint8_t* p, std::uint32_t v);  // low 24 bits
std::uint32_t GetU24(const std::uint8_t* p);
void PutFloat(std::uint8_t* p, float v);  // IEEE 754 single precision, bit exact
float GetFloat(const std::uint8_t* p);
// Narrows a value to single precision the way IEEE round-to-nearest does, without undefined
// behaviour for magnitudes beyond the float range (they become infinity, NaN stays NaN).
float ToWireFloat(double v);

// Packed ASCII: 4 characters in 3 bytes, 6 bits each. Packs exactly `characters` characters
// (a multiple of 4) of `text`, padding a short text with blanks; writes characters*3/4 bytes.
void PackAscii(std::uint8_t* out, std::string_view text, std::size_t characters);
// Unpacks `bytes` (a multiple of 3) into bytes*4/3 characters.
std::string UnpackAscii(const std::uint8_t* in, std::size_t bytes);

// Date: three bytes day, month, year - 1900. Text form "YYYY/MM/DD".
std::string DecodeDate(std::uint8_t day, std::uint8_t month, std::uint8_t yearOffset);
// Splits the text by position (year = first four characters, month = characters 6-7,
// day = the last two) and writes day, month, (year - 1900) mod 256 to out[0..2].
void EncodeDate(std::uint8_t* out, std::string_view text);

// Converts an entered text to a number the way the builders do: leading white space is skipped,
// the longest leading number is read (like strtod / strtol), 0 when there is none. Independent of
// the process locale. TextToDouble saturates to +-infinity on overflow, TextToLong to its limits.
double TextToDouble(std::string_view text);
long TextToLong(std::string_view text);

}  // namespace va5
