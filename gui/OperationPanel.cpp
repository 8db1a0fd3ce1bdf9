#include "gui/OperationPanel.h"

#include <QtGlobal>
#include <exception>

#include "comm/RequestTypes.h"
#include "gui/MessageBox.h"
#include "session/Session.h"

namespace va5 {

using session::ReasonKind;

UIMessageText MessageOfReason(const session::Reason& reason) {
  const auto arg = [&](std::size_t i) {
    return i < reason.args.size() ? reason.args[i] : std::string();
  };
  switch (reason.kind) {
    case ReasonKind::SpanTooSmall:
      return {"Err_Span", {arg(0), arg(1)}};
    case ReasonKind::TableNotDefined:
      return {"Err_Table_Not_Defined", {arg(0)}};
    case ReasonKind::CurveNotDefined:
      return {"Err_Special_Table_Not_Defined", {}};
    case ReasonKind::TextTooLong:
      return {"Err_Tag_Number_overflow", {arg(1)}};
    case ReasonKind::NotPackedText:
      return {"Err_No_Packed_ASCII", {}};
    case ReasonKind::ModelNotConfigurable:
      return {"Err_Device_Not_Configurable", {arg(0)}};
    case ReasonKind::TrimModeNotSet:
      return {"Err_Trim_Mode_Not_Set", {}};
    case ReasonKind::DeviceRefused:
      return {"Err_CMD", {}};
    case ReasonKind::PortNotOpened:
    case ReasonKind::LinkFailed:
      return {"Err_COM", {arg(0)}};
    default:
      // The entry itself: numbers, limits, names (the lists offer only valid names).
      break;
  }
  return {"Err_Range_Input", {}};
}

COperationPanel::COperationPanel(int layout, int replyMessage, QWidget* parent)
    : CPanel(layout, replyMessage, parent) {
  connect(&runner_, &COperationRunner::needsAnswer, this, [this] { emit linkFailure(&runner_); });
  connect(&runner_, &COperationRunner::finished, this, [this] { Finish(); });
}

COperationPanel::~COperationPanel() = default;

void COperationPanel::SetSession(session::Session* session) {
  if (operation_) {
    runner_.Abandon();
    operation_.reset();
    emit busyChanged(false);
  }
  session_ = session;
  linkLost_ = false;
  OnConnectionChanged();
}

session::LinkHold COperationPanel::HoldLink() const {
  return session_ != nullptr ? session_->Hold() : session::LinkHold();
}

void COperationPanel::ShowReason(const session::Reason& reason) {
  const UIMessageText message = MessageOfReason(reason);
  ShowUIMessage(this, message.key, message.args, kStyleOkExclamation);
}

QPushButton* COperationPanel::AddActionButton(const char* caption, int id,
                                              std::function<void()> handler) {
  QPushButton* button = MakePanelButton(caption, id, this);
  connect(button, &QPushButton::clicked, this, [this, handler = std::move(handler)] {
    // Nothing may leave the event loop by an exception; the handler ends and the panel stays.
    try {
      if (Connected() && !Busy()) handler();
    } catch (const std::exception& error) {
      qWarning("%s", error.what());
    }
  });
  return button;
}

void COperationPanel::WriteSetting(const CglobalFile& tables, session::Setting setting,
                                   const std::vector<std::string>& values) {
  const session::SettingCheck check = session::CheckSetting(tables, setting, values);
  if (check.reason) {
    ShowReason(*check.reason);
    return;
  }
  const DeviceRecord device = session_->Record();
  if (auto reason = session::CheckAgainstDevice(tables, check.entry, device)) {
    ShowReason(*reason);
    return;
  }
  Run(session::SettingChain(tables, check.entry, device));
}

bool COperationPanel::Run(session::RequestChain chain, bool monitoringAfter) {
  if (!Connected() || Busy()) return false;
  operation_ = std::make_unique<session::Operation>(*session_, std::move(chain), monitoringAfter);
  emit busyChanged(true);
  runner_.Run(*operation_);
  return true;
}

bool COperationPanel::OnWorkerMessage(const WorkerMessage& message) {
  try {
    if (operation_) return runner_.OnMessage(message);
    return OnOtherMessage(message);
  } catch (const std::exception& error) {
    qWarning("%s", error.what());
  }
  return false;
}

void COperationPanel::Finish() {
  // The operation stays alive until this function ends.
  const std::unique_ptr<session::Operation> done = std::move(operation_);
  const session::OperationOutcome& outcome = done->Outcome();
  if (outcome.reason && outcome.reason->Class() == session::ReasonClass::Link) {
    // The last values stay displayed; the buttons wait for a new connection.
    linkLost_ = true;
    OnConnectionChanged();
    emit busyChanged(false);
    emit linkLost();
    OnLinkLost(*done);
    return;
  }
  emit busyChanged(false);
  OnDone(*done);
  if (outcome.reason) {
    const session::LinkHold hold = HoldLink();
    ShowReason(*outcome.reason);
  }
}

}  // namespace va5
