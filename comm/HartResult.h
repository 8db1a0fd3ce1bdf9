#pragma once

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
inline constexpr HartResult ResultReplyRejected = 208;
inline constexpr HartResult ResultLinkFailed = 209;

}  // namespace va5
