#pragma once

#include "comm/HartResult.h"
#include "session/Reason.h"

namespace va5::cli {

// Exit status of the tool.
inline constexpr int ExitOk = 0;
inline constexpr int ExitRefused = 1;     // the device refused (208), or cannot take the setting
inline constexpr int ExitLinkFailed = 2;  // no answer, no device, or the output was not written
inline constexpr int ExitUsage = 3;       // bad usage or input

inline int ExitStatusOf(HartResult result) {
  switch (result) {
    case ResultOk:
      return ExitOk;
    case ResultReplyRejected:
      return ExitRefused;
    default:
      return ExitLinkFailed;
  }
}

inline int ExitStatusOf(const session::Reason& reason) {
  switch (reason.Class()) {
    case session::ReasonClass::Entry:
      return ExitUsage;
    case session::ReasonClass::Refused:
      return ExitRefused;
    case session::ReasonClass::Link:
      break;
  }
  return ExitLinkFailed;
}

}  // namespace va5::cli
