#include "gui/panels/Diagnostics.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

#include "comm/RequestTypes.h"
#include "device/DeviceRecord.h"
#include "gui/LblColor.h"
#include "gui/Localise.h"
#include "gui/MessageBox.h"
#include "lang/ControlIds.h"
#include "session/LinkHold.h"
#include "session/Operations.h"
#include "session/Session.h"

namespace va5 {

namespace dg = ids::diagnostics;

CDiagnostics::CDiagnostics(QWidget* parent)
    : COperationPanel(dg::kLayout, ReplyDiagnostics, parent) {
  Build();
  OnConnectionChanged();
}

void CDiagnostics::Build() {
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(6, 6, 6, 6);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(4);

  // Built-in captions; the language file replaces them when the panel is shown.
  title_ = MakePanelCaption("Diagnostics", dg::kTitle, this);
  grid->addWidget(title_, 0, 0, 1, 2);
  grid->setRowMinimumHeight(1, 6);
  heading_ = MakePanelCaption("Additional Status", dg::kAdditionalStatusHeading, this);
  grid->addWidget(heading_, 2, 0, 1, 2);

  // One lamp a row, beside the name of what it watches (the lamps and their names are
  // numbered in the same order as the session lists the bits).
  const auto& bits = session::EepromStatusLamps();
  for (std::size_t i = 0; i < kLamps; ++i) {
    const int row = 3 + static_cast<int>(i);
    auto* lamp = new CLblColor(this);
    SetControlId(lamp, dg::kBasicSumLamp + static_cast<int>(i));
    lamp->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    lamp->setMinimumSize(32, 18);
    lamp->setFocusPolicy(Qt::NoFocus);
    lamps_[i] = lamp;
    auto* label = new QLabel(QString::fromUtf8(bits[i].name), this);
    SetControlId(label, dg::kBasicSumLabel + static_cast<int>(i));
    lampLabels_[i] = label;
    grid->addWidget(lamp, row, 0);
    grid->addWidget(label, row, 1);
  }
  grid->setRowMinimumHeight(9, 8);

  execute_ = AddActionButton("Execute Diagnostics", dg::kExecuteButton, [this] { OnExecute(); });
  resetFlag_ = AddActionButton("Reset Configuration Change Flag", dg::kResetConfigFlagButton,
                               [this] { OnResetFlag(); });
  readStatus_ = AddActionButton("Start to display Additional Status", dg::kReadStatusButton,
                                [this] { OnReadStatus(); });
  close_ = MakePanelButton("Close Diagnostics", dg::kCloseButton, this);
  connect(close_, &QPushButton::clicked, this, [this] { emit closeRequested(); });
  int row = 10;
  for (QPushButton* button : {execute_, resetFlag_, readStatus_, close_}) {
    grid->addWidget(button, row++, 0, 1, 2);
  }
  grid->setRowStretch(row, 1);
  grid->setColumnStretch(1, 1);
  ResetLamps();
  UpdateAccessibleNames();
}

void CDiagnostics::UpdateAccessibleNames() {
  NameButtonsByCaption(this);
  title_->setAccessibleName(title_->text());
  heading_->setAccessibleName(heading_->text());
  for (std::size_t i = 0; i < kLamps; ++i) lamps_[i]->setAccessibleName(lampLabels_[i]->text());
}

void CDiagnostics::EnableButtons(bool on) {
  const bool device = Connected();
  for (QPushButton* button : {execute_, resetFlag_, readStatus_}) {
    button->setEnabled(on && device);
  }
  close_->setEnabled(on);
}

void CDiagnostics::ResetLamps() {
  const QColor face = QApplication::palette().color(QPalette::Button);
  for (CLblColor* lamp : lamps_) {
    lamp->SetLook(lamp->font(), face, Qt::black);
    lamp->setAccessibleDescription(DisplayText("Acc_Lamp_Off", "off"));
  }
}

void CDiagnostics::ShowLamps() {
  if (GetSession() == nullptr) return;
  const std::uint8_t status = GetSession()->Record().additionalStatus[2];
  const auto& bits = session::EepromStatusLamps();
  for (std::size_t i = 0; i < kLamps; ++i) {
    const bool set = (status & bits[i].bit) != 0;
    lamps_[i]->SetLook(lamps_[i]->font(), set ? ErrorColour() : OkColour(), Qt::black);
    // The colour says it on screen; assistive technology reads it as a word.
    lamps_[i]->setAccessibleDescription(set ? DisplayText("Acc_Lamp_Red", "red")
                                            : DisplayText("Acc_Lamp_Green", "green"));
  }
}

void CDiagnostics::OnConnectionChanged() {
  // After a lost link the close button stays usable; the action buttons wait for a device.
  EnableButtons(true);
}

void CDiagnostics::Show(bool visible) {
  if (visible) {
    LocaliseWindow(Layout(), this);
    UpdateAccessibleNames();
    ResetLamps();
    EnableButtons(true);
  }
  setVisible(visible);
  if (visible) close_->setFocus(Qt::OtherFocusReason);
}

void CDiagnostics::OnDone(const session::Operation& operation) {
  // Whatever the device answered, the panel is usable again (a refused self test or status
  // read included, so that it can be closed); the lamps follow only a status read that worked
  // and otherwise keep their last state.
  EnableButtons(true);
  const auto& steps = operation.Chain().steps;
  const bool readStatus = !steps.empty() && steps.back().request == RequestAdditionalStatus;
  if (readStatus && operation.Outcome().Succeeded()) ShowLamps();
}

// ---- the buttons -------------------------------------------------------------------------

void CDiagnostics::OnExecute() {
  execute_->setEnabled(false);
  int answer = kAnswerNo;
  {
    const session::LinkHold hold = HoldLink();
    answer = ShowUIMessage(this, "Confr_Execute_Diagnostics", {}, kStyleYesNoQuestion);
  }
  if (answer != kAnswerYes) {
    execute_->setEnabled(Connected());
    return;
  }
  // The four buttons wait for the status read that follows the self test; the poll runs
  // again after the chain however it ends.
  EnableButtons(false);
  if (!Run(session::SelfTestChain())) EnableButtons(true);
}

void CDiagnostics::OnResetFlag() {
  resetFlag_->setEnabled(false);
  if (!Run(session::ResetConfigChangedChain())) EnableButtons(true);
}

void CDiagnostics::OnReadStatus() {
  readStatus_->setEnabled(false);
  if (!Run(session::AdditionalStatusChain())) EnableButtons(true);
}

}  // namespace va5
