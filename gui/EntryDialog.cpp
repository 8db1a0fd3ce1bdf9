#include "gui/EntryDialog.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/Localise.h"

namespace va5 {

QHBoxLayout* MakeOkCancelRow(QPushButton* ok, QPushButton* cancel) {
  // Enter and Space are handled by the dialogs themselves, never by a default button.
  for (QPushButton* button : {ok, cancel}) {
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setMinimumWidth(90);
  }
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(ok);
  row->addWidget(cancel);
  return row;
}

CEntryDialog::CEntryDialog(int layoutId, QWidget* parent)
    : QDialog(parent),
      prompt_(new QLabel(this)),
      edit_(new QLineEdit(this)),
      live_(new QLabel(this)),
      ok_(new QPushButton(StandardButtonText(StandardButton::Ok), this)),
      cancel_(new QPushButton(StandardButtonText(StandardButton::Cancel), this)) {
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  SetControlId(prompt_, kPromptId);
  SetControlId(edit_, kEditId);
  SetControlId(ok_, kOkId);
  SetControlId(cancel_, kCancelId);

  prompt_->setTextFormat(Qt::PlainText);
  prompt_->setWordWrap(true);
  prompt_->setMinimumWidth(400);
  QFont font;
  MakeFont(font, 130, 700);
  prompt_->setFont(font);
  edit_->setFont(font);
  QHBoxLayout* buttons = MakeOkCancelRow(ok_, cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(prompt_);
  layout->addWidget(edit_);
  live_->setTextFormat(Qt::PlainText);
  live_->hide();
  layout->addWidget(live_);
  layout->addSpacing(6);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(ok_, &QPushButton::clicked, this, [this] { Confirm(false); });
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

  LocaliseWindow(layoutId, this);
  NameButtonsByCaption(this);
}

void CEntryDialog::SetLiveValue(const QString& text) {
  live_->setText(text);
  live_->setAccessibleName(text);
  live_->show();
}

void CEntryDialog::ShowTexts(const QString& title, const QString& prompt, const QString& start) {
  if (!title.isEmpty()) setWindowTitle(title);
  prompt_->setText(prompt);
  prompt_->setVisible(!prompt.isEmpty());
  edit_->setAccessibleName(prompt.isEmpty() ? windowTitle() : prompt.simplified());
  edit_->setText(start);
  SelectEdit();
}

void CEntryDialog::Fail(const std::string& key, const std::vector<std::string>& args) {
  ShowUIMessage(this, key, args, kStyleOkExclamation, hold_);
  SelectEdit();
}

std::string CEntryDialog::EditText() const { return edit_->text().toStdString(); }

void CEntryDialog::SelectEdit() {
  edit_->selectAll();
  edit_->setFocus(Qt::OtherFocusReason);
}

void CEntryDialog::Confirm(bool byEnter) {
  if (TakeEntry(byEnter)) accept();
}

void CEntryDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    if (focusWidget() == cancel_) {
      reject();
    } else {
      Confirm(true);
    }
    return;
  }
  QDialog::keyPressEvent(event);
}

void CEntryDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  activateWindow();
  SelectEdit();
}

}  // namespace va5
