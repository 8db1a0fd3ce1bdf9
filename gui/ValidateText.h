// The text entry dialog: tags, descriptors, messages (textMode) and dates (dateMode).
#pragma once

#include "gui/EntryDialog.h"

namespace va5 {

class CValidateText : public CEntryDialog {
  Q_OBJECT

 public:
  static constexpr int kLayoutId = ids::text_entry::kLayout;

  explicit CValidateText(QWidget* parent = nullptr);

  // textMode: at most maximumTextLength characters of U+0020 ... U+007E;
  // dateMode: "YYYY/MM/DD" (any separators) of a real date in 1900 ... 2155.
  void Setup(const QString& title, const QString& prompt, const QString& text, bool textMode = true,
             bool dateMode = false);

  // After OK: the accepted text, trimmed, " " when empty.
  QString Text() const { return text_; }

 protected:
  bool TakeEntry(bool byEnter) override;

 private:
  QString text_;
  bool textMode_ = true;
  bool dateMode_ = false;
};

}  // namespace va5
