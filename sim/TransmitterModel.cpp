#include "sim/TransmitterModel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "comm/Codecs.h"
#include "device/DeviceRecord.h"

namespace va5::sim {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr std::uint8_t kNanBytes[4] = {0x7F, 0xA0, 0x00, 0x00};
// Bytes a disturbed line delivers before the preambles (none of them 0xFF).
constexpr std::uint8_t kNoise[] = {0x00, 0x12, 0x3C, 0x5A, 0xA5, 0x7E, 0x01, 0x80};

constexpr double kFixedCurrentMin = 3.8;
constexpr double kFixedCurrentMax = 21.6;
constexpr double kSaturationLow = 3.8;
constexpr double kSaturationHigh = 20.5;
constexpr double kBurnoutUpscale = 21.6;
constexpr double kBurnoutDownscale = 3.6;
constexpr double kDampingMax = 30.0;
constexpr double kDacTrimWindow = 0.5;  // mA either side of 4 or 20 mA
constexpr int kMinPreambles = 5;
constexpr int kMaxPreambles = 20;
constexpr int kTableMinPoints = 2;
constexpr int kStepMin = 1;
constexpr int kStepMax = 50;
constexpr int kTableMinimumLow = -273;
constexpr int kTableMinimumHigh = 10000;

std::uint64_t SplitMix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

double Unit01(std::uint64_t x) {
  return static_cast<double>(SplitMix(x) >> 11) * (1.0 / 9007199254740992.0);
}

double Seconds(std::chrono::milliseconds t) { return static_cast<double>(t.count()) / 1000.0; }

void AppendFloat(std::vector<std::uint8_t>& out, double v) {
  std::uint8_t b[4];
  PutFloat(b, ToWireFloat(v));
  out.insert(out.end(), b, b + 4);
}

void AppendU16(std::vector<std::uint8_t>& out, int v) {
  std::uint8_t b[2];
  PutU16(b, static_cast<std::uint16_t>(v));
  out.insert(out.end(), b, b + 2);
}

void AppendU24(std::vector<std::uint8_t>& out, std::uint32_t v) {
  std::uint8_t b[3];
  PutU24(b, v);
  out.insert(out.end(), b, b + 3);
}

void AppendPacked(std::vector<std::uint8_t>& out, const std::string& text, std::size_t chars) {
  std::vector<std::uint8_t> b(chars / 4 * 3);
  PackAscii(b.data(), text, chars);
  out.insert(out.end(), b.begin(), b.end());
}

std::uint8_t Xor(std::span<const std::uint8_t> bytes) {
  std::uint8_t x = 0;
  for (std::uint8_t b : bytes) x ^= b;
  return x;
}

// Response codes that still carry the reply data (the command was carried out).
bool IsWarning(std::uint8_t code) { return code == 8 || code == 14 || code == 30 || code == 31; }

// Request data bytes a command needs; -1 for a command the device does not implement.
int RequiredBytes(std::uint8_t command) {
  switch (command) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 12:
    case 13:
    case 14:
    case 15:
    case 16:
    case 38:
    case 41:
    case 42:
    case 48:
    case 130:
    case 132:
    case 134:
    case 140:
    case 145:
    case 154:
    case 162:
    case 180:
    case 184:
    case 188:
      return 0;
    case 6:
    case 44:
    case 47:
    case 59:
    case 133:
    case 135:
    case 142:
    case 158:
      return 1;
    case 131:
    case 182:
    case 186:
    case 189:
    case 190:
      return 2;
    case 19:
    case 49:
      return 3;
    case 34:
    case 40:
    case 45:
    case 46:
    case 155:
      return 4;
    case 163:
    case 181:
    case 185:
      return 5;
    case 141:
    case 183:
    case 187:
      return 6;
    case 138:
      return 8;
    case 35:
      return 9;
    case 191:
      return 10;
    case 144:
      return 20;
    case 18:
      return 21;
    case 17:
      return 24;
    default:
      return -1;
  }
}

// Commands that change stored configuration: a successful one sets "configuration changed".
bool IsConfigurationWrite(std::uint8_t command) {
  switch (command) {
    case 6:
    case 17:
    case 18:
    case 19:
    case 34:
    case 35:
    case 44:
    case 45:
    case 46:
    case 47:
    case 49:
    case 59:
    case 131:
    case 133:
    case 135:
    case 138:
    case 141:
    case 142:
    case 144:
    case 155:
    case 158:
    case 163:
    case 181:
    case 183:
    case 185:
    case 187:
    case 189:
    case 191:
      return true;
    default:
      return false;
  }
}

bool Finite(float v) { return std::isfinite(v); }

// Tolerance for limit checks of values that travelled as single-precision floats.
double Slack(double limit) { return 1e-5 * std::max(1.0, std::fabs(limit)); }

}  // namespace

