#include "sim/SimulatedTransmitter.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "sim/FrameAssembler.h"

namespace va5::sim {
namespace {

using std::chrono::milliseconds;

// A pause this long inside a frame means the rest of it is lost: start over.
constexpr milliseconds kByteGapReset{200};
constexpr milliseconds kPollPeriod{250};
constexpr milliseconds kHangupPause{20};
constexpr int kTurnaroundMinMs = 20;
constexpr int kTurnaroundMaxMs = 50;

}  // namespace

SimulatedTransmitter::SimulatedTransmitter(SimConfig config)
    : config_(config),
      model_(config),
      epoch_(Clock::now()),
      turnaroundState_(config.seed * 0x9E3779B97F4A7C15ull + 7) {}

SimulatedTransmitter::~SimulatedTransmitter() { Stop(); }

bool SimulatedTransmitter::Start() {
  if (Running()) return true;
  if (!pty_.Open()) return false;
  if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
    pty_.Close();
    return false;
  }
  {
    std::lock_guard lock(mutex_);
    SyncClock();
  }
  stop_ = false;
  thread_ = std::thread([this] { Run(); });
  return true;
}

void SimulatedTransmitter::Stop() {
  if (thread_.joinable()) {
    {
      std::lock_guard lock(sleepMutex_);
      stop_ = true;
    }
    sleepCv_.notify_all();
    const char byte = 0;
    [[maybe_unused]] const ssize_t n = write(wake_[1], &byte, 1);
    thread_.join();
  }
  for (int& fd : wake_) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
  pty_.Close();
}

void SimulatedTransmitter::InjectFault(const Fault& f) {
  std::lock_guard lock(mutex_);
  model_.InjectFault(f);
}

void SimulatedTransmitter::ClearFaults() {
  std::lock_guard lock(mutex_);
  model_.ClearFaults();
}

int SimulatedTransmitter::RequestCount() const {
  std::lock_guard lock(mutex_);
  return model_.RequestCount();
}

DeviceState SimulatedTransmitter::State() const {
  std::lock_guard lock(mutex_);
  SyncClock();
  return model_.State();
}

void SimulatedTransmitter::Modify(const std::function<void(DeviceState&)>& f) {
  std::lock_guard lock(mutex_);
  SyncClock();
  f(model_.MutableState());
}

void SimulatedTransmitter::SyncClock() const {
  const auto elapsed = std::chrono::duration_cast<milliseconds>(Clock::now() - epoch_);
  if (elapsed > model_.Now()) model_.Advance(elapsed - model_.Now());
}

bool SimulatedTransmitter::SleepUntil(Clock::time_point t) {
  std::unique_lock lock(sleepMutex_);
  return !sleepCv_.wait_until(lock, t, [this] { return stop_.load(); });
}

void SimulatedTransmitter::WriteAll(const std::uint8_t* data, std::size_t length) {
  while (length > 0 && !stop_) {
    const ssize_t n = write(pty_.MasterFd(), data, length);
    if (n > 0) {
      data += n;
      length -= static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      // Nobody reads the line and its buffer is full: wait a little, then give the reply up.
      pollfd p{pty_.MasterFd(), POLLOUT, 0};
      if (poll(&p, 1, 100) > 0 && (p.revents & POLLOUT)) continue;
    }
    return;
  }
}

void SimulatedTransmitter::Answer(const std::vector<std::uint8_t>& frame,
                                  Clock::time_point frameStart, std::size_t lineBytes) {
  std::optional<TransmitterModel::Reply> reply;
  {
    std::lock_guard lock(mutex_);
    SyncClock();
    reply = model_.HandleRequest(frame);
  }
  if (log_) log_(frame, reply ? reply->bytes : std::vector<std::uint8_t>{});
  if (!reply) return;
  auto start = Clock::now();
  if (config_.realtime) {
    // The request reaches the device only once its last byte has crossed the 1200 bit/s line;
    // then the device takes its turnaround time before it keys its carrier.
    const auto received = frameStart + CharacterTime * static_cast<long>(lineBytes);
    if (received > start) start = received;
    turnaroundState_ = turnaroundState_ * 6364136223846793005ull + 1442695040888963407ull;
    const int span = kTurnaroundMaxMs - kTurnaroundMinMs + 1;
    start += milliseconds(kTurnaroundMinMs + static_cast<int>((turnaroundState_ >> 33) % span));
  }
  start += reply->delay;
  if (!SleepUntil(start)) return;
  const std::size_t gapAt = std::min(reply->gapAt, reply->bytes.size());
  if (!config_.realtime) {
    WriteAll(reply->bytes.data(), gapAt);
    if (reply->gap.count() > 0 && !SleepUntil(Clock::now() + reply->gap)) return;
    WriteAll(reply->bytes.data() + gapAt, reply->bytes.size() - gapAt);
    return;
  }
  for (std::size_t i = 0; i < reply->bytes.size(); ++i) {
    const auto pause = i >= gapAt ? reply->gap : milliseconds(0);
    if (!SleepUntil(start + CharacterTime * static_cast<long>(i) + pause)) return;
    WriteAll(&reply->bytes[i], 1);
  }
}

void SimulatedTransmitter::Run() {
  FrameAssembler assembler;
  Clock::time_point lastByte = Clock::now();
  Clock::time_point frameStart = lastByte;
  std::size_t lineBytes = 0;
  std::uint8_t buffer[256];
  while (!stop_) {
    pollfd fds[2] = {{pty_.MasterFd(), POLLIN, 0}, {wake_[0], POLLIN, 0}};
    const int n = poll(fds, 2, static_cast<int>(kPollPeriod.count()));
    pty_.AllowReopen();
    if (n < 0) {
      if (errno != EINTR) SleepUntil(Clock::now() + kHangupPause);
      continue;
    }
    if (fds[1].revents & POLLIN) {
      while (read(wake_[0], buffer, sizeof buffer) > 0) {
      }
      continue;
    }
    if (!(fds[0].revents & POLLIN)) {
      // A hang-up (no client) reports at once and for as long as it lasts: pause, never spin.
      if (fds[0].revents & (POLLHUP | POLLERR)) SleepUntil(Clock::now() + kHangupPause);
      continue;
    }
    const ssize_t got = read(pty_.MasterFd(), buffer, sizeof buffer);
    if (got <= 0) {
      if (got < 0 && errno != EAGAIN && errno != EINTR) {
        SleepUntil(Clock::now() + kHangupPause);
      }
      continue;
    }
    const auto now = Clock::now();
    if (assembler.InFrame() && now - lastByte > kByteGapReset) assembler.Reset();
    lastByte = now;
    for (ssize_t i = 0; i < got; ++i) {
      if (!assembler.InFrame()) {
        frameStart = now;
        lineBytes = 0;
      }
      ++lineBytes;
      if (auto frame = assembler.Feed(buffer[i])) {
        Answer(*frame, frameStart, lineBytes);
        lastByte = Clock::now();
      }
    }
  }
}

}  // namespace va5::sim
