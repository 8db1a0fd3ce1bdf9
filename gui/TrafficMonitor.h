// The traffic monitor: a window of its own, beside whatever view the main window shows, that
// lists every frame the link sends and receives and the link's own events, live. It takes the
// link's trace events; while it is closed its sink returns at once. The rows shown can be saved
// as a capture file that Wireshark reads.
#pragma once

#include <QString>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "comm/Trace.h"
#include "comm/TrafficCapture.h"

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
    kCommandNameColumn,
    kByteCountColumn,
    kResponseColumn,
    kStatusColumn,
    kDataColumn,
    kColumnCount
  };

  // The save dialog: (parent, caption, suggested path, filter) -> chosen path, empty when
  // cancelled. Tests replace it.
  using SaveDialog =
      std::function<QString(QWidget*, const QString&, const QString&, const QString&)>;

  explicit CTrafficMonitor(QWidget* parent = nullptr);
  ~CTrafficMonitor() override;

  // A sink for the link's trace, safe to call from the link's thread. It queues the event
  // while the window is shown and does nothing else otherwise. Copies may outlive the window.
  TraceSink Sink();

  // Moves the queued events into the table now (the window's timer does so every 100 ms).
  void Flush();

  QTableWidget* Table() const { return table_; }
  QPushButton* PauseButton() const { return pause_; }
  QPushButton* ClearButton() const { return clear_; }
  QPushButton* CopyButton() const { return copy_; }
  QPushButton* SaveButton() const { return save_; }
  QLineEdit* CommandFilter() const { return filter_; }
  bool Paused() const { return paused_; }
  // The trace events left out while paused (since the last Clear).
  long long Dropped() const { return dropped_; }

  // Takes the texts of the language now loaded, the rows' own included.
  void ReloadLanguage();

  // Writes the frames of the rows shown (the command filter applies), in order and with the
  // times they arrived, as a pcap capture file. Returns why it failed, empty when written; a
  // failure leaves whatever file was at `path` as it was.
  QString SaveCapture(const QString& path);
  void SetSaveDialog(SaveDialog dialog) { saveDialog_ = std::move(dialog); }

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  struct Line {
    std::chrono::system_clock::time_point time;
    TraceEvent event;
  };
  // What the sink shares with the window; the sink keeps it alive.
  struct Queue {
    std::atomic<bool> open{false};
    std::mutex mutex;
    std::vector<Line> lines;
  };

  void AddRow(const Line& line);
  // Fills the cells of `row` after its time from `event`, the row's trace event.
  void DescribeRow(int row, const TraceEvent& event);
  void SetColumnWidths();
  void OnSaveCapture();
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
  QPushButton* save_;
  QLineEdit* filter_;
  QLabel* filterCaption_;
  QLabel* droppedLabel_;
  QTimer* timer_;
  SaveDialog saveDialog_;
  QString lastFolder_;
  bool paused_ = false;
  // For telling a retry from a new request: the last frame sent, and whether its exchange
  // has failed since (a time-out or a reply that was not accepted).
  std::vector<std::uint8_t> lastSent_;
  bool lastExchangeFailed_ = false;
  long long dropped_ = 0;
};

}  // namespace va5
