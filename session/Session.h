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
#include "session/LiveValues.h"
#include "session/Operation.h"
#include "session/Reason.h"
#include "session/RequestChain.h"

namespace va5::session {

struct SessionOptions {
  std::string port;  // device path, or a listed port name (simulator ports too)
  int address = 0;   // the polling address to start from (0 ... 15; anything else reads as 0)
  int retries = 0;   // failures of one request retried without asking, after the silent one
  TraceSink trace = NullTraceSink();  // the link's "TX: " / "RX: " lines
  JobRecorder* job = nullptr;  // records into this job (kept across sessions), else its own
};

// One connection to a transmitter: the port, the link, the device record and the worker,
// with the session's link-failure policy. The worker's messages go to the session's queue
// unless a window sets its own target on the worker.
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
  // Searches the addresses from the start address upwards (15 wraps to 0), each tried once.
  // True when a device answered; its address is then the record's polling address. A search
  // always ends the worker. False at once when no worker runs (the open failed).
  bool Search();
  HartResult Identify() { return Run(RequestIdentify); }
  HartResult Upload() { return Run(RequestUpload); }

  // Runs an operation to its end on the calling thread: takes the worker's messages from the
  // queue and feeds them to it, sleeps its pauses, and gives up where it would ask.
  const OperationOutcome& Perform(Operation& operation);
  // The same for anything driven like an Operation (Start, OnMessage, Resume, Answer,
  // PauseLength, Outcome: a table transfer, a configuration download); `onStep` runs before
  // each step (progress).
  template <class Driven>
  const OperationOutcome& Drive(Driven& driven, const std::function<void()>& onStep = {});
  OperationOutcome Perform(RequestChain chain, bool monitoringAfter = false);
  // One request, run the same way.
  HartResult Run(int type, bool monitoringAfter = false);

  // Switches monitoring on and calls `onPoll` with each poll's result until it returns false or
  // `stop` is set. A poll the device refuses (a busy device, a communication error it reports)
  // is passed on and the polls go on, as in the window; 209 when the link was given up, else 200.
  HartResult Monitor(const std::function<bool(HartResult)>& onPoll, const std::atomic<bool>& stop);

  // Why a request of the operation `what` ended with `result` (not 200): the port's open
  // error, or the response code and link failure of the last request that was not a poll.
  Reason Explain(HartResult result, const std::string& what) const;

  // Answers a failure message: a retry clears the port's buffers first. Does nothing when no
  // worker runs (nothing waits for an answer).
  void AnswerFailure(bool retry);

  // The live values and status for the display, copied in one piece under the record lock;
  // takes (clears) the communication-error bits gathered since the last call.
  LiveValues Live();

  LinkFailurePolicy& FailurePolicy() { return policy_; }
  // The job record of what the operations did on the device (JobRecorder).
  JobRecorder& Job() { return options_.job != nullptr ? *options_.job : job_; }
  HartWorker& Worker() { return *worker_; }
  MessageQueue& Messages() { return queue_; }
  const Timing& GetTiming() const { return timing_; }
  template <class F>
  auto WithRecord(F f) {
    return worker_->WithRecord(f);
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

template <class Driven>
const OperationOutcome& Session::Drive(Driven& driven, const std::function<void()>& onStep) {
  using Status = Operation::Status;
  for (Status status = driven.Start(); status != Status::Done;) {
    if (onStep) onStep();
    switch (status) {
      case Status::Pausing:
        std::this_thread::sleep_for(driven.PauseLength());
        status = driven.Resume();
        break;
      case Status::NeedsAnswer:
        status = driven.Answer(false);  // nobody to ask: the retries are spent
        break;
      default:
        if (auto message = queue_.Next(MessageWait)) status = driven.OnMessage(*message);
        break;
    }
  }
  return driven.Outcome();
}

}  // namespace va5::session
