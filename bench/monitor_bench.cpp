// The traffic monitor's cost. Closed, its trace sink is what every frame of every poll pays:
// measured per line against the time a poll takes on the line. Open, the link thread pays a
// queue push per line and the window's timer turns the queued lines into rows: measured per
// line, and for a full table whose oldest rows drop.
//
//   QT_QPA_PLATFORM=offscreen build-bench/bench/monitor_bench
#include <QApplication>
#include <QTableWidget>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "gui/TrafficMonitor.h"

namespace {

using Clock = std::chrono::steady_clock;

double NanosPer(Clock::duration elapsed, long long count) {
  return std::chrono::duration<double, std::nano>(elapsed).count() / static_cast<double>(count);
}

// A poll as the link traces it: command 3 to a long address and its reply, then command 2.
const std::vector<va5::TraceEvent> kPollEvents = {
    {.kind = va5::TraceKind::Sent,
     .bytes = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x82, 0x9D, 0x02, 0x00, 0x01, 0x25, 0x03, 0x00, 0x3A}},
    {.kind = va5::TraceKind::Received,
     .bytes = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x86, 0x9D, 0x02, 0x00, 0x01, 0x25, 0x03, 0x1A, 0x00,
               0x00, 0x04, 0x41, 0x74, 0xCF, 0x10, 0x20, 0x42, 0x8D, 0x41, 0xC4, 0x20, 0x42, 0x48,
               0x00, 0x00, 0x20, 0x41, 0xA0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x5C}},
    {.kind = va5::TraceKind::Sent,
     .bytes = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x82, 0x9D, 0x02, 0x00, 0x01, 0x25, 0x02, 0x00, 0x39}},
    {.kind = va5::TraceKind::Received,
     .bytes = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x86, 0x9D, 0x02, 0x00, 0x01, 0x25, 0x02,
               0x0A, 0x00, 0x00, 0x41, 0x74, 0xAE, 0x31, 0x42, 0x8D, 0x28, 0x17, 0x4E}},
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  va5::CTrafficMonitor monitor;
  const va5::TraceSink sink = monitor.Sink();

  // Closed: the sink of every poll.
  constexpr long long kClosedLines = 20'000'000;
  auto start = Clock::now();
  for (long long i = 0; i < kClosedLines; ++i) sink(kPollEvents[static_cast<std::size_t>(i % 4)]);
  const double closedNs = NanosPer(Clock::now() - start, kClosedLines);
  // A poll (commands 3 and 2) takes at least the bytes of its four frames on the 1200 bit/s
  // line, 11 bits a character; preambles included.
  std::size_t pollBytes = 0;
  for (const va5::TraceEvent& event : kPollEvents) pollBytes += event.bytes.size();
  const double pollLineNs = pollBytes * 11.0 / 1200.0 * 1e9;
  std::printf("closed_sink_ns_per_line %.1f\n", closedNs);
  std::printf("closed_share_of_a_poll_on_the_line %.2e (poll >= %.0f ms)\n",
              4 * closedNs / pollLineNs, pollLineNs / 1e6);

  // Open: the link thread's push, then the window's flush into rows.
  monitor.show();
  QApplication::processEvents();
  constexpr int kBatch = 100;  // far more lines than a 100 ms tick of polls brings
  constexpr int kRounds = 200;
  Clock::duration pushes{};
  Clock::duration flushes{};
  Clock::duration fullFlushes{};
  int fullRounds = 0;
  for (int round = 0; round < kRounds; ++round) {
    start = Clock::now();
    for (int i = 0; i < kBatch; ++i) sink(kPollEvents[static_cast<std::size_t>(i % 4)]);
    pushes += Clock::now() - start;
    const bool full = monitor.Table()->rowCount() >= va5::CTrafficMonitor::kMaxRows;
    start = Clock::now();
    monitor.Flush();
    const auto took = Clock::now() - start;
    flushes += took;
    if (full) {
      fullFlushes += took;
      ++fullRounds;
    }
  }
  std::printf("open_sink_ns_per_line %.1f\n", NanosPer(pushes, kBatch * kRounds));
  std::printf("open_flush_us_per_line %.1f\n", NanosPer(flushes, kBatch * kRounds) / 1e3);
  if (fullRounds > 0) {
    std::printf("open_flush_us_per_line_when_full %.1f (%d rows held)\n",
                NanosPer(fullFlushes, static_cast<long long>(kBatch) * fullRounds) / 1e3,
                monitor.Table()->rowCount());
  }
  return 0;
}
