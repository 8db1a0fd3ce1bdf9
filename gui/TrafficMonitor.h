// The traffic monitor: a window of its own, beside whatever view the main window shows, that
// lists every frame the link sends and receives and the link's own events, live. It reads the
// link's trace lines; while it is closed its sink returns at once.
#pragma once

#include <QWidget>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "comm/Trace.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTimer;

namespace va5 {

class CTrafficMonitor : public QWidget {
  Q_OBJECT
 public:
  // The most rows the table holds; older rows drop out.
  static constexpr int kMaxRows = 2000;

  enum Column {
    kTimeColumn,
    kDirectionColumn,
    kAddressColumn,
    kCommandColumn,
    kByteCountColumn,
    kResponseColumn,
    kStatusColumn,
    kDataColumn,
    kColumnCount
  };

  explicit CTrafficMonitor(QWidget* parent = nullptr);
  ~CTrafficMonitor() override;

  // A sink for the link's trace, safe to call from the link's thread. It queues the line while
  // the window is shown and does nothing else otherwise. Copies may outlive the window.
  TraceSink Sink();

  // Moves the queued lines into the table now (the window's timer does so every 100 ms).
  void Flush();

  QTableWidget* Table() const { return table_; }
  QPushButton* PauseButton() const { return pause_; }
  QPushButton* ClearButton() const { return clear_; }
  QPushButton* CopyButton() const { return copy_; }
  QLineEdit* CommandFilter() const { return filter_; }
  bool Paused() const { return paused_; }
  // The trace lines left out while paused (since the last Clear).
  long long Dropped() const { return dropped_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  struct Line {
    std::chrono::system_clock::time_point time;
    std::string text;
  };
  // What the sink shares with the window; the sink keeps it alive.
  struct Queue {
    std::atomic<bool> open{false};
    std::mutex mutex;
    std::vector<Line> lines;
  };

  void AddRow(const Line& line);
  void ApplyFilter();
  bool Passes(int row) const;
  void SetPaused(bool paused);
  void ClearRows();
  void CopySelection();
  void UpdateDropped();

  std::shared_ptr<Queue> queue_;
  QTableWidget* table_;
  QPushButton* pause_;
  QPushButton* clear_;
  QPushButton* copy_;
  QLineEdit* filter_;
  QLabel* filterCaption_;
  QLabel* droppedLabel_;
  QTimer* timer_;
  bool paused_ = false;
  long long dropped_ = 0;
};

}  // namespace va5