void LoadFactoryTables(DeviceState& s) {
  // Type K like: millivolts every 50 degC from 0 to 1300 degC. The step stays within what a
  // header write takes (1 to 50), so the table read back can be written again as it is.
  static const float kTc[] = {0.000f,  2.023f,  4.096f,  6.138f,  8.138f,  10.153f, 12.209f,
                              14.293f, 16.397f, 18.516f, 20.644f, 22.776f, 24.905f, 27.025f,
                              29.129f, 31.213f, 33.275f, 35.313f, 37.326f, 39.314f, 41.276f,
                              43.211f, 45.119f, 46.995f, 48.838f, 50.644f, 52.410f};
  constexpr int kTcStep = 50;
  static_assert(kTcStep >= kStepMin && kTcStep <= kStepMax);
  static_assert(std::size(kTc) == 1300 / kTcStep + 1);
  s.tcTable = CustomTable{};
  s.tcTable.size = static_cast<int>(std::size(kTc));
  s.tcTable.step = kTcStep;
  s.tcTable.minimum = 0;
  s.tcTable.values.assign(std::begin(kTc), std::end(kTc));
  s.tcTable.written.assign(s.tcTable.values.size(), true);
  s.tcTable.configured = true;

  // Pt100 like: ohms every 50 degC from -200 to 850 degC.
  s.rtdTable = CustomTable{};
  s.rtdTable.step = 50;
  s.rtdTable.minimum = -200;
  for (int t = -200; t <= 850; t += 50) {
    const double a = 3.9083e-3, b = -5.775e-7, c = -4.183e-12;
    double r = 100.0 * (1.0 + a * t + b * t * t);
    if (t < 0) r += 100.0 * c * (t - 100.0) * t * t * t;
    s.rtdTable.values.push_back(static_cast<float>(r));
  }
  s.rtdTable.size = static_cast<int>(s.rtdTable.values.size());
  s.rtdTable.written.assign(s.rtdTable.values.size(), true);
  s.rtdTable.configured = true;

  // A gentle S around the straight line, eleven points.
  s.curve = SpecialCurve{};
  for (int i = 0; i <= 10; ++i) {
    const double x = i / 10.0;
    s.curve.x.push_back(static_cast<float>(x));
    s.curve.y.push_back(static_cast<float>(x - 0.04 * std::sin(2.0 * kPi * x)));
  }
  s.curve.size = static_cast<int>(s.curve.x.size());
  s.curve.written.assign(s.curve.x.size(), true);
  s.curve.configured = true;
}

TransmitterModel::TransmitterModel(SimConfig config) : config_(config) {
  state_.deviceId = config.deviceId & 0xFFFFFF;
  state_.pollingAddress = config.pollingAddress;
  LoadFactoryTables(state_);
  phase1_ = 2.0 * kPi * Unit01(config.seed * 3 + 1);
  phase2_ = 2.0 * kPi * Unit01(config.seed * 3 + 2);
  phase3_ = 2.0 * kPi * Unit01(config.seed * 3 + 3);
  filtered_ = RawProcess(0.0);
  Recompute();
}

SensorInfo TransmitterModel::Sensor() const {
  if (auto s = FindSensor(state_.sensorType)) return *s;
  // A sensor code the device does not know (only reachable by changing the state directly):
  // behave like a resistance input so that the dynamics stay finite.
  SensorInfo s;
  s.family = InputFamily::Ohm;
  s.upperLimit = 4000;
  s.minimumSpan = 10;
  return s;
}

double TransmitterModel::UpperSensorLimit() const {
  const SensorInfo s = Sensor();
  return ConvertValue(s.upperLimit, BaseUnit(s.family), state_.pvUnit);
}

double TransmitterModel::LowerSensorLimit() const {
  const SensorInfo s = Sensor();
  return ConvertValue(s.lowerLimit, BaseUnit(s.family), state_.pvUnit);
}

double TransmitterModel::MinimumSpan() const {
  const SensorInfo s = Sensor();
  return ConvertSpan(s.minimumSpan, BaseUnit(s.family), state_.pvUnit);
}

double TransmitterModel::Noise(std::int64_t tick) const {
  return 2.0 * Unit01(config_.seed ^ (static_cast<std::uint64_t>(tick) * 0xD1B54A32D192ED03ull)) -
         1.0;
}

// The measured input (PV unit) at a time: a slow, smooth wander over the middle of the range
// with a little noise, held inside the sensor limits. A pure function of time and seed.
double TransmitterModel::RawProcess(double t) const {
  if (state_.processValue) return *state_.processValue;
  const double lower = std::min(state_.lowerRangeValue, state_.upperRangeValue);
  const double upper = std::max(state_.lowerRangeValue, state_.upperRangeValue);
  const double center = (lower + upper) / 2.0;
  double half = (upper - lower) / 2.0;
  if (!(half > 0)) half = MinimumSpan() / 2.0;
  const double tick = std::floor(t * 2.0);
  const double frac = t * 2.0 - tick;
  const auto k = static_cast<std::int64_t>(tick);
  const double noise = Noise(k) * (1.0 - frac) + Noise(k + 1) * frac;
  double v = center + half * (0.6 * std::sin(2.0 * kPi * t / 97.0 + phase1_) +
                              0.25 * std::sin(2.0 * kPi * t / 23.0 + phase2_) + 0.01 * noise);
  const double lo = LowerSensorLimit(), hi = UpperSensorLimit();
  if (std::isfinite(v)) v = std::clamp(v, std::min(lo, hi), std::max(lo, hi));
  return v;
}

