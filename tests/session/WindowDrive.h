// Driving a session operation as a window does, for the session tests: start it, then hand it
// each worker message; a pause is a timer (recorded here, not waited), a question a message
// box. Nothing here calls into the worker.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <vector>

#include "session/Operation.h"
#include "session/Session.h"

namespace va5::test {

struct WindowRun {
  session::OperationOutcome outcome;
  std::vector<Millis> pauses;  // the pauses the window was asked to wait
  int questions = 0;           // the link failures it was asked about
};

// Runs `operation` to its end, answering every question with `answerRetry`; `onStep` runs
// before each step. No worker message within 30 s fails the test and ends the run.
inline WindowRun RunAsAWindow(session::Session& session, session::Operation& operation,
                              bool answerRetry = false,
                              const std::function<void()>& onStep = {}) {
  using Status = session::Operation::Status;
  WindowRun run;
  for (Status status = operation.Start(); status != Status::Done;) {
    if (onStep) onStep();
    if (status == Status::Pausing) {
      run.pauses.push_back(operation.PauseLength());
      status = operation.Resume();  // the timer fired
    } else if (status == Status::NeedsAnswer) {
      ++run.questions;
      status = operation.Answer(answerRetry);
    } else {
      auto message = session.Messages().Next(std::chrono::seconds(30));
      if (!message) {
        ADD_FAILURE() << "no worker message while running request " << operation.CurrentRequest();
        break;
      }
      status = operation.OnMessage(*message);
    }
  }
  run.outcome = operation.Outcome();
  return run;
}

}  // namespace va5::test
