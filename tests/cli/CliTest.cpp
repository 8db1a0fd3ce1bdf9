#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <csignal>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "session/Setting.h"
#include "testing/ProcessSupport.h"
#include "testing/TraceCommands.h"

namespace va5 {
namespace {

using test::BackgroundProcess;
using test::ProcessResult;
using test::RunProcess;

class CliTest : public ::testing::Test {
 protected:
  // Starts a simulator with the given options and returns its terminal path.
  std::string StartSim(std::vector<std::string> options = {}) {
    std::vector<std::string> argv{VA5VIVI_SIM};
    argv.insert(argv.end(), options.begin(), options.end());
    sim_ = std::make_unique<BackgroundProcess>(argv);
    EXPECT_EQ(sim_->FirstLine().rfind("/dev/", 0), 0u) << sim_->FirstLine();
    return sim_->FirstLine();
  }
  static ProcessResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), VA5VIVI_CLI);
    return RunProcess(args);
  }
  ProcessResult OnSim(std::vector<std::string> args) {
    args.insert(args.begin(), {"--port", sim_->FirstLine()});
    return Cli(args);
  }
  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  // The commands of the requests in a --trace output.
  static std::vector<int> SentCommands(const std::string& trace) {
    std::vector<int> commands;
    for (const auto& line : Lines(trace)) {
      if (line.rfind("TX: ", 0) == 0) commands.push_back(test::CommandOfTxLine(line));
    }
    return commands;
  }
  static bool Contains(const std::vector<int>& commands, int command) {
    return std::find(commands.begin(), commands.end(), command) != commands.end();
  }
  // The field device status of one poll ("... Status 0xNN").
  int PolledStatus() {
    const auto r = OnSim({"monitor", "--count", "1"});
    const auto at = r.out.find("Status 0x");
    EXPECT_NE(at, std::string::npos) << r.out << r.err;
    return at == std::string::npos ? -1 : std::stoi(r.out.substr(at + 9, 2), nullptr, 16);
  }

  std::unique_ptr<BackgroundProcess> sim_;
};