void TransmitterModel::Advance(Millis dt) {
  if (dt <= Millis(0)) return;
  const Millis target = now_ + dt;
  // Beyond a minute the damping filter has long settled: start it fresh a minute before.
  if (dt > Millis(60000)) {
    now_ = target - Millis(60000);
    filtered_ = RawProcess(Seconds(now_));
  }
  const bool broken = state_.sensorBreak || HasFault(Fault::Kind::SensorBreak);
  while (now_ < target) {
    const Millis step = std::min(Millis(100), target - now_);
    now_ += step;
    if (resetPending_ && now_ >= resetUntil_) CompleteReset();
    if (broken) continue;  // an open input holds the last value
    const double raw = RawProcess(Seconds(now_));
    const double tau = state_.damping;
    if (!(tau > 0) || !std::isfinite(filtered_)) {
      filtered_ = raw;
    } else {
      filtered_ += (raw - filtered_) * (1.0 - std::exp(-Seconds(step) / tau));
    }
  }
}

void TransmitterModel::CompleteReset() {
  resetPending_ = false;
  state_.coldStart = true;
  state_.fixedCurrentMode = false;
  state_.fixedCurrent = 0.0;
  selfTestUntil_ = now_;
  filtered_ = RawProcess(Seconds(now_));
}

double TransmitterModel::ApplyTransfer(double percent) const {
  if (state_.transferFunction == 1) {
    return percent > 0 ? 100.0 * std::sqrt(percent / 100.0) : percent;
  }
  if (state_.transferFunction == 4 && state_.curve.configured && state_.curve.size >= 2) {
    const auto& xs = state_.curve.x;
    const auto& ys = state_.curve.y;
    const double x = percent / 100.0;
    std::size_t i = 1;
    while (i + 1 < static_cast<std::size_t>(state_.curve.size) && x > xs[i]) ++i;
    const double dx = xs[i] - xs[i - 1];
    const double y = dx != 0 ? ys[i - 1] + (x - xs[i - 1]) * (ys[i] - ys[i - 1]) / dx : ys[i];
    return y * 100.0;
  }
  return percent;
}

void TransmitterModel::Recompute() {
  DeviceState& s = state_;
  const bool broken = s.sensorBreak || HasFault(Fault::Kind::SensorBreak);
  const double pv = s.trimZeroValue + (filtered_ - s.trimZeroPoint) * s.trimGain;
  s.pvValue = pv;
  const double span = s.upperRangeValue - s.lowerRangeValue;
  double percent = span != 0 ? (pv - s.lowerRangeValue) / span * 100.0 : 0.0;
  percent = ApplyTransfer(percent);
  s.percentOfRange = percent;
  double current = 4.0 + 16.0 * percent / 100.0;
  bool saturated = false;
  if (!(current >= kSaturationLow)) {  // NaN reads as the low end
    current = kSaturationLow;
    saturated = true;
  } else if (current > kSaturationHigh) {
    current = kSaturationHigh;
    saturated = true;
  }
  if (broken && s.burnout != 2) {
    current = s.burnout == 1 ? kBurnoutDownscale : kBurnoutUpscale;
    saturated = false;
  }
  if (s.fixedCurrentMode) {
    current = s.fixedCurrent;
    saturated = false;
  }
  s.loopCurrent = current;
  s.loopCurrentSaturated = saturated;
  const double lo = LowerSensorLimit(), hi = UpperSensorLimit();
  s.pvOutOfLimits =
      broken || !(pv >= std::min(lo, hi) - Slack(lo)) || !(pv <= std::max(lo, hi) + Slack(hi));
  const double terminalC = 25.0 + 0.4 * std::sin(2.0 * kPi * Seconds(now_) / 300.0 + phase3_);
  s.terminalTemperature = ConvertValue(terminalC, UnitDegC, s.terminalUnit);
}

const DeviceState& TransmitterModel::State() {
  Recompute();
  return state_;
}

std::uint8_t TransmitterModel::FieldDeviceStatus() {
  Recompute();
  const bool broken = state_.sensorBreak || HasFault(Fault::Kind::SensorBreak);
  std::uint8_t st = 0;
  if (broken) st |= StatusDeviceMalfunction;
  if (state_.configChanged) st |= StatusConfigChanged;
  if (state_.coldStart) st |= StatusColdStart;
  bool more = broken;
  for (std::uint8_t b : state_.additionalStatus) more = more || b != 0;
  if (more) st |= StatusMoreStatus;
  if (state_.fixedCurrentMode) st |= StatusCurrentFixed;
  if (state_.loopCurrentSaturated) st |= StatusCurrentSaturated;
  if (state_.pvOutOfLimits) st |= StatusPvOutOfLimits;
  return st;
}

void TransmitterModel::ChangePvUnit(int newUnit) {
  const int old = state_.pvUnit;
  auto conv = [&](double v) { return ConvertValue(v, old, newUnit); };
  state_.upperRangeValue = conv(state_.upperRangeValue);
  state_.lowerRangeValue = conv(state_.lowerRangeValue);
  state_.trimZeroPoint = conv(state_.trimZeroPoint);
  state_.trimZeroValue = conv(state_.trimZeroValue);
  if (state_.processValue) state_.processValue = conv(*state_.processValue);
  filtered_ = conv(filtered_);
  state_.pvUnit = newUnit;
}

// ---- faults ---------------------------------------------------------------------------------

void TransmitterModel::InjectFault(const Fault& fault) {
  // Faults that are used up go, so that a long run of injections keeps the list short.
  std::erase_if(faults_, [](const ActiveFault& f) { return f.left == 0; });
  faults_.push_back(ActiveFault{fault, fault.count});
  if (fault.kind == Fault::Kind::VanishAfterPointWrites) {
    pointWrites_ = 0;
    if (fault.value <= 0) vanished_ = true;
  }
}

