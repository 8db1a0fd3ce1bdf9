#include <gtest/gtest.h>

#include "comm/Timing.h"

namespace va5 {
namespace {

TEST(Timing, PostWriteSleepFollowsTheLineRate) {
  const Timing t;
  // 10-byte short command 0 request: 91 ms; 14-byte long request: 128 ms; 38 bytes: 348 ms.
  EXPECT_EQ(t.PostWriteSleep(10), Millis(91));
  EXPECT_EQ(t.PostWriteSleep(14), Millis(128));
  EXPECT_EQ(t.PostWriteSleep(38), Millis(348));
}

TEST(Timing, ScaledShortensEveryDelayButKeepsReadsBlocking) {
  const Timing t = Timing{}.Scaled(0.1);
  EXPECT_EQ(t.interFrameGap, Millis(8));
  EXPECT_EQ(t.firstByteLimit, Millis(50));
  EXPECT_EQ(t.selfTestWait, Millis(500));
  EXPECT_EQ(t.PostWriteSleep(14), Micros(12800));
  EXPECT_GE(Timing{}.Scaled(0.001).readTimeout, Millis(1));
}

}  // namespace
}  // namespace va5
