// The window's job record. While a device is connected, its session's recorder keeps the job;
// a session lives for one connection only, so the keeper holds a copy of the job between
// connections and hands it to the next session when the same device connects again (another
// device starts a new job). It is the window's one leave guard: a device with work that was
// not saved is not left without the technician's word.
#pragma once

#include <QObject>
#include <QString>
#include <cstddef>
#include <functional>
#include <optional>

#include "gui/AppSettings.h"
#include "gui/MainDlgDlg.h"
#include "session/JobRecord.h"

class QWidget;

namespace va5 {

namespace session {
class JobRecorder;
class Session;
}  // namespace session

class CJobKeeper : public QObject {
  Q_OBJECT

 public:
  // The save dialog: (owner, caption, suggested path, filter) -> the chosen path, empty when
  // cancelled. Tests replace it.
  using SaveDialog =
      std::function<QString(QWidget*, const QString&, const QString&, const QString&)>;

  // What the technician adds to the job in the dialog; the name is remembered in the settings.
  struct Footer {
    QString technician;
    QString instrument;  // the reference instrument the trims were made against
    QString notes;
    double tolerance = session::DefaultTrimTolerance;  // % of span a trim may deviate
  };

  // Registers the leave guard and follows the window's connections. The technician's name
  // is read from the settings now.
  explicit CJobKeeper(CMainDlgDlg& window);

  // The job so far: the connected device's, else the one kept from the last connection.
  session::JobRecord Job() const;
  // Something was sent to the device that changes it (a write, a trim, a fixed current, a
  // table) since the job was started or last saved.
  bool Unsaved() const;
  // True when the job is the connected device's (it can be closed).
  bool OfConnectedDevice() const;

  Footer& GetFooter() { return footer_; }
  CMainDlgDlg& Window() { return window_; }
  const SaveDialog& GetSaveDialog() const { return saveDialog_; }
  void SetSaveDialog(SaveDialog dialog) { saveDialog_ = std::move(dialog); }

  // Reads the configuration as left from the connected device (identify and upload through
  // the window's runner, the window kept painting meanwhile) and closes the job with it.
  // False when no device of the job is connected or the reading failed: the job stays open.
  bool CloseJob();
  // The footer put into the job: the name and the notes (the reference instrument first).
  session::JobRecord JobWithFooter() const;
  // The technician's name is kept in the settings from now on.
  void RememberTechnician();
  // The job as it is now was saved: leaving asks again only for what follows.
  void MarkSaved();
  // The job is forgotten: the next connection starts a new one.
  void Discard();

  // The leave guard: when something was sent and not saved, "Confr_Save_Job" (Yes saves
  // through the job record dialog, No discards the job, Cancel stays).
  bool OnLeaving(CMainDlgDlg::Leaving why);

 private:
  void OnDeviceConnected();
  void KeepCopy();
  // The kept job of another device than the one just connected, when unsaved: offered for
  // saving before a new job starts.
  void OfferToSaveKept();
  // Opens the job record dialog for saving; true when the job was saved.
  bool SaveThroughDialog();
  session::JobRecorder* Recorder() const;

  CMainDlgDlg& window_;
  CAppSettings settings_;                // the store of the technician's name
  session::Session* adopted_ = nullptr;  // the connected session whose recorder has the job
  std::optional<session::JobRecord> kept_;
  std::size_t savedEntries_ = 0;
  Footer footer_;
  SaveDialog saveDialog_;
};

// The entries of a job that were sent to change the device.
std::size_t ChangingEntries(const session::JobRecord& job);

}  // namespace va5
