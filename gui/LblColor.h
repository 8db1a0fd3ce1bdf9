// A label with its own font, text colour and background, for headings, values and lamps.
#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>

namespace va5 {

class CLblColor : public QLabel {
  Q_OBJECT

 public:
  explicit CLblColor(QWidget* parent = nullptr);
  CLblColor(const QString& text, QWidget* parent = nullptr);

  void SetLook(const QFont& font, const QColor& background, const QColor& text);
  // The look of every panel's caption: bold 11 point, black on RGB(252,209,193).
  void SetCaptionLook();

  QColor Background() const { return background_; }
  QColor TextColor() const { return text_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor background_;
  QColor text_;
};

}  // namespace va5
