#include "gui/JobRecordDialog.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>
#include <optional>
#include <string>

#include "base/NumberText.h"
#include "gui/JobKeeper.h"
#include "gui/Localise.h"
#include "gui/MessageBox.h"
#include "gui/report/JobReportPdf.h"
#include "lang/EntryRules.h"
#include "session/JobRecord.h"

namespace va5 {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

QString Number(const std::optional<double>& value, int decimals) {
  return value ? Q(FormatFixed(*value, decimals)) : QString();
}

QString ResultText(const session::JobOutcome& outcome) {
  switch (outcome.result) {
    case session::JobResult::Done:
      return DisplayText("Job_Result_Done", "done");
    case session::JobResult::Refused:
      return DisplayText("Job_Result_Refused", "refused") + QStringLiteral(" (") +
             DisplayText("Job_Response_Code", "response code %1: %2",
                         {std::to_string(outcome.responseCode), outcome.detail}) +
             QLatin1Char(')');
    case session::JobResult::NotConfirmed:
      break;
  }
  return DisplayText("Job_Result_Not_Confirmed", "not confirmed") + QStringLiteral(" (") +
         Q(outcome.detail) + QLatin1Char(')');
}

// A file name out of the device's tag: letters, digits and dashes only.
QString FileStem(const session::JobRecord& job) {
  QString tag = Q(job.device.tag).trimmed();
  for (QChar& c : tag) {
    if (!c.isLetterOrNumber() && c != QLatin1Char('-')) c = QLatin1Char('_');
  }
  return QStringLiteral("job-") + (tag.isEmpty() ? QStringLiteral("device") : tag) +
         QLatin1Char('-') +
         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

}  // namespace

CJobRecordDialog::CJobRecordDialog(CJobKeeper& keeper, QWidget* parent)
    : QDialog(parent), keeper_(keeper) {
  setWindowTitle(DisplayText("Job_Report_Title", "Job Record"));
  auto* layout = new QVBoxLayout(this);
  identity_ = new QLabel(this);
  identity_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(identity_);

  table_ = new QTableWidget(0, kColumnCount, this);
  table_->setHorizontalHeaderLabels(
      {DisplayText("Job_Time", "Time (UTC)"), DisplayText("Job_Setting", "Setting"),
       DisplayText("Job_Before", "Before"), DisplayText("Job_Requested", "Requested"),
       DisplayText("Job_Answered", "Answered"), DisplayText("Job_Result", "Result")});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setAccessibleName(DisplayText("Job_Writes", "Writes"));
  layout->addWidget(table_, 1);

  const CJobKeeper::Footer& footer = keeper_.GetFooter();
  auto* form = new QFormLayout;
  technician_ = new QLineEdit(footer.technician, this);
  instrument_ = new QLineEdit(footer.instrument, this);
  tolerance_ = new QLineEdit(Q(FormatCNumber("%g", footer.tolerance)), this);
  notes_ = new QPlainTextEdit(footer.notes, this);
  notes_->setTabChangesFocus(true);
  notes_->setFixedHeight(notes_->fontMetrics().lineSpacing() * 4 + 12);
  const auto addRow = [&](const QString& caption, QWidget* field) {
    form->addRow(caption, field);
    field->setAccessibleName(caption);
  };
  addRow(DisplayText("Job_Technician", "Technician"), technician_);
  addRow(DisplayText("Job_Reference_Instrument", "Reference instrument"), instrument_);
  addRow(DisplayText("Job_Tolerance", "Trim tolerance (percent of span)"), tolerance_);
  addRow(DisplayText("Job_Notes", "Notes"), notes_);
  layout->addLayout(form);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  save_ = new QPushButton(DisplayText("Job_Save", "&Save..."), this);
  close_ = new QPushButton(DisplayText("Job_Close", "Close"), this);
  buttons->addWidget(save_);
  buttons->addWidget(close_);
  layout->addLayout(buttons);
  connect(save_, &QPushButton::clicked, this, &CJobRecordDialog::Save);
  connect(close_, &QPushButton::clicked, this, &QDialog::reject);
  // What was typed stays for the next time, whichever way the dialog closes.
  connect(this, &QDialog::finished, this, [this] {
    CJobKeeper::Footer& kept = keeper_.GetFooter();
    kept.technician = technician_->text();
    kept.instrument = instrument_->text();
    kept.notes = notes_->toPlainText();
  });

  Refresh();
  resize(sizeHint().expandedTo(QSize(760, 480)));
}

void CJobRecordDialog::AddRow(const QStringList& cells) {
  const int row = table_->rowCount();
  table_->insertRow(row);
  for (int column = 0; column < cells.size() && column < kColumnCount; ++column) {
    table_->setItem(row, column, new QTableWidgetItem(cells[column]));
  }
}

void CJobRecordDialog::Refresh() {
  const session::JobRecord job = keeper_.Job();
  const session::JobDevice& d = job.device;
  // Nothing to save before a device has been read.
  save_->setEnabled(!d.Key().empty());
  if (d.Key().empty()) {
    identity_->setText(DisplayText("Job_None", "none"));
  } else {
    identity_->setText(
        DisplayText("Job_Model", "Model") + QStringLiteral(": ") + Q(d.model) +
        QStringLiteral("   ") + DisplayText("Job_Device_ID", "Device ID") + QStringLiteral(": ") +
        Q(d.deviceId) + QStringLiteral("   ") + DisplayText("Job_Tag", "Tag") +
        QStringLiteral(": ") + Q(d.tag) + QStringLiteral("   ") + DisplayText("Job_Port", "Port") +
        QStringLiteral(": ") + Q(d.port) + QLatin1Char('\n') +
        DisplayText("Job_Opened", "Opened (UTC)") + QStringLiteral(": ") + Q(job.opened) +
        QStringLiteral("   ") + DisplayText("Job_Closed", "Closed (UTC)") + QStringLiteral(": ") +
        (job.closed.empty() ? DisplayText("Job_Still_Open", "not closed") : Q(job.closed)));
  }
  table_->setRowCount(0);
  for (const session::JobWrite& w : job.writes) {
    AddRow({Q(w.time), Q(w.setting), Q(w.before), Q(w.requested), Q(w.answered),
            ResultText(w.outcome)});
  }
  // A trim: the reading before, the reference entered, the reading after.
  for (const session::JobTrim& t : job.trims) {
    const QString unit = QLatin1Char(' ') + Q(t.unit);
    AddRow({Q(t.time), Q(t.kind), t.before ? Number(t.before, 4) + unit : QString(),
            t.reference ? Number(t.reference, 4) + unit : QString(),
            t.after ? Number(t.after, 4) + unit : QString(), ResultText(t.outcome)});
  }
  for (const session::JobCurrentCheck& c : job.currents) {
    AddRow({Q(c.time), DisplayText("Job_Currents", "Fixed current"), QString(),
            Q(c.requested) + QStringLiteral(" mA"),
            c.reading ? Number(c.reading, 3) + QStringLiteral(" mA") : QString(),
            ResultText(c.outcome)});
  }
  for (const session::JobSelfTest& s : job.selfTests) {
    const QString verdict = s.outcome.result != session::JobResult::Done
                                ? QString()
                                : (s.passed ? DisplayText("Job_Self_Test_Passed", "passed")
                                            : DisplayText("Job_Self_Test_Failed", "EEPROM error"));
    AddRow({Q(s.time), DisplayText("Job_Self_Tests", "Self test"), QString(), QString(), verdict,
            ResultText(s.outcome)});
  }
  for (const session::JobTableWrite& t : job.tables) {
    AddRow({Q(t.time), Q(t.table), QString(),
            QString::number(t.points) + QLatin1Char(' ') + DisplayText("Job_Points", "Points") +
                QStringLiteral(" (") + QFileInfo(Q(t.source)).fileName() + QLatin1Char(')'),
            Q(t.checksum), ResultText(t.outcome)});
  }
  table_->resizeColumnsToContents();
}

bool CJobRecordDialog::TakeFooter() {
  const std::optional<double> tolerance = ParseEntryNumber(tolerance_->text().toStdString());
  if (!tolerance || !std::isfinite(*tolerance) || *tolerance <= 0) {
    ShowUIMessage(this, "Err_Range_Input");
    tolerance_->setFocus();
    tolerance_->selectAll();
    return false;
  }
  CJobKeeper::Footer& footer = keeper_.GetFooter();
  footer.technician = technician_->text();
  footer.instrument = instrument_->text();
  footer.notes = notes_->toPlainText();
  footer.tolerance = *tolerance;
  return true;
}

QString CJobRecordDialog::AskPath(const QString& caption, const QString& suggested,
                                  const QString& filter, const QString& suffix) {
  QString path = keeper_.GetSaveDialog()(this, caption, suggested, filter);
  if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty()) path += QLatin1Char('.') + suffix;
  return path;
}

