#include "gui/FontManager.h"

#include <QApplication>
#include <algorithm>
#include <optional>

namespace va5 {
namespace {
std::optional<QFont>& Template() {
  static std::optional<QFont> font;
  return font;
}
}  // namespace

void CFontManager::CaptureFontTemplate(const QFont& font) { Template() = font; }

QFont CFontManager::FontTemplate() {
  // Before the main window captured its font, the application font serves.
  return Template() ? *Template() : QApplication::font();
}

void CFontManager::MakeFont(QFont& font, int tenthsOfPoint, int weight) {
  QFont made = FontTemplate();
  made.setPointSizeF(std::max(1, tenthsOfPoint) / 10.0);
  made.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 1, 1000)));
  font = made;
}

}  // namespace va5
