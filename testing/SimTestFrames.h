#pragma once

#include <cstdint>
#include <vector>

#include "comm/Codecs.h"

// Request frames and reply parsing for the simulator's tests, written independently of the
// link so that the model can be checked byte by byte.
namespace va5::test {

using Bytes = std::vector<std::uint8_t>;

inline std::uint8_t XorOf(const Bytes& b, std::size_t from, std::size_t to) {
  std::uint8_t x = 0;
  for (std::size_t i = from; i < to; ++i) x ^= b[i];
  return x;
}

// Appends byte by byte: g++ 12 at -O3 warns falsely (-Warray-bounds) on vector::insert after
// a vector made from a short initializer list.
inline void Append(Bytes& frame, const Bytes& data) {
  for (std::uint8_t b : data) frame.push_back(b);
}

// Delimiter through checksum (no preambles).
inline Bytes ShortRequest(int address, std::uint8_t command, const Bytes& data = {}) {
  Bytes f = {0x02, static_cast<std::uint8_t>(address), command,
             static_cast<std::uint8_t>(data.size())};
  Append(f, data);
  f.push_back(XorOf(f, 0, f.size()));
  return f;
}

inline Bytes LongRequest(std::uint8_t command, const Bytes& data = {},
                         std::uint32_t deviceId = 0x000125, std::uint8_t firstAddressByte = 29,
                         std::uint8_t deviceType = 2) {
  Bytes f = {0x82,
             firstAddressByte,
             deviceType,
             static_cast<std::uint8_t>(deviceId >> 16),
             static_cast<std::uint8_t>(deviceId >> 8),
             static_cast<std::uint8_t>(deviceId),
             command,
             static_cast<std::uint8_t>(data.size())};
  Append(f, data);
  f.push_back(XorOf(f, 0, f.size()));
  return f;
}

struct ParsedReply {
  bool valid = false;  // well formed, checksum right
  std::size_t noise = 0;
  int preambles = 0;
  std::uint8_t delimiter = 0;
  Bytes address;
  std::uint8_t command = 0;
  std::uint8_t code = 0;
  std::uint8_t status = 0;
  Bytes data;  // after the two status bytes
};

inline ParsedReply ParseReply(const Bytes& r) {
  ParsedReply p;
  std::size_t i = 0;
  while (i < r.size() && r[i] != 0xFF) ++i;
  p.noise = i;
  while (i < r.size() && r[i] == 0xFF) {
    ++p.preambles;
    ++i;
  }
  const std::size_t start = i;
  if (i >= r.size()) return p;
  p.delimiter = r[i++];
  const std::size_t addressLength = (p.delimiter & 0x80) ? 5 : 1;
  if (r.size() < i + addressLength + 2) return p;
  p.address.assign(r.begin() + static_cast<long>(i),
                   r.begin() + static_cast<long>(i + addressLength));
  i += addressLength;
  p.command = r[i++];
  const std::size_t count = r[i++];
  if (count < 2 || r.size() != i + count + 1) return p;
  p.code = r[i];
  p.status = r[i + 1];
  p.data.assign(r.begin() + static_cast<long>(i + 2), r.begin() + static_cast<long>(i + count));
  p.valid = XorOf(r, start, r.size() - 1) == r.back();
  return p;
}

inline Bytes FloatBytes(float v) {
  Bytes b(4);
  PutFloat(b.data(), v);
  return b;
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

inline Bytes U16(int v) {
  return {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
}

inline float FloatAt(const Bytes& b, std::size_t offset) { return GetFloat(b.data() + offset); }

}  // namespace va5::test
