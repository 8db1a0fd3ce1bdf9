#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

#include "base/MessageSink.h"

namespace va5 {

// A message sink for a thread that waits for the worker's messages (the command-line tool, the
// tests): the worker posts, the waiting thread takes them in order.
class MessageQueue : public MessageSink {
 public:
  void Post(const WorkerMessage& message) override {
    {
      std::lock_guard lock(mutex_);
      queue_.push_back(message);
    }
    cv_.notify_all();
  }

  // The next message, or nothing when none arrives within `timeout`.
  // Drops every message not taken yet.
  void Clear() {
    std::lock_guard lock(mutex_);
    queue_.clear();
  }

  std::optional<WorkerMessage> Next(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    std::unique_lock lock(mutex_);
    if (!cv_.wait_for(lock, timeout, [this] { return !queue_.empty(); })) return std::nullopt;
    WorkerMessage message = queue_.front();
    queue_.pop_front();
    return message;
  }

  // Skips messages until one of kind `kind` arrives (poll results and
  // progress in between are dropped).
  std::optional<WorkerMessage> NextWith(
      int kind, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return std::nullopt;
      auto message = Next(left);
      if (!message || message->kind == kind) return message;
    }
  }

  std::size_t Size() {
    std::lock_guard lock(mutex_);
    return queue_.size();
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<WorkerMessage> queue_;
};

}  // namespace va5
