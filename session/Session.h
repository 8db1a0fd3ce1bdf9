#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "base/MessageQueue.h"
#include "comm/HartLink.h"
#include "comm/HartWorker.h"
#include "comm/SerialPort.h"
#include "comm/Trace.h"
#include "device/DeviceRecord.h"
#include "session/JobRecorder.h"
#include "session/LinkFailurePolicy.h"
#include "session/LinkHold.h"
#include "session/LiveValues.h"
#include "session/Operation.h"
#include "session/Reason.h"
#include "session/RequestChain.h"

namespace va5::session {

struct SessionOptions {
  std::string port;  // device path, or a listed port name (simulator ports too)
  int address = 0;   // the polling address to start from (0 ... 15; anything else reads as 0)
  int retries = 0;   // failures of one request retried without asking, after the silent one
  TraceSink trace = NullTraceSink();  // the link's events ("TX: " / "RX: " lines as text)
  JobRecorder* job = nullptr;  // records into this job (kept across sessions), else its own
};

// The port, the link, the device record and the worker of one connection to a transmitter,
// with the session's link-failure policy. The worker's messages go to the session's queue
// unless a window sets its own target (SetMessageTarget). Connection owns a session and its
// life; operations run on it.
class Session {
 public:
  explicit Session(SessionOptions options, Timing timing = {});
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Opens the port and starts the worker; the result of whichever failed (Explain tells why).
  // After a failure no worker runs: requests are refused at once (205, explained by the
  // open's reason), Search gives up at once and answers are ignored.
  HartResult Open(bool searchMode = false);
  // Opens and identifies the device at the polling address.
  HartResult Connect();
  HartResult Identify() { return Run(RequestIdentify); }
  HartResult Upload() { return Run(RequestUpload); }

  // Runs an operation to its end on the calling thread: takes the worker's messages from the
  // queue and feeds them to it, sleeps its pauses, and gives up where it would ask.
  const OperationOutcome& Perform(Operation& operation);
  // The same for anything driven like an Operation (Start, OnMessage, Resume, Answer,
  // PauseLength, Outcome: a table transfer, a configuration download); `onStep` runs before
  // each step (progress).
  const OperationOutcome& Drive(Driven& driven, const std::function<void()>& onStep = {});
  // The same, ending the run's waits every `slice` to look at `stop`: once it is set, `onStop`
  // is called (once) and the run goes on to its end from there.
  const OperationOutcome& Drive(Driven& driven, const std::atomic<bool>& stop,
                                const std::function<void()>& onStop,
                                const std::function<void()>& onStep = {});
  OperationOutcome Perform(RequestChain chain, bool monitoringAfter = false);
  // One request, run the same way.
  HartResult Run(int type, bool monitoringAfter = false);

  // Why a request of the operation `what` ended with `result` (not 200): the port's open
  // error, or the response code and link failure of the last request that was not a poll.
  Reason Explain(HartResult result, const std::string& what) const;

  // Answers a failure message: a retry clears the port's buffers first. Does nothing when no
  // worker runs (nothing waits for an answer).
  void AnswerFailure(bool retry);

  // The live values and status for the display, copied in one piece under the record lock,
  // with the communication-error bits gathered since the last call (taken: the next call
  // starts them again).
  LiveValues TakeLive();

  // Submits one request to the worker (206 while another is pending, 205 without a worker).
  HartResult Submit(int type, bool monitoringAfter);
  // Where the worker's messages go from now on (null: the session's own queue), with the
  // receiver's private message number.
  void SetMessageTarget(MessageSink* target, int message);
  // Posts a message to the current target in order with the worker's (an open's end).
  void PostMessage(int kind, int detail);
  // Holds the link (the worker sends nothing) for as long as the returned hold lives.
  LinkHold Hold();
  void SetMonitoring(bool on);
  bool Monitoring() const;
  bool Holding() const;
  // True from a submission until just before its completion message.
  bool RequestPending() const;
  // True while the worker runs (a search's end or Close stop it).
  bool Running() const;
  // Status of the last reply parsed.
  std::uint8_t DeviceStatus() const;
  // The type of the last request other than a poll that ended (0 before any).
  int LastRequest() const;
  // While searching: how many times the polling address has moved on since the search began.
  int AddressesTried() const;
  // Stops the worker and closes the port; requests are refused from then on.
  void Close();

  LinkFailurePolicy& FailurePolicy() { return policy_; }
  // Starts the policy's count for a new request (or a new poll).
  void BeginRequest();
  // What the policy says of the failure the worker now waits on.
  LinkFailurePolicy::Answer OnFailure();
  // After every one of the sixteen addresses failed: a new round counts from the start.
  void RestartSearchRound();
  // The job record of what the operations did on the device (JobRecorder).
  JobRecorder& Job() { return options_.job != nullptr ? *options_.job : job_; }
  MessageQueue& Messages() { return queue_; }
  const Timing& GetTiming() const { return timing_; }
  template <class F>
  auto WithRecord(F f) {
    return worker_->WithRecord(f);
  }
  template <class F>
  auto WithRecord(F f) const {
    return worker_->WithRecord([&](const DeviceRecord& r) { return f(r); });
  }
  // A copy of the record, taken under its lock.
  DeviceRecord Record() {
    return worker_->WithRecord([](DeviceRecord& r) { return r; });
  }
  // The device path that the port name opened (ResolvePortName).
  const std::string& OpenName() const { return openName_; }

 private:
  // A wait for the worker's next message. The worker always ends a request with a message (a
  // completion, a failure question or its end), so this is no time-out, only a bound.
  static constexpr std::chrono::hours MessageWait{1};
  // One step of a run driven on this thread: a pause slept, a question answered No, or the
  // next message (waiting at most `wait`) handed over.
  Driven::Status Step(Driven& driven, Driven::Status status, std::chrono::milliseconds wait);
  // Both Drives: `stop` may be null (nothing can stop the run from outside).
  const OperationOutcome& DriveLoop(Driven& driven, const std::atomic<bool>* stop,
                                    const std::function<void()>& onStop,
                                    const std::function<void()>& onStep);

  SessionOptions options_;
  Timing timing_;
  LinkFailurePolicy policy_;
  std::string openName_;
  HartResult lastOpen_ = ResultOk;  // of the last Open
  std::unique_ptr<SerialPort> port_;
  std::unique_ptr<HartLink> link_;
  DeviceRecord record_;
  MessageQueue queue_;
  std::unique_ptr<HartWorker> worker_;
  JobRecorder job_;
};

}  // namespace va5::session
