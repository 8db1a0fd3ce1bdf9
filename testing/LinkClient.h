#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "comm/CommandSet.h"
#include "comm/HartLink.h"
#include "comm/PosixSerialPort.h"
#include "comm/TransactionStep.h"
#include "device/DeviceRecord.h"

namespace va5::test {

// The tool's side of the line for the simulator's tests: the real POSIX port, link, builders
// and decoders, one transaction at a time through the worker's own transaction step (without
// its thread, repeats and failure protocol).
class LinkClient {
 public:
  explicit LinkClient(Timing timing = Timing{}.Scaled(0.1))
      : link_(port_, timing, [this](std::string_view line) { trace_.emplace_back(line); }) {
    record_.SetStartValues();
  }

  HartResult Open(const std::string& path) {
    return link_.OpenPort(path);
  }
  void Close() { link_.ClosePort(); }

  // Runs one command of the command table: builder, frame, reply, size check, decoder.
  HartResult Run(std::uint8_t command) {
    const CommandDescriptor* d = FindCommand(command);
    if (d == nullptr) return -1;
    return RunCommand(link_, *d, record_);
  }

  // Sends a command with the given data bytes, without builder or decoder.
  HartResult RunRaw(std::uint8_t command, const std::vector<std::uint8_t>& data) {
    LinkState& st = link_.State();
    AddressRequest(st, record_.pollingAddress);
    st.command = command;
    st.byteCount = static_cast<std::uint8_t>(data.size());
    std::copy(data.begin(), data.end(), st.data.begin());
    const HartResult r = ExchangeFrames(link_, 1);
    return r == ResultOk ? AcceptReply(link_) : r;
  }

  HartLink& Link() { return link_; }
  DeviceRecord& Record() { return record_; }
  LinkState& State() { return link_.State(); }
  const std::vector<std::string>& Trace() const { return trace_; }
  std::string LastTrace() const { return trace_.empty() ? std::string() : trace_.back(); }
  bool TraceContains(const std::string& text) const {
    for (const auto& line : trace_) {
      if (line.find(text) != std::string::npos) return true;
    }
    return false;
  }

 private:
  PosixSerialPort port_;
  HartLink link_;
  DeviceRecord record_;
  std::vector<std::string> trace_;
};

}  // namespace va5::test
