#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "testing/LinkClient.h"
#include "sim/FaultOption.h"
#include "sim/SimulatedTransmitter.h"

namespace va5::sim {
namespace {

using namespace va5::test;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

class PtyFault : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.Start());
    ASSERT_EQ(client_.Open(sim_.SlavePath()), ResultOk);
    ASSERT_EQ(client_.Run(0), ResultOk);
  }
  // Faults given as on the command line, so that the parser is covered end to end.
  void Inject(const std::string& text) {
    const auto fault = ParseFault(text);
    ASSERT_TRUE(fault) << text;
    sim_.InjectFault(*fault);
  }

  SimulatedTransmitter sim_;
  LinkClient client_;
};

TEST_F(PtyFault, SilenceEndsInLinkFailureThenRecovers) {
  Inject("silence:2");
  EXPECT_EQ(client_.Run(3), ResultLinkFailed);
  EXPECT_TRUE(client_.TraceContains("Timeout: "));
  EXPECT_EQ(client_.Run(3), ResultLinkFailed);
  EXPECT_EQ(client_.Run(3), ResultOk);
  Inject("silence");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(client_.Run(2), ResultLinkFailed);
  sim_.ClearFaults();
  EXPECT_EQ(client_.Run(2), ResultOk);
}

TEST_F(PtyFault, NoiseBeforeTheReplyIsSkippedNoiseAloneFails) {
  Inject("noise:1");
  EXPECT_EQ(client_.Run(3), ResultOk);
  EXPECT_EQ(client_.LastTrace().rfind("RX: FF,", 0), 0u);  // noise is not traced
  Inject("noise-only:1");
  EXPECT_EQ(client_.Run(3), ResultLinkFailed);
  EXPECT_EQ(client_.Run(3), ResultOk);
}

TEST_F(PtyFault, BadChecksumFailsTheReceive) {
  Inject("bad-checksum:1");
  EXPECT_EQ(client_.Run(3), ResultLinkFailed);
  EXPECT_NE(client_.LastTrace().find("Error"), std::string::npos);
  EXPECT_EQ(client_.Run(3), ResultOk);
}

TEST_F(PtyFault, SlowReplyTimesOut) {
  Inject("slow:600");
  EXPECT_EQ(client_.Run(3), ResultLinkFailed);
  sim_.ClearFaults();
  std::this_thread::sleep_for(milliseconds(700));  // let the late reply pass
  EXPECT_EQ(client_.Run(3), ResultOk);
}

// A reply that comes after its request has timed out reaches the next request's receive: it
// is skipped there, and the next request gets its own reply instead of the late one decoded
// as its answer.
TEST(PtyLateReply, ALateReplyIsNotTakenForTheNextCommand) {
  SimulatedTransmitter sim;
  ASSERT_TRUE(sim.Start());
  // Receive limits of 200 ms and 80 ms, 32 ms gap, reads of 40 ms.
  LinkClient client(Timing{}.Scaled(0.4));
  ASSERT_EQ(client.Open(sim.SlavePath()), ResultOk);
  ASSERT_EQ(client.Run(0), ResultOk);
  // The reply to command 15 leaves the device 450 ms late: after its own receive gave up
  // (about 250-290 ms), in the middle of the receive of the damping write that follows
  // (about 370-570 ms), and before that write's own reply, which the device sends next.
  auto fault = ParseFault("slow:450");
  ASSERT_TRUE(fault);
  fault->command = 15;
  fault->count = 1;
  sim.InjectFault(*fault);
  EXPECT_EQ(client.Run(15), ResultLinkFailed);
  EXPECT_EQ(client.Link().LastFailure(), LinkFailure::NoReply);

  client.Record().dampingText = "7.25";
  client.Record().damping = 0;
  EXPECT_EQ(client.Run(34), ResultOk);
  EXPECT_DOUBLE_EQ(client.Record().damping, 7.25);
  EXPECT_DOUBLE_EQ(sim.State().damping, 7.25);
  bool skipped = false;
  for (const std::string& line : client.Trace()) {
    if (line.rfind("RX: skipped: ", 0) == 0 && line.find(",0F,") != std::string::npos &&
        line.find("other command\n") != std::string::npos) {
      skipped = true;
    }
  }
  EXPECT_TRUE(skipped) << "no skipped reply to command 15 in the trace";
  // Nothing is left over for the command after it either.
  EXPECT_EQ(client.Run(15), ResultOk);
  EXPECT_DOUBLE_EQ(client.Record().damping, 7.25);
}

