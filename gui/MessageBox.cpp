#include "gui/MessageBox.h"

#include <QCoreApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <vector>

#include "gui/Localise.h"
#include "lang/MessageFormat.h"
#include "lang/PrivateException.h"
#include "lang/ResourceDatabase.h"

namespace va5 {
namespace {

MessageBoxHook& Hook() {
  static MessageBoxHook hook;
  return hook;
}

// Calls hold(false) when it goes out of scope, whatever happens in between.
class HoldScope {
 public:
  explicit HoldScope(const HoldCallback& hold) : hold_(hold) {
    if (hold_) hold_(true);
  }
  ~HoldScope() {
    if (hold_) hold_(false);
  }
  HoldScope(const HoldScope&) = delete;
  HoldScope& operator=(const HoldScope&) = delete;

 private:
  const HoldCallback& hold_;
};

QMessageBox::Icon IconOf(int style) {
  switch (style & 0xF0) {
    case 0x10:
      return QMessageBox::Critical;
    case 0x20:
      return QMessageBox::Question;
    case 0x30:
      return QMessageBox::Warning;
    case 0x40:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

StandardButton CaptionOf(QMessageBox::StandardButton which) {
  switch (which) {
    case QMessageBox::Cancel:
      return StandardButton::Cancel;
    case QMessageBox::Yes:
      return StandardButton::Yes;
    case QMessageBox::No:
      return StandardButton::No;
    case QMessageBox::Retry:
      return StandardButton::Retry;
    default:
      return StandardButton::Ok;
  }
}

int ShowRealBox(const MessageRequest& request) {
  QMessageBox box(IconOf(request.style), request.caption, request.text, QMessageBox::NoButton,
                  request.owner);
  box.setTextFormat(Qt::PlainText);
  QPushButton* defaultButton = nullptr;
  QPushButton* escapeButton = nullptr;
  // In the order of the style's name; every caption in the language of the texts (Qt's own
  // would follow the system's).
  std::vector<QPushButton*> added;
  auto add = [&](QMessageBox::StandardButton which) {
    QPushButton* button = box.addButton(which);
    added.push_back(button);
    button->setText(StandardButtonText(CaptionOf(which)));
    return button;
  };
  switch (request.style & 0x0F) {
    case 1:  // OK, Cancel
      defaultButton = add(QMessageBox::Ok);
      escapeButton = add(QMessageBox::Cancel);
      break;
    case 3:  // Yes, No, Cancel
      defaultButton = add(QMessageBox::Yes);
      add(QMessageBox::No);
      escapeButton = add(QMessageBox::Cancel);
      break;
    case 4:  // Yes, No
      defaultButton = add(QMessageBox::Yes);
      escapeButton = add(QMessageBox::No);
      break;
    case 5:  // Retry, Cancel
      defaultButton = add(QMessageBox::Retry);
      escapeButton = add(QMessageBox::Cancel);
      break;
    default:  // OK
      defaultButton = escapeButton = add(QMessageBox::Ok);
      break;
  }
  if ((request.style & kStyleDefaultSecond) != 0 && added.size() > 1) defaultButton = added[1];
  box.setDefaultButton(defaultButton);
  box.setEscapeButton(escapeButton);
  for (QAbstractButton* button : box.buttons()) button->setAccessibleName(button->text());
  if (request.topmost) box.setWindowFlag(Qt::WindowStaysOnTopHint);
  box.setWindowModality(request.owner != nullptr && !request.topmost ? Qt::WindowModal
                                                                     : Qt::ApplicationModal);
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  switch (box.standardButton(clicked)) {
    case QMessageBox::Ok:
      return kAnswerOk;
    case QMessageBox::Yes:
      return kAnswerYes;
    case QMessageBox::No:
      return kAnswerNo;
    case QMessageBox::Retry:
      return kAnswerRetry;
    default:
      // Closed without a button: the escape button's answer.
      return clicked == nullptr && escapeButton == defaultButton ? kAnswerOk : kAnswerCancel;
  }
}

}  // namespace

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) {
  MessageBoxHook previous = std::move(Hook());
  Hook() = std::move(hook);
  return previous;
}

int ShowMessageRequest(const MessageRequest& request, const HoldCallback& hold) {
  HoldScope scope(hold);
  if (Hook()) return Hook()(request);
  return ShowRealBox(request);
}

int ShowUIMessage(QWidget* owner, const std::string& key, const std::vector<std::string>& args,
                  int style, const HoldCallback& hold, bool topmost) {
  MessageRequest request;
  request.owner = owner;
  request.caption = ToQString(GetUIMsg("Message_Box"));
  request.text = ToQString(FormatMessageText(GetUIMsg(key), args));
  request.style = style;
  request.topmost = topmost;
  return ShowMessageRequest(request, hold);
}

int ShowFileWriteError(QWidget* owner, const QString& path, const std::string& why,
                       const HoldCallback& hold) {
  MessageRequest request;
  request.owner = owner;
  request.caption = UIText("Message_Box", "Message");
  request.text = UIText("Err_File_Write", "The file could not be written.%n%1%n%2",
                        {QDir::toNativeSeparators(path).toStdString(), why});
  request.style = kStyleOkExclamation;
  return ShowMessageRequest(request, hold);
}

int ReportException(QWidget* owner, const CPrivateException& error, int style,
                    const HoldCallback& hold) {
  MessageRequest request;
  request.owner = owner;
  request.caption = QCoreApplication::applicationName();
  request.text = ToQString(error.ReportText());
  request.style = style;
  return ShowMessageRequest(request, hold);
}

}  // namespace va5
