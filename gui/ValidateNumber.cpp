#include "gui/ValidateNumber.h"

#include <cmath>
#include <string>

#include "base/NumberText.h"
#include "base/Text.h"
#include "gui/Localise.h"
#include "lang/EntryRules.h"

namespace va5 {

namespace {

// A limit as the technician would type it: whole numbers without decimals, others with at
// most three ("0.5", "30", "-200", "16777215").
std::string LimitText(double value) {
  std::string text = FormatFixed(value, 3);
  if (text.find('.') == std::string::npos) return text;
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text == "-0" ? "0" : text;
}

}  // namespace

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
    // The message box covers the prompt, so it states the limits itself.
    if (rangeMessage_) {
      Fail("Err_Range_Limits",
           {std::string(TrimWhiteSpace(EditText())), LimitText(minimum_), LimitText(maximum_)});
    } else {
      Fail("Err_Calibration_Value_Invalid");
    }
    return false;
  }
  enteredText_ = ToQString(entry.enteredText);
  valueText_ = ToQString(entry.valueText);
  return true;
}

}  // namespace va5
