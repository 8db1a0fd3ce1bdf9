// The numeric entry dialog: a number between two limits (or 0 when allowed).
#pragma once

#include "gui/EntryDialog.h"

namespace va5 {

class CValidateNumber : public CEntryDialog {
  Q_OBJECT

 public:
  static constexpr int kLayoutId = ids::numeric_entry::kLayout;

  explicit CValidateNumber(QWidget* parent = nullptr);

  // rangeMessage: failures say "Err_Range_Input" (else "Err_Calibration_Value_Invalid");
  // allowZero: exactly 0 is accepted outside the limits.
  void Setup(const QString& title, const QString& prompt, double maximum, double minimum,
             const QString& enteredText, bool rangeMessage = true, bool allowZero = false);

  // After OK: the text as typed (at most 17 characters) and "%.3lf" of its value.
  QString EnteredText() const { return enteredText_; }
  QString ValueText() const { return valueText_; }

 protected:
  bool TakeEntry(bool byEnter) override;

 private:
  QString enteredText_;
  QString valueText_;
  bool rangeMessage_ = true;
  bool allowZero_ = false;
  double maximum_ = 0.0;
  double minimum_ = 0.0;
};

}  // namespace va5
