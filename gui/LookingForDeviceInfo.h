// The device search window: the progress text, the bar and the address being tried.
#pragma once

#include <QFrame>

#include "gui/FontManager.h"

class QLabel;

namespace va5 {

class CDisplayLookingFor;

class CLookingForDeviceInfo : public QFrame, public CFontManager {
  Q_OBJECT

 public:
  explicit CLookingForDeviceInfo(QWidget* parent = nullptr);

  // Visible: localises, shows `text` and the start address with no step made, centred on
  // `area`; hidden otherwise.
  void Show(bool visible, const QString& text = {}, int address = 0, const QRect& area = {});
  // Steps made so far (of fifteen) and the address being tried now.
  void SetProgress(int steps, int address);

  QString AddressText() const;
  CDisplayLookingFor* Bar() const { return bar_; }

 private:
  QLabel* message_;
  CDisplayLookingFor* bar_;
  QLabel* addressLabel_;
  QLabel* address_;
};

}  // namespace va5
