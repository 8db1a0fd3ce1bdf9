#include "gui/TrafficMonitor.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>
#include <string_view>
#include <utility>

#include "comm/ResultTexts.h"
#include "comm/StatusBits.h"
#include "comm/TrafficCapture.h"
#include "gui/Localise.h"
#include "gui/MessageBox.h"
#include "gui/ScreenFit.h"

// A row keeps the event it shows, so that it can be described again and saved.
Q_DECLARE_METATYPE(va5::TraceEvent)

namespace va5 {

namespace {

constexpr int kFlushIntervalMs = 100;
// What the time column's item keeps of its row: the link's event and when it happened
// (microseconds since the epoch), so that the row can be described again and saved.
constexpr int kEventRole = Qt::UserRole;
constexpr int kTimeRole = Qt::UserRole + 1;
constexpr int kRetryRole = Qt::UserRole + 2;  // the same request again after a failure

QString DefaultSaveDialog(QWidget* parent, const QString& caption, const QString& suggested,
                          const QString& filter) {
  return QFileDialog::getSaveFileName(parent, caption, suggested, filter);
}

QString Arg(long long value) { return QString::number(value); }

QString Hex(const std::uint8_t* begin, const std::uint8_t* end) {
  QStringList bytes;
  for (const std::uint8_t* p = begin; p != end; ++p) {
    bytes << QStringLiteral("%1").arg(*p, 2, 16, QLatin1Char('0')).toUpper();
  }
  return bytes.join(QLatin1Char(' '));
}

// The second status byte of a reply.
QString DeviceStatusText(std::uint8_t status) {
  QStringList set;
  for (const StatusBit& bit : DeviceStatusBits) {
    if ((status & bit.mask) != 0) set << QString::fromUtf8(bit.meaning);
  }
  const QString bits = set.join(QStringLiteral(", "));
  return QStringLiteral("%1: ").arg(status, 2, 16, QLatin1Char('0')).toUpper() +
         (bits.isEmpty() ? QStringLiteral("none") : bits);
}

// The first status byte of a reply: a response code, or communication errors when bit 7 is set.
QString ResponseText(std::uint8_t code, int command) {
  QString text = QStringLiteral("%1: ").arg(code, 2, 16, QLatin1Char('0')).toUpper() +
                 QString::fromUtf8(ResponseCodeText(code, command));
  if ((code & CommErrorFlag) != 0) {
    const std::string bits = CommErrorBitsText(code);
    if (!bits.empty())
      text += QStringLiteral(" (") + QString::fromStdString(bits) + QLatin1Char(')');
  }
  return text;
}

struct Row {
  QString direction;
  QString address;
  QString command;
  QString commandName;
  QString byteCount;
  QString response;
  QString status;
  QString data;
};

// A frame from its delimiter on: the address, command, byte count and, for a reply, its two
// status bytes. Whatever does not fit the layout is shown as bytes.
void DecodeFrame(const TracedFrame& t, Row& row) {
  const std::uint8_t* frame = t.frame.data();
  row.data = Hex(frame + t.dataBegin, frame + t.dataEnd);
  if (!t.hasHeader) return;
  row.address = t.longAddress ? DisplayText("Traffic_Address_Long", "long %1",
                                            {Hex(t.address, t.address + 5).toStdString()})
                              : DisplayText("Traffic_Address_Polling", "polling %1",
                                            {Arg(t.address[0]).toStdString()});
  row.command = QString::number(t.command);
  row.commandName = QString::fromUtf8(CommandName(t.command));
  row.byteCount = QString::number(t.byteCount);
  if (t.responseCode >= 0) {
    row.response = ResponseText(static_cast<std::uint8_t>(t.responseCode), t.command);
    row.status = DeviceStatusText(static_cast<std::uint8_t>(t.deviceStatus));
  }
}

// What arrived before a receive gave up, and why it was not taken.
void DescribeFailedReceive(const TraceEvent& event, Row& row) {
  const TracedFrame frame = DecodeTracedFrame(event.bytes, true);
  DecodeFrame(frame, row);
  const QString note =
      event.bytes.empty() ? DisplayText("Traffic_No_Reply", "no reply")
      : frame.checksumWrong
          ? DisplayText("Traffic_Checksum_Error", "checksum error")
          : DisplayText("Traffic_Bad_Reply", "not accepted: garbled, cut short or late");
  row.response = note + (row.response.isEmpty() ? QString() : QStringLiteral("; ") + row.response);
}

Row Describe(const TraceEvent& event, bool retry) {
  Row row;
  // Nothing received is an event of the link, not a reply.
  const bool replyBytes = !event.bytes.empty();
  switch (event.kind) {
    case TraceKind::Sent:
      row.direction = DisplayText("Traffic_Request", "Request");
      DecodeFrame(DecodeTracedFrame(event.bytes, false), row);
      if (retry) row.response = DisplayText("Traffic_Retry", "retry");
      break;
    case TraceKind::Received:
      row.direction =
          replyBytes ? DisplayText("Traffic_Reply", "Reply") : DisplayText("Traffic_Link", "Link");
      DecodeFrame(DecodeTracedFrame(event.bytes, true), row);
      if (event.commError) {
        row.response = QString::fromUtf8(TraceCommErrorNote.data(),
                                         static_cast<qsizetype>(TraceCommErrorNote.size())) +
                       (row.response.isEmpty() ? QString() : QStringLiteral("; ") + row.response);
      }
      break;
    case TraceKind::ReceiveFailed:
      row.direction =
          replyBytes ? DisplayText("Traffic_Reply", "Reply") : DisplayText("Traffic_Link", "Link");
      DescribeFailedReceive(event, row);
      break;
    case TraceKind::Answer:
      row.direction = DisplayText("Traffic_Link", "Link");
      row.response = event.retry
                         ? DisplayText("Traffic_Answer_Retry", "failure answered: retry")
                         : DisplayText("Traffic_Answer_Give_Up", "failure answered: give up");
      break;
    case TraceKind::Skipped: {
      const std::string_view why = SkipReasonText(event.skipped);
      row.direction = DisplayText("Traffic_Link", "Link");
      row.response = DisplayText("Traffic_Skipped", "skipped bytes") + QStringLiteral(" (") +
                     QString::fromUtf8(why.data(), static_cast<qsizetype>(why.size())) +
                     QLatin1Char(')');
      row.data = Hex(event.bytes.data(), event.bytes.data() + event.bytes.size());
      break;
    }
    case TraceKind::SendTimeout:
      row.direction = DisplayText("Traffic_Link", "Link");
      row.response =
          DisplayText("Traffic_Send_Timeout", "send time-out: the carrier never dropped");
      break;
    case TraceKind::ReceiveTimeout:
      row.direction = DisplayText("Traffic_Link", "Link");
      row.response = DisplayText("Traffic_Receive_Timeout", "receive time-out after %1 ms",
                                 {std::to_string(event.elapsedMs)});
      break;
    case TraceKind::LinkEvent: {
      // The trace's own words ("Link: port opened again"), without the line's end.
      std::string line = FormatTraceLine(event);
      if (!line.empty() && line.back() == '\n') line.pop_back();
      row.direction = DisplayText("Traffic_Link", "Link");
      row.response = QString::fromStdString(line);
      break;
    }
  }
  return row;
}

}  // namespace

CTrafficMonitor::CTrafficMonitor(QWidget* parent)
    : QWidget(parent, Qt::Window),
      queue_(std::make_shared<Queue>()),
      saveDialog_(DefaultSaveDialog) {
  table_ = new QTableWidget(0, kColumnCount, this);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->verticalHeader()->setVisible(false);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setWordWrap(false);
  table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);

