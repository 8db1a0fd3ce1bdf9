#include "gui/UnderLine.h"

#include <QPainter>
#include <QResizeEvent>

namespace va5 {

CUnderLine::CUnderLine(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

void CUnderLine::Prepare() {
  image_ = QPixmap(size().expandedTo(QSize(1, 1)));
  image_.fill(QColor::fromRgb(kColour));
  update();
}

void CUnderLine::paintEvent(QPaintEvent*) {
  if (image_.isNull()) return;
  QPainter painter(this);
  painter.drawPixmap(QRect(QPoint(0, 0), size()), image_);
}

void CUnderLine::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // A bar that was prepared keeps covering its whole area when its size changes.
  if (!image_.isNull()) Prepare();
}

}  // namespace va5
