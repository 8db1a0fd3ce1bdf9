#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

#include "comm/MessageSink.h"

namespace va5::cli {

// The tool's message sink: the worker posts, the main thread waits for the next message.
class MessageQueue : public MessageSink {
 public:
  void Post(const WorkerMessage& message) override {
    {
      std::lock_guard lock(mutex_);
      queue_.push_back(message);
    }
    cv_.notify_one();
  }

  // The next message, or nothing when none arrives within `timeout`.
  std::optional<WorkerMessage> Next(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (!cv_.wait_for(lock, timeout, [this] { return !queue_.empty(); })) return std::nullopt;
    WorkerMessage message = queue_.front();
    queue_.pop_front();
    return message;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<WorkerMessage> queue_;
};

}  // namespace va5::cli
