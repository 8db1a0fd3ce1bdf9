// The job record as the session keeps it against the simulated transmitter: only what the
// device answered becomes a change, and the file keeps every field.
#include "session/JobRecorder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

#include "device/GlobalFile.h"
#include "session/Operations.h"
#include "session/Session.h"
#include "session/Setting.h"
#include "session/TableOperations.h"
#include "sim/SimulatedTransmitter.h"

namespace va5 {
namespace {

using namespace std::chrono_literals;
using session::JobResult;
using session::Session;
using session::Setting;

class JobRecorderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.Start());
    session::SessionOptions options;
    options.port = sim_.SlavePath();
    session_ = std::make_unique<Session>(options, Timing{}.Scaled(0.1));
    ASSERT_EQ(session_->Connect(), ResultOk);
    ASSERT_EQ(session_->Upload(), ResultOk);
  }

  session::OperationOutcome Set(Setting setting, std::vector<std::string> values) {
    const auto check = session::CheckSetting(tables_, setting, values);
    EXPECT_FALSE(check.reason);
    return session::WriteSetting(*session_, tables_, check.entry);
  }
  const session::JobRecord& Job() { return session_->Job().Job(); }

  CglobalFile tables_;
  sim::SimulatedTransmitter sim_{sim::SimConfig{.selfTestBusy = 100ms}};
  std::unique_ptr<Session> session_;
};

TEST_F(JobRecorderTest, OnlyConfirmedWritesAreChangesAndTheFileKeepsEveryField) {
  ASSERT_EQ(Job().asFound.size(), ConfigurationFields().size());
  EXPECT_EQ(Job().asFound[10].key, std::string("PV Damping"));
  const std::string dampingFound = Job().asFound[10].value;
  EXPECT_EQ(Job().device.port, sim_.SlavePath());

  // A write whose reply is lost: not confirmed, and the value before the next one is unknown.
  sim_.InjectFault({sim::Fault::Kind::Silence, -1, 34, 0});
  EXPECT_FALSE(Set(Setting::Damping, {"5"}).Succeeded());
  sim_.ClearFaults();
  ASSERT_TRUE(Set(Setting::Damping, {"4"}).Succeeded());
  // Refused by the device, and one that never left (no custom RTD table in the device).
  sim_.InjectFault({sim::Fault::Kind::ResponseCode, -1, 17, 7});
  EXPECT_FALSE(Set(Setting::Message, {"HELLO"}).Succeeded());
  sim_.ClearFaults();
  sim_.Modify([](sim::DeviceState& s) { s.rtdTable.configured = false; });
  EXPECT_FALSE(Set(Setting::Sensor, {"Custom RTD", "3 Wires"}).Succeeded());

  const auto& w = Job().writes;
  ASSERT_EQ(w.size(), 3u);
  EXPECT_EQ(w[0].outcome.result, JobResult::NotConfirmed);
  EXPECT_EQ(w[0].before, dampingFound);
  EXPECT_EQ(w[0].answered, "");
  EXPECT_EQ(w[1].outcome.result, JobResult::Done);
  EXPECT_EQ(w[1].before, "");
  EXPECT_EQ(w[1].requested, "4");
  EXPECT_EQ(w[1].answered, "4.000");
  EXPECT_EQ(w[2].setting, "message");
  EXPECT_EQ(w[2].outcome.result, JobResult::Refused);
  EXPECT_EQ(w[2].outcome.responseCode, 7);
  EXPECT_NE(w[2].outcome.detail.find("write-protect"), std::string::npos) << w[2].outcome.detail;

  // A DAC trim at 4 mA, a special curve and a self test.
  ASSERT_TRUE(session_->Perform(session::TrimModeChain(session::TrimMode::Lower)).Succeeded());
  ASSERT_TRUE(session_->Perform(session::TrimDacChain(session::TrimMode::Lower, "4.010"))
                  .Succeeded());
  session::TableUpload curve;
  curve.x = {"0", "50", "100"};
  curve.y = {"0", "25.5", "100"};
  auto chain = session::WriteTableChain(TableKind::Curve, curve);
  chain.journal.source = "curve.txt";
  ASSERT_TRUE(session_->Perform(std::move(chain)).Succeeded());
  ASSERT_TRUE(session_->Perform(session::SelfTestChain()).Succeeded());
  ASSERT_FALSE(session::CloseJob(*session_));

  const session::JobRecord& job = Job();
  ASSERT_EQ(job.currents.size(), 1u);
  EXPECT_EQ(job.currents[0].requested, "4.0");
  ASSERT_EQ(job.trims.size(), 1u);
  EXPECT_EQ(job.trims[0].kind, "DAC lower");
  EXPECT_EQ(job.trims[0].reference, 4.01);
  EXPECT_TRUE(job.trims[0].before && job.trims[0].after);
  EXPECT_EQ(job.trims[0].span, 16.0);
  ASSERT_EQ(job.tables.size(), 1u);
  EXPECT_EQ(job.tables[0].points, 3);
  EXPECT_EQ(job.tables[0].source, "curve.txt");
  EXPECT_EQ(job.tables[0].checksum, session::Crc32Text("0\t0\n50\t25.5\n100\t100\n"));
  ASSERT_EQ(job.selfTests.size(), 1u);
  EXPECT_TRUE(job.selfTests[0].passed);
  std::vector<std::string> changed;
  for (const auto& row : session::CompareFoundAndLeft(job)) {
    if (row.changed) changed.push_back(row.key);
  }
  EXPECT_EQ(changed, std::vector<std::string>{"PV Damping"});
  EXPECT_FALSE(job.closed.empty());

  // The file: every field comes back, and a second save of what was read is the same text.
  const std::string path = ::testing::TempDir() + "job-recorder-test.json";
  ASSERT_FALSE(session::SaveJob(job, path));
  std::string error;
  const auto read = session::LoadJob(path, error);
  ASSERT_TRUE(read) << error;
  EXPECT_EQ(*read, job);
  EXPECT_EQ(session::JobToJson(*read), session::JobToJson(job));
  std::filesystem::remove(path);
}

