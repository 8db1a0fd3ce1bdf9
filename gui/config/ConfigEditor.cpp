#include "gui/config/ConfigEditor.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>
#include <utility>

#include "comm/RequestTypes.h"
#include "gui/Localise.h"
#include "gui/LoopGuard.h"
#include "gui/MainDlgDlg.h"
#include "gui/MessageBox.h"
#include "gui/OperationPanel.h"
#include "gui/config/FileProperty.h"
#include "gui/config/FileProperty2.h"
#include "lang/ResourceDatabase.h"
#include "session/Operations.h"
#include "session/Session.h"
#include "session/Setting.h"
#include "session/TransferReport.h"

namespace va5 {

using session::ConfigDownload;
using session::Operation;
using session::OperationOutcome;
using session::Reason;

namespace {

QString AskPath(QWidget* owner, bool save) {
  const QString filter = FileDialogFilter();
  if (!save) return QFileDialog::getOpenFileName(owner, {}, {}, filter);
  QFileDialog dialog(owner, {}, {}, filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("txt"));
  return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
             ? dialog.selectedFiles().front()
             : QString();
}

// The configuration upload, which first makes sure that the device is a model whose
// configuration the editor holds: any other stops after its identification.
session::RequestChain UploadChain() {
  session::RequestChain chain = session::ConfigUploadChain();
  chain.steps.front().stopIf = [](const DeviceRecord& device) -> std::optional<Reason> {
    if (session::IsConfigurableModel(device)) return std::nullopt;
    const std::string lacks = "cannot give its configuration to the editor";
    return Reason{session::ReasonKind::ModelNotConfigurable,
                  "model \"" + device.modelName + "\" " + lacks,
                  {device.modelName, lacks}};
  };
  return chain;
}

}  // namespace

CConfigEditor::CConfigEditor(CMainDlgDlg& window)
    : QObject(&window), window_(window), fileDialog_(AskPath) {
  connect(&runner_, &COperationRunner::needsAnswer, this,
          [this] { window_.AskLinkFailure(&runner_); });
  connect(&runner_, &COperationRunner::finished, this, [this] { OnRunEnded(); });
  page1_ = new CFileProperty(*this);
  page2_ = new CFileProperty2(*this);
  for (CConfigPage* page : {static_cast<CConfigPage*>(page1_), static_cast<CConfigPage*>(page2_)}) {
    page->hide();
  }
}

CConfigEditor::~CConfigEditor() = default;

const CglobalFile& CConfigEditor::Tables() const { return window_.Tables(); }

void CConfigEditor::ShowPage(int page) {
  window_.ShowFileEditor(page == 2 ? static_cast<CPanel*>(page2_) : page1_);
  ShowTitle();
}

void CConfigEditor::ShowTitle() {
  if (window_.FileEditorPage() == nullptr) return;
  const QString file = fileName_.isEmpty() ? DisplayText("Config_No_File", "Untitled") : fileName_;
  window_.setWindowTitle(CMainDlgDlg::Title() + QStringLiteral(" - ") + file);
}

void CConfigEditor::OtherPage(const CConfigPage* from) { ShowPage(from == page1_ ? 2 : 1); }

void CConfigEditor::Exit() { window_.ShowHome(); }

void CConfigEditor::ShowModel() {
  page1_->ShowModel();
  page2_->ShowModel();
}

// Both pages at once, each of them once.
void CConfigEditor::CopyAll(ConfigSide to) {
  page1_->CopyAll(to);
  page2_->CopyAll(to);
  ShowModel();
  // The file also carries what the pages do not show, from the device last uploaded.
  if (to == ConfigSide::File && uploaded_) SetCarriedFromDevice(file_.Record(), device_, trimRead_);
}

void CConfigEditor::CompareAll(ConfigSide side) {
  model_.Compare(side);
  ShowModel();
}

// ---- the file ----------------------------------------------------------------------------

void CConfigEditor::ReadFile() {
  QWidget* owner = window_.FileEditorPage();
  const QString path = fileDialog_(owner, false);
  if (path.isEmpty()) return;
  file_.Record().path = path.toStdString();
  if (!file_.Read(path.toStdString())) {
    // A file that cannot be opened says nothing; a failure while reading says why.
    if (!file_.LastError().empty()) {
      MessageRequest request;
      request.owner = owner;
      request.caption = ToQString(GetUIMsg("Message_Box"));
      request.text = ToQString(file_.LastError());
      request.style = kStyleOk;
      ShowMessageRequest(request);
    }
    return;
  }
  model_.Load(ConfigSide::File, ConfigurationValuesFromRecord(file_.Record()));
  ShowModel();
  fileName_ = QFileInfo(path).fileName();
  ShowTitle();
}

void CConfigEditor::WriteFile() {
  QWidget* owner = window_.FileEditorPage();
  const QString path = fileDialog_(owner, true);
  if (path.isEmpty()) return;
  ConfigurationValues values = Values(ConfigSide::File);
  values.dampingUnit = page1_->FileUnitText(&ConfigurationValues::damping).toStdString();
  file_.Record().path = path.toStdString();
  if (!file_.Write(path.toStdString(), file_.BuildLines(values))) {
    ShowFileWriteError(owner, path, file_.LastError());
    return;
  }
  fileName_ = QFileInfo(path).fileName();
  ShowTitle();
}

// ---- upload and download -----------------------------------------------------------------

void CConfigEditor::Upload() { StartTransfer(Transfer::Upload); }

void CConfigEditor::Download() {
  if (transfer_ != Transfer::None || !ConfirmDownload()) return;
  StartTransfer(Transfer::Download);
}

bool CConfigEditor::ConfirmDownload() const {
  const ConfigurationValues column = Values(ConfigSide::Device);
  std::vector<std::string> lines;
  const char* heading = "Confr_Download_Unread";
  if (uploaded_) {
    const ConfigurationValues held = ConfigurationValuesFromDevice(device_, Tables());
    for (const session::ConfigDifference& row : session::CompareConfigurations(column, held)) {
      lines.push_back(row.key + ": " + row.deviceValue + " \u2192 " + row.fileValue);
    }
    heading = lines.empty() ? "Confr_Download_Same" : "Confr_Download_Changes";
  } else {
    for (const ConfigurationField& field : ConfigurationFields()) {
      lines.push_back(std::string(field.key) + ": " + column.*field.value);
    }
  }
  // No link is open yet: there is nothing to hold.
  return ConfirmLoopChange(window_.FileEditorPage(), nullptr, nullptr, heading, lines);
}

void CConfigEditor::StartTransfer(Transfer transfer) {
  if (transfer_ != Transfer::None) return;
  transfer_ = Transfer::Opening;
  window_.OpenEditorLink(
      [this, transfer](session::Session* session) { OnLinkOpened(session, transfer); });
}

void CConfigEditor::OnLinkOpened(session::Session* session, Transfer transfer) {
  if (session == nullptr) {  // the port did not open and the technician gave up
    transfer_ = Transfer::None;
    return;
  }
  session_ = session;
  transfer_ = transfer;
  window_.SetPanelBusy(true);
  if (transfer == Transfer::Upload) {
    window_.ShowProgress(ToQString(GetProgressMsg("Upload_Dev_Info")),
                         CMainDlgDlg::kUploadProgress);
    progressShown_ = true;
    operation_ = std::make_unique<Operation>(*session, UploadChain());
    RunNext(*operation_);
    return;
  }
  download_ = std::make_unique<ConfigDownload>(*session, Tables(), Values(ConfigSide::Device));
  RunNext(*download_);
}

void CConfigEditor::RunNext(session::Driven& run) {
  runner_.Run(run);
  ShowWritingProgress();
}

bool CConfigEditor::OnWorkerMessage(const WorkerMessage& message) {
  if (!runner_.Running()) return false;
  runner_.OnMessage(message);
  ShowWritingProgress();
  // The progress bar is the window's.
  return message.kind != MessageProgress;
}

void CConfigEditor::ShowWritingProgress() {
  if (download_ && !progressShown_ && download_->GetPhase() == ConfigDownload::Phase::Writing) {
    // The model is one that takes a configuration: the writes begin.
    window_.ShowProgress(ToQString(GetProgressMsg("Download_Dev_Info")),
                         CMainDlgDlg::kUploadProgress);
    progressShown_ = true;
  }
}

void CConfigEditor::OnRunEnded() {
  if (download_) {
    EndDownload();
  } else if (operation_) {
    OnUploadStep(operation_->Outcome());
  }
}

void CConfigEditor::OnUploadStep(const OperationOutcome& outcome) {
  if (transfer_ == Transfer::Upload && outcome.Succeeded()) {
    // The sensor trim too, so that "All Copy <<" can carry it for this very device.
    device_ = session_->Record();
    transfer_ = Transfer::Trim;
    operation_ = std::make_unique<Operation>(*session_, session::ReadSensorTrimChain(Tables()));
    RunNext(*operation_);
    return;
  }
  if (transfer_ == Transfer::Trim) {
    trimRead_ = outcome.Succeeded();
    device_ = session_->Record();
    uploaded_ = true;
    EndTransfer(std::nullopt);
    model_.Load(ConfigSide::Device, ConfigurationValuesFromDevice(device_, Tables()));
    ShowModel();
    return;
  }
  if (outcome.reason && outcome.reason->kind == session::ReasonKind::ModelNotConfigurable) {
    // Nothing beyond the identification was read; the device column stays as it was.
    const std::string model = outcome.reason->args.empty() ? "" : outcome.reason->args[0];
    EndTransfer(std::nullopt);
    ShowUIMessage(window_.FileEditorPage(), "Err_Device_Not_Configurable", {model},
                  kStyleOkInformation);
    return;
  }
  EndTransfer(outcome.reason);
}

void CConfigEditor::EndDownload() {
  const std::unique_ptr<ConfigDownload> download = std::move(download_);
  const DeviceRecord record = session_->Record();
  const std::optional<Reason> reason = download->Outcome().reason;
  EndTransfer(std::nullopt);
  if (reason && reason->kind == session::ReasonKind::ModelNotConfigurable) {
    // Nothing was written.
    ShowUIMessage(window_.FileEditorPage(), "Err_Device_Not_Configurable", {record.modelName},
                  kStyleOkInformation);
    return;
  }
  if (download->Refreshed()) {
    trimRead_ = trimRead_ && uploaded_ && device_.deviceIdText == record.deviceIdText;
    device_ = record;
    uploaded_ = true;
  }
  const ConfigurationValues values = ConfigurationValuesFromDevice(record, Tables());
  page1_->MarkDownload(download->Rows(), values, download->Refreshed());
  page2_->MarkDownload(download->Rows(), values, download->Refreshed());
  ShowModel();
  if (reason) ShowReasonBox(*reason);
  // The rows are marked; the box says in one place what the device now holds.
  if (const auto held = session::PartialDownload(*download)) {
    ShowUIMessage(window_.FileEditorPage(), held->key, held->args, kStyleOkExclamation);
  }
}

void CConfigEditor::EndTransfer(std::optional<Reason> reason) {
  runner_.Abandon();
  operation_.reset();
  download_.reset();
  session_ = nullptr;
  transfer_ = Transfer::None;
  if (progressShown_) window_.HideProgress(CMainDlgDlg::kUploadProgress);
  progressShown_ = false;
  window_.SetPanelBusy(false);
  window_.ResetLink();
  if (reason) ShowReasonBox(*reason);
}

void CConfigEditor::ShowReasonBox(const Reason& reason) {
  // The technician has just given the link up: no second box about it.
  if (runner_.GaveUp() && reason.Class() == session::ReasonClass::Link) return;
  const UIMessageText message = MessageOfReason(reason);
  ShowUIMessage(window_.FileEditorPage(), message.key, message.args);
}

}  // namespace va5
