// The upload progress window: a message, the percentage and a bar, over the live display.
#pragma once

#include <QFrame>

#include "gui/FontManager.h"

class QLabel;

namespace va5 {

class CDisplayUpload;

class CUploadDeviceInfo : public QFrame, public CFontManager {
  Q_OBJECT

 public:
  explicit CUploadDeviceInfo(QWidget* parent = nullptr);

  // Visible: shows `text`, starts at 0 and centres itself on `area` (its parent's rectangle
  // of the display); hidden otherwise.
  void Show(bool visible, const QString& text = {}, const QRect& area = {});
  // The percentage as "%2.2f" and the bar.
  void SetValue(double percent);

  QString PercentText() const;
  QString MessageText() const;
  CDisplayUpload* Bar() const { return bar_; }

 signals:
  // Each percentage as it is shown.
  void valueShown(const QString& percent);

 private:
  QLabel* message_;
  QLabel* percent_;
  CDisplayUpload* bar_;
};

}  // namespace va5
