#include "sim/FaultOption.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace va5::sim {
namespace {

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t colon = text.find(':', start);
    parts.push_back(text.substr(start, colon - start));
    if (colon == std::string::npos) return parts;
    start = colon + 1;
  }
}

std::optional<long> Number(const std::string& text, long lowest, long highest) {
  if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || v < lowest || v > highest) return std::nullopt;
  return v;
}

}  // namespace

std::optional<Fault> ParseFault(const std::string& text) {
  const std::vector<std::string> p = Split(text);
  const std::string& kind = p[0];
  using K = Fault::Kind;
  // Kinds whose only parameter is an optional request count.
  struct Counted {
    const char* name;
    K kind;
    int value;
  };
  static const Counted counted[] = {
      {"silence", K::Silence, 0},  {"noise", K::Noise, 0},
      {"noise-only", K::Noise, 1}, {"bad-checksum", K::BadChecksum, 0},
      {"nan-pv", K::NanPv, 0},     {"sensor-break", K::SensorBreak, 0},
  };
  for (const Counted& c : counted) {
    if (kind != c.name) continue;
    Fault f{c.kind};
    f.value = c.value;
    if (p.size() == 1) return f;
    if (p.size() != 2 || c.kind == K::SensorBreak) return std::nullopt;
    const auto n = Number(p[1], 1, 1000000);
    if (!n) return std::nullopt;
    f.count = static_cast<int>(*n);
    return f;
  }
  if (kind == "rc" && p.size() == 3) {
    const auto command = Number(p[1], 0, 255), code = Number(p[2], 1, 255);
    if (!command || !code) return std::nullopt;
    Fault f{K::ResponseCode};
    f.command = static_cast<int>(*command);
    f.value = static_cast<int>(*code);
    return f;
  }
  if (kind == "comm-error" && p.size() == 2) {
    const auto bits = Number(p[1], 1, 0x7F);
    if (!bits) return std::nullopt;
    Fault f{K::CommError};
    f.value = static_cast<int>(*bits);
    return f;
  }
  if (kind == "slow" && p.size() == 2) {
    const auto ms = Number(p[1], 0, 60000);
    if (!ms) return std::nullopt;
    Fault f{K::Slow};
    f.value = static_cast<int>(*ms);
    return f;
  }
  if (kind == "gap" && p.size() == 2) {
    const auto ms = Number(p[1], 0, 60000);
    if (!ms) return std::nullopt;
    Fault f{K::Gap};
    f.value = static_cast<int>(*ms);
    return f;
  }
  if (kind == "preambles" && p.size() <= 2) {
    Fault f{K::Preambles20};
    f.value = 20;
    if (p.size() == 2) {
      const auto n = Number(p[1], 2, 255);
      if (!n) return std::nullopt;
      f.value = static_cast<int>(*n);
    }
    return f;
  }
  if (kind == "vanish-after" && p.size() == 2) {
    const auto n = Number(p[1], 0, 1000000);
    if (!n) return std::nullopt;
    Fault f{K::VanishAfterPointWrites};
    f.value = static_cast<int>(*n);
    return f;
  }
  return std::nullopt;
}

const char* FaultUsage() {
  return "faults (--fault, repeatable; N = only the next N requests):\n"
         "  silence[:N]        no reply\n"
         "  noise[:N]          noise bytes before the preambles\n"
         "  noise-only[:N]     noise bytes instead of the reply\n"
         "  bad-checksum[:N]   wrong checksum byte\n"
         "  rc:CMD:CODE        refuse command CMD with response code CODE\n"
         "  comm-error:BITS    communication error byte 0x80|BITS as first status byte\n"
         "  slow:MS            reply MS milliseconds late\n"
         "  gap:MS             pause MS milliseconds between the preambles and the frame\n"
         "  preambles[:COUNT]  COUNT preambles (20) in every reply\n"
         "  vanish-after:N     stop answering after N table point writes\n"
         "  nan-pv[:N]         report the PV as not-a-number\n"
         "  sensor-break       open sensor: burnout current, malfunction\n";
}

}  // namespace va5::sim
