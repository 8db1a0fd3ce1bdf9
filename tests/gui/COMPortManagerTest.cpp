#include "gui/COMPortManager.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>

namespace va5 {
namespace {

QCoreApplication& App() {
  static int argc = 1;
  static char name[] = "com_port_manager_tests";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app = new QCoreApplication(argc, argv);
  return *app;
}

// Runs the event loop until `done` holds or `ms` pass; true when it holds.
template <class F>
bool ProcessUntil(F done, int ms = 3000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(2);
  }
  return true;
}

void ProcessFor(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(2);
  }
}

struct ListObserver : CObserver {
  CCOMPortManager* manager = nullptr;
  int updates = 0;
  bool onUiThread = true;
  std::vector<PortRecord> ports;
  void Update(CObservable* subject) override {
    EXPECT_EQ(subject, manager);
    onUiThread = onUiThread && QThread::currentThread() == App().thread();
    ports = manager->Ports();
    ++updates;
  }
};

// A port source whose runs can be held back and are counted.
struct GatedSource {
  std::mutex mutex;
  std::condition_variable cv;
  bool open = true;
  std::atomic<int> runs{0};
  std::vector<PortRecord> Run() {
    std::unique_lock lock(mutex);
    cv.wait(lock, [this] { return open; });
    ++runs;
    return {{"/dev/ttyUSB1", "ttyUSB1", "b"}, {"/dev/ttyUSB0", "ttyUSB0", "a"}};
  }
  void Hold() {
    std::lock_guard lock(mutex);
    open = false;
  }
  void Release() {
    {
      std::lock_guard lock(mutex);
      open = true;
    }
    cv.notify_all();
  }
};

// A folder of the test's own, watched in place of /dev and the registry, so that ports coming
// and going elsewhere on the machine do not count.
class WatchedFolder {
 public:
  WatchedFolder() {
    char templ[] = "/tmp/va5vivi-manager-watch-XXXXXX";
    path_ = ::mkdtemp(templ);
  }
  ~WatchedFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::vector<std::string> Folders() const { return {path_}; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

TEST(COMPortManager, EnumeratesAtOnceAndNotifiesOnTheUiThread) {
  App();
  GatedSource source;
  WatchedFolder folder;
  CCOMPortManager manager(nullptr, [&] { return source.Run(); }, folder.Folders());
  ListObserver observer;
  observer.manager = &manager;
  manager.Attach(&observer);
  ASSERT_TRUE(ProcessUntil([&] { return observer.updates == 1; }));
  EXPECT_TRUE(observer.onUiThread);
  ASSERT_EQ(observer.ports.size(), 2u);
  EXPECT_EQ(observer.ports[0].portName, "ttyUSB0");
  EXPECT_EQ(manager.EnumerationCount(), 1);
}

TEST(COMPortManager, ChangeNoticesWithinTheDebounceCauseOneEnumeration) {
  App();
  GatedSource source;
  WatchedFolder folder;
  CCOMPortManager manager(nullptr, [&] { return source.Run(); }, folder.Folders());
  ASSERT_TRUE(ProcessUntil([&] { return source.runs == 1; }));
  ProcessFor(20);
  QElapsedTimer sinceLast;
  // Three notices 50 ms apart. The thread sleeps instead of running the event loop, so a
  // loaded machine cannot stretch the gaps past the debounce (a timer only fires from the loop).
  for (int i = 0; i < 3; ++i) {
    if (i > 0) QThread::msleep(50);
    manager.DeviceChanged();
    sinceLast.start();
  }
  EXPECT_EQ(manager.EnumerationCount(), 1);
  ASSERT_TRUE(ProcessUntil([&] { return source.runs == 2; }));
  EXPECT_GE(sinceLast.elapsed(), CCOMPortManager::DebounceMs - 5);
  ProcessFor(450);
  EXPECT_EQ(source.runs, 2);
  EXPECT_EQ(manager.EnumerationCount(), 2);
}

TEST(COMPortManager, WaitsForARunningEnumerationBeforeStartingTheNext) {
  App();
  GatedSource source;
  source.Hold();
  WatchedFolder folder;
  CCOMPortManager manager(nullptr, [&] { return source.Run(); }, folder.Folders());
  manager.DeviceChanged();
  ProcessFor(500);  // the debounce ends twice while the first run is held
  EXPECT_EQ(manager.EnumerationCount(), 1);
  source.Release();
  ASSERT_TRUE(ProcessUntil([&] { return source.runs == 2; }));
  EXPECT_EQ(manager.EnumerationCount(), 2);
}

TEST(COMPortManager, AChangeInAWatchedFolderEnumeratesAgain) {
  App();
  GatedSource source;
  WatchedFolder folder;
  CCOMPortManager manager(nullptr, [&] { return source.Run(); }, folder.Folders());
  ASSERT_TRUE(ProcessUntil([&] { return source.runs == 1; }));
  ProcessFor(CCOMPortManager::DebounceMs + 100);
  EXPECT_EQ(source.runs, 1);  // nothing changed, nothing enumerated
  std::ofstream(folder.Path() + "/ttyUSB9") << "";
  EXPECT_TRUE(ProcessUntil([&] { return source.runs == 2; }));
}

TEST(COMPortManager, SimulatorPortAppearsAndDisappears) {
  App();
  const auto root =
      std::filesystem::temp_directory_path() / ("va5vivi-manager-" + std::to_string(::getpid()));
  std::optional<std::string> saved;
  if (const char* old = std::getenv("XDG_RUNTIME_DIR")) saved = old;
  ::setenv("XDG_RUNTIME_DIR", root.c_str(), 1);
  std::filesystem::create_directories(root);
  {
    // The platform's own sources, watching the registry folder (made by the manager's default)
    // but not /dev.
    std::vector<std::string> folders = CCOMPortManager::PlatformWatchedFolders();
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(folders[1], SimulatorRegistryFolder());
    EXPECT_EQ(RegistryFolderProblem(), "");
    folders.erase(folders.begin());
    CCOMPortManager manager(nullptr, PlatformPortSources, folders);
    ListObserver observer;
    observer.manager = &manager;
    manager.Attach(&observer);
    ASSERT_TRUE(ProcessUntil([&] { return observer.updates >= 1; }));
    auto hasSim = [&] {
      for (const auto& p : observer.ports) {
        if (p.portName == "SIM7") return p.description == "Simulated transmitter (SIM7)";
      }
      return false;
    };
    EXPECT_FALSE(hasSim());
    const auto terminal = root / "terminal";
    std::ofstream(terminal) << "";
    const int claim = ClaimRegistryName("SIM7");
    ASSERT_GE(claim, 0);
    std::filesystem::create_symlink(terminal, root / "va5vivi" / "ports" / "SIM7");
    EXPECT_TRUE(ProcessUntil(hasSim));
    std::filesystem::remove(root / "va5vivi" / "ports" / "SIM7");
    EXPECT_TRUE(ProcessUntil([&] { return !hasSim(); }));
    ReleaseRegistryName("SIM7", claim);
  }
  std::filesystem::remove_all(root);
  if (saved) {
    ::setenv("XDG_RUNTIME_DIR", saved->c_str(), 1);
  } else {
    ::unsetenv("XDG_RUNTIME_DIR");
  }
}

}  // namespace
}  // namespace va5
