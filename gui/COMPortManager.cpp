#include "gui/COMPortManager.h"

#include <QString>

namespace va5 {

std::vector<std::string> CCOMPortManager::PlatformWatchedFolders() {
#ifdef _WIN32
  return {};
#else
  std::vector<std::string> folders{"/dev"};
  if (MakeRegistryFolder().empty()) folders.push_back(SimulatorRegistryFolder());
  return folders;
#endif
}

CCOMPortManager::CCOMPortManager(QObject* parent, CCOMPortEnumerator::Source source,
                                 std::vector<std::string> watchedFolders)
    : QObject(parent),
      enumerator_(std::move(source)),
      functor_(enumerator_, &CCOMPortEnumerator::Enumerate) {
  // Thread end -> proxy (any thread) -> this manager (user-interface thread) -> observers.
  proxy_.Attach(this);
  functor_.Attach(&proxy_);

  // While an enumeration still runs when the debounce ends, the timer keeps checking.
  timer_.setInterval(DebounceMs);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, [this] { OnTimer(); });

  for (const std::string& folder : watchedFolders) {
    watcher_.addPath(QString::fromStdString(folder));
  }
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { DeviceChanged(); });

  StartEnumeration();
}

CCOMPortManager::~CCOMPortManager() {
  timer_.stop();
  functor_.Join();
}

void CCOMPortManager::DeviceChanged() { timer_.start(); }

void CCOMPortManager::OnTimer() {
  if (functor_.IsRunning()) return;
  timer_.stop();
  StartEnumeration();
}

void CCOMPortManager::StartEnumeration() {
  ++enumerations_;
  functor_.Start();
}

void CCOMPortManager::Update(CObservable* subject) {
  if (subject == &functor_) Notify(this);
}

}  // namespace va5
