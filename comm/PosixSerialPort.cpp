#include "comm/PosixSerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#ifdef __linux__
#include <linux/serial.h>
#endif

#include <cerrno>
#include <climits>
#include <chrono>
#include <thread>

#include "comm/SimulatorRegistry.h"

namespace va5 {
namespace {

bool NoModemLines(int error) { return error == ENOTTY || error == EINVAL; }

bool SpeedFor(long baud, speed_t& speed) {
  struct Rate {
    long baud;
    speed_t speed;
  };
  static constexpr Rate kRates[] = {
      {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
      {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
      {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
      {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
  };
  for (const Rate& r : kRates) {
    if (r.baud == baud) {
      speed = r.speed;
      return true;
    }
  }
  return false;
}

// Sets the line up; false with errno set when the device refuses (ENOTTY: not a terminal).
bool Configure(int fd, const PortSettings& def) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) return false;
  ::cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS);
  switch (def.dataBits) {
    case 5:
      tio.c_cflag |= CS5;
      break;
    case 6:
      tio.c_cflag |= CS6;
      break;
    case 7:
      tio.c_cflag |= CS7;
      break;
    default:
      tio.c_cflag |= CS8;
      break;
  }
  // 1.5 stop bits: the UART sends 1.5 with CSTOPB when it has 5 data bits.
  if (def.stopBits != StopBits::One) tio.c_cflag |= CSTOPB;
  switch (def.parity) {
    case Parity::None:
      break;
    case Parity::Even:
      tio.c_cflag |= PARENB;
      break;
    case Parity::Odd:
      tio.c_cflag |= PARENB | PARODD;
      break;
    case Parity::Mark:
      tio.c_cflag |= PARENB | CMSPAR | PARODD;
      break;
    case Parity::Space:
      tio.c_cflag |= PARENB | CMSPAR;
      break;
  }
  // A byte with a parity error reads as 0 and shows in the error counters.
  if (def.parity != Parity::None) tio.c_iflag |= INPCK;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  speed_t speed{};
  if (!SpeedFor(def.baud, speed)) {
    errno = EINVAL;
    return false;
  }
  if (::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0) return false;
  return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

}  // namespace

PortOpenError PortOpenErrorFromErrno(int error) {
  switch (error) {
    case 0:
      return PortOpenError::None;
    case ENOENT:
    case ENOTDIR:
    case ENXIO:
    case ENODEV:
      return PortOpenError::NotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return PortOpenError::PermissionDenied;
    case EBUSY:
    case EWOULDBLOCK:
      return PortOpenError::Busy;
    case ENOTTY:
    case EISDIR:
      return PortOpenError::NotSerial;
    case ENAMETOOLONG:
      return PortOpenError::NameTooLong;
    default:
      return PortOpenError::Other;
  }
}

PosixSerialPort::~PosixSerialPort() { Close(); }

HartResult PosixSerialPort::Open(const std::string& portName, const PortSettings& settings,
                                 const Timing& timing) {
  if (portName.empty()) {
    lastError_ = PortOpenError::NotFound;
    return ResultBadPortDefinition;
  }
  Close();
  lastError_ = PortOpenError::None;
  auto refuse = [this](PortOpenError why) {
    lastError_ = why;
    return ResultPortOpenFailed;
  };
  // A C path ends at the first NUL: such a name would open some other device.
  if (portName.find('\0') != std::string::npos) return refuse(PortOpenError::NotFound);
  const std::string path = ResolvePortName(portName);
  if (path.size() >= PATH_MAX) return refuse(PortOpenError::NameTooLong);

  // Non-blocking only for the open itself (a modem line must not hold it up).
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return refuse(PortOpenErrorFromErrno(errno));
  bool exclusive = false;
  auto fail = [fd, &exclusive, &refuse](PortOpenError why) {
    // The exclusive mode would outlive the close and lock out the next user.
    if (exclusive) ::ioctl(fd, TIOCNXCL);
    ::close(fd);
    return refuse(why);
  };
  struct stat st {};
  if (::fstat(fd, &st) != 0) return fail(PortOpenErrorFromErrno(errno));
  if (!S_ISCHR(st.st_mode)) return fail(PortOpenError::NotSerial);
  // Nobody else may use the port while it is open: TIOCEXCL keeps other opens out (root
  // excepted), the lock keeps out every process that locks as well.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return fail(PortOpenErrorFromErrno(errno));
  // Asked before claiming the terminal: a device that is no terminal at all (/dev/null) says
  // so here, rather than as a failed claim.
  termios probe{};
  if (::tcgetattr(fd, &probe) != 0) return fail(PortOpenErrorFromErrno(errno));
  if (::ioctl(fd, TIOCEXCL) != 0) return fail(PortOpenErrorFromErrno(errno));
  exclusive = true;
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    return fail(PortOpenError::Other);
  }
  if (!Configure(fd, settings)) {
    const int error = errno;
    return fail(error == ENOTTY ? PortOpenError::NotSerial : PortOpenError::BadSettings);
  }
  ::tcflush(fd, TCIOFLUSH);

  fd_ = fd;
  hasModemLines_ = true;
  hasCounters_ = true;
  if (!SetDtr(true) || !SetRts(false)) {
    Close();
    return refuse(PortOpenError::Other);
  }
  ClearLineErrors();  // the counters start from here
  std::this_thread::sleep_for(timing.openSettle);
  return ResultOk;
}

void PosixSerialPort::Close() {
  if (fd_ < 0) return;
  // The exclusive flag belongs to the terminal, not to this descriptor: it would outlive the
  // close (a pty whose other side stays open keeps it) and lock out the next user.
  ::ioctl(fd_, TIOCNXCL);
  ::close(fd_);  // also drops the lock, and DTR with HUPCL
  fd_ = -1;
}

bool PosixSerialPort::SetModemLine(int line, bool on) {
  if (fd_ < 0) return false;
  if (!hasModemLines_) return true;
  if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) == 0) return true;
  if (NoModemLines(errno)) {
    hasModemLines_ = false;
    return true;
  }
  return false;
}

