#pragma once

#include <chrono>
#include <concepts>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "comm/HartResult.h"

namespace va5 {

// ---- What the link reports --------------------------------------------------------------

enum class TraceKind {
  Sent,            // a request as written to the port
  Received,        // a reply the receive accepted (its response code may still refuse)
  ReceiveFailed,   // what arrived before the receive gave up, perhaps nothing; see `failure`
  Skipped,         // an intact reply to an earlier request, waited past; see `skipped`
  SendTimeout,     // the carrier never dropped; see `failure`
  ReceiveTimeout,  // `elapsedMs` without the byte awaited (a ReceiveFailed follows)
  Answer,          // how a failure was answered: `retry` or give up
  LinkEvent,       // something the link did on its own, said in `note`
};

// Why an intact frame was not the reply awaited.
enum class SkipReason { OtherAddress, OtherCommand, OtherSelector };

// One event of the link, as it happened. Only the fields of its kind are set.
struct TraceEvent {
  TraceKind kind = TraceKind::LinkEvent;
  std::chrono::system_clock::time_point time{};
  // Sent, Received, ReceiveFailed, Skipped: every byte, preambles included.
  std::vector<std::uint8_t> bytes{};
  bool commError = false;  // Received: bit 7 of the response code is set
  SkipReason skipped = SkipReason::OtherAddress;
  LinkFailure failure = LinkFailure::None;  // ReceiveFailed, SendTimeout
  int elapsedMs = 0;                        // ReceiveTimeout
  bool retry = false;                       // Answer
  std::string note{};                       // LinkEvent
};

// The texts a trace line gives an event; the traffic monitor shows the same words.
inline constexpr std::string_view TraceCommErrorNote = "Communication Error";
std::string_view SkipReasonText(SkipReason reason);

// The event as one line of text, "\n" included: "TX: FF,...,82,", "RX: ...,Error",
// "RX: skipped: ...,other address", "TX: Timeout", "Timeout: 305", "Answer: retry",
// "Link: port opened again". Every text of the trace is written here.
std::string FormatTraceLine(const TraceEvent& event);

// Receives the link's events. Built from a function of the event, or from a function of the
// text line (which then gets FormatTraceLine of each event).
class TraceSink {
 public:
  TraceSink() = default;
  TraceSink(std::nullptr_t) {}  // NOLINT: an empty sink, as for std::function

  template <typename F>
  requires std::invocable<const F&, const TraceEvent&> TraceSink(F f)
      : sink_(std::move(f)) {}  // NOLINT: a sink is any such function

  template <typename F>
  requires(!std::invocable<const F&, const TraceEvent&> &&
           std::invocable<const F&, std::string_view>) TraceSink(F f) {  // NOLINT
    // An empty function (a null pointer, an empty std::function) makes an empty sink.
    if constexpr (!std::is_class_v<F> || requires { typename F::result_type; }) {
      if (!static_cast<bool>(f)) return;
    }
    sink_ = [f = std::move(f)](const TraceEvent& event) { f(FormatTraceLine(event)); };
  }

  void operator()(const TraceEvent& event) const { sink_(event); }
  explicit operator bool() const { return static_cast<bool>(sink_); }

 private:
  std::function<void(const TraceEvent&)> sink_;
};

// The platform debug output: standard error on POSIX, OutputDebugString on Windows.
TraceSink PlatformTraceSink();
// Discards every event.
TraceSink NullTraceSink();

}  // namespace va5
