// One vertical bar gauge of the live display: a scale with ticks and labels on the left, the
// bar filled from the scale minimum up to the value, and the value as text underneath. The
// terminal temperature is drawn as a thermometer with a bulb below its bar.
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>
#include <limits>

namespace va5 {

class CTemperature : public QWidget {
  Q_OBJECT

 public:
  enum class Shape { kBar, kThermometer };

  explicit CTemperature(QWidget* parent = nullptr);

  void SetShape(Shape shape);
  void SetFillColor(const QColor& colour);
  // The gauge's name for assistive technology (its caption, "PV", "Term." …).
  void SetCaption(const QString& caption);

  // Any limits are taken; ticks and the fill are drawn only for a usable scale
  // (IsUsableScale), so a device's range of NaN or of two equal values draws an empty frame.
  void SetScale(double max, double min);
  double ScaleMax() const { return max_; }
  double ScaleMin() const { return min_; }

  // Formats and shows the value; not-a-number and infinities are shown, never drawn. A note
  // follows the number ("3.60 Alarm").
  void SetValue(double value, const QString& note = QString());
  // A value the device gives no trust (none sent, or a sensor it reports broken): no fill,
  // and `text` ("Sensor failure") where the number would stand. Value() keeps what was sent.
  void SetFailure(double value, const QString& text);
  bool Failed() const { return failed_; }
  // No value at all (off line): no number and an empty bar.
  void Clear();
  double Value() const { return value_; }
  QString ValueText() const { return valueText_; }

  // The bar rectangle inside the current size, in widget pixels.
  QRect BarRect() const;
  // The filled part of the bar for the current value; empty when nothing is filled.
  QRect FillRect() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  int ValueAreaHeight() const;
  int BulbDiameter() const;
  int LabelRight() const;

  Shape shape_ = Shape::kBar;
  QColor fill_;
  double max_ = 100.0;
  double min_ = 0.0;
  double value_ = std::numeric_limits<double>::quiet_NaN();
  bool failed_ = false;
  QString valueText_;
};

}  // namespace va5
