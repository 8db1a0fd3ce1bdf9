#include "gui/panels/TableEditor.h"

#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QStringList>
#include <algorithm>
#include <utility>

#include "base/NumberText.h"
#include "device/DeviceRecord.h"
#include "gui/LblColor.h"
#include "gui/AppSettings.h"
#include "gui/Localise.h"
#include "gui/MessageBox.h"
#include "gui/graph/CustomGraph.h"
#include "lang/ControlIds.h"
#include "lang/ResourceDatabase.h"
#include "session/LinkHold.h"
#include "session/Session.h"
#include "session/TransferReport.h"

namespace va5 {

namespace te = ids::table_editor;

namespace {

QString DefaultFileDialog(QWidget* parent, bool save, const QString& caption,
                          const QString& filter) {
  if (!save) return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
  // The dialog adds ".txt" itself, so that its question before replacing a file is asked of
  // the name that is written ("pt100" would otherwise replace "pt100.txt" without a word).
  QFileDialog dialog(parent, caption, QString(), filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("txt"));
  return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

double ValueOf(const std::string& text) { return ReadCDouble(text).value; }

QString Number(const char* format, double value) { return ToQString(FormatCNumber(format, value)); }

QString Whole(long long value) { return QString::number(value); }

}  // namespace

CTableEditor::CTableEditor(TableKind kind, int layout, int replyMessage,
                           const TableEditorTexts& texts, QWidget* parent)
    : COperationPanel(layout, replyMessage, parent),
      kind_(kind),
      texts_(texts),
      fileDialog_(DefaultFileDialog) {
  Build();
  OnConnectionChanged();
}

CTableEditor::~CTableEditor() = default;

void CTableEditor::Build() {
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(6, 6, 6, 6);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(4);

  title_ = MakePanelCaption(texts_.title, te::kTitle, this);
  grid->addWidget(title_, 0, 0, 1, 3);
  grid->setRowMinimumHeight(1, 6);
  heading_ = MakePanelCaption(texts_.heading, te::kContentsHeading, this);
  grid->addWidget(heading_, 2, 0, 1, 3);

  int row = 3;
  // Where the table on screen came from: a file or a device (no identifier: the text is
  // the language's DisplayMsg, set when the panel is shown).
  sourceCaption_ = new QLabel(QStringLiteral("Source"), this);
  sourceValue_ = new QLabel(this);
  sourceValue_->setFrameShape(QFrame::Panel);
  sourceValue_->setFrameShadow(QFrame::Sunken);
  sourceValue_->setAlignment(Qt::AlignCenter);
  sourceValue_->setMinimumWidth(110);
  sourceValue_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  grid->addWidget(sourceCaption_, row, 0);
  grid->addWidget(sourceValue_, row++, 1, 1, 2);
  rows_.emplace_back(sourceCaption_, sourceValue_);
  status_ = AddValueRow(row++, te::kStatusLabel, "Status", te::kStatusValue, 0, nullptr);
  minimum_ = AddValueRow(row++, te::kMinimumLabel, texts_.minimumCaption, te::kMinimumValue,
                         te::kMinimumUnit, texts_.unit);
  maximum_ = AddValueRow(row++, te::kMaximumLabel, texts_.maximumCaption, te::kMaximumValue,
                         te::kMaximumUnit, texts_.unit);
  if (kind_ != TableKind::Curve) {
    step_ = AddValueRow(row++, te::kStepLabel, "Temperature Step", te::kStepValue, te::kStepUnit,
                        texts_.unit);
  }
  size_ = AddValueRow(row, te::kSizeLabel, "Table Size", te::kSizeValue, 0, nullptr);
  auto* note = new QLabel(QString::fromUtf8(texts_.sizeNote), this);
  SetControlId(note, te::kSizeNote);
  grid->addWidget(note, row++, 2);

  grid->setRowMinimumHeight(row++, 8);
  progressText_ = new QLabel(this);
  progressText_->setWordWrap(true);
  {
    // The window takes no input while a table moves, but its progress is read meanwhile: the
    // text keeps the enabled colour.
    QPalette palette = progressText_->palette();
    palette.setColor(QPalette::Disabled, QPalette::WindowText,
                     palette.color(QPalette::Active, QPalette::WindowText));
    progressText_->setPalette(palette);
  }
  grid->addWidget(progressText_, row++, 0, 1, 3);
  progress_ = new QProgressBar(this);
  progress_->setRange(0, 100);
  grid->addWidget(progress_, row++, 0, 1, 3);
  progressText_->hide();
  progress_->hide();

  readDevice_ = AddActionButton("Read table from Device", te::kReadDeviceButton,
                                [this] { OnReadDevice(); });
  writeDevice_ = AddActionButton("Write table to Device", te::kWriteDeviceButton,
                                 [this] { OnWriteDevice(); });
  writeFile_ = AddActionButton("Write table to File", te::kWriteFileButton,
                               [this] { OnWriteFile(); });
  // A file and the graph need no device.
  readFile_ = MakePanelButton("Read table from File", te::kReadFileButton, this);
  connect(readFile_, &QPushButton::clicked, this, [this] {
    if (!Busy()) OnReadFile();
  });
  graphButton_ = MakePanelButton(texts_.graphCaption, te::kGraphButton, this);
  connect(graphButton_, &QPushButton::clicked, this, [this] {
    if (!Busy()) OnGraph();
  });
  close_ = MakePanelButton(texts_.closeCaption, te::kCloseButton, this);
  QFont bold = close_->font();
  bold.setBold(true);
  close_->setFont(bold);
  connect(close_, &QPushButton::clicked, this, [this] { emit closeRequested(); });
  for (QPushButton* button :
       {readDevice_, writeDevice_, writeFile_, readFile_, graphButton_, close_}) {
    // Six buttons under the rows: each as tall as its caption needs, so that the panel fits
    // a short screen at a large scale.
    button->setMinimumHeight(0);
    grid->addWidget(button, row++, 0, 1, 3);
  }
  grid->setRowStretch(row, 1);
  grid->setColumnStretch(1, 1);

  graph_ = new CCustomGraph(this);
  graph_->hide();
  connect(graph_, &CCustomGraph::closeRequested, this, [this] {
    emit graphHidden(graph_);
    graphButton_->setEnabled(true);
  });
  UpdateAccessibleNames();
}

QLabel* CTableEditor::AddValueRow(int row, int captionId, const char* caption, int valueId,
                                  int unitId, const char* unit) {
  auto* grid = static_cast<QGridLayout*>(layout());
  auto* name = new QLabel(QString::fromUtf8(caption), this);
  SetControlId(name, captionId);
  QLabel* value = MakeValueLabel(valueId, this);
  value->setMinimumWidth(110);
  value->setTextInteractionFlags(Qt::TextSelectableByMouse);
  grid->addWidget(name, row, 0);
  grid->addWidget(value, row, 1);
  if (unit != nullptr) {
    auto* unitLabel = new QLabel(QString::fromUtf8(unit), this);
    SetControlId(unitLabel, unitId);
    grid->addWidget(unitLabel, row, 2);
  }
  rows_.emplace_back(name, value);
  return value;
}

void CTableEditor::UpdateAccessibleNames() {
  NameButtonsByCaption(this);
  for (const auto& [name, value] : rows_) value->setAccessibleName(name->text());
  title_->setAccessibleName(title_->text());
  heading_->setAccessibleName(heading_->text());
  progress_->setAccessibleName(progressText_->text());
}

void CTableEditor::EnableButtons() {
  const bool device = Connected();
  readDevice_->setEnabled(device);
  writeDevice_->setEnabled(device);
  // The table on screen goes to a file, wherever it came from and with or without a device.
  writeFile_->setEnabled(tablePresent_);
  readFile_->setEnabled(true);
  graphButton_->setEnabled(!graph_->isVisible());
  close_->setEnabled(true);
}

void CTableEditor::ClearValues() {
  for (const auto& row : rows_) SetShownValue(row.second, {});
}

void CTableEditor::OnConnectionChanged() {
  transfer_ = Transfer::None;
  progressText_->hide();
  progress_->hide();
  EnableButtons();
}

void CTableEditor::Show(bool visible) {
  if (visible) {
    LocaliseWindow(Layout(), this);
    UpdateAccessibleNames();
    tablePresent_ = false;
    upload_ = {};
    ClearValues();
    ForgetTable();
    ShowSourceTexts();
    EnableButtons();
  } else {
    HideGraph();
  }
  setVisible(visible);
  if (visible) close_->setFocus(Qt::OtherFocusReason);
}

void CTableEditor::HideGraph() {
  if (graph_->isVisible()) graph_->Close();
}

// ---- showing a table ---------------------------------------------------------------------

// The device's word for a table: 0 is a defined table.
QString CTableEditor::StateText(int state) {
  return state == 0 ? DisplayText("Table_Configured", "Configured")
                    : DisplayText("Table_Not_Configured", "Non configured");
}

void CTableEditor::ShowDeviceTable(const DeviceRecord& r, bool complete) {
  if (kind_ == TableKind::Curve) {
    SetShownValue(status_, StateText(r.specialCurveState));
    SetShownValue(size_, Whole(r.specialCurveSize));
    SetShownValue(minimum_, {});
    SetShownValue(maximum_, {});
    if (complete) {
      SetShownValue(minimum_, Number("%g", r.specialCurveX[0]));
      SetShownValue(maximum_, 
          Number("%g", r.specialCurveX[static_cast<std::size_t>(r.specialCurveSize - 1)]));
    }
    return;
  }
  SetShownValue(status_, StateText(r.customTableState));
  const auto minimum = static_cast<long long>(r.customTableMinimum);
  const auto step = static_cast<long long>(r.customTableStep);
  SetShownValue(minimum_, Whole(minimum));
  SetShownValue(step_, Whole(step));
  SetShownValue(size_, Whole(r.customTableSize));
  SetShownValue(maximum_, complete ? Whole(minimum + (r.customTableSize - 1LL) * step) : QString());
}

void CTableEditor::ShowFileTable() {
  const int size = file_.PointCount();
  // The device's word for its table does not describe a file's.
  SetShownValue(status_, DisplayText("Table_From_File", "From file"));
  SetShownValue(size_, Whole(size));
  if (kind_ == TableKind::Curve) {
    SetShownValue(minimum_, size > 0 ? Number("%g", ValueOf(file_.XTexts().front())) : QString());
    SetShownValue(maximum_, size > 0 ? Number("%g", ValueOf(file_.XTexts().back())) : QString());
    return;
  }
  const double minimum = ValueOf(file_.MinimumText());
  SetShownValue(minimum_, Number("%g", minimum));
  if (file_.StepSeen()) {
    SetShownValue(step_, ToQString(file_.StepText()));
    SetShownValue(maximum_, Number("%g", minimum + ValueOf(file_.StepText()) * (size - 1)));
  }
}

CTableEditor::ShownTable CTableEditor::TableOfDevice(const DeviceRecord& r, TableKind kind) {
  ShownTable table;
  if (kind == TableKind::Curve) {
    const auto size = static_cast<std::size_t>(
        std::clamp<int>(r.specialCurveSize, 0, static_cast<int>(r.specialCurveX.size())));
    table.x.assign(r.specialCurveX.begin(), r.specialCurveX.begin() + size);
    table.y.assign(r.specialCurveY.begin(), r.specialCurveY.begin() + size);
    return table;
  }
  const auto size = static_cast<std::size_t>(
      std::clamp<int>(r.customTableSize, 0, static_cast<int>(r.customTableValues.size())));
  table.minimum = r.customTableMinimum;
  table.step = r.customTableStep;
  table.x.assign(r.customTableValues.begin(), r.customTableValues.begin() + size);
  return table;
}

CTableEditor::ShownTable CTableEditor::TableOfFile() const {
  ShownTable table;
  table.minimum = ValueOf(file_.MinimumText());
  table.step = ValueOf(file_.StepText());
  for (const std::string& x : file_.XTexts()) table.x.push_back(ValueOf(x));
  for (const std::string& y : file_.YTexts()) table.y.push_back(ValueOf(y));
  return table;
}

// The device as the technician knows it: its tag, model and identification number.
QString CTableEditor::DeviceName(const DeviceRecord& r) {
  QString name = ToQString(r.tag).trimmed();
  const QString model = ToQString(r.modelName).trimmed();
  const QString id = ToQString(r.deviceIdText).trimmed();
  const QString detail = QStringList{model, id}.join(QLatin1Char(' ')).trimmed();
  if (!detail.isEmpty()) name += name.isEmpty() ? detail : QStringLiteral(" (%1)").arg(detail);
  return name;
}

void CTableEditor::TakeTable(ShownTable table, Source source, const QString& origin) {
  shown_ = std::move(table);
  source_ = source;
  origin_ = origin;
  ShowSourceTexts();
}

void CTableEditor::ForgetTable() {
  shown_ = {};
  source_ = Source::None;
  origin_.clear();
  ShowSourceTexts();
}

void CTableEditor::ShowSourceTexts() {
  sourceCaption_->setText(DisplayText("Table_Source", "Source"));
  const std::string origin = origin_.toStdString();
  switch (source_) {
    case Source::None:
      SetShownValue(sourceValue_, {});
      break;
    case Source::Device:
      SetShownValue(sourceValue_, DisplayText("Table_Source_Device", "Device %1", {origin}));
      break;
    case Source::File:
      SetShownValue(sourceValue_, DisplayText("Table_Source_File", "File %1", {origin}));
      break;
  }
  UpdateAccessibleNames();
}

// ---- transfers ---------------------------------------------------------------------------

void CTableEditor::SetProgress(const char* key) {
  progressText_->setText(ToQString(GetProgressMsg(key)));
  progress_->setAccessibleName(progressText_->text());
  progress_->setValue(0);
  progressText_->show();
  progress_->show();
}

void CTableEditor::UpdateProgress() {
  if (transfer_ == Transfer::None || GetSession() == nullptr) return;
  const bool writing = transfer_ == Transfer::Write;
  progress_->setValue(GetSession()->WithRecord(
      [&](DeviceRecord& r) { return session::TransferPercent(r, kind_, writing); }));
}

bool CTableEditor::OnWorkerMessage(const WorkerMessage& message) {
  const bool handled = COperationPanel::OnWorkerMessage(message);
  if (Busy()) UpdateProgress();
  return handled;
}

void CTableEditor::OnDone(const session::Operation& operation) {
  const Transfer transfer = std::exchange(transfer_, Transfer::None);
  progressText_->hide();
  progress_->hide();
  if (operation.Outcome().Succeeded() && GetSession() != nullptr) {
    const DeviceRecord record = GetSession()->Record();
    const int size = kind_ == TableKind::Curve ? record.specialCurveSize : record.customTableSize;
    const bool complete = size >= TableMinimumPoints && size <= LimitsOf(kind_).maximumPoints;
    if (transfer == Transfer::Read) {
      // The table read replaces the one on screen; a header without a usable table leaves
      // none. After a write the table on screen stays the one written: the device holds it.
      tablePresent_ = complete;
      upload_ = complete ? session::UploadFromDevice(record, kind_) : session::TableUpload{};
      TakeTable(complete ? TableOfDevice(record, kind_) : ShownTable{}, Source::Device,
                DeviceName(record));
    }
    ShowDeviceTable(record, complete);
  } else if (transfer == Transfer::Write && operation.EndedAt() == 0 && GetSession() != nullptr &&
             operation.Outcome().reason->Class() == session::ReasonClass::Refused) {
    // A refused header: the header was read again, the table the device kept is shown.
    ShowDeviceTable(GetSession()->Record(), false);
  }
  // A transfer that stopped (a refused request) leaves the buttons usable again; the reason
  // is shown after this.
  EnableButtons();
  if (transfer == Transfer::Write) TellWhatTheDeviceHolds(operation);
}

void CTableEditor::OnLinkLost(const session::Operation& operation) {
  // The window is off line already; OnConnectionChanged has ended the transfer.
  TellWhatTheDeviceHolds(operation);
}

void CTableEditor::TellWhatTheDeviceHolds(const session::Operation& operation) {
  const auto held = session::PartialTableWrite(operation);
  if (!held) return;
  const session::LinkHold hold = HoldLink();
  ShowUIMessage(window(), held->key, held->args, kStyleOkExclamation);
}

bool CTableEditor::Tell(const TableMessage& message) {
  const int answer = ShowUIMessage(
      this, message.key, message.args,
      message.okCancel ? kStyleOkCancelExclamation : kStyleOkExclamation, {}, message.systemModal);
  return message.okCancel && answer == kAnswerOk;
}

void CTableEditor::OnReadDevice() {
  readDevice_->setEnabled(false);
  transfer_ = Transfer::Read;
  SetProgress(texts_.readProgress);
  if (!Run(session::ReadTableChain(kind_))) OnConnectionChanged();
}

void CTableEditor::OnWriteDevice() {
  session::TableUpload upload;
  {
    // The poll waits while the technician answers; it is released before the transfer.
    const session::LinkHold hold = HoldLink();
    if (auto refusal = session::CheckDeviceTakesTable(kind_, GetSession()->Record())) {
      Tell(*refusal);
      return;
    }
    writeDevice_->setEnabled(false);
    if (ShowUIMessage(this, texts_.confirmWrite, {}, kStyleYesNoQuestion) != kAnswerYes) {
      EnableButtons();
      return;
    }
    // Without a table the size check refuses at once.
    if (tablePresent_) upload = upload_;
    const auto ask = [this](const TableMessage& question) { return Tell(question); };
    if (auto refused = session::CheckUpload(kind_, upload, ask)) {
      if (!refused->okCancel) Tell(*refused);
      EnableButtons();
      return;
    }
    // Last, once the table may go: the loop's output may move while the device rewrites the
    // table it measures with; Enter alone answers No. The bench setting turns it off.
    if (CAppSettings::StoredConfirmLoopChange() &&
        ShowUIMessage(this, "Confr_Loop_Table_Write", {},
                      kStyleYesNoQuestion | kStyleDefaultSecond) != kAnswerYes) {
      EnableButtons();
      return;
    }
  }
  transfer_ = Transfer::Write;
  SetProgress(texts_.writeProgress);
  if (!Run(session::WriteTableChain(kind_, std::move(upload)))) OnConnectionChanged();
}

void CTableEditor::OnWriteFile() {
  // The table on screen, as it is shown: the file's points after a file was read, the
  // device's after a device read or write.
  if (!tablePresent_) return;
  QString path;
  {
    const session::LinkHold hold = HoldLink();
    path = fileDialog_(this, true, writeFile_->text(), FileDialogFilter());
  }
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".txt");
  const CFileOperations writer;
  const std::string target = path.toStdString();
  const auto failure =
      kind_ == TableKind::Curve
          ? writer.WriteSpecialCurve(target, CommentHeader(kind_), shown_.x, shown_.y)
          : writer.WriteCustomTable(target, CommentHeader(kind_), LimitsOf(kind_).word,
                                    shown_.minimum, shown_.step, shown_.x);
  if (failure) {
    const session::LinkHold hold = HoldLink();
    ShowFileWriteError(this, path, *failure);
  }
}

void CTableEditor::OnReadFile() {
  const session::LinkHold hold = HoldLink();
  const QString path =
      fileDialog_(this, false, readFile_->text(), FileDialogFilter());
  if (path.isEmpty()) return;
  tablePresent_ = false;
  upload_ = {};
  file_.Prepare(kind_);
  const auto ask = [this](const TableMessage& question) { return Tell(question); };
  const TableReadOutcome outcome =
      kind_ == TableKind::Curve ? file_.ReadSpecialCurve(path.toStdString(), ask)
                                : file_.ReadCustomTable(path.toStdString(), kind_, ask);
  if (outcome.message) Tell(*outcome.message);
  if (!outcome.abandoned) {
    ShowFileTable();
    tablePresent_ = outcome.loaded;
    if (tablePresent_) {
      upload_ = session::UploadFromFile(file_);
      TakeTable(TableOfFile(), Source::File, QFileInfo(path).fileName());
    } else {
      ForgetTable();
    }
  }
  EnableButtons();
}

void CTableEditor::OnGraph() {
  if (!tablePresent_ || upload_.Size() == 0) return;
  std::vector<double> across;
  std::vector<double> values;
  graph::Range acrossRange;
  if (kind_ == TableKind::Curve) {
    for (const std::string& x : upload_.x) across.push_back(ValueOf(x));
    for (const std::string& y : upload_.y) values.push_back(ValueOf(y));
    const auto [low, high] = std::minmax_element(across.begin(), across.end());
    acrossRange = {*low, *high};
  } else {
    const long long step = ReadCInteger(upload_.stepText);
    if (step < 1 || step > 50) {
      const session::LinkHold hold = HoldLink();
      ShowUIMessage(this, "Err_Temp_Step", {upload_.stepText}, kStyleOkExclamation);
      return;
    }
    const double minimum = ValueOf(upload_.minimumText);
    for (int i = 0; i < upload_.Size(); ++i) {
      values.push_back(ValueOf(upload_.x[static_cast<std::size_t>(i)]));
      across.push_back(static_cast<double>(step) * i + minimum);
    }
    acrossRange = {minimum, minimum + static_cast<double>(step) * (upload_.Size() - 1)};
  }
  const auto [low, high] = std::minmax_element(values.begin(), values.end());
  const std::string prefix = texts_.graphPrefix;
  const auto text = [&](const char* name) { return ToQString(GetUIMsg(prefix + name)); };
  graph_->SetTexts(text("_Table_Name"), text("_Table_Y_Unit"), text("_Table_X_Name"),
                   text("_Table_Y_Name"));
  graph_->SetGraph(across, values, acrossRange, {*low, *high});
  graph_->Show(true);
  emit graphShown(graph_);
  graphButton_->setEnabled(false);
}

}  // namespace va5
