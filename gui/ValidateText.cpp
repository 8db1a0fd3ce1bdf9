#include "gui/ValidateText.h"

#include "lang/EntryRules.h"
#include "gui/Localise.h"

namespace va5 {

CValidateText::CValidateText(QWidget* parent) : CEntryDialog(kLayoutId, parent) {}

void CValidateText::Setup(const QString& title, const QString& prompt, const QString& text,
                          bool textMode, bool dateMode) {
  textMode_ = textMode;
  dateMode_ = dateMode;
  text_ = text;
  ShowTexts(title, prompt, ToQString(TrimEntryText(text.toStdString())));
}

bool CValidateText::TakeEntry(bool byEnter) {
  const std::string typed = EditText();
  // Enter measures the text as it stands, before trimming.
  if (byEnter && textMode_ && ExceedsMaximumTextLength(typed)) {
    Fail("Err_Tag_Number_overflow", {MaximumTextLength()});
    return false;
  }
  const TextEntry entry = CheckTextEntry(typed, textMode_, dateMode_);
  if (entry.failure) {
    Fail(entry.failure->key, entry.failure->args);
    return false;
  }
  text_ = ToQString(entry.text);
  return true;
}

}  // namespace va5
