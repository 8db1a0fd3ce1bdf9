#include "gui/LoopGuard.h"

#include <QEventLoop>
#include <QPointer>
#include <memory>

#include "base/NumberText.h"
#include "comm/RequestTypes.h"
#include "gui/AppSettings.h"
#include "gui/Localise.h"
#include "gui/MainDlgDlg.h"
#include "gui/MessageBox.h"
#include "gui/display/DisplaySignal.h"
#include "session/LinkHold.h"
#include "session/Operations.h"
#include "session/Session.h"

namespace va5 {
namespace {

constexpr const char* kLoopQuestion =
    "The output of the loop may change: put the loop in manual control before you go "
    "on.%nContinue?";

session::LinkHold HoldOf(session::Session* session) {
  return session != nullptr ? session->Hold() : session::LinkHold();
}

// The paragraphs of the box, one blank line between them.
void AddParagraph(QString& text, const QString& paragraph) {
  if (paragraph.isEmpty()) return;
  if (!text.isEmpty()) text += QStringLiteral("\n\n");
  text += paragraph;
}

}  // namespace

bool ConfirmLoopChange(QWidget* owner, session::Session* session, const char* actionKey,
                       const char* changesKey, const std::vector<std::string>& changes) {
  const bool askLoop = CAppSettings::StoredConfirmLoopChange();
  QString text;
  if (actionKey != nullptr) AddParagraph(text, UIText(actionKey, actionKey));
  if (askLoop) {
    if (changesKey != nullptr) {
      QString list = UIText(changesKey, changesKey);
      for (const std::string& line : changes) list += QLatin1Char('\n') + ToQString(line);
      AddParagraph(text, list);
    }
    AddParagraph(text, UIText("Confr_Loop_Change", kLoopQuestion));
  }
  if (text.isEmpty()) return true;  // switched off for bench work, and nothing else to ask
  const session::LinkHold hold = HoldOf(session);
  MessageRequest request;
  request.owner = owner;
  request.caption = UIText("Message_Box", "Message");
  request.text = text;
  request.style = kStyleYesNoQuestion | kStyleDefaultSecond;
  return ShowMessageRequest(request) == kAnswerYes;
}

// ---- the output ----------------------------------------------------------------------------

void CLoopOutput::OnChainDone(const session::Operation& operation, double answeredCurrent) {
  const session::RequestChain& chain = operation.Chain();
  if (!operation.Outcome().Succeeded() || chain.steps.empty()) return;
  switch (chain.steps.front().request) {
    case RequestFixedCurrent:
      if (chain.journal.requested == session::LeaveFixedCurrentText) {
        SetNormal();
      } else {
        Set(Hold::FixedCurrent, answeredCurrent);
      }
      break;
    case RequestTrimModeCurrent:
      Set(Hold::DacTrim, answeredCurrent);
      break;
    case RequestClearDacTrim:  // ends by leaving the fixed mode
    case RequestLeaveTrimFixed:
    case RequestCloseTrimFixed:
      SetNormal();
      break;
    default:
      break;
  }
}

void CLoopOutput::SetNormal() { Set(Hold::None, 0); }

void CLoopOutput::Set(Hold hold, double current) {
  if (hold == hold_ && current == current_) return;
  hold_ = hold;
  current_ = current;
  emit changed();
}

session::RequestChain CLoopOutput::ReturnChain() const {
  return hold_ == Hold::DacTrim ? session::CloseDacTrimChain()
                                : session::FixedCurrentChain(session::LeaveFixedCurrentText);
}

bool CLoopOutput::AskReturnToNormal(QWidget* owner, session::Session* session) const {
  if (!Fixed() || session == nullptr) return false;
  const session::LinkHold hold = HoldOf(session);
  return ShowUIMessage(owner, "Confr_Output_Return", {FormatFixed(current_, 3)},
                       kStyleYesNoQuestion) == kAnswerYes;
}

// ---- the window's wiring -----------------------------------------------------------------

namespace {

// Runs the output's return chain on the window and waits for its end (or the link's), the
// window painting meanwhile.
void ReturnToNormal(CMainDlgDlg& window, CLoopOutput& output, bool monitoringAfter) {
  QEventLoop loop;
  const auto ended = std::make_shared<bool>(false);
  QPointer<QEventLoop> waiting(&loop);
  const auto finish = [ended, waiting] {
    *ended = true;
    if (waiting) waiting->quit();
  };
  const QMetaObject::Connection lost = QObject::connect(&window, &CMainDlgDlg::sessionChanged,
                                                        &loop, [finish](session::Session* session) {
                                                          if (session == nullptr) finish();
                                                        });
  QPointer<CLoopOutput> target(&output);
  const bool started =
      window.RunOperation(output.ReturnChain(), monitoringAfter,
                          [finish, target](const session::OperationOutcome& outcome) {
                            if (outcome.Succeeded() && target) target->SetNormal();
                            finish();
                          });
  if (started && !*ended) loop.exec();
  QObject::disconnect(lost);
}

}  // namespace

void AttachLoopOutput(CMainDlgDlg& window, CLoopOutput& output, CDisplaySignal& strip) {
  QObject::connect(&output, &CLoopOutput::changed, &strip, [&output, &strip] {
    if (output.Fixed()) {
      strip.ShowFixedOutput(output.Current());
    } else {
      strip.ClearFixedOutput();
    }
  });
  // Off line the window knows nothing of the output.
  QObject::connect(&window, &CMainDlgDlg::sessionChanged, &output,
                   [&output](session::Session* session) {
                     if (session == nullptr) output.SetNormal();
                   });
  window.AddLeaveGuard([&window, &output](CMainDlgDlg::Leaving why) {
    // No leaves the output as it is; either way the window goes on.
    if (output.AskReturnToNormal(&window, window.CurrentSession())) {
      ReturnToNormal(window, output, why == CMainDlgDlg::Leaving::LanguageChange);
    }
    return true;
  });
}

}  // namespace va5
