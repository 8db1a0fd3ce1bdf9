// Runs one piece of work on the link (a connection, an operation, a configuration download)
// from the window's event loop: hands it the worker's messages, waits out its pauses on a
// timer so the window keeps painting, and says when it needs the technician's answer and when
// it has finished. The window, every panel and the configuration editor run their work
// through one of these.
#pragma once

#include <QObject>

#include "base/MessageSink.h"
#include "session/Driven.h"

namespace va5 {

class COperationRunner : public QObject {
  Q_OBJECT

 public:
  explicit COperationRunner(QObject* parent = nullptr);

  // Starts `run`, which the caller keeps alive until `finished` or Abandon; false (nothing
  // started) while another run is in progress.
  bool Run(session::Driven& run);
  // Hands a worker message to the run; true when it was the run's own (its request, a
  // failure, the worker's end), false for anything that passes it by (polls, progress) and
  // when nothing runs.
  bool OnMessage(const WorkerMessage& message);
  // The technician's answer to `needsAnswer`.
  void Answer(bool retry);
  // Forgets the run without finishing it (the link is gone): its timers and any later message
  // do nothing.
  void Abandon();

  bool Running() const { return run_ != nullptr; }
  // The technician's last answer to this run was to give the link up (no second box about it).
  bool GaveUp() const { return gaveUp_; }
  bool Asking() const {
    return run_ != nullptr && run_->GetStatus() == session::RunStatus::NeedsAnswer;
  }
  session::Driven* Current() const { return run_; }

 signals:
  // The run waits for the technician: ask, then call Answer.
  void needsAnswer();
  // The run has ended; the runner has let it go, so its owner may delete it here.
  void finished(const va5::session::OperationOutcome& outcome);

 private:
  void Follow(session::RunStatus status);

  session::Driven* run_ = nullptr;
  int generation_ = 0;  // a pause timer of an earlier run does nothing
  bool gaveUp_ = false;
};

}  // namespace va5
