#include "gui/OperationPanel.h"

#include <QtGlobal>
#include <cctype>
#include <cstdlib>
#include <exception>
#include <memory>

#include "base/Utf8.h"
#include "comm/RequestTypes.h"
#include "comm/ResultTexts.h"
#include "comm/StatusBits.h"
#include "gui/EntryDialog.h"
#include "gui/MessageBox.h"
#include "lang/EntryRules.h"
#include "session/Session.h"

namespace va5 {

using session::ReasonKind;

namespace {

// "34 (Write damping value)": the command a refusal answered, by number and name; the
// operation's own name when the command is not known.
std::string CommandOfRefusal(const std::string& number, const std::string& what) {
  if (number.empty()) return what;
  const char* name = CommandName(std::atoi(number.c_str()));
  return *name != '\0' ? number + " (" + name + ")" : number;
}

// The first character of `text` that packed ASCII cannot carry once letters are upper case;
// "" when every one can.
std::string FirstUnpackedCharacter(const std::string& text) {
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t next = NextCharacter(text, pos);
    const std::string character = text.substr(pos, next - pos);
    std::string upper = character;
    for (char& byte : upper)
      byte = static_cast<char>(std::toupper(static_cast<unsigned char>(byte)));
    if (!IsPackedText(upper)) return character;
    pos = next;
  }
  return {};
}

UIMessageText RefusalMessage(const session::Reason& reason) {
  const auto arg = [&](std::size_t i) {
    return i < reason.args.size() ? reason.args[i] : std::string();
  };
  const std::string command = CommandOfRefusal(arg(3), arg(0));
  const std::string& code = arg(1);
  if (code.empty()) return {"Err_CMD_Bad_Reply", {command, arg(2)}};
  if ((std::atoi(code.c_str()) & CommErrorFlag) != 0)
    return {"Err_CMD_Comm_Error", {command, arg(2)}};
  return {"Err_CMD", {command, code, arg(2)}};
}

}  // namespace

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
      return {"Err_No_Packed_ASCII", {FirstUnpackedCharacter(arg(1))}};
    case ReasonKind::ModelNotConfigurable:
      return {"Err_Device_Not_Configurable", {arg(0)}};
    case ReasonKind::TrimModeNotSet:
      return {"Err_Trim_Mode_Not_Set", {}};
    case ReasonKind::DeviceRefused:
      return RefusalMessage(reason);
    case ReasonKind::PortNotOpened:
      return {"Err_COM", {arg(1), arg(3)}};
    case ReasonKind::LinkFailed:
      return {"Err_COM", {arg(2), arg(3)}};
    case ReasonKind::OutOfLimits:
    case ReasonKind::NotANumber:
      // The limits, where the entry has them (a range value's come from the device later).
      if (!arg(2).empty() && !arg(3).empty()) return {"Err_Range_Limits", {arg(1), arg(2), arg(3)}};
      break;
    case ReasonKind::NotAWholeNumber:
      return {"Err_Range_Limits", {arg(1), "0", arg(2)}};
    default:
      // Names and wirings: the lists offer only valid ones.
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

CEntryDialog* COperationPanel::LiveEntry() const { return liveEntry_.data(); }

bool COperationPanel::RunLiveEntry(CEntryDialog& entry, const std::function<void()>& showLive) {
  auto hold = std::make_shared<session::LinkHold>();
  entry.SetHoldCallback([this, hold](bool on) {
    if (on) {
      *hold = HoldLink();
    } else {
      hold->Release();
    }
  });
  liveEntry_ = &entry;
  showLive();
  const bool accepted = entry.exec() == QDialog::Accepted;
  liveEntry_ = nullptr;
  return accepted;
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
