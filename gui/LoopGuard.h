// Safety on a live loop: the one question asked before a write that can move the loop current
// or the measurement, and what the window knows of an output that is held fixed (a fixed
// current or a DAC trim mode) until it is returned to normal.
#pragma once

#include <QObject>
#include <QString>
#include <string>
#include <vector>

#include "session/Operation.h"
#include "session/RequestChain.h"

class QWidget;

namespace va5 {

class CDisplaySignal;
class CMainDlgDlg;

namespace session {
class Session;
}

// Asks whether to go on with a write that can move the loop: the loop's output may change, so
// the loop should be in manual. `actionKey` names the action's own question (a clear), asked in
// the same box; `changes` are listed one a line after `changesKey`'s heading. No is the default
// button and the link is held while the box is open. With the question switched off in the
// settings only the action's own question is asked, if it has one. True: go on.
bool ConfirmLoopChange(QWidget* owner, session::Session* session, const char* actionKey = nullptr,
                       const char* changesKey = nullptr,
                       const std::vector<std::string>& changes = {});

// The output as the device last answered: normal, or held at a current by a fixed-current
// write or a DAC trim mode.
class CLoopOutput : public QObject {
  Q_OBJECT

 public:
  enum class Hold { None, FixedCurrent, DacTrim };

  explicit CLoopOutput(QObject* parent = nullptr) : QObject(parent) {}

  bool Fixed() const { return hold_ != Hold::None; }
  Hold HeldBy() const { return hold_; }
  double Current() const { return current_; }

  // What a chain that has ended successfully did to the output: a fixed current or a trim
  // mode fixes it at the current the device answered with; leaving either (a fixed current of
  // 0, the DAC trim clear or close) returns it to normal. Other chains change nothing.
  void OnChainDone(const session::Operation& operation, double answeredCurrent);
  void SetNormal();

  // The chain that returns the output to normal: the DAC trim's close (it waits for the output
  // to settle) after a trim mode, else a fixed current of 0.
  session::RequestChain ReturnChain() const;

  // Asks whether to return the output to normal (Yes is the default); the link is held
  // meanwhile. Off line, or with the output normal, nothing is asked and the answer is No.
  bool AskReturnToNormal(QWidget* owner, session::Session* session) const;

 signals:
  void changed();

 private:
  void Set(Hold hold, double current);

  Hold hold_ = Hold::None;
  double current_ = 0;
};

// Wires the output's state into an assembled window: the status strip shows a fixed output,
// going off line forgets it, and one leave guard offers to return it to normal before the
// device is left (Disconnect, File, Exit, a language change), waiting for the exit to be sent.
void AttachLoopOutput(CMainDlgDlg& window, CLoopOutput& output, CDisplaySignal& strip);

}  // namespace va5
