#include "gui/graph/LineGraph.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "gui/FontManager.h"

namespace va5 {

namespace {

constexpr int kLabelRight = 47;  // x of the last character of a value label
constexpr int kLabelPitch = 7;   // pixels between the characters of a value label
constexpr int kPlotLeft = 56;
constexpr int kMargin = 14;
constexpr int kShortTick = 5;
constexpr int kLongTick = 10;
// Curve points far outside the plot are pulled in to this distance: the clip hides them and
// the painter never meets coordinates it cannot hold.
constexpr double kFarOutside = 1e4;

// Where `v` lies between `min` and `max` (0 ... 1 inside), without overflow for ranges near
// the double limits.
double Fraction(double v, double min, double max) {
  const double span = max * 0.5 - min * 0.5;
  if (!std::isfinite(span) || !(span > 0)) return 0.5;
  return (v * 0.5 - min * 0.5) / span;
}

double PixelX(double t, graph::Range x, const QRect& area) {
  const double px = area.left() + Fraction(t, x.min, x.max) * (area.width() - 1);
  return std::clamp(px, -kFarOutside, kFarOutside);
}

double PixelY(double v, graph::Range y, const QRect& area) {
  const double py = area.bottom() - Fraction(v, y.min, y.max) * (area.height() - 1);
  return std::clamp(py, -kFarOutside, kFarOutside);
}

void Flush(QPainter& painter, QPolygonF& line) {
  if (line.size() == 1) painter.drawPoint(line.front());
  if (line.size() > 1) painter.drawPolyline(line);
  line.clear();
}

}  // namespace

CLineGraph::CLineGraph(QWidget* parent) : QWidget(parent) {
  QFont small = font();
  CFontManager::MakeFont(small, 80, 400);
  setFont(small);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void CLineGraph::SetRanges(graph::Range x, graph::Range y) {
  x_ = x;
  y_ = y;
  update();
}

void CLineGraph::SetTexts(const QString& unit, const QString& name, const QString& horizontalName) {
  unit_ = unit;
  name_ = name;
  horizontalName_ = horizontalName;
  update();
}

void CLineGraph::Plot() {
  plotted_ = series_.Size();
  update();
}

void CLineGraph::ClearPlot() {
  plotted_ = 0;
  update();
}

QRect CLineGraph::PlotArea() const {
  const int line = QFontMetrics(font()).height();
  // Below the plot: the horizontal labels, then the row of texts if there are any.
  const bool texts = !unit_.isEmpty() || !name_.isEmpty() || !horizontalName_.isEmpty();
  const int bottom = height() - (texts ? 2 * line + 10 : line + 6);
  return QRect(QPoint(kPlotLeft, kMargin),
               QPoint(width() - kMargin, std::max(bottom, kMargin + 10)));
}

void CLineGraph::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  const QRect area = PlotArea();
  painter.fillRect(area, Qt::black);
  DrawValueAxis(painter, area);
  DrawTimeAxis(painter, area);
  DrawTexts(painter);
  if (plotted_ > 0) DrawCurve(painter, area);
}

namespace {

// The labelled ticks with the ends first: where two labels would meet, the end of the axis
// keeps its label.
std::vector<graph::AxisTick> LabelsByPriority(const std::vector<graph::AxisTick>& ticks) {
  std::vector<graph::AxisTick> labels;
  for (const graph::AxisTick& tick : ticks) {
    if (tick.kind == graph::AxisTick::kEnd) labels.push_back(tick);
  }
  for (const graph::AxisTick& tick : ticks) {
    if (tick.Labelled() && tick.kind != graph::AxisTick::kEnd) labels.push_back(tick);
  }
  return labels;
}

bool Meets(const std::vector<std::pair<int, int>>& taken, int from, int to) {
  return std::any_of(taken.begin(), taken.end(),
                     [&](const auto& span) { return from <= span.second && to >= span.first; });
}

}  // namespace

void CLineGraph::DrawValueAxis(QPainter& painter, const QRect& area) const {
  const std::vector<graph::AxisTick> ticks = graph::TicksOf(y_.min, y_.max);
  painter.setPen(Qt::white);
  for (const graph::AxisTick& tick : ticks) {
    const int py = static_cast<int>(std::lround(PixelY(tick.value, y_, area)));
    // Ticks reach no closer than a pixel to the top of the plot.
    if (py <= area.top() + 1 || py > area.bottom()) continue;
    const int length = tick.kind == graph::AxisTick::kMinor ? kShortTick : kLongTick;
    painter.drawLine(area.left(), py, area.left() + length, py);
  }
  // The labels are set character by character at a fixed pitch, so they read evenly in a
  // font whose characters share one width.
  QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  fixed.setPointSizeF(font().pointSizeF());
  painter.setFont(fixed);
  const QFontMetrics metrics(fixed);
  painter.setPen(palette().color(QPalette::WindowText));
  std::vector<std::pair<int, int>> taken;
  for (const graph::AxisTick& tick : LabelsByPriority(ticks)) {
    const int py = static_cast<int>(std::lround(PixelY(tick.value, y_, area)));
    if (py < area.top() || py > area.bottom()) continue;
    // The label stands with its top 5 pixels above the tick; labels that would meet are
    // left out.
    const int top = py - 5;
    if (top < 0 || Meets(taken, top, top + metrics.height())) continue;
    taken.emplace_back(top, top + metrics.height());
    const QString label = QString::fromStdString(graph::AxisLabel(tick.value));
    int x = kLabelRight;
    for (auto c = label.size(); c-- > 0 && x > -kLabelPitch; x -= kLabelPitch) {
      painter.drawText(x, top + metrics.ascent(), QString(label[c]));
    }
  }
  painter.setFont(font());
}

void CLineGraph::DrawTimeAxis(QPainter& painter, const QRect& area) const {
  const QFontMetrics metrics(font());
  const std::vector<graph::AxisTick> ticks = graph::TicksOf(x_.min, x_.max);
  painter.setPen(Qt::white);
  for (const graph::AxisTick& tick : ticks) {
    const int px = static_cast<int>(std::lround(PixelX(tick.value, x_, area)));
    if (px >= area.right() - 1 || px < area.left()) continue;
    const int length = tick.kind == graph::AxisTick::kMinor ? kShortTick : kLongTick;
    painter.drawLine(px, area.bottom(), px, area.bottom() - length);
  }
  painter.setPen(palette().color(QPalette::WindowText));
  std::vector<std::pair<int, int>> taken;
  for (const graph::AxisTick& tick : LabelsByPriority(ticks)) {
    if (tick.kind == graph::AxisTick::kMiddle) continue;  // the majors and ends only
    const int px = static_cast<int>(std::lround(PixelX(tick.value, x_, area)));
    if (px > area.right() || px < area.left()) continue;
    const QString label = QString::fromStdString(graph::TimeLabel(tick.value));
    const int width = metrics.horizontalAdvance(label);
    // Centred under its tick, but kept on the control; labels that would meet are left out.
    const int left = std::clamp(px - width / 2, 0, std::max(this->width() - width, 0));
    if (Meets(taken, left - 4, left + width + 4)) continue;
    taken.emplace_back(left, left + width);
    painter.drawText(left, area.bottom() + 3 + metrics.ascent(), label);
  }
}

void CLineGraph::DrawTexts(QPainter& painter) const {
  const QFontMetrics metrics(font());
  painter.setPen(palette().color(QPalette::WindowText));
  const int baseline = height() - 5 - metrics.descent();
  painter.drawText(2, baseline, unit_);
  painter.drawText((width() - metrics.horizontalAdvance(name_)) / 2, baseline, name_);
  painter.drawText(width() - 2 - metrics.horizontalAdvance(horizontalName_), baseline,
                   horizontalName_);
}

void CLineGraph::DrawCurve(QPainter& painter, const QRect& area) const {
  painter.save();
  painter.setClipRect(area);
  painter.setPen(QPen(QColor::fromRgb(kCurveColour), 1, Qt::SolidLine));
  const std::size_t count = std::min(plotted_, series_.Size());
  const int columns = area.width();
  QPolygonF line;
  if (series_.Ordered() && count > static_cast<std::size_t>(4 * columns)) {
    // A long run: each pixel column's samples become one vertical stroke from their
    // smallest to their largest value, run in the direction the column's samples went, so
    // the line joins its neighbours as the samples do. Two points a column at most: the cost
    // follows the width of the plot, not the length of the run.
    const std::vector<graph::ColumnSpan> spans = series_.Columns(count, x_.min, x_.max, columns);
    line.reserve(static_cast<int>(2 * spans.size()));
    for (std::size_t c = 0; c < spans.size(); ++c) {
      const graph::ColumnSpan& span = spans[c];
      if (span.count == 0) continue;
      if (span.empty) {  // only non-finite samples: a gap in the curve
        Flush(painter, line);
        continue;
      }
      const double px = area.left() + (static_cast<double>(c) + 0.5) * (area.width() - 1) / columns;
      const double low = PixelY(span.low, y_, area);
      const double high = PixelY(span.high, y_, area);
      const bool rising = span.last - span.first >= 0;
      line.append(QPointF(px, rising ? low : high));
      if (std::fabs(high - low) >= 0.5) line.append(QPointF(px, rising ? high : low));
    }
  } else {
    const std::vector<double>& times = series_.Times();
    const std::vector<double>& values = series_.Values();
    line.reserve(static_cast<int>(count));
    for (std::size_t i = 0; i < count; ++i) {
      if (!std::isfinite(times[i]) || !std::isfinite(values[i])) {
        Flush(painter, line);
        continue;
      }
      line.append(QPointF(PixelX(times[i], x_, area), PixelY(values[i], y_, area)));
    }
  }
  Flush(painter, line);
  painter.restore();
}

}  // namespace va5
