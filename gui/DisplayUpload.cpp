#include "gui/DisplayUpload.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace va5 {

CDisplayUpload::CDisplayUpload(QWidget* parent) : QWidget(parent) {
  setMinimumSize(240, 18);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  Draw();
}

void CDisplayUpload::SetValue(double percent) {
  percent_ = std::isnan(percent) ? 0.0 : std::clamp(percent, 0.0, 100.0);
  Draw();
  update();
}

void CDisplayUpload::Draw() {
  const QSize size = this->size().isEmpty() ? QSize(1, 1) : this->size();
  if (image_.size() != size) image_ = QImage(size, QImage::Format_RGB32);
  image_.fill(DoneColour());
  const int doneWidth = static_cast<int>(std::lround(size.width() * percent_ / 100.0));
  QPainter painter(&image_);
  painter.fillRect(QRect(doneWidth, 0, size.width() - doneWidth, size.height()), RestColour());
}

void CDisplayUpload::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Draw();
}

void CDisplayUpload::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, image_);
}

}  // namespace va5
