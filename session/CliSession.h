#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "base/MessageQueue.h"
#include "comm/HartLink.h"
#include "comm/HartWorker.h"
#include "comm/SerialPort.h"
#include "device/DeviceRecord.h"

namespace va5::cli {

// Exit status of the tool.
inline constexpr int ExitOk = 0;
inline constexpr int ExitRefused = 1;
inline constexpr int ExitLinkFailed = 2;
inline constexpr int ExitUsage = 3;

int ExitStatusOf(HartResult result);

// One connection of the tool: the port, the link, the device record and the worker, with the
// tool's answers to the worker's failure messages.
class CliSession {
 public:
  struct Options {
    std::string port;  // device path or listed port name
    int address = 0;
    int retries = 1;
    bool trace = false;
  };

  explicit CliSession(Options options, Timing timing = {});
  ~CliSession();

  // Opens the port and starts the worker; the result of whichever failed.
  HartResult Open(bool searchMode = false);

  // Submits a request and waits for its completion, answering failures: a silent-retry
  // request's first failure is retried without counting, then up to `retries` retries.
  HartResult Run(int type, bool monitoringAfter = false);

  // Searches the addresses from the start address upwards, each tried once. True when a
  // device answered; its address is then the record's polling address.
  bool Search();

  // Switches monitoring on and calls `onPoll` for each poll result until it returns false or
  // `stop` is set. The result of the last failed poll, or 200.
  HartResult Monitor(const std::function<bool(HartResult)>& onPoll, const std::atomic<bool>& stop);

  HartWorker& Worker() { return *worker_; }
  template <class F>
  auto WithRecord(F f) {
    return worker_->WithRecord(f);
  }
  // The port name or path as it was opened.
  const std::string& OpenName() const { return openName_; }

 private:
  // Answers one failure message; returns false when it gave up.
  bool AnswerFailure(int& retriesLeft);

  Options options_;
  Timing timing_;
  std::string openName_;
  std::unique_ptr<SerialPort> port_;
  std::unique_ptr<HartLink> link_;
  DeviceRecord record_;
  MessageQueue queue_;
  std::unique_ptr<HartWorker> worker_;
};

// The device path of a port name: a listed port's open name, else the text as given.
std::string ResolvePort(const std::string& port);

}  // namespace va5::cli
