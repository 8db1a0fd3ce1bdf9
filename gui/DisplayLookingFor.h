// The bar of the device search window.
#pragma once

#include <QImage>
#include <QWidget>

#include "device/DeviceRecord.h"

namespace va5 {

// Drawn off screen and copied when painted: a dark grey field with a scale of three major
// divisions and fifteen minor ticks; the share of addresses tried (steps of fifteen) is green,
// the rest grey.
class CDisplayLookingFor : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kSteps = MaxPollingAddress;  // the moves of one search round

  explicit CDisplayLookingFor(QWidget* parent = nullptr);

  // Steps outside 0 ... 15 are held to the nearest end.
  void SetSteps(int steps);
  int Steps() const { return steps_; }
  const QImage& Image() const { return image_; }

  static QColor FieldColour() { return QColor(0x66, 0x66, 0x66); }
  static QColor DoneColour() { return QColor(51, 255, 51); }
  static QColor RestColour() { return QColor(0x7D, 0x7D, 0x7D); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Draw();

  int steps_ = 0;
  QImage image_;
};

}  // namespace va5
