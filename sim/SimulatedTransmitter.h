#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/DeviceState.h"
#include "sim/PseudoTerminal.h"
#include "sim/TransmitterModel.h"

namespace va5::sim {

// The simulated TQ5R transmitter on a pseudo-terminal, running on its own thread. A client
// opens SlavePath() like a serial port with a HART modem on it. Tests read and change the
// device state, inject faults and count requests through this object.
class SimulatedTransmitter {
 public:
  explicit SimulatedTransmitter(SimConfig config = {});
  ~SimulatedTransmitter();  // stops
  SimulatedTransmitter(const SimulatedTransmitter&) = delete;
  SimulatedTransmitter& operator=(const SimulatedTransmitter&) = delete;

  // Opens the pty pair and starts the device thread; false when either fails.
  bool Start();
  void Stop();
  bool Running() const { return thread_.joinable(); }

  const std::string& SlavePath() const { return pty_.SlavePath(); }
  void InjectFault(const Fault& f);
  void ClearFaults();
  int RequestCount() const;   // frames received (addressed to it or not)
  DeviceState State() const;  // copy, dynamic values at the present time
  void Modify(const std::function<void(DeviceState&)>& f);
  // Called on the device thread for every frame received, with the reply sent (empty when the
  // device stays silent). Set before Start.
  using RequestLog = std::function<void(const std::vector<std::uint8_t>& request,
                                        const std::vector<std::uint8_t>& reply)>;
  void SetRequestLog(RequestLog log) { log_ = std::move(log); }

  // Time of one character on the HART line: 11 bits at 1200 bit/s.
  static constexpr std::chrono::microseconds CharacterTime{9167};

 private:
  using Clock = std::chrono::steady_clock;

  void Run();
  void Answer(const std::vector<std::uint8_t>& frame, Clock::time_point frameStart,
              std::size_t lineBytes);
  void SyncClock() const;                // moves the model's clock to real time; mutex_ held
  bool SleepUntil(Clock::time_point t);  // false when stopping
  void WriteAll(const std::uint8_t* data, std::size_t length);

  SimConfig config_;
  mutable std::mutex mutex_;
  mutable TransmitterModel model_;
  Clock::time_point epoch_;
  PseudoTerminal pty_;
  int wake_[2] = {-1, -1};
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::mutex sleepMutex_;
  std::condition_variable sleepCv_;
  std::uint64_t turnaroundState_;
  RequestLog log_;
};

}  // namespace va5::sim
