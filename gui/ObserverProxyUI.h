#pragma once

#include <QObject>

#include "comm/Observable.h"

namespace va5 {

// Carries notifications from any thread to the user-interface thread: Update (on whatever
// thread notified) queues a call that notifies this proxy's own observers on the thread the
// proxy lives in. A notification still queued when the proxy is destroyed is dropped.
class CObserverProxyUI : public QObject, public CObservable, public CObserver {
 public:
  explicit CObserverProxyUI(QObject* parent = nullptr) : QObject(parent) {}

  void Update(CObservable* subject) override;
};

}  // namespace va5
