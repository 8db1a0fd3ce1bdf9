// A function panel that runs the technician's operations on the connected device: it starts
// a request chain, runs it through its runner from the worker's messages, and tells the main
// window when it is busy, when the link needs an answer and when the device is gone.
#pragma once

#include <QPointer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/GlobalFile.h"
#include "gui/OperationRunner.h"
#include "gui/Panel.h"
#include "session/LinkHold.h"
#include "session/Operation.h"
#include "session/Reason.h"
#include "session/RequestChain.h"
#include "session/Setting.h"

namespace va5 {

class CEntryDialog;

namespace session {
class Session;
}

// A message of the language file's UIMsg section with its inserts.
struct UIMessageText {
  std::string key;
  std::vector<std::string> args;
};

// The UIMsg text that tells the technician why an operation did not do what was asked.
UIMessageText MessageOfReason(const session::Reason& reason);

// The main window connects the signals (CMainDlgDlg::AttachPanel):
//
//   busyChanged(true/false)  disable / enable the main window: from a chain's submission until
//                            it has ended (polls never change it);
//   linkFailure(runner)      the link failed and the retry policy leaves the answer to the
//                            technician: ask "Err_COM", then call runner->Answer(retry);
//   linkLost()               a chain ended because the link is gone: the window goes off line
//                            and back to its home view;
//   liveValuesChanged()      a reply brought live values (the loop current of a fixed-current
//                            write): the display shows them as it shows a poll's.
class COperationPanel : public CPanel {
  Q_OBJECT

 public:
  COperationPanel(int layout, int replyMessage, QWidget* parent = nullptr);
  ~COperationPanel() override;

  // A new connection (or none, off line): a running chain is dropped and the buttons follow.
  void SetSession(session::Session* session);
  session::Session* GetSession() const { return session_; }

  bool OnWorkerMessage(const WorkerMessage& message) override;

  // True from a chain's submission until it has ended.
  bool Busy() const { return operation_ != nullptr; }

 signals:
  void busyChanged(bool busy);
  void linkFailure(va5::COperationRunner* runner);
  void linkLost();
  void liveValuesChanged();

 protected:
  bool Connected() const { return session_ != nullptr && !linkLost_; }

  // Starts `chain`; false (nothing sent) when off line or while another chain runs. The poll
  // runs between and after the requests when `monitoringAfter` is set.
  bool Run(session::RequestChain chain, bool monitoringAfter = true);

  // A chain has ended with the device still there; `operation` tells which chain and how.
  // A reason in its outcome is shown after this returns, with the poll held.
  virtual void OnDone(const session::Operation& operation) { (void)operation; }
  // A chain has ended because the link is gone, after the window went off line.
  virtual void OnLinkLost(const session::Operation& operation) { (void)operation; }
  // A worker message while no chain of this panel runs (polls, other requests). Returning
  // false hands it on to the main window's common handler.
  virtual bool OnOtherMessage(const WorkerMessage& message) {
    (void)message;
    return false;
  }
  // The session changed or the link was lost: set the buttons and the shown values.
  virtual void OnConnectionChanged() {}

  // Holds the periodic poll while the technician answers a dialog, on every way out of a
  // click handler; off line there is nothing to hold.
  session::LinkHold HoldLink() const;
  void ShowReason(const session::Reason& reason);

  // Checks `values` for `setting`, alone and against the connected device, and starts its
  // request chain; a refused entry is shown and nothing is sent. `tables` must outlive the
  // chain.
  void WriteSetting(const CglobalFile& tables, session::Setting setting,
                    const std::vector<std::string>& values);

  // Runs an entry dialog while the poll goes on (no hold but around the dialog's own
  // messages), so that the panel can show a live reading in it: `showLive` is called at
  // once and the panel calls it again from each poll while LiveEntry() is the dialog.
  // True for OK.
  bool RunLiveEntry(CEntryDialog& entry, const std::function<void()>& showLive);
  CEntryDialog* LiveEntry() const;

  // A push button whose handler runs only while connected and idle; an exception thrown by
  // the handler is logged and the panel stays.
  QPushButton* AddActionButton(const char* caption, int id, std::function<void()> handler);

 private:
  void Finish();

  session::Session* session_ = nullptr;
  bool linkLost_ = false;
  std::unique_ptr<session::Operation> operation_;
  COperationRunner runner_;
  QPointer<CEntryDialog> liveEntry_;
};

}  // namespace va5