void TransmitterModel::ClearFaults() {
  faults_.clear();
  vanished_ = false;
  pointWrites_ = 0;
}

TransmitterModel::ActiveFault* TransmitterModel::Match(Fault::Kind kind, int command) {
  for (ActiveFault& f : faults_) {
    if (f.fault.kind == kind && f.left != 0 &&
        (f.fault.command < 0 || f.fault.command == command)) {
      return &f;
    }
  }
  return nullptr;
}

void TransmitterModel::UseUp(ActiveFault* f) {
  if (f && f->left > 0) --f->left;
}

bool TransmitterModel::HasFault(Fault::Kind kind) const {
  return std::any_of(faults_.begin(), faults_.end(),
                     [kind](const ActiveFault& f) { return f.fault.kind == kind && f.left != 0; });
}

// ---- frames ---------------------------------------------------------------------------------

std::optional<std::vector<std::uint8_t>> TransmitterModel::HandleFrame(
    std::span<const std::uint8_t> frame) {
  auto reply = HandleRequest(frame);
  if (!reply) return std::nullopt;
  return std::move(reply->bytes);
}

std::optional<TransmitterModel::Reply> TransmitterModel::HandleRequest(
    std::span<const std::uint8_t> frame) {
  ++requestCount_;
  while (!frame.empty() && frame.front() == 0xFF) frame = frame.subspan(1);
  if (frame.size() < 5) return std::nullopt;
  const std::uint8_t delimiter = frame[0];
  if ((delimiter & 0x07) != 2) return std::nullopt;  // only master requests are answered
  const bool isLong = (delimiter & 0x80) != 0;
  const std::size_t addressLength = isLong ? 5 : 1;
  if (frame.size() < addressLength + 4) return std::nullopt;
  const std::uint8_t command = frame[1 + addressLength];
  const std::size_t count = frame[2 + addressLength];
  if (frame.size() != addressLength + 4 + count) return std::nullopt;
  if (Xor(frame.first(frame.size() - 1)) != frame.back()) return std::nullopt;

  const auto address = frame.subspan(1, addressLength);
  if (isLong) {
    if ((address[0] & 0x3F) != (state_.manufacturer & 0x3F) || address[1] != state_.deviceType ||
        GetU24(&address[2]) != (state_.deviceId & 0xFFFFFF)) {
      return std::nullopt;
    }
  } else if ((address[0] & 0x3F) != state_.pollingAddress || command != 0) {
    return std::nullopt;
  }

  if (resetPending_ && now_ >= resetUntil_) CompleteReset();
  if (resetPending_ || vanished_) return std::nullopt;
  if (ActiveFault* f = Match(Fault::Kind::Silence, command)) {
    UseUp(f);
    return std::nullopt;
  }

  Reply reply;
  ActiveFault* noise = Match(Fault::Kind::Noise, command);
  if (noise) {
    UseUp(noise);
    reply.bytes.assign(std::begin(kNoise), std::end(kNoise));
    if (noise->fault.value == 1) return reply;  // noise instead of a reply
  }

  Result result;
  std::uint8_t status = 0;
  bool commError = false;
  if (ActiveFault* f = Match(Fault::Kind::CommError, command)) {
    UseUp(f);
    result.code = static_cast<std::uint8_t>(0x80 | f->fault.value);
    commError = true;
  } else if (ActiveFault* f = Match(Fault::Kind::ResponseCode, command)) {
    UseUp(f);
    const auto code = static_cast<std::uint8_t>(f->fault.value);
    if (IsWarning(code)) result = Execute(command, frame.subspan(3 + addressLength, count));
    result.code = code;
  } else {
    result = Execute(command, frame.subspan(3 + addressLength, count));
  }
  if (result.code != RcOk && !IsWarning(result.code)) result.data.clear();
  if (!commError) {
    status = FieldDeviceStatus();
    if (status & StatusColdStart) state_.coldStart = false;  // reported once
  }

  int preambles = state_.responsePreambles;
  if (ActiveFault* f = Match(Fault::Kind::Preambles20, command)) {
    UseUp(f);
    preambles = f->fault.value > 0 ? f->fault.value : 20;
  }
  reply.bytes.insert(reply.bytes.end(), static_cast<std::size_t>(preambles), 0xFF);
  const std::size_t start = reply.bytes.size();
  if (ActiveFault* f = Match(Fault::Kind::Gap, command)) {
    UseUp(f);
    reply.gapAt = start;
    reply.gap = Millis(std::max(0, f->fault.value));
  }
  reply.bytes.push_back(isLong ? 0x86 : 0x06);
  reply.bytes.push_back(address[0] & 0xBF);  // master bit echoed, not in burst mode
  reply.bytes.insert(reply.bytes.end(), address.begin() + 1, address.end());
  reply.bytes.push_back(command);
  reply.bytes.push_back(static_cast<std::uint8_t>(2 + result.data.size()));
  reply.bytes.push_back(result.code);
  reply.bytes.push_back(status);
  reply.bytes.insert(reply.bytes.end(), result.data.begin(), result.data.end());
  std::uint8_t checksum = Xor(std::span(reply.bytes).subspan(start));
  if (ActiveFault* f = Match(Fault::Kind::BadChecksum, command)) {
    UseUp(f);
    checksum ^= 0x5A;
  }
  reply.bytes.push_back(checksum);
  if (ActiveFault* f = Match(Fault::Kind::Slow, command)) {
    UseUp(f);
    reply.delay = Millis(std::max(0, f->fault.value));
  }

  if ((command == 183 || command == 187 || command == 191) && result.code == RcOk) {
    if (ActiveFault* f = Match(Fault::Kind::VanishAfterPointWrites, -1)) {
      if (++pointWrites_ >= f->fault.value) vanished_ = true;  // after this reply
    }
  }
  return reply;
}

