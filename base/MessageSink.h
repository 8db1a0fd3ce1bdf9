#pragma once

namespace va5 {

// One message of the worker: (first, second) with the receiver's private message number.
// first is a request type with second its HartResult, or MessageFailure with the request type,
// MessageProgress with the percentage in `percent`, or MessageWorkerEnded with 0.
struct WorkerMessage {
  int message = 0;  // the target's private message number
  int first = 0;
  int second = 0;
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
