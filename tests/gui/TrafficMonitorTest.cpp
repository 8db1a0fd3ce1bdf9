// The traffic monitor against the simulated transmitter: the frames of the connection and the
// polls as rows, the command filter, pause, clear, copy, the bound on the rows, the capture
// saved from the window and the texts of the language the main window loads.
#include "gui/TrafficMonitor.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <string>
#include <vector>

#include "gui/MainDlgDlg.h"
#include "gui/panels/LanguageSetting.h"
#include "lang/ControlIds.h"
#include "tests/gui/PanelTestSupport.h"

namespace va5::test {
namespace {

namespace fk = ids::function_keys;
namespace lp = ids::language_panel;

using Monitor = CTrafficMonitor;

QString Cell(const QTableWidget* table, int row, int column) {
  const QTableWidgetItem* item = table->item(row, column);
  return item != nullptr ? item->text() : QString();
}

int CountRows(const QTableWidget* table, const QString& direction, const QString& command) {
  int count = 0;
  for (int row = 0; row < table->rowCount(); ++row) {
    if (Cell(table, row, Monitor::kDirectionColumn) == direction &&
        Cell(table, row, Monitor::kCommandColumn) == command) {
      ++count;
    }
  }
  return count;
}

// One packet of a capture file: its time as the monitor shows it and the HART command it holds.
struct Packet {
  QString time;
  int command = -1;
};

quint32 Little32(const QByteArray& b, qsizetype at) {
  const auto u = [&](qsizetype i) { return static_cast<quint32>(static_cast<quint8>(b[at + i])); };
  return u(0) | u(1) << 8 | u(2) << 16 | u(3) << 24;
}

// Reads a capture of the link: a pcap header, then records of IPv4 + UDP + HART-IP + frame.
std::vector<Packet> ReadCapture(const QString& path) {
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
  const QByteArray bytes = file.readAll();
  std::vector<Packet> packets;
  EXPECT_GE(bytes.size(), 24);
  if (bytes.size() < 24) return packets;
  EXPECT_EQ(Little32(bytes, 0), 0xA1B2C3D4u);  // microsecond times
  EXPECT_EQ(Little32(bytes, 20), 101u);        // raw IPv4
  constexpr qsizetype kFrameAt = 16 + 20 + 8 + 8;
  for (qsizetype at = 24; at < bytes.size();) {
    EXPECT_LE(at + 16, bytes.size());
    if (at + 16 > bytes.size()) break;
    const qint64 ms = qint64(Little32(bytes, at)) * 1000 + Little32(bytes, at + 4) / 1000;
    const qsizetype length = Little32(bytes, at + 8);
    EXPECT_LE(at + 16 + length, bytes.size());
    EXPECT_GT(length, kFrameAt + 2 - 16);
    if (at + 16 + length > bytes.size() || length <= kFrameAt + 2 - 16) break;
    const auto delimiter = static_cast<quint8>(bytes[at + kFrameAt]);
    const qsizetype command = at + kFrameAt + ((delimiter & 0x80) != 0 ? 6 : 2);
    packets.push_back({QDateTime::fromMSecsSinceEpoch(ms).toString("HH:mm:ss.zzz"),
                       static_cast<quint8>(bytes[command])});
    at += 16 + length;
  }
  return packets;
}

// The rows shown that hold a frame, as a capture should hold them.
std::vector<Packet> FrameRows(const QTableWidget* table) {
  std::vector<Packet> rows;
  for (int row = 0; row < table->rowCount(); ++row) {
    if (table->isRowHidden(row) || Cell(table, row, Monitor::kCommandColumn).isEmpty()) continue;
    rows.push_back({Cell(table, row, Monitor::kTimeColumn),
                    Cell(table, row, Monitor::kCommandColumn).toInt()});
  }
  return rows;
}

void ExpectSame(const std::vector<Packet>& packets, const std::vector<Packet>& rows) {
  ASSERT_EQ(packets.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(packets[i].time, rows[i].time) << i;
    EXPECT_EQ(packets[i].command, rows[i].command) << i;
  }
}

class TrafficMonitorTest : public ConnectedWindowTest {
 protected:
  Monitor* OpenMonitor() {
    window_->TrafficMonitorAction()->trigger();
    Monitor* monitor = window_->TrafficMonitor();
    EXPECT_TRUE(monitor->isVisible());
    return monitor;
  }
  // The identification and the polls, both ways, listed under their direction's text.
  static bool ShowsConnection(const QTableWidget* table, const QString& request,
                              const QString& reply) {
    return CountRows(table, request, "0") > 0 && CountRows(table, reply, "0") > 0 &&
           CountRows(table, request, "3") > 0 && CountRows(table, reply, "3") > 0;
  }
  // Every button and the window fit their texts.
  static void ExpectNothingClipped(Monitor* monitor) {
    monitor->layout()->activate();
    for (QPushButton* button : {monitor->PauseButton(), monitor->ClearButton(),
                                monitor->CopyButton(), monitor->SaveButton()}) {
      EXPECT_EQ(button->accessibleName(), button->text());
      EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
    }
    const QHeaderView* header = monitor->Table()->horizontalHeader();
    for (int column = 0; column + 1 < Monitor::kColumnCount; ++column) {
      const QString text = monitor->Table()->horizontalHeaderItem(column)->text();
      EXPECT_GE(header->sectionSize(column), header->fontMetrics().horizontalAdvance(text))
          << text.toStdString();
    }
  }
  static void Picture(QWidget* widget, const char* name) {
    const QString folder = qEnvironmentVariable("VA5VIVI_SCREENSHOT_DIR");
    if (!folder.isEmpty()) widget->grab().save(QDir(folder).filePath(name));
  }
};

TEST_F(TrafficMonitorTest, ListsFiltersPausesClearsAndBoundsTheLinksFrames) {
  window_->TrafficMonitorAction()->trigger();
  Monitor* monitor = window_->TrafficMonitor();
  ASSERT_TRUE(monitor->isVisible());
  ASSERT_TRUE(monitor->isWindow());
  QTableWidget* table = monitor->Table();
  Connect();

  // The identification (command 0) both ways, and the polls (command 3).
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        return CountRows(table, "Request", "0") > 0 && CountRows(table, "Reply", "0") > 0 &&
               CountRows(table, "Request", "3") > 0 && CountRows(table, "Reply", "3") > 0;
      },
      10000));
  for (int row = 0; row < table->rowCount(); ++row) {
    if (Cell(table, row, Monitor::kCommandColumn) != "0") continue;
    EXPECT_TRUE(Cell(table, row, Monitor::kAddressColumn).startsWith("polling 0"));
    if (Cell(table, row, Monitor::kDirectionColumn) == "Reply") {
      EXPECT_EQ(Cell(table, row, Monitor::kResponseColumn), "00: success");
      EXPECT_FALSE(Cell(table, row, Monitor::kStatusColumn).isEmpty());
      EXPECT_FALSE(Cell(table, row, Monitor::kDataColumn).isEmpty());
    }
  }

  // The filter leaves the rows of command 0 only, and keeps hiding new polls.
  monitor->CommandFilter()->setText("0");
  QSignalSpy polls(window_.get(), &CMainDlgDlg::pollCompleted);
  ASSERT_TRUE(QTest::qWaitFor([&] { return polls.count() >= 2; }, 5000));
  monitor->Flush();
  int shown = 0;
  for (int row = 0; row < table->rowCount(); ++row) {
    if (table->isRowHidden(row)) continue;
    ++shown;
    EXPECT_EQ(Cell(table, row, Monitor::kCommandColumn), "0") << row;
  }
  EXPECT_GE(shown, 2);
  // Only a command number can be typed, and it is taken as a number ("00" is 0).
  monitor->CommandFilter()->clear();
  QTest::keyClicks(monitor->CommandFilter(), "x-3");
  EXPECT_EQ(monitor->CommandFilter()->text(), "3");
  monitor->CommandFilter()->setText("00");
  for (int row = 0; row < table->rowCount(); ++row) {
    EXPECT_EQ(table->isRowHidden(row), Cell(table, row, Monitor::kCommandColumn) != "0") << row;
  }
  monitor->CommandFilter()->clear();
  EXPECT_FALSE(table->isRowHidden(table->rowCount() - 1));

  // Copy: the selected rows, tab-separated.
  table->selectRow(0);
  monitor->CopyButton()->click();
  const QString copied = QApplication::clipboard()->text();
  EXPECT_EQ(copied.count('\t'), Monitor::kColumnCount - 1);
  EXPECT_TRUE(copied.startsWith(Cell(table, 0, Monitor::kTimeColumn) + '\t'));

  // Paused, the polls go on but no row is added; what was left out is counted.
  monitor->PauseButton()->click();
  ASSERT_TRUE(monitor->Paused());
  monitor->Flush();
  const int before = table->rowCount();
  polls.clear();
  ASSERT_TRUE(QTest::qWaitFor([&] { return polls.count() >= 3; }, 5000));
  monitor->Flush();
  EXPECT_EQ(table->rowCount(), before);
  EXPECT_GE(monitor->Dropped(), 6);

  monitor->ClearButton()->click();
  EXPECT_EQ(table->rowCount(), 0);
  EXPECT_EQ(monitor->Dropped(), 0);
  monitor->PauseButton()->click();
  ASSERT_FALSE(monitor->Paused());

  // More events than the table holds: the oldest drop.
  const TraceSink sink = monitor->Sink();
  const int fed = Monitor::kMaxRows + 100;
  for (int i = 0; i < fed; ++i) {
    sink({.kind = TraceKind::LinkEvent, .note = "line " + std::to_string(i)});
  }
  sink({.kind = TraceKind::ReceiveTimeout, .elapsedMs = 30});
  monitor->Flush();
  EXPECT_EQ(table->rowCount(), Monitor::kMaxRows);
  bool first = false;
  bool last = false;
  for (int row = 0; row < table->rowCount(); ++row) {
    const QString response = Cell(table, row, Monitor::kResponseColumn);
    first = first || response == "Link: line 0";
    last = last || response == QString("Link: line %1").arg(fed - 1);
  }
  EXPECT_FALSE(first);
  EXPECT_TRUE(last);
  EXPECT_TRUE(table->findItems("receive time-out after 30 ms", Qt::MatchExactly).size() == 1);

  // Closed, the sink queues nothing.
  monitor->close();
  sink({.kind = TraceKind::LinkEvent, .note = "line closed"});
  monitor->show();
  monitor->Flush();
  EXPECT_TRUE(table->findItems("Link: line closed", Qt::MatchExactly).isEmpty());
}

