#include "session/ConfigOperations.h"

#include <utility>

#include "comm/RequestTypes.h"
#include "lang/EntryRules.h"
#include "session/Checks.h"
#include "session/Operations.h"
#include "session/Session.h"

namespace va5::session {

namespace {

std::optional<Reason> Empty(const std::string& what) {
  return Because(ReasonKind::WrongValueCount, what + " is empty", {what});
}

// The first of the named values that is empty after trimming; the values trimmed in place.
std::optional<Reason> FirstEmpty(std::vector<std::pair<const char*, std::string*>> values) {
  for (auto& [what, value] : values) {
    *value = TrimEntryText(*value);
    if (value->empty()) return Empty(what);
  }
  return std::nullopt;
}

SettingCheck CheckOne(const CglobalFile& t, Setting setting, const char* what, std::string value) {
  SettingCheck check;
  if ((check.reason = FirstEmpty({{what, &value}}))) return check;
  return CheckSetting(t, setting, {value});
}

// A sensor with a fixed wiring takes it whatever the file says, as the sensor panel does; the
// file's wiring must still be a wiring name.
SettingCheck CheckSensor(const CglobalFile& t, std::string type, std::string wires) {
  SettingCheck check;
  if ((check.reason = FirstEmpty({{"sensor type", &type}, {"sensor wires", &wires}}))) {
    return check;
  }
  check = CheckSetting(t, Setting::Sensor, {type});
  if (check.reason && check.reason->kind == ReasonKind::WiringNeeded) {
    return CheckSetting(t, Setting::Sensor, {type, wires});
  }
  if (!check.reason && CglobalFile::IndexOfName(t.WiringNames(), wires) < 0) {
    std::string names;
    for (const auto& n : t.WiringNames()) names += (names.empty() ? "\"" : ", \"") + n + "\"";
    check.reason =
        Because(ReasonKind::UnknownName, "unknown wiring \"" + wires + "\"; choose one of " + names,
                {"wiring", wires, names});
  }
  return check;
}

}  // namespace

const std::string& NameOf(ConfigRow row) {
  static const std::array<std::string, ConfigRowCount> names{
      "tag group", "message",           "sensor",    "pv-unit", "range",         "damping",
      "burnout",   "transfer-function", "term-unit", "cjc",     "serial-number", "final-assembly"};
  return names[static_cast<std::size_t>(row)];
}

ConfigRowCheck CheckConfigRow(const CglobalFile& t, ConfigRow row, const ConfigurationValues& v) {
  ConfigRowCheck result;
  SettingCheck check;
  switch (row) {
    case ConfigRow::TagGroup: {
      std::string tag = v.tag, descriptor = v.descriptor, date = v.date;
      if ((check.reason =
               FirstEmpty({{"tag", &tag}, {"descriptor", &descriptor}, {"date", &date}}))) {
        break;
      }
      check = CheckSetting(t, Setting::Tag, {tag, descriptor});
      if (!check.reason && !IsValidEntryDate(date)) {
        check.reason = Because(ReasonKind::OutOfLimits,
                               "date \"" + date + "\" is not a date YYYY/MM/DD from 1900 to 2155",
                               {"date", date, "1900/01/01", "2155/12/31"});
      }
      if (!check.reason) {
        result.date = date.substr(0, 4) + "/" + date.substr(5, 2) + "/" + date.substr(8, 2);
      }
      break;
    }
    case ConfigRow::Message:
      check = CheckOne(t, Setting::Message, "message", v.message);
      break;
    case ConfigRow::Sensor:
      check = CheckSensor(t, v.sensorType, v.sensorWires);
      break;
    case ConfigRow::PvUnit:
      check = CheckOne(t, Setting::PvUnit, "pv-unit", v.pvUnit);
      break;
    case ConfigRow::Range: {
      std::string upper = v.upperRange, lower = v.lowerRange;
      if ((check.reason = FirstEmpty({{"upper range", &upper}, {"lower range", &lower}}))) break;
      check = CheckSetting(t, Setting::Range, {upper, lower});
      break;
    }
    case ConfigRow::Damping:
      check = CheckOne(t, Setting::Damping, "damping", v.damping);
      break;
    case ConfigRow::Burnout:
      check = CheckOne(t, Setting::Burnout, "burnout", v.burnout);
      break;
    case ConfigRow::TransferFunction:
      check = CheckOne(t, Setting::TransferFunction, "transfer-function", v.transferFunction);
      break;
    case ConfigRow::TerminalUnit:
      check = CheckOne(t, Setting::TerminalUnit, "term-unit", v.terminalUnit);
      break;
    case ConfigRow::CjcMode:
      check = CheckOne(t, Setting::Cjc, "cjc", v.cjcMode);
      break;
    case ConfigRow::SerialNumber:
      check = CheckOne(t, Setting::SerialNumber, "serial-number", v.sensorSerialNumber);
      break;
    case ConfigRow::FinalAssembly:
      check = CheckOne(t, Setting::FinalAssembly, "final-assembly", v.finalAssemblyNumber);
      break;
  }
  result.reason = std::move(check.reason);
  result.entry = std::move(check.entry);
  return result;
}

std::optional<Reason> CheckConfigRowAgainstDevice(const CglobalFile& t, const ConfigRowCheck& check,
                                                  const DeviceRecord& device) {
  return CheckAgainstDevice(t, check.entry, device);
}

RequestChain ConfigRowChain(const CglobalFile& t, const ConfigRowCheck& check,
                            const DeviceRecord& device) {
  RequestChain chain = SettingChain(t, check.entry, device);
  if (check.entry.setting == Setting::Tag) {
    // The configuration's own date, not today's.
    chain.store = [store = std::move(chain.store), date = check.date](DeviceRecord& r) {
      store(r);
      r.requestDate = date;
    };
    chain.journal.requested += " (date " + check.date + ")";
  }
  return chain;
}

RequestChain ConfigUploadChain() {
  RequestChain chain;
  chain.what = "upload";
  chain.steps = {{RequestIdentify}, {RequestUpload}};
  chain.journal.kind = JournalKind::Upload;
  return chain;
}

// ---- the download ------------------------------------------------------------------------

ConfigDownload::ConfigDownload(Session& session, const CglobalFile& tables,
                               ConfigurationValues values, bool monitoringAfter)
    : session_(session),
      tables_(tables),
      values_(std::move(values)),
      monitoringAfter_(monitoringAfter) {}

Millis ConfigDownload::PauseLength() const {
  return operation_ && status_ == Status::Pausing ? operation_->PauseLength() : Millis{0};
}

int ConfigDownload::CurrentRequest() const {
  return operation_ && InProgress() ? operation_->CurrentRequest() : 0;
}

ConfigDownload::Status ConfigDownload::Start() {
  if (status_ != Status::NotStarted) return status_;
  phase_ = Phase::Identity;
  return Run(SingleRequest(RequestReadIdentity));
}

ConfigDownload::Status ConfigDownload::OnMessage(const WorkerMessage& message) {
  if (!operation_ || status_ == Status::Done) return status_;
  return Follow(operation_->OnMessage(message));
}

ConfigDownload::Status ConfigDownload::Resume() {
  if (!operation_ || status_ != Status::Pausing) return status_;
  return Follow(operation_->Resume());
}

ConfigDownload::Status ConfigDownload::Answer(bool retry) {
  if (!operation_ || status_ != Status::NeedsAnswer) return status_;
  return Follow(operation_->Answer(retry));
}

ConfigDownload::Status ConfigDownload::Run(RequestChain chain) {
  operation_.emplace(session_, std::move(chain), monitoringAfter_);
  return Follow(operation_->Start());
}

ConfigDownload::Status ConfigDownload::Follow(Status status) {
  if (status != Status::Done) {
    status_ = status;
    return status_;
  }
  const OperationOutcome done = operation_->Outcome();
  switch (phase_) {
    case Phase::Identity: {
      if (!done.Succeeded()) {
        outcome_ = done;
        return Finish();
      }
      const DeviceRecord device = session_.Record();
      if (!IsConfigurableModel(device)) {
        const std::string lacks = "cannot take a configuration download";
        outcome_.reason =
            Because(ReasonKind::ModelNotConfigurable, "model \"" + device.modelName + "\" " + lacks,
                    {device.modelName, lacks});
        return Finish();
      }
      phase_ = Phase::Writing;
      row_ = 0;
      return NextRow();
    }
    case Phase::Writing: {
      ConfigRowOutcome& row = rows_[row_];
      if (operation_->Stopped()) {
        // Stopped before this row's write went out, or after it was confirmed (its read back
        // not sent).
        if (operation_->EndedAt() > operation_->Chain().journal.lastWrite) {
          row.state = ConfigRowOutcome::State::Written;
          anyWritten_ = true;
          if (rowDone_) rowDone_(static_cast<ConfigRow>(row_), row);
        }
        outcome_ = done;
        return Finish();
      }
      if (done.Succeeded()) {
        row.state = ConfigRowOutcome::State::Written;
        row.value = done.value;
        anyWritten_ = true;
        if (rowDone_) rowDone_(static_cast<ConfigRow>(row_), row);
        ++row_;
        return NextRow();
      }
      row.state = ConfigRowOutcome::State::Failed;
      row.reason = done.reason;
      row.notConfirmed = operation_->ReplyLost();
      if (rowDone_) rowDone_(static_cast<ConfigRow>(row_), row);
      outcome_ = done;
      // A refused write may still leave earlier ones to show; a lost link shows nothing.
      if (done.reason && done.reason->Class() == ReasonClass::Link) return Finish();
      return StartRefresh();
    }
    case Phase::Refresh:
      refreshed_ = done.Succeeded();
      if (!refreshed_ && !outcome_.reason) outcome_ = done;
      return Finish();
    case Phase::NotStarted:
    case Phase::Done:
      break;
  }
  return Finish();
}

ConfigDownload::Status ConfigDownload::NextRow() {
  if (stopRequested_) return FinishStopped();
  if (row_ >= ConfigRowCount) return StartRefresh();
  const auto which = static_cast<ConfigRow>(row_);
  const ConfigRowCheck check = CheckConfigRow(tables_, which, values_);
  // Checked against what the device holds now: the limits after the unit written before.
  const DeviceRecord device = session_.Record();
  std::optional<Reason> reason = check.reason;
  if (!reason) reason = CheckConfigRowAgainstDevice(tables_, check, device);
  if (reason) {
    ConfigRowOutcome& row = rows_[row_];
    row.state = ConfigRowOutcome::State::Failed;
    row.reason = reason;
    if (rowDone_) rowDone_(which, row);
    outcome_ = OperationOutcome{ResultOk, std::move(reason), {}};
    return anyWritten_ ? StartRefresh() : Finish();
  }
  return Run(ConfigRowChain(tables_, check, device));
}

ConfigDownload::Status ConfigDownload::StartRefresh() {
  if (!anyWritten_) return Finish();
  if (stopRequested_) return outcome_.reason ? Finish() : FinishStopped();
  phase_ = Phase::Refresh;
  return Run(ConfigUploadChain());
}

ConfigDownload::Status ConfigDownload::Finish() {
  phase_ = Phase::Done;
  status_ = Status::Done;
  return status_;
}

void ConfigDownload::RequestStop() {
  stopRequested_ = true;
  if (operation_ && InProgress()) operation_->RequestStop();
}

ConfigDownload::Status ConfigDownload::FinishStopped() {
  const std::string what = "configuration download";
  const std::string why = "stopped by the technician";
  outcome_ = OperationOutcome{
      ResultOk, Reason{ReasonKind::LinkFailed, what + ": " + why, {what, why}}, {}};
  return Finish();
}

const OperationOutcome& PerformDownload(Session& session, ConfigDownload& download,
                                        const std::atomic<bool>* stop) {
  if (stop == nullptr) return session.Drive(download);
  return session.Drive(download, *stop, [&] { download.RequestStop(); });
}

}  // namespace va5::session
