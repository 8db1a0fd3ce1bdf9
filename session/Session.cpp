#include "session/Session.h"

#include <thread>

#include "comm/PortSources.h"
#ifdef _WIN32
#include "comm/Win32SerialPort.h"
#else
#include "comm/PosixSerialPort.h"
#endif
#include "comm/RequestTypes.h"
#include "session/Operations.h"

namespace va5::session {

namespace {

constexpr std::chrono::milliseconds Slice{100};
// A wait for the worker's next message. The worker always ends a request with a message (a
// completion, a failure question or its end), so this is no time-out, only a bound.
constexpr std::chrono::hours MessageWait{1};

}  // namespace

Session::Session(SessionOptions options, Timing timing)
    : options_(std::move(options)), timing_(timing), policy_(options_.retries) {
#ifdef _WIN32
  port_ = std::make_unique<Win32SerialPort>();
#else
  port_ = std::make_unique<PosixSerialPort>();
#endif
  link_ = std::make_unique<HartLink>(*port_, timing_,
                                     options_.trace ? options_.trace : NullTraceSink());
  record_.SetStartValues();
  record_.pollingAddress = static_cast<std::int16_t>(options_.address);
  worker_ = std::make_unique<HartWorker>(*link_, record_, queue_, timing_);
}

Session::~Session() { worker_->StopWorker(); }

HartResult Session::Open(bool searchMode) {
  openName_ = ResolvePortName(options_.port);
  const HartResult opened = link_->OpenPort(options_.port);
  if (opened != ResultOk) return opened;
  worker_->SetSearchMode(searchMode);
  worker_->SetStepsDone(0);
  return worker_->StartWorker();
}

HartResult Session::Connect() {
  const HartResult opened = Open();
  return opened != ResultOk ? opened : Identify();
}

Reason Session::Explain(HartResult result, const std::string& what) const {
  const HartWorker::RequestEnd end = worker_->LastRequestEnd();
  FailureDetails details;
  details.portName = options_.port;
  details.openError = link_->LastOpenError();
  details.responseCode = end.responseCode;
  details.command = end.command;
  details.linkFailure = end.failure;
  return ExchangeFailed(result, what, details);
}

void Session::AnswerFailure(bool retry) {
  if (retry) worker_->PurgePort();
  worker_->AnswerFailure(retry);
}

const OperationOutcome& Session::Perform(Operation& operation) {
  for (Operation::Status status = operation.Start(); status != Operation::Status::Done;) {
    switch (status) {
      case Operation::Status::Pausing:
        std::this_thread::sleep_for(operation.PauseLength());
        status = operation.Resume();
        break;
      case Operation::Status::NeedsAnswer:
        status = operation.Answer(false);  // nobody to ask: the retries are spent
        break;
      default:
        if (auto message = queue_.Next(MessageWait)) status = operation.OnMessage(*message);
        break;
    }
  }
  return operation.Outcome();
}

OperationOutcome Session::Perform(RequestChain chain, bool monitoringAfter) {
  Operation operation(*this, std::move(chain), monitoringAfter);
  return Perform(operation);
}

HartResult Session::Run(int type, bool monitoringAfter) {
  return Perform(SingleRequest(type), monitoringAfter).result;
}

bool Session::Search() {
  bool gaveUp = false;
  worker_->SubmitRequest(RequestIdentify, false);
  for (;;) {
    auto message = queue_.Next(MessageWait);
    if (!message) continue;
    if (message->first == MessageFailure) {
      gaveUp = LinkFailurePolicy::OnSearchFailure(*worker_) == LinkFailurePolicy::Answer::GiveUp;
      AnswerFailure(!gaveUp);
    } else if (message->first == MessageWorkerEnded) {
      return !gaveUp;
    }
  }
}

HartResult Session::Monitor(const std::function<bool(HartResult)>& onPoll,
                            const std::atomic<bool>& stop) {
  const HartResult on = Run(RequestMonitorOn, true);
  if (on != ResultOk) return on;
  policy_.BeginRequest(*worker_);
  while (!stop) {
    auto message = queue_.Next(Slice);
    if (!message) continue;
    if (message->first == MessageFailure) {
      AnswerFailure(policy_.OnFailure(*worker_) == LinkFailurePolicy::Answer::Retry);
    } else if (message->first == MessageWorkerEnded) {
      return ResultLinkFailed;
    } else if (message->first == RequestPoll) {
      if (message->second != ResultOk) return message->second;
      policy_.BeginRequest(*worker_);
      if (!onPoll(message->second)) break;
    }
  }
  return ResultOk;
}

}  // namespace va5::session
