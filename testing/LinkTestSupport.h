#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <sys/resource.h>
#endif

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "comm/HartLink.h"

namespace va5::test {

// Collects the link's trace lines.
class TraceLines {
 public:
  TraceSink Sink() {
    return [this](std::string_view line) {
      std::lock_guard lock(mutex_);
      lines_.emplace_back(line);
    };
  }
  std::vector<std::string> Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  std::string Last() const {
    std::lock_guard lock(mutex_);
    return lines_.empty() ? std::string() : lines_.back();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

// A reply frame (no preambles): delimiter, address, command, byte count, data, checksum.
// Built byte by byte: g++ 12 at -O3 warns falsely (-Warray-bounds) on vector::insert of a
// one-byte address.
inline std::vector<std::uint8_t> Reply(std::uint8_t delimiter,
                                       const std::vector<std::uint8_t>& address,
                                       std::uint8_t command,
                                       const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> f;
  f.reserve(address.size() + data.size() + 4);
  f.push_back(delimiter);
  for (std::uint8_t b : address) f.push_back(b);
  f.push_back(command);
  f.push_back(static_cast<std::uint8_t>(data.size()));
  for (std::uint8_t b : data) f.push_back(b);
  std::uint8_t check = 0;
  for (std::uint8_t b : f) check ^= b;
  f.push_back(check);
  return f;
}

inline std::vector<std::uint8_t> WithPreambles(int count, const std::vector<std::uint8_t>& frame) {
  std::vector<std::uint8_t> out(static_cast<std::size_t>(count), 0xFF);
  for (std::uint8_t b : frame) out.push_back(b);
  return out;
}

// "XX,XX,..." as the trace prints bytes.
inline std::string Hex(const std::vector<std::uint8_t>& bytes) {
  std::string out;
  char text[4];
  for (std::uint8_t b : bytes) {
    std::snprintf(text, sizeof text, "%02X,", b);
    out += text;
  }
  return out;
}

// CPU time used by the calling thread, in microseconds.
inline long long ThreadCpuMicros() {
#ifdef _WIN32
  FILETIME created, exited, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
  auto ticks = [](const FILETIME& f) {
    return (static_cast<long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime;
  };
  return (ticks(kernel) + ticks(user)) / 10;  // 100 ns units
#else
  rusage usage{};
#ifdef RUSAGE_THREAD
  getrusage(RUSAGE_THREAD, &usage);
#else
  getrusage(RUSAGE_SELF, &usage);
#endif
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1'000'000LL + usage.ru_utime.tv_usec +
         usage.ru_stime.tv_usec;
#endif
}

}  // namespace va5::test
