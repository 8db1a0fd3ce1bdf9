#include "sim/FaultOption.h"

#include <charconv>
#include <system_error>
#include <utility>
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

// Reads the numbers of one fault, and on the first that is wrong says what it should be.
class FaultReader {
 public:
  FaultReader(std::vector<std::string> parts, std::string* problem)
      : parts_(std::move(parts)), problem_(problem) {}

  std::size_t Size() const { return parts_.size(); }
  const std::string& Kind() const { return parts_[0]; }

  // Part `at` as a number from `lowest` to `highest`; `what` names it in the problem.
  std::optional<int> Number(std::size_t at, long lowest, long highest, const char* what) {
    const auto v = ParseOptionNumber(parts_[at], static_cast<unsigned long long>(highest));
    if (v && static_cast<long>(*v) >= lowest) return static_cast<int>(*v);
    Say(parts_[0] + " needs " + what + " from " + std::to_string(lowest) + " to " +
        std::to_string(highest) + ", not '" + parts_[at] + "'");
    return std::nullopt;
  }
  std::nullopt_t Say(const std::string& why) {
    if (problem_ != nullptr) *problem_ = why;
    return std::nullopt;
  }

 private:
  std::vector<std::string> parts_;
  std::string* problem_;
};

}  // namespace

std::optional<unsigned long long> ParseOptionNumber(const std::string& text,
                                                    unsigned long long highest) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const char* begin = text.data() + (hex ? 2 : 0);
  const char* end = text.data() + text.size();
  // from_chars takes no sign, blank or prefix: the text must be digits only, to its end.
  unsigned long long value = 0;
  const auto [stop, error] = std::from_chars(begin, end, value, hex ? 16 : 10);
  if (begin == end || error != std::errc{} || stop != end || value > highest) return std::nullopt;
  return value;
}

std::optional<Fault> ParseFault(const std::string& text, std::string* problem) {
  FaultReader r(Split(text), problem);
  const std::string& kind = r.Kind();
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
    if (r.Size() == 1) return f;
    if (c.kind == K::SensorBreak) return r.Say("sensor-break takes no number");
    if (r.Size() != 2) return r.Say(kind + " takes one request count at most");
    const auto n = r.Number(1, 1, 1000000, "a request count");
    if (!n) return std::nullopt;
    f.count = *n;
    return f;
  }
  // Kinds with numbers of their own: the fault's value (and for rc, its command first).
  struct Valued {
    const char* name;
    K kind;
    std::size_t parts;  // kind and numbers
    long lowest, highest;
    const char* what;
    const char* usage;
  };
  static const Valued valued[] = {
      {"rc", K::ResponseCode, 3, 1, 255, "a response code", "rc:CMD:CODE"},
      {"comm-error", K::CommError, 2, 1, 0x7F, "error bits", "comm-error:BITS"},
      {"slow", K::Slow, 2, 0, 60000, "milliseconds", "slow:MS"},
      {"gap", K::Gap, 2, 0, 60000, "milliseconds", "gap:MS"},
      {"preambles", K::Preambles20, 2, 2, 255, "a preamble count", "preambles[:COUNT]"},
      {"vanish-after", K::VanishAfterPointWrites, 2, 0, 1000000, "a number of point writes",
       "vanish-after:N"},
  };
  for (const Valued& v : valued) {
    if (kind != v.name) continue;
    Fault f{v.kind};
    if (v.kind == K::Preambles20 && r.Size() == 1) {
      f.value = 20;
      return f;
    }
    if (r.Size() != v.parts) return r.Say(std::string("the fault is written ") + v.usage);
    if (v.kind == K::ResponseCode) {
      const auto command = r.Number(1, 0, 255, "a command");
      if (!command) return std::nullopt;
      f.command = *command;
    }
    const auto value = r.Number(v.parts - 1, v.lowest, v.highest, v.what);
    if (!value) return std::nullopt;
    f.value = *value;
    return f;
  }
  return r.Say("unknown fault '" + text + "'");
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
