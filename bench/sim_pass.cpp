// One pass over every command of the command table against the simulated transmitter on a
// pseudo-terminal, through the real POSIX port, link, builders and decoders and the worker's
// transaction step.
//
//   sim_pass [--realtime] [--scale F] [--passes N]
//
// --scale scales the link's timing (1 = the product's own delays); --realtime paces the
// simulator's replies at the HART line rate.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "comm/CommandSet.h"
#include "comm/HartLink.h"
#include "comm/PosixSerialPort.h"
#include "comm/TransactionStep.h"
#include "device/DeviceRecord.h"
#include "sim/SimulatedTransmitter.h"

namespace {

using Clock = std::chrono::steady_clock;

void FillRequests(va5::DeviceRecord& r) {
  r.requestMessage = "BENCHMARK PASS";
  r.requestTag = "BENCH";
  r.requestDescriptor = "ONE PASS";
  r.requestDate = "2024/05/01";
  r.requestFinalAssemblyNumber = 1;
  r.requestSerialNumber = 2;
  r.dampingText = "2.0";
  r.requestUnit = 32;
  r.upperRangeText = "100";
  r.lowerRangeText = "0";
  r.fixedCurrentText = "4.0";
  r.requestedTrimMode = 0;
  r.trimCurrentText = "4.0";
  r.requestTransferFunction = 0;
  r.requestPreambles = 5;
  r.requestPollingAddress = 0;
  r.requestSensorType = 12;
  r.requestSensorWires = 3;
  r.requestCjcMode = 1;
  r.requestBurnout = 0;
  r.pairTexts = {"1", "0"};
  r.calibrationPoint = 0;
  r.calibrationUnit = 32;
  r.calibrationValueText = "0";
  r.requestTerminalUnit = 32;
  r.blockTexts = {"0", "100", "0", "1"};
  r.floatSettingText = "50";
  r.tripleText = "1";
  r.uploadTableSize = 2;
  r.uploadStepText = "10";
  r.uploadMinimumText = "0";
  r.uploadValueTexts[0] = "1";
  r.uploadCurveSize = 2;
  r.uploadCurveXTexts[0] = "0";
  r.uploadCurveYTexts[0] = "0";
  r.tablePointIndex = 0;
}

}  // namespace

int main(int argc, char** argv) {
  bool realtime = false;
  double scale = 1.0;
  int passes = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--realtime") == 0) {
      realtime = true;
    } else if (std::strcmp(argv[i], "--scale") == 0 && i + 1 < argc) {
      scale = std::atof(argv[++i]);
    } else if (std::strcmp(argv[i], "--passes") == 0 && i + 1 < argc) {
      passes = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: sim_pass [--realtime] [--scale F] [--passes N]\n");
      return 3;
    }
  }
  if (scale <= 0 || passes < 1) return 3;

  va5::sim::SimConfig config;
  config.realtime = realtime;
  config.selfTestBusy = std::chrono::milliseconds(0);  // measure the line, not the device's work
  config.resetDuration = std::chrono::milliseconds(0);
  va5::sim::SimulatedTransmitter sim(config);
  if (!sim.Start()) {
    std::perror("pseudo-terminal");
    return 1;
  }
  va5::PosixSerialPort port;
  va5::HartLink link(port, va5::Timing{}.Scaled(scale), va5::NullTraceSink());
  if (link.OpenPort(sim.SlavePath()) != va5::ResultOk) {
    std::fprintf(stderr, "cannot open %s\n", sim.SlavePath().c_str());
    return 1;
  }
  va5::DeviceRecord record;
  record.SetStartValues();
  FillRequests(record);

  // Every command of the table once. The loop-current trims need the output fixed at their
  // point (and the reset of command 42 leaves fixed mode): command 40 goes first, as the trim
  // panel does it.
  struct Step {
    std::uint8_t command;
    const char* current;  // fixed / measured current for 40, 45, 46
  };
  std::vector<Step> plan;
  std::size_t tableCommands = 0;
  for (int c = 0; c < 256; ++c) {
    const auto command = static_cast<std::uint8_t>(c);
    if (va5::FindCommand(command) == nullptr) continue;
    ++tableCommands;
    if (command == 45) plan.push_back({40, "4.0"});
    if (command == 46) plan.push_back({40, "20.0"});
    plan.push_back({command, command == 46 ? "20.0" : "4.0"});
  }

  int failures = 0;
  const auto start = Clock::now();
  for (int pass = 0; pass < passes; ++pass) {
    for (const Step& step : plan) {
      const va5::CommandDescriptor* d = va5::FindCommand(step.command);
      record.fixedCurrentText = step.current;
      record.trimCurrentText = step.current;
      record.requestedTrimMode = step.command == 46 ? 1 : 0;
      const va5::HartResult r = va5::RunCommand(link, *d, record);
      if (r != va5::ResultOk) {
        ++failures;
        std::fprintf(stderr, "command %d: result %d, response code %d\n", step.command, r,
                     link.State().responseCode);
      }
    }
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count() / passes;
  std::printf(
      "%s mode, link timing x%g: %zu commands (%zu transactions), one pass %.3f s "
      "(%.1f ms a transaction)%s\n",
      realtime ? "realtime" : "fast", scale, tableCommands, plan.size(), seconds,
      seconds * 1000.0 / static_cast<double>(plan.size()), failures ? ", with failures" : "");
  return failures ? 1 : 0;
}
