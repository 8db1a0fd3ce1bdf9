// The bar of the upload progress window.
#pragma once

#include <QImage>
#include <QWidget>

namespace va5 {

// Draws into an off-screen image of its size and copies it when painted: green from the left
// for the completed share, grey for the rest.
class CDisplayUpload : public QWidget {
  Q_OBJECT

 public:
  explicit CDisplayUpload(QWidget* parent = nullptr);

  // `percent` outside 0 ... 100 (or not a number) is held to the nearest end.
  void SetValue(double percent);
  double Value() const { return percent_; }
  const QImage& Image() const { return image_; }

  static QColor DoneColour() { return QColor(51, 255, 51); }
  static QColor RestColour() { return QColor(125, 125, 125); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Draw();

  double percent_ = 0.0;
  QImage image_;
};

}  // namespace va5
