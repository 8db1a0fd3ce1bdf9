// The configuration file editor: its two pages, the file they read and write, and the
// upload and download they run on a link of their own. The pages' buttons act here, on both
// pages at once.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "device/DeviceRecord.h"
#include "gui/OperationRunner.h"
#include "gui/config/ConfigPage.h"
#include "offline/ConfigEditorModel.h"
#include "offline/FilePropertyReadWrite.h"
#include "session/ConfigOperations.h"
#include "session/Operation.h"

namespace va5 {

class CFileProperty;
class CFileProperty2;
class CMainDlgDlg;

namespace session {
class Session;
}

class CConfigEditor : public QObject {
  Q_OBJECT

 public:
  // The path the technician chose in the open (save = false) or save dialog; empty when
  // cancelled. Tests replace it.
  using FileDialog = std::function<QString(QWidget* owner, bool save)>;

  explicit CConfigEditor(CMainDlgDlg& window);
  ~CConfigEditor() override;

  CFileProperty* Page1() const { return page1_; }
  CFileProperty2* Page2() const { return page2_; }
  // The name of the file the file column was last read from or written to (empty before).
  QString FileName() const { return fileName_; }
  const CglobalFile& Tables() const;
  CFilePropertyReadWrite& File() { return file_; }
  void SetFileDialog(FileDialog dialog) { fileDialog_ = std::move(dialog); }

  // The "File" key: page 1 over the whole window (the device is disconnected).
  void Open() { ShowPage(1); }
  void ShowPage(int page);
  void OtherPage(const CConfigPage* from);
  void Exit();

  void ReadFile();
  void WriteFile();
  void Upload();
  void Download();
  void CopyAll(ConfigSide to);
  void CompareAll(ConfigSide side);

  // The values of one side, as both pages show them.
  const ConfigurationValues& Values(ConfigSide side) const { return model_.Values(side); }
  // What both pages show; after changing it, ShowModel shows it.
  ConfigEditorModel& Model() { return model_; }
  void ShowModel();
  bool OnWorkerMessage(const WorkerMessage& message);

 private:
  enum class Transfer { None, Opening, Upload, Trim, Download };
  void StartTransfer(Transfer transfer);
  void OnLinkOpened(session::Session* session, Transfer transfer);
  // Starts the runner on `run`, and shows the download's progress once its writes begin.
  void RunNext(session::Driven& run);
  void ShowWritingProgress();
  void OnRunEnded();
  void OnUploadStep(const session::OperationOutcome& outcome);
  void EndTransfer(std::optional<session::Reason> reason);
  void EndDownload();
  void ShowReasonBox(const session::Reason& reason);
  // The download's one question, before anything is sent: what it will change in the device
  // (the device column against the device last uploaded, or every value when none was), and
  // that the loop's output may change.
  bool ConfirmDownload() const;

  CMainDlgDlg& window_;
  CFileProperty* page1_;
  CFileProperty2* page2_;
  CFilePropertyReadWrite file_;
  ConfigEditorModel model_;
  FileDialog fileDialog_;

  // The main window's title while the editor is shown: the program's, with the file the
  // file column was last read from or written to.
  void ShowTitle();

  QString fileName_;  // of that file; empty before any
  Transfer transfer_ = Transfer::None;
  session::Session* session_ = nullptr;
  std::unique_ptr<session::Operation> operation_;
  std::unique_ptr<session::ConfigDownload> download_;
  COperationRunner runner_;
  bool progressShown_ = false;
  bool uploaded_ = false;  // the device column came from a device
  bool trimRead_ = false;  // its sensor trim was read from it too
  DeviceRecord device_;    // the device last uploaded
};

}  // namespace va5
