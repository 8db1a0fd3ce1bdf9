// va5vivi-sim: a simulated TQ5R HART transmitter on a pseudo-terminal.
//
// Prints the pseudo-terminal's path as its first line once the device answers, registers the
// port (SIM1, SIM2 ...) for the configurator's port list, and runs until SIGINT or SIGTERM.

#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sys/time.h>
#include <string>
#include <vector>

#include "comm/ResultTexts.h"
#include "comm/TrafficCapture.h"
#include "device/DeviceRecord.h"
#include "sim/FaultOption.h"
#include "sim/PortRegistry.h"
#include "sim/SimulatedTransmitter.h"

namespace {

constexpr int kExitUsage = 3;
constexpr int kExitFailure = 1;

void PrintUsage(std::FILE* out) {
  std::fprintf(out,
               "usage: va5vivi-sim [--address N] [--device-id ID] [--realtime] [--name NAME]\n"
               "                   [--seed N] [--log FILE] [--fault FAULT]...\n"
               "  --address N     polling address 0..15 (0)\n"
               "  --device-id ID  24-bit device ID, decimal or 0x... (0x000125)\n"
               "  --realtime      pace replies at the HART line rate (1200 bit/s)\n"
               "  --name NAME     register the port under NAME instead of the first free SIMn\n"
               "  --seed N        seed of the simulated process (1)\n"
               "  --log FILE      append a line for every request received: the time, the\n"
               "                  command and the response code sent back ('-': standard error)\n"
               "%s",
               va5::sim::FaultUsage());
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "va5vivi-sim: %s\n", message.c_str());
  PrintUsage(stderr);
  return kExitUsage;
}

bool ParseNumber(const std::string& text, unsigned long long highest, unsigned long long& out) {
  const auto value = va5::sim::ParseOptionNumber(text, highest);
  if (value) out = *value;
  return value.has_value();
}

// One line a request: "12:00:01.234 command 3 (Read Dynamic Variables) -> response 0",
// "-> no reply" when the device stayed silent (a fault, or another address).
void LogRequest(std::FILE* out, const std::vector<std::uint8_t>& request,
                const std::vector<std::uint8_t>& reply) {
  timeval now{};
  gettimeofday(&now, nullptr);
  std::tm local{};
  localtime_r(&now.tv_sec, &local);
  char clock[16];
  std::strftime(clock, sizeof clock, "%H:%M:%S", &local);
  const auto asked = va5::DecodeTracedFrame(request, false);
  std::string answer = "no reply";
  if (!reply.empty()) {
    const auto answered = va5::DecodeTracedFrame(reply, true);
    answer = answered.responseCode < 0 ? "a reply without status"
                                       : "response " + std::to_string(answered.responseCode);
  }
  std::fprintf(out, "%s.%03d command %d (%s) -> %s\n", clock, static_cast<int>(now.tv_usec / 1000),
               asked.command, va5::CommandName(asked.command), answer.c_str());
  std::fflush(out);
}

}  // namespace

int main(int argc, char** argv) {
  va5::sim::SimConfig config;
  std::vector<va5::sim::Fault> faults;
  std::string name;
  std::string logPath;

  const std::vector<std::string> args(argv + 1, argv + argc);
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string option = args[i];
    std::string value;
    bool hasValue = false;
    if (const auto eq = option.find('='); option.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = option.substr(eq + 1);
      option = option.substr(0, eq);
      hasValue = true;
    }
    auto takeValue = [&]() -> bool {
      if (hasValue) return true;
      if (i + 1 >= args.size()) return false;
      value = args[++i];
      return true;
    };
    unsigned long long n = 0;
    if (option == "--help" || option == "-h") {
      PrintUsage(stdout);
      return 0;
    } else if (option == "--realtime" && !hasValue) {
      config.realtime = true;
    } else if (option == "--address") {
      if (!takeValue() || !ParseNumber(value, va5::MaxPollingAddress, n)) {
        return UsageError("--address needs a polling address from 0 to " +
                          std::to_string(va5::MaxPollingAddress));
      }
      config.pollingAddress = static_cast<int>(n);
    } else if (option == "--device-id") {
      if (!takeValue() || !ParseNumber(value, 0xFFFFFF, n)) {
        return UsageError("--device-id needs a number from 0 to 16777215 (0xFFFFFF)");
      }
      config.deviceId = static_cast<std::uint32_t>(n);
    } else if (option == "--seed") {
      if (!takeValue() || !ParseNumber(value, ~0ull, n)) {
        return UsageError("--seed needs a number");
      }
      config.seed = n;
    } else if (option == "--name") {
      if (!takeValue() || !va5::IsValidRegistryName(value)) {
        return UsageError("--name needs a port name of letters, digits, '-', '_' and '.'");
      }
      name = value;
    } else if (option == "--log") {
      if (!takeValue() || value.empty()) return UsageError("--log needs a file name, or '-'");
      logPath = value;
    } else if (option == "--fault") {
      if (!takeValue()) return UsageError("--fault needs a fault");
      std::string problem;
      const auto fault = va5::sim::ParseFault(value, &problem);
      if (!fault) return UsageError(problem);
      faults.push_back(*fault);
    } else {
      return UsageError("unknown argument '" + args[i] + "'");
    }
  }

  // The signals are taken by sigwait below; block them before the device thread exists so that
  // it inherits the mask and never runs a handler.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  va5::sim::SimulatedTransmitter device(config);
  for (const auto& f : faults) device.InjectFault(f);
  std::FILE* log = nullptr;
  if (logPath == "-") {
    log = stderr;
  } else if (!logPath.empty()) {
    log = std::fopen(logPath.c_str(), "a");
    if (log == nullptr) {
      std::fprintf(stderr, "va5vivi-sim: cannot open %s: %s\n", logPath.c_str(),
                   std::strerror(errno));
      return kExitFailure;
    }
  }
  if (log != nullptr) {
    device.SetRequestLog([log](const auto& request, const auto& reply) {
      LogRequest(log, request, reply);
    });
  }
  if (!device.Start()) {
    std::fprintf(stderr, "va5vivi-sim: cannot open a pseudo-terminal: %s\n", std::strerror(errno));
    return kExitFailure;
  }
  const std::string path = device.SlavePath();
  std::string problem;
  const std::string port = va5::sim::RegisterPort(path, name, &problem);
  if (port.empty()) {
    std::fprintf(stderr, "va5vivi-sim: cannot register the port: %s\n", problem.c_str());
    device.Stop();
    return kExitFailure;
  }

  std::printf("%s\n", path.c_str());
  std::fflush(stdout);
  std::fprintf(stderr,
               "va5vivi-sim: TQ5R transmitter, polling address %d, device ID %u, port %s -> %s%s\n"
               "va5vivi-sim: stop with Ctrl+C\n",
               config.pollingAddress, config.deviceId, port.c_str(), path.c_str(),
               config.realtime ? " (realtime)" : "");

  int received = 0;
  while (sigwait(&signals, &received) != 0) {
  }
  va5::sim::UnregisterPort(port, path);
  device.Stop();
  return 0;
}
