#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cerrno>
#include <climits>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "comm/HartLink.h"
#include "comm/PosixSerialPort.h"
#include "comm/SimulatorRegistry.h"
#include "testing/LinkTestSupport.h"

namespace va5 {
namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

const Timing kTiming = Timing{}.Scaled(0.05);

// The device end of a pseudo-terminal; the port under test opens the other end.
class Pty {
 public:
  Pty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    termios tio{};
    ::tcgetattr(master_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(master_, TCSANOW, &tio);
    slave_ = ::ptsname(master_);
  }
  ~Pty() { CloseMaster(); }
  bool Ok() const { return master_ >= 0 && !slave_.empty(); }
  const std::string& SlavePath() const { return slave_; }
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  void Send(const std::vector<std::uint8_t>& bytes) {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Whatever arrives within `wait`, stopping once `count` bytes came.
  std::vector<std::uint8_t> Receive(std::size_t count, Millis wait = Millis(500)) {
    std::vector<std::uint8_t> out;
    const auto deadline = Clock::now() + wait;
    while (out.size() < count && Clock::now() < deadline) {
      pollfd pfd{master_, POLLIN, 0};
      if (::poll(&pfd, 1, 10) <= 0) continue;
      std::uint8_t buffer[256];
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n <= 0) break;
      out.insert(out.end(), buffer, buffer + n);
    }
    return out;
  }

 private:
  int master_ = -1;
  std::string slave_;
};

class PosixSerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(pty.Ok()); }
  HartResult OpenPty(PosixSerialPort& p) { return p.Open(pty.SlavePath(), PortSettings{}, kTiming); }

  Pty pty;
  PosixSerialPort port;
};

TEST_F(PosixSerialPortTest, CarriesBytesBothWays) {
  ASSERT_EQ(OpenPty(port), ResultOk);
  ASSERT_TRUE(port.IsOpen());

  const std::vector<std::uint8_t> out{0xFF, 0x02, 0x80, 0x00, 0x00, 0x82, 0x0A, 0x0D, 0x11};
  EXPECT_EQ(port.Write(out.data(), out.size()), static_cast<long>(out.size()));
  // Raw line: no translation of CR/LF, no XON/XOFF swallowed.
  EXPECT_EQ(pty.Receive(out.size()), out);

  pty.Send({0x06, 0x00, 0x0D, 0x13, 0xFF});
  for (std::uint8_t expected : {0x06, 0x00, 0x0D, 0x13, 0xFF}) {
    const ReadResult r = port.ReadByte(Millis(200));
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.transferred, 1u);
    EXPECT_EQ(r.byte, expected);
  }
  EXPECT_EQ(port.ClearLineErrors(), 0u);
}

TEST_F(PosixSerialPortTest, ReadsTimeOutWithoutSpinning) {
  ASSERT_EQ(OpenPty(port), ResultOk);
  const long long cpu = test::ThreadCpuMicros();
  const auto start = Clock::now();
  const ReadResult r = port.ReadByte(Millis(50));
  const auto took = std::chrono::duration_cast<Millis>(Clock::now() - start).count();
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.transferred, 0u);
  EXPECT_GE(took, 49);
  EXPECT_LT(took, 50 + 40);
  EXPECT_LT(test::ThreadCpuMicros() - cpu, 5000);
}

TEST_F(PosixSerialPortTest, APseudoTerminalHasNoCarrier) {
  ASSERT_EQ(OpenPty(port), ResultOk);
  EXPECT_TRUE(port.SetDtr(true));
  EXPECT_TRUE(port.SetRts(true));
  const ModemStatus status = port.GetModemStatus();
  EXPECT_TRUE(status.ok);
  EXPECT_FALSE(status.carrier);
  EXPECT_FALSE(port.HasModemLines());
}

TEST_F(PosixSerialPortTest, IsOpenedByOnePortAtATime) {
  ASSERT_EQ(OpenPty(port), ResultOk);
  PosixSerialPort second;
  EXPECT_EQ(OpenPty(second), ResultPortOpenFailed);
  EXPECT_EQ(second.LastOpenError(), PortOpenError::Busy);
  EXPECT_FALSE(second.IsOpen());
  port.Close();
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(OpenPty(second), ResultOk);
  EXPECT_EQ(second.LastOpenError(), PortOpenError::None);
}

