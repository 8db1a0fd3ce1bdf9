#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <cerrno>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>

#include "comm/COMPortEnumerator.h"
#include "comm/Observable.h"
#include "comm/PortSources.h"
#include "comm/ThreadFunctor.h"

namespace va5 {
namespace {

std::vector<std::string> Names(const std::vector<PortRecord>& ports) {
  std::vector<std::string> names;
  for (const auto& p : ports) names.push_back(p.portName);
  return names;
}

TEST(PortMerge, SortsByPlainCharacterOrderAndPrefixesHighNumbers) {
  std::vector<PortRecord> found{*PortFromSetupApi("COM1", "a"), *PortFromSetupApi("COM10", "b"),
                                *PortFromSetupApi("COM2", "c")};
  const auto merged = MergePorts({found[2], found[1], found[0]});
  EXPECT_EQ(Names(merged), (std::vector<std::string>{"COM1", "COM10", "COM2"}));
  EXPECT_EQ(merged[0].openName, "COM1");
  EXPECT_EQ(merged[1].openName, "\\\\.\\COM10");
  EXPECT_EQ(merged[2].openName, "COM2");
  EXPECT_EQ(merged[1].description, "b");
}

TEST(PortMerge, FirstSourceWinsForTheSamePort) {
  // WMI is asked first, so its entry comes first and survives the duplicate rule.
  const auto merged = MergePorts(
      {*PortFromWmi("COM1", "Communications Port"), *PortFromSetupApi("COM3", "USB Serial (COM3)"),
       *PortFromSetupApi("COM1", "Communications Port (COM1)"), *PortFromWmi("COM3", "Modem")});
  ASSERT_EQ(merged.size(), 2u);
  EXPECT_EQ(merged[0].description, "Communications Port (COM1)");
  EXPECT_EQ(merged[1].description, "USB Serial (COM3)");
}

TEST(PortMerge, WmiNamesGetThePortAppendedOnlyWhenMissing) {
  EXPECT_EQ(PortFromWmi("COM1", "Communications Port")->description, "Communications Port (COM1)");
  EXPECT_EQ(PortFromWmi("COM3", "USB Serial Port COM3 adapter")->description,
            "USB Serial Port COM3 adapter");
  EXPECT_EQ(PortFromWmi("com1:", "x")->portName, "COM1");
}

TEST(PortMerge, InvalidNamesAreSkipped) {
  EXPECT_FALSE(PortFromSetupApi("LPT1", "Printer"));
  EXPECT_FALSE(PortFromSetupApi("COMX", ""));
  EXPECT_FALSE(PortFromSetupApi("COM", ""));
  EXPECT_FALSE(PortFromSetupApi("COM1:", ""));  // the registry value has digits only
  EXPECT_FALSE(PortFromWmi("COM1A", "x"));
  EXPECT_FALSE(PortFromWmi("LPT1", "x"));
  ASSERT_TRUE(PortFromSetupApi("cOm7", ""));
  EXPECT_EQ(PortFromSetupApi("cOm7", "")->portName, "COM7");
}

#ifndef _WIN32  // simulated transmitters register their ports on POSIX systems only
// Points the simulator registry at a private folder for one test.
class SimulatorRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("XDG_RUNTIME_DIR")) saved_ = old;
    root_ = std::filesystem::temp_directory_path() /
            ("va5vivi-discovery-" + std::to_string(::getpid()));
    std::filesystem::create_directories(root_);
    ::setenv("XDG_RUNTIME_DIR", root_.c_str(), 1);
    ASSERT_EQ(MakeRegistryFolder(), "");
    terminal_ = root_ / "pts-stand-in";
    std::ofstream(terminal_) << "";
  }
  void TearDown() override {
    for (const auto& [name, fd] : claims_) ::close(fd);
    if (saved_) {
      ::setenv("XDG_RUNTIME_DIR", saved_->c_str(), 1);
    } else {
      ::unsetenv("XDG_RUNTIME_DIR");
    }
    std::filesystem::remove_all(root_);
  }
  std::filesystem::path PortDir() const { return root_ / "va5vivi" / "ports"; }
  // An entry as a running simulator makes it: the name claimed, then the link.
  void Register(const std::string& name, const std::filesystem::path& target) {
    const int fd = ClaimRegistryName(name);
    ASSERT_GE(fd, 0) << name;
    claims_[name] = fd;
    std::filesystem::create_symlink(target, PortDir() / name);
  }
  // The simulator that registered `name` ends without cleaning up (killed).
  void Kill(const std::string& name) {
    ::close(claims_.at(name));
    claims_.erase(name);
  }
  std::vector<std::string> SimulatorNames() {
    CCOMPortEnumerator enumerator;
    enumerator.Enumerate();
    std::vector<std::string> names;
    for (const auto& p : enumerator.Ports()) {
      if (p.description.rfind("Simulated transmitter", 0) == 0) names.push_back(p.portName);
    }
    return names;
  }

  std::filesystem::path root_, terminal_;
  std::optional<std::string> saved_;
  std::map<std::string, int> claims_;
};

