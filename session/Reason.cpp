#include "session/Reason.h"

namespace va5::session {

ReasonClass ClassOf(ReasonKind kind) {
  switch (kind) {
    case ReasonKind::ModelNotConfigurable:
    case ReasonKind::TableNotDefined:
    case ReasonKind::CurveNotDefined:
    case ReasonKind::DeviceRefused:
      return ReasonClass::Refused;
    case ReasonKind::LinkFailed:
      return ReasonClass::Link;
    default:
      return ReasonClass::Entry;
  }
}

Reason ExchangeFailed(HartResult result, const std::string& what) {
  if (result == ResultReplyRejected) {
    return {ReasonKind::DeviceRefused, what + ": the device refused the request", {what}};
  }
  return {ReasonKind::LinkFailed, what + ": no answer from the device", {what}};
}

}  // namespace va5::session
