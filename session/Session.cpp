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
  // What an earlier worker posted (its end) is no message of this one's.
  queue_.Clear();
  openName_ = ResolvePortName(options_.port);
  lastOpen_ = link_->OpenPort(options_.port);
  if (lastOpen_ != ResultOk) return lastOpen_;
  worker_->SetSearchMode(searchMode);
  worker_->SetAddressesTried(0);
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
  details.address = WithRecord([](const DeviceRecord& r) { return int{r.pollingAddress}; });
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

LiveValues Session::TakeLive() {
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

HartResult Session::Submit(int type, bool monitoringAfter) {
  return worker_->SubmitRequest(type, monitoringAfter);
}

void Session::SetMessageTarget(MessageSink* target, int message) {
  worker_->SetTarget(target, message);
}

void Session::PostMessage(int kind, int detail) { worker_->PostMessage(kind, detail); }

LinkHold Session::Hold() { return LinkHold(*worker_); }

void Session::SetMonitoring(bool on) { worker_->SetMonitoring(on); }

bool Session::Monitoring() const { return worker_->Monitoring(); }

bool Session::Holding() const { return worker_->Holding(); }

bool Session::RequestPending() const { return worker_->RequestPending(); }

bool Session::Running() const { return worker_->IsRunning(); }

std::uint8_t Session::DeviceStatus() const { return worker_->DeviceStatus(); }

int Session::LastRequest() const { return worker_->LastRequestEnd().request; }

int Session::AddressesTried() const { return worker_->AddressesTried(); }

void Session::Close() { worker_->StopWorker(); }

void Session::BeginRequest() { policy_.BeginRequest(*worker_); }

LinkFailurePolicy::Answer Session::OnFailure() { return policy_.OnFailure(*worker_); }

void Session::RestartSearchRound() { worker_->SetAddressesTried(-1); }

const OperationOutcome& Session::Drive(Driven& driven, const std::function<void()>& onStep) {
  return DriveLoop(driven, nullptr, {}, onStep);
}

const OperationOutcome& Session::Drive(Driven& driven, const std::atomic<bool>& stop,
                                       const std::function<void()>& onStop,
                                       const std::function<void()>& onStep) {
  return DriveLoop(driven, &stop, onStop, onStep);
}

const OperationOutcome& Session::DriveLoop(Driven& driven, const std::atomic<bool>* stop,
                                           const std::function<void()>& onStop,
                                           const std::function<void()>& onStep) {
  using Status = Driven::Status;
  bool stopped = stop == nullptr;
  for (Status status = driven.Start(); status != Status::Done;) {
    if (onStep) onStep();
    if (!stopped && *stop) {
      stopped = true;
      if (onStop) onStop();
      status = driven.GetStatus();
      if (status == Status::Done) break;
    }
    // A stop comes from a signal handler: until it has come, the wait ends in slices to look
    // at it; without one (or after it) the worker's next message is waited for.
    status = Step(driven, status, stopped ? MessageWait : Slice);
  }
  return driven.Outcome();
}

Driven::Status Session::Step(Driven& driven, Driven::Status status, std::chrono::milliseconds wait) {
  using Status = Driven::Status;
  switch (status) {
    case Status::Pausing:
      std::this_thread::sleep_for(driven.PauseLength());
      return driven.Resume();
    case Status::NeedsAnswer:
      return driven.Answer(false);  // nobody to ask: the retries are spent
    default:
      if (auto message = queue_.Next(wait)) return driven.OnMessage(*message);
      return driven.GetStatus();
  }
}

}  // namespace va5::session