bool CJobRecordDialog::Save() {
  if (!TakeFooter()) return false;
  keeper_.RememberTechnician();
  // The configuration as left is read before the technician is asked where to put it, so
  // that what is saved is what the device holds when they leave it.
  keeper_.CloseJob();
  Refresh();
  const session::JobRecord job = keeper_.JobWithFooter();

  QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (folder.isEmpty()) folder = QDir::homePath();
  const QString stem = QDir(folder).filePath(FileStem(job));
  QString caption = save_->text().remove(QLatin1Char('&'));
  if (caption.endsWith(QStringLiteral("..."))) caption.chop(3);
  const QString jsonPath =
      AskPath(caption, stem + QStringLiteral(".json"),
              DisplayText("Job_Record_Files", "Job Records") + QStringLiteral(" (*.json)"),
              QStringLiteral("json"));
  if (jsonPath.isEmpty()) return false;
  if (const auto error = session::SaveJob(job, jsonPath.toStdString())) {
    ShowFileWriteError(this, jsonPath, *error);
    return false;
  }
  keeper_.MarkSaved();

  const QFileInfo saved(jsonPath);
  const QString pdfPath =
      AskPath(caption, saved.dir().filePath(saved.completeBaseName() + QStringLiteral(".pdf")),
              DisplayText("Job_Pdf_Files", "PDF Files") + QStringLiteral(" (*.pdf)"),
              QStringLiteral("pdf"));
  if (!pdfPath.isEmpty()) {
    JobReportOptions options;
    options.tolerance = keeper_.GetFooter().tolerance;
    options.programVersion = QStringLiteral(VA5VIVI_VERSION);
    const QString error = WriteJobReportPdf(job, pdfPath, options);
    if (!error.isEmpty()) ShowFileWriteError(this, pdfPath, error.toStdString());
  }
  accept();
  return true;
}

}  // namespace va5