// The link's own events between the frames: a garbled reply named as a checksum error, the
// time-outs of a silent device, the request tried again marked as a retry, and the
// technician's answers to "Err_COM".
TEST_F(TrafficMonitorTest, NamesChecksumErrorsTimeOutsRetriesAndTheAnswers) {
  Monitor* monitor = OpenMonitor();
  QTableWidget* table = monitor->Table();
  Connect();
  Questions questions;
  questions.Answer(UIText("Err_COM", {"SIM9"}).left(20), {kAnswerRetry, kAnswerCancel});
  sim_.InjectFault({.kind = sim::Fault::Kind::BadChecksum, .count = 1, .command = 3});
  QSignalSpy polls(window_.get(), &CMainDlgDlg::pollCompleted);
  ASSERT_TRUE(QTest::qWaitFor([&] { return polls.count() >= 2; }, 5000));
  sim_.InjectFault({.kind = sim::Fault::Kind::Silence, .command = 3});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window_->Connected(); }, 10000));
  monitor->Flush();

  const auto rows = [&](int column, const QString& text) {
    int count = 0;
    for (int row = 0; row < table->rowCount(); ++row)
      count += Cell(table, row, column).startsWith(text) ? 1 : 0;
    return count;
  };
  EXPECT_EQ(rows(Monitor::kResponseColumn, "checksum error"), 1);
  EXPECT_GE(rows(Monitor::kResponseColumn, "receive time-out"), 8);  // two rounds of four tries
  EXPECT_GE(rows(Monitor::kResponseColumn, "no reply"), 8);
  EXPECT_EQ(rows(Monitor::kResponseColumn, "failure answered: retry"), 1);
  EXPECT_EQ(rows(Monitor::kResponseColumn, "failure answered: give up"), 1);
  // Every request after a failed exchange of the same frame is a retry, and only those: the
  // first try of the garbled poll and the first of the silent one are not.
  int retries = 0;
  for (int row = 0; row < table->rowCount(); ++row) {
    if (Cell(table, row, Monitor::kResponseColumn) != "retry") continue;
    ++retries;
    EXPECT_EQ(Cell(table, row, Monitor::kDirectionColumn), "Request");
    EXPECT_EQ(Cell(table, row, Monitor::kCommandColumn), "3");
  }
  // The garbled poll once; the silent one three times, then four times after "Retry".
  EXPECT_EQ(retries, 1 + 3 + 4);
  for (int row = 0; row < table->rowCount(); ++row) {
    if (Cell(table, row, Monitor::kResponseColumn).startsWith("checksum error")) {
      table->scrollToItem(table->item(row, 0), QAbstractItemView::PositionAtTop);
    }
  }
  Picture(monitor, "traffic-monitor-faults.png");
}