// ---- commands -------------------------------------------------------------------------------

std::vector<std::uint8_t> TransmitterModel::IdentityData() const {
  const DeviceState& s = state_;
  std::vector<std::uint8_t> d = {
      254,
      s.manufacturer,
      s.deviceType,
      s.minimumPreambles,
      s.universalRevision,
      s.specificRevision,
      s.softwareRevision,
      static_cast<std::uint8_t>((s.hardwareRevision << 3) | (s.physicalSignalling & 0x07)),
      s.flags};
  AppendU24(d, s.deviceId);
  return d;
}

TransmitterModel::Result TransmitterModel::Execute(std::uint8_t command,
                                                   std::span<const std::uint8_t> d) {
  const int required = RequiredBytes(command);
  if (required < 0) return {RcNotImplemented, {}};
  if (command != 0 && SelfTestRunning()) return {RcBusy, {}};
  if (d.size() < static_cast<std::size_t>(required)) return {RcTooFewBytes, {}};

  Recompute();
  DeviceState& s = state_;
  Result r;
  auto& out = r.data;
  auto u8 = [](int v) { return static_cast<std::uint8_t>(v); };
  const bool nanPv = command == 1 || command == 3;
  auto appendPv = [&] {
    if (ActiveFault* f = nanPv ? Match(Fault::Kind::NanPv, command) : nullptr) {
      UseUp(f);
      out.insert(out.end(), std::begin(kNanBytes), std::end(kNanBytes));
    } else {
      AppendFloat(out, s.pvValue);
    }
  };

  switch (command) {
    case 0:
      out = IdentityData();
      break;
    case 1:
      out.push_back(u8(s.pvUnit));
      appendPv();
      break;
    case 2:
      AppendFloat(out, s.loopCurrent);
      AppendFloat(out, s.percentOfRange);
      break;
    case 3:
      AppendFloat(out, s.loopCurrent);
      out.push_back(u8(s.pvUnit));
      appendPv();
      out.push_back(u8(s.terminalUnit));
      AppendFloat(out, s.terminalTemperature);
      break;
    case 6:
      if (d[0] > MaxPollingAddress) return {RcInvalidSelection, {}};
      s.pollingAddress = d[0];
      out.push_back(d[0]);
      break;
    case 12:
      AppendPacked(out, s.message, 32);
      break;
    case 13:
      AppendPacked(out, s.tag, 8);
      AppendPacked(out, s.descriptor, 16);
      out.insert(out.end(), {s.day, s.month, s.yearOffset});
      break;
    case 14:
      AppendU24(out, s.sensorSerialNumber);
      out.push_back(u8(s.pvUnit));
      AppendFloat(out, UpperSensorLimit());
      AppendFloat(out, LowerSensorLimit());
      AppendFloat(out, MinimumSpan());
      break;
    case 15: {
      const int alarm = s.burnout == 0 ? 0 : s.burnout == 1 ? 1 : 251;
      out.push_back(u8(alarm));
      out.push_back(u8(s.transferFunction));
      out.push_back(u8(s.pvUnit));
      AppendFloat(out, s.upperRangeValue);
      AppendFloat(out, s.lowerRangeValue);
      AppendFloat(out, s.damping);
      out.push_back(251);             // write protect: none
      out.push_back(s.manufacturer);  // private label distributor
      break;
    }
    case 16:
      AppendU24(out, s.finalAssemblyNumber);
      break;
    case 17:
      s.message = UnpackAscii(d.data(), 24);
      AppendPacked(out, s.message, 32);
      break;
    case 18: {
      const std::uint8_t day = d[18], month = d[19];
      if (day < 1 || day > 31 || month < 1 || month > 12) return {RcLowerTooHigh, {}};
      s.tag = UnpackAscii(d.data(), 6);
      s.descriptor = UnpackAscii(d.data() + 6, 12);
      s.day = day;
      s.month = month;
      s.yearOffset = d[20];
      AppendPacked(out, s.tag, 8);
      AppendPacked(out, s.descriptor, 16);
      out.insert(out.end(), {s.day, s.month, s.yearOffset});
      break;
    }
    case 19:
      s.finalAssemblyNumber = GetU24(d.data());
      AppendU24(out, s.finalAssemblyNumber);
      break;
    case 34: {
      const float v = GetFloat(d.data());
      if (!Finite(v)) return {RcInvalidSelection, {}};
      if (v > kDampingMax + Slack(kDampingMax)) return {RcTooLarge, {}};
      if (v < 0) return {RcTooSmall, {}};
      s.damping = v;
      AppendFloat(out, v);
      break;
    }
    case 35:
      r = WriteRange(d);
      break;
    case 38:
      s.configChanged = false;
      break;
    case 40: {
      const float v = GetFloat(d.data());
      if (!Finite(v)) return {RcInvalidSelection, {}};
      if (v == 0) {
        s.fixedCurrentMode = false;
        s.fixedCurrent = 0;
      } else if (v > kFixedCurrentMax + Slack(kFixedCurrentMax)) {
        return {RcTooLarge, {}};
      } else if (v < kFixedCurrentMin - Slack(kFixedCurrentMin)) {
        return {RcTooSmall, {}};
      } else {
        s.fixedCurrentMode = true;
        s.fixedCurrent = v;
      }
      Recompute();
      AppendFloat(out, s.loopCurrent);
      break;
    }
    case 41:
      selfTestUntil_ = now_ + config_.selfTestBusy;
      break;
    case 42:
      resetPending_ = true;  // the reply goes out first, then the device is gone a while
      resetUntil_ = now_ + config_.resetDuration;
      break;
    case 44:
      if (!UnitInFamily(d[0], Sensor().family)) return {RcInvalidSelection, {}};
      ChangePvUnit(d[0]);
      out.push_back(d[0]);
      break;
    case 45:
    case 46:
      r = DacTrim(command == 46, d);
      break;
    case 47:
      if (d[0] != 0 && d[0] != 1 && d[0] != 4) return {RcInvalidSelection, {}};
      if (d[0] == 4 && !s.curve.configured) return {RcInvalidSelection, {}};
      s.transferFunction = d[0];
      out.push_back(d[0]);
      break;
    case 48: {
      auto status = s.additionalStatus;
      if (s.sensorBreak || HasFault(Fault::Kind::SensorBreak)) status[0] |= AdditionalSensorBreak;
      out.assign(status.begin(), status.end());
      break;
    }
    case 49:
      s.sensorSerialNumber = GetU24(d.data());
      AppendU24(out, s.sensorSerialNumber);
      break;
    case 59:
      if (d[0] < kMinPreambles) return {RcTooSmall, {}};
      if (d[0] > kMaxPreambles) return {RcTooLarge, {}};
      s.responsePreambles = d[0];
      out.push_back(d[0]);
      break;
    case 130:
      out = {u8(s.sensorType), u8(s.sensorWires)};
      break;
    case 131:
      r = WriteSensorConfig(d);
      break;
    case 132:
      out.push_back(u8(s.cjcMode));
      break;
    case 133:
      if (d[0] > 1) return {RcInvalidSelection, {}};
      s.cjcMode = d[0];
      out.push_back(d[0]);
      break;
    case 134:
      out.push_back(u8(s.burnout));
      break;
    case 135:
      if (d[0] > 2) return {RcInvalidSelection, {}};
      s.burnout = d[0];
      out.push_back(d[0]);
      break;
    case 138: {
      const float a = GetFloat(d.data()), b = GetFloat(d.data() + 4);
      if (!Finite(a) || !Finite(b)) return {RcInvalidSelection, {}};
      s.pair = {a, b};
      AppendFloat(out, a);
      AppendFloat(out, b);
      break;
    }
    case 140:
      AppendFloat(out, s.trimZeroPoint);
      AppendFloat(out, s.trimZeroValue);
      AppendFloat(out, s.trimGain);
      break;
    case 141:
      r = WriteSensorTrim(d);
      break;
    case 142:
      if (!UnitInFamily(d[0], InputFamily::Temperature)) return {RcInvalidSelection, {}};
      s.terminalUnit = d[0];
      out.push_back(d[0]);
      break;
    case 144: {
      std::array<double, 4> v{};
      for (int i = 0; i < 4; ++i) {
        const float f = GetFloat(d.data() + 4 * i);
        if (!Finite(f)) return {RcInvalidSelection, {}};
        v[static_cast<std::size_t>(i)] = f;
      }
      s.block = v;
      s.blockWords = {GetS16(d.data() + 16), GetS16(d.data() + 18)};
      out.assign(d.begin(), d.begin() + 20);
      break;
    }
    case 145:
      out.push_back(u8(s.terminalUnit));
      AppendFloat(out, s.terminalSetting);
      break;
    case 154:
      AppendFloat(out, s.floatSetting);
      break;
    case 155: {
      const float v = GetFloat(d.data());
      if (!Finite(v)) return {RcInvalidSelection, {}};
      s.floatSetting = v;
      AppendFloat(out, v);
      break;
    }
    case 158:
      if (d[0] != 1) return {RcInvalidSelection, {}};
      s.dacZeroOffset = 0.0;
      s.dacGain = 1.0;
      AppendFloat(out, s.dacZeroOffset);
      AppendFloat(out, s.dacGain);
      break;
    case 162:
      for (double v : s.triple) AppendFloat(out, v);
      break;
    case 163: {
      const float v = GetFloat(d.data() + 1);
      if (d[0] > 2 || !Finite(v)) return {RcInvalidSelection, {}};
      s.triple[d[0]] = v;
      for (double t : s.triple) AppendFloat(out, t);
      break;
    }
    case 180:
      r = ReadTableHeader(s.tcTable);
      break;
    case 181:
      r = WriteTableHeader(s.tcTable, CustomTcMaxPoints, d);
      break;
    case 182:
      r = ReadTablePoint(s.tcTable, d);
      break;
    case 183:
      r = WriteTablePoint(s.tcTable, d);
      break;
    case 184:
      r = ReadTableHeader(s.rtdTable);
      break;
    case 185:
      r = WriteTableHeader(s.rtdTable, CustomRtdMaxPoints, d);
      break;
    case 186:
      r = ReadTablePoint(s.rtdTable, d);
      break;
    case 187:
      r = WriteTablePoint(s.rtdTable, d);
      break;
    case 188:
      AppendU16(out, s.curve.headerWord);
      AppendU16(out, s.curve.size);
      out.push_back(s.curve.configured ? 0 : 1);
      break;
    case 189: {
      const int size = GetU16(d.data());
      if (size > CurveMaxPoints) return {RcTooLarge, {}};
      if (size < kTableMinPoints) return {RcTooSmall, {}};
      s.curve.size = size;
      s.curve.configured = false;
      s.curve.x.assign(static_cast<std::size_t>(size), 0.0f);
      s.curve.y.assign(static_cast<std::size_t>(size), 0.0f);
      s.curve.written.assign(static_cast<std::size_t>(size), false);
      AppendU16(out, size);
      break;
    }
    case 190: {
      const int index = GetU16(d.data());
      if (index >= s.curve.size) return {RcInvalidSelection, {}};
      AppendU16(out, index);
      AppendFloat(out, s.curve.x[static_cast<std::size_t>(index)]);
      AppendFloat(out, s.curve.y[static_cast<std::size_t>(index)]);
      break;
    }
    case 191: {
      const int index = GetU16(d.data());
      const float x = GetFloat(d.data() + 2), y = GetFloat(d.data() + 6);
      if (index == TableEndMarker) {
        const bool complete =
            s.curve.size >= kTableMinPoints &&
            std::all_of(s.curve.written.begin(), s.curve.written.end(), [](bool w) { return w; });
        if (!complete) return {RcInvalidSelection, {}};
        s.curve.configured = true;
      } else {
        if (index >= s.curve.size || !Finite(x) || !Finite(y)) return {RcInvalidSelection, {}};
        const auto i = static_cast<std::size_t>(index);
        s.curve.x[i] = x;
        s.curve.y[i] = y;
        s.curve.written[i] = true;
      }
      out.assign(d.begin(), d.begin() + 10);
      break;
    }
    default:
      return {RcNotImplemented, {}};
  }
  if ((r.code == RcOk || IsWarning(r.code)) && IsConfigurationWrite(command)) {
    s.configChanged = true;
  }
  return r;
}

