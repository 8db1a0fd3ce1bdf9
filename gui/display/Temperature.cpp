#include "gui/display/Temperature.h"

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <limits>

#include "gui/FontManager.h"
#include "gui/display/GaugeScale.h"

namespace va5 {
namespace {

constexpr int kLongTick = 12;
constexpr int kShortTick = 8;
// Room between a tick's left end and the right edge of its label.
constexpr int kLabelGap = 4;

// A pixel row for `value` on the bar; the value lies within the scale, so the result stays
// within top ... bottom and fits an int.
int RowOf(double value, double max, double min, const QRect& bar) {
  const double top = bar.top();
  const double bottom = bar.bottom();
  const double row = bottom - (value - min) * ((bottom - top) / (max - min));
  return static_cast<int>(std::lround(std::clamp(row, top, bottom)));
}

// What assistive technology reads from a gauge: a level indicator with its caption as the
// name, its value text, and the value and scale limits as numbers (none while not a number).
class AccessibleGauge : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit AccessibleGauge(CTemperature* gauge)
      : QAccessibleWidget(gauge, QAccessible::ProgressBar) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return Gauge()->ValueText();
    return QAccessibleWidget::text(t);
  }

  QVariant currentValue() const override {
    return Gauge()->Failed() ? QVariant() : Number(Gauge()->Value());
  }
  void setCurrentValue(const QVariant&) override {}  // the device decides the value
  QVariant maximumValue() const override { return Number(Gauge()->ScaleMax()); }
  QVariant minimumValue() const override { return Number(Gauge()->ScaleMin()); }
  QVariant minimumStepSize() const override { return {}; }

 private:
  const CTemperature* Gauge() const { return static_cast<const CTemperature*>(widget()); }
  static QVariant Number(double v) { return std::isfinite(v) ? QVariant(v) : QVariant(); }
};

QAccessibleInterface* GaugeAccessibility(const QString& className, QObject* object) {
  if (className == QLatin1String("va5::CTemperature") && object != nullptr &&
      object->isWidgetType()) {
    return new AccessibleGauge(static_cast<CTemperature*>(object));
  }
  return nullptr;
}

}  // namespace

CTemperature::CTemperature(QWidget* parent) : QWidget(parent), fill_(0, 191, 0) {
  static const bool installed = [] {
    QAccessible::installFactory(GaugeAccessibility);
    return true;
  }();
  (void)installed;
  QFont gaugeFont;
  CFontManager::MakeFont(gaugeFont, 100, 400);
  setFont(gaugeFont);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
  // Nothing has been measured yet: no number and an empty bar until the first poll.
  Clear();
}

void CTemperature::SetShape(Shape shape) {
  shape_ = shape;
  updateGeometry();
  update();
}

void CTemperature::SetFillColor(const QColor& colour) {
  fill_ = colour;
  update();
}

void CTemperature::SetCaption(const QString& caption) { setAccessibleName(caption); }

void CTemperature::SetScale(double max, double min) {
  max_ = max;
  min_ = min;
  update();
}

void CTemperature::SetValue(double value, const QString& note) {
  value_ = value;
  failed_ = false;
  valueText_ = GaugeValueText(value);
  if (!note.isEmpty()) valueText_ += QLatin1Char(' ') + note;
  setAccessibleDescription(valueText_);
  if (QAccessible::isActive()) {
    QAccessibleValueChangeEvent event(this, std::isfinite(value) ? QVariant(value) : QVariant());
    QAccessible::updateAccessibility(&event);
  }
  update();
}

void CTemperature::SetFailure(double value, const QString& text) {
  value_ = value;
  failed_ = true;
  valueText_ = text;
  setAccessibleDescription(valueText_);
  if (QAccessible::isActive()) {
    QAccessibleValueChangeEvent event(this, QVariant());
    QAccessible::updateAccessibility(&event);
  }
  update();
}

void CTemperature::Clear() {
  value_ = std::numeric_limits<double>::quiet_NaN();
  failed_ = false;
  valueText_.clear();
  setAccessibleDescription(QString());
  update();
}

int CTemperature::ValueAreaHeight() const { return fontMetrics().height() + 6; }

int CTemperature::BulbDiameter() const {
  return shape_ == Shape::kThermometer ? std::max(12, BarRect().width() * 8 / 5) : 0;
}

