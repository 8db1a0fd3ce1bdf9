#pragma once

namespace va5 {

// One message of the worker, tagged with the receiver's private message number. `kind` says
// what happened and `detail` what goes with it:
//   a request type          -> the HartResult of that request
//   MessageFailure          -> the request type that waits for an answer to its failure
//   MessageOpened           -> the HartResult of the port open
//   MessageProgress         -> 0 (the percentage is in `percent`)
//   MessageWorkerEnded      -> 0
struct WorkerMessage {
  int message = 0;  // the target's private message number
  int kind = 0;
  int detail = 0;
  float percent = 0.0f;  // progress messages only, carried by value
};

// Where the worker's messages go. Post is called on the worker thread (and, for search
// progress, on the thread that answers a failure); it must not block for long and must never
// call back into the worker.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void Post(const WorkerMessage& message) = 0;
};

}  // namespace va5
