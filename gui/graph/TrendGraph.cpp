#include "gui/graph/TrendGraph.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QImage>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <chrono>

#include "base/NumberText.h"
#include "gui/LblColor.h"
#include "gui/Localise.h"
#include "gui/MessageBox.h"
#include "gui/graph/LineGraph.h"
#include "lang/ControlIds.h"
#include "lang/ResourceDatabase.h"
#include "session/LiveValues.h"

namespace va5 {

namespace ids_tg = ids::trend_graph;

namespace {

std::int64_t SteadyMilliseconds() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QString DefaultSaveDialog(QWidget* parent, const QString& caption, const QString& suggested,
                          const QString& filter) {
  return QFileDialog::getSaveFileName(parent, caption, suggested, filter);
}

// A CSV field, quoted when it holds a separator, a quote or a line break.
QByteArray CsvField(const QString& text) {
  QByteArray field = text.toUtf8();
  if (field.contains(',') || field.contains('"') || field.contains('\n') || field.contains('\r')) {
    field.replace("\"", "\"\"");
    field = '"' + field + '"';
  }
  return field;
}

}  // namespace

CTrendGraph::CTrendGraph(QWidget* parent)
    : CPanel(ids_tg::kLayout, 0, parent),
      saveDialog_(DefaultSaveDialog),
      clock_(SteadyMilliseconds) {
  Build();
}

CTrendGraph::~CTrendGraph() = default;

void CTrendGraph::Build() {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(6, 6, 6, 6);
  column->setSpacing(6);

  title_ = MakePanelCaption("Trend Graph", ids_tg::kTitle, this);
  column->addWidget(title_);

  graph_ = new CLineGraph(this);
  SetControlId(graph_, ids_tg::kPlot);
  column->addWidget(graph_, 1);

  start_ = MakePanelButton("Start", ids_tg::kStartButton, this);
  stop_ = MakePanelButton("Stop", ids_tg::kStopButton, this);
  saveCsv_ = MakePanelButton("Save CSV...", kSaveCsvButton, this);
  savePicture_ = MakePanelButton("Save Picture...", kSavePictureButton, this);
  close_ = MakePanelButton("Close Trend Graph", ids_tg::kCloseButton, this);
  auto* buttons = new QGridLayout;
  buttons->setHorizontalSpacing(6);
  buttons->addWidget(start_, 0, 0);
  buttons->addWidget(stop_, 0, 1);
  buttons->addWidget(saveCsv_, 0, 2);
  buttons->addWidget(savePicture_, 0, 3);
  buttons->addWidget(close_, 1, 2, 1, 2);
  column->addLayout(buttons);

  connect(start_, &QPushButton::clicked, this, &CTrendGraph::Start);
  connect(stop_, &QPushButton::clicked, this, &CTrendGraph::Stop);
  connect(saveCsv_, &QPushButton::clicked, this, &CTrendGraph::OnSaveCsv);
  connect(savePicture_, &QPushButton::clicked, this, &CTrendGraph::OnSavePicture);
  connect(close_, &QPushButton::clicked, this, &CTrendGraph::Close);
  UpdateSaveButtons();
  UpdateAccessibleNames();
}

QPushButton* CTrendGraph::Button(int controlId) const {
  for (QPushButton* button : {start_, stop_, saveCsv_, savePicture_, close_}) {
    if (ControlId(button) == controlId) return button;
  }
  return nullptr;
}

void CTrendGraph::UpdateAccessibleNames() {
  NameButtonsByCaption(this);
  title_->setAccessibleName(title_->text());
  graph_->setAccessibleName(name_.isEmpty() ? title_->text()
                                            : name_ + QLatin1Char(' ') + UnitText());
}

void CTrendGraph::UpdateSaveButtons() {
  const bool any = graph_->Series().Size() > 0;
  saveCsv_->setEnabled(any);
  savePicture_->setEnabled(any);
}

QString CTrendGraph::UnitText() const {
  // The PV and terminal units can change while the graph is open; they come from the sensor
  // panel's present names.
  if (signal_ == kPv && !pvUnit_.isEmpty()) return QLatin1Char('(') + pvUnit_ + QLatin1Char(')');
  if (signal_ == kTerminal && !terminalUnit_.isEmpty()) {
    return QLatin1Char('(') + terminalUnit_ + QLatin1Char(')');
  }
  return unit_;
}

void CTrendGraph::RefreshTexts() {
  graph_->SetTexts(UnitText(), name_, DisplayText("Graph_Time_Axis", "(Sec)"));
}

void CTrendGraph::SetUnits(const QString& pvUnit, const QString& terminalUnit) {
  pvUnit_ = pvUnit;
  terminalUnit_ = terminalUnit;
  RefreshTexts();
}

void CTrendGraph::Open(int signal, const QString& title) {
  signal_ = signal >= kPv && signal <= kLoopCurrent ? signal : kNone;
  // "PV (degC)": the caption, then the unit in parentheses.
  const qsizetype open = title.lastIndexOf(QStringLiteral(" ("));
  if (open >= 0 && title.endsWith(QLatin1Char(')'))) {
    name_ = title.left(open);
    unit_ = title.mid(open + 1);
  } else {
    name_ = title;
    unit_.clear();
  }
  // A curve of an earlier selection would be shown, and saved, under this signal's name.
  graph_->Series().Clear();
  graph_->SetRanges({0.0, 1.0}, {0.0, 0.1});
  graph_->ClearPlot();
  Show(true);
}

void CTrendGraph::Show(bool visible) {
  running_ = false;
  rescalePending_ = true;
  if (visible) {
    LocaliseWindow(Layout(), this);
    RefreshTexts();
    UpdateAccessibleNames();
    start_->setEnabled(true);
    UpdateSaveButtons();
  }
  setVisible(visible);
  if (visible) start_->setFocus();
}

void CTrendGraph::Start() {
  start_->setEnabled(false);
  stop_->setFocus();
  graph_->Series().Clear();
  graph_->SetRanges({0.0, 1.0}, {0.0, 0.1});
  graph_->ClearPlot();
  RefreshTexts();
  startTick_.reset();
  running_ = true;
  UpdateSaveButtons();
}

void CTrendGraph::Stop() {
  start_->setEnabled(true);
  running_ = false;
  rescalePending_ = true;
}

void CTrendGraph::Close() {
  signal_ = kNone;
  name_.clear();
  unit_.clear();
  Show(false);
  emit closeRequested();
}

void CTrendGraph::OnPoll(const session::LiveValues& live) {
  if (!running_) return;
  switch (signal_) {
    case kPv:
      AddSample(live.pv);
      break;
    case kPercent:
      AddSample(live.percent);
      break;
    case kTerminal:
      AddSample(live.terminalTemperature);
      break;
    case kLoopCurrent:
      AddSample(live.loopCurrent);
      break;
    default:
      break;
  }
}

void CTrendGraph::AddSample(double value) {
  if (!running_) return;
  const std::int64_t now = clock_();
  lastTick_ = now;
  // Time zero is the first sample of the run, not the press of Start.
  if (!startTick_) {
    startTick_ = now;
    runTag_ = tag_;
    runDate_ = QDateTime::currentDateTime();
  }
  graph::SampleSeries& series = graph_->Series();
  series.Append(static_cast<double>(now - *startTick_) / 1000.0, value);
  if (series.Size() == 1) UpdateSaveButtons();
  if (series.Size() < 2) return;  // the first sample is not drawn
  PlotSamples();
}

void CTrendGraph::PlotSamples() {
  const graph::SampleSeries& series = graph_->Series();
  graph::Range x = graph_->XRange();
  graph::Range y = graph_->YRange();
  if (rescalePending_) {
    // Fitted to the data once; only finite values count.
    x = {series.TimeExtremes().smallest, series.TimeExtremes().largest};
    if (series.ValueExtremes().any) {
      y = {series.ValueExtremes().smallest, series.ValueExtremes().largest};
    }
    rescalePending_ = false;
  }
  if (y.max <= y.min) y.min -= y.min / 10;
  if (x.max <= x.min) x.min -= x.min / 10;
  x = graph::GrowTimeAxis(x, series.TimeExtremes().largest);
  y = graph::GrowValueAxis(y, series.ValueExtremes());
  graph_->SetRanges(x, y);
  RefreshTexts();
  graph_->Plot();
}

// ---- saving --------------------------------------------------------------------------------

QByteArray CTrendGraph::CsvText() const {
  const graph::SampleSeries& series = graph_->Series();
  QByteArray text;
  text.reserve(static_cast<qsizetype>(series.Size() * 24 + 64));
  QString valueHeader = name_.isEmpty() ? QStringLiteral("Value") : name_;
  const QString unit = UnitText();
  if (!unit.isEmpty()) valueHeader += QLatin1Char(' ') + unit;
  QString unitName = unit;
  if (unitName.startsWith(QLatin1Char('(')) && unitName.endsWith(QLatin1Char(')'))) {
    unitName = unitName.mid(1, unitName.size() - 2);
  }
  const QString date = runDate_.isValid()
                           ? runDate_.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                           : QString();
  text += "Date," + CsvField(date) + "\r\n";
  text += "Tag," + CsvField(runTag_) + "\r\n";
  text += "Unit," + CsvField(unitName) + "\r\n";
  text += "Time (s)," + CsvField(valueHeader) + "\r\n";
  const std::vector<double>& times = series.Times();
  const std::vector<double>& values = series.Values();
  for (std::size_t i = 0; i < times.size(); ++i) {
    text += FormatFixed(times[i], 3).c_str();
    text += ',';
    text += FormatFixed(values[i], 6).c_str();
    text += "\r\n";
  }
  return text;
}

bool CTrendGraph::WriteFile(const QString& path, const QByteArray& bytes) {
  // Written beside the target and renamed over it, so a failure leaves the old file.
  QSaveFile file(path);
  QString error;
  if (!file.open(QIODevice::WriteOnly)) {
    error = file.errorString();
  } else if (file.write(bytes) != bytes.size()) {
    error = file.errorString();
    file.cancelWriting();
  } else if (!file.commit()) {
    error = file.errorString();
  }
  if (error.isEmpty()) return true;
  ShowFileWriteError(this, path, error.toStdString());
  return false;
}

bool CTrendGraph::SaveCsv(const QString& path) { return WriteFile(path, CsvText()); }

bool CTrendGraph::SavePicture(const QString& path) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!graph_->grab().toImage().save(&buffer, "PNG")) bytes.clear();
  return WriteFile(path, bytes);
}

