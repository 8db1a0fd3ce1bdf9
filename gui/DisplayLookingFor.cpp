#include "gui/DisplayLookingFor.h"

#include <QPainter>
#include <algorithm>

namespace va5 {

namespace {
constexpr int kScaleHeight = 8;  // the tick area under the bar
constexpr int kMargin = 3;
}  // namespace

CDisplayLookingFor::CDisplayLookingFor(QWidget* parent) : QWidget(parent) {
  setMinimumSize(240, 30);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  Draw();
}

void CDisplayLookingFor::SetSteps(int steps) {
  steps_ = std::clamp(steps, 0, kSteps);
  Draw();
  update();
}

void CDisplayLookingFor::Draw() {
  const QSize size = this->size().isEmpty() ? QSize(1, 1) : this->size();
  if (image_.size() != size) image_ = QImage(size, QImage::Format_RGB32);
  image_.fill(FieldColour());
  QPainter painter(&image_);
  const int left = kMargin;
  const int width = std::max(1, size.width() - 2 * kMargin);
  const int barHeight = std::max(1, size.height() - kScaleHeight - 2 * kMargin);
  const QRect bar(left, kMargin, width, barHeight);
  const int done = width * steps_ / kSteps;
  painter.fillRect(QRect(left, bar.top(), done, barHeight), DoneColour());
  painter.fillRect(QRect(left + done, bar.top(), width - done, barHeight), RestColour());
  // The scale: a tick per address step, a long one at each third.
  painter.setPen(Qt::white);
  const int base = bar.bottom() + 1;
  for (int i = 0; i <= kSteps; ++i) {
    const int x = left + (width - 1) * i / kSteps;
    const int length = i % 5 == 0 ? kScaleHeight : kScaleHeight / 2;
    painter.drawLine(x, base, x, base + length - 1);
  }
}

void CDisplayLookingFor::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Draw();
}

void CDisplayLookingFor::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, image_);
}

}  // namespace va5
