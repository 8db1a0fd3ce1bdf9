// The traffic monitor against the simulated transmitter: the frames of the connection and the
// polls as rows, the command filter, pause, clear, copy and the bound on the rows.
#include "gui/TrafficMonitor.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <string>

#include "gui/MainDlgDlg.h"
#include "tests/gui/PanelTestSupport.h"

namespace va5::test {
namespace {

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

class TrafficMonitorTest : public ConnectedWindowTest {};

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

  // More lines than the table holds: the oldest drop.
  const TraceSink sink = monitor->Sink();
  const int fed = Monitor::kMaxRows + 100;
  for (int i = 0; i < fed; ++i) sink("line " + std::to_string(i) + "\n");
  sink("Timeout: 30\n");
  monitor->Flush();
  EXPECT_EQ(table->rowCount(), Monitor::kMaxRows);
  bool first = false;
  bool last = false;
  for (int row = 0; row < table->rowCount(); ++row) {
    const QString response = Cell(table, row, Monitor::kResponseColumn);
    first = first || response == "line 0";
    last = last || response == QString("line %1").arg(fed - 1);
  }
  EXPECT_FALSE(first);
  EXPECT_TRUE(last);
  EXPECT_TRUE(table->findItems("receive time-out after 30 ms", Qt::MatchExactly).size() == 1);

  // Closed, the sink queues nothing.
  monitor->close();
  sink("line closed\n");
  monitor->show();
  monitor->Flush();
  EXPECT_TRUE(table->findItems("line closed", Qt::MatchExactly).isEmpty());
}

}  // namespace
}  // namespace va5::test