QString CTrendGraph::SuggestedPath(const QString& suffix) const {
  QString folder = lastFolder_;
  if (folder.isEmpty())
    folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (folder.isEmpty()) folder = QDir::homePath();
  QString name;
  for (const QChar c : name_) {
    if (c.isLetterOrNumber()) name += c;
  }
  if (name.isEmpty()) name = QStringLiteral("trend");
  const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
  return QDir(folder).filePath(QStringLiteral("trend-") + name + QLatin1Char('-') + stamp + suffix);
}

void CTrendGraph::OnSaveCsv() {
  QString path = saveDialog_(this, saveCsv_->text().remove(QLatin1Char('&')),
                             SuggestedPath(QStringLiteral(".csv")),
                             QStringLiteral("CSV (*.csv);;All files (*)"));
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".csv");
  lastFolder_ = QFileInfo(path).absolutePath();
  SaveCsv(path);
}

void CTrendGraph::OnSavePicture() {
  QString path = saveDialog_(this, savePicture_->text().remove(QLatin1Char('&')),
                             SuggestedPath(QStringLiteral(".png")),
                             QStringLiteral("PNG (*.png);;All files (*)"));
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".png");
  lastFolder_ = QFileInfo(path).absolutePath();
  SavePicture(path);
}

}  // namespace va5
