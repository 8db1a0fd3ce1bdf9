#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "base/AutoResetEvent.h"
#include "comm/CommandSet.h"
#include "comm/HartLink.h"
#include "comm/HartResult.h"
#include "base/MessageSink.h"
#include "comm/RequestTypes.h"
#include "comm/Timing.h"
#include "device/DeviceRecord.h"

namespace va5 {

// The transaction engine: one worker thread owns the open port and runs every HART exchange.
// A caller submits a numbered request; the worker runs its command list and posts the outcome
// to the current target. A failed transaction makes the worker post (MessageFailure, type) and
// wait for AnswerFailure. While idle with monitoring on, the worker polls (request 400).
//
// The port is opened by the caller (HartLink::OpenPort) before StartWorker and is closed by
// StopWorker. The DeviceRecord is shared with the caller: the worker holds the record lock
// while a builder or decoder runs; readers take it with WithRecord.
class HartWorker {
 public:
  HartWorker(HartLink& link, DeviceRecord& record, MessageSink& sink, Timing timing = {});
  ~HartWorker();
  HartWorker(const HartWorker&) = delete;
  HartWorker& operator=(const HartWorker&) = delete;

  // 200, or 204 when the thread cannot be started (the port is then closed).
  HartResult StartWorker();
  // Ends the worker, whatever it is doing, and closes the port. Always 200.
  HartResult StopWorker();
  // 205 when no worker runs; 206 while an earlier submitted request is still waiting or
  // running (it stays as it was); otherwise hands the request over without waiting.
  HartResult SubmitRequest(int type, bool monitoringAfter);
  // True from a successful SubmitRequest until just before that request's completion message
  // is posted (or the worker ends): another submission would be refused meanwhile.
  bool RequestPending() const { return requestPending_; }
  // Where messages go from now on; a null target means the sink given to the constructor.
  void SetTarget(MessageSink* target, int message);
  void SetMonitoring(bool on);
  // Holds nest: SetHold(true) takes one more hold, SetHold(false) gives one back (never
  // below none). While any hold is taken the worker sends nothing; a submission made meanwhile
  // runs after the last release. StopWorker drops every hold, so a stop is never held back.
  void SetHold(bool on);
  // For a scoped hold (LinkHold): takes a hold and returns its token; giving back a token from
  // before a StopWorker does nothing, since that stop dropped its hold already.
  std::uint64_t TakeHold();
  void GiveBackHold(std::uint64_t token);
  // The answer to a (MessageFailure, type) message: retry the failed command or give up.
  // During a search it also moves the polling address on and posts the search progress.
  void AnswerFailure(bool retry);
  // Clears the port buffers; only while the worker waits for an answer (or does not run).
  bool PurgePort();

  // Posts a message of the caller's to the current target, in order with the worker's own (the
  // end of a port open that ran on another thread).
  void PostMessage(int kind, int detail) { Post(kind, detail); }

  // While searching, command 0 is tried once per address and every failure's answer moves the
  // polling address on (15 wraps to 0); AddressesTried counts those moves.
  void SetSearchMode(bool on) { searchMode_ = on; }
  bool SilentRetry() const { return silentRetry_; }
  void ClearSilentRetry() { silentRetry_ = false; }
  void SetAddressesTried(int tried) { addressesTried_ = tried; }
  int AddressesTried() const { return addressesTried_; }
  bool Monitoring() const { return monitoring_; }
  bool Holding() const { return HoldCount() > 0; }
  int HoldCount() const {
    std::lock_guard lock(holdMutex_);
    return holdCount_;
  }
  // True from StartWorker until the thread has ended (by StopWorker or after a search).
  bool IsRunning() const { return running_; }

  // Status of the last reply the worker parsed, safe to read from any thread. Both are stored
  // before the message that reports the request is posted.
  std::uint8_t DeviceStatus() const { return deviceStatus_; }
  std::uint8_t LastResponseCode() const { return responseCode_; }
  // Why the last transaction failed (None when it got its reply), safe to read from any
  // thread; stored before the (MessageFailure, type) message is posted. A reply refused for
  // its response code is no link failure: LastResponseCode tells the reason.
  LinkFailure LastLinkFailure() const { return linkFailure_; }
  // How the last request other than a poll ended: its type, the response code and command of
  // its last reply, and why its exchange failed. Stored before the request's completion
  // message is posted; polls never change it, so a window that reads it while it handles the
  // completion sees this request's answer even when monitoring goes on.
  struct RequestEnd {
    int request = 0;
    std::uint8_t responseCode = 0;
    std::uint8_t command = 0;
    LinkFailure failure = LinkFailure::None;
  };
  RequestEnd LastRequestEnd() const {
    std::lock_guard lock(requestEndMutex_);
    return requestEnd_;
  }
  // OR of every response code with bit 7 set since the last clear.
  std::uint8_t CommErrorBits() const { return commErrorBits_; }
  // Returns the bits and clears them in one step: a bit the worker sets between a separate
  // read and clear would be lost.
  std::uint8_t TakeCommErrorBits() { return commErrorBits_.exchange(0); }
  template <class F>
  auto WithRecord(F f) {
    std::lock_guard lock(recordMutex_);
    return f(record_);
  }

  const Timing& GetTiming() const { return timing_; }

 private:
  void Loop();
  HartResult RunRequest(int type, bool& endWorker);
  HartResult Transaction();
  HartResult RunList(int type, const CommandDescriptor* list, ListProgress progress);
  bool FailureProtocol(int type);
  void NoteReply();
  void Post(int kind, int detail, float percent = 0.0f);
  void PostProgress(double percent);
  void SleepUnlessStopped(Millis duration);

  HartLink& link_;
  DeviceRecord& record_;
  MessageSink& defaultSink_;
  Timing timing_;

  std::thread thread_;
  AutoResetEvent requestEvent_;
  AutoResetEvent answerEvent_;
  std::mutex stopMutex_;  // lets sleeps end at once when the worker is stopped
  std::condition_variable stopCv_;
  bool stopSignal_ = false;  // guarded by stopMutex_

  std::atomic<bool> running_{false};
  std::atomic<bool> stop_{false};
  std::atomic<bool> pause_{false};
  std::atomic<int> pendingRequest_{RequestPoll};
  std::atomic<bool> monitoring_{false};
  std::atomic<bool> retryAnswer_{false};
  std::atomic<bool> requestPending_{false};
  std::atomic<bool> searchMode_{false};
  std::atomic<bool> silentRetry_{false};
  std::atomic<int> addressesTried_{0};
  std::atomic<std::uint8_t> deviceStatus_{0};
  std::atomic<std::uint8_t> responseCode_{0};
  std::atomic<std::uint8_t> commErrorBits_{0};
  std::atomic<LinkFailure> linkFailure_{LinkFailure::None};

  std::mutex targetMutex_;
  MessageSink* target_ = nullptr;  // guarded by targetMutex_
  int targetMessage_ = 0;          // guarded by targetMutex_

  mutable std::mutex holdMutex_;
  int holdCount_ = 0;            // guarded by holdMutex_
  std::uint64_t holdEpoch_ = 0;  // guarded by holdMutex_; moves on when StopWorker drops the holds

  std::mutex recordMutex_;
  mutable std::mutex requestEndMutex_;
  RequestEnd requestEnd_;  // guarded by requestEndMutex_
};

}  // namespace va5
