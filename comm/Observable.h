#pragma once

#include <mutex>
#include <vector>

namespace va5 {

class CObservable;

// Receives notifications of the observables it is attached to.
class CObserver {
 public:
  virtual ~CObserver() = default;
  // `subject` is the observable that notified (or the one it named).
  virtual void Update(CObservable* subject) = 0;
};

// Keeps its observers in attachment order and notifies them in that order.
class CObservable {
 public:
  virtual ~CObservable() = default;

  void Attach(CObserver* observer);
  void Detach(CObserver* observer);
  // Calls Update on every attached observer, passing `subject`, or this observable when null.
  void Notify(CObservable* subject = nullptr);

 private:
  std::mutex mutex_;  // attach may happen on one thread while another notifies
  std::vector<CObserver*> observers_;
};

}  // namespace va5
