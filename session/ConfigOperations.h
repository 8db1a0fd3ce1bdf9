// The offline editor's operations on a device: downloading a configuration (the twelve writes
// of the device column) and uploading one to compare it with a file. The editor's window and
// the command-line tool run the same code; every value passes the checks of the sensor and
// detailed-information panels (Setting.h) before it is sent.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "device/GlobalFile.h"
#include "offline/ConfigEditorModel.h"
#include "offline/FilePropertyReadWrite.h"
#include "session/Operation.h"
#include "session/Reason.h"
#include "session/RequestChain.h"
#include "session/Setting.h"

namespace va5::session {

// The writes of a download, in the order they are sent.
enum class ConfigRow {
  TagGroup,  // tag, descriptor and date (command 18)
  Message,
  Sensor,  // sensor type and wiring
  PvUnit,
  Range,  // upper and lower range
  Damping,
  Burnout,
  TransferFunction,
  TerminalUnit,
  CjcMode,
  SerialNumber,
  FinalAssembly,
};
inline constexpr std::size_t ConfigRowCount = 12;

// "tag group", "message", "sensor", ... for reports.
const std::string& NameOf(ConfigRow row);

// What became of one row of a download.
struct ConfigRowOutcome {
  enum class State { NotWritten, Written, Failed };
  State state = State::NotWritten;
  // Failed: why. An empty value is a WrongValueCount (no value) reason naming the field; a
  // date that is not "YYYY/MM/DD" in 1900 ... 2155 an OutOfLimits one; otherwise the reason of
  // the panels' checks, of the device's refusal or of the link.
  std::optional<Reason> reason;
  std::string value;  // Written: what the device returned, as the panels describe it
  // Failed: the write went out but its reply was lost, so the device may have taken it.
  bool notConfirmed = false;
};

// A row's values read and checked without a device: none empty, then the entry checks of the
// panels (packed and upper-cased texts, lengths, the date rule, numbers and their fixed
// limits, names in the code tables). Values are trimmed of blanks first.
struct ConfigRowCheck {
  std::optional<Reason> reason;  // nothing when the row can go to the device
  SettingEntry entry;
  std::string date;  // TagGroup: the date to send
};
ConfigRowCheck CheckConfigRow(const CglobalFile& tables, ConfigRow row,
                              const ConfigurationValues& values);

// The same row against the connected device (range limits, unit family, model), then its
// request chain: the panels' own, with the table-defined check of a custom sensor or the
// special curve. The tag group sends the row's date instead of today's. `tables` must outlive
// the chain.
std::optional<Reason> CheckConfigRowAgainstDevice(const CglobalFile& tables,
                                                  const ConfigRowCheck& check,
                                                  const DeviceRecord& device);
RequestChain ConfigRowChain(const CglobalFile& tables, const ConfigRowCheck& check,
                            const DeviceRecord& device);

// Identifies the device again and uploads its configuration (401, 402). The sensor trim data
// are not part of it: a window that wants them for "All Copy <<" runs ReadSensorTrimChain
// next and passes its success to SetCarriedFromDevice.
RequestChain ConfigUploadChain();

// The editor's comparison (offline/ConfigEditorModel.h), which the tool prints too.
using ::va5::CompareConfigurations;
using ::va5::ConfigDifference;

// A configuration download, driven like an Operation (a window from its event loop, the tool
// with PerformDownload): reads the identity (459) and refuses any model but "TQ5R" before
// anything is written; then writes the rows in their order, each checked just before it is
// sent against what the device holds at that moment; stops at the first row that is empty,
// fails a check, or fails on the device; then, when anything was written and the link still
// works, identifies and uploads again (ConfigUploadChain) so that the record shows what the
// device now holds.
class ConfigDownload : public Driven {
 public:
  enum class Phase { NotStarted, Identity, Writing, Refresh, Done };

  // `monitoringAfter` as for Operation. `tables` must outlive the download.
  ConfigDownload(Session& session, const CglobalFile& tables, ConfigurationValues values,
                 bool monitoringAfter = false);

  Status Start() override;
  Status OnMessage(const WorkerMessage& message) override;
  Status Resume() override;
  Status Answer(bool retry) override;

  Status GetStatus() const override { return status_; }
  Millis PauseLength() const override;
  int CurrentRequest() const override;

  // Progress: the phase.
  Phase GetPhase() const { return phase_; }
  const std::array<ConfigRowOutcome, ConfigRowCount>& Rows() const { return rows_; }
  // Called once for each row that ends (written or failed), in order.
  void OnRowDone(std::function<void(ConfigRow, const ConfigRowOutcome&)> observer) {
    rowDone_ = std::move(observer);
  }

  // After Done: the first failure (the model refused, a row's reason, or a failed refresh);
  // nothing when all twelve rows were written and read back.
  const OperationOutcome& Outcome() const override { return outcome_; }
  // True once the refresh upload succeeded: the record holds what the device now has.
  bool Refreshed() const { return refreshed_; }

  // Ends the download at the next request boundary: the request in flight finishes, nothing
  // more is sent (no refresh either), and the outcome says the technician stopped it. A row
  // whose write was confirmed counts as written; the rows after it are not reached.
  void RequestStop();

 private:
  Status Follow(Status status);  // after the current operation moved
  Status NextRow();
  Status StartRefresh();
  Status Run(RequestChain chain);
  Status Finish();
  Status FinishStopped();

  Session& session_;
  const CglobalFile& tables_;
  ConfigurationValues values_;
  bool monitoringAfter_;
  Status status_ = Status::NotStarted;
  Phase phase_ = Phase::NotStarted;
  std::size_t row_ = 0;
  std::optional<Operation> operation_;
  std::array<ConfigRowOutcome, ConfigRowCount> rows_;
  std::function<void(ConfigRow, const ConfigRowOutcome&)> rowDone_;
  OperationOutcome outcome_;
  bool anyWritten_ = false;
  bool refreshed_ = false;
  bool stopRequested_ = false;
};

// Runs a download to its end on the calling thread, as Session::Perform runs an operation.
// Once `stop` is set (a signal), it ends at the next request boundary (RequestStop).
const OperationOutcome& PerformDownload(Session& session, ConfigDownload& download,
                                        const std::atomic<bool>* stop = nullptr);

}  // namespace va5::session