QRect CTemperature::BarRect() const {
  const QFontMetrics metrics = fontMetrics();
  // The bar sits right of the middle: the scale and its labels need the room on the left.
  const int barWidth = std::clamp(width() / 6, 10, 32);
  const int right = width() - std::max(8, width() / 6);
  const int top = metrics.height() / 2 + 4;
  int bottom = height() - ValueAreaHeight() - metrics.height() / 2 - 4;
  if (shape_ == Shape::kThermometer) bottom -= std::max(12, barWidth * 8 / 5) * 3 / 4;
  return QRect(QPoint(right - barWidth, top), QPoint(right, std::max(top + 1, bottom)));
}

QRect CTemperature::FillRect() const {
  const QRect bar = BarRect();
  // A NaN compares false here, so it fills nothing; +Inf lies above any maximum. A failed
  // value fills nothing either: a bar would show a stale number as if it were measured.
  if (failed_ || !IsUsableScale(max_, min_) || !(value_ > min_)) return {};
  const int top = value_ > max_ ? bar.top() : RowOf(value_, max_, min_, bar);
  if (top >= bar.bottom()) return {};
  // Inside the frame, which covers the bar's left and right columns.
  return QRect(QPoint(bar.left() + 1, top), bar.bottomRight() - QPoint(1, 0));
}

int CTemperature::LabelRight() const { return BarRect().left() - kLongTick - kLabelGap; }

QSize CTemperature::sizeHint() const {
  const QFontMetrics metrics = fontMetrics();
  return {metrics.horizontalAdvance(QStringLiteral("-000.00")) + 80, metrics.height() * 18};
}

QSize CTemperature::minimumSizeHint() const {
  const QFontMetrics metrics = fontMetrics();
  return {metrics.horizontalAdvance(QStringLiteral("-000.0")) + 50, metrics.height() * 8};
}

void CTemperature::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) updateGeometry();
  QWidget::changeEvent(event);
}

void CTemperature::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  const QRect bar = BarRect();
  const QFontMetrics metrics = fontMetrics();
  const int barLeft = bar.left() - 1;
  const int labelRight = LabelRight();
  const QPen white(Qt::white);
  painter.setPen(white);

  auto label = [&](int row, const QString& text) {
    const QRect box(0, row - metrics.height() / 2, std::max(0, labelRight), metrics.height());
    painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, text);
  };
  auto tick = [&](int row, int length) { painter.drawLine(barLeft - length, row, barLeft, row); };

  // Fill, frame and the two limits with their ticks.
  const QRect filled = FillRect();
  painter.fillRect(bar.adjusted(1, 1, 0, 0), Qt::black);
  if (!filled.isEmpty()) painter.fillRect(filled, fill_);
  // The bulb of the thermometer, over the foot of the bar and under its frame.
  if (shape_ == Shape::kThermometer) {
    const int diameter = BulbDiameter();
    const QRect bulb(bar.center().x() - diameter / 2, bar.bottom() - diameter / 4, diameter,
                     diameter);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(failed_ ? QColor(Qt::black) : fill_);
    painter.drawEllipse(bulb);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
  }

  if (shape_ == Shape::kThermometer) {
    // Open at the bottom: the bar runs into the bulb.
    painter.drawLine(bar.topLeft(), bar.bottomLeft());
    painter.drawLine(bar.topLeft(), bar.topRight());
    painter.drawLine(bar.topRight(), bar.bottomRight());
  } else {
    painter.drawRect(bar.adjusted(0, 0, -1, 0));
  }
  tick(bar.top(), kLongTick);
  tick(bar.bottom(), kLongTick);
  label(bar.top(), ScaleLabelText(max_));
  label(bar.bottom(), ScaleLabelText(min_));

  // Ticks between the limits; a major label too close to a limit's label is left out.
  const int clearance = std::max(10, metrics.height());
  for (const ScaleTick& scaleTick : ScaleTicks(max_, min_)) {
    const int row = RowOf(scaleTick.value, max_, min_, bar);
    tick(row, scaleTick.long_ ? kLongTick : kShortTick);
    if (scaleTick.major && row - bar.top() >= clearance && bar.bottom() - row >= clearance) {
      label(row, scaleTick.label);
    }
  }

  // The value under a line across the gauge.
  const int line = height() - ValueAreaHeight();
  painter.drawLine(0, line, width(), line);
  // A failure reads in red, apart from any number.
  if (failed_) painter.setPen(QColor(255, 64, 64));
  painter.drawText(QRect(0, line + 3, width(), metrics.height()), Qt::AlignHCenter | Qt::AlignTop,
                   valueText_);
}

}  // namespace va5
