#include "session/Connection.h"

#include "comm/RequestTypes.h"
#include "session/Operations.h"

namespace va5::session {

namespace {

// Addresses 0 ... 15: a search round moves on fifteen times before the last one has failed.
constexpr int SearchMoves = MaxPollingAddress;

RequestChain ChainFor(Connection::Goal goal) {
  RequestChain chain{"connect", {}, {ChainStep{RequestIdentify}}, {}};
  if (goal == Connection::Goal::Upload || goal == Connection::Goal::Monitor) {
    chain.steps.emplace_back(RequestUpload);
  }
  if (goal == Connection::Goal::Monitor) chain.steps.emplace_back(RequestMonitorOn);
  return chain;
}

bool IsConnecting(Connection::State state) {
  using State = Connection::State;
  return state == State::Opening || state == State::Searching || state == State::Identifying ||
         state == State::Uploading;
}

}  // namespace

const char* StateName(Connection::State state) {
  using State = Connection::State;
  switch (state) {
    case State::Offline:
      return "off line";
    case State::Opening:
      return "opening";
    case State::Searching:
      return "searching";
    case State::Identifying:
      return "identifying";
    case State::Uploading:
      return "uploading";
    case State::Open:
      return "open";
    case State::Monitoring:
      return "monitoring";
    case State::Asking:
      return "asking";
  }
  return "?";
}

Connection::Connection(SessionOptions options, Goal goal, Timing timing)
    : session_(std::make_unique<Session>(std::move(options), timing)), goal_(goal) {}

Connection::~Connection() {
  JoinOpen();
  session_->Close();
}

void Connection::JoinOpen() {
  if (openThread_.joinable()) openThread_.join();
}

void Connection::SetState(State state) {
  if (state == state_) return;
  state_ = state;
  if (observer_) observer_(state);
}

int Connection::CurrentRequest() const {
  switch (state_) {
    case State::Opening:
      return MessageOpened;
    case State::Searching:
      return RequestIdentify;
    default:
      return connect_ ? connect_->CurrentRequest() : 0;
  }
}

Connection::Status Connection::Start() {
  if (status_ != Status::NotStarted) return status_;
  status_ = Status::Running;
  OpenPort();
  return status_;
}

void Connection::OpenPort() {
  SetState(State::Opening);
  JoinOpen();
  // The open waits for the port to settle: off the caller's thread, its end comes back as a
  // message in order with the worker's.
  Session* session = session_.get();
  const bool search = goal_ == Goal::Search;
  openThread_ = std::thread([session, search] {
    const HartResult result = session->Open(search);
    session->PostMessage(MessageOpened, result);
  });
}

Connection::Status Connection::OnMessage(const WorkerMessage& message) {
  if (status_ != Status::Running) return status_;
  if (state_ == State::Opening) {
    if (message.kind != MessageOpened) return status_;
    JoinOpen();
    return OnOpened(message.detail);
  }
  if (state_ == State::Searching) return OnSearchMessage(message);
  if (connect_) {
    const Status inner = connect_->OnMessage(message);
    return OnConnectStep(inner);
  }
  if (state_ == State::Monitoring) return OnMonitoringMessage(message);
  return status_;
}

Connection::Status Connection::OnOpened(HartResult result) {
  if (result != ResultOk) {
    outcome_ = {result, session_->Explain(result, "open"), {}};
    return Ask(Question::LinkFailed);
  }
  switch (goal_) {
    case Goal::Open:
      SetState(State::Open);
      outcome_ = {};
      status_ = Status::Done;
      return status_;
    case Goal::Search:
      SetState(State::Searching);
      if (const HartResult submitted = session_->Submit(RequestIdentify, false);
          submitted != ResultOk) {
        return GoOffline(submitted, session_->Explain(submitted, "search"));
      }
      return status_;
    default:
      SetState(State::Identifying);
      connect_.emplace(*session_, ChainFor(goal_), false);
      return OnConnectStep(connect_->Start());
  }
}

Connection::Status Connection::OnConnectStep(Status inner) {
  switch (inner) {
    case Status::NeedsAnswer:
      outcome_ = {ResultLinkFailed, session_->Explain(ResultLinkFailed, StepName()), {}};
      return Ask(Question::LinkFailed);
    case Status::Done:
      break;
    default:
      if (connect_->CurrentRequest() == RequestUpload) SetState(State::Uploading);
      return status_;
  }
  OperationOutcome done = connect_->Outcome();
  const bool wasUploading = state_ == State::Uploading;
  // Named after the step that failed, as the technician knows it.
  if (done.result == ResultReplyRejected || done.result == ResultLinkFailed) {
    done.reason = session_->Explain(done.result, StepName());
  }
  connect_.reset();
  if (done.Succeeded()) {
    if (goal_ != Goal::Monitor) {
      SetState(State::Open);
      outcome_ = done;
      status_ = Status::Done;
      return status_;
    }
    SetState(State::Monitoring);
    session_->BeginRequest();
    return status_;
  }
  // The device refused a step of the upload: what was read stays, and the polls run, so a
  // connected display never stands still. A refused identification finds no device.
  if (done.result == ResultReplyRejected && wasUploading && goal_ == Goal::Monitor) {
    uploadRefusal_ = done.reason;
    connect_.emplace(*session_, SingleRequest(RequestMonitorOn), true);
    return OnConnectStep(connect_->Start());
  }
  return GoOffline(done.result, done.reason);
}

const char* Connection::StepName() const {
  return state_ == State::Uploading ? "upload" : "identify";
}

Connection::Status Connection::OnSearchMessage(const WorkerMessage& message) {
  if (message.kind == MessageFailure) {
    // On to the next address until all sixteen were tried once in this round.
    if (session_->AddressesTried() < SearchMoves) {
      session_->AnswerFailure(true);
      return status_;
    }
    outcome_ = {ResultLinkFailed, Reason{ReasonKind::LinkFailed,
                                         "search: no device answered at any polling address",
                                         {session_->OpenName()}},
                {}};
    return Ask(Question::NoDeviceFound);
  }
  if (message.kind == MessageWorkerEnded) {
    // A search always ends the worker: a device answered (or refused, which is an answer too).
    found_ = session_->Record().pollingAddress;
    session_->Close();
    SetState(State::Offline);
    outcome_ = {};
    status_ = Status::Done;
  }
  return status_;
}

Connection::Status Connection::OnMonitoringMessage(const WorkerMessage& message) {
  if (message.kind == RequestPoll) {
    // A poll between the steps of an operation must not reset the count of its request.
    if (!session_->RequestPending()) session_->BeginRequest();
    if (pollObserver_) pollObserver_(message.detail);
    return status_;
  }
  if (message.kind == MessageFailure) {
    switch (session_->OnFailure()) {
      case LinkFailurePolicy::Answer::Retry:
        session_->AnswerFailure(true);
        return status_;
      case LinkFailurePolicy::Answer::GiveUp:
        session_->AnswerFailure(false);
        return status_;
      case LinkFailurePolicy::Answer::Ask:
        outcome_ = {ResultLinkFailed, session_->Explain(ResultLinkFailed, "monitor"), {}};
        return Ask(Question::LinkFailed);
    }
  }
  if (message.kind == MessageWorkerEnded) {
    return GoOffline(ResultLinkFailed, session_->Explain(ResultLinkFailed, "monitor"));
  }
  return status_;
}

Connection::Status Connection::Ask(Question question) {
  if (state_ != State::Asking) asked_ = state_;
  question_ = question;
  SetState(State::Asking);
  status_ = Status::NeedsAnswer;
  return status_;
}

Connection::Status Connection::Answer(bool retry) {
  if (status_ != Status::NeedsAnswer) return status_;
  const Question question = question_;
  question_ = Question::None;
  status_ = Status::Running;
  SetState(asked_);
  if (!retry) {
    givenUp_ = true;
    return GoOffline(outcome_.result, outcome_.reason);
  }
  if (question == Question::NoDeviceFound) {
    // Another round: the answer moves the address on and the count starts again.
    session_->RestartSearchRound();
    session_->AnswerFailure(true);
    return status_;
  }
  if (state_ == State::Opening) {
    OpenPort();
    return status_;
  }
  if (connect_) return OnConnectStep(connect_->Answer(true));
  // The worker retries the poll, opening the port again first when it had failed.
  session_->AnswerFailure(true);
  return status_;
}

Connection::Status Connection::GoOffline(HartResult result, std::optional<Reason> reason) {
  failedWhileConnecting_ = IsConnecting(state_);
  JoinOpen();
  connect_.reset();
  session_->Close();
  SetState(State::Offline);
  outcome_.result = result;
  outcome_.reason = std::move(reason);
  status_ = Status::Done;
  return status_;
}

void Connection::Close() {
  if (state_ == State::Offline && status_ == Status::Done) return;
  if (status_ == Status::Done) {
    // The goal was reached: closing keeps its outcome.
    JoinOpen();
    session_->Close();
    SetState(State::Offline);
    return;
  }
  GoOffline(ResultOk, std::nullopt);
}

}  // namespace va5::session
