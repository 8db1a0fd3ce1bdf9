#include "gui/ObserverProxyUI.h"

#include <QMetaObject>

namespace va5 {

void CObserverProxyUI::Update(CObservable* subject) {
  QMetaObject::invokeMethod(
      this, [this, subject] { Notify(subject); }, Qt::QueuedConnection);
}

}  // namespace va5
