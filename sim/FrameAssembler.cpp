#include "sim/FrameAssembler.h"

namespace va5::sim {

void FrameAssembler::Reset() {
  state_ = State::Hunt;
  preambles_ = 0;
  frame_.clear();
}

std::optional<std::vector<std::uint8_t>> FrameAssembler::Feed(std::uint8_t byte) {
  switch (state_) {
    case State::Hunt:
      if (byte == 0xFF) {
        preambles_ = 1;
        state_ = State::Preamble;
      }
      return std::nullopt;
    case State::Preamble: {
      if (byte == 0xFF) {
        ++preambles_;
        return std::nullopt;
      }
      const int frameType = byte & 0x07;
      // Master request (2), slave reply (6) and burst (1) frames; everything else is noise.
      if (preambles_ < 2 || (frameType != 1 && frameType != 2 && frameType != 6)) {
        Reset();
        return std::nullopt;
      }
      frame_.assign(1, byte);
      addressLeft_ = (byte & 0x80) ? 5 : 1;
      state_ = State::Address;
      return std::nullopt;
    }
    case State::Address:
      frame_.push_back(byte);
      if (--addressLeft_ == 0) state_ = State::Command;
      return std::nullopt;
    case State::Command:
      frame_.push_back(byte);
      state_ = State::Count;
      return std::nullopt;
    case State::Count:
      frame_.push_back(byte);
      dataLeft_ = byte;
      state_ = dataLeft_ == 0 ? State::Checksum : State::Data;
      return std::nullopt;
    case State::Data:
      frame_.push_back(byte);
      if (--dataLeft_ == 0) state_ = State::Checksum;
      return std::nullopt;
    case State::Checksum: {
      frame_.push_back(byte);
      std::vector<std::uint8_t> done;
      done.swap(frame_);
      Reset();
      return done;
    }
  }
  return std::nullopt;
}

}  // namespace va5::sim
