#pragma once

#include <functional>
#include <string_view>

namespace va5 {

// Receives the link's trace lines ("TX: ...", "RX: ...", "Timeout: ...", each ending in "\n").
using TraceSink = std::function<void(std::string_view line)>;

// The platform debug output: standard error on POSIX, OutputDebugString on Windows.
TraceSink PlatformTraceSink();
// Discards every line.
TraceSink NullTraceSink();

}  // namespace va5