TEST_F(TrafficMonitorTest, SavesTheFramesShownAsACaptureAndReportsAFailedSave) {
  Monitor* monitor = OpenMonitor();
  QTableWidget* table = monitor->Table();
  Connect();
  ASSERT_TRUE(QTest::qWaitFor([&] { return ShowsConnection(table, "Request", "Reply"); }, 10000));
  for (int row = 0; row < table->rowCount(); ++row) {
    const QString command = Cell(table, row, Monitor::kCommandColumn);
    const QString name = Cell(table, row, Monitor::kCommandNameColumn);
    if (command == "0") {
      EXPECT_EQ(name, "Read unique identifier");
    } else if (command == "3") {
      EXPECT_EQ(name, "Read dynamic variables");
    } else if (command == "130") {
      EXPECT_EQ(name, "Read sensor configuration");
    }
  }
  // A time-out row among the frames adds nothing to the capture.
  monitor->Sink()({.kind = TraceKind::ReceiveTimeout, .elapsedMs = 30});
  monitor->Flush();
  monitor->PauseButton()->click();  // the rows stay as they are while the file is written

  QTemporaryDir folder;
  QString caption;
  QString filter;
  monitor->SetSaveDialog([&](QWidget*, const QString& c, const QString&, const QString& f) {
    caption = c;
    filter = f;
    return folder.filePath("link");  // the suffix is added
  });
  Questions questions;
  monitor->SaveButton()->click();
  EXPECT_EQ(caption, "Save Capture");
  EXPECT_TRUE(filter.contains("(*.pcap)"));
  EXPECT_TRUE(questions.Seen().empty());
  const std::vector<Packet> all = FrameRows(table);
  EXPECT_GE(all.size(), 20u);  // the upload's ten commands both ways, and polls
  ExpectSame(ReadCapture(folder.filePath("link.pcap")), all);

  // With the filter, what is shown.
  monitor->CommandFilter()->setText("0");
  EXPECT_EQ(monitor->SaveCapture(folder.filePath("identify.pcap")), "");
  const std::vector<Packet> identify = FrameRows(table);
  EXPECT_GE(identify.size(), 2u);
  ExpectSame(ReadCapture(folder.filePath("identify.pcap")), identify);

  // A folder that does not exist: the technician is told, and no file is left anywhere.
  const QString nowhere = folder.filePath("missing/link.pcap");
  monitor->SetSaveDialog([&](QWidget*, const QString&, const QString&, const QString&) {
    return nowhere;
  });
  monitor->SaveButton()->click();
  ASSERT_EQ(questions.Seen().size(), 1u);
  EXPECT_TRUE(questions.Seen()[0].text.startsWith(UIText("Err_File_Write", {"x", "y"}).left(10)));
  EXPECT_TRUE(questions.Seen()[0].text.contains(QDir::toNativeSeparators(nowhere)));
  EXPECT_FALSE(QFileInfo::exists(nowhere));
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files),
            QStringList({"identify.pcap", "link.pcap"}));
  EXPECT_FALSE(monitor->SaveCapture(nowhere).isEmpty());
}

