// va5vivi-cli --capture against the simulator, decoded by tshark's HART-IP dissector.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>

#include "testing/ProcessSupport.h"
#include "testing/TraceCommands.h"

namespace va5 {
namespace {

using test::BackgroundProcess;
using test::RunProcess;

// tshark from the PATH, or nothing.
std::string FindTshark() {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path != nullptr ? path : "");
  for (std::string folder; std::getline(folders, folder, ':');) {
    const std::string candidate = folder + "/tshark";
    if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

std::vector<std::vector<std::string>> Rows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
    fields.resize(6);
    rows.push_back(fields);
  }
  return rows;
}

class CaptureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* skip = std::getenv("VA5VIVI_NO_TSHARK");
    if (skip != nullptr && std::string(skip) == "1") GTEST_SKIP() << "VA5VIVI_NO_TSHARK=1";
    tshark_ = FindTshark();
    ASSERT_FALSE(tshark_.empty())
        << "tshark is not installed: tools/setup installs it from tools/packages.txt "
           "(VA5VIVI_NO_TSHARK=1 skips this test)";
    folder_ = std::filesystem::temp_directory_path() /
              ("va5vivi-capture-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder_);
    sim_ = std::make_unique<BackgroundProcess>(
        std::vector<std::string>{VA5VIVI_SIM, "--device-id", "0x123456"});
    ASSERT_EQ(sim_->FirstLine().rfind("/dev/", 0), 0u) << sim_->FirstLine();
  }
  void TearDown() override {
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
  }

  // Per packet: message type, sequence number, command, response code, device ID, text.
  std::vector<std::vector<std::string>> Decode(const std::string& file, const char* text) {
    const auto r = RunProcess({tshark_, "-r", file, "-T", "fields", "-e", "hart_ip.message_type",
                               "-e", "hart_ip.transaction_id", "-e", "hart_ip.pt.command", "-e",
                               "hart_ip.pt.response_code", "-e", "hart_ip.pt.rsp.device_id",
                               "-e", text});
    EXPECT_EQ(r.status, 0) << r.err;
    return Rows(r.out);
  }

  std::string tshark_;
  std::filesystem::path folder_;
  std::unique_ptr<BackgroundProcess> sim_;
};

// Each reply answers the request before it with the same sequence number and command.
void ExpectPairs(const std::vector<std::vector<std::string>>& rows) {
  ASSERT_EQ(rows.size() % 2, 0u);
  for (std::size_t i = 0; i < rows.size(); i += 2) {
    EXPECT_EQ(rows[i][0], "0") << i;  // request
    EXPECT_EQ(rows[i + 1][0], "1") << i;
    EXPECT_EQ(rows[i][1], std::to_string(i / 2 + 1));
    EXPECT_EQ(rows[i + 1][1], rows[i][1]);
    EXPECT_EQ(rows[i + 1][2], rows[i][2]);
    EXPECT_EQ(rows[i + 1][3], "0") << "response code of command " << rows[i][2];
  }
}

TEST_F(CaptureTest, TsharkDecodesIdentifyAndUpload) {
  const std::string identify = (folder_ / "identify.pcap").string();
  auto r = RunProcess({VA5VIVI_CLI, "--port", sim_->FirstLine(), "--capture", identify,
                       "identify"});
  ASSERT_EQ(r.status, 0) << r.err;
  auto rows = Decode(identify, "hart_ip.pt.rsp.tag");
  ASSERT_GE(rows.size(), 2u);
  ExpectPairs(rows);
  EXPECT_EQ(rows[0][2], "0");       // command 0 first ...
  EXPECT_EQ(rows[1][4], "123456");  // ... answered with the device ID

  // With --trace as well: the capture holds exactly the traced requests, in order.
  const std::string upload = (folder_ / "upload.pcap").string();
  r = RunProcess({VA5VIVI_CLI, "--port", sim_->FirstLine(), "--trace", "--capture", upload,
                  "upload"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> traced;
  std::istringstream trace(r.err);
  for (std::string line; std::getline(trace, line);) {
    if (line.rfind("TX: ", 0) == 0) traced.push_back(std::to_string(test::CommandOfTxLine(line)));
  }
  rows = Decode(upload, "hart_ip.pt.rsp.tag");
  ExpectPairs(rows);
  std::vector<std::string> captured;
  for (std::size_t i = 0; i < rows.size(); i += 2) captured.push_back(rows[i][2]);
  EXPECT_EQ(captured, traced);
  std::string tag;
  for (const auto& row : rows) {
    if (row[0] == "1" && row[2] == "13") tag = row[5];
  }
  EXPECT_EQ(tag.substr(0, 6), "TT-101");

  const auto messages = Decode(upload, "hart_ip.pt.rsp.message");
  std::string message;
  for (const auto& row : messages) {
    if (row[0] == "1" && row[2] == "12") message = row[5];
  }
  EXPECT_EQ(message.rfind("VA5VIVI SIMULATED TRANSMITTER", 0), 0u) << message;
}

}  // namespace
}  // namespace va5
