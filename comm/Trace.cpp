#include "comm/Trace.h"

#include <string>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <cstdio>
#endif

namespace va5 {

TraceSink PlatformTraceSink() {
  return [](std::string_view line) {
#ifdef _WIN32
    // OutputDebugStringA wants a terminated string.
    const std::string text(line);
    OutputDebugStringA(text.c_str());
#else
    // One fwrite per line, so that lines of several threads do not interleave.
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
#endif
  };
}

TraceSink NullTraceSink() {
  return [](std::string_view) {};
}

}  // namespace va5
