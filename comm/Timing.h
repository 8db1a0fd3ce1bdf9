#pragma once

#include <chrono>
#include <cstddef>

namespace va5 {

using Millis = std::chrono::milliseconds;
using Micros = std::chrono::microseconds;

// Every delay of the link and the worker comes from one Timing value. The defaults are the
// product's own numbers; tests may scale them down (Scaled), the product never does.
struct Timing {
  Millis interFrameGap{80};     // quiet time between the end of one frame and the next send
  Millis carrierWait{3000};     // longest wait for another station's carrier to drop
  Millis openSettle{200};       // after configuring the port
  Millis readTimeout{100};      // one single-byte read
  Millis firstByteLimit{500};   // gap limit before the first preamble
  Millis byteGapLimit{200};     // gap limit once a preamble was seen
  Millis searchLimit{200};      // gap limit while a device search runs
  Millis idleWait{200};         // worker's wait for a request before it polls
  Millis resetWait{3000};       // after command 42 (device reset)
  Millis selfTestWait{5000};    // after command 41 (self test)
  Millis tableWriteWait{8000};  // after a custom RTD/TC table write
  Millis curveWriteWait{1000};  // after a special curve write
  Millis leaveFixedWait{2000};  // after leaving fixed current mode on closing the DAC trim
  Millis unitChangeWait{500};   // after a PV unit change, before the refresh
  Millis reconnectWait{500};    // between resetting the link and connecting again
  double lineScale = 1.0;       // scales the post-write sleep (the bytes on the HART line)

  // Time the modem needs to put `length` bytes on the 1200 bit/s line, 11 bits a character:
  // length x 11000 / 1200 ms in integer arithmetic, scaled by lineScale.
  Micros PostWriteSleep(std::size_t length) const;

  // A copy with every delay multiplied by `factor` (tests run the real protocol faster).
  Timing Scaled(double factor) const;
};

}  // namespace va5
