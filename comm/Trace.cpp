#include "comm/Trace.h"

#include <cstdio>
#include <string>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace va5 {

namespace {

void AppendBytes(std::string& line, const std::vector<std::uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  line.reserve(line.size() + bytes.size() * 3 + 24);
  for (const std::uint8_t b : bytes) {
    line += kDigits[b >> 4];
    line += kDigits[b & 0x0F];
    line += ',';
  }
}

}  // namespace

std::string_view SkipReasonText(SkipReason reason) {
  switch (reason) {
    case SkipReason::OtherAddress:
      return "other address";
    case SkipReason::OtherCommand:
      return "other command";
    case SkipReason::OtherSelector:
      return "other selector";
  }
  return "other address";
}

std::string FormatTraceLine(const TraceEvent& event) {
  std::string line;
  switch (event.kind) {
    case TraceKind::Sent:
      line = "TX: ";
      AppendBytes(line, event.bytes);
      break;
    case TraceKind::Received:
      line = "RX: ";
      AppendBytes(line, event.bytes);
      if (event.commError) line += TraceCommErrorNote;
      break;
    case TraceKind::ReceiveFailed:
      line = "RX: ";
      AppendBytes(line, event.bytes);
      line += "Error";
      break;
    case TraceKind::Skipped:
      line = "RX: skipped: ";
      AppendBytes(line, event.bytes);
      line += SkipReasonText(event.skipped);
      break;
    case TraceKind::SendTimeout:
      line = "TX: Timeout";
      break;
    case TraceKind::ReceiveTimeout:
      line = "Timeout: " + std::to_string(event.elapsedMs);
      break;
    case TraceKind::Answer:
      line = event.retry ? "Answer: retry" : "Answer: give up";
      break;
    case TraceKind::LinkEvent:
      line = "Link: " + event.note;
      break;
  }
  line += '\n';
  return line;
}

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
  return [](const TraceEvent&) {};
}

}  // namespace va5