TEST_F(PtyFault, ChosenResponseCodeIsRefused) {
  Inject("rc:34:7");
  client_.Record().dampingText = "5";
  EXPECT_EQ(client_.Run(34), ResultReplyRejected);
  EXPECT_EQ(client_.State().responseCode, 7);
  EXPECT_EQ(client_.Run(3), ResultOk);
  EXPECT_DOUBLE_EQ(sim_.State().damping, 2.0);
}

TEST_F(PtyFault, CommunicationErrorIsMarkedInTheTrace) {
  Inject("comm-error:0x08");
  EXPECT_EQ(client_.Run(3), ResultReplyRejected);
  EXPECT_EQ(client_.State().responseCode, 0x88);
  EXPECT_EQ(client_.State().commErrorBits, 0x88);
  EXPECT_NE(client_.LastTrace().find("Communication Error"), std::string::npos);
}

TEST_F(PtyFault, TwentyPreamblesAreAccepted) {
  Inject("preambles");
  EXPECT_EQ(client_.Run(3), ResultOk);
  std::string twenty;
  for (int i = 0; i < 20; ++i) twenty += "FF,";
  EXPECT_EQ(client_.LastTrace().rfind("RX: " + twenty + "86,", 0), 0u) << client_.LastTrace();
}

TEST_F(PtyFault, NanPvAndSensorBreak) {
  Inject("nan-pv");
  EXPECT_EQ(client_.Run(3), ResultOk);
  EXPECT_TRUE(std::isnan(client_.Record().pvValue));
  sim_.ClearFaults();
  Inject("sensor-break");
  EXPECT_EQ(client_.Run(3), ResultOk);
  EXPECT_FLOAT_EQ(static_cast<float>(client_.Record().loopCurrent), 21.6f);
  EXPECT_TRUE(client_.State().deviceStatus & StatusDeviceMalfunction);
  EXPECT_TRUE(client_.State().deviceStatus & StatusPvOutOfLimits);
}

TEST_F(PtyFault, VanishesInTheMiddleOfATableTransfer) {
  Inject("vanish-after:2");
  DeviceRecord& rec = client_.Record();
  rec.uploadTableSize = 4;
  rec.uploadStepText = "5";
  rec.uploadMinimumText = "0";
  for (int i = 0; i < 4; ++i) rec.uploadValueTexts[static_cast<std::size_t>(i)] = "100";
  EXPECT_EQ(client_.Run(185), ResultOk);
  for (int i = 0; i < 2; ++i) {
    rec.tablePointIndex = i;
    EXPECT_EQ(client_.Run(187), ResultOk);
  }
  rec.tablePointIndex = 2;
  EXPECT_EQ(client_.Run(187), ResultLinkFailed);
  EXPECT_EQ(client_.Run(0), ResultLinkFailed);  // gone for good
  EXPECT_FALSE(sim_.State().rtdTable.configured);
}

TEST(PtyRealtime, TransactionTakesTheLineTime) {
  SimConfig config;
  config.realtime = true;
  SimulatedTransmitter sim(config);
  ASSERT_TRUE(sim.Start());
  LinkClient client(Timing{});  // the product's own timing: replies come at line speed
  ASSERT_EQ(client.Open(sim.SlavePath()), ResultOk);
  ASSERT_EQ(client.Run(0), ResultOk);
  const auto start = Clock::now();
  ASSERT_EQ(client.Run(3), ResultOk);
  const auto took = Clock::now() - start;
  // 14 request bytes and 30 reply bytes at 11 bits and 1200 bit/s.
  const auto lineTime = SimulatedTransmitter::CharacterTime * (14 + 30);
  EXPECT_GE(took, lineTime);
  EXPECT_LT(took, lineTime + milliseconds(400));
}

TEST(PtyRealtime, FastModeAnswersAtOnce) {
  SimulatedTransmitter sim;
  ASSERT_TRUE(sim.Start());
  LinkClient client(Timing{}.Scaled(0.05));
  ASSERT_EQ(client.Open(sim.SlavePath()), ResultOk);
  ASSERT_EQ(client.Run(0), ResultOk);
  const auto start = Clock::now();
  for (int i = 0; i < 10; ++i) ASSERT_EQ(client.Run(3), ResultOk);
  EXPECT_LT(Clock::now() - start, milliseconds(1000));
}

}  // namespace
}  // namespace va5::sim
