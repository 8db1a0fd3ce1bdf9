// A soak of the monitoring poll: --cycles polls (100,000 by default) on a scaled Timing against
// the simulated transmitter (in this process, on a pseudo-terminal) with 1 % of its replies
// faulty, driven through the session as the window drives it: Connect, Upload, monitoring on,
// then every worker message answered as the main window answers it (the link-failure policy
// retries; where it would ask, the technician answers Retry).
//
// Each fault lasts one request and is injected at a random request (a fixed seed): silence,
// noise before the reply, noise instead of it, a bad checksum, a response code, the
// communication-error byte, and replies slowed to just under and just over the first-byte
// limit. Reports the cycles completed, the faults injected by kind, the failures seen (failed
// receives and polls whose reply was refused), the recoveries (a good poll after one or more
// failures), the longest run of consecutive failures, the RSS at start and end and the wall
// time. A watchdog prints STUCK and exits 1 when no poll completes for 10 s.
//
//   soak_bench [--cycles N] [--scale F] [--seed S] [--faulty P]
//
// --faulty 0 runs the same soak without faults: the failures it sees are the scaled time limits
// missed on a loaded machine, the floor under the faulty run's figures.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <string_view>
#include <thread>

#include "session/Session.h"
#include "sim/SimulatedTransmitter.h"

namespace {

using Clock = std::chrono::steady_clock;
using va5::sim::Fault;

constexpr double DefaultFaulty = 0.01;  // share of the requests the link sends while soaking
constexpr auto StuckAfter = std::chrono::seconds(10);
constexpr double DefaultScale = 0.01;

// VmRSS of this process, kB (-1 when unreadable).
long RssKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

// The kinds injected, drawn with equal weight.
enum Kind {
  Silence,
  NoiseBefore,
  NoiseInstead,
  BadChecksum,
  ResponseCode,
  CommError,
  SlowUnder,
  SlowOver,
  KindCount
};
constexpr std::array<const char*, KindCount> KindNames = {
    "silence", "noise before the reply", "noise instead of the reply", "bad checksum",
    "response code (2, 14, 32, 64)", "communication-error byte", "slow, under the limit",
    "slow, over the limit"};

// Injects one-request faults at random requests; called from the link's trace (the worker
// thread) for every request frame sent.
class Injector {
 public:
  Injector(va5::sim::SimulatedTransmitter& sim, std::uint64_t seed, double share,
           std::chrono::milliseconds limit)
      : sim_(sim), random_(seed), share_(share), limit_(static_cast<int>(limit.count())) {}

  void OnRequest() {
    if (!on_ || chance_(random_) >= share_) return;
    const auto kind = static_cast<Kind>(pick_(random_) % KindCount);
    Fault f{.kind = Fault::Kind::Silence, .count = 1};
    switch (kind) {
      case Silence:
        break;
      case NoiseBefore:
        f.kind = Fault::Kind::Noise;
        break;
      case NoiseInstead:
        f.kind = Fault::Kind::Noise;
        f.value = 1;
        break;
      case BadChecksum:
        f.kind = Fault::Kind::BadChecksum;
        break;
      case ResponseCode: {
        static constexpr int codes[] = {2, 14, 32, 64};
        f.kind = Fault::Kind::ResponseCode;
        f.value = codes[pick_(random_) % 4];
        break;
      }
      case CommError: {
        static constexpr int bits[] = {0x40, 0x20, 0x10, 0x08, 0x02};
        f.kind = Fault::Kind::CommError;
        f.value = bits[pick_(random_) % 5];
        break;
      }
      case SlowUnder:
        f.kind = Fault::Kind::Slow;
        f.value = limit_ * 6 / 10;
        break;
      case SlowOver:
        f.kind = Fault::Kind::Slow;
        f.value = limit_ * 15 / 10;
        break;
      default:
        break;
    }
    sim_.InjectFault(f);
    ++injected_[kind];
  }

  void SetOn(bool on) { on_ = on; }
  long Injected(int kind) const { return injected_[static_cast<std::size_t>(kind)]; }
  long Total() const {
    long total = 0;
    for (const auto& n : injected_) total += n;
    return total;
  }

 private:
  va5::sim::SimulatedTransmitter& sim_;
  std::mt19937_64 random_;
  std::uniform_real_distribution<double> chance_{0.0, 1.0};
  std::uniform_int_distribution<int> pick_{0, 1 << 20};
  double share_;
  int limit_;
  std::atomic<bool> on_{false};
  std::array<std::atomic<long>, KindCount> injected_{};
};

// Counts what the link's trace says: failed receives, late replies skipped, replies carrying
// the communication-error byte.
struct LinkCounts {
  std::atomic<int> failedReceives{0};
  std::atomic<long> skipped{0};
  std::atomic<long> commErrorReplies{0};