TEST_F(TrafficMonitorTest, FollowsTheLanguageOfTheMainWindow) {
  Monitor* monitor = OpenMonitor();
  QTableWidget* table = monitor->Table();
  Connect();
  ASSERT_TRUE(QTest::qWaitFor([&] { return ShowsConnection(table, "Request", "Reply"); }, 10000));
  EXPECT_EQ(monitor->windowTitle(), "Traffic Monitor");
  EXPECT_EQ(monitor->SaveButton()->text(), "Save Capture...");
  EXPECT_EQ(monitor->CommandFilter()->accessibleName(), "Command");
  ExpectNothingClipped(monitor);
  Picture(monitor, "traffic-monitor-en.png");

  CPanel* panel = OpenPanel(fk::kLanguageButton);
  ASSERT_NE(panel, nullptr);
  Click(panel, lp::kChangeButton, {Choose(QStringLiteral("日本語"))});
  ASSERT_EQ(settings_->LanguageFile(), "Japanese.lng");

  EXPECT_EQ(monitor->windowTitle(), "通信モニタ");
  EXPECT_EQ(window_->TrafficMonitorAction()->text(), "通信モニタ(&T)...");
  EXPECT_EQ(table->horizontalHeaderItem(Monitor::kDirectionColumn)->text(), "方向");
  EXPECT_EQ(table->horizontalHeaderItem(Monitor::kCommandNameColumn)->text(), "コマンド名");
  EXPECT_EQ(monitor->PauseButton()->text(), "一時停止");
  EXPECT_EQ(monitor->SaveButton()->text(), "キャプチャを保存...");
  EXPECT_EQ(monitor->CommandFilter()->accessibleName(), "コマンド");
  // The rows already listed are described again, and new ones come in the new language.
  monitor->Flush();
  EXPECT_EQ(CountRows(table, "Request", "0") + CountRows(table, "Reply", "3"), 0);
  EXPECT_TRUE(ShowsConnection(table, "送信", "受信"));
  bool polling = false;
  for (int row = 0; row < table->rowCount(); ++row) {
    polling = polling || Cell(table, row, Monitor::kAddressColumn) == "ポーリング 0";
  }
  EXPECT_TRUE(polling);
  // The command column and its filter keep the numbers.
  monitor->CommandFilter()->setText("3");
  int shown = 0;
  for (int row = 0; row < table->rowCount(); ++row) {
    if (table->isRowHidden(row)) continue;
    ++shown;
    EXPECT_EQ(Cell(table, row, Monitor::kCommandColumn), "3");
  }
  EXPECT_GE(shown, 2);
  monitor->CommandFilter()->clear();
  monitor->PauseButton()->click();
  monitor->Sink()({.kind = TraceKind::ReceiveTimeout, .elapsedMs = 30});
  monitor->Flush();
  QLabel* dropped = nullptr;
  for (QLabel* label : monitor->findChildren<QLabel*>()) {
    if (label->accessibleName() == "一時停止中に破棄した行") dropped = label;
  }
  ASSERT_NE(dropped, nullptr);
  EXPECT_TRUE(dropped->text().startsWith("一時停止中：")) << dropped->text().toStdString();
  EXPECT_TRUE(dropped->text().endsWith("行を破棄しました")) << dropped->text().toStdString();
  ExpectNothingClipped(monitor);
  Picture(monitor, "traffic-monitor-ja.png");
}

}  // namespace
}  // namespace va5::test
