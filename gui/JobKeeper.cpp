#include "gui/JobKeeper.h"

#include <QEventLoop>
#include <QFileDialog>
#include <utility>

#include "gui/JobRecordDialog.h"
#include "gui/Localise.h"
#include "gui/MessageBox.h"
#include "session/ConfigOperations.h"
#include "session/JobRecorder.h"
#include "session/Session.h"

namespace va5 {

namespace {

QString DefaultSaveDialog(QWidget* owner, const QString& caption, const QString& suggested,
                          const QString& filter) {
  return QFileDialog::getSaveFileName(owner, caption, suggested, filter);
}

std::string TagOf(const session::JobRecord& job) {
  return job.device.tag.empty() ? job.device.model + " " + job.device.deviceId : job.device.tag;
}

}  // namespace

std::size_t ChangingEntries(const session::JobRecord& job) {
  return job.writes.size() + job.trims.size() + job.currents.size() + job.tables.size();
}

CJobKeeper::CJobKeeper(CMainDlgDlg& window)
    : QObject(&window), window_(window), saveDialog_(DefaultSaveDialog) {
  settings_.Load();
  footer_.technician = settings_.Technician();
  window_.AddLeaveGuard([this](CMainDlgDlg::Leaving why) { return OnLeaving(why); });
  connect(&window_, &CMainDlgDlg::deviceConnected, this, &CJobKeeper::OnDeviceConnected);
  // A session ends with its connection: the copy is taken while it still lives (the link's
  // state goes off line before the session is destroyed), and a new session is adopted only
  // once its device has been read.
  connect(&window_, &CMainDlgDlg::linkStatusChanged, this, &CJobKeeper::KeepCopy);
  connect(&window_, &CMainDlgDlg::sessionChanged, this, [this] { adopted_ = nullptr; });
}

session::JobRecorder* CJobKeeper::Recorder() const {
  session::Session* session = window_.CurrentSession();
  return session != nullptr && session == adopted_ ? &session->Job() : nullptr;
}

session::JobRecord CJobKeeper::Job() const {
  if (const session::JobRecorder* recorder = Recorder()) return recorder->Job();
  return kept_.value_or(session::JobRecord{});
}

bool CJobKeeper::Unsaved() const { return ChangingEntries(Job()) > savedEntries_; }

bool CJobKeeper::OfConnectedDevice() const { return Recorder() != nullptr && window_.Connected(); }

void CJobKeeper::KeepCopy() {
  if (const session::JobRecorder* recorder = Recorder()) kept_ = recorder->Job();
}

void CJobKeeper::OnDeviceConnected() {
  session::Session* session = window_.CurrentSession();
  if (session == nullptr) return;
  adopted_ = nullptr;
  const DeviceRecord device = session->Record();
  const std::string key = session::DeviceKeyOf(device);
  session::JobRecorder& recorder = session->Job();
  if (kept_ && !key.empty() && kept_->device.Key() == key) {
    // The same device again: the job goes on, open until it is closed again.
    session::JobRecord job = *kept_;
    job.closed.clear();
    job.asLeft.clear();
    recorder.Resume(std::move(job));
  } else {
    OfferToSaveKept();
    recorder.Clear();
    kept_.reset();
    savedEntries_ = 0;
  }
  // The connection's upload is the job's reading of the configuration: as found for a new
  // job, and what the next write starts from for both. It is handed over as the end of an
  // upload chain, the way an operation's upload reaches the recorder.
  recorder.Begin(this, device);
  recorder.End(this, session::ConfigUploadChain(), device, session::OperationOutcome{},
               session::ConfigUploadChain().steps.size());
  adopted_ = session;
  KeepCopy();
}

void CJobKeeper::OfferToSaveKept() {
  if (!kept_ || ChangingEntries(*kept_) <= savedEntries_) return;
  const int answer = ShowUIMessage(&window_, "Confr_Save_Other_Job", {TagOf(*kept_)},
                                   kStyleYesNoQuestion, [this](bool on) { window_.SetHold(on); });
  if (answer == kAnswerYes) SaveThroughDialog();
}

bool CJobKeeper::CloseJob() {
  session::Session* session = window_.CurrentSession();
  if (!OfConnectedDevice() || session == nullptr) return false;
  std::optional<session::OperationOutcome> outcome;
  QEventLoop loop;
  // Going off line drops the run without an end: the wait ends with the session.
  const QMetaObject::Connection gone =
      connect(&window_, &CMainDlgDlg::sessionChanged, &loop, &QEventLoop::quit);
  const bool started = window_.RunOperation(session::ConfigUploadChain(), true,
                                            [&](const session::OperationOutcome& done) {
                                              outcome = done;
                                              loop.quit();
                                            });
  if (started && !outcome) loop.exec();
  disconnect(gone);
  if (!outcome || !outcome->Succeeded() || window_.CurrentSession() != session ||
      Recorder() == nullptr) {
    return false;
  }
  session->Job().Close(session->Record());
  KeepCopy();
  return true;
}

session::JobRecord CJobKeeper::JobWithFooter() const {
  session::JobRecord job = Job();
  job.technician = footer_.technician.trimmed().toStdString();
  QString notes = footer_.notes.trimmed();
  if (!footer_.instrument.trimmed().isEmpty()) {
    const QString instrument = DisplayText("Job_Reference_Instrument", "Reference instrument") +
                               QStringLiteral(": ") + footer_.instrument.trimmed();
    notes = notes.isEmpty() ? instrument : instrument + QLatin1Char('\n') + notes;
  }
  job.notes = notes.toStdString();
  return job;
}

void CJobKeeper::RememberTechnician() {
  const QString name = footer_.technician.trimmed();
  if (session::JobRecorder* recorder = Recorder()) {
    const session::JobRecord job = JobWithFooter();
    recorder->SetTechnician(job.technician);
    recorder->SetNotes(job.notes);
    KeepCopy();
  }
  if (name == settings_.Technician()) return;
  settings_.SetTechnician(name);
  settings_.SaveTechnician();
}

void CJobKeeper::MarkSaved() { savedEntries_ = ChangingEntries(Job()); }

void CJobKeeper::Discard() {
  if (session::JobRecorder* recorder = Recorder()) recorder->Clear();
  kept_.reset();
  savedEntries_ = 0;
}

bool CJobKeeper::SaveThroughDialog() {
  CJobRecordDialog dialog(*this, &window_);
  return dialog.exec() == QDialog::Accepted;
}

bool CJobKeeper::OnLeaving(CMainDlgDlg::Leaving why) {
  // A language change has already happened; the job stays with the device.
  if (why == CMainDlgDlg::Leaving::LanguageChange || !Unsaved()) return true;
  const int answer =
      ShowUIMessage(&window_, "Confr_Save_Job", {TagOf(Job())}, kStyleYesNoCancelInformation,
                    [this](bool on) { window_.SetHold(on); });
  switch (answer) {
    case kAnswerYes:
      return SaveThroughDialog();
    case kAnswerNo:
      Discard();
      return true;
    default:
      return false;
  }
}

}  // namespace va5
