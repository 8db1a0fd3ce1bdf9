// va5vivi-cli --record against the simulator: one job kept over several commands, read back
// field by field, and another device's job refused before anything is sent.
#include <gtest/gtest.h>

#include <cctype>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "session/JobRecord.h"
#include "testing/ProcessSupport.h"
#include "testing/TraceCommands.h"

namespace va5 {
namespace {

using session::JobResult;
using test::BackgroundProcess;
using test::ProcessResult;

class JobRecordCliTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::remove(path_); }
  void TearDown() override { std::filesystem::remove(path_); }

  void StartSim(std::vector<std::string> options) {
    options.insert(options.begin(), VA5VIVI_SIM);
    sim_.reset();  // one simulator at a time
    sim_ = std::make_unique<BackgroundProcess>(options);
    ASSERT_EQ(sim_->FirstLine().rfind("/dev/", 0), 0u) << sim_->FirstLine();
  }
  ProcessResult OnSim(std::vector<std::string> args) {
    args.insert(args.begin(), {VA5VIVI_CLI, "--port", sim_->FirstLine()});
    return test::RunProcess(args);
  }
  std::string FileText() const {
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  static bool Sent(const std::string& trace, int command) {
    std::istringstream in(trace);
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("TX: ", 0) == 0 && test::CommandOfTxLine(line) == command) return true;
    }
    return false;
  }

  // One file a test: ctest runs the tests of this file side by side.
  const std::string path_ =
      ::testing::TempDir() + "cli-job-record-" +
      ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".json";
  std::unique_ptr<BackgroundProcess> sim_;
};

TEST_F(JobRecordCliTest, ThreeCommandsMakeOneJobThatReadsBackFieldByField) {
  StartSim({"--device-id", "4660", "--fault", "rc:17:7"});  // the message is write-protected
  ProcessResult r = OnSim({"--record", path_, "set", "damping", "3"});
  ASSERT_EQ(r.status, 0) << r.err;
  r = OnSim({"--record", path_, "set", "range", "150", "-10"});
  ASSERT_EQ(r.status, 0) << r.err;
  r = OnSim({"--record", path_, "set", "message", "HELLO"});
  ASSERT_EQ(r.status, 1) << r.err;

  const std::string text = FileText();
  std::string error;
  const auto read = session::JobFromJson(text, error);
  ASSERT_TRUE(read) << error;
  const session::JobRecord& job = *read;
  EXPECT_EQ(session::JobToJson(job), text);  // nothing lost, nothing added

  EXPECT_EQ(job.device.manufacturer, "Kerrin CO");
  EXPECT_EQ(job.device.model, "TQ5R");
  EXPECT_EQ(job.device.deviceId, "4660");
  EXPECT_EQ(job.device.port, sim_->FirstLine());
  EXPECT_EQ(job.device.pollingAddress, 0);
  EXPECT_FALSE(job.device.tag.empty());

  ASSERT_EQ(job.writes.size(), 3u);
  const struct {
    const char *setting, *before, *requested, *answered;
    JobResult result;
    int code;
  } expected[] = {
      {"damping", "2.000", "3", "3.000", JobResult::Done, -1},
      {"range", "100.000 / 0.000", "150 -10", "150.000 / -10.000", JobResult::Done, -1},
      {"message", "VA5VIVI SIMULATED TRANSMITTER", "HELLO", "", JobResult::Refused, 7},
  };
  // "2026-12-09T04:31:26Z": UTC in ISO 8601, to the second.
  const auto iso = [](const std::string& t) {
    const std::string shape = "dddd-dd-ddTdd:dd:ddZ";
    if (t.size() != shape.size()) return false;
    for (std::size_t i = 0; i < t.size(); ++i) {
      if (shape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(t[i])) : t[i] != shape[i]) {
        return false;
      }
    }
    return true;
  };
  std::string last = job.opened;
  for (std::size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const session::JobWrite& w = job.writes[i];
    EXPECT_EQ(w.setting, expected[i].setting);
    EXPECT_EQ(w.before, expected[i].before);
    EXPECT_EQ(w.requested, expected[i].requested);
    EXPECT_EQ(w.answered, expected[i].answered);
    EXPECT_EQ(w.outcome.result, expected[i].result);
    EXPECT_EQ(w.outcome.responseCode, expected[i].code);
    EXPECT_TRUE(iso(w.time)) << w.time;
    EXPECT_LE(last, w.time);
    last = w.time;
  }
  EXPECT_NE(job.writes[2].outcome.detail.find("write-protect"), std::string::npos);
  EXPECT_LE(last, job.closed);

  // As found and as left are the rows of a configuration file; only what was written changed.
  std::vector<std::string> changed;
  for (const auto& row : session::CompareFoundAndLeft(job)) {
    if (row.changed) changed.push_back(row.key + "=" + row.found + ">" + row.left);
  }
  EXPECT_EQ(changed, (std::vector<std::string>{"PV Upper Range=100.000>150.000",
                                               "PV Lower Range=0.000>-10.000",
                                               "PV Damping=2.000>3.000"}));

  r = test::RunProcess({VA5VIVI_CLI, "report", path_});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("* PV Damping"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("refused (response code 7: "), std::string::npos) << r.out;
}

TEST_F(JobRecordCliTest, AnotherDevicesJobOrAFileThatIsNoJobIsRefusedBeforeAnythingIsSent) {
  StartSim({"--device-id", "4660"});
  ASSERT_EQ(OnSim({"--record", path_, "identify"}).status, 0);
  const std::string kept = FileText();

  StartSim({"--device-id", "4661"});
  ProcessResult r = OnSim({"--trace", "--record", path_, "set", "damping", "5"});
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("is the job record of device Kerrin CO / TQ5R / 4660"), std::string::npos)
      << r.err;
  EXPECT_FALSE(Sent(r.err, 34)) << r.err;
  EXPECT_EQ(FileText(), kept);

  std::ofstream(path_) << R"({"format": "VA5VIVI job record", "version": 7})";
  r = OnSim({"--trace", "--record", path_, "set", "damping", "5"});
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("version 7"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("TX: "), std::string::npos) << r.err;
}

}  // namespace
}  // namespace va5
