// The live display: four bar gauges (PV, PV %, terminal temperature, analog output) with
// their captions, units, scale edit boxes and trend graph buttons.
#pragma once

#include <QWidget>
#include <array>

#include "gui/FontManager.h"
#include "gui/MessageBox.h"
#include "gui/display/DisplayValues.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace va5 {

class CTemperature;

class CDisplayArea : public QWidget, public CFontManager {
  Q_OBJECT

 public:
  // The signals a gauge shows, in the order of the gauges; also the trend graph's choice.
  enum Signal : int { kPv = 0, kPercent = 1, kTerminal = 2, kLoopCurrent = 3 };
  static constexpr int kSignalCount = 4;

  explicit CDisplayArea(QWidget* parent = nullptr);

  // A poll's values: the gauges, the PV scale (the device's range, larger value on top) and
  // the unit labels. Call it only for good polls: a failed poll keeps the last values.
  void Update(const DisplayValues& values);
  // The unit labels alone, e.g. after an upload changed a unit and before the next poll.
  void SetUnits(const QString& pvUnit, const QString& terminalUnit);
  // Off line: no gauge shows a number or a bar, the units are blank and the graph buttons
  // wait for a device; nothing read before is shown as if it were live.
  void ShowOffline();

  // Applies the language's texts (layout 142) and gives the gauges their new captions.
  void Localise();

  // The trend graph buttons; disabled until the main window says a device is connected.
  void SetGraphsEnabled(bool enabled);

  // Holds the communication worker around the display's message box.
  void SetHoldCallback(HoldCallback hold) { hold_ = std::move(hold); }

  CTemperature* Gauge(Signal signal) const { return gauges_[signal]; }
  // The scale boxes above (max) and below (min) the bar; none for the PV gauge.
  QLineEdit* MaxEdit(Signal signal) const { return maxEdits_[signal]; }
  QLineEdit* MinEdit(Signal signal) const { return minEdits_[signal]; }
  QPushButton* GraphButton(Signal signal) const { return graphButtons_[signal]; }
  // The trend graph's title for a signal: the caption and the unit in parentheses.
  QString GraphTitle(Signal signal) const;

 signals:
  // A graph button was pressed: the trend graph should record `signal` under `title`.
  void graphRequested(int signal, const QString& title);
  // A scale box's new limit was taken and the gauge redrawn.
  void scaleChanged(int signal);

 private:
  void CommitScale(Signal signal, bool isMax);
  void RefreshCaptions();

  std::array<CTemperature*, kSignalCount> gauges_{};
  std::array<QLabel*, kSignalCount> captions_{};
  std::array<QLabel*, kSignalCount> units_{};
  std::array<QLineEdit*, kSignalCount> maxEdits_{};
  std::array<QLineEdit*, kSignalCount> minEdits_{};
  std::array<QPushButton*, kSignalCount> graphButtons_{};
  // The text of each box when its limit was last taken: a refused entry returns to it.
  std::array<QString, kSignalCount> maxAccepted_{};
  std::array<QString, kSignalCount> minAccepted_{};
  HoldCallback hold_;
  // While the refusal box is open the box loses focus and would report its end once more.
  bool refusing_ = false;
};

}  // namespace va5
