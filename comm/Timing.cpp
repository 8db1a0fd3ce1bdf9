#include "comm/Timing.h"

namespace va5 {

Micros Timing::PostWriteSleep(std::size_t length) const {
  const auto ms = static_cast<long long>(length) * 11000 / 1200;
  return Micros(static_cast<long long>(static_cast<double>(ms) * 1000.0 * lineScale));
}

Timing Timing::Scaled(double factor) const {
  auto scale = [factor](Millis m) {
    return Millis(static_cast<long long>(static_cast<double>(m.count()) * factor));
  };
  Timing t = *this;
  for (Millis* m : {&t.interFrameGap, &t.carrierWait, &t.openSettle, &t.readTimeout,
                    &t.firstByteLimit, &t.byteGapLimit, &t.searchLimit, &t.idleWait,
                    &t.resetWait, &t.selfTestWait, &t.tableWriteWait, &t.curveWriteWait,
                    &t.leaveFixedWait, &t.unitChangeWait, &t.reconnectWait}) {
    *m = scale(*m);
  }
  // A read time-out of zero would turn every read into a poll loop.
  if (t.readTimeout < Millis(1)) t.readTimeout = Millis(1);
  t.lineScale = lineScale * factor;
  return t;
}

}  // namespace va5
