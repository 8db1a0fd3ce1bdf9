#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace va5::sim {

// Collects the bytes heard on the line into whole HART frames, the way a field device's
// receiver does: it waits for at least two preambles, then takes a delimiter, the address
// (1 or 5 bytes after bit 7 of the delimiter), command, byte count, data and checksum.
// The frame it hands out runs from the delimiter through the checksum; the checksum is not
// checked here. Anything that is not a frame is dropped.
class FrameAssembler {
 public:
  // Feeds one byte; returns a frame when this byte completed one.
  std::optional<std::vector<std::uint8_t>> Feed(std::uint8_t byte);
  // Forgets a partial frame (after a gap on the line).
  void Reset();
  bool InFrame() const { return state_ != State::Hunt; }

 private:
  enum class State { Hunt, Preamble, Address, Command, Count, Data, Checksum };
  State state_ = State::Hunt;
  int preambles_ = 0;
  std::size_t addressLeft_ = 0;
  std::size_t dataLeft_ = 0;
  std::vector<std::uint8_t> frame_;
};

}  // namespace va5::sim
