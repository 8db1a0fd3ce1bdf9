#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "testing/LinkClient.h"
#include "sim/FaultOption.h"
#include "comm/SimulatorRegistry.h"
#include "sim/PortRegistry.h"
#include "sim/SimulatedTransmitter.h"

extern char** environ;

namespace va5::sim {
namespace {

namespace fs = std::filesystem;
using namespace va5::test;
using std::chrono::milliseconds;

// Points the registry at a fresh directory for the test's life.
class RuntimeDir {
 public:
  RuntimeDir() {
    char templ[] = "/tmp/va5vivi-sim-test-XXXXXX";
    path_ = mkdtemp(templ);
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    if (old) old_ = old;
    hadOld_ = old != nullptr;
    setenv("XDG_RUNTIME_DIR", path_.c_str(), 1);
  }
  ~RuntimeDir() {
    if (hadOld_) {
      setenv("XDG_RUNTIME_DIR", old_.c_str(), 1);
    } else {
      unsetenv("XDG_RUNTIME_DIR");
    }
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_, old_;
  bool hadOld_ = false;
};

TEST(PortRegistry, DirectoryFollowsTheRuntimeDirectory) {
  {
    RuntimeDir dir;
    EXPECT_EQ(SimulatorRegistryFolder(), dir.Path() + "/va5vivi/ports");
  }
  const char* old = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved = old ? old : "";
  unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(SimulatorRegistryFolder(), "/tmp/va5vivi-" + std::to_string(getuid()) + "/ports");
  // Empty or relative: no runtime directory.
  for (const char* ignored : {"", "run/user", "./here", "~/run"}) {
    setenv("XDG_RUNTIME_DIR", ignored, 1);
    EXPECT_EQ(SimulatorRegistryFolder(), "/tmp/va5vivi-" + std::to_string(getuid()) + "/ports")
        << ignored;
  }
  if (old) {
    setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
  } else {
    unsetenv("XDG_RUNTIME_DIR");
  }
}

TEST(PortRegistry, RegistersListsAndUnregisters) {
  RuntimeDir dir;
  EXPECT_TRUE(ListRegisteredPorts().empty());  // no directory yet
  const std::string target = dir.Path() + "/target";
  close(open(target.c_str(), O_CREAT | O_WRONLY, 0600));

  EXPECT_EQ(RegisterPort(target), "SIM1");
  EXPECT_EQ(RegisterPort(target), "SIM2");
  EXPECT_EQ(RegisterPort(target, "BENCH"), "BENCH");
  std::string problem;
  EXPECT_EQ(RegisterPort(target, "BENCH", &problem), "");  // taken by a live entry
  EXPECT_EQ(problem, "port BENCH is registered by a running simulator");
  EXPECT_EQ(RegisterPort(target, "../escape"), "");
  for (int i = 3; i <= 10; ++i) RegisterPort(target);
  // A link whose terminal has gone is not listed.
  const std::string ports = SimulatorRegistryFolder();
  ASSERT_EQ(unlink((ports + "/SIM3").c_str()), 0);
  ASSERT_EQ(symlink((dir.Path() + "/gone").c_str(), (ports + "/SIM3").c_str()), 0);
  // Nor is what a simulator killed outright leaves: its link and a lock file nobody holds.
  ASSERT_EQ(symlink(target.c_str(), (ports + "/SIM11").c_str()), 0);
  close(open((ports + "/.SIM11.lock").c_str(), O_CREAT | O_WRONLY, 0600));
  auto list = ListRegisteredPorts();
  ASSERT_EQ(list.size(), 10u);
  EXPECT_EQ(list[0].first, "BENCH");
  EXPECT_EQ(list[1].first, "SIM1");
  EXPECT_EQ(list[2].first, "SIM2");
  EXPECT_EQ(list[3].first, "SIM4");
  EXPECT_EQ(list.back().first, "SIM10");  // numbers by value
  EXPECT_EQ(list[1].second, target);
  // The dead simulator's name is taken over; SIM3 is still this process's.
  EXPECT_EQ(RegisterPort(target), "SIM11");
  EXPECT_EQ(ListRegisteredPorts().size(), 11u);

  EXPECT_FALSE(UnregisterPort("SIM1", "/dev/other"));  // not ours
  EXPECT_TRUE(UnregisterPort("SIM1", target));
  EXPECT_FALSE(UnregisterPort("SIM1", target));
  EXPECT_FALSE(fs::exists(fs::symlink_status(ports + "/.SIM1.lock")));
  EXPECT_EQ(RegisterPort(target), "SIM1");
  EXPECT_EQ(ListRegisteredPorts().size(), 11u);

  // Leave nothing claimed in this process for the tests that follow.
  for (const char* name : {"BENCH", "SIM1", "SIM2", "SIM3", "SIM4", "SIM5", "SIM6", "SIM7", "SIM8",
                           "SIM9", "SIM10", "SIM11"}) {
    EXPECT_TRUE(UnregisterPort(name, target)) << name;
  }
  EXPECT_TRUE(ListRegisteredPorts().empty());
}

TEST(FaultOption, ParsesEveryFaultAndRefusesTheRest) {
  using K = Fault::Kind;
  struct Case {
    const char* text;
    K kind;
    int count, command, value;
  } cases[] = {
      {"silence", K::Silence, -1, -1, 0},
      {"silence:3", K::Silence, 3, -1, 0},
      {"noise", K::Noise, -1, -1, 0},
      {"noise-only:2", K::Noise, 2, -1, 1},
      {"bad-checksum", K::BadChecksum, -1, -1, 0},
      {"rc:34:7", K::ResponseCode, -1, 34, 7},
      {"comm-error:0x22", K::CommError, -1, -1, 0x22},
      {"slow:600", K::Slow, -1, -1, 600},
      {"gap:30", K::Gap, -1, -1, 30},
      {"preambles", K::Preambles20, -1, -1, 20},
      {"preambles:20", K::Preambles20, -1, -1, 20},
      {"vanish-after:5", K::VanishAfterPointWrites, -1, -1, 5},
      {"nan-pv", K::NanPv, -1, -1, 0},
      {"sensor-break", K::SensorBreak, -1, -1, 0},
  };
  for (const Case& c : cases) {
    const auto f = ParseFault(c.text);
    ASSERT_TRUE(f) << c.text;
    EXPECT_EQ(f->kind, c.kind) << c.text;
    EXPECT_EQ(f->count, c.count) << c.text;
    EXPECT_EQ(f->command, c.command) << c.text;
    EXPECT_EQ(f->value, c.value) << c.text;
  }
  // A leading zero is decimal, never octal.
  EXPECT_EQ(ParseFault("slow:010")->value, 10);
  EXPECT_EQ(ParseFault("rc:010:08")->command, 10);
  EXPECT_EQ(ParseFault("rc:010:08")->value, 8);
  // Every refusal says why: an unknown fault, or which number is wrong.
  struct Bad {
    const char* text;
    const char* problem;
  } bad[] = {
      {"", "unknown fault ''"},
      {"loud", "unknown fault 'loud'"},
      {"silence:", "silence needs a request count from 1 to 1000000, not ''"},
      {"silence:0", "silence needs a request count from 1 to 1000000, not '0'"},
      {"silence:-1", "silence needs a request count from 1 to 1000000, not '-1'"},
      {"silence:x", "silence needs a request count from 1 to 1000000, not 'x'"},
      {"noise:2:3", "noise takes one request count at most"},
      {"sensor-break:2", "sensor-break takes no number"},
      {"rc:34", "the fault is written rc:CMD:CODE"},
      {"rc:256:7", "rc needs a command from 0 to 255, not '256'"},
      {"rc:34:0", "rc needs a response code from 1 to 255, not '0'"},
      {"comm-error", "the fault is written comm-error:BITS"},
      {"comm-error:0x80", "comm-error needs error bits from 1 to 127, not '0x80'"},
      {"slow", "the fault is written slow:MS"},
      {"slow:1e3", "slow needs milliseconds from 0 to 60000, not '1e3'"},
      {"slow:60001", "slow needs milliseconds from 0 to 60000, not '60001'"},
      {"slow: 5", "slow needs milliseconds from 0 to 60000, not ' 5'"},
      {"gap:0x", "gap needs milliseconds from 0 to 60000, not '0x'"},
      {"preambles:1", "preambles needs a preamble count from 2 to 255, not '1'"},
      {"vanish-after", "the fault is written vanish-after:N"},
  };
  for (const Bad& b : bad) {
    std::string problem;
    EXPECT_FALSE(ParseFault(b.text, &problem)) << b.text;
    EXPECT_EQ(problem, b.problem) << b.text;
  }
}

// ---- the executable ---------------------------------------------------------------------------

class SimProcess {
 public:
  // With `withErrors`, standard error goes to the same pipe as standard output.
  explicit SimProcess(const std::vector<std::string>& args, bool withErrors = false) {
    int out[2];
    EXPECT_EQ(pipe2(out, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    if (withErrors) posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    std::vector<std::string> all = {VA5VIVI_SIM_EXECUTABLE};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    spawned_ = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    out_ = out[0];
  }
  ~SimProcess() {
    if (pid_ > 0 && !reaped_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    close(out_);
  }

  // The first line of standard output, or "" when none comes within the time.
  std::string FirstLine(milliseconds within = milliseconds(5000)) {
    std::string line;
    const auto end = std::chrono::steady_clock::now() + within;
    while (std::chrono::steady_clock::now() < end) {
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      char c;
      if (read(out_, &c, 1) != 1) break;
      if (c == '\n') return line;
      line += c;
    }
    return {};
  }

  int Signal(int sig) {
    kill(pid_, sig);
    return Wait();
  }
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    reaped_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  bool Spawned() const { return spawned_; }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  bool spawned_ = false;
  bool reaped_ = false;
};

TEST(SimExecutable, PrintsRegistersAnswersAndCleansUp) {
  RuntimeDir dir;
  SimProcess sim({});
  ASSERT_TRUE(sim.Spawned());
  const std::string path = sim.FirstLine();
  ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
  const auto ports = ListRegisteredPorts();
  ASSERT_EQ(ports.size(), 1u);
  EXPECT_EQ(ports[0].first, "SIM1");
  EXPECT_EQ(ports[0].second, path);

  LinkClient client;
  ASSERT_EQ(client.Open(path), ResultOk);
  ASSERT_EQ(client.Run(0), ResultOk);
  EXPECT_EQ(client.Record().modelName, "TQ5R");
  EXPECT_EQ(client.Record().deviceIdText, "293");
  client.Close();

  EXPECT_EQ(sim.Signal(SIGTERM), 0);
  EXPECT_TRUE(ListRegisteredPorts().empty());
  EXPECT_FALSE(fs::exists(fs::symlink_status(SimulatorRegistryFolder() + "/SIM1")));
  EXPECT_FALSE(fs::exists(fs::symlink_status(SimulatorRegistryFolder() + "/.SIM1.lock")));
}

TEST(SimExecutable, OptionsAndASecondInstance) {
  RuntimeDir dir;
  SimProcess first({"--address", "2", "--device-id=0x10", "--name", "BENCH", "--fault", "rc:3:16"});
  const std::string path = first.FirstLine();
  ASSERT_FALSE(path.empty());
  SimProcess second({});
  ASSERT_FALSE(second.FirstLine().empty());
  const auto ports = ListRegisteredPorts();
  ASSERT_EQ(ports.size(), 2u);
  EXPECT_EQ(ports[0].first, "BENCH");
  EXPECT_EQ(ports[0].second, path);
  EXPECT_EQ(ports[1].first, "SIM1");

  LinkClient client;
  ASSERT_EQ(client.Open(path), ResultOk);
  EXPECT_EQ(client.Run(0), ResultLinkFailed);  // address 0 is not it
  client.Record().pollingAddress = 2;
  ASSERT_EQ(client.Run(0), ResultOk);
  EXPECT_EQ(client.Record().deviceIdText, "16");
  EXPECT_EQ(client.Run(3), ResultReplyRejected);
  EXPECT_EQ(client.State().responseCode, 16);

  EXPECT_EQ(second.Signal(SIGINT), 0);
  EXPECT_EQ(first.Signal(SIGTERM), 0);
  EXPECT_TRUE(ListRegisteredPorts().empty());
}

// A simulator killed outright cannot remove its entry; the next one of that name takes it over,
// and the dead one's entry is never listed.
TEST(SimExecutable, ASimulatorKilledOutrightIsReplaced) {
  RuntimeDir dir;
  std::string firstPath;
  {
    SimProcess first({"--name", "A"});
    firstPath = first.FirstLine();
    ASSERT_FALSE(firstPath.empty());
    ASSERT_EQ(ListRegisteredPorts().size(), 1u);
    EXPECT_EQ(first.Signal(SIGKILL), 128 + SIGKILL);
  }
  EXPECT_TRUE(fs::is_symlink(SimulatorRegistryFolder() + "/A"));  // left behind
  EXPECT_TRUE(ListRegisteredPorts().empty());
  EXPECT_EQ(ResolvePortName("A"), "/dev/A");

  SimProcess second({"--name", "A"}, true);
  const std::string path = second.FirstLine();
  ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
  const auto ports = ListRegisteredPorts();
  ASSERT_EQ(ports.size(), 1u);
  EXPECT_EQ(ports[0].first, "A");
  EXPECT_EQ(ports[0].second, path);
  LinkClient client;
  ASSERT_EQ(client.Open("A"), ResultOk);
  EXPECT_EQ(client.Run(0), ResultOk);
  client.Close();

  // While it runs, the name is its own.
  SimProcess third({"--name", "A"}, true);
  EXPECT_EQ(third.FirstLine(),
            "va5vivi-sim: cannot register the port: port A is registered by a running simulator");
  EXPECT_EQ(third.Wait(), 1);
  EXPECT_EQ(second.Signal(SIGTERM), 0);
}

TEST(SimExecutable, RefusesARegistryFolderOthersCanChange) {
  RuntimeDir dir;
  const std::string ports = dir.Path() + "/va5vivi/ports";
  fs::create_directories(ports);
  fs::permissions(ports, fs::perms::all);
  SimProcess sim({}, true);
  EXPECT_EQ(sim.FirstLine(), "va5vivi-sim: cannot register the port: " + ports +
                                 " can be changed by other users (mode 0777)");
  EXPECT_EQ(sim.Wait(), 1);
  EXPECT_TRUE(fs::is_empty(ports));
}

TEST(SimExecutable, BadArgumentsExitWithUsage) {
  struct Case {
    std::vector<std::string> args;
    const char* firstLine;
  } cases[] = {
      {{"--address", "16"}, "va5vivi-sim: --address needs a polling address from 0 to 15"},
      {{"--address", "016"}, "va5vivi-sim: --address needs a polling address from 0 to 15"},
      {{"--device-id", "0x1000000"},
       "va5vivi-sim: --device-id needs a number from 0 to 16777215 (0xFFFFFF)"},
      {{"--fault", "loud"}, "va5vivi-sim: unknown fault 'loud'"},
      {{"--fault", "slow:70000"},
       "va5vivi-sim: slow needs milliseconds from 0 to 60000, not '70000'"},
      {{"--fault"}, "va5vivi-sim: --fault needs a fault"},
      {{"--name", "a/b"},
       "va5vivi-sim: --name needs a port name of letters, digits, '-', '_' and '.'"},
      {{"--frobnicate"}, "va5vivi-sim: unknown argument '--frobnicate'"},
      {{"--realtime=yes"}, "va5vivi-sim: unknown argument '--realtime=yes'"},
  };
  for (const Case& c : cases) {
    SimProcess sim(c.args, true);
    ASSERT_TRUE(sim.Spawned());
    EXPECT_EQ(sim.FirstLine(), c.firstLine);
    EXPECT_EQ(sim.Wait(), 3) << c.args[0];
  }
}

// "010" is ten, as the configurator reads a polling address, not octal eight.
TEST(SimExecutable, ALeadingZeroIsDecimal) {
  RuntimeDir dir;
  SimProcess sim({"--address", "010", "--device-id", "0100"});
  const std::string path = sim.FirstLine();
  ASSERT_FALSE(path.empty());
  LinkClient client;
  ASSERT_EQ(client.Open(path), ResultOk);
  client.Record().pollingAddress = 10;
  ASSERT_EQ(client.Run(0), ResultOk);
  EXPECT_EQ(client.Record().deviceIdText, "100");
  EXPECT_EQ(sim.Signal(SIGTERM), 0);
}

// A pseudo-terminal keeps a client's exclusive mode after the client closes; the simulator
// clears it so that an ordinary user can reopen the port.
TEST(SimExecutable, PortCanBeReopenedAfterAnExclusiveClientClosed) {
  SimulatedTransmitter sim;
  ASSERT_TRUE(sim.Start());
  {
    LinkClient client;
    ASSERT_EQ(client.Open(sim.SlavePath()), ResultOk);
    ASSERT_EQ(client.Run(0), ResultOk);
  }
  std::this_thread::sleep_for(milliseconds(400));  // one idle period of the device
  if (geteuid() != 0) {
    LinkClient again;
    ASSERT_EQ(again.Open(sim.SlavePath()), ResultOk);
    EXPECT_EQ(again.Run(0), ResultOk);
    return;
  }
  // Root may always open: try as an unprivileged user in a child.
  ASSERT_EQ(chmod(sim.SlavePath().c_str(), 0666), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(100);
    const int fd = open(sim.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    _exit(fd >= 0 ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace va5::sim
