#include "comm/HartWorker.h"

#include <system_error>

#include "base/NumberText.h"
#include "comm/TransactionStep.h"

namespace va5 {

namespace {

constexpr int AttemptsPerTransaction = 4;

bool IsEnd(const CommandDescriptor& entry) {
  return entry.command == CommandListEnd && entry.requestBytes == CommandListEnd;
}

// Progress values carry six significant digits, as they are shown.
float RoundedPercent(double percent) { return static_cast<float>(RoundToSignificant(percent, 6)); }

}  // namespace

HartWorker::HartWorker(HartLink& link, DeviceRecord& record, MessageSink& sink, Timing timing)
    : link_(link), record_(record), defaultSink_(sink), timing_(timing) {}

HartWorker::~HartWorker() {
  if (thread_.joinable()) StopWorker();
}

HartResult HartWorker::StartWorker() {
  if (thread_.joinable()) {
    // A worker that ended itself (after a search) is joined; a running one stays the only one.
    if (running_) return ResultThreadStartFailed;
    thread_.join();
  }
  requestEvent_.Reset();
  answerEvent_.Reset();
  {
    std::lock_guard lock(stopMutex_);
    stopSignal_ = false;
  }
  stop_ = false;
  pause_ = false;
  monitoring_ = false;
  retryAnswer_ = false;
  pendingRequest_ = RequestPoll;
  requestPending_ = false;
  linkFailure_ = LinkFailure::None;
  {
    std::lock_guard lock(requestEndMutex_);
    requestEnd_ = {};
  }

  LinkState& state = link_.State();
  state.frameKind = FrameKindShort;
  state.byteCount = 1;
  state.masterFlag = true;
  state.burstFlag = false;
  // An address the record cannot hold (a hand-edited setting) reads as 0 from here on.
  state.pollingAddress = WithRecord([](DeviceRecord& r) {
    r.pollingAddress = ValidPollingAddress(r.pollingAddress);
    return int{r.pollingAddress};
  });
  state.identityManufacturer = 0;
  state.identityDeviceType = 0;
  state.identityDeviceId = {0, 0, 0};
  state.preambleCount = 5;
  link_.SetAbort(&stop_);

  running_ = true;
  try {
    thread_ = std::thread([this] { Loop(); });
  } catch (const std::system_error&) {
    running_ = false;
    link_.ClosePort();
    return ResultThreadStartFailed;
  }
  return ResultOk;
}

HartResult HartWorker::StopWorker() {
  {
    // A hold kept by a question on screen (or never given back) must not keep the stop from
    // the worker, nor hold the next worker.
    std::lock_guard lock(holdMutex_);
    holdCount_ = 0;
    ++holdEpoch_;
  }
  if (thread_.joinable()) {
    stop_ = true;
    pause_ = true;
    retryAnswer_ = false;
    monitoring_ = false;
    searchMode_ = false;
    addressesTried_ = 0;
    {
      std::lock_guard lock(stopMutex_);
      stopSignal_ = true;
    }
    stopCv_.notify_all();
    requestEvent_.Set();
    answerEvent_.Set();
    thread_.join();
  }
  silentRetry_ = false;
  requestPending_ = false;
  link_.ClosePort();
  requestEvent_.Reset();
  answerEvent_.Reset();
  return ResultOk;
}

HartResult HartWorker::SubmitRequest(int type, bool monitoringAfter) {
  if (!thread_.joinable() || !running_) return ResultNoWorker;
  // Replacing a request that has not completed would lose it (a write whose completion the
  // window still waits for); the poll is never submitted and never pending.
  if (type != RequestPoll && requestPending_.exchange(true)) return ResultBusy;
  pendingRequest_ = type;
  monitoring_ = monitoringAfter;
  requestEvent_.Set();
  return ResultOk;
}

void HartWorker::SetTarget(MessageSink* target, int message) {
  std::lock_guard lock(targetMutex_);
  target_ = target;
  targetMessage_ = message;
}

void HartWorker::SetMonitoring(bool on) { monitoring_ = on; }

void HartWorker::SetHold(bool on) {
  if (on) {
    TakeHold();
    return;
  }
  {
    std::lock_guard lock(holdMutex_);
    if (holdCount_ > 0) --holdCount_;
  }
  requestEvent_.Set();
}

std::uint64_t HartWorker::TakeHold() {
  std::lock_guard lock(holdMutex_);
  ++holdCount_;
  return holdEpoch_;
}

void HartWorker::GiveBackHold(std::uint64_t token) {
  {
    std::lock_guard lock(holdMutex_);
    if (token != holdEpoch_ || holdCount_ == 0) return;
    --holdCount_;
  }
  requestEvent_.Set();
}

void HartWorker::AnswerFailure(bool retry) {
  // Nobody waits for an answer without a worker (a port that did not open, a search that
  // ended): the address and the progress stay as they are.
  if (!running_) return;
  retryAnswer_ = retry;
  if (searchMode_) {
    WithRecord([](DeviceRecord& r) {
      // 15 wraps to 0. A value that is no polling address was tried as 0 (Transaction), so the
      // search goes on from there instead of walking past 15.
      const int address = ValidPollingAddress(r.pollingAddress);
      r.pollingAddress = static_cast<std::int16_t>(address >= MaxPollingAddress ? 0 : address + 1);
    });
    const int steps = ++addressesTried_;
    PostProgress(static_cast<double>(steps) / MaxPollingAddress * 100.0);
  }
  answerEvent_.Set();
}

bool HartWorker::PurgePort() { return link_.PurgePort(); }

void HartWorker::Post(int kind, int detail, float percent) {
  MessageSink* sink;
  WorkerMessage message;
  {
    std::lock_guard lock(targetMutex_);
    sink = target_ ? target_ : &defaultSink_;
    message.message = targetMessage_;
  }
  message.kind = kind;
  message.detail = detail;
  message.percent = percent;
  sink->Post(message);
}

void HartWorker::PostProgress(double percent) { Post(MessageProgress, 0, RoundedPercent(percent)); }

void HartWorker::SleepUnlessStopped(Millis duration) {
  std::unique_lock lock(stopMutex_);
  stopCv_.wait_for(lock, duration, [this] { return stopSignal_; });
}

void HartWorker::Loop() {
  while (!stop_) {
    retryAnswer_ = false;
    requestEvent_.WaitFor(timing_.idleWait);
    // A signal may have been taken by a held transaction; the request itself is never lost.
    const int type = pendingRequest_.exchange(RequestPoll);
    if (pause_ || stop_) continue;
    if (type == RequestPoll && !monitoring_) continue;
    bool endWorker = false;
    const HartResult result = RunRequest(type, endWorker);
    if (type != RequestPoll) {
      {
        std::lock_guard lock(requestEndMutex_);
        requestEnd_ = {type, responseCode_, link_.State().command, linkFailure_};
      }
      // Before the completion goes out: its handler may submit the next request of a chain.
      requestPending_ = false;
    }
    if (endWorker) break;
    Post(type, result);
  }
  // Not running before the message goes out: its receiver may start the next worker at once.
  requestPending_ = false;
  running_ = false;
  Post(MessageWorkerEnded, 0);
}

HartResult HartWorker::RunRequest(int type, bool& endWorker) {
  if (type == RequestMonitorOn) {
    monitoring_ = true;
    return ResultOk;
  }
  const RequestDescriptor* request = FindRequest(type);
  const CommandDescriptor* list =
      WithRecord([type](DeviceRecord& r) { return CommandListFor(type, r); });
  if (request == nullptr || list == nullptr) return ResultReplyRejected;  // not a request type
  if (request->silentRetry) silentRetry_ = true;
  const HartResult result = RunList(type, list, request->progress);
  // A search always ends the worker, found or not.
  if (type == RequestIdentify && searchMode_) endWorker = true;
  if (request->afterWait != nullptr) SleepUnlessStopped(timing_.*(request->afterWait));
  return result;
}

// One request frame and its reply, repeated up to four times (once while searching). Command 0
// goes as a short frame to the record's polling address, which a search moves on between
// attempts; every other command goes to the identity of the last command 0 reply.
HartResult HartWorker::Transaction() {
  while (Holding() && !stop_) requestEvent_.Wait();
  if (stop_) {
    linkFailure_ = LinkFailure::Stopped;
    return ResultLinkFailed;
  }
  const int address = WithRecord([](DeviceRecord& r) { return int{r.pollingAddress}; });
  AddressRequest(link_.State(), ValidPollingAddress(address));
  link_.SetSearching(searchMode_);
  const HartResult result = ExchangeFrames(link_, searchMode_ ? 1 : AttemptsPerTransaction, &stop_);
  linkFailure_ = result == ResultOk ? LinkFailure::None
                 : stop_            ? LinkFailure::Stopped
                                    : link_.LastFailure();
  return result;
}

bool HartWorker::FailureProtocol(int type) {
  // A stale answer must not decide this failure; a stop always means give up.
  answerEvent_.Reset();
  if (stop_) return false;
  Post(MessageFailure, type);
  answerEvent_.Wait();
  // The answer goes into the trace beside the frames it decides about; a stop while the
  // question is open (the window's Cancel disconnects) gives up too.
  const bool retry = retryAnswer_ && !stop_;
  link_.Trace({.kind = TraceKind::Answer, .retry = retry});
  if (!retry) return false;
  // A port that failed under the link (the adapter unplugged, the simulator ended) is opened
  // again by its name before the retry, so that a device that is back is found again.
  const LinkFailure failed = linkFailure_;
  if (failed == LinkFailure::WriteFailed || failed == LinkFailure::PortFailed) {
    link_.Trace({.kind = TraceKind::LinkEvent,
                 .note = link_.ReopenPort() == ResultOk ? "port opened again"
                                                        : "port could not be opened again"});
  }
  link_.ClearLineErrors();
  return true;
}

void HartWorker::NoteReply() {
  LinkState& state = link_.State();
  deviceStatus_ = state.deviceStatus;
  responseCode_ = state.responseCode;
  if (state.commErrorBits != 0) {
    commErrorBits_ |= state.commErrorBits;
    state.commErrorBits = 0;
  }
}

HartResult HartWorker::RunList(int type, const CommandDescriptor* list, ListProgress progress) {
  LinkState& state = link_.State();
  int decoded = 0;
  for (const CommandDescriptor* entry = list; entry != nullptr && !IsEnd(*entry); ++entry) {
    for (;;) {
      WithRecord([&](DeviceRecord& r) { PrepareRequest(*entry, r, state); });
      if (Transaction() == ResultOk) break;
      // During a search the answer has already moved the address: a retry asks the next device.
      if (!FailureProtocol(type)) return ResultLinkFailed;
    }
    const HartResult accepted = AcceptReply(link_);
    if (accepted != ResultOk && state.responseCode == 0) linkFailure_ = LinkFailure::BadReply;
    // The status bytes and the decoded values change under one lock, so that a snapshot of
    // the live values sees the status of the reply whose values it shows.
    const bool decode = accepted == ResultOk && entry->decoder != nullptr;
    WithRecord([&](DeviceRecord& r) {
      NoteReply();
      if (decode) entry->decoder(state, r);
    });
    if (accepted != ResultOk) return accepted;
    if (!decode) return ResultOk;
    ++decoded;

    if (progress == ListProgress::PerCommand) PostProgress(decoded / 10.0 * 100.0);
  }
  return ResultOk;
}

}  // namespace va5
