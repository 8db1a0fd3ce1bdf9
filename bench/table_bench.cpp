// A custom TC table of 1000 points written to the simulated transmitter at the HART line rate
// (va5vivi-sim's --realtime model, in this process), through the session's table chain as the
// command-line tool and the window run it, against the floor of that write: every request's
// and reply's bytes on the line (the request as the link's post-write sleep), the inter-frame
// gap before each request after the first (the pause covers the one after it), and the
// device's storing pause after the end marker. The simulator's turnaround (20 to 50 ms per
// request, mean 35) is no part of the floor; the ratio with it is printed beside.
//
//   table_bench [--points N]     (N from 2 to 1000; 1000 by default)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "base/NumberText.h"
#include "session/Session.h"
#include "session/TableOperations.h"
#include "sim/SimulatedTransmitter.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double MsPerByte = 11000.0 / 1200.0;
constexpr double SimTurnaroundMeanMs = 35.0;

// Bytes of a traced frame ("TX: FF,FF,...,CS,").
int FrameBytes(std::string_view line) {
  int bytes = 0;
  for (char c : line) bytes += c == ',';
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  int points = 1000;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--points") == 0 && i + 1 < argc) {
      points = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: table_bench [--points N]\n");
      return 3;
    }
  }
  if (points < 2 || points > 1000) {
    std::fprintf(stderr, "table_bench: --points takes 2 to 1000\n");
    return 3;
  }

  va5::sim::SimulatedTransmitter sim{va5::sim::SimConfig{.realtime = true}};
  if (!sim.Start()) {
    std::fprintf(stderr, "table_bench: the simulator did not start\n");
    return 2;
  }
  std::mutex mutex;
  bool recording = false;
  std::vector<int> tx, rx;
  va5::session::SessionOptions options;
  options.port = sim.SlavePath();
  options.trace = [&](std::string_view line) {
    std::lock_guard lock(mutex);
    if (!recording) return;
    if (line.rfind("TX: ", 0) == 0) tx.push_back(FrameBytes(line));
    if (line.rfind("RX: ", 0) == 0) rx.push_back(FrameBytes(line));
  };
  const va5::Timing timing;
  va5::session::Session session(options, timing);
  if (session.Connect() != va5::ResultOk) {
    std::fprintf(stderr, "table_bench: no device\n");
    return 2;
  }

  va5::session::TableUpload table;
  table.minimumText = "-200";
  table.stepText = "1";
  for (int i = 0; i < points; ++i) table.x.push_back(va5::FormatFixed(-90 + i * 1.0625, 4));
  {
    std::lock_guard lock(mutex);
    recording = true;
  }
  va5::session::Operation operation(
      session, va5::session::WriteTableChain(va5::TableKind::Tc, std::move(table)));
  int lastPercent = -10;
  const auto start = Clock::now();
  const auto& outcome =
      va5::session::PerformTransfer(session, operation, va5::TableKind::Tc, true, [&](int percent) {
        if (percent / 10 != lastPercent / 10) std::fprintf(stderr, "%d %%\n", percent);
        lastPercent = percent;
      });
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  if (!outcome.Succeeded()) {
    std::fprintf(stderr, "table_bench: %s\n", outcome.reason->text.c_str());
    return 1;
  }

  std::lock_guard lock(mutex);
  double floor = static_cast<double>(timing.tableWriteWait.count());
  for (int bytes : tx) floor += static_cast<double>(bytes * 11000 / 1200);
  for (int bytes : rx) floor += bytes * MsPerByte;
  const auto exchanges = static_cast<double>(tx.size());
  if (exchanges > 2) floor += (exchanges - 2) * static_cast<double>(timing.interFrameGap.count());
  const double withTurnaround = floor + exchanges * SimTurnaroundMeanMs;
  std::printf(
      "table write of %d points: %zu requests, %.1f s, floor %.1f s, ratio %.3f (%.3f with the "
      "simulator's mean turnaround)\n",
      points, tx.size(), ms / 1000, floor / 1000, ms / floor, ms / withTurnaround);
  return 0;
}
