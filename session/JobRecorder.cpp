#include "session/JobRecorder.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "base/NumberText.h"
#include "device/GlobalFile.h"
#include "lang/EntryRules.h"
#include "session/Checks.h"
#include "session/ConfigOperations.h"
#include "session/Operations.h"
#include "session/Session.h"

#ifndef VA5VIVI_VERSION
#define VA5VIVI_VERSION ""
#endif

namespace va5::session {

namespace {

constexpr double DacSpan = 16.0;  // mA: 4 to 20

// The configuration rows a setting changes, by the setting's name (SettingNames). A setting
// with none (the polling address) is described by its chain instead.
const std::vector<std::string>& FieldsOf(const std::string& setting) {
  static const std::map<std::string, std::vector<std::string>> fields{
      {"damping", {"PV Damping"}},
      {"range", {"PV Upper Range", "PV Lower Range"}},
      {"pv-unit", {"Sensor Unit", "PV Upper Range", "PV Lower Range"}},
      {"sensor", {"Sensor Type", "Sensor Wires"}},
      {"burnout", {"Burnout Detection"}},
      {"cjc", {"CJC Mode Switch"}},
      {"transfer-function", {"Transfer Function"}},
      {"term-unit", {"Term Temperature Unit"}},
      {"serial-number", {"Sensor Serial No"}},
      {"final-assembly", {"Final Assembly Number"}},
      {"tag", {"Tag", "Descriptor", "Date"}},
      {"descriptor", {"Tag", "Descriptor", "Date"}},
      {"message", {"Message"}},
  };
  static const std::vector<std::string> none;
  const auto it = fields.find(setting);
  return it == fields.end() ? none : it->second;
}

const JobConfigRow* Find(const JobConfiguration& rows, const std::string& key) {
  for (const auto& r : rows) {
    if (r.key == key) return &r;
  }
  return nullptr;
}

// The rows' values joined by " / "; empty when any of them is not known.
std::string ValuesOf(const JobConfiguration& rows, const std::vector<std::string>& keys) {
  std::string text;
  for (const auto& key : keys) {
    const JobConfigRow* row = Find(rows, key);
    if (row == nullptr) return {};
    text += (text.empty() ? "" : " / ") + row->value;
  }
  return text;
}

// Puts the rows of `from` named by `keys` into `into`, or forgets them (nothing `from`).
void Update(JobConfiguration& into, const std::vector<std::string>& keys,
            const JobConfiguration* from) {
  for (const auto& key : keys) {
    auto it = std::find_if(into.begin(), into.end(), [&](const auto& r) { return r.key == key; });
    const JobConfigRow* row = from != nullptr ? Find(*from, key) : nullptr;
    if (row != nullptr && it != into.end()) {
      it->value = row->value;
    } else if (row != nullptr) {
      into.push_back(*row);
    } else if (it != into.end()) {
      into.erase(it);
    }
  }
}

// True when the chain ended before its first write went out: a check, a precondition the
// device did not meet, a port that did not open, another request still running.
bool NothingSent(const ChainJournal& journal, const OperationOutcome& outcome,
                 std::size_t endedAt) {
  if (outcome.Succeeded()) return false;
  const Reason& reason = *outcome.reason;
  return endedAt < journal.firstWrite || reason.Class() == ReasonClass::Entry ||
         reason.kind == ReasonKind::PortNotOpened ||
         (outcome.result == ResultBusy && endedAt == journal.firstWrite);
}

// What became of a write that was sent: a failure after the last write left it confirmed
// (only the reading back failed); otherwise the device refused it with a code, or its reply
// was lost.
JobOutcome OutcomeOf(const ChainJournal& journal, const OperationOutcome& outcome,
                     std::size_t endedAt) {
  if (outcome.Succeeded()) return {};
  const Reason& reason = *outcome.reason;
  if (endedAt > journal.lastWrite) {
    return {JobResult::Done, -1, "confirmed; reading back failed: " + reason.text};
  }
  if (reason.kind == ReasonKind::DeviceRefused && reason.args.size() >= 3 &&
      !reason.args[1].empty()) {
    const auto code = ParseWholeNumber(reason.args[1], 255);
    return {JobResult::Refused, code ? static_cast<int>(*code) : -1, reason.args[2]};
  }
  return {JobResult::NotConfirmed, -1, reason.text};
}

std::optional<double> Finite(double value) {
  return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

JobDevice DeviceOf(const DeviceRecord& r, const std::string& port) {
  JobDevice d;
  d.manufacturer = r.manufacturerName;
  d.model = r.modelName;
  d.deviceId = r.deviceIdText;
  d.tag = TrimEntryText(r.tag);
  d.descriptor = TrimEntryText(r.descriptor);
  d.serialNumber = std::to_string(r.sensorSerialNumber);
  d.finalAssemblyNumber = std::to_string(r.finalAssemblyNumber);
  d.universalRevision = r.universalRevisionText;
  d.specificRevision = r.specificRevisionText;
  d.softwareRevision = r.softwareRevisionText;
  d.hardwareRevision = r.hardwareRevisionText;
  d.pollingAddress = r.pollingAddress;
  d.port = port;
  return d;
}

}  // namespace

void JobRecorder::Resume(JobRecord job) {
  Clear();
  job_ = std::move(job);
}

void JobRecorder::Clear() {
  job_ = {};
  pending_.clear();
  known_.clear();
  waiting_.clear();
}

bool JobRecorder::Accepts(const DeviceRecord& device) const {
  const std::string key = job_.device.Key();
  return key.empty() || key == DeviceKeyOf(device);
}

void JobRecorder::Begin(const void* operation, const DeviceRecord& before) {
  std::erase_if(pending_, [operation](const auto& p) { return p.first == operation; });
  pending_.emplace_back(operation, before);
}

void JobRecorder::End(const void* operation, const RequestChain& chain, const DeviceRecord& after,
                      const OperationOutcome& outcome, std::size_t endedAt) {
  const auto it =
      std::find_if(pending_.begin(), pending_.end(), [&](auto& p) { return p.first == operation; });
  if (it == pending_.end()) return;  // never started: nothing was sent
  const DeviceRecord before = std::move(it->second);
  pending_.erase(it);
  const ChainJournal& journal = chain.journal;
  if (journal.kind == JournalKind::Upload) {
    if (outcome.Succeeded()) TakeUpload(after);
    return;
  }
  // Only what went to the job's own device is recorded in it.
  if (!Accepts(after) || NothingSent(journal, outcome, endedAt)) return;
  const JobOutcome result = OutcomeOf(journal, outcome, endedAt);
  const bool done = outcome.Succeeded();
  const std::string answered = done && chain.describe ? chain.describe(after) : std::string();
  switch (journal.kind) {
    case JournalKind::Setting:
    case JournalKind::Command:
      RecordWrite(chain, before, after, outcome, result);
      break;
    case JournalKind::SensorTrim:
    case JournalKind::DacTrim:
      RecordTrim(journal, before, after, answered, result);
      break;
    default:
      RecordOther(chain, after, outcome, result);
      break;
  }
}

void JobRecorder::RecordWrite(const RequestChain& chain, const DeviceRecord& before,
                              const DeviceRecord& after,
                              const OperationOutcome& outcome, JobOutcome result) {
  const ChainJournal& journal = chain.journal;
  JobWrite w;
  w.time = UtcNow();
  w.setting = journal.setting;
  w.requested = journal.requested;
  const std::vector<std::string>& keys = FieldsOf(journal.setting);
  if (!keys.empty()) {
    w.before = ValuesOf(known_, keys);
    if (outcome.Succeeded()) {
      // Only the rows this write read back are taken from the record after it.
      const JobConfiguration now = ConfigurationOf(after);
      w.answered = ValuesOf(now, keys);
      Update(known_, keys, &now);
    } else if (result.result != JobResult::Refused) {
      Update(known_, keys, nullptr);  // what the device holds now is not known
    }
  } else if (journal.kind == JournalKind::Setting && chain.describe) {
    w.before = chain.describe(before);  // the polling address: known since the identify
    if (outcome.Succeeded()) w.answered = chain.describe(after);
  }
  w.outcome = std::move(result);
  job_.writes.push_back(std::move(w));
}

void JobRecorder::RecordTrim(const ChainJournal& journal, const DeviceRecord& before,
                             const DeviceRecord& after, const std::string& answered,
                             JobOutcome result) {
  static const CglobalFile tables;
  JobTrim t;
  t.time = UtcNow();
  const bool sensor = journal.kind == JournalKind::SensorTrim;
  t.kind = (sensor ? "sensor " : "DAC ") + journal.setting;
  t.unit = sensor ? PvUnitName(tables, before.pvUnit) : "mA";
  if (!journal.reference.empty()) t.reference = ParseEntryNumber(journal.reference);
  t.before = Finite(sensor ? before.pvValue : before.loopCurrent);
  t.span = sensor ? before.upperRangeValue - before.lowerRangeValue : DacSpan;
  if (!std::isfinite(t.span)) t.span = 0;
  t.answered = answered;
  const bool done = result.result == JobResult::Done;
  // The DAC trim's reply carries the current; the PV after a sensor trim comes with the next
  // reading of it.
  if (done && !sensor) t.after = Finite(after.loopCurrent);
  if (done && sensor) waiting_.push_back(job_.trims.size());
  t.outcome = std::move(result);
  job_.trims.push_back(std::move(t));
}

void JobRecorder::RecordOther(const RequestChain& chain, const DeviceRecord& after,
                              const OperationOutcome& outcome, JobOutcome result) {
  const ChainJournal& journal = chain.journal;
  const bool done = outcome.Succeeded();
  switch (journal.kind) {
    case JournalKind::FixedCurrent: {
      JobCurrentCheck c{UtcNow(), journal.requested, {}, std::move(result)};
      if (done) c.reading = Finite(after.loopCurrent);
      job_.currents.push_back(std::move(c));
      break;
    }
    case JournalKind::SelfTest: {
      JobSelfTest s{UtcNow(), false, {}, std::move(result)};
      if (done) {
        std::uint8_t mask = 0;
        for (const StatusLamp& lamp : EepromStatusLamps()) mask |= lamp.bit;
        s.passed = (after.additionalStatus[2] & mask) == 0;
        s.states = DescribeEepromStatus(after);
      }
      job_.selfTests.push_back(std::move(s));
      break;
    }
    case JournalKind::TableWrite:
      job_.tables.push_back({UtcNow(), journal.setting, journal.points, journal.source,
                             journal.checksum, std::move(result)});
      break;
    default:
      break;
  }
}

void JobRecorder::TakeUpload(const DeviceRecord& device) {
  if (!Accepts(device)) return;
  known_ = ConfigurationOf(device);
  job_.device = DeviceOf(device, port_);
  if (job_.asFound.empty()) {
    job_.asFound = known_;
    job_.opened = UtcNow();
    job_.program = std::string("VA5VIVI ") + VA5VIVI_VERSION;
  }
  NoteReading(device);
}

void JobRecorder::NoteReading(const DeviceRecord& device) {
  static const CglobalFile tables;
  const std::string unit = PvUnitName(tables, device.pvUnit);
  for (std::size_t index : waiting_) {
    // A reading in another unit than the trim's says nothing about it.
    if (index < job_.trims.size() && job_.trims[index].unit == unit) {
      job_.trims[index].after = Finite(device.pvValue);
    }
  }
  waiting_.clear();
}

void JobRecorder::Close(const DeviceRecord& uploaded) {
  if (!Accepts(uploaded) || job_.device.Key().empty()) return;
  job_.asLeft = ConfigurationOf(uploaded);
  job_.closed = UtcNow();
}

std::optional<Reason> CloseJob(Session& session) {
  const OperationOutcome read = session.Perform(ConfigUploadChain());
  if (read.reason) return read.reason;
  session.Job().Close(session.Record());
  return std::nullopt;
}

}  // namespace va5::session
