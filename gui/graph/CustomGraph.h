// The table graph window: one of the custom tables of an editor drawn as a curve, with the
// table's name, the value axis's name and unit and the horizontal axis's name.
#pragma once

#include <QString>
#include <QWidget>
#include <vector>

#include "gui/FontManager.h"
#include "gui/graph/GraphScale.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace va5 {

class CLblColor;
class CLineGraph;
class CUnderLine;

// The editors give the texts (SetTexts), then the series with the ranges of both axes
// (SetGraph), then show it (Show(true)). "Close Graph" empties the series, hides the window
// and says so (closeRequested): the editor enables its graph button again and the main window
// shows the trend graph or the live display in its place.
class CCustomGraph : public QWidget, public CFontManager {
  Q_OBJECT

 public:
  static constexpr QRgb kTitleBackground = 0xFF78B8D2;  // RGB(120, 184, 210)

  explicit CCustomGraph(QWidget* parent = nullptr);
  ~CCustomGraph() override;

  void SetTexts(const QString& title, const QString& valueUnit, const QString& horizontalName,
                const QString& valueName);
  // The curve of (horizontal[i], values[i]) within the given axis ranges; the same points are
  // listed beside it. A range without
  // width (a table whose values are all equal) or with a limit that is not finite is widened
  // around its values: see WidenRange.
  void SetGraph(const std::vector<double>& horizontal, const std::vector<double>& values,
                graph::Range horizontalRange, graph::Range valueRange);

  // Shows (localised with layout 159, the focus on "Close Graph") or hides the window.
  void Show(bool visible);
  // "Close Graph".
  void Close();

  // An axis range fit to draw: reversed limits are swapped; non-finite limits are taken from
  // the series' finite extremes (0 ... 1 without any); a range without width is opened
  // around its middle by a tenth of the middle's magnitude on either side, at least 1.
  static graph::Range WidenRange(graph::Range range, const graph::Extremes& values);

  CLineGraph* Graph() const { return graph_; }
  QString Title() const { return title_; }
  QPushButton* CloseButton() const { return close_; }
  // The points drawn, one row each: horizontal value, value.
  QTableWidget* Points() const { return points_; }

 signals:
  void closeRequested();

 private:
  void Build();
  void ApplyTexts();

  QString title_;
  QString valueUnit_;
  QString horizontalName_;
  QString valueName_;
  CLblColor* titleLabel_ = nullptr;
  QLabel* unitLabel_ = nullptr;
  QLabel* valueNameLabel_ = nullptr;
  CUnderLine* bar_ = nullptr;
  QLabel* horizontalNameLabel_ = nullptr;
  CLineGraph* graph_ = nullptr;
  QTableWidget* points_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace va5
