// The standard fonts: one template captured from the main window, from which every window
// makes its fonts by size (tenths of a point) and weight (400 normal, 700 bold).
#pragma once

#include <QFont>

namespace va5 {

class CFontManager {
 public:
  virtual ~CFontManager() = default;

  // Stores `font` as the template shared by all windows.
  static void CaptureFontTemplate(const QFont& font);
  static QFont FontTemplate();

  // Replaces `font` by the template at `tenthsOfPoint` / 10 points and the given weight.
  static void MakeFont(QFont& font, int tenthsOfPoint, int weight);
};

}  // namespace va5
