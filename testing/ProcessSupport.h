#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace va5::test {

struct ProcessResult {
  int status = -1;  // exit status, or -1 when it did not exit normally
  std::string out;
  std::string err;
};

// Where a program's standard output goes: collected, to a full device (every write fails
// with "no space"), or nowhere (the descriptor is closed).
enum class Output { Collected, DevFull, Closed };

// Sees the program's pid and its outputs so far whenever more of them arrived (a test that
// signals the program at a given point of its output).
using OutputWatch = std::function<void(pid_t, const ProcessResult&)>;

// Runs a program to its end (killed after `limit`) and collects both outputs.
ProcessResult RunProcess(const std::vector<std::string>& argv,
                         std::chrono::milliseconds limit = std::chrono::seconds(60),
                         Output output = Output::Collected, const OutputWatch& watch = {});

// A program running in the background whose first output line is read at start (the
// simulator's readiness line). Stopped with SIGTERM by its pid and reaped.
class BackgroundProcess {
 public:
  explicit BackgroundProcess(const std::vector<std::string>& argv);
  ~BackgroundProcess();
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;

  const std::string& FirstLine() const { return firstLine_; }
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string firstLine_;
};

}  // namespace va5::test
