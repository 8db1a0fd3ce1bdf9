#pragma once

#include <cstdint>

namespace va5 {

// Results of the link and the worker. The same numbers travel in the worker's messages,
// so they are plain integers, not an enum class.
using HartResult = int;

inline constexpr HartResult ResultOk = 200;
inline constexpr HartResult ResultPortOpenFailed = 201;
inline constexpr HartResult ResultBadPortDefinition = 202;
inline constexpr HartResult ResultEventCreateFailed = 203;
inline constexpr HartResult ResultThreadStartFailed = 204;
inline constexpr HartResult ResultNoWorker = 205;
// A request was submitted while an earlier one had not completed; the earlier one goes on.
inline constexpr HartResult ResultBusy = 206;
inline constexpr HartResult ResultReplyRejected = 208;
inline constexpr HartResult ResultLinkFailed = 209;

// Why the last exchange on the link failed; a 209 alone cannot tell a silent device from a busy
// line. None after a reply was received (whatever its response code says).
enum class LinkFailure : std::uint8_t {
  None,
  NoReply,       // nothing (or only frames that answer other requests) within the time limit
  BadReply,      // a frame began but was garbled, cut short or too short for its command
  CarrierStuck,  // carrier detect stayed on through the whole carrier wait
  PortFailed,    // the port's modem status could not be read
  WriteFailed,   // the request could not be built or written whole
  Stopped,       // the exchange was given up because the worker stops
};

}  // namespace va5