bool PosixSerialPort::SetDtr(bool on) { return SetModemLine(TIOCM_DTR, on); }

bool PosixSerialPort::SetRts(bool on) { return SetModemLine(TIOCM_RTS, on); }

ModemStatus PosixSerialPort::GetModemStatus() {
  if (fd_ < 0) return ModemStatus{false, false};
  if (!hasModemLines_) return ModemStatus{true, false};
  int lines = 0;
  if (::ioctl(fd_, TIOCMGET, &lines) == 0) return ModemStatus{true, (lines & TIOCM_CAR) != 0};
  if (NoModemLines(errno)) {
    hasModemLines_ = false;
    return ModemStatus{true, false};
  }
  return ModemStatus{false, false};
}

ReadResult PosixSerialPort::ReadByte(Millis timeout) {
  if (fd_ < 0) return ReadResult{false, 0, 0};
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + timeout;
  while (true) {
    const auto left = std::chrono::ceil<Millis>(deadline - Clock::now());
    pollfd pfd{fd_, POLLIN, 0};
    const int ready = ::poll(&pfd, 1, static_cast<int>(std::max<long long>(0, left.count())));
    if (ready < 0) {
      if (errno == EINTR) continue;
      return ReadResult{false, 0, 0};
    }
    if (ready == 0) return ReadResult{true, 0, 0};
    std::uint8_t byte = 0;
    const ssize_t n = ::read(fd_, &byte, 1);
    if (n == 1) return ReadResult{true, 1, byte};
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
      if (Clock::now() >= deadline) return ReadResult{true, 0, 0};
      continue;
    }
    // Hang-up or error (the device went away): the read failed.
    return ReadResult{false, 0, 0};
  }
}

long PosixSerialPort::Write(const std::uint8_t* data, std::size_t length) {
  if (fd_ < 0) return -1;
  if (!SetRts(true)) return -1;
  std::size_t done = 0;
  bool failed = false;
  // A frame is a few dozen bytes; a second is far more than the line needs for it.
  constexpr int kWriteWaitMs = 1000;
  while (done < length) {
    pollfd pfd{fd_, POLLOUT, 0};
    const int ready = ::poll(&pfd, 1, kWriteWaitMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0 || (pfd.revents & (POLLERR | POLLHUP | POLLNVAL))) {
      failed = ready < 0 || (pfd.revents & (POLLERR | POLLNVAL));
      break;
    }
    const ssize_t n = ::write(fd_, data + done, length - done);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      failed = true;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  if (done > 0) ::tcdrain(fd_);
  SetRts(false);
  if (failed && done == 0) return -1;
  return static_cast<long>(done);
}

bool PosixSerialPort::PurgeReceive() { return fd_ >= 0 && ::tcflush(fd_, TCIFLUSH) == 0; }

bool PosixSerialPort::PurgeTransmit() { return fd_ >= 0 && ::tcflush(fd_, TCOFLUSH) == 0; }

std::uint32_t PosixSerialPort::ClearLineErrors() {
  if (fd_ < 0 || !hasCounters_) return 0;
#ifdef TIOCGICOUNT
  serial_icounter_struct icount{};
  if (::ioctl(fd_, TIOCGICOUNT, &icount) != 0) {
    hasCounters_ = false;  // a device without error counters (a pseudo-terminal)
    return 0;
  }
  const int now[5] = {icount.frame, icount.parity, icount.overrun, icount.buf_overrun, icount.brk};
  constexpr std::uint32_t kBits[5] = {LineErrorFraming, LineErrorParity, LineErrorOverrun,
                                      LineErrorRxOver, LineErrorBreak};
  std::uint32_t mask = 0;
  for (int i = 0; i < 5; ++i) {
    if (now[i] != counters_[i]) mask |= kBits[i];
    counters_[i] = now[i];
  }
  return mask;
#else
  hasCounters_ = false;
  return 0;
#endif
}

}  // namespace va5
