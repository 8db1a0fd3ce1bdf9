// The line-graph control of the trend graph and the table graph window: a black plot area
// with white axis ticks, the value labels on the left, the time (horizontal) labels below and
// one yellow curve.
#pragma once

#include <QRect>
#include <QString>
#include <QWidget>
#include <cstddef>

#include "gui/graph/GraphScale.h"

namespace va5 {

class CLineGraph : public QWidget {
  Q_OBJECT

 public:
  static constexpr QRgb kCurveColour = 0xFFFFFF00;  // RGB(255, 255, 0)

  explicit CLineGraph(QWidget* parent = nullptr);

  // The samples. Changing them shows nothing until Plot.
  graph::SampleSeries& Series() { return series_; }
  const graph::SampleSeries& Series() const { return series_; }

  void SetRanges(graph::Range x, graph::Range y);
  graph::Range XRange() const { return x_; }
  graph::Range YRange() const { return y_; }

  // The texts along the bottom: the value unit on the left, the name in the middle and the
  // horizontal axis's name on the right. Empty texts are left out.
  void SetTexts(const QString& unit, const QString& name, const QString& horizontalName);

  // Shows the curve of every sample the series holds now.
  void Plot();
  // Shows the axes alone.
  void ClearPlot();
  // How many samples the shown curve holds (0 after ClearPlot).
  std::size_t PlottedCount() const { return plotted_; }

  // The black area in which the curve is drawn, in control coordinates.
  QRect PlotArea() const;

  QSize sizeHint() const override { return {560, 380}; }
  QSize minimumSizeHint() const override { return {320, 220}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void DrawValueAxis(class QPainter& painter, const QRect& area) const;
  void DrawTimeAxis(class QPainter& painter, const QRect& area) const;
  void DrawCurve(class QPainter& painter, const QRect& area) const;
  void DrawTexts(class QPainter& painter) const;

  graph::SampleSeries series_;
  graph::Range x_{0.0, 1.0};
  graph::Range y_{0.0, 0.1};
  std::size_t plotted_ = 0;
  QString unit_;
  QString name_;
  QString horizontalName_;
};

}  // namespace va5
