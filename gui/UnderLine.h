// A solid yellow bar, drawn from an off-screen image made by Prepare.
#pragma once

#include <QPixmap>
#include <QWidget>

namespace va5 {

class CUnderLine : public QWidget {
  Q_OBJECT

 public:
  static constexpr QRgb kColour = 0xFFFFFF00;  // RGB(255, 255, 0)

  explicit CUnderLine(QWidget* parent = nullptr);

  // Makes the image for the current size.
  void Prepare();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QPixmap image_;
};

}  // namespace va5
