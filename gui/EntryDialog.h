// The frame shared by the numeric and the text entry dialogs: a prompt, one edit line, OK
// and Cancel. A rejected entry shows a message and leaves the dialog open with the text
// selected.
#pragma once

#include <QDialog>
#include <QString>
#include <string>
#include <vector>

#include "gui/FontManager.h"
#include "gui/MessageBox.h"
#include "lang/ControlIds.h"

class QLabel;
class QLineEdit;
class QHBoxLayout;
class QPushButton;

namespace va5 {

// The OK / Cancel row of the entry and selection dialogs.
QHBoxLayout* MakeOkCancelRow(QPushButton* ok, QPushButton* cancel);

class CEntryDialog : public QDialog, public CFontManager {
  Q_OBJECT

 public:
  // Control identifiers, the same in both entry layouts.
  static constexpr int kPromptId = ids::numeric_entry::kPrompt;
  static constexpr int kEditId = ids::numeric_entry::kEdit;
  static constexpr int kOkId = ids::numeric_entry::kOkButton;
  static constexpr int kCancelId = ids::numeric_entry::kCancelButton;
  static_assert(kPromptId == ids::text_entry::kPrompt && kEditId == ids::text_entry::kEdit &&
                kOkId == ids::text_entry::kOkButton && kCancelId == ids::text_entry::kCancelButton);

  CEntryDialog(int layoutId, QWidget* parent);

  // Holds the communication worker around the dialog's own message boxes.
  void SetHoldCallback(HoldCallback hold) { hold_ = std::move(hold); }

  QLabel* PromptLabel() const { return prompt_; }
  QLineEdit* Edit() const { return edit_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }

  // A live reading shown under the edit line while the dialog is open (the PV a trim is
  // entered against, the loop current), updated by the panel from the polls; hidden until
  // the first one.
  void SetLiveValue(const QString& text);
  QLabel* LiveLabel() const { return live_; }

 protected:
  // Checks the entry; returns true when the dialog may close with OK.
  virtual bool TakeEntry(bool byEnter) = 0;

  void ShowTexts(const QString& title, const QString& prompt, const QString& start);
  // Shows the failure message, then selects and focuses the edit text again.
  void Fail(const std::string& key, const std::vector<std::string>& args = {});
  std::string EditText() const;

  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void Confirm(bool byEnter);
  void SelectEdit();

  QLabel* prompt_;
  QLineEdit* edit_;
  QLabel* live_;
  QPushButton* ok_;
  QPushButton* cancel_;
  HoldCallback hold_;
};

}  // namespace va5