#ifdef TIOCGEXCL
// The exclusive mode is a property of the terminal and outlives a plain close; the next user
// (not root) would find the port busy until the device side hangs up.
TEST_F(PosixSerialPortTest, ClosingGivesUpTheExclusiveMode) {
  auto exclusive = [this]() {
    const int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return -1;  // busy: only root gets past the exclusive mode
    int on = -1;
    const int rc = ::ioctl(fd, TIOCGEXCL, &on);
    ::close(fd);
    return rc == 0 ? on : -1;
  };
  ASSERT_EQ(OpenPty(port), ResultOk);
  if (::geteuid() == 0) {
    EXPECT_EQ(exclusive(), 1);
  }
  port.Close();
  EXPECT_EQ(exclusive(), 0);
}
#endif

// A scratch folder for files and links the tests open.
class Scratch {
 public:
  Scratch() {
    char templ[] = "/tmp/va5vivi-port-test-XXXXXX";
    path_ = ::mkdtemp(templ);
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  fs::path operator/(const std::string& name) const { return path_ / name; }

 private:
  fs::path path_;
};

TEST_F(PosixSerialPortTest, OpenFailuresSayWhy) {
  Scratch scratch;
  const fs::path file = scratch / "plain-file";
  { std::ofstream(file) << "not a port"; }
  auto open = [&](const std::string& name, PortSettings settings = {}) {
    return port.Open(name, settings, kTiming);
  };

  EXPECT_EQ(open(""), ResultBadPortDefinition);
  EXPECT_EQ(open("/dev/va5vivi-no-such-port"), ResultPortOpenFailed);
  EXPECT_EQ(port.LastOpenError(), PortOpenError::NotFound);
  EXPECT_EQ(open("va5vivi-no-such-port"), ResultPortOpenFailed);  // under /dev
  EXPECT_EQ(port.LastOpenError(), PortOpenError::NotFound);
  for (const std::string& notAPort : {file.string(), std::string("/dev/null"),
                                      (scratch / "").string()}) {
    SCOPED_TRACE(notAPort);
    EXPECT_EQ(open(notAPort), ResultPortOpenFailed);
    EXPECT_EQ(port.LastOpenError(), PortOpenError::NotSerial);
  }
  // Longer than a path may be, or one part longer than a file name may be.
  EXPECT_EQ(open("/" + std::string(PATH_MAX, 'p')), ResultPortOpenFailed);
  EXPECT_EQ(port.LastOpenError(), PortOpenError::NameTooLong);
  EXPECT_EQ(open("/tmp/" + std::string(NAME_MAX + 1, 'p')), ResultPortOpenFailed);
  EXPECT_EQ(port.LastOpenError(), PortOpenError::NameTooLong);
  // A NUL would cut the path short and open the terminal in front of it.
  EXPECT_EQ(open(pty.SlavePath() + std::string(1, '\0') + "x"), ResultPortOpenFailed);
  EXPECT_FALSE(port.IsOpen());

  // A rate the terminal does not have: refused, and the terminal is not left exclusive.
  EXPECT_EQ(open(pty.SlavePath(), PortSettings{12345}), ResultPortOpenFailed);
  EXPECT_EQ(port.LastOpenError(), PortOpenError::BadSettings);
  EXPECT_FALSE(port.IsOpen());
  const int other = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  EXPECT_GE(other, 0) << "the failed open left the terminal exclusive";
#ifdef TIOCGEXCL
  int exclusive = -1;
  if (other >= 0) {
    EXPECT_EQ(::ioctl(other, TIOCGEXCL, &exclusive), 0);
  }
  EXPECT_EQ(exclusive, 0) << "the failed open left the terminal exclusive";
#endif
  if (other >= 0) ::close(other);

  // Other settings a terminal takes.
  EXPECT_EQ(open(pty.SlavePath(), PortSettings{1200, Parity::Mark, 7, StopBits::Two}), ResultOk);
  EXPECT_EQ(port.LastOpenError(), PortOpenError::None);
}

TEST(PosixSerialPortPermissions, APortThisUserMayNotOpenIsPermissionDenied) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may open anything";
  Scratch scratch;
  const fs::path locked = scratch / "locked";
  { std::ofstream(locked) << ""; }
  fs::permissions(locked, fs::perms::none);
  PosixSerialPort port;
  EXPECT_EQ(port.Open(locked.string(), PortSettings{}, kTiming), ResultPortOpenFailed);
  EXPECT_EQ(port.LastOpenError(), PortOpenError::PermissionDenied);
}