TEST_F(SimulatorRegistryTest, LiveEntriesAppearAndGo) {
  EXPECT_EQ(SimulatorRegistryFolder(), PortDir().string());
  Register("SIM1", terminal_);
  Register("SIM2", root_ / "vanished");  // its terminal has gone
  Register("SIM3", terminal_);
  Kill("SIM3");  // link and target still there, owner gone

  CCOMPortEnumerator enumerator;
  enumerator.Enumerate();
  const auto ports = enumerator.Ports();
  auto sim = std::find_if(ports.begin(), ports.end(),
                          [](const PortRecord& p) { return p.portName == "SIM1"; });
  ASSERT_NE(sim, ports.end());
  EXPECT_EQ(sim->openName, terminal_.string());
  EXPECT_EQ(sim->description, "Simulated transmitter (SIM1)");
  EXPECT_EQ(SimulatorNames(), std::vector<std::string>{"SIM1"});

  // A name held by a live entry cannot be claimed twice, not even within one process.
  errno = 0;
  EXPECT_EQ(ClaimRegistryName("SIM1"), -1);
  EXPECT_EQ(errno, EEXIST);
  // The dead simulator's name can be.
  const int again = ClaimRegistryName("SIM3");
  EXPECT_GE(again, 0);
  EXPECT_EQ(SimulatorNames(), (std::vector<std::string>{"SIM1", "SIM3"}));
  ReleaseRegistryName("SIM3", again);
  EXPECT_FALSE(std::filesystem::exists(PortDir() / ".SIM3.lock"));

  std::filesystem::remove(PortDir() / "SIM1");
  EXPECT_TRUE(SimulatorNames().empty());
}

TEST_F(SimulatorRegistryTest, TheFolderIsMadePrivate) {
  for (const auto& folder : {root_ / "va5vivi", PortDir()}) {
    EXPECT_EQ(std::filesystem::status(folder).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all)
        << folder;
  }
  ::unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(SimulatorRegistryFolder(), "/tmp/va5vivi-" + std::to_string(::getuid()) + "/ports");
}

// Another user who made the folder first (under /tmp anyone can) must not choose our ports.
TEST_F(SimulatorRegistryTest, AFolderOthersControlIsIgnored) {
  Register("SIM1", terminal_);
  ASSERT_EQ(SimulatorNames(), std::vector<std::string>{"SIM1"});

  std::filesystem::permissions(PortDir(), std::filesystem::perms::all);
  EXPECT_NE(RegistryFolderProblem().find("can be changed by other users (mode 0777)"),
            std::string::npos)
      << RegistryFolderProblem();
  EXPECT_TRUE(SimulatorNames().empty());
  EXPECT_NE(MakeRegistryFolder(), "");  // nor does a simulator register there
  std::filesystem::permissions(PortDir(), std::filesystem::perms::owner_all);
  EXPECT_EQ(SimulatorNames(), std::vector<std::string>{"SIM1"});

  if (::geteuid() != 0) GTEST_SKIP() << "only root can give a folder to another user";
  ASSERT_EQ(::chown(PortDir().c_str(), 65534, 65534), 0);
  EXPECT_NE(RegistryFolderProblem().find("belongs to another user (uid 65534)"),
            std::string::npos)
      << RegistryFolderProblem();
  EXPECT_TRUE(SimulatorNames().empty());
  EXPECT_NE(MakeRegistryFolder(), "");
  ASSERT_EQ(::chown(PortDir().c_str(), 0, 0), 0);
  ASSERT_EQ(::chown((root_ / "va5vivi").c_str(), 65534, 65534), 0);  // the folder above
  EXPECT_TRUE(SimulatorNames().empty());
}
#endif  // _WIN32

