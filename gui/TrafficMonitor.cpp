#include "gui/TrafficMonitor.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "comm/ResultTexts.h"
#include "comm/TrafficCapture.h"

namespace va5 {

namespace {

constexpr int kFlushIntervalMs = 100;

QString Hex(const std::uint8_t* begin, const std::uint8_t* end) {
  QStringList bytes;
  for (const std::uint8_t* p = begin; p != end; ++p) {
    bytes << QStringLiteral("%1").arg(*p, 2, 16, QLatin1Char('0')).toUpper();
  }
  return bytes.join(QLatin1Char(' '));
}

QString Bits(std::uint8_t value, const std::pair<std::uint8_t, const char*>* names,
             std::size_t count) {
  QStringList set;
  for (std::size_t i = 0; i < count; ++i) {
    if ((value & names[i].first) != 0) set << QString::fromUtf8(names[i].second);
  }
  return set.join(QStringLiteral(", "));
}

// The second status byte of a reply.
QString DeviceStatusText(std::uint8_t status) {
  static constexpr std::pair<std::uint8_t, const char*> kNames[] = {
      {0x80, "field device malfunction"},
      {0x40, "configuration changed"},
      {0x20, "cold start"},
      {0x10, "more status available"},
      {0x08, "loop current fixed"},
      {0x04, "loop current saturated"},
      {0x02, "non-primary variable out of limits"},
      {0x01, "primary variable out of limits"},
  };
  const QString bits = Bits(status, kNames, std::size(kNames));
  return QStringLiteral("%1: ").arg(status, 2, 16, QLatin1Char('0')).toUpper() +
         (bits.isEmpty() ? QStringLiteral("none") : bits);
}

// The first status byte of a reply: a response code, or communication errors when bit 7 is set.
QString ResponseText(std::uint8_t code, int command) {
  QString text = QStringLiteral("%1: ").arg(code, 2, 16, QLatin1Char('0')).toUpper() +
                 QString::fromUtf8(ResponseCodeText(code, command));
  if ((code & 0x80) != 0) {
    static constexpr std::pair<std::uint8_t, const char*> kNames[] = {
        {0x40, "vertical parity error"},     {0x20, "overrun error"},   {0x10, "framing error"},
        {0x08, "longitudinal parity error"}, {0x02, "buffer overflow"},
    };
    const QString bits = Bits(code, kNames, std::size(kNames));
    if (!bits.isEmpty()) text += QStringLiteral(" (") + bits + QLatin1Char(')');
  }
  return text;
}

struct Row {
  QString direction;
  QString address;
  QString command;
  QString byteCount;
  QString response;
  QString status;
  QString data;
};

// A frame from its delimiter on: the address, command, byte count and, for a reply, its two
// status bytes. Whatever does not fit the layout is shown as bytes.
void DecodeFrame(const std::vector<std::uint8_t>& bytes, bool reply, Row& row) {
  const std::vector<std::uint8_t> frame = FrameWithoutPreambles(bytes);
  if (frame.empty()) return;
  const std::uint8_t delimiter = frame[0];
  const bool longFrame = (delimiter & 0x80) != 0;
  const std::size_t expansion = (delimiter >> 5) & 0x03;
  const std::size_t addressSize = longFrame ? 5 : 1;
  const std::size_t commandAt = 1 + addressSize + expansion;
  if (frame.size() < commandAt + 2) {
    row.data = Hex(frame.data(), frame.data() + frame.size());
    return;
  }
  if (longFrame) {
    std::uint8_t address[5];
    std::copy(frame.begin() + 1, frame.begin() + 6, address);
    address[0] &= 0x3F;
    row.address = QStringLiteral("long ") + Hex(address, address + 5);
  } else {
    row.address = QStringLiteral("polling %1").arg(frame[1] & 0x3F);
  }
  const int command = frame[commandAt];
  const std::size_t count = frame[commandAt + 1];
  row.command = QString::number(command);
  row.byteCount = QString::number(count);
  const std::size_t dataAt = commandAt + 2;
  // Without the checksum, and never beyond what arrived.
  const std::size_t available = frame.size() > dataAt ? frame.size() - dataAt - 1 : 0;
  std::size_t dataSize = std::min(count, available);
  std::size_t first = dataAt;
  if (reply && dataSize >= 2) {
    row.response = ResponseText(frame[dataAt], command);
    row.status = DeviceStatusText(frame[dataAt + 1]);
    first += 2;
    dataSize -= 2;
  }
  row.data = Hex(frame.data() + first, frame.data() + first + dataSize);
}

Row Describe(const TraceEvent& event) {
  Row row;
  switch (event.kind) {
    case TraceKind::Sent:
      row.direction = QStringLiteral("Request");
      DecodeFrame(event.bytes, false, row);
      break;
    case TraceKind::Received:
      row.direction = QStringLiteral("Reply");
      DecodeFrame(event.bytes, true, row);
      if (!event.note.empty()) {
        row.response = QString::fromStdString(event.note) +
                       (row.response.isEmpty() ? QString() : QStringLiteral("; ") + row.response);
      }
      break;
    case TraceKind::Skipped:
      row.direction = QStringLiteral("Link");
      row.response =
          QStringLiteral("skipped bytes") +
          (event.note.empty()
               ? QString()
               : QStringLiteral(" (") + QString::fromStdString(event.note) + QLatin1Char(')'));
      row.data = Hex(event.bytes.data(), event.bytes.data() + event.bytes.size());
      break;
    case TraceKind::SendTimeout:
      row.direction = QStringLiteral("Link");
      row.response = QStringLiteral("send time-out: the carrier never dropped");
      break;
    case TraceKind::ReceiveTimeout:
      row.direction = QStringLiteral("Link");
      row.response =
          QStringLiteral("receive time-out after %1 ms").arg(QString::fromStdString(event.note));
      break;
    case TraceKind::Other:
      row.direction = QStringLiteral("Link");
      row.response = QString::fromStdString(event.note);
      break;
  }
  return row;
}

}  // namespace

CTrafficMonitor::CTrafficMonitor(QWidget* parent)
    : QWidget(parent, Qt::Window), queue_(std::make_shared<Queue>()) {
  setWindowTitle(QStringLiteral("Traffic Monitor"));
  setAccessibleName(windowTitle());

  table_ = new QTableWidget(0, kColumnCount, this);
  table_->setHorizontalHeaderLabels({QStringLiteral("Time"), QStringLiteral("Direction"),
                                     QStringLiteral("Address"), QStringLiteral("Command"),
                                     QStringLiteral("Bytes"), QStringLiteral("Response"),
                                     QStringLiteral("Device status"), QStringLiteral("Data")});
  table_->setAccessibleName(QStringLiteral("Frames"));
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->verticalHeader()->setVisible(false);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setWordWrap(false);
  table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  // Widths for the usual contents; the columns stay resizable.
  const auto width = [this](const char* sample) {
    return fontMetrics().horizontalAdvance(QString::fromUtf8(sample)) +
           fontMetrics().averageCharWidth() * 2;
  };
  const std::pair<int, const char*> widths[] = {
      {kTimeColumn, "00:00:00.000"},
      {kDirectionColumn, "Request"},
      {kAddressColumn, "long 00 00 00 00 00"},
      {kCommandColumn, "Command"},
      {kByteCountColumn, "Bytes"},
      {kResponseColumn, "00: device-specific command error"},
      {kStatusColumn, "00: configuration changed"},
  };
  for (const auto& [column, sample] : widths) table_->setColumnWidth(column, width(sample));

  pause_ = new QPushButton(QStringLiteral("Pause"), this);
  pause_->setCheckable(true);
  pause_->setAccessibleName(pause_->text());
  clear_ = new QPushButton(QStringLiteral("Clear"), this);
  clear_->setAccessibleName(clear_->text());
  copy_ = new QPushButton(QStringLiteral("Copy"), this);
  copy_->setAccessibleName(copy_->text());
  filterCaption_ = new QLabel(QStringLiteral("Command:"), this);
  filter_ = new QLineEdit(this);
  filter_->setPlaceholderText(QStringLiteral("all"));
  filter_->setAccessibleName(QStringLiteral("Command"));
  filter_->setClearButtonEnabled(true);
  filterCaption_->setBuddy(filter_);
  droppedLabel_ = new QLabel(this);
  droppedLabel_->setAccessibleName(QStringLiteral("Dropped while paused"));

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(pause_);
  buttons->addWidget(clear_);
  buttons->addWidget(copy_);
  buttons->addSpacing(fontMetrics().averageCharWidth() * 2);
  buttons->addWidget(filterCaption_);
  buttons->addWidget(filter_);
  buttons->addWidget(droppedLabel_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(table_, 1);
  resize(fontMetrics().averageCharWidth() * 190, fontMetrics().height() * 30);

  timer_ = new QTimer(this);
  timer_->setInterval(kFlushIntervalMs);
  connect(timer_, &QTimer::timeout, this, &CTrafficMonitor::Flush);
  connect(pause_, &QPushButton::toggled, this, &CTrafficMonitor::SetPaused);
  connect(clear_, &QPushButton::clicked, this, &CTrafficMonitor::ClearRows);
  connect(copy_, &QPushButton::clicked, this, &CTrafficMonitor::CopySelection);
  connect(filter_, &QLineEdit::textChanged, this, &CTrafficMonitor::ApplyFilter);
  UpdateDropped();
}

CTrafficMonitor::~CTrafficMonitor() { queue_->open = false; }

TraceSink CTrafficMonitor::Sink() {
  return [queue = queue_](std::string_view line) {
    if (!queue->open.load(std::memory_order_relaxed)) return;
    const auto now = std::chrono::system_clock::now();
    const std::lock_guard lock(queue->mutex);
    // The window takes them every 100 ms; should it fall behind, only the newest could show.
    if (queue->lines.size() >= static_cast<std::size_t>(kMaxRows) * 2) {
      queue->lines.erase(queue->lines.begin(), queue->lines.begin() + kMaxRows);
    }
    queue->lines.push_back({now, std::string(line)});
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
  const Row row = Describe(ParseTraceLine(line.text));
  const QString time =
      QDateTime::fromMSecsSinceEpoch(
          std::chrono::duration_cast<std::chrono::milliseconds>(line.time.time_since_epoch())
              .count())
          .toString(QStringLiteral("HH:mm:ss.zzz"));
  const int at = table_->rowCount();
  table_->insertRow(at);
  const QString cells[kColumnCount] = {time,          row.direction, row.address, row.command,
                                       row.byteCount, row.response,  row.status,  row.data};
  for (int column = 0; column < kColumnCount; ++column) {
    auto* item = new QTableWidgetItem(cells[column]);
    if (column >= kResponseColumn) item->setToolTip(cells[column]);
    table_->setItem(at, column, item);
  }
  table_->setRowHidden(at, !Passes(at));
}

bool CTrafficMonitor::Passes(int row) const {
  const QString wanted = filter_->text().trimmed();
  if (wanted.isEmpty()) return true;
  const QTableWidgetItem* item = table_->item(row, kCommandColumn);
  return item != nullptr && item->text() == wanted;
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
  if (paused_) text = QStringLiteral("Paused");
  if (dropped_ > 0) {
    if (!text.isEmpty()) text += QStringLiteral(": ");
    text += QStringLiteral("%1 lines dropped while paused").arg(dropped_);
  }
  droppedLabel_->setText(text);
}

}  // namespace va5
