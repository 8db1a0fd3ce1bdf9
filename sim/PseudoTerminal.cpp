#include "sim/PseudoTerminal.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace va5::sim {

PseudoTerminal::~PseudoTerminal() { Close(); }

bool PseudoTerminal::Open() {
  Close();
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) return false;
  char name[128];
  if (grantpt(master_) != 0 || unlockpt(master_) != 0 ||
      ptsname_r(master_, name, sizeof name) != 0) {
    const int e = errno;
    Close();
    errno = e;
    return false;
  }
  slave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) {
    const int e = errno;
    Close();
    errno = e;
    return false;
  }
  // Raw bytes in both directions: no echo, no line editing, no CR/LF translation.
  termios t{};
  if (tcgetattr(slave_, &t) == 0) {
    cfmakeraw(&t);
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    tcsetattr(slave_, TCSANOW, &t);
  }
  const int flags = fcntl(master_, F_GETFL);
  fcntl(master_, F_SETFL, flags | O_NONBLOCK);
  slavePath_ = name;
  return true;
}

void PseudoTerminal::AllowReopen() const {
  if (slave_ >= 0) ioctl(slave_, TIOCNXCL);
}

void PseudoTerminal::Close() {
  if (slave_ >= 0) close(slave_);
  if (master_ >= 0) close(master_);
  slave_ = master_ = -1;
  slavePath_.clear();
}

}  // namespace va5::sim
