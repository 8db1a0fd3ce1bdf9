#include "comm/Observable.h"

#include <algorithm>

namespace va5 {

void CObservable::Attach(CObserver* observer) {
  std::lock_guard lock(mutex_);
  observers_.push_back(observer);
}

void CObservable::Detach(CObserver* observer) {
  std::lock_guard lock(mutex_);
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void CObservable::Notify(CObservable* subject) {
  std::vector<CObserver*> observers;
  {
    std::lock_guard lock(mutex_);
    observers = observers_;
  }
  for (CObserver* observer : observers) observer->Update(subject ? subject : this);
}

}  // namespace va5
