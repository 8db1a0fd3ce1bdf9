#include "gui/OperationRunner.h"

#include <QTimer>

#include "comm/RequestTypes.h"

namespace va5 {

using Status = session::RunStatus;

COperationRunner::COperationRunner(QObject* parent) : QObject(parent) {}

bool COperationRunner::Run(session::Driven& run) {
  if (run_ != nullptr) return false;
  run_ = &run;
  ++generation_;
  gaveUp_ = false;
  Follow(run.Start());
  return true;
}

bool COperationRunner::OnMessage(const WorkerMessage& message) {
  if (run_ == nullptr) return false;
  const Status before = run_->GetStatus();
  if (before != Status::Running && before != Status::NeedsAnswer) return false;
  const bool mine = message.kind == run_->CurrentRequest() || message.kind == MessageFailure ||
                    message.kind == MessageWorkerEnded;
  Follow(run_->OnMessage(message));
  return mine;
}

void COperationRunner::Answer(bool retry) {
  if (!Asking()) return;
  gaveUp_ = !retry;
  Follow(run_->Answer(retry));
}

void COperationRunner::Abandon() {
  run_ = nullptr;
  ++generation_;
}

void COperationRunner::Follow(Status status) {
  if (run_ == nullptr) return;
  switch (status) {
    case Status::Pausing: {
      // The device settles before the run goes on; the window keeps painting meanwhile.
      const int generation = generation_;
      QTimer::singleShot(run_->PauseLength(), this, [this, generation] {
        if (generation == generation_ && run_ != nullptr) Follow(run_->Resume());
      });
      break;
    }
    case Status::NeedsAnswer:
      emit needsAnswer();
      break;
    case Status::Done: {
      const session::OperationOutcome outcome = run_->Outcome();
      Abandon();
      emit finished(outcome);
      break;
    }
    case Status::NotStarted:
    case Status::Running:
      break;
  }
}

}  // namespace va5
