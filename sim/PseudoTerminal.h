#pragma once

#include <string>

namespace va5::sim {

// A pseudo-terminal pair in raw mode. The device answers on the master side; the slave path is
// what a serial port client opens. The slave stays open here as well, so that the pair
// survives a client closing and reopening its port (no hang-up in between).
class PseudoTerminal {
 public:
  PseudoTerminal() = default;
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  // Opens the pair; false (with errno set) when the system has no pseudo-terminal to give.
  bool Open();
  void Close();
  bool IsOpen() const { return master_ >= 0; }

  int MasterFd() const { return master_; }  // non-blocking

  // Drops the exclusive mode a client set on the slave. A pseudo-terminal keeps that flag
  // after the client closes (the pair lives on), which would refuse the client's reopen;
  // clients that need exclusive use lock the port as well.
  void AllowReopen() const;
  const std::string& SlavePath() const { return slavePath_; }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
};

}  // namespace va5::sim