TEST(JobRecordFileTest, TextThatIsNoJobOfThisVersionIsRefusedWithWhere) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"{", "not a JSON file"},
      {R"({"format": "something else", "version": 1})", "not a VA5VIVI job record"},
      {R"({"format": "VA5VIVI job record", "version": 2})", "version 2"},
      {R"({"format": "VA5VIVI job record", "version": 1, "writes": {}})", "writes is not a list"},
      {R"({"format": "VA5VIVI job record", "version": 1, "writes": [{"result": "maybe"}]})",
       "writes[0].result"},
      {R"({"format": "VA5VIVI job record", "version": 1, "device": {"pollingAddress": 16}})",
       "device.pollingAddress is out of range"},
      {R"({"format": "VA5VIVI job record", "version": 1, "trims": [{"after": "1"}]})",
       "trims[0].after is not a number"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(session::JobFromJson(c.text, error)) << c.text;
    EXPECT_NE(error.find(c.error), std::string::npos) << c.text << ": " << error;
  }
  EXPECT_EQ(session::Crc32Text("123456789"), "cbf43926");
}

TEST(JobRecordFileTest, OnlyARegularFileIsReplaced) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::path(::testing::TempDir()) / "job-record-folder";
  fs::create_directories(folder / "job.json");
  session::JobRecord job;
  job.notes = "kept";
  auto error = session::SaveJob(job, (folder / "job.json").string());
  ASSERT_TRUE(error);
  EXPECT_NE(error->find("job.json"), std::string::npos) << *error;
  // A link stays a link: the file it names is written.
  fs::create_symlink(folder / "elsewhere.json", folder / "link.json");
  EXPECT_FALSE(session::SaveJob(job, (folder / "link.json").string()));
  EXPECT_TRUE(fs::is_symlink(folder / "link.json"));
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder / "elsewhere.json")));
  // A plain file is replaced whole, with nothing left beside it.
  ASSERT_FALSE(session::SaveJob(job, (folder / "plain.json").string()));
  std::string readError;
  EXPECT_EQ(session::LoadJob((folder / "plain.json").string(), readError)->notes, "kept");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 4);
  fs::remove_all(folder);
}

}  // namespace
}  // namespace va5
