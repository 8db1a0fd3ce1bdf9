#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "testing/FakeSerialPort.h"
#include "base/MessageQueue.h"

namespace va5::test {

using QueueSink = MessageQueue;

// A minimal field device behind a FakeSerialPort: it answers every request frame the link
// writes, from the polling address `address`, with zeroed reply data (an identity for command 0).
// Commands can be silenced for a number of requests or answered with a response code, and a
// gate can hold the worker inside a write.
class FakeDevice {
 public:
  struct Request {
    std::uint8_t command;
    bool longFrame;
    int address;  // polling address of a short frame, -1 for a long one
  };

  explicit FakeDevice(FakeSerialPort& port, int address = 0) : address_(address) {
    port.SetResponder([this](const std::vector<std::uint8_t>& written, FakeSerialPort& p) {
      Answer(written, p);
    });
  }

  void SilenceNext(std::uint8_t command, int requests) {
    std::lock_guard lock(mutex_);
    silent_[command] = requests;
  }
  void SilenceAll(bool silent) {
    std::lock_guard lock(mutex_);
    silentAll_ = silent;
  }
  // Answers `command` with response code 0 but only `dataBytes` bytes after the status.
  void ShortReply(std::uint8_t command, std::size_t dataBytes) {
    std::lock_guard lock(mutex_);
    short_[command] = dataBytes;
  }
  // Answers `command` with response code 0, status 0x40 and these data bytes after them.
  void ReplyWith(std::uint8_t command, std::vector<std::uint8_t> data) {
    std::lock_guard lock(mutex_);
    replies_[command] = std::move(data);
  }
  void RefuseWith(std::uint8_t command, std::uint8_t responseCode) {
    std::lock_guard lock(mutex_);
    refuse_[command] = responseCode;
  }
  // While closed, a write of `command` blocks until the gate opens.
  void CloseGate(std::uint8_t command) {
    std::lock_guard lock(mutex_);
    gateCommand_ = command;
    gateOpen_ = false;
  }
  void OpenGate() {
    {
      std::lock_guard lock(mutex_);
      gateOpen_ = true;
    }
    cv_.notify_all();
  }
  // Waits until the worker sits at the closed gate.
  bool WaitAtGate(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, timeout, [this] { return atGate_; });
  }
  // Waits until `count` requests have arrived.
  bool WaitForRequests(std::size_t count,
                       std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
  }
  std::vector<Request> Requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  std::vector<int> Commands() {
    std::vector<int> commands;
    for (const auto& r : Requests()) commands.push_back(r.command);
    return commands;
  }

 private:
  void Answer(const std::vector<std::uint8_t>& w, FakeSerialPort& port) {
    std::size_t i = 0;
    while (i < w.size() && w[i] == 0xFF) ++i;
    if (i + 3 > w.size()) return;
    const std::uint8_t delimiter = w[i];
    const bool longFrame = (delimiter & 0x80) != 0;
    const std::size_t addressLength = longFrame ? 5 : 1;
    const std::vector<std::uint8_t> address(w.begin() + static_cast<long>(i) + 1,
                                            w.begin() + static_cast<long>(i + 1 + addressLength));
    const std::uint8_t command = w[i + 1 + addressLength];
    const int shortAddress = longFrame ? -1 : (address[0] & 0x3F);

    std::unique_lock lock(mutex_);
    requests_.push_back({command, longFrame, shortAddress});
    cv_.notify_all();
    if (gateCommand_ == command && !gateOpen_) {
      atGate_ = true;
      cv_.notify_all();
      cv_.wait(lock, [this] { return gateOpen_; });
      atGate_ = false;
    }
    if (silentAll_) return;
    if (!longFrame && shortAddress != address_) return;
    if (auto s = silent_.find(command); s != silent_.end() && s->second > 0) {
      --s->second;
      return;
    }
    std::vector<std::uint8_t> data;
    if (auto r = refuse_.find(command); r != refuse_.end()) {
      data = {r->second, 0x00};
    } else if (auto d = replies_.find(command); d != replies_.end()) {
      data = {0, 0x40};
      data.insert(data.end(), d->second.begin(), d->second.end());
    } else if (command == 0) {
      data = {0, 0x40, 254, 29, 2, 5, 5, 1, 1, 0x08, 0, 0x00, 0x04, 0xD2};
    } else {
      data.assign(26, 0);
      data[1] = 0x40;  // field device status: something to see in tests
    }
    if (auto c = short_.find(command); c != short_.end()) data.resize(2 + c->second);
    lock.unlock();

    std::vector<std::uint8_t> reply(5, 0xFF);
    reply.push_back(longFrame ? 0x86 : 0x06);
    reply.insert(reply.end(), address.begin(), address.end());
    reply.push_back(command);
    reply.push_back(static_cast<std::uint8_t>(data.size()));
    reply.insert(reply.end(), data.begin(), data.end());
    std::uint8_t checksum = 0;
    for (std::size_t k = 5; k < reply.size(); ++k) checksum ^= reply[k];
    reply.push_back(checksum);
    port.QueueBytes(reply);
  }

  std::mutex mutex_;
  std::condition_variable cv_;
  std::map<std::uint8_t, std::size_t> short_;
  int address_;
  bool silentAll_ = false;
  std::map<std::uint8_t, int> silent_;
  std::map<std::uint8_t, std::uint8_t> refuse_;
  std::map<std::uint8_t, std::vector<std::uint8_t>> replies_;
  int gateCommand_ = -1;
  bool gateOpen_ = true;
  bool atGate_ = false;
  std::vector<Request> requests_;
};

}  // namespace va5::test
