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
  record_.pollingAddress = ValidPollingAddress(options_.address);
  worker_ = std::make_unique<HartWorker>(*link_, record_, queue_, timing_);
  Job().SetPort(options_.port);
}

Session::~Session() { worker_->StopWorker(); }

HartResult Session::Open(bool searchMode) {
  openName_ = ResolvePortName(options_.port);
  lastOpen_ = link_->OpenPort(options_.port);
  if (lastOpen_ != ResultOk) return lastOpen_;
  worker_->SetSearchMode(searchMode);
  worker_->SetStepsDone(0);
  lastOpen_ = worker_->StartWorker();  // closes the port when the thread does not start
  if (lastOpen_ != ResultOk) worker_->SetSearchMode(false);
  return lastOpen_;
}

HartResult Session::Connect() {
  const HartResult opened = Open();
  return opened != ResultOk ? opened : Identify();
}

Reason Session::Explain(HartResult result, const std::string& what) const {
  // A request refused for want of a worker, after an open that failed: the open's reason.
  if (result == ResultNoWorker && lastOpen_ != ResultOk) result = lastOpen_;
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
  if (!worker_->IsRunning()) return;
  if (retry) worker_->PurgePort();
  worker_->AnswerFailure(retry);
}

const OperationOutcome& Session::Perform(Operation& operation) { return Drive(operation); }

OperationOutcome Session::Perform(RequestChain chain, bool monitoringAfter) {
  Operation operation(*this, std::move(chain), monitoringAfter);
  return Perform(operation);
}

HartResult Session::Run(int type, bool monitoringAfter) {
  return Perform(SingleRequest(type), monitoringAfter).result;
}

LiveValues Session::Live() {
  return worker_->WithRecord([this](DeviceRecord& r) {
    LiveValues live;
    live.pv = r.pvValue;
    live.pvUnit = r.pvUnit;
    live.percent = r.percentOfRange;
    live.terminalTemperature = r.terminalTemperature;
    live.terminalUnit = r.terminalUnit;
    live.loopCurrent = r.loopCurrent;
    live.deviceStatus = worker_->DeviceStatus();
    live.responseCode = worker_->LastResponseCode();
    live.commErrorBits = worker_->TakeCommErrorBits();
    return live;
  });
}

bool Session::Search() {
  bool gaveUp = false;
  if (worker_->SubmitRequest(RequestIdentify, false) != ResultOk) return false;
  for (;;) {
    auto message = queue_.Next(MessageWait);
    if (!message) {
      // The worker posts its end before it is gone; with none running nothing more comes.
      if (!worker_->IsRunning()) return false;
      continue;
    }
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
      policy_.BeginRequest(*worker_);
      if (!onPoll(message->second)) break;
    }
  }
  return ResultOk;
}

}  // namespace va5::session