  pause_ = new QPushButton(this);
  pause_->setCheckable(true);
  clear_ = new QPushButton(this);
  copy_ = new QPushButton(this);
  save_ = new QPushButton(this);
  filterCaption_ = new QLabel(this);
  filter_ = new QLineEdit(this);
  filter_->setClearButtonEnabled(true);
  // A command number: nothing else can be typed.
  filter_->setValidator(new QIntValidator(0, 255, filter_));
  filterCaption_->setBuddy(filter_);
  droppedLabel_ = new QLabel(this);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(pause_);
  buttons->addWidget(clear_);
  buttons->addWidget(copy_);
  buttons->addWidget(save_);
  buttons->addSpacing(fontMetrics().averageCharWidth() * 2);
  buttons->addWidget(filterCaption_);
  buttons->addWidget(filter_);
  buttons->addWidget(droppedLabel_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(table_, 1);

  timer_ = new QTimer(this);
  timer_->setInterval(kFlushIntervalMs);
  connect(timer_, &QTimer::timeout, this, &CTrafficMonitor::Flush);
  connect(pause_, &QPushButton::toggled, this, &CTrafficMonitor::SetPaused);
  connect(clear_, &QPushButton::clicked, this, &CTrafficMonitor::ClearRows);
  connect(copy_, &QPushButton::clicked, this, &CTrafficMonitor::CopySelection);
  connect(save_, &QPushButton::clicked, this, &CTrafficMonitor::OnSaveCapture);
  connect(filter_, &QLineEdit::textChanged, this, &CTrafficMonitor::ApplyFilter);
  ReloadLanguage();
  // Wide enough for a frame's data column where the screen has room; never wider than it.
  resize(FittedSize(QSize(fontMetrics().averageCharWidth() * 220, fontMetrics().height() * 30),
                    AvailableScreenArea(this), FrameOf(this)));
  KeepOnScreen(this);
}

void CTrafficMonitor::ReloadLanguage() {
  setWindowTitle(DisplayText("Traffic_Title", "Traffic Monitor"));
  setAccessibleName(windowTitle());
  table_->setHorizontalHeaderLabels({
      DisplayText("Traffic_Column_Time", "Time"),
      DisplayText("Traffic_Column_Direction", "Direction"),
      DisplayText("Traffic_Column_Address", "Address"),
      DisplayText("Traffic_Column_Command", "Command"),
      DisplayText("Traffic_Column_Command_Name", "Command name"),
      DisplayText("Traffic_Column_Bytes", "Bytes"),
      DisplayText("Traffic_Column_Response", "Response"),
      DisplayText("Traffic_Column_Status", "Device status"),
      DisplayText("Traffic_Column_Data", "Data"),
  });
  table_->setAccessibleName(DisplayText("Traffic_Frames", "Frames"));
  pause_->setText(DisplayText("Traffic_Pause", "Pause"));
  clear_->setText(DisplayText("Traffic_Clear", "Clear"));
  copy_->setText(DisplayText("Traffic_Copy", "Copy"));
  save_->setText(DisplayText("Traffic_Save_Capture", "Save Capture..."));
  save_->setToolTip(DisplayText(
      "Traffic_Save_Capture_Tip",
      "Saves the frames of the rows shown (the command filter applies) as a capture file "
      "(pcap) that Wireshark reads"));
  NameButtonsByCaption(this);
  filterCaption_->setText(DisplayText("Traffic_Command_Filter", "Command:"));
  // The edit is named after its caption, without the colon.
  QString filterName = filterCaption_->text();
  while (filterName.endsWith(QLatin1Char(':')) || filterName.endsWith(QChar(u'：'))) {
    filterName.chop(1);
  }
  filter_->setAccessibleName(filterName.trimmed());
  filter_->setPlaceholderText(DisplayText("Traffic_Command_Filter_All", "all"));
  droppedLabel_->setAccessibleName(DisplayText("Traffic_Dropped_Name", "Dropped while paused"));
  UpdateDropped();
  SetColumnWidths();
  table_->setUpdatesEnabled(false);
  for (int row = 0; row < table_->rowCount(); ++row) {
    DescribeRow(row, table_->item(row, kTimeColumn)->data(kEventRole).value<TraceEvent>());
  }
  table_->setUpdatesEnabled(true);
}

void CTrafficMonitor::SetColumnWidths() {
  // Widths for the usual contents or the header, whichever is wider; the columns stay
  // resizable.
  const QFontMetrics cells = table_->fontMetrics();
  const QFontMetrics headers = table_->horizontalHeader()->fontMetrics();
  const std::pair<int, QString> widths[] = {
      {kTimeColumn, QStringLiteral("00:00:00.000")},
      {kDirectionColumn, DisplayText("Traffic_Request", "Request")},
      {kAddressColumn, DisplayText("Traffic_Address_Long", "long %1", {"00 00 00 00 00"})},
      {kCommandColumn, QStringLiteral("000")},
      {kCommandNameColumn, QString()},  // the widest name, below
      {kByteCountColumn, QStringLiteral("000")},
      {kResponseColumn, QStringLiteral("00: device-specific command error")},
      {kStatusColumn, QStringLiteral("00: configuration changed")},
  };
  for (const auto& [column, sample] : widths) {
    int width = cells.horizontalAdvance(sample);
    if (column == kCommandNameColumn) {
      for (int command = 0; command < 256; ++command) {
        width = std::max(width, cells.horizontalAdvance(QString::fromUtf8(CommandName(command))));
      }
    }
    const QTableWidgetItem* header = table_->horizontalHeaderItem(column);
    if (header != nullptr) width = std::max(width, headers.horizontalAdvance(header->text()));
    table_->setColumnWidth(column, width + cells.averageCharWidth() * 3);
  }
}

CTrafficMonitor::~CTrafficMonitor() { queue_->open = false; }

TraceSink CTrafficMonitor::Sink() {
  return [queue = queue_](const TraceEvent& event) {
    if (!queue->open.load(std::memory_order_relaxed)) return;
    // The link stamps its events; one that comes unstamped is taken as happening now.
    const auto time =
        event.time.time_since_epoch().count() != 0 ? event.time : std::chrono::system_clock::now();
    const std::lock_guard lock(queue->mutex);
    // The window takes them every 100 ms; should it fall behind, only the newest could show.
    if (queue->lines.size() >= static_cast<std::size_t>(kMaxRows) * 2) {
      queue->lines.erase(queue->lines.begin(), queue->lines.begin() + kMaxRows);
    }
    queue->lines.push_back({time, event});
  };
}

void CTrafficMonitor::showEvent(QShowEvent* event) {
  queue_->open = true;
  timer_->start();
  QWidget::showEvent(event);
}

void CTrafficMonitor::hideEvent(QHideEvent* event) {
  queue_->open = false;
  timer_->stop();
  {
    const std::lock_guard lock(queue_->mutex);
    queue_->lines.clear();
  }
  QWidget::hideEvent(event);
}

void CTrafficMonitor::Flush() {
  std::vector<Line> lines;
  {
    const std::lock_guard lock(queue_->mutex);
    lines.swap(queue_->lines);
  }
  if (lines.empty()) return;
  if (paused_) {
    dropped_ += static_cast<long long>(lines.size());
    UpdateDropped();
    return;
  }
  QScrollBar* scroll = table_->verticalScrollBar();
  const bool atEnd = scroll->value() == scroll->maximum();
  table_->setUpdatesEnabled(false);
  const std::size_t skip =
      lines.size() > static_cast<std::size_t>(kMaxRows) ? lines.size() - kMaxRows : 0;
  for (std::size_t i = skip; i < lines.size(); ++i) AddRow(lines[i]);
  const int excess = table_->rowCount() - kMaxRows;
  for (int i = 0; i < excess; ++i) table_->removeRow(0);
  table_->setUpdatesEnabled(true);
  if (atEnd) table_->scrollToBottom();
}

void CTrafficMonitor::AddRow(const Line& line) {
  const long long micros =
      std::chrono::duration_cast<std::chrono::microseconds>(line.time.time_since_epoch()).count();
  const int at = table_->rowCount();
  table_->insertRow(at);
  auto* time = new QTableWidgetItem(
      QDateTime::fromMSecsSinceEpoch(micros / 1000).toString(QStringLiteral("HH:mm:ss.zzz")));
  const TraceEvent& event = line.event;
  time->setData(kEventRole, QVariant::fromValue(event));
  time->setData(kTimeRole, micros);
  if (event.kind == TraceKind::Sent) {
    time->setData(kRetryRole, event.bytes == lastSent_ && lastExchangeFailed_);
    lastSent_ = event.bytes;
    lastExchangeFailed_ = false;
  } else if (event.kind == TraceKind::ReceiveTimeout || event.kind == TraceKind::SendTimeout ||
             event.kind == TraceKind::ReceiveFailed) {
    lastExchangeFailed_ = true;
  }
  table_->setItem(at, kTimeColumn, time);
  DescribeRow(at, event);
  table_->setRowHidden(at, !Passes(at));
}

void CTrafficMonitor::DescribeRow(int at, const TraceEvent& event) {
  const QTableWidgetItem* time = table_->item(at, kTimeColumn);
  const Row row = Describe(event, time->data(kRetryRole).toBool());
  const QString cells[kColumnCount] = {time->text(), row.direction,   row.address,
                                       row.command,  row.commandName, row.byteCount,
                                       row.response, row.status,      row.data};
  for (int column = kTimeColumn + 1; column < kColumnCount; ++column) {
    auto* item = new QTableWidgetItem(cells[column]);
    if (column == kCommandNameColumn || column >= kResponseColumn) item->setToolTip(cells[column]);
    table_->setItem(at, column, item);
  }
}

bool CTrafficMonitor::Passes(int row) const {
  const QString wanted = filter_->text().trimmed();
  if (wanted.isEmpty()) return true;
  const QTableWidgetItem* item = table_->item(row, kCommandColumn);
  return item != nullptr && !item->text().isEmpty() && item->text().toInt() == wanted.toInt();
}

void CTrafficMonitor::ApplyFilter() {
  for (int row = 0; row < table_->rowCount(); ++row) table_->setRowHidden(row, !Passes(row));
}

void CTrafficMonitor::SetPaused(bool paused) {
  paused_ = paused;
  if (pause_->isChecked() != paused) pause_->setChecked(paused);
  UpdateDropped();
}

void CTrafficMonitor::ClearRows() {
  table_->setRowCount(0);
  lastSent_.clear();
  lastExchangeFailed_ = false;
  dropped_ = 0;
  UpdateDropped();
}

void CTrafficMonitor::CopySelection() {
  QList<int> rows;
  for (const QModelIndex& index : table_->selectionModel()->selectedRows()) {
    rows << index.row();
  }
  std::sort(rows.begin(), rows.end());
  QStringList lines;
  for (const int row : rows) {
    QStringList cells;
    for (int column = 0; column < kColumnCount; ++column) {
      const QTableWidgetItem* item = table_->item(row, column);
      cells << (item != nullptr ? item->text() : QString());
    }
    lines << cells.join(QLatin1Char('\t'));
  }
  if (!lines.isEmpty()) QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + '\n');
}