TEST(PortOpenErrorText, NamesThePortAndTheRemedy) {
  const std::string denied = PortOpenErrorText(PortOpenError::PermissionDenied, "/dev/ttyUSB0");
  EXPECT_NE(denied.find("/dev/ttyUSB0"), std::string::npos) << denied;
  EXPECT_NE(denied.find("dialout"), std::string::npos) << denied;
  EXPECT_NE(PortOpenErrorText(PortOpenError::Busy, "SIM1").find("another program"),
            std::string::npos);
  EXPECT_NE(PortOpenErrorText(PortOpenError::NotSerial, "/dev/null").find("not a serial port"),
            std::string::npos);
  // Every reason reads differently.
  std::set<std::string> texts;
  for (PortOpenError e : {PortOpenError::NotFound, PortOpenError::PermissionDenied,
                          PortOpenError::Busy, PortOpenError::NotSerial, PortOpenError::NameTooLong,
                          PortOpenError::BadSettings, PortOpenError::Other}) {
    texts.insert(PortOpenErrorText(e, "COM3"));
  }
  EXPECT_EQ(texts.size(), 7u);
  EXPECT_EQ(PortOpenErrorFromErrno(EACCES), PortOpenError::PermissionDenied);
  EXPECT_EQ(PortOpenErrorFromErrno(EPERM), PortOpenError::PermissionDenied);
  EXPECT_EQ(PortOpenErrorFromErrno(EBUSY), PortOpenError::Busy);
  EXPECT_EQ(PortOpenErrorFromErrno(EWOULDBLOCK), PortOpenError::Busy);
}

// USB adapters are best named by their place on the bus, and those names have colons.
TEST_F(PosixSerialPortTest, OpensAPathWithColons) {
  Scratch scratch;
  const fs::path byPath = scratch / "pci-0000:00:14.0-usb-0:1:1.0-port0";
  fs::create_symlink(pty.SlavePath(), byPath);
  HartLink link(port, kTiming, NullTraceSink());
  ASSERT_EQ(link.OpenPort(byPath.string()), ResultOk);
  EXPECT_EQ(link.LastOpenError(), PortOpenError::None);
  pty.Send({0x3C});
  const ReadResult r = port.ReadByte(Millis(200));
  EXPECT_EQ(r.transferred, 1u);
  EXPECT_EQ(r.byte, 0x3C);
}

TEST_F(PosixSerialPortTest, PurgeDropsWhatHasArrived) {
  ASSERT_EQ(OpenPty(port), ResultOk);
  pty.Send({0x01, 0x02, 0x03});
  std::this_thread::sleep_for(Millis(20));
  EXPECT_TRUE(port.PurgeReceive());
  EXPECT_TRUE(port.PurgeTransmit());
  EXPECT_EQ(port.ReadByte(Millis(20)).transferred, 0u);
}

TEST_F(PosixSerialPortTest, AVanishedDeviceFailsTheRead) {
  ASSERT_EQ(OpenPty(port), ResultOk);
  pty.CloseMaster();
  const auto start = Clock::now();
  EXPECT_FALSE(port.ReadByte(Millis(200)).ok);
  EXPECT_LT(Clock::now() - start, Millis(100));
}

// Simulators register their ports under the runtime directory.
class PortRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("XDG_RUNTIME_DIR")) saved_ = old;
    root_ = fs::temp_directory_path() / ("va5vivi-link-test-" + std::to_string(::getpid()));
    fs::create_directories(root_);
    ::setenv("XDG_RUNTIME_DIR", root_.c_str(), 1);
    ASSERT_EQ(MakeRegistryFolder(), "");
    ASSERT_TRUE(pty.Ok());
  }
  void TearDown() override {
    if (claim_ >= 0) ::close(claim_);
    if (saved_) {
      ::setenv("XDG_RUNTIME_DIR", saved_->c_str(), 1);
    } else {
      ::unsetenv("XDG_RUNTIME_DIR");
    }
    fs::remove_all(root_);
  }
  fs::path Ports() const { return root_ / "va5vivi" / "ports"; }
  // Registers SIM7 for the terminal, as a running simulator does.
  void RegisterSim7() {
    claim_ = ClaimRegistryName("SIM7");
    ASSERT_GE(claim_, 0);
    fs::create_symlink(pty.SlavePath(), Ports() / "SIM7");
  }

  Pty pty;
  fs::path root_;
  std::optional<std::string> saved_;
  int claim_ = -1;
};

