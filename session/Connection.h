#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "comm/Timing.h"
#include "session/Driven.h"
#include "session/Operation.h"
#include "session/Session.h"

namespace va5::session {

// The link to one transmitter from the port's open until it is off line again, as one state
// that it announces: the open (off the caller's thread), the identification and upload, the
// monitoring, a search over the polling addresses, how every link failure is answered (a
// silent retry, a question, the port opened again), and the close. It is driven like every
// other run (Driven): the window through its runner, the command-line tool through
// Session::Drive. The run is Done when the goal is reached without monitoring (Identified,
// Uploaded, Open), when a search ends, or when the link goes off line; while monitoring it
// goes on, answering poll failures.
class Connection : public Driven {
 public:
  enum class Goal {
    Open,      // the port only: no request (the configuration editor runs its own)
    Identify,  // command 0 at the polling address
    Upload,    // identify, then the upload
    Monitor,   // identify, upload, then the poll for as long as the connection lives
    Search,    // command 0 once at each address from the start address (15 wraps to 0)
  };
  enum class State {
    Offline,      // no port open, no worker
    Opening,      // the port opens
    Searching,    // command 0 goes to one address after the other
    Identifying,  // command 0 at the polling address
    Uploading,    // the device's identity and configuration are read
    Open,         // the goal is reached: the port open and the worker idle (no poll)
    Monitoring,   // the worker polls whenever it is idle
    Asking,       // a question waits for the technician's answer (NeedsAnswer)
  };
  // What the open question is about.
  enum class Question { None, LinkFailed, NoDeviceFound };

  Connection(SessionOptions options, Goal goal, Timing timing = {});
  ~Connection() override;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  Status Start() override;
  Status OnMessage(const WorkerMessage& message) override;
  Status Resume() override { return status_; }
  // LinkFailed: retry (the port is opened again when it had failed) or give up, which takes
  // the link off line. NoDeviceFound: another round of all sixteen addresses, or off line.
  Status Answer(bool retry) override;
  Status GetStatus() const override { return status_; }
  Millis PauseLength() const override { return Millis{0}; }
  int CurrentRequest() const override;
  const OperationOutcome& Outcome() const override { return outcome_; }

  // Stops the worker and closes the port: off line, Done.
  void Close();

  State GetState() const { return state_; }
  Goal GetGoal() const { return goal_; }
  Question OpenQuestion() const { return question_; }
  // Called with each new state, on the thread that drives the connection.
  void OnStateChanged(std::function<void(State)> observer) { observer_ = std::move(observer); }
  // Called with each poll's result while monitoring (200, or 208 when the device refused it).
  void OnPoll(std::function<void(HartResult)> observer) { pollObserver_ = std::move(observer); }

  // The state in which the link last failed or was given up: whether it failed while
  // connecting (opening, identifying, uploading, searching) or after.
  bool FailedWhileConnecting() const { return failedWhileConnecting_; }
  // After a search that found a device: its address (the record's polling address).
  std::optional<int> FoundAddress() const { return found_; }
  // Set when the device refused a step of the upload: the link polls on, and this says why
  // the display may lack what was not read.
  const std::optional<Reason>& UploadRefusal() const { return uploadRefusal_; }
  // The technician gave up on a failed link (Answer(false) on a question): nothing more to
  // tell them.
  bool GivenUp() const { return givenUp_; }
  // True from the goal's being reached (Open or Monitoring) until off line.
  bool Connected() const { return state_ == State::Open || state_ == State::Monitoring ||
                                   (state_ == State::Asking && asked_ >= State::Open); }

  Session& GetSession() { return *session_; }
  const Session& GetSession() const { return *session_; }

 private:
  void SetState(State state);
  void OpenPort();
  Status OnOpened(HartResult result);
  Status OnSearchMessage(const WorkerMessage& message);
  Status OnConnectStep(Status inner);
  Status OnMonitoringMessage(const WorkerMessage& message);
  Status Ask(Question question);
  Status GoOffline(HartResult result, std::optional<Reason> reason);
  void JoinOpen();
  const char* StepName() const;

  std::unique_ptr<Session> session_;
  Goal goal_;
  Status status_ = Status::NotStarted;
  State state_ = State::Offline;
  State asked_ = State::Offline;  // the state a question interrupted
  Question question_ = Question::None;
  std::thread openThread_;
  std::optional<Operation> connect_;  // identify, upload, monitoring on
  OperationOutcome outcome_;
  std::optional<Reason> uploadRefusal_;
  std::optional<int> found_;
  bool failedWhileConnecting_ = false;
  bool givenUp_ = false;
  bool searchGivenUp_ = false;
  std::function<void(State)> observer_;
  std::function<void(HartResult)> pollObserver_;
};

// A name for a state, for traces and the command-line tool.
const char* StateName(Connection::State state);

}  // namespace va5::session
