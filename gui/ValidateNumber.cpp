#include "gui/ValidateNumber.h"

#include "lang/EntryRules.h"
#include "gui/Localise.h"

namespace va5 {

CValidateNumber::CValidateNumber(QWidget* parent) : CEntryDialog(kLayoutId, parent) {}

void CValidateNumber::Setup(const QString& title, const QString& prompt, double maximum,
                            double minimum, const QString& enteredText, bool rangeMessage,
                            bool allowZero) {
  maximum_ = maximum;
  minimum_ = minimum;
  rangeMessage_ = rangeMessage;
  allowZero_ = allowZero;
  enteredText_ = enteredText;
  const bool blank = enteredText.isEmpty() || enteredText == QLatin1String(" ");
  ShowTexts(title, prompt, blank ? QStringLiteral("0") : enteredText);
}

bool CValidateNumber::TakeEntry(bool) {
  const NumberEntry entry = CheckNumberEntry(EditText(), minimum_, maximum_, allowZero_);
  if (!entry.accepted) {
    Fail(rangeMessage_ ? "Err_Range_Input" : "Err_Calibration_Value_Invalid");
    return false;
  }
  enteredText_ = ToQString(entry.enteredText);
  valueText_ = ToQString(entry.valueText);
  return true;
}

}  // namespace va5
