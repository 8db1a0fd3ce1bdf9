#include "gui/panels/TrimDAC.h"

#include <QPushButton>
#include <QVBoxLayout>
#include <string>

#include "base/NumberText.h"
#include "comm/RequestTypes.h"
#include "gui/LblColor.h"
#include "gui/Localise.h"
#include "gui/LoopGuard.h"
#include "gui/MessageBox.h"
#include "gui/ValidateNumber.h"
#include "lang/ControlIds.h"
#include "lang/MessageFormat.h"
#include "lang/ResourceDatabase.h"
#include "session/LinkHold.h"
#include "session/Session.h"

namespace va5 {

namespace ids_dt = ids::dac_trim;
using session::TrimMode;

CTrimDAC::CTrimDAC(QWidget* parent) : COperationPanel(ids_dt::kLayout, ReplyTrimDac, parent) {
  Build();
  EnableButtons();
}

void CTrimDAC::Build() {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(6, 6, 6, 6);
  column->setSpacing(6);

  title_ = MakePanelCaption("Trim DAC", ids_dt::kTitle, this);
  column->addWidget(title_);
  column->addSpacing(6);

  // The captions are the built-in English ones until the panel is shown localised.
  actions_ = {
      AddActionButton("Enter Lower Range Trim Mode", ids_dt::kLowerTrimModeButton,
                      [this] { OnEnterMode(TrimMode::Lower); }),
      AddActionButton("Enter Upper Range Trim Mode", ids_dt::kUpperTrimModeButton,
                      [this] { OnEnterMode(TrimMode::Upper); }),
      AddActionButton("Trim by actual measured value", ids_dt::kTrimMeasuredButton,
                      [this] { OnTrimMeasured(); }),
      AddActionButton("Clear Trim DAC Data", ids_dt::kClearTrimButton, [this] { OnClearTrim(); }),
  };
  for (QPushButton* button : actions_) column->addWidget(button);
  column->addSpacing(12);

  close_ = MakePanelButton("Close Trim DAC", ids_dt::kCloseButton, this);
  connect(close_, &QPushButton::clicked, this, [this] { OnClose(); });
  column->addWidget(close_);
  column->addStretch(1);
}

void CTrimDAC::UpdateAccessibleNames() {
  title_->setAccessibleName(title_->text());
  NameButtonsByCaption(this);
}

void CTrimDAC::EnableButtons() {
  for (QPushButton* button : actions_) button->setEnabled(Connected());
}

void CTrimDAC::OnConnectionChanged() {
  // A trim mode belongs to the connection it was entered on.
  mode_ = TrimMode::None;
  EnableButtons();
}

void CTrimDAC::Show(bool visible) {
  if (visible) {
    LocaliseWindow(Layout(), this);
    UpdateAccessibleNames();
    mode_ = TrimMode::None;
    EnableButtons();
  }
  setVisible(visible);
  if (visible) close_->setFocus(Qt::OtherFocusReason);
}

void CTrimDAC::OnDone(const session::Operation& operation) {
  // A refused request (its message follows) leaves the mode as it was.
  if (!operation.Outcome().Succeeded() || operation.Chain().steps.empty()) return;
  if (output_ != nullptr) output_->OnChainDone(operation, GetSession()->Record().loopCurrent);
  switch (operation.Chain().steps.front().request) {
    case RequestTrimModeCurrent:
      mode_ = requestedMode_;
      break;
    case RequestClearDacTrim:
      // The clear ends with the output released.
      mode_ = TrimMode::None;
      break;
    case RequestCloseTrimFixed:
      // The output is released and has settled (the chain's pause): the panel goes.
      mode_ = TrimMode::None;
      emit closeRequested();
      break;
    default:
      // A trim (430) keeps the mode, so the technician may trim again.
      break;
  }
}

// ---- the buttons -------------------------------------------------------------------------

void CTrimDAC::OnEnterMode(TrimMode mode) {
  if (!ConfirmLoopChange(this, GetSession())) return;
  requestedMode_ = mode;
  Run(session::TrimModeChain(mode));
}

bool CTrimDAC::OnOtherMessage(const WorkerMessage& message) {
  // The main window still shows the poll in the live display.
  if (message.kind == RequestPoll) ShowLiveCurrent();
  return false;
}

void CTrimDAC::ShowLiveCurrent() {
  if (LiveEntry() == nullptr || GetSession() == nullptr) return;
  LiveEntry()->SetLiveValue(DisplayText("Live_Loop_Current", "Loop current: %1 mA",
                                        {FormatFixed(GetSession()->Record().loopCurrent, 3)}));
}

void CTrimDAC::OnTrimMeasured() {
  if (mode_ == TrimMode::None) {
    // Nothing is sent: the output is not at a trim point.
    const session::LinkHold hold = HoldLink();
    ShowUIMessage(this, "Err_Trim_Mode_Not_Set", {}, kStyleOkInformation);
    return;
  }
  const session::TrimLimits limits = session::TrimLimitsOf(mode_);
  const std::vector<std::string> args{FormatFixed(limits.minimum, 3),
                                      FormatFixed(limits.maximum, 3), "mA"};
  CValidateNumber entry(this);
  entry.Setup(ToQString(GetTitleMsg("Set_Calibration_Val_Trim")),
              ToQString(FormatMessageText(GetDisplayMsg("Set_Calibration_val"), args)),
              limits.maximum, limits.minimum, QString::fromUtf8(limits.defaultText), true, false);
  // The poll goes on while the meter's reading is typed, so that the loop current the device
  // reports can be watched in the dialog as it settles.
  if (!RunLiveEntry(entry, [this] { ShowLiveCurrent(); }) || !Connected()) return;
  const session::LinkHold hold = HoldLink();
  std::string value;
  if (auto reason = session::CheckTrimCurrent(mode_, entry.EnteredText().toStdString(), value)) {
    ShowReason(*reason);
    return;
  }
  if (!ConfirmLoopChange(this, GetSession())) return;
  Run(session::TrimDacChain(mode_, value));
}

void CTrimDAC::OnClearTrim() {
  // One question: the clear's own with the loop's, No the default.
  if (!ConfirmLoopChange(this, GetSession(), "Confr_DAC_Init_Data")) return;
  Run(session::ClearDacTrimChain());
}

void CTrimDAC::OnClose() {
  if (Busy()) return;
  // Off line there is no output to release.
  if (!Connected()) {
    emit closeRequested();
    return;
  }
  // A held output is released only when the technician agrees; No leaves it held.
  if (output_ != nullptr && output_->Fixed() && !output_->AskReturnToNormal(this, GetSession())) {
    emit closeRequested();
    return;
  }
  Run(session::CloseDacTrimChain());
}

}  // namespace va5