TEST_F(PortRegistry, NamesResolveThroughTheRegistryThenDev) {
  RegisterSim7();
  EXPECT_EQ(ResolvePortName("SIM7"), pty.SlavePath());
  EXPECT_EQ(ResolvePortName("ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(ResolvePortName("/dev/ttyS1"), "/dev/ttyS1");
  EXPECT_EQ(ResolvePortName("../SIM7"), "../SIM7");  // a path, not a way out of the registry
  EXPECT_EQ(ResolvePortName(".SIM7.lock"), "/dev/.SIM7.lock");

  PosixSerialPort port;
  ASSERT_EQ(port.Open("SIM7", PortSettings{}, kTiming), ResultOk);
  pty.Send({0x5A});
  const ReadResult r = port.ReadByte(Millis(200));
  EXPECT_EQ(r.transferred, 1u);
  EXPECT_EQ(r.byte, 0x5A);

  // Without XDG_RUNTIME_DIR the registry is under /tmp, per user.
  ::unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(SimulatorRegistryFolder(), "/tmp/va5vivi-" + std::to_string(::getuid()) + "/ports");
  EXPECT_EQ(ResolvePortName("SIM7"), "/dev/SIM7");
}

// A simulator killed outright leaves its link behind; the terminal it names may since belong to
// another program.
TEST_F(PortRegistry, AnEntryWhoseSimulatorHasEndedLeadsNowhere) {
  RegisterSim7();
  ::close(claim_);  // the owner dies: its lock goes, its files stay
  claim_ = -1;
  ASSERT_TRUE(fs::is_symlink(Ports() / "SIM7"));
  EXPECT_EQ(ResolvePortName("SIM7"), "/dev/SIM7");
  PosixSerialPort port;
  EXPECT_EQ(port.Open("SIM7", PortSettings{}, kTiming), ResultPortOpenFailed);
  EXPECT_EQ(port.LastOpenError(), PortOpenError::NotFound);
}

TEST_F(PortRegistry, AFolderOthersCanChangeIsNotFollowed) {
  RegisterSim7();
  fs::permissions(Ports(), fs::perms::all);  // 0777: anyone could have put SIM7 there
  EXPECT_NE(RegistryFolderProblem().find("changed by other users"), std::string::npos)
      << RegistryFolderProblem();
  EXPECT_EQ(ResolvePortName("SIM7"), "/dev/SIM7");
  fs::permissions(Ports(), fs::perms::owner_all);
  EXPECT_EQ(ResolvePortName("SIM7"), pty.SlavePath());
  // The folder above ports counts as well, and so does a link put in the place of a folder.
  fs::permissions(root_ / "va5vivi", fs::perms::all);
  EXPECT_EQ(ResolvePortName("SIM7"), "/dev/SIM7");
  fs::permissions(root_ / "va5vivi", fs::perms::owner_all);
  fs::rename(Ports(), root_ / "elsewhere");
  fs::create_directory_symlink(root_ / "elsewhere", Ports());
  EXPECT_NE(RegistryFolderProblem().find("symbolic link"), std::string::npos);
  EXPECT_EQ(ResolvePortName("SIM7"), "/dev/SIM7");
}

// The link over a real terminal: the test plays the device on the other end.
TEST_F(PosixSerialPortTest, LinkExchangesAFrame) {
  test::TraceLines trace;
  HartLink link(port, kTiming, trace.Sink());
  ASSERT_EQ(link.OpenPort(pty.SlavePath()), ResultOk);
  link.State().pollingAddress = 2;
  std::uint8_t frame[MaxRequestFrame];
  const std::size_t length = link.BuildRequestFrame(frame);
  ASSERT_EQ(link.SendFrame(frame, length), ResultOk);
  EXPECT_EQ(pty.Receive(length), std::vector<std::uint8_t>(frame, frame + length));

  pty.Send(test::WithPreambles(5, test::Reply(0x06, {0x02}, 0, {0x00, 0x00, 0xFE})));
  ASSERT_EQ(link.ReceiveFrame(), ResultOk);
  EXPECT_TRUE(link.ParseReply());
  EXPECT_EQ(link.State().data[2], 0xFE);
  link.ClosePort();
  EXPECT_FALSE(port.IsOpen());
}

}  // namespace
}  // namespace va5
