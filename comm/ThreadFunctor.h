#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "comm/Observable.h"

namespace va5 {

// A background thread that runs one piece of work at a time and then notifies.
class ThreadInterface {
 public:
  virtual ~ThreadInterface() = default;
  // Runs the work on a new thread; afterwards calls notifier->Notify() on that thread.
  virtual void Start(CObservable* notifier) = 0;
  // Waits without limit for a started thread.
  virtual void Join() = 0;
  virtual bool IsRunning() const = 0;
};

// Runs `function` (a member function or any callable taking T&) on `object`.
template <class T, class F>
class ThreadClassFuncProxy : public ThreadInterface {
 public:
  ThreadClassFuncProxy(T& object, F function) : object_(object), function_(function) {}
  ~ThreadClassFuncProxy() override { Join(); }

  void Start(CObservable* notifier) override {
    std::lock_guard lock(mutex_);
    if (thread_.joinable()) thread_.join();  // the previous run has finished its work
    running_ = true;
    thread_ = std::thread([this, notifier] {
      std::invoke(function_, object_);
      if (notifier != nullptr) notifier->Notify();
      running_ = false;
    });
  }
  void Join() override {
    std::lock_guard lock(mutex_);
    if (thread_.joinable()) thread_.join();
  }
  bool IsRunning() const override { return running_; }

 private:
  T& object_;
  F function_;
  std::mutex mutex_;  // guards thread_
  std::thread thread_;
  std::atomic<bool> running_{false};
};

// Runs one bound function on a background thread and notifies its observers (on that thread)
// when it is done. Copies share the same thread interface.
class CThreadFunctor : public CObservable {
 public:
  explicit CThreadFunctor(std::shared_ptr<ThreadInterface> thread) : thread_(std::move(thread)) {}
  template <class T, class F>
  CThreadFunctor(T& object, F function)
      : thread_(std::make_shared<ThreadClassFuncProxy<T, F>>(object, function)) {}
  ~CThreadFunctor() override;

  void Start() { thread_->Start(this); }
  void Join() { thread_->Join(); }
  bool IsRunning() const { return thread_->IsRunning(); }

 private:
  std::shared_ptr<ThreadInterface> thread_;
};

}  // namespace va5