TransmitterModel::Result TransmitterModel::WriteRange(std::span<const std::uint8_t> d) {
  DeviceState& s = state_;
  const int unit = d[0];
  const float upperSent = GetFloat(d.data() + 1), lowerSent = GetFloat(d.data() + 5);
  if (!Finite(upperSent) || !Finite(lowerSent)) return {RcInvalidSelection, {}};
  if (!UnitInFamily(unit, Sensor().family)) return {RcInvalidSelection, {}};
  const double upper = ConvertValue(upperSent, unit, s.pvUnit);
  const double lower = ConvertValue(lowerSent, unit, s.pvUnit);
  const double usl = UpperSensorLimit(), lsl = LowerSensorLimit();
  auto tooHigh = [&](double v) { return v > usl + Slack(usl); };
  auto tooLow = [&](double v) { return v < lsl - Slack(lsl); };
  const bool upperOut = tooHigh(upper) || tooLow(upper);
  const bool lowerOut = tooHigh(lower) || tooLow(lower);
  if (upperOut && lowerOut) return {RcBothOutOfLimits, {}};
  if (lowerOut) return {tooHigh(lower) ? RcLowerTooHigh : RcLowerTooLow, {}};
  if (upperOut) return {tooHigh(upper) ? RcUpperTooHigh : RcUpperTooLow, {}};
  s.upperRangeValue = upper;
  s.lowerRangeValue = lower;
  Result r;
  const double minimumSpan = MinimumSpan();
  if (std::fabs(upper - lower) < minimumSpan - Slack(minimumSpan)) r.code = RcSpanTooSmall;
  r.data.push_back(static_cast<std::uint8_t>(unit));
  AppendFloat(r.data, upperSent);
  AppendFloat(r.data, lowerSent);
  return r;
}

