// The tool's answers to the worker's failures and its request chains, in process against the
// simulated transmitter with scaled timing.
#include <gtest/gtest.h>

#include "session/CliSession.h"
#include "session/SetCommand.h"
#include "sim/SimulatedTransmitter.h"

namespace va5 {
namespace {

using cli::CliSession;

class CliSessionTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(sim_.Start()); }

  // A connected session that has identified the device.
  std::unique_ptr<CliSession> Connect(int retries) {
    CliSession::Options options;
    options.port = sim_.SlavePath();
    options.retries = retries;
    auto session = std::make_unique<CliSession>(options, Timing{}.Scaled(0.1));
    EXPECT_EQ(session->Open(), ResultOk);
    EXPECT_EQ(session->Run(RequestIdentify), ResultOk);
    requestsBefore_ = sim_.RequestCount();
    return session;
  }
  void Silence(int command, int requests) {
    sim_.InjectFault({.kind = sim::Fault::Kind::Silence, .count = requests, .command = command});
  }
  int Sent() const { return sim_.RequestCount() - requestsBefore_; }

  sim::SimulatedTransmitter sim_;
  CglobalFile tables_;
  int requestsBefore_ = 0;
};

TEST_F(CliSessionTest, FirstFailureOfAWriteIsRetriedWithoutCounting) {
  auto session = Connect(0);
  Silence(34, 4);  // one failed transaction
  const auto outcome = cli::ApplySetting(*session, tables_, "damping", {"2.5"});
  EXPECT_EQ(outcome.status, cli::ExitOk) << outcome.reason;
  EXPECT_EQ(outcome.value, "2.500 s");
  EXPECT_EQ(Sent(), 4 + 1);
  EXPECT_DOUBLE_EQ(sim_.State().damping, 2.5);
}

TEST_F(CliSessionTest, SecondFailureOfAWriteNeedsARetryLeft) {
  auto session = Connect(0);
  Silence(34, 8);
  auto outcome = cli::ApplySetting(*session, tables_, "damping", {"2.5"});
  EXPECT_EQ(outcome.status, cli::ExitLinkFailed);
  EXPECT_EQ(Sent(), 8);
  session.reset();  // the port is for one user at a time

  auto patient = Connect(1);
  Silence(34, 8);
  outcome = cli::ApplySetting(*patient, tables_, "damping", {"3"});
  EXPECT_EQ(outcome.status, cli::ExitOk) << outcome.reason;
  EXPECT_EQ(Sent(), 8 + 1);
}

TEST_F(CliSessionTest, ReadsAreRetriedOnlyAsOftenAsAllowed) {
  auto none = Connect(0);
  Silence(14, 4);
  EXPECT_EQ(none->Run(RequestReadSensorInfo), ResultLinkFailed);
  EXPECT_EQ(Sent(), 4);  // nothing after giving up
  none.reset();

  auto two = Connect(2);
  Silence(14, 8);
  EXPECT_EQ(two->Run(RequestReadSensorInfo), ResultOk);  // 14, 15, 3, 132
  EXPECT_EQ(Sent(), 8 + 4);
}

TEST_F(CliSessionTest, UndefinedCustomTableRefusesTheSensorChange) {
  sim_.Modify([](sim::DeviceState& s) { s.rtdTable.configured = false; });
  auto session = Connect(1);
  const int sensorBefore = sim_.State().sensorType;
  const auto outcome = cli::ApplySetting(*session, tables_, "sensor", {"Custom RTD", "3 Wires"});
  EXPECT_EQ(outcome.status, cli::ExitRefused);
  EXPECT_NE(outcome.reason.find("custom RTD table is not defined"), std::string::npos);
  EXPECT_EQ(Sent(), 1);  // the header read only
  EXPECT_EQ(sim_.State().sensorType, sensorBefore);
}

TEST_F(CliSessionTest, UndefinedSpecialCurveRefusesTheTransferFunction) {
  sim_.Modify([](sim::DeviceState& s) { s.curve.configured = false; });
  auto session = Connect(1);
  const auto outcome = cli::ApplySetting(*session, tables_, "transfer-function", {"SPECIAL_CURVE"});
  EXPECT_EQ(outcome.status, cli::ExitRefused);
  EXPECT_EQ(Sent(), 1);
}

TEST_F(CliSessionTest, DefinedCustomTableLeadsToTheWriteAndTheReads) {
  sim_.Modify([](sim::DeviceState& s) { s.tcTable.configured = true; });
  auto session = Connect(1);
  const auto outcome = cli::ApplySetting(*session, tables_, "sensor", {"Custom TC"});
  EXPECT_EQ(outcome.status, cli::ExitOk) << outcome.reason;
  EXPECT_EQ(outcome.value, "Custom TC, 2 Wires");
  EXPECT_EQ(Sent(), 1 + 1 + 4);  // 180, then 131, then 14, 15, 3, 132
}

TEST_F(CliSessionTest, SearchWithoutADeviceGivesUpAfterSixteenAddresses) {
  sim_.InjectFault({.kind = sim::Fault::Kind::Silence});
  CliSession::Options options;
  options.port = sim_.SlavePath();
  options.address = 13;
  CliSession session(options, Timing{}.Scaled(0.1));
  ASSERT_EQ(session.Open(true), ResultOk);
  EXPECT_FALSE(session.Search());
  EXPECT_EQ(sim_.RequestCount(), 16);
}

}  // namespace
}  // namespace va5
