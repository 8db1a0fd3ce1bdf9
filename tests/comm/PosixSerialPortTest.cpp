#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "comm/HartLink.h"
#include "comm/PosixSerialPort.h"
#include "testing/LinkTestSupport.h"

namespace va5 {
namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

const Timing kTiming = Timing{}.Scaled(0.05);
const char* const kLine = ": baud=9600 parity=N data=8 stop=1";

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
  std::string Definition() const { return pty.SlavePath() + kLine; }

  Pty pty;
  PosixSerialPort port;
};

TEST_F(PosixSerialPortTest, CarriesBytesBothWays) {
  ASSERT_EQ(port.Open(Definition(), kTiming), ResultOk);
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
  ASSERT_EQ(port.Open(Definition(), kTiming), ResultOk);
  const long long cpu = testing::ThreadCpuMicros();
  const auto start = Clock::now();
  const ReadResult r = port.ReadByte(Millis(50));
  const auto took = std::chrono::duration_cast<Millis>(Clock::now() - start).count();
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.transferred, 0u);
  EXPECT_GE(took, 49);
  EXPECT_LT(took, 50 + 40);
  EXPECT_LT(testing::ThreadCpuMicros() - cpu, 5000);
}

TEST_F(PosixSerialPortTest, APseudoTerminalHasNoCarrier) {
  ASSERT_EQ(port.Open(Definition(), kTiming), ResultOk);
  EXPECT_TRUE(port.SetDtr(true));
  EXPECT_TRUE(port.SetRts(true));
  const ModemStatus status = port.GetModemStatus();
  EXPECT_TRUE(status.ok);
  EXPECT_FALSE(status.carrier);
  EXPECT_FALSE(port.HasModemLines());
}

TEST_F(PosixSerialPortTest, IsOpenedByOnePortAtATime) {
  ASSERT_EQ(port.Open(Definition(), kTiming), ResultOk);
  PosixSerialPort second;
  EXPECT_EQ(second.Open(Definition(), kTiming), ResultPortOpenFailed);
  EXPECT_FALSE(second.IsOpen());
  port.Close();
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(second.Open(Definition(), kTiming), ResultOk);
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
  ASSERT_EQ(port.Open(Definition(), kTiming), ResultOk);
  if (::geteuid() == 0) {
    EXPECT_EQ(exclusive(), 1);
  }
  port.Close();
  EXPECT_EQ(exclusive(), 0);
}
#endif

TEST_F(PosixSerialPortTest, BadDefinitionsAndDevicesFail) {
  EXPECT_EQ(port.Open(pty.SlavePath() + " baud=9600", kTiming), ResultBadPortDefinition);
  EXPECT_EQ(port.Open(pty.SlavePath() + ": baud=12345", kTiming), ResultPortOpenFailed);
  EXPECT_EQ(port.Open(pty.SlavePath() + ": parity=Q", kTiming), ResultPortOpenFailed);
  EXPECT_EQ(port.Open("/dev/va5vivi-no-such-port: baud=9600", kTiming), ResultPortOpenFailed);
  // Not a terminal.
  EXPECT_EQ(port.Open("/dev/null: baud=9600", kTiming), ResultPortOpenFailed);
  EXPECT_FALSE(port.IsOpen());
  // Other settings a terminal takes.
  EXPECT_EQ(port.Open(pty.SlavePath() + ": baud=1200 parity=M data=7 stop=2", kTiming), ResultOk);
}

TEST_F(PosixSerialPortTest, PurgeDropsWhatHasArrived) {
  ASSERT_EQ(port.Open(Definition(), kTiming), ResultOk);
  pty.Send({0x01, 0x02, 0x03});
  std::this_thread::sleep_for(Millis(20));
  EXPECT_TRUE(port.PurgeReceive());
  EXPECT_TRUE(port.PurgeTransmit());
  EXPECT_EQ(port.ReadByte(Millis(20)).transferred, 0u);
}

TEST_F(PosixSerialPortTest, AVanishedDeviceFailsTheRead) {
  ASSERT_EQ(port.Open(Definition(), kTiming), ResultOk);
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
    fs::create_directories(root_ / "va5vivi" / "ports");
    ::setenv("XDG_RUNTIME_DIR", root_.c_str(), 1);
  }
  void TearDown() override {
    if (saved_) {
      ::setenv("XDG_RUNTIME_DIR", saved_->c_str(), 1);
    } else {
      ::unsetenv("XDG_RUNTIME_DIR");
    }
    fs::remove_all(root_);
  }
  fs::path root_;
  std::optional<std::string> saved_;
};

TEST_F(PortRegistry, NamesResolveThroughTheRegistryThenDev) {
  Pty pty;
  ASSERT_TRUE(pty.Ok());
  const fs::path link = root_ / "va5vivi" / "ports" / "SIM7";
  fs::create_symlink(pty.SlavePath(), link);

  EXPECT_EQ(ResolvePortPath("SIM7"), link.string());
  EXPECT_EQ(ResolvePortPath("ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(ResolvePortPath("/dev/ttyS1"), "/dev/ttyS1");
  EXPECT_EQ(ResolvePortPath("../SIM7"), "/dev/../SIM7");

  PosixSerialPort port;
  ASSERT_EQ(port.Open(std::string("SIM7") + kLine, kTiming), ResultOk);
  pty.Send({0x5A});
  const ReadResult r = port.ReadByte(Millis(200));
  EXPECT_EQ(r.transferred, 1u);
  EXPECT_EQ(r.byte, 0x5A);

  // Without XDG_RUNTIME_DIR the registry is under /tmp, per user.
  ::unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(ResolvePortPath("SIM7"), "/dev/SIM7");
}

// The link over a real terminal: the test plays the device on the other end.
TEST_F(PosixSerialPortTest, LinkExchangesAFrame) {
  testing::TraceLines trace;
  HartLink link(port, kTiming, trace.Sink());
  ASSERT_EQ(link.OpenPort(Definition()), ResultOk);
  link.State().pollingAddress = 2;
  std::uint8_t frame[MaxRequestFrame];
  const std::size_t length = link.BuildRequestFrame(frame);
  ASSERT_EQ(link.SendFrame(frame, length), ResultOk);
  EXPECT_EQ(pty.Receive(length), std::vector<std::uint8_t>(frame, frame + length));

  pty.Send(testing::WithPreambles(5, testing::Reply(0x06, {0x02}, 0, {0x00, 0x00, 0xFE})));
  ASSERT_EQ(link.ReceiveFrame(), ResultOk);
  EXPECT_TRUE(link.ParseReply());
  EXPECT_EQ(link.State().data[2], 0xFE);
  link.ClosePort();
  EXPECT_FALSE(port.IsOpen());
}

}  // namespace
}  // namespace va5