TransmitterModel::Result TransmitterModel::WriteSensorConfig(std::span<const std::uint8_t> d) {
  DeviceState& s = state_;
  const int code = d[0], wires = d[1];
  const auto sensor = FindSensor(code);
  if (!sensor) return {RcInvalidSelection, {}};
  const bool wiresOk =
      sensor->fixedWires != 0 ? wires == sensor->fixedWires : (wires >= 2 && wires <= 4);
  if (!wiresOk) return {RcInvalidSelection, {}};
  if (code == 93 && !s.rtdTable.configured) return {RcInvalidSelection, {}};
  if (code == 146 && !s.tcTable.configured) return {RcInvalidSelection, {}};

  const SensorInfo old = Sensor();
  s.sensorWires = wires;
  if (code != s.sensorType) {
    s.sensorType = code;
    if (old.family != sensor->family) {
      s.pvUnit = BaseUnit(sensor->family);
      s.processValue.reset();
      s.upperRangeValue = UpperSensorLimit();
      s.lowerRangeValue = LowerSensorLimit();
    } else {
      const double usl = UpperSensorLimit(), lsl = LowerSensorLimit();
      auto inside = [&](double v) { return v >= lsl - Slack(lsl) && v <= usl + Slack(usl); };
      if (!inside(s.upperRangeValue) || !inside(s.lowerRangeValue)) {
        s.upperRangeValue = usl;
        s.lowerRangeValue = lsl;
      }
    }
    // A trim belongs to the sensor it was made with.
    s.trimZeroPoint = 0.0;
    s.trimZeroValue = 0.0;
    s.trimGain = 1.0;
    filtered_ = RawProcess(Seconds(now_));
  }
  Result r;
  r.data = {static_cast<std::uint8_t>(s.sensorType), static_cast<std::uint8_t>(s.sensorWires)};
  return r;
}

