#include "gui/LblColor.h"

#include "gui/FontManager.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>

namespace va5 {
namespace {
// The one default font of all coloured labels: 15 pixels, normal weight.
QFont DefaultFont() {
  static const QFont font = [] {
    QFont f = QApplication::font();
    f.setPixelSize(15);
    f.setWeight(QFont::Normal);
    return f;
  }();
  return font;
}
}  // namespace

CLblColor::CLblColor(QWidget* parent) : CLblColor(QString(), parent) {}

CLblColor::CLblColor(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setTextFormat(Qt::PlainText);
  SetLook(DefaultFont(), QApplication::palette().color(QPalette::Button), Qt::black);
}

void CLblColor::SetLook(const QFont& font, const QColor& background, const QColor& text) {
  background_ = background;
  text_ = text;
  setFont(font);
  QPalette colours = palette();
  colours.setColor(QPalette::WindowText, text_);
  colours.setColor(QPalette::Window, background_);
  setPalette(colours);
  update();
}

void CLblColor::paintEvent(QPaintEvent* event) {
  {
    QPainter painter(this);
    painter.fillRect(rect(), background_);
  }
  QLabel::paintEvent(event);
}

void CLblColor::SetCaptionLook() {
  QFont font;
  CFontManager::MakeFont(font, 110, 700);
  SetLook(font, QColor(252, 209, 193), Qt::black);
}

}  // namespace va5
