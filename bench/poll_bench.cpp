// Poll-cycle and upload benchmark of va5vivi-cli against va5vivi-sim --realtime.
//
// Reports:
//  1. CPU used by the CLI process while it monitors for --seconds (default 60), as a share of
//     one core;
//  2. the poll-cycle period against its floor: the idle wait (which also covers the inter-frame
//     gap before command 3), the gap before command 2, and for both commands the request's bytes
//     on the line (the post-write sleep) and the reply's bytes on the line, counted from a
//     traced calibration run;
//  3. the same ratio for an upload, from the first request of the upload to its last reply.
//
// usage: poll_bench [--seconds N]
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double GapMs = 80.0;
constexpr double IdleMs = 200.0;
constexpr double MsPerByte = 11000.0 / 1200.0;
// The simulator answers 20 to 50 ms after a request has crossed the line (a device's
// turnaround); not part of the floor, shown separately.
constexpr double SimTurnaroundMeanMs = 35.0;

struct TimedLine {
  double t;  // seconds since the child started
  bool err;
  std::string text;
};

struct RunResult {
  std::vector<TimedLine> lines;
  double wall = 0;  // seconds
  double cpu = 0;   // seconds, user + system
  int status = -1;
};

pid_t Spawn(const std::vector<std::string>& args, int& out, int& err) {
  int o[2], e[2];
  if (::pipe(o) != 0 || ::pipe(e) != 0) std::exit(2);
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(o[1], 1);
    ::dup2(e[1], 2);
    ::close(o[0]);
    ::close(e[0]);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(o[1]);
  ::close(e[1]);
  out = o[0];
  err = e[0];
  return pid;
}

// Runs a child to its end, time-stamping every output line; SIGINT after `stopAfter` seconds.
RunResult Run(const std::vector<std::string>& args, double stopAfter = -1) {
  int out, err;
  const auto start = Clock::now();
  const pid_t pid = Spawn(args, out, err);
  RunResult r;
  pollfd fds[2] = {{out, POLLIN, 0}, {err, POLLIN, 0}};
  std::string partial[2];
  int open = 2;
  bool interrupted = false;
  while (open > 0) {
    const double now = std::chrono::duration<double>(Clock::now() - start).count();
    if (stopAfter >= 0 && !interrupted && now >= stopAfter) {
      ::kill(pid, SIGINT);
      interrupted = true;
    }
    ::poll(fds, 2, 50);
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP)) == 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      const double t = std::chrono::duration<double>(Clock::now() - start).count();
      if (n <= 0) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
        continue;
      }
      partial[i].append(buffer, static_cast<std::size_t>(n));
      for (std::size_t nl; (nl = partial[i].find('\n')) != std::string::npos;) {
        r.lines.push_back({t, i == 1, partial[i].substr(0, nl)});
        partial[i].erase(0, nl + 1);
      }
    }
  }
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  r.wall = std::chrono::duration<double>(Clock::now() - start).count();
  r.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
          static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

// Frames of a trace: bytes of each "TX: " / "RX: " line, with the time it was printed.
struct Frame {
  bool tx;
  int bytes;
  double t;
};

std::vector<Frame> Frames(const RunResult& r) {
  std::vector<Frame> frames;
  for (const auto& line : r.lines) {
    if (!line.err) continue;
    const bool tx = line.text.rfind("TX: ", 0) == 0;
    if (!tx && line.text.rfind("RX: ", 0) != 0) continue;
    int bytes = 0;
    for (char c : line.text) bytes += c == ',';
    frames.push_back({tx, bytes, line.t});
  }
  return frames;
}

// Line time of a request: what the link sleeps after writing it (integer milliseconds).
double RequestLineMs(int bytes) { return static_cast<double>(bytes * 11000 / 1200); }
double ReplyLineMs(int bytes) { return bytes * MsPerByte; }

}  // namespace

int main(int argc, char** argv) {
  double seconds = 60;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atof(argv[i + 1]);
  }

  int simOut, simErr;
  const pid_t sim = Spawn({VA5VIVI_SIM, "--realtime"}, simOut, simErr);
  std::string port;
  for (char c; ::read(simOut, &c, 1) == 1 && c != '\n';) port += c;
  if (port.empty()) {
    std::fprintf(stderr, "poll_bench: the simulator did not start\n");
    return 2;
  }
  const std::string cli = VA5VIVI_CLI;

  // Calibration: the bytes of one poll cycle (the frames after the identify).
  const RunResult calibration = Run({cli, "--trace", "--port", port, "monitor", "--count", "2"});
  const auto pollFrames = Frames(calibration);
  if (calibration.status != 0 || pollFrames.size() < 6) {
    std::fprintf(stderr, "poll_bench: calibration failed (status %d)\n", calibration.status);
    return 2;
  }
  // The idle wait covers the gap before the first command of a cycle.
  double cycleFloor = IdleMs + GapMs;
  for (std::size_t i = 2; i < 6; i += 2) {
    cycleFloor += RequestLineMs(pollFrames[i].bytes) + ReplyLineMs(pollFrames[i + 1].bytes);
  }

  // Monitoring: CPU of the CLI and the period between poll lines.
  const RunResult monitor = Run({cli, "--port", port, "monitor"}, seconds);
  std::vector<double> polls;
  for (const auto& line : monitor.lines) {
    if (!line.err && line.text.rfind("PV ", 0) == 0) polls.push_back(line.t);
  }
  if (polls.size() < 3) {
    std::fprintf(stderr, "poll_bench: too few polls (%zu)\n", polls.size());
    return 2;
  }
  const double period =
      (polls.back() - polls.front()) * 1000.0 / static_cast<double>(polls.size() - 1);

  // Upload: from the first request of the upload (after the identify) to its last reply.
  const RunResult upload = Run({cli, "--trace", "--port", port, "upload"});
  const auto uploadFrames = Frames(upload);
  if (upload.status != 0 || uploadFrames.size() != 22) {
    std::fprintf(stderr, "poll_bench: upload failed (status %d, %zu frames)\n", upload.status,
                 uploadFrames.size());
    return 2;
  }
  double uploadFloor = 0;
  for (std::size_t i = 2; i < 22; i += 2) {
    uploadFloor += RequestLineMs(uploadFrames[i].bytes) + ReplyLineMs(uploadFrames[i + 1].bytes);
    if (i > 2) uploadFloor += GapMs;
  }
  const double uploadMs = (uploadFrames[21].t - uploadFrames[2].t) * 1000.0;

  ::kill(sim, SIGTERM);
  ::waitpid(sim, nullptr, 0);

  std::printf("monitoring %.1f s: %zu polls, CLI CPU %.3f s = %.2f %% of one core\n", monitor.wall,
              polls.size(), monitor.cpu, 100.0 * monitor.cpu / monitor.wall);
  std::printf(
      "poll cycle: %.1f ms, floor %.1f ms, ratio %.3f (%.3f with the simulator's mean "
      "turnaround)\n",
      period, cycleFloor, period / cycleFloor, period / (cycleFloor + 2 * SimTurnaroundMeanMs));
  std::printf(
      "upload: %.1f ms, floor %.1f ms, ratio %.3f (%.3f with the simulator's mean "
      "turnaround)\n",
      uploadMs, uploadFloor, uploadMs / uploadFloor,
      uploadMs / (uploadFloor + 10 * SimTurnaroundMeanMs));
  return 0;
}