TransmitterModel::Result TransmitterModel::WriteSensorTrim(std::span<const std::uint8_t> d) {
  DeviceState& s = state_;
  const int point = d[0], unit = d[1];
  const float sent = GetFloat(d.data() + 2);
  if (point > 2) return {RcInvalidSelection, {}};
  if (point == 0) {
    s.trimZeroPoint = 0.0;
    s.trimZeroValue = 0.0;
    s.trimGain = 1.0;
  } else {
    if (!Finite(sent) || !UnitInFamily(unit, Sensor().family)) return {RcInvalidSelection, {}};
    const double value = ConvertValue(sent, unit, s.pvUnit);
    const double usl = UpperSensorLimit(), lsl = LowerSensorLimit();
    if (value > usl + Slack(usl)) return {RcTooLarge, {}};
    if (value < lsl - Slack(lsl)) return {RcTooSmall, {}};
    const double measured = filtered_;
    if (point == 1) {
      s.trimZeroPoint = measured;
      s.trimZeroValue = value;
    } else {
      const double distance = measured - s.trimZeroPoint;
      if (std::fabs(distance) < 1e-6 * std::max(1.0, usl - lsl)) return {RcTooLarge, {}};
      const double gain = (value - s.trimZeroValue) / distance;
      if (gain > 2.0) return {RcTooLarge, {}};
      if (gain < 0.5) return {RcTooSmall, {}};
      s.trimGain = gain;
    }
  }
  Result r;
  r.data = {static_cast<std::uint8_t>(point), static_cast<std::uint8_t>(s.pvUnit)};
  AppendFloat(r.data, s.trimZeroPoint);
  AppendFloat(r.data, s.trimZeroValue);
  AppendFloat(r.data, s.trimGain);
  return r;
}

TransmitterModel::Result TransmitterModel::DacTrim(bool upper, std::span<const std::uint8_t> d) {
  DeviceState& s = state_;
  const float measured = GetFloat(d.data());
  const double level = upper ? 20.0 : 4.0;
  if (!s.fixedCurrentMode || std::fabs(s.fixedCurrent - level) > 1e-3) {
    return {RcLowerTooHigh, {}};  // not in the proper current mode
  }
  if (!Finite(measured)) return {RcInvalidSelection, {}};
  if (measured > level + kDacTrimWindow + Slack(level)) return {RcTooLarge, {}};
  if (measured < level - kDacTrimWindow - Slack(level)) return {RcTooSmall, {}};
  if (upper) {
    s.dacGain *= level / measured;
  } else {
    s.dacZeroOffset += level - measured;
  }
  Result r;
  AppendFloat(r.data, measured);
  return r;
}

TransmitterModel::Result TransmitterModel::ReadTableHeader(const CustomTable& t) const {
  Result r;
  AppendU16(r.data, t.headerWord);
  AppendU16(r.data, t.size);
  r.data.push_back(static_cast<std::uint8_t>(t.step));
  r.data.push_back(t.configured ? 0 : 1);
  AppendU16(r.data, t.minimum);
  return r;
}

TransmitterModel::Result TransmitterModel::WriteTableHeader(CustomTable& t, int maxPoints,
                                                            std::span<const std::uint8_t> d) {
  const int size = GetU16(d.data());
  const int step = d[2];
  const int minimum = GetS16(d.data() + 3);
  if (size > maxPoints || step > kStepMax || minimum > kTableMinimumHigh) return {RcTooLarge, {}};
  if (size < kTableMinPoints || step < kStepMin || minimum < kTableMinimumLow) {
    return {RcTooSmall, {}};
  }
  t.size = size;
  t.step = step;
  t.minimum = minimum;
  t.configured = false;
  t.values.assign(static_cast<std::size_t>(size), 0.0f);
  t.written.assign(static_cast<std::size_t>(size), false);
  Result r;
  r.data.assign(d.begin(), d.begin() + 5);
  return r;
}

TransmitterModel::Result TransmitterModel::ReadTablePoint(const CustomTable& t,
                                                          std::span<const std::uint8_t> d) const {
  const int index = GetU16(d.data());
  if (index >= t.size) return {RcInvalidSelection, {}};
  Result r;
  AppendU16(r.data, index);
  AppendFloat(r.data, t.values[static_cast<std::size_t>(index)]);
  return r;
}

TransmitterModel::Result TransmitterModel::WriteTablePoint(CustomTable& t,
                                                           std::span<const std::uint8_t> d) {
  const int index = GetU16(d.data());
  const float value = GetFloat(d.data() + 2);
  if (index == TableEndMarker) {
    // The end marker closes a transfer only when every point has arrived.
    const bool complete = t.size >= kTableMinPoints &&
                          std::all_of(t.written.begin(), t.written.end(), [](bool w) { return w; });
    if (!complete) return {RcInvalidSelection, {}};
    t.configured = true;
  } else {
    if (index >= t.size || !Finite(value)) return {RcInvalidSelection, {}};
    t.values[static_cast<std::size_t>(index)] = value;
    t.written[static_cast<std::size_t>(index)] = true;
  }
  Result r;
  r.data.assign(d.begin(), d.begin() + 6);
  return r;
}

}  // namespace va5::sim
