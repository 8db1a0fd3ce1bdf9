#include "testing/ProcessSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

namespace va5::test {

namespace {

std::vector<char*> Argv(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  return argv;
}

pid_t Spawn(const std::vector<std::string>& args, int& out, int* err,
            Output output = Output::Collected) {
  int outPipe[2];
  int errPipe[2] = {-1, -1};
  if (::pipe2(outPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  if (err != nullptr && ::pipe2(errPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  auto argv = Argv(args);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(outPipe[1], 1);
    if (output == Output::DevFull) {
      const int full = ::open("/dev/full", O_WRONLY);
      if (full < 0) ::_exit(126);
      ::dup2(full, 1);
      ::close(full);
    } else if (output == Output::Closed) {
      ::close(1);
    }
    if (err != nullptr) ::dup2(errPipe[1], 2);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(outPipe[1]);
  out = outPipe[0];
  if (err != nullptr) {
    ::close(errPipe[1]);
    *err = errPipe[0];
  }
  return pid;
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& args, std::chrono::milliseconds limit,
                         Output output, const OutputWatch& watch) {
  int out = -1, err = -1;
  const pid_t pid = Spawn(args, out, &err, output);
  ProcessResult result;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  pollfd fds[2] = {{out, POLLIN, 0}, {err, POLLIN, 0}};
  int open = 2;
  while (open > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      ::kill(pid, SIGKILL);
      break;
    }
    if (::poll(fds, 2, static_cast<int>(left.count())) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n <= 0) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      } else {
        (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
        if (watch) watch(pid, result);
      }
    }
  }
  for (auto& f : fds) {
    if (f.fd >= 0) ::close(f.fd);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& args) {
  pid_ = Spawn(args, out_, nullptr);
  char c;
  while (::read(out_, &c, 1) == 1 && c != '\n') firstLine_ += c;
}

BackgroundProcess::~BackgroundProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  if (out_ >= 0) ::close(out_);
}

}  // namespace va5::test
