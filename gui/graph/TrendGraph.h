// The trend graph: one live signal of the display plotted against time while the poll runs,
// with Start, Stop, saving the run as CSV or as a picture, and Close.
#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

#include "gui/FontManager.h"
#include "gui/Panel.h"
#include "lang/ControlIds.h"

class QPushButton;

namespace va5 {

class CLblColor;
class CLineGraph;

namespace session {
struct LiveValues;
}

// The main window shows the panel in place of the live display when a graph button is
// pressed (Open), hands it every good poll (OnPoll) and hides it when the panel asks to close
// (closeRequested) or when the device goes away (Show(false)).
class CTrendGraph : public CPanel, public CFontManager {
  Q_OBJECT

 public:
  // The signals, numbered as the live display's gauges (CDisplayArea::Signal).
  enum Signal : int { kNone = -1, kPv = 0, kPercent = 1, kTerminal = 2, kLoopCurrent = 3 };

  // Control identifiers of the two save buttons (layout 140).
  static constexpr int kSaveCsvButton = ids::trend_graph::kSaveCsvButton;
  static constexpr int kSavePictureButton = ids::trend_graph::kSavePictureButton;

  // The save dialogs: (parent, caption, suggested path, filter) -> chosen path, empty when
  // cancelled. Tests replace it.
  using SaveDialog =
      std::function<QString(QWidget*, const QString&, const QString&, const QString&)>;
  // The process clock in milliseconds. Tests replace it.
  using Clock = std::function<std::int64_t()>;

  explicit CTrendGraph(QWidget* parent = nullptr);
  ~CTrendGraph() override;

  // Selects the signal to record under `title`, the gauge's caption followed by its unit in
  // parentheses ("PV (degC)"), and shows the panel with an empty plot, ready to start. Show
  // alone (after a table graph that took the panel's place) keeps the last curve.
  void Open(int signal, const QString& title);
  void Show(bool visible) override;
  bool OnWorkerMessage(const WorkerMessage&) override { return false; }

  // A good poll: while running, its value of the selected signal becomes the next sample.
  void OnPoll(const session::LiveValues& live);
  // The unit names the sensor panel shows; the PV and terminal trends label their axis with
  // the present one.
  void SetUnits(const QString& pvUnit, const QString& terminalUnit);
  // The tag of the connected device; a run keeps the tag and the date it started with.
  void SetTag(const QString& tag) { tag_ = tag; }

  // The buttons' actions.
  void Start();
  void Stop();
  void Close();
  // A sample taken now; ignored unless running.
  void AddSample(double value);

  // Writes the run: CSV with a header line, or the plot as a PNG. Reports a failure to the
  // user and returns false; the file at `path` is replaced only by a complete new one.
  bool SaveCsv(const QString& path);
  bool SavePicture(const QString& path);
  // The CSV text of the run: a header of the run's start date, the device's tag and the
  // signal's unit, then the time in seconds from the first sample and the value in that
  // unit (numbers with a decimal point whatever the locale).
  QByteArray CsvText() const;

  void SetSaveDialog(SaveDialog dialog) { saveDialog_ = std::move(dialog); }
  void SetClock(Clock clock) { clock_ = std::move(clock); }

  bool Running() const { return running_; }
  int SignalShown() const { return signal_; }
  QString SignalName() const { return name_; }
  // The unit text in parentheses, as drawn under the value axis.
  QString UnitText() const;
  CLineGraph* Graph() const { return graph_; }
  QPushButton* Button(int controlId) const;

 private:
  void Build();
  void UpdateAccessibleNames();
  void UpdateSaveButtons();
  void RefreshTexts();
  void PlotSamples();
  void OnSaveCsv();
  void OnSavePicture();
  QString SuggestedPath(const QString& suffix) const;
  bool WriteFile(const QString& path, const QByteArray& bytes);

  CLblColor* title_ = nullptr;
  CLineGraph* graph_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* stop_ = nullptr;
  QPushButton* saveCsv_ = nullptr;
  QPushButton* savePicture_ = nullptr;
  QPushButton* close_ = nullptr;

  int signal_ = kNone;
  QString name_;
  QString unit_;  // "(degC)"
  QString pvUnit_;
  QString terminalUnit_;
  bool running_ = false;
  bool rescalePending_ = true;
  std::optional<std::int64_t> startTick_;
  QString tag_;
  QString runTag_;     // the tag and the local date and time of the run's first sample
  QDateTime runDate_;
  std::int64_t lastTick_ = 0;
  SaveDialog saveDialog_;
  Clock clock_;
  QString lastFolder_;
};

}  // namespace va5
