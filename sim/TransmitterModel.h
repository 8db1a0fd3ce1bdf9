#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "sim/DeviceState.h"
#include "sim/SensorCatalog.h"

namespace va5::sim {

// The transmitter without any transport: it takes a request frame, runs it against the device
// state and gives back the reply frame (or nothing, where a device stays silent). Time is a
// simulated clock that only moves through Advance, so every test is deterministic; the
// pseudo-terminal device drives it with real time.
class TransmitterModel {
 public:
  using Millis = std::chrono::milliseconds;

  struct Reply {
    std::vector<std::uint8_t> bytes;  // what goes on the line: noise, preambles, frame
    Millis delay{0};                  // extra wait before the first byte (slow reply fault)
    std::size_t gapAt = 0;            // bytes sent before the pause of a gap fault
    Millis gap{0};                    // that pause
  };

  explicit TransmitterModel(SimConfig config = {});

  // `frame` runs from the delimiter through the checksum; leading preambles are skipped.
  std::optional<Reply> HandleRequest(std::span<const std::uint8_t> frame);
  std::optional<std::vector<std::uint8_t>> HandleFrame(std::span<const std::uint8_t> frame);

  // Moves the simulated clock on; the PV follows the process through the damping filter,
  // a self test ends, a reset completes.
  void Advance(Millis dt);
  Millis Now() const { return now_; }

  // The state with its dynamic values computed for the present clock.
  const DeviceState& State();
  // The stored state, to change directly (no unit conversion, no status bits).
  DeviceState& MutableState() { return state_; }

  void InjectFault(const Fault& fault);
  void ClearFaults();
  bool Vanished() const { return vanished_; }

  int RequestCount() const { return requestCount_; }
  bool SelfTestRunning() const { return now_ < selfTestUntil_; }
  bool Resetting() const { return resetPending_; }

  // Limits of the present sensor in the PV unit.
  double UpperSensorLimit() const;
  double LowerSensorLimit() const;
  double MinimumSpan() const;

  // The field device status byte for the present state.
  std::uint8_t FieldDeviceStatus();

 private:
  struct Result {
    std::uint8_t code = RcOk;
    std::vector<std::uint8_t> data;
  };
  struct ActiveFault {
    Fault fault;
    int left;  // requests still affected, -1 for good
  };

  Result Execute(std::uint8_t command, std::span<const std::uint8_t> data);
  Result ReadTableHeader(const CustomTable& table) const;
  Result WriteTableHeader(CustomTable& table, int maxPoints, std::span<const std::uint8_t> d);
  Result ReadTablePoint(const CustomTable& table, std::span<const std::uint8_t> d) const;
  Result WriteTablePoint(CustomTable& table, std::span<const std::uint8_t> d);
  Result WriteSensorTrim(std::span<const std::uint8_t> d);
  Result WriteRange(std::span<const std::uint8_t> d);
  Result WriteSensorConfig(std::span<const std::uint8_t> d);
  Result DacTrim(bool upper, std::span<const std::uint8_t> d);

  std::vector<std::uint8_t> IdentityData() const;
  void ChangePvUnit(int newUnit);
  void Recompute();
  double RawProcess(double seconds) const;  // base unit of the sensor family
  double Noise(std::int64_t tick) const;
  SensorInfo Sensor() const;
  double ApplyTransfer(double percent) const;
  void CompleteReset();

  // Faults: the first active fault of a kind that matches `command`, used up by one request.
  ActiveFault* Match(Fault::Kind kind, int command);
  void UseUp(ActiveFault* f);
  bool HasFault(Fault::Kind kind) const;

  SimConfig config_;
  DeviceState state_;
  Millis now_{0};
  Millis selfTestUntil_{0};
  Millis resetUntil_{0};
  bool resetPending_ = false;
  double filtered_ = 0;  // damped measured input, base unit
  std::vector<ActiveFault> faults_;
  bool vanished_ = false;
  int pointWrites_ = 0;
  int requestCount_ = 0;
  double phase1_ = 0, phase2_ = 0, phase3_ = 0;
};

// Fills the three tables with the factory contents: a type K like thermocouple table, a Pt100
// like RTD table and a gentle S-shaped special curve, all configured.
void LoadFactoryTables(DeviceState& state);

}  // namespace va5::sim
