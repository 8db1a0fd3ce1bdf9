#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <string>
#include <vector>

#include "gui/ObserverProxyUI.h"
#include "comm/COMPortEnumerator.h"
#include "comm/Observable.h"
#include "comm/ThreadFunctor.h"

namespace va5 {

// Keeps the list of serial ports current for the connect panel. It enumerates on a background
// thread when it is created and again 200 ms after the last device-change notice (a change in
// one of the watched folders: /dev and the simulator registry folder); observers attached to
// it are notified on the user-interface thread when a fresh list is ready and read it with
// Ports. Tests give it their own source and folders.
class CCOMPortManager : public QObject, public CObserver, public CObservable {
 public:
  static constexpr int DebounceMs = 200;

  explicit CCOMPortManager(QObject* parent = nullptr,
                           CCOMPortEnumerator::Source source = PlatformPortSources,
                           std::vector<std::string> watchedFolders = PlatformWatchedFolders());

  // The folders whose changes may change the port list: /dev and the simulator registry
  // folder, which is made here when missing so that the first simulator is seen (and left out
  // when it cannot be trusted). None on Windows.
  static std::vector<std::string> PlatformWatchedFolders();
  ~CCOMPortManager() override;

  std::vector<PortRecord> Ports() const { return enumerator_.Ports(); }

  // A device or setting changed: (re)start the 200 ms debounce.
  void DeviceChanged();

  // Enumerations started so far (the first one at creation).
  int EnumerationCount() const { return enumerations_; }

  void Update(CObservable* subject) override;

 private:
  void OnTimer();
  void StartEnumeration();

  CObserverProxyUI proxy_;
  CCOMPortEnumerator enumerator_;
  CThreadFunctor functor_;
  QTimer timer_;
  QFileSystemWatcher watcher_;
  int enumerations_ = 0;
};

}  // namespace va5
