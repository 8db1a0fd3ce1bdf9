#include "gui/panels/AnalogOP.h"

#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>
#include <string>
#include <utility>

#include "base/NumberText.h"
#include "comm/RequestTypes.h"
#include "device/DeviceRecord.h"
#include "gui/LblColor.h"
#include "gui/Localise.h"
#include "gui/LoopGuard.h"
#include "gui/ValidateNumber.h"
#include "lang/ControlIds.h"
#include "lang/MessageFormat.h"
#include "lang/ResourceDatabase.h"
#include "session/LinkHold.h"
#include "session/Operations.h"
#include "session/Session.h"

namespace va5 {

namespace ids_ao = ids::analog_output;

CAnalogOP::CAnalogOP(QWidget* parent)
    : COperationPanel(ids_ao::kLayout, ReplyAnalogOutput, parent) {
  Build();
  EnableButtons();
}

void CAnalogOP::Build() {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(6, 6, 6, 6);
  column->setSpacing(6);

  title_ = MakePanelCaption("Analog Output", ids_ao::kTitle, this);
  column->addWidget(title_);
  column->addSpacing(6);

  // The captions are the built-in English ones until the panel is shown localised.
  actions_ = {
      AddActionButton("Set AO for current PV output", ids_ao::kSetFromPvButton,
                      [this] { OnSetFromPresentCurrent(); }),
      AddActionButton("Set AO for specified value", ids_ao::kSetSpecifiedButton,
                      [this] { OnSetSpecified(); }),
      AddActionButton("Exit Fixed AO Mode", ids_ao::kExitFixedModeButton,
                      [this] { OnExitFixedMode(); }),
  };
  for (QPushButton* button : actions_) column->addWidget(button);
  column->addSpacing(12);

  close_ = MakePanelButton("Close Analog Output", ids_ao::kCloseButton, this);
  connect(close_, &QPushButton::clicked, this, [this] { OnClose(); });
  column->addWidget(close_);
  column->addStretch(1);
}

void CAnalogOP::UpdateAccessibleNames() {
  title_->setAccessibleName(title_->text());
  NameButtonsByCaption(this);
}

void CAnalogOP::EnableButtons() {
  for (QPushButton* button : actions_) button->setEnabled(Connected());
}

void CAnalogOP::OnConnectionChanged() {
  closeAfterReturn_ = false;  // a chain dropped with its link never ends here
  EnableButtons();
}

void CAnalogOP::Show(bool visible) {
  if (visible) {
    LocaliseWindow(Layout(), this);
    UpdateAccessibleNames();
    EnableButtons();
  }
  setVisible(visible);
  if (visible) close_->setFocus(Qt::OtherFocusReason);
}

void CAnalogOP::OnDone(const session::Operation& operation) {
  const bool closing = std::exchange(closeAfterReturn_, false);
  if (!operation.Outcome().Succeeded()) return;  // the output stays as it was; the panel too
  if (output_ != nullptr) output_->OnChainDone(operation, GetSession()->Record().loopCurrent);
  if (!operation.Chain().steps.empty() &&
      operation.Chain().steps.front().request == RequestFixedCurrent) {
    // The reply carries the loop current the device now drives: shown at once.
    emit liveValuesChanged();
  }
  if (closing) emit closeRequested();
}

void CAnalogOP::OnClose() {
  if (Busy()) return;
  // A fixed output is not left behind unnoticed: returning it is offered first, and No leaves
  // it fixed (the status strip keeps saying so).
  if (Connected() && output_ != nullptr && output_->AskReturnToNormal(this, GetSession())) {
    closeAfterReturn_ = Run(output_->ReturnChain());
    if (closeAfterReturn_) return;
  }
  emit closeRequested();
}

// ---- the buttons -------------------------------------------------------------------------

void CAnalogOP::OnSetFromPresentCurrent() {
  // The loop current of the last poll; an alarm current (burnout) or a reading that is not a
  // number is no value to hold the loop at.
  std::string value;
  if (auto reason = session::CheckPresentCurrent(GetSession()->Record().loopCurrent, value)) {
    const session::LinkHold hold = HoldLink();
    ShowReason(*reason);
    return;
  }
  if (!ConfirmLoopChange(this, GetSession())) return;
  Run(session::FixedCurrentChain(value));
}

void CAnalogOP::OnSetSpecified() {
  const session::LinkHold hold = HoldLink();
  const double present = GetSession()->Record().loopCurrent;
  const std::vector<std::string> args{FormatFixed(session::MinimumFixedCurrent, 1),
                                      FormatFixed(session::MaximumFixedCurrent, 1), "mA"};
  CValidateNumber entry(this);
  entry.Setup(ToQString(GetTitleMsg("Set_AnalogOP_Val")),
              ToQString(FormatMessageText(GetDisplayMsg("Set_Analog_Output"), args)),
              session::MaximumFixedCurrent, session::MinimumFixedCurrent,
              std::isfinite(present) ? ToQString(FormatFixed(present, 3, 4)) : QString(), true,
              false);
  if (entry.exec() != 1) return;
  std::string value;
  if (auto reason = session::CheckFixedCurrent(entry.EnteredText().toStdString(), value)) {
    ShowReason(*reason);
    return;
  }
  if (!ConfirmLoopChange(this, GetSession())) return;
  Run(session::FixedCurrentChain(value));
}

void CAnalogOP::OnExitFixedMode() {
  Run(session::FixedCurrentChain(session::LeaveFixedCurrentText));
}

}  // namespace va5
