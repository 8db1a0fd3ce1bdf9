// The protocol every function panel of the main window follows.
#pragma once

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include "base/MessageSink.h"
#include "gui/LblColor.h"
#include "gui/Localise.h"

namespace va5 {

// A panel of the main window's left column. Showing it localises it by its layout number and
// makes it the receiver of the worker's messages under its own reply message (0x8000 + n);
// its close button asks the main window to show the sensor information panel again. Messages
// a panel does not handle (progress, failures, the worker's end, polls) go to the main
// window's common handler.
class CPanel : public QWidget {
  Q_OBJECT

 public:
  CPanel(int layout, int replyMessage, QWidget* parent = nullptr)
      : QWidget(parent), layout_(layout), replyMessage_(replyMessage) {}

  int Layout() const { return layout_; }
  int ReplyMessage() const { return replyMessage_; }

  // Shows or hides the panel; showing localises it and fills it from the device record.
  virtual void Show(bool visible) = 0;
  // A worker message addressed to this panel; false hands it to the main window's common
  // handler.
  virtual bool OnWorkerMessage(const WorkerMessage& message) = 0;

 signals:
  // The panel's close button: the main window shows the sensor information panel again.
  void closeRequested();
  // A graph of the panel (a table graph) takes the live display's place, and gives it back.
  void graphShown(QWidget* graph);
  void graphHidden(QWidget* graph);

 private:
  int layout_;
  int replyMessage_;
};

// A push button with half an average character more room on either side of its caption than
// the style gives, so that no caption, in any language, touches the edges.
class CPaddedButton : public QPushButton {
 public:
  using QPushButton::QPushButton;
  QSize sizeHint() const override { return Padded(QPushButton::sizeHint()); }
  QSize minimumSizeHint() const override { return Padded(QPushButton::minimumSizeHint()); }

 private:
  QSize Padded(QSize size) const {
    return {size.width() + fontMetrics().averageCharWidth(), size.height()};
  }
};

// A panel's push button with its control identifier; Enter never presses it by default.
inline QPushButton* MakePanelButton(const char* caption, int id, QWidget* parent) {
  auto* button = new CPaddedButton(QString::fromUtf8(caption), parent);
  SetControlId(button, id);
  button->setAutoDefault(false);
  button->setMinimumHeight(28);
  return button;
}

// A panel's caption or heading: bold on the caption colour, centred, wrapping when narrow.
inline CLblColor* MakePanelCaption(const char* caption, int id, QWidget* parent) {
  auto* label = new CLblColor(QString::fromUtf8(caption), parent);
  SetControlId(label, id);
  label->SetCaptionLook();
  label->setAlignment(Qt::AlignCenter);
  label->setWordWrap(true);
  return label;
}

// A sunken value field of a panel (the program sets its text).
inline QLabel* MakeValueLabel(int id, QWidget* parent) {
  auto* label = new QLabel(parent);
  SetControlId(label, id);
  label->setFrameShape(QFrame::Panel);
  label->setFrameShadow(QFrame::Sunken);
  label->setAlignment(Qt::AlignCenter);
  label->setMinimumWidth(48);
  return label;
}

}  // namespace va5