void CTrafficMonitor::UpdateDropped() {
  QString text;
  const std::string dropped = Arg(dropped_).toStdString();
  if (paused_ && dropped_ > 0) {
    text = DisplayText("Traffic_Paused_Dropped", "Paused: %1 lines dropped", {dropped});
  } else if (paused_) {
    text = DisplayText("Traffic_Paused", "Paused");
  } else if (dropped_ > 0) {
    text = DisplayText("Traffic_Dropped", "%1 lines dropped while paused", {dropped});
  }
  droppedLabel_->setText(text);
}

QString CTrafficMonitor::SaveCapture(const QString& path) {
  TrafficCapture capture(path.toStdString());  // UTF-8, as every name in the core
  for (int row = 0; row < table_->rowCount(); ++row) {
    if (table_->isRowHidden(row)) continue;
    const QTableWidgetItem* item = table_->item(row, kTimeColumn);
    if (item == nullptr) continue;
    const CaptureTime time(std::chrono::duration_cast<CaptureTime::duration>(
        std::chrono::microseconds(item->data(kTimeRole).toLongLong())));
    capture.Add(item->data(kEventRole).value<TraceEvent>(), time);
  }
  if (const std::optional<std::string> error = capture.Finish()) {
    return QString::fromLocal8Bit(error->c_str());
  }
  return {};
}

void CTrafficMonitor::OnSaveCapture() {
  QString caption = save_->text().remove(QLatin1Char('&'));
  if (caption.endsWith(QStringLiteral("..."))) caption.chop(3);
  QString folder = lastFolder_;
  if (folder.isEmpty()) {
    folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  }
  if (folder.isEmpty()) folder = QDir::homePath();
  const QString suggested = QDir(folder).filePath(
      QStringLiteral("traffic-") +
      QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")) +
      QStringLiteral(".pcap"));
  const QString filter =
      DisplayText("Traffic_Capture_Files", "Capture Files") + QStringLiteral(" (*.pcap)");
  QString path = saveDialog_(this, caption, suggested, filter);
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".pcap");
  lastFolder_ = QFileInfo(path).absolutePath();
  const QString error = SaveCapture(path);
  if (!error.isEmpty()) ShowFileWriteError(this, path, error.toStdString());
}

}  // namespace va5