  void OnLine(std::string_view line) {
    if (line.rfind("RX: ", 0) != 0) return;
    if (line.rfind("RX: skipped", 0) == 0) {
      ++skipped;
    } else if (line.ends_with("Communication Error\n")) {
      ++commErrorReplies;
    } else if (line.ends_with("Error\n")) {
      ++failedReceives;
    }
  }
};

// Forwards the worker's messages to the session's queue, each stamped (in its private message
// number) with the failed receives counted when it was posted: the failures of a poll are
// told apart from those of the next one even when the reader is late.
class StampingSink : public va5::MessageSink {
 public:
  StampingSink(va5::MessageSink& next, const LinkCounts& counts) : next_(next), counts_(counts) {}
  void Post(const va5::WorkerMessage& message) override {
    va5::WorkerMessage stamped = message;
    stamped.message = counts_.failedReceives;
    next_.Post(stamped);
  }

 private:
  va5::MessageSink& next_;
  const LinkCounts& counts_;
};

std::atomic<std::int64_t> lastProgress{0};  // steady-clock ns of the last poll completed
std::atomic<long> cyclesDone{0};

std::int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
      .count();
}

}  // namespace

int main(int argc, char** argv) {
  long cycles = 100000;
  double scale = DefaultScale;
  std::uint64_t seed = 1;
  double faulty = DefaultFaulty;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--cycles") == 0 && i + 1 < argc) {
      cycles = std::atol(argv[++i]);
    } else if (std::strcmp(argv[i], "--scale") == 0 && i + 1 < argc) {
      scale = std::atof(argv[++i]);
    } else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
      seed = std::strtoull(argv[++i], nullptr, 10);
    } else if (std::strcmp(argv[i], "--faulty") == 0 && i + 1 < argc) {
      faulty = std::atof(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: soak_bench [--cycles N] [--scale F] [--seed S] [--faulty P]\n");
      return 3;
    }
  }
  if (cycles < 1 || !(scale > 0.0 && scale <= 1.0) || !(faulty >= 0.0 && faulty <= 1.0)) {
    std::fprintf(stderr,
                 "soak_bench: --cycles takes 1 or more, --scale more than 0 up to 1, --faulty 0 "
                 "to 1\n");
    return 3;
  }
  const long rssAtStart = RssKb();
  const auto wallStart = Clock::now();

  // No poll for StuckAfter: print what was reached and leave at once (nothing is joined).
  lastProgress = NowNs();
  std::thread watchdog([] {
    for (;;) {
      std::this_thread::sleep_for(std::chrono::milliseconds(250));
      if (NowNs() - lastProgress.load() > std::chrono::nanoseconds(StuckAfter).count()) {
        std::printf("STUCK: no poll completed for %lld s, after %ld cycles\n",
                    static_cast<long long>(StuckAfter.count()), cyclesDone.load());
        std::fflush(stdout);
        std::_Exit(1);
      }
    }
  });
  watchdog.detach();

  va5::sim::SimulatedTransmitter sim{va5::sim::SimConfig{.seed = seed}};
  if (!sim.Start()) {
    std::fprintf(stderr, "soak_bench: the simulator did not start\n");
    return 2;
  }
  const va5::Timing timing = va5::Timing{}.Scaled(scale);
  Injector injector(sim, seed, faulty, timing.firstByteLimit);
  LinkCounts counts;
  va5::session::SessionOptions options;
  options.port = sim.SlavePath();
  options.trace = [&](std::string_view line) {
    if (line.rfind("TX: ", 0) == 0 && line != "TX: Timeout\n") injector.OnRequest();
    counts.OnLine(line);
  };
  va5::session::Session session(options, timing);
  if (const va5::HartResult r = session.Connect(); r != va5::ResultOk) {
    std::fprintf(stderr, "soak_bench: no device (%d)\n", r);
    return 2;
  }
  if (const va5::HartResult r = session.Upload(); r != va5::ResultOk) {
    std::fprintf(stderr, "soak_bench: the upload failed (%d)\n", r);
    return 2;
  }
  StampingSink sink(session.Messages(), counts);
  session.SetMessageTarget(&sink, 0);
  if (const va5::HartResult r = session.Run(va5::RequestMonitorOn, true); r != va5::ResultOk) {
    std::fprintf(stderr, "soak_bench: monitoring did not start (%d)\n", r);
    return 2;
  }
  const long rssAtSoak = RssKb();
  const auto soakStart = Clock::now();
  lastProgress = NowNs();
  injector.SetOn(true);

  // Failures are failed receives (each retried by the link, then by the policy) and polls whose
  // reply was refused (a response code, the communication-error byte).
  long rejectedPolls = 0, failureMessages = 0, asked = 0, recoveries = 0;
  long failuresAtLastGood = 0, longestRun = 0, goodPolls = 0;
  session.BeginRequest();
  long done = 0;
  int exitCode = 0;
  while (done < cycles) {
    auto message = session.Messages().Next(std::chrono::milliseconds(100));
    if (!message) continue;
    if (message->kind == va5::MessageFailure) {
      ++failureMessages;
      const auto answer = session.OnFailure();
      if (answer == va5::session::LinkFailurePolicy::Answer::Ask) ++asked;  // "Retry"
      session.AnswerFailure(answer != va5::session::LinkFailurePolicy::Answer::GiveUp);
    } else if (message->kind == va5::MessageWorkerEnded) {
      std::printf("the worker ended after %ld cycles\n", done);
      exitCode = 1;
      break;
    } else if (message->kind == va5::RequestPoll) {
      ++done;
      cyclesDone = done;
      lastProgress = NowNs();
      if (message->detail != va5::ResultOk) ++rejectedPolls;
      const long failures = message->message + rejectedPolls;
      if (message->detail == va5::ResultOk) {
        ++goodPolls;
        if (failures > failuresAtLastGood) {
          ++recoveries;
          longestRun = std::max(longestRun, failures - failuresAtLastGood);
        }
        failuresAtLastGood = failures;
      }
      session.BeginRequest();
      if (done % 10000 == 0) {
        std::fprintf(stderr, "%ld cycles, %.0f s, %ld faults injected, RSS %ld kB\n", done,
                     std::chrono::duration<double>(Clock::now() - soakStart).count(),
                     injector.Total(), RssKb());
      }
    }
  }
  injector.SetOn(false);
  const double soakSeconds = std::chrono::duration<double>(Clock::now() - soakStart).count();
  const long rssAtEnd = RssKb();
  const long failedReceives = counts.failedReceives;

  std::printf("scale %g (first-byte limit %lld ms, idle wait %lld ms), seed %llu, %g %% of "
              "requests faulty\n",
              scale, static_cast<long long>(timing.firstByteLimit.count()),
              static_cast<long long>(timing.idleWait.count()),
              static_cast<unsigned long long>(seed), faulty * 100);
  std::printf("cycles completed        %ld of %ld (%ld good, %ld refused)\n", done, cycles,
              goodPolls, rejectedPolls);
  std::printf("faults injected         %ld\n", injector.Total());
  for (int k = 0; k < KindCount; ++k) {
    std::printf("  %-30s %ld\n", KindNames[static_cast<std::size_t>(k)], injector.Injected(k));
  }
  std::printf("failures seen           %ld (%ld failed receives, %ld refused polls)\n",
              failedReceives + rejectedPolls, failedReceives, rejectedPolls);
  std::printf("  failure messages      %ld (the policy asked %ld times, answered Retry)\n",
              failureMessages, asked);
  std::printf("  late replies skipped  %ld, replies with the comm-error byte %ld\n",
              counts.skipped.load(), counts.commErrorReplies.load());
  std::printf("recoveries              %ld\n", recoveries);
  std::printf("longest failure run     %ld\n", longestRun);
  std::printf("RSS                     %ld kB at start, %ld kB when the soak began, %ld kB at "
              "the end: growth %ld kB over the soak (%ld kB since start)\n",
              rssAtStart, rssAtSoak, rssAtEnd, rssAtEnd - rssAtSoak, rssAtEnd - rssAtStart);
  std::printf("wall time               %.1f s (soak %.1f s, %.2f ms a cycle)\n",
              std::chrono::duration<double>(Clock::now() - wallStart).count(), soakSeconds,
              done > 0 ? soakSeconds * 1000 / static_cast<double>(done) : 0.0);
  std::fflush(stdout);
  if (exitCode == 0 && rssAtEnd - rssAtSoak >= 1024) {
    std::printf("RSS growth of 1 MB or more\n");
    exitCode = 1;
  }
  return exitCode;
}