TEST_F(CliTest, IdentifyPrintsTheIdentity) {
  StartSim({"--device-id", "4660"});
  const auto r = OnSim({"identify"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Manufacturer:          Kerrin CO\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Model:                 TQ5R\n"), std::string::npos);
  EXPECT_NE(r.out.find("Device ID:             4660\n"), std::string::npos);
  EXPECT_EQ(r.err.find("TX: "), std::string::npos);  // no trace unless asked
}

TEST_F(CliTest, TraceGoesToStandardError) {
  StartSim();
  const auto r = OnSim({"--trace", "identify"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("TX: FF,FF,FF,FF,FF,02,00,00,00,02,"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("RX: FF,"), std::string::npos);
  EXPECT_EQ(r.out.find("TX: "), std::string::npos);
}

TEST_F(CliTest, UploadPrintsTheConfigurationFileLayout) {
  StartSim();
  const auto r = OnSim({"upload"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 32u) << r.out;
  EXPECT_EQ(lines[0], "[Device Information]");
  EXPECT_EQ(lines[5], "Device Type             = TQ5R");
  EXPECT_EQ(lines[8].substr(0, 26), "Sensor Type             = ");
  EXPECT_GT(lines[8].size(), 26u);
  EXPECT_EQ(lines[13].substr(lines[13].size() - 4), " Sec");
  EXPECT_EQ(lines[31].substr(0, 26), "Final Assembly Number   = ");
}

TEST_F(CliTest, MonitorPrintsOneLinePerPoll) {
  StartSim();
  const auto r = OnSim({"monitor", "--count", "3"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 3u) << r.out;
  for (const auto& line : lines) {
    EXPECT_EQ(line.rfind("PV ", 0), 0u) << line;
    EXPECT_NE(line.find(" mA  Status 0x"), std::string::npos) << line;
  }
}

TEST_F(CliTest, SearchFindsTheDeviceFromTheStartAddressUpwards) {
  StartSim({"--address", "4"});
  const auto r = OnSim({"--address", "13", "search"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Device found at polling address 4\n");
}

TEST_F(CliTest, SilentDeviceIsALinkFailure) {
  StartSim({"--fault", "silence"});
  const auto r = OnSim({"--retries", "0", "identify"});
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_NE(r.err.find("no answer"), std::string::npos) << r.err;
}

TEST_F(CliTest, RetriesOutlastAShortSilence) {
  StartSim({"--fault", "silence:5"});  // more than the four attempts of one transaction
  EXPECT_EQ(OnSim({"--retries", "0", "identify"}).status, 2);
  StartSim({"--fault", "silence:5"});
  const auto r = OnSim({"--retries", "1", "identify"});
  EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(CliTest, SetWritesAndPrintsWhatTheDeviceReturned) {
  StartSim();
  auto r = OnSim({"set", "damping", "3.25"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "damping = 3.250 s\n");
  r = OnSim({"set", "tag", "ab"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "tag = AB (date " + session::TodayText() + ")\n");
  r = OnSim({"set", "sensor", "Type K"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "sensor = Type K, 2 Wires\n");
  r = OnSim({"set", "pv-unit", "degF"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("pv-unit = degF (range ", 0), 0u) << r.out;
  r = OnSim({"set", "transfer-function", "SQRT"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "transfer-function = SQRT\n");
  r = OnSim({"set", "serial-number", "16777215"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "serial-number = 16777215\n");
  r = OnSim({"upload"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Sensor Type             = Type K\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("PV Damping              = 3.250 Sec\n"), std::string::npos);
  EXPECT_NE(r.out.find("Sensor Unit             = degF\n"), std::string::npos);
  EXPECT_NE(r.out.find("Tag                     = AB\n"), std::string::npos);
}

TEST_F(CliTest, EntriesOutsideTheirLimitsAreRefusedBeforeSending) {
  StartSim();
  struct Case {
    std::vector<std::string> args;
    const char* reason;
  } cases[] = {
      {{"set", "damping", "40"}, "damping \"40\""},
      {{"set", "damping", "abc"}, "damping"},
      {{"set", "serial-number", "16777216"}, "serial-number"},
      {{"set", "polling-address", "16"}, "polling-address"},
      {{"set", "pv-unit", "mV"}, "does not suit the sensor"},
      {{"set", "sensor", "Pt100"}, "needs its wiring"},
      {{"set", "sensor", "Type X"}, "unknown sensor type"},
      {{"set", "tag", "TOO-LONG-TAG"}, "more than 8"},
      {{"set", "message", "ACCENT \xC3\xA9"}, "packed ASCII"},
      {{"set", "range", "50", "49.99"}, "minimum span"},
      {{"set", "range", "99999", "0"}, "upper range"},
  };
  for (const auto& c : cases) {
    const auto r = OnSim(c.args);
    EXPECT_EQ(r.status, 3) << c.args[1] << ": " << r.err;
    EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
  }
}

TEST_F(CliTest, EntriesThatNeedNoDeviceAreRefusedBeforeThePortOpens) {
  // Neither a silent device nor a missing port is asked: the entry alone is wrong.
  StartSim({"--fault", "silence"});
  struct Case {
    std::vector<std::string> args;
    const char* reason;
  } cases[] = {
      {{"set", "damping", "abc"}, "damping \"abc\" is not a number"},
      {{"set", "damping", ""}, "damping \"\" is not a number"},
      {{"set", "damping", "  "}, "is not a number"},
      {{"set", "range", "", "50"}, "upper range \"\" is not a number"},
      {{"set", "range", "50", " "}, "lower range"},
      {{"set", "damping", "0x10"}, "is not a number"},
      {{"set", "serial-number", "0x10"}, "is not a whole number from 0 to 16777215"},
      {{"set", "serial-number", "16777216"}, "is not a whole number from 0 to 16777215\n"},
      {{"set", "final-assembly", ""}, "is not a whole number from 0 to 16777215"},
      {{"set", "polling-address", "16"}, "is not a whole number from 0 to 15\n"},
      {{"set", "burnout", "SIDEWAYS"}, "unknown burnout"},
  };
  for (const auto& c : cases) {
    for (const std::string& port : {sim_->FirstLine(), std::string("/dev/va5vivi-no-such-port")}) {
      std::vector<std::string> args{"--port", port};
      args.insert(args.end(), c.args.begin(), c.args.end());
      const auto r = Cli(args);
      EXPECT_EQ(r.status, 3) << c.args[1] << " on " << port << ": " << r.err;
      EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
    }
  }
}

TEST_F(CliTest, OutputThatCannotBeWrittenIsAFailure) {
  StartSim();
  const std::vector<std::string> upload{VA5VIVI_CLI, "--port", sim_->FirstLine(), "upload"};
  auto r = RunProcess(upload, std::chrono::seconds(60), test::Output::DevFull);
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_NE(r.err.find("va5vivi-cli: write error: No space left on device"), std::string::npos)
      << r.err;

  r = RunProcess(upload, std::chrono::seconds(60), test::Output::Closed);
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_NE(r.err.find("va5vivi-cli: write error"), std::string::npos) << r.err;

  // Monitoring without a count stops at the first line that cannot be written instead of
  // polling on unseen.
  r = RunProcess({VA5VIVI_CLI, "--port", sim_->FirstLine(), "monitor"}, std::chrono::seconds(30),
                 test::Output::DevFull);
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_NE(r.err.find("va5vivi-cli: write error"), std::string::npos) << r.err;
}

TEST_F(CliTest, FixedCurrentFixesTheOutputAndZeroLeavesTheFixedMode) {
  constexpr int CurrentFixed = 0x08;
  StartSim();
  auto r = OnSim({"fixed-current", "12"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Loop current: 12.000 mA\n");
  EXPECT_EQ(PolledStatus() & CurrentFixed, CurrentFixed);
  r = OnSim({"--trace", "fixed-current", "0"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find(",28,04,00,00,00,00,"), std::string::npos) << r.err;  // 40 with 0.0
  EXPECT_EQ(PolledStatus() & CurrentFixed, 0);

  // Outside 3.8 ... 21.6 mA nothing is sent: the port is not even opened.
  for (const char* current : {"25", "3.79", "abc"}) {
    r = OnSim({"--trace", "fixed-current", current});
    EXPECT_EQ(r.status, 3) << current << ": " << r.err;
    EXPECT_NE(r.err.find("output current \"" + std::string(current) + "\""), std::string::npos)
        << r.err;
    EXPECT_TRUE(SentCommands(r.err).empty()) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
  }
}

TEST_F(CliTest, SelfTestPrintsTheSixEepromStates) {
  StartSim();
  const auto r = OnSim({"--trace", "selftest"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto commands = SentCommands(r.err);
  ASSERT_GE(commands.size(), 2u);
  EXPECT_EQ((std::vector<int>{commands.end() - 2, commands.end()}), (std::vector<int>{41, 48}));
  EXPECT_EQ(Lines(r.out), (std::vector<std::string>{
                              "EEPROM SUM Error (Basic Part): ok",
                              "EEPROM SUM Error (Custom TC Part): ok",
                              "EEPROM SUM Error (Custom RTD Part): ok",
                              "EEPROM SUM Error (Special Curve Part): ok",
                              "EEPROM SUM Error (Summary): ok",
                              "EEPROM Hardware Error: ok",
                          }));
  const auto status = OnSim({"status"});
  ASSERT_EQ(status.status, 0) << status.err;
  EXPECT_EQ(status.out, r.out);
}

TEST_F(CliTest, SensorTrimValueOutsideTheSensorLimitsIsNotSent) {
  StartSim();
  // Pt100: -200 ... 850 degC.
  auto r = OnSim({"--trace", "sensor-trim", "zero", "850.5"});
  EXPECT_EQ(r.status, 3) << r.err;
  EXPECT_NE(r.err.find("calibration value \"850.5\" is not a number from -200.000 to 850.000"),
            std::string::npos)
      << r.err;
  EXPECT_TRUE(Contains(SentCommands(r.err), 14)) << r.err;  // the limits were read
  EXPECT_FALSE(Contains(SentCommands(r.err), 141)) << r.err;
  EXPECT_TRUE(r.out.empty()) << r.out;

  r = OnSim({"--trace", "sensor-trim", "zero", "12.5"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Contains(SentCommands(r.err), 141)) << r.err;
  EXPECT_NE(r.out.find(", zero value 12.5000 degC, gain 1.0000\n"), std::string::npos) << r.out;
  r = OnSim({"sensor-trim", "clear"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Sensor trim: zero point 0.0000 degC, zero value 0.0000 degC, gain 1.0000\n");
}

TEST_F(CliTest, RefusedWriteExitsWithOneAndNamesTheResponseCode) {
  // A warning is refused as an error is; the message says which it was.
  StartSim({"--fault", "rc:34:7", "--fault", "rc:35:8"});
  auto r = OnSim({"set", "damping", "2"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("damping: the device refused the request (response code 7: the device is "
                       "in write-protect mode)"),
            std::string::npos)
      << r.err;
  r = OnSim({"set", "range", "100", "0"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("(response code 8: warning: update failure)"), std::string::npos) << r.err;
}

TEST_F(CliTest, ACommunicationErrorIsNamedByItsBitsNotAsAResponseCode) {
  StartSim({"--fault", "comm-error:0x10"});
  const auto r = OnSim({"identify"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(r.err,
            "va5vivi-cli: identify: the device did not take the request (communication "
            "error: framing error)\n");
}

TEST_F(CliTest, SelfTestWhoseStatusReadIsRefusedSaysTheStatusRead) {
  StartSim({"--fault", "rc:48:32"});
  const auto r = OnSim({"selftest"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(r.err,
            "va5vivi-cli: status read after the self test: the device refused the request "
            "(response code 32: the device is busy)\n");
}

// A refused entry is echoed cut to 40 bytes (whole characters); a warning that the upload
// check then refuses is printed once; --help tells that a write is retried even with
// --retries 0.
TEST_F(CliTest, MessagesEchoLongEntriesCutAndAWarningOnce) {
  StartSim();
  const std::string accented = "a" + [] {
    std::string e;
    for (int i = 0; i < 30; ++i) e += "\xC3\xA9";
    return e;
  }();
  std::string nineteen;
  for (int i = 0; i < 19; ++i) nineteen += "\xC3\xA9";
  struct Case {
    std::string entry, shown;
  } cases[] = {
      {std::string(100000, 'x'), std::string(40, 'x') + "..."},
      {accented, "a" + nineteen + "..."},
      {std::string(43, '7') + "x", std::string(40, '7') + "..."},
      {std::string(42, 'x') + "y", std::string(42, 'x') + "y"},  // not worth cutting
  };
  for (const Case& c : cases) {
    const auto r = OnSim({"set", "damping", c.entry});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "va5vivi-cli: damping \"" + c.shown +
                         "\" is not a number from 0.500 to 30.000 (or 0)\n");
  }

  const std::string path =
      ::testing::TempDir() + "va5vivi-tc-step-" + std::to_string(::getpid()) + ".txt";
  { std::ofstream(path) << "Minimum TC Temperature = 0\nStep = 100\n{\n0\n4.096\n8.138\n}\n"; }
  const auto r = OnSim({"--trace", "table", "write", "tc", path, "--accept-warnings"});
  std::remove(path.c_str());
  EXPECT_EQ(r.status, 3);
  const std::string step = "The temperature step 100 is not valid";
  const auto first = r.err.find(step);
  ASSERT_NE(first, std::string::npos) << r.err;
  EXPECT_EQ(r.err.find(step, first + 1), std::string::npos) << r.err;
  EXPECT_TRUE(SentCommands(r.err).empty()) << r.err;

  EXPECT_NE(Cli({"--help"}).out.find("even --retries 0 repeats a write once"), std::string::npos);
}

TEST_F(CliTest, BadUsageExitsWithThree) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                               {"identify"},
                                               {"--port"},
                                               {"--port", "x", "frobnicate"},
                                               {"--port", "x", "--address", "16", "identify"},
                                               {"--port", "x", "set", "colour", "red"},
                                               {"--port", "x", "monitor", "--count", "0"},
                                               {"--bogus", "ports"},
                                               {"--port", "x", "identify", "extra"},
                                               {"--port", "x", "selftest", "now"},
                                               {"--port", "x", "fixed-current"},
                                               {"--port", "x", "sensor-trim", "zero"},
                                               {"--port", "x", "sensor-trim", "read", "1"}}) {
    const auto r = Cli(args);
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.err.find("usage:"), std::string::npos);
  }
}

// The commands --help lists are the ones the tool runs: each is known (refused here for its
// own reason, without a port or values), and only search refuses --record.
TEST_F(CliTest, EveryCommandTheHelpListsIsDispatched) {
  const auto help = Cli({"--help"});
  ASSERT_EQ(help.status, 0);
  std::vector<std::string> listed = {"ports"};  // in the usage lines
  bool inList = false;
  for (const std::string& line : Lines(help.out)) {
    if (line == "commands:") inList = true;
    if (line.rfind("exit status:", 0) == 0) inList = false;
    if (!inList || line.size() < 3 || line.rfind("  ", 0) != 0 || line[2] == ' ') continue;
    const std::string name = line.substr(2, line.find(' ', 2) - 2);
    if (std::find(listed.begin(), listed.end(), name) == listed.end()) listed.push_back(name);
  }
  EXPECT_EQ(listed, (std::vector<std::string>{"ports", "report", "identify", "search", "upload",
                                              "monitor", "set", "fixed-current", "selftest",
                                              "status", "sensor-trim", "config", "table"}));
  const std::string job = ::testing::TempDir() + "va5vivi-cli-dispatch.json";
  for (const std::string& name : listed) {
    const auto r = name == "ports" ? Cli({"ports", "extra"}) : Cli({name});
    EXPECT_EQ(r.status, 3) << name << ": " << r.err;
    EXPECT_EQ(r.err.find("unknown command"), std::string::npos) << name << ": " << r.err;
    const auto recorded = Cli({"--record", job, name});
    const bool refused =
        recorded.err.find("--record does not go with " + name) != std::string::npos;
    EXPECT_EQ(refused, name == "search") << name << ": " << recorded.err;
  }
  const auto unknown = Cli({"frobnicate"});
  EXPECT_EQ(unknown.status, 3);
  EXPECT_NE(unknown.err.find("unknown command frobnicate"), std::string::npos) << unknown.err;
  EXPECT_FALSE(std::filesystem::exists(job));
}

TEST_F(CliTest, MissingPortIsALinkFailure) {
  const auto r = Cli({"--port", "/dev/va5vivi-no-such-port", "identify"});
  EXPECT_EQ(r.status, 2) << r.err;
  // Which port and why, not only that it failed.
  EXPECT_NE(r.err.find("open: Port /dev/va5vivi-no-such-port does not exist"), std::string::npos)
      << r.err;
}

TEST_F(CliTest, PortsListsARegisteredSimulatorAndItsNameOpensIt) {
  const std::string name = "CLITEST" + std::to_string(::getpid());
  const std::string path = StartSim({"--name", name});
  auto r = Cli({"ports"});
  ASSERT_EQ(r.status, 0);
  EXPECT_NE(r.out.find(name + "\t" + path + "\tSimulated transmitter (" + name + ")\n"),
            std::string::npos)
      << r.out;
  r = Cli({"--port", name, "identify"});
  EXPECT_EQ(r.status, 0) << r.err;
  sim_.reset();
  r = Cli({"ports"});
  EXPECT_EQ(r.out.find(name), std::string::npos) << r.out;
}

// A configuration file read from the device compares equal; edited, it differs (exit 4) until
// it is downloaded. A file that cannot be read sends nothing.
TEST_F(CliTest, ConfigCompareAndDownloadAFile) {
  StartSim();
  const std::string path =
      ::testing::TempDir() + "va5vivi-config-" + std::to_string(::getpid()) + ".txt";
  auto r = OnSim({"upload"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::string text = r.out;
  {
    std::ofstream(path) << text;
  }
  r = OnSim({"config", "compare", path});
  EXPECT_EQ(r.status, 0) << r.out << r.err;

  const auto replace = [&](const std::string& key, const std::string& value) {
    const auto at = text.find(key);
    ASSERT_NE(at, std::string::npos) << key;
    text.replace(at + 26, text.find('\n', at) - at - 26, value);
  };
  replace("Tag ", "TT-9");
  replace("PV Damping", "4.500 Sec");
  {
    std::ofstream(path) << text;
  }
  r = OnSim({"config", "compare", path});
  EXPECT_EQ(r.status, 4) << r.err;
  EXPECT_EQ(r.out,
            "Tag: file \"TT-9\", device \"TT-101\"\n"
            "PV Damping: file \"4.500\", device \"2.000\"\n"
            "2 rows differ.\n");

  r = OnSim({"--trace", "config", "download", path});
  EXPECT_EQ(r.status, 0) << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 15u) << r.out;
  EXPECT_EQ(lines[1].rfind("tag group: written: TT-9 (date ", 0), 0u) << lines[1];
  EXPECT_EQ(lines[6], "damping: written: 4.500 s");
  EXPECT_EQ(lines[12], "final-assembly: written: 100234");
  const auto sent = SentCommands(r.err);
  for (int command : {18, 17, 131, 44, 35, 34, 135, 47, 142, 133, 49, 19}) {
    EXPECT_TRUE(Contains(sent, command)) << command;
  }
  r = OnSim({"config", "compare", path});
  EXPECT_EQ(r.status, 0) << r.out << r.err;

  r = OnSim({"--trace", "config", "download", path + ".absent"});
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("cannot open"), std::string::npos) << r.err;
  EXPECT_TRUE(SentCommands(r.err).empty());
  std::remove(path.c_str());
}

TEST_F(CliTest, TableWriteAsksThroughItsExitStatusAndReadWritesTheFile) {
  StartSim();
  const std::string path =
      ::testing::TempDir() + "va5vivi-curve-" + std::to_string(::getpid()) + ".txt";
  { std::ofstream(path, std::ios::binary) << "{\r\n0,0\r\n0,10\r\n100,100\r\n}\r\n"; }
  // Equal X values are a question: without --accept-warnings nothing is sent.
  auto r = OnSim({"--trace", "table", "write", "sc", path});
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("is not greater than"), std::string::npos) << r.err;
  EXPECT_TRUE(SentCommands(r.err).empty());

  r = OnSim({"--trace", "table", "write", "sc", path, "--accept-warnings"});
  ASSERT_EQ(r.status, 0) << r.err;
  auto sent = SentCommands(r.err);
  const auto from = std::find(sent.begin(), sent.end(), 189);
  ASSERT_NE(from, sent.end());
  EXPECT_EQ((std::vector<int>(from, sent.end())), (std::vector<int>{189, 191, 191, 191, 191, 188}));
  EXPECT_NE(r.err.find("writing: 100 %"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "Linearize: Configured, 3 points\n");

  r = OnSim({"table", "read", "sc", path});
  ASSERT_EQ(r.status, 0) << r.err;
  std::ifstream in(path, std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), {}};
  EXPECT_NE(text.find("\r\n{\r\n0.000000,0.000000\r\n0.000000,10.000000\r\n"
                      "100.000000,100.000000\r\n}\r\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(OnSim({"table", "read", "tc"}).status, 3);
  std::remove(path.c_str());
}

// A transfer that ends part-way says what the device holds. A download row whose reply is
// lost (the device stopped while it answered) is not confirmed, never "not written"; SIGINT
// during a table write ends it once the point in flight is answered, and the report names the
// points the device confirmed.
TEST_F(CliTest, ATransferEndedPartWaySaysWhatTheDeviceHolds) {
  StartSim({"--realtime"});
  const std::string path =
      ::testing::TempDir() + "va5vivi-partial-" + std::to_string(::getpid()) + ".txt";
  auto r = OnSim({"upload"});
  ASSERT_EQ(r.status, 0) << r.err;
  { std::ofstream(path) << r.out; }
  const pid_t sim = sim_->Pid();
  bool stopped = false;
  r = RunProcess({VA5VIVI_CLI, "--port", sim_->FirstLine(), "--retries", "0", "--trace", "config",
                  "download", path},
                 std::chrono::seconds(60), test::Output::Collected,
                 [&](pid_t, const ProcessResult& sofar) {
                   if (!stopped && Contains(SentCommands(sofar.err), 44)) {
                     stopped = ::kill(sim, SIGSTOP) == 0;
                   }
                 });
  ::kill(sim, SIGCONT);
  ASSERT_TRUE(stopped) << r.err;
  EXPECT_EQ(r.status, 2) << r.out << r.err;
  const auto rows = Lines(r.out);
  ASSERT_EQ(rows.size(), 13u) << r.out;
  EXPECT_EQ(rows[4].rfind("pv-unit: not confirmed: the device may have taken it: ", 0), 0u)
      << rows[4];
  EXPECT_EQ(rows[5], "range: not written");
  EXPECT_NE(r.err.find("va5vivi-cli: The download stopped part-way: of the 12 rows, 3 were "
                       "written, 1 not confirmed (the device may have taken them), 0 failed and "
                       "8 not reached; the device holds the rows written.\n"),
            std::string::npos)
      << r.err;

  StartSim();
  std::string table = "Minimum RTD Temperature = -20\nStep = 10\n{\n";
  for (int i = 0; i < 60; ++i) table += std::to_string(100 + i) + "\n";
  { std::ofstream(path) << table + "}\n"; }
  bool interrupted = false;
  r = RunProcess(
      {VA5VIVI_CLI, "--port", sim_->FirstLine(), "--trace", "table", "write", "rtd", path},
      std::chrono::seconds(60), test::Output::Collected,
      [&](pid_t cli, const ProcessResult& sofar) {
        const auto sent = SentCommands(sofar.err);
        if (!interrupted && std::count(sent.begin(), sent.end(), 187) >= 5) {
          interrupted = ::kill(cli, SIGINT) == 0;
        }
      });
  ASSERT_TRUE(interrupted);
  EXPECT_EQ(r.status, 2) << r.err;
  const auto sent = SentCommands(r.err);
  const auto points = std::count(sent.begin(), sent.end(), 187);
  EXPECT_LT(points, 60);
  EXPECT_EQ(sent.back(), 187);  // no end marker, no header read after the stop
  EXPECT_NE(r.err.find("va5vivi-cli: write the custom RTD table: stopped by the technician\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("va5vivi-cli: The device holds a partly written table: points 1 to " +
                       std::to_string(points) +
                       " of 60 were written; write the table again or restore it.\n"),
            std::string::npos)
      << r.err;
  std::remove(path.c_str());
}

// Files are judged before the device is contacted: an unusable table or capture file, a
// capture over the command's own file, a file that is no configuration file and a table with
// more points than the table holds send nothing.
TEST_F(CliTest, FilesAreJudgedBeforeAnythingIsSent) {
  StartSim();
  const std::string dir = ::testing::TempDir() + "va5vivi-files-" + std::to_string(::getpid());
  ASSERT_EQ(::mkdir(dir.c_str(), 0700), 0);
  const std::string fifo = dir + "/fifo", readOnly = dir + "/read-only.txt";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  { std::ofstream(readOnly) << "kept"; }
  ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
  const std::string curve = dir + "/curve.txt", config = dir + "/config.txt";
  {
    std::ofstream out(curve);
    out << "{\n";
    for (int i = 0; i < 129; ++i) out << i * 0.5 << "," << i * 0.5 << "\n";
    out << "}\n";
  }
  { std::ofstream(config) << ""; }
  struct Row {
    std::vector<std::string> args;
    int status;
    std::string error;
  } rows[] = {
      {{"table", "read", "sc", "/dev/full"}, 2, "cannot write /dev/full: it is a device"},
      {{"table", "read", "rtd", fifo}, 2, "cannot write " + fifo + ": it is a pipe"},
      {{"table", "read", "tc", readOnly},
       2,
       "cannot write " + readOnly + ": the file is read-only"},
      {{"table", "read", "tc", dir + "/no/t.txt"}, 2, "cannot write " + dir + "/no/t.txt"},
      {{"--capture", "/dev/full", "identify"}, 2, "cannot write /dev/full: it is a device"},
      {{"--capture", dir + "/../" + dir.substr(dir.rfind('/') + 1) + "/curve.txt", "table", "write",
        "sc", curve},
       3,
       "names the table file"},
      {{"--capture", config, "config", "compare", config}, 3, "names the configuration file"},
      {{"config", "compare", config}, 3, config + " is not a configuration file"},
      {{"config", "download", curve}, 3, curve + " is not a configuration file"},
      {{"table", "write", "sc", curve}, 3, "more than 128 points"},
  };
  for (Row& row : rows) {
    row.args.insert(row.args.begin(), "--trace");
    const auto r = OnSim(row.args);
    EXPECT_EQ(r.status, row.status) << row.args.back() << "\n" << r.err;
    EXPECT_NE(r.err.find(row.error), std::string::npos) << r.err;
    EXPECT_TRUE(SentCommands(r.err).empty()) << r.err;
  }
  struct stat st {};
  ASSERT_EQ(::stat("/dev/full", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  std::ifstream in(readOnly);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "kept");
  EXPECT_EQ(std::filesystem::file_size(config), 0u);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace va5
