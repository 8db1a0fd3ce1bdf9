#include "gui/COMPortManager.h"

#include <QDir>
#include <QString>
#include <filesystem>
#include <system_error>

namespace va5 {

CCOMPortManager::CCOMPortManager(QObject* parent, CCOMPortEnumerator::Source source)
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

#ifndef _WIN32
  // Device nodes come and go in /dev; simulators register in their own folder, which is made
  // here so that it can be watched before the first simulator starts.
  const std::string simulators = SimulatorPortDirectory();
  std::error_code ec;
  std::filesystem::create_directories(simulators, ec);
  watcher_.addPath(QStringLiteral("/dev"));
  if (!ec) watcher_.addPath(QString::fromStdString(simulators));
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { DeviceChanged(); });
#endif

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