struct Recorder : CObserver {
  std::vector<std::pair<int, CObservable*>>* log;
  int id;
  Recorder(std::vector<std::pair<int, CObservable*>>* l, int i) : log(l), id(i) {}
  void Update(CObservable* subject) override { log->push_back({id, subject}); }
};

TEST(Observable, NotifiesInAttachmentOrderWithTheSubject) {
  std::vector<std::pair<int, CObservable*>> log;
  Recorder a(&log, 1), b(&log, 2), c(&log, 3);
  CObservable subject, other;
  subject.Attach(&b);
  subject.Attach(&a);
  subject.Attach(&c);
  subject.Detach(&c);
  subject.Notify();
  subject.Notify(&other);
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0], std::make_pair(2, &subject));
  EXPECT_EQ(log[1], std::make_pair(1, &subject));
  EXPECT_EQ(log[2], std::make_pair(2, &other));
  EXPECT_EQ(log[3], std::make_pair(1, &other));
}

struct Work {
  std::mutex mutex;
  std::condition_variable cv;
  bool release = false;
  std::atomic<int> runs{0};
  void Run() {
    std::unique_lock lock(mutex);
    cv.wait(lock, [this] { return release; });
    ++runs;
  }
};

struct ThreadObserver : CObserver {
  std::atomic<int> updates{0};
  std::atomic<CObservable*> subject{nullptr};
  std::atomic<bool> sawRunning{false};
  CThreadFunctor* functor = nullptr;
  void Update(CObservable* s) override {
    subject = s;
    sawRunning = functor->IsRunning();  // still marked running while observers are told
    ++updates;
  }
};

TEST(ThreadFunctor, RunsTheBoundFunctionThenNotifiesItsObservers) {
  Work work;
  CThreadFunctor functor(work, &Work::Run);
  ThreadObserver observer;
  observer.functor = &functor;
  functor.Attach(&observer);
  EXPECT_FALSE(functor.IsRunning());
  functor.Start();
  EXPECT_TRUE(functor.IsRunning());
  EXPECT_EQ(observer.updates, 0);
  {
    std::lock_guard lock(work.mutex);
    work.release = true;
  }
  work.cv.notify_all();
  functor.Join();
  EXPECT_FALSE(functor.IsRunning());
  EXPECT_EQ(work.runs, 1);
  EXPECT_EQ(observer.updates, 1);
  EXPECT_EQ(observer.subject.load(), &functor);
  EXPECT_TRUE(observer.sawRunning);
  functor.Start();  // a second run on the same functor
  functor.Join();
  EXPECT_EQ(work.runs, 2);
  EXPECT_EQ(observer.updates, 2);
}

TEST(ThreadFunctor, EnumeratorRunsOnTheBackgroundThread) {
  std::atomic<int> calls{0};
  CCOMPortEnumerator enumerator([&calls] {
    ++calls;
    return std::vector<PortRecord>{{"/dev/b", "b", ""}, {"/dev/a", "a", ""}, {"/dev/a2", "a", ""}};
  });
  CThreadFunctor functor(enumerator, &CCOMPortEnumerator::Enumerate);
  functor.Start();
  functor.Join();
  EXPECT_EQ(calls, 1);
  const auto ports = enumerator.Ports();
  ASSERT_EQ(ports.size(), 2u);
  EXPECT_EQ(ports[0].openName, "/dev/a");
  EXPECT_EQ(ports[1].openName, "/dev/b");
}

}  // namespace
}  // namespace va5
