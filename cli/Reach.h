#pragma once

#include <iostream>

#include "cli/ExitStatus.h"
#include "session/Connection.h"

namespace va5::cli {

// Reaches the device through the Connection the window uses too (its open, identification,
// search and recovery rules, with nobody to ask): prints why it failed and returns the exit
// status, or ExitOk with the connection's goal reached.
inline int ReachDevice(session::Connection& link) {
  const session::OperationOutcome& outcome = link.GetSession().Drive(link);
  if (!outcome.reason) return ExitOk;
  std::cerr << "va5vivi-cli: " << outcome.reason->text << "\n";
  return ExitStatusOf(*outcome.reason);
}

}  // namespace va5::cli
