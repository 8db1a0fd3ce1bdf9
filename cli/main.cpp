// va5vivi-cli: the transaction engine without windows, for scripts and production lines.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// (after windows.h, which it builds on)
#include <shellapi.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "base/AtomicFile.h"
#include "base/Utf8Path.h"
#include "cli/ConfigCommands.h"
#include "cli/ExitStatus.h"
#include "cli/Interrupt.h"
#include "cli/Reach.h"
#include "comm/PortSources.h"
#include "comm/RequestTypes.h"
#include "comm/ResultTexts.h"
#include "comm/TrafficCapture.h"
#include "device/GlobalFile.h"
#include "lang/EntryRules.h"
#include "offline/FilePropertyReadWrite.h"
#include "session/Connection.h"
#include "session/JobRecorder.h"
#include "session/Operations.h"
#include "session/Session.h"
#include "session/Setting.h"
#include "session/TableOperations.h"
#include "session/TransferReport.h"
#include "tables/FileOperations.h"

namespace va5::cli {
namespace {

using session::Session;
using Goal = session::Connection::Goal;
using session::SessionOptions;

int outputError = 0;  // errno of the first failed write to standard output
std::unique_ptr<TrafficCapture> capture;  // --capture: the frames, put in place at the end

// --record: the job record file, and the job kept across the command's sessions.
struct RecordedJob {
  std::string path;
  session::JobRecorder recorder;
  SessionOptions options;  // of the command, for reading the configuration as left
  bool begun = false;
};
std::unique_ptr<RecordedJob> job;

// The usage text before the list of commands, and after it; the list is the command table's.
const char* const UsageHead =
    "usage: va5vivi-cli ports\n"
    "       va5vivi-cli report FILE.json\n"
    "       va5vivi-cli --port P [--address N] [--retries K] [--trace] [--capture FILE]\n"
    "                   [--record FILE.json] COMMAND\n"
    "options:\n"
    "  --address N              the device's polling address, 0 to 15 (0)\n"
    "  --retries K              how often a request whose exchange failed (after its four\n"
    "                           attempts) is sent again before giving up, 0 to 1000 (1); the\n"
    "                           first failure of a write is always sent again once more, so\n"
    "                           even --retries 0 repeats a write once\n"
    "  --trace                  print the frames sent and received on standard error\n"
    "  --capture FILE           also save every frame sent and received in FILE as a HART-IP\n"
    "                           capture (pcap) that Wireshark and tshark decode; FILE is\n"
    "                           replaced when the command ends, and left as it was when\n"
    "                           nothing was sent; a capture that cannot be written is\n"
    "                           reported and turns exit status 0 into 2\n"
    "  --record FILE.json       keep a job record: the configuration as found, every write\n"
    "                           with the value before, asked and answered, trims, currents,\n"
    "                           self tests and tables, and the configuration as left; an\n"
    "                           existing FILE of the same device is added to, another\n"
    "                           device's is refused (exit 3) before anything is sent\n"
    "commands:\n";
const char* const UsageTail =
    "exit status: 0 done, 1 refused by the device, 2 no answer or no device (or the output\n"
    "             or the capture could not be written), 3 bad usage or a value outside its limits (nothing\n"
    "             is written then)\n"
    "             files: a table or capture file that cannot be written (a missing folder, a\n"
    "             read-only file, a device or a folder) is refused with 2, and a capture that\n"
    "             names the command's own file with 3, before anything is sent\n"
    "             config: a file that cannot be read exits 3 and sends nothing; a value\n"
    "             that fails its check stops config download with 3 after the rows before\n"
    "             it; config compare exits 4 when the device differs from the file\n";

// How much of a value the user gave a message echoes: a value of a megabyte is not printed.
constexpr std::size_t ShownValueLength = 40;

// `value` as a message echoes it: its first ShownValueLength bytes (never half a UTF-8
// character), then "...", when it is longer.
std::string Shown(const std::string& value) {
  if (value.size() <= ShownValueLength + 3) return value;
  std::size_t cut = ShownValueLength;
  while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) --cut;
  return value.substr(0, cut) + "...";
}

// A message's text with each long value of its inserts (entries, values of a file) cut as
// Shown cuts it.
std::string WithValuesCut(std::string text, const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    const std::string cut = Shown(arg);
    if (cut.size() == arg.size()) continue;
    for (auto at = text.find(arg); at != std::string::npos; at = text.find(arg, at + cut.size())) {
      text.replace(at, arg.size(), cut);
    }
  }
  return text;
}

void PrintError(const std::string& text, const std::vector<std::string>& args = {}) {
  std::cerr << "va5vivi-cli: " << WithValuesCut(text, args) << "\n";
}

std::string UsageText();

int UsageError(const std::string& reason) {
  std::cerr << "va5vivi-cli: " << reason << "\n" << UsageText();
  return ExitUsage;
}

bool ParseCount(const std::string& text, int low, int high, int& out) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  out = std::stoi(text);
  return out >= low && out <= high;
}

void TraceToStderr(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

// Pushes what is buffered for standard output out; true once any write to it has failed.
bool OutputFailed() {
  if (std::fflush(stdout) != 0 && outputError == 0) outputError = errno;
  return std::ferror(stdout) != 0 || !std::cout.good();
}

// Standard output must be open before the tool acts on a device: a result that cannot be
// printed must not be a silent success, and a closed descriptor would be handed to the port.
bool OutputOpen() {
#ifndef _WIN32
  if (::fcntl(STDOUT_FILENO, F_GETFL) == -1) {
    outputError = errno;
    return false;
  }
#endif
  return true;
}

int WriteError() {
  std::cerr << "va5vivi-cli: write error";
  if (outputError != 0) std::cerr << ": " << std::strerror(outputError);
  std::cerr << "\n";
  return ExitLinkFailed;
}

// Puts the capture in place once the link has stopped. A capture that could not be written
// turns a success into a failure.
int FinishCapture(int status) {
  if (!capture) return status;
  std::unique_ptr<TrafficCapture> done = std::move(capture);
  if (done->Packets() == 0) return status;  // nothing sent: an older capture stays
  if (auto error = done->Finish()) {
    std::cerr << "va5vivi-cli: " << *error << "\n";
    return status == ExitOk ? ExitLinkFailed : status;
  }
  return status;
}

// Flushes and closes standard output. Output that did not reach it (a full disk, a closed
// descriptor) turns a success into a failure.
int FinishOutput(int status) {
  bool failed = OutputFailed();
  errno = 0;
  if (std::fclose(stdout) != 0) {
    if (outputError == 0) outputError = errno;
    failed = true;
  }
  if (!failed) return status;
  const int writeStatus = WriteError();
  return status == ExitOk ? writeStatus : status;
}

int ListPorts() {
  for (const PortRecord& p : MergePorts(PlatformPortSources())) {
    std::cout << p.portName << "\t" << p.openName << "\t" << p.description << "\n";
  }
  return ExitOk;
}

void PrintIdentity(const DeviceRecord& r) {
  std::cout << "Manufacturer:          " << r.manufacturerName << "\n"
            << "Model:                 " << r.modelName << "\n"
            << "Device ID:             " << r.deviceIdText << "\n"
            << "Polling address:       " << r.pollingAddress << "\n"
            << "Preambles:             " << r.preamblesText << "\n"
            << "Universal revision:    " << r.universalRevisionText << "\n"
            << "Specific revision:     " << r.specificRevisionText << "\n"
            << "Hardware revision:     " << r.hardwareRevisionText << "\n"
            << "Software revision:     " << r.softwareRevisionText << "\n";
}

// Prints why the command did not do what was asked. An entry that was refused is echoed cut
// short; the names of ports and files never are.
int Refuse(const session::Reason& reason) {
  const bool entry = reason.Class() == session::ReasonClass::Entry;
  PrintError(reason.text, entry ? reason.args : std::vector<std::string>{});
  return ExitStatusOf(reason);
}

// Prints what the device holds after an operation, or why it did not do what was asked.
int PrintOutcome(const session::OperationOutcome& outcome, const char* heading) {
  if (outcome.reason) return Refuse(*outcome.reason);
  std::cout << heading << outcome.value << "\n";
  return ExitOk;
}

// The values of a device operation, read before the port is opened.
struct OperationEntry {
  std::string currentText;                            // fixed-current: the current to send
  std::optional<session::SensorTrimPoint> trimPoint;  // sensor-trim; nothing: read
  std::string trimText;                               // zero, span: as typed
};

// A fixed current, or 0 to leave the fixed mode.
std::optional<session::Reason> ReadFixedCurrent(const std::string& text, std::string& valueText) {
  if (ParseEntryNumber(text) == 0.0) {
    valueText = session::LeaveFixedCurrentText;
    return std::nullopt;
  }
  return session::CheckFixedCurrent(text, valueText);
}

// sensor-trim read | clear | zero VALUE | span VALUE. The value's limits are the sensor's, so
// only whether it is a number can be told before the device is read.
int ReadSensorTrim(const std::vector<std::string>& rest, OperationEntry& entry) {
  const std::string action = rest.empty() ? "" : rest[0];
  if ((action == "read" || action == "clear") && rest.size() == 1) {
    if (action == "clear") entry.trimPoint = session::SensorTrimPoint::Clear;
    return ExitOk;
  }
  if ((action == "zero" || action == "span") && rest.size() == 2) {
    entry.trimPoint =
        action == "zero" ? session::SensorTrimPoint::Zero : session::SensorTrimPoint::Span;
    entry.trimText = rest[1];
    if (ParseEntryNumber(entry.trimText)) return ExitOk;
    PrintError("calibration value \"" + Shown(entry.trimText) + "\" is not a number");
    return ExitUsage;
  }
  return UsageError("sensor-trim takes read, clear, zero VALUE or span VALUE");
}

// ---- table read | write --------------------------------------------------------------------

std::optional<TableKind> TableKindOfName(const std::string& name) {
  if (name == "rtd") return TableKind::Rtd;
  if (name == "tc") return TableKind::Tc;
  if (name == "sc") return TableKind::Curve;
  return std::nullopt;
}

// The questions of the file reader and the upload checks: a warning with --accept-warnings,
// otherwise the end of the command. `warned` collects the warnings printed.
TableQuestion AnswerQuestions(bool accept, std::vector<std::string>& warned) {
  return [accept, &warned](const TableMessage& m) {
    PrintError((accept ? "warning: " : "") + m.text, m.args);
    if (accept) warned.push_back(m.text);
    return accept;
  };
}

// A table message that ends the command, unless it is a question already printed (its answer
// ended it) or says what a warning before it said.
void PrintTableRefusal(const TableMessage& m, const std::vector<std::string>& warned) {
  if (m.okCancel || std::find(warned.begin(), warned.end(), m.text) != warned.end()) return;
  PrintError(m.text, m.args);
}

// One line rewritten in place; whole lines between the trace's lines.
void ShowProgress(const char* verb, int percent, bool tracing) {
  std::fprintf(stderr, tracing ? "%s: %3d %%\n" : "\r%s: %3d %%", verb, percent);
  std::fflush(stderr);
}

void PrintPoll(Session& device, const CglobalFile& tables, HartResult poll) {
  if (poll != ResultOk) {
    // The device answered but refused (busy, or a communication error it saw): say so and
    // poll on, as the window does.
    const int code = device.TakeLive().responseCode;
    std::printf("Poll refused: %s\n", FirstStatusByteText(code).c_str());
    return;
  }
  const std::uint8_t status = device.DeviceStatus();
  device.WithRecord([&](DeviceRecord& d) {
    const auto unit = [&](int code) {
      const int index = CglobalFile::IndexOfCode(tables.PvUnitCodes(), code);
      return index < 0 ? std::to_string(code)
                       : tables.PvUnitNames()[static_cast<std::size_t>(index)];
    };
    std::printf("PV %s %s  %s %%  Term %s %s  Loop %s mA  Status 0x%02X\n",
                FormatRange(d.pvValue).c_str(), unit(d.pvUnit).c_str(),
                FormatRange(d.percentOfRange).c_str(), FormatRange(d.terminalTemperature).c_str(),
                unit(d.terminalUnit).c_str(), FormatRange(d.loopCurrent).c_str(), status);
  });
}

// Prints each poll until `count` polls were printed (every poll while it is negative), the
// output is gone, or SIGINT / SIGTERM arrives; the link's failures are answered as the
// window answers them, with nobody to ask.
int Monitor(session::Connection& link, int count) {
  CatchInterrupts();
  const CglobalFile tables;
  int printed = 0;
  link.OnPoll([&](HartResult poll) {
    PrintPoll(link.GetSession(), tables, poll);
    // Nobody reads what would follow a failed write.
    if (OutputFailed() || (count >= 0 && ++printed >= count)) link.Close();
  });
  const auto& outcome = link.GetSession().Drive(link, interrupted, [&] { link.Close(); });
  return outcome.reason ? Refuse(*outcome.reason) : ExitOk;
}

int RunTable(const SessionOptions& options, TableKind kind, bool writing, const std::string& path,
             bool acceptWarnings, bool tracing) {
  session::TableUpload upload;
  if (writing) {
    if (!std::ifstream(Utf8Path(path))) {
      PrintError("cannot open " + path);
      return ExitUsage;
    }
    CFileOperations file;
    file.Prepare(kind);
    std::vector<std::string> warned;
    const TableQuestion ask = AnswerQuestions(acceptWarnings, warned);
    const TableReadOutcome read = kind == TableKind::Curve ? file.ReadSpecialCurve(path, ask)
                                                           : file.ReadCustomTable(path, kind, ask);
    if (read.message) {
      // A loaded table with a message was cut to the points the table holds: as doubtful as
      // an answered question.
      if (read.loaded && acceptWarnings) {
        PrintError("warning: " + read.message->text, read.message->args);
      } else {
        PrintTableRefusal(*read.message, warned);
      }
    }
    if (!read.loaded) {
      if (!read.message && !read.abandoned) {
        PrintError(path + " holds no usable " + LimitsOf(kind).typeName + " table");
      }
      return ExitUsage;
    }
    if (read.message && !acceptWarnings) return ExitUsage;
    upload = session::UploadFromFile(file);
    if (auto refused = session::CheckUpload(kind, upload, ask)) {
      PrintTableRefusal(*refused, warned);
      return ExitUsage;
    }
  } else if (auto unwritable = CheckReplaceable(path)) {
    // Said before the device is read, and of the file named, not of a temporary file.
    std::cerr << "va5vivi-cli: " << *unwritable << "\n";
    return ExitLinkFailed;
  }

  if (!OutputOpen()) return WriteError();
  // Writing: the upload's sensor type and transfer function tell whether the device is using
  // the table.
  session::Connection link(options, writing ? Goal::Upload : Goal::Identify);
  if (int status = ReachDevice(link); status != ExitOk) return status;
  Session& device = link.GetSession();
  const char* verb = writing ? "writing" : "reading";
  session::RequestChain chain =
      writing ? session::WriteTableChain(kind, upload) : session::ReadTableChain(kind);
  chain.journal.source = path;
  session::Operation operation(device, std::move(chain));
  if (writing) {
    if (auto busy = session::CheckDeviceTakesTable(kind, device.Record())) {
      PrintError(busy->text, busy->args);
      return ExitRefused;
    }
  }
  CatchInterrupts();
  const auto& outcome = session::PerformTransfer(
      device, operation, kind, writing,
      [verb, tracing](int percent) { ShowProgress(verb, percent, tracing); }, &interrupted);
  if (!tracing) std::cerr << "\n";
  if (outcome.reason) {
    const int status = Refuse(*outcome.reason);
    if (auto held = session::PartialTableWrite(operation)) {
      std::cerr << "va5vivi-cli: " << held->text << "\n";
    }
    return status;
  }
  if (!writing) {
    const DeviceRecord record = device.Record();
    const int size = kind == TableKind::Curve ? record.specialCurveSize : record.customTableSize;
    if (size < TableMinimumPoints || size > LimitsOf(kind).maximumPoints) {
      std::cerr << "va5vivi-cli: the device holds no " << LimitsOf(kind).typeName << " table ("
                << outcome.value << ")\n";
      return ExitRefused;
    }
    if (auto error = session::WriteDeviceCopy(record, kind, path)) {
      std::cerr << "va5vivi-cli: " << *error << "\n";
      return ExitLinkFailed;
    }
  }
  std::cout << LimitsOf(kind).typeName << ": " << outcome.value << "\n";
  return ExitOk;
}

// A capture written over the command's own file would destroy it.
bool CaptureIsFile(const std::string& capturePath, const std::string& file, const char* what) {
  if (capturePath.empty() || !NamesSameFile(capturePath, file)) return false;
  std::cerr << "va5vivi-cli: --capture " << capturePath << " names the " << what << " " << file
            << "\n";
  return true;
}

// --record: the job so far (the file, when it exists), then the device identified and held
// against it before the command sends anything, and its configuration read (as found).
int BeginJob(SessionOptions& options) {
  if (!job) return ExitOk;
  std::error_code ec;
  if (std::filesystem::exists(Utf8Path(job->path), ec)) {
    std::string error;
    auto kept = session::LoadJob(job->path, error);
    if (!kept) {
      std::cerr << "va5vivi-cli: " << error << "\n";
      return ExitUsage;
    }
    job->recorder.Resume(std::move(*kept));
  }
  options.job = &job->recorder;
  session::Connection link(options, Goal::Identify);
  if (int status = ReachDevice(link); status != ExitOk) return status;
  Session& device = link.GetSession();
  if (!job->recorder.Accepts(device.Record())) {
    std::cerr << "va5vivi-cli: " << job->path << " is the job record of device "
              << job->recorder.Job().device.Key() << ", not of the device at " << options.port
              << " (" << session::DeviceKeyOf(device.Record()) << "): nothing was sent\n";
    return ExitUsage;
  }
  if (HartResult r = device.Upload(); r != ResultOk) {
    return Refuse(device.Explain(r, "upload"));
  }
  job->options = options;
  job->begun = true;
  return ExitOk;
}

// Reads the configuration as left and saves the job, whatever the command came to. A job
// that cannot be saved turns a success into a failure.
int FinishJob(int status) {
  if (!job || !job->begun) return status;
  {
    Session device(job->options);
    std::optional<session::Reason> unread;
    if (HartResult r = device.Open(); r != ResultOk) {
      unread = device.Explain(r, "open");
    } else {
      unread = session::CloseJob(device);
    }
    if (unread) std::cerr << "va5vivi-cli: configuration as left not read: " << unread->text << "\n";
  }
  if (auto error = session::SaveJob(job->recorder.Job(), job->path)) {
    std::cerr << "va5vivi-cli: " << *error << "\n";
    return status == ExitOk ? ExitLinkFailed : status;
  }
  return status;
}

int PrintReport(const std::vector<std::string>& rest) {
  if (rest.size() != 1) return UsageError("report takes one job record file");
  std::string error;
  const auto kept = session::LoadJob(rest[0], error);
  if (!kept) {
    std::cerr << "va5vivi-cli: " << error << "\n";
    return ExitUsage;
  }
  std::cout << session::JobText(*kept);
  return ExitOk;
}

// ---- The commands ----------------------------------------------------------------------

// One run of the tool: what the options before the command gave, the command's own values,
// and what a device command read from them before the port is opened.
struct Invocation {
  SessionOptions options;
  bool havePort = false;
  bool acceptWarnings = false;
  bool tracing = false;
  std::string capturePath;
  std::string name;               // the command
  std::vector<std::string> rest;  // its values
  // How far the connection goes before the command runs: the sensor limits, the PV unit and
  // the present PV come with the upload.
  Goal goal = Goal::Identify;
  int count = -1;  // monitor: the polls to print; every poll while negative
  session::SettingCheck setting;
  OperationEntry operation;
};

// A command that reaches no device, or reaches it its own way: runs the whole command.
using RunCommand = int (*)(Invocation&);
// A device command: checks the values before the port is opened (ExitOk, or the exit status
// after the message), then runs on the device reached.
using CheckValues = int (*)(Invocation&);
using OnDevice = int (*)(Invocation&, session::Connection&);

int RunPorts(Invocation& run) {
  if (!run.rest.empty()) return UsageError("ports takes no values");
  return OutputOpen() ? ListPorts() : WriteError();
}

int RunReport(Invocation& run) { return OutputOpen() ? PrintReport(run.rest) : WriteError(); }

int RunConfig(Invocation& run) {
  if (const std::string problem = ConfigUsageProblem(run.rest); !problem.empty()) {
    return UsageError(problem);
  }
  if (!run.havePort) return UsageError("config needs --port");
  if (CaptureIsFile(run.capturePath, run.rest[1], "configuration file")) return ExitUsage;
  if (int status = BeginJob(run.options); status != ExitOk) return status;
  return RunConfigCommand(run.options, run.rest[0], run.rest[1], OutputOpen, WriteError);
}

int RunTableCommand(Invocation& run) {
  std::vector<std::string> values;
  for (const std::string& v : run.rest) {
    if (v == "--accept-warnings") {
      run.acceptWarnings = true;
    } else {
      values.push_back(v);
    }
  }
  const auto kind = values.size() == 3 ? TableKindOfName(values[1]) : std::nullopt;
  if (!kind || (values[0] != "read" && values[0] != "write") || values[2].empty()) {
    return UsageError("table takes read or write, then rtd, tc or sc, then a file");
  }
  if (!run.havePort) return UsageError("table needs --port");
  if (CaptureIsFile(run.capturePath, values[2], "table file")) return ExitUsage;
  if (int status = BeginJob(run.options); status != ExitOk) return status;
  return RunTable(run.options, *kind, values[0] == "write", values[2], run.acceptWarnings,
                  run.tracing);
}

int TakesNoValues(Invocation& run) {
  return run.rest.empty() ? ExitOk : UsageError(run.name + " takes no values");
}

int CheckMonitor(Invocation& run) {
  const auto& rest = run.rest;
  if (!rest.empty() &&
      (rest.size() != 2 || rest[0] != "--count" || !ParseCount(rest[1], 1, 100000000, run.count))) {
    return UsageError("monitor takes only --count N (N at least 1)");
  }
  return ExitOk;
}

int CheckSet(Invocation& run) {
  const auto& rest = run.rest;
  if (rest.empty()) return UsageError("set needs a setting name");
  const auto which = session::SettingOfName(rest[0]);
  if (!which) return UsageError("unknown setting " + Shown(rest[0]));
  // Everything the entry alone tells is checked before the port is opened.
  run.setting = session::CheckSetting(CglobalFile{}, *which, {rest.begin() + 1, rest.end()});
  if (run.setting.reason) return Refuse(*run.setting.reason);
  if (session::SettingNeedsUpload(run.setting.entry.setting)) run.goal = Goal::Upload;
  return ExitOk;
}

int CheckFixedCurrent(Invocation& run) {
  if (run.rest.size() != 1) return UsageError("fixed-current takes one current in mA");
  // Its limits are fixed, so a wrong current is refused before the port is opened.
  if (auto reason = ReadFixedCurrent(run.rest[0], run.operation.currentText)) {
    return Refuse(*reason);
  }
  return ExitOk;
}

int CheckSensorTrim(Invocation& run) { return ReadSensorTrim(run.rest, run.operation); }

int Identify(Invocation&, session::Connection& link) {
  link.GetSession().WithRecord([](DeviceRecord& r) { PrintIdentity(r); });
  return ExitOk;
}

int Search(Invocation&, session::Connection& link) {
  std::cout << "Device found at polling address " << link.FoundAddress().value_or(0) << "\n";
  return ExitOk;
}

int Upload(Invocation&, session::Connection& link) {
  const CglobalFile tables;
  CFilePropertyReadWrite file;
  const auto lines = link.GetSession().WithRecord([&](DeviceRecord& r) {
    SetCarriedFromDevice(file.Record(), r);
    return file.BuildLines(ConfigurationValuesFromDevice(r, tables));
  });
  for (const auto& line : lines) std::cout << line << "\n";
  return ExitOk;
}

int MonitorPolls(Invocation& run, session::Connection& link) { return Monitor(link, run.count); }

int Set(Invocation& run, session::Connection& link) {
  const auto outcome = session::WriteSetting(link.GetSession(), CglobalFile{}, run.setting.entry);
  if (outcome.reason) return Refuse(*outcome.reason);
  std::cout << run.rest[0] << " = " << outcome.value << "\n";
  return ExitOk;
}

int FixedCurrent(Invocation& run, session::Connection& link) {
  return PrintOutcome(
      link.GetSession().Perform(session::FixedCurrentChain(run.operation.currentText)),
      "Loop current: ");
}

int SelfTest(Invocation&, session::Connection& link) {
  Session& device = link.GetSession();
  session::OperationOutcome outcome = device.Perform(session::SelfTestChain());
  // The self test ran when only the status read after it failed: say which it was.
  if (outcome.reason && device.LastRequest() == RequestAdditionalStatus) {
    outcome.reason = device.Explain(outcome.result, "status read after the self test");
  }
  return PrintOutcome(outcome, "");
}

int Status(Invocation&, session::Connection& link) {
  return PrintOutcome(link.GetSession().Perform(session::AdditionalStatusChain()), "");
}

int SensorTrim(Invocation& run, session::Connection& link) {
  Session& device = link.GetSession();
  const CglobalFile tables;
  const OperationEntry& operation = run.operation;
  if (!operation.trimPoint) {
    return PrintOutcome(device.Perform(session::ReadSensorTrimChain(tables)), "Sensor trim: ");
  }
  std::string valueText;
  if (*operation.trimPoint != session::SensorTrimPoint::Clear) {
    if (auto reason =
            session::CheckSensorTrimValue(operation.trimText, device.Record(), valueText)) {
      return Refuse(*reason);
    }
  }
  return PrintOutcome(
      device.Perform(session::SensorTrimChain(tables, *operation.trimPoint, valueText)),
      "Sensor trim: ");
}

// One command of the tool. Either `run` runs it whole, or it is a device command: `check`,
// then the connection up to `goal` (which the check may raise), then `onDevice`.
struct Command {
  const char* name;
  const char* help;  // its lines in the usage text's list of commands
  bool takesRecord;  // --record goes with it (a command that reaches no device records nothing)
  RunCommand run = nullptr;
  Goal goal = Goal::Identify;
  CheckValues check = nullptr;
  OnDevice onDevice = nullptr;
};

// Every command, in the order the usage text lists them.
const Command Commands[] = {
    {"report", "  report FILE.json         print a job record as text\n", true, RunReport},
    {"identify", "  identify                 read the device identity\n", true, nullptr,
     Goal::Identify, TakesNoValues, Identify},
    {"search",
     "  search                   find the device from --address upwards (15 wraps to 0)\n", false,
     nullptr, Goal::Search, TakesNoValues, Search},
    {"upload", "  upload                   print the configuration as a configuration file\n", true,
     nullptr, Goal::Upload, TakesNoValues, Upload},
    {"monitor", "  monitor [--count N]      print the process values of each poll\n", true, nullptr,
     Goal::Monitor, CheckMonitor, MonitorPolls},
    {"set",
     "  set NAME VALUE...        write one setting and print what the device returned;\n"
     "                           NAME is damping, range (UPPER LOWER), pv-unit, sensor (TYPE\n"
     "                           [WIRES]), burnout, cjc, transfer-function, term-unit,\n"
     "                           serial-number, final-assembly, tag, descriptor, message or\n"
     "                           polling-address\n",
     true, nullptr, Goal::Identify, CheckSet, Set},
    {"fixed-current",
     "  fixed-current MA         fix the output current at MA (3.8 to 21.6); 0 leaves the\n"
     "                           fixed mode\n",
     true, nullptr, Goal::Identify, CheckFixedCurrent, FixedCurrent},
    {"selftest",
     "  selftest                 run the self test (about 5 s), then print the EEPROM states\n",
     true, nullptr, Goal::Identify, TakesNoValues, SelfTest},
    {"status", "  status                   print the EEPROM states of the additional status\n",
     true, nullptr, Goal::Identify, TakesNoValues, Status},
    {"sensor-trim",
     "  sensor-trim read|clear   print or clear the sensor trim (clearing uses the present PV)\n"
     "  sensor-trim zero|span VALUE\n"
     "                           trim the sensor input at the true VALUE of the reference, in\n"
     "                           the PV unit the device reports, within the sensor limits\n",
     true, nullptr, Goal::Upload, CheckSensorTrim, SensorTrim},
    {"config",
     "  config download FILE     write a configuration file to the device (model TQ5R only):\n"
     "                           tag group, message, sensor, pv-unit, range, damping,\n"
     "                           burnout, transfer-function, term-unit, cjc, serial-number,\n"
     "                           final-assembly in this order, each checked as by set; stops\n"
     "                           at the first empty or refused value (the rows before it stay\n"
     "                           written), then reads the device back\n"
     "  config compare FILE      upload, then list the rows whose values differ from the file\n"
     "                           (file value beside device value)\n",
     true, RunConfig},
    {"table",
     "  table read rtd|tc|sc FILE\n"
     "                           read the custom RTD or TC table or the special curve from the\n"
     "                           device into the table file FILE (replaced only once complete)\n"
     "  table write rtd|tc|sc FILE [--accept-warnings]\n"
     "                           read and check the table file FILE, then write it to the\n"
     "                           device point by point (the device then stores it, 8 s for\n"
     "                           RTD and TC, 1 s for the curve); a doubtful value or step that\n"
     "                           the editor would ask about, or more points than the table\n"
     "                           holds, exits 3 unless --accept-warnings\n",
     true, RunTableCommand},
    // Named in the usage lines above the options.
    {"ports", "", true, RunPorts},
};

std::string UsageText() {
  std::string text = UsageHead;
  for (const Command& command : Commands) text += command.help;
  return text + UsageTail;
}

const Command* FindCommand(const std::string& name) {
  for (const Command& command : Commands) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

// A device command: its values checked before the port is opened, the job begun, the device
// reached, then the command run on it.
int RunOnDevice(const Command& command, Invocation& run) {
  if (!run.havePort) return UsageError(run.name + " needs --port");
  run.goal = command.goal;
  if (int status = command.check(run); status != ExitOk) return status;
  if (!OutputOpen()) return WriteError();
  if (int status = BeginJob(run.options); status != ExitOk) return status;
  session::Connection link(run.options, run.goal);
  // Monitoring drives the connection itself, polling as it goes.
  if (run.goal != Goal::Monitor) {
    if (int status = ReachDevice(link); status != ExitOk) return status;
  }
  return command.onDevice(run, link);
}

int Run(const std::vector<std::string>& args) {
  Invocation run;
  SessionOptions& options = run.options;
  options.retries = 1;
  std::size_t i = 0;
  for (; i < args.size() && args[i].rfind("--", 0) == 0; ++i) {
    const std::string& option = args[i];
    const bool takesValue = option == "--port" || option == "--address" || option == "--retries" ||
                            option == "--capture" || option == "--record";
    if (takesValue && i + 1 >= args.size()) return UsageError(option + " needs a value");
    if (option == "--port") {
      options.port = args[++i];
      run.havePort = !options.port.empty();
    } else if (option == "--address") {
      if (!ParseCount(args[++i], 0, MaxPollingAddress, options.address)) {
        return UsageError("--address takes a polling address from 0 to " +
                          std::to_string(MaxPollingAddress));
      }
    } else if (option == "--retries") {
      if (!ParseCount(args[++i], 0, 1000, options.retries)) {
        return UsageError("--retries takes a count from 0 to 1000");
      }
    } else if (option == "--accept-warnings") {
      run.acceptWarnings = true;
    } else if (option == "--trace") {
      options.trace = TraceToStderr;
      run.tracing = true;
    } else if (option == "--capture") {
      run.capturePath = args[++i];
      if (run.capturePath.empty()) return UsageError("--capture needs a file name");
    } else if (option == "--record") {
      if (args[++i].empty()) return UsageError("--record needs a file name");
      job = std::make_unique<RecordedJob>();
      job->path = args[i];
    } else if (option == "--help") {
      std::cout << UsageText();
      return ExitOk;
    } else {
      return UsageError("unknown option " + Shown(option));
    }
  }
  if (i >= args.size()) return UsageError("no command");
  if (!run.capturePath.empty()) {
    // Created before anything is sent, so that a capture that cannot be written stops the
    // command before it acts on a device.
    capture = std::make_unique<TrafficCapture>(run.capturePath);
    if (!capture->IsOpen()) {
      std::cerr << "va5vivi-cli: " << capture->Error() << "\n";
      capture.reset();
      return ExitLinkFailed;
    }
    options.trace = capture->Sink(run.tracing ? TraceSink(TraceToStderr) : TraceSink());
  }
  run.name = args[i++];
  run.rest.assign(args.begin() + static_cast<long>(i), args.end());

  const Command* command = FindCommand(run.name);
  if (command == nullptr) return UsageError("unknown command " + Shown(run.name));
  if (job && !command->takesRecord) return UsageError("--record does not go with " + run.name);
  return command->run != nullptr ? command->run(run) : RunOnDevice(*command, run);
}

#ifdef _WIN32
// One argument as UTF-8 text.
std::string Utf8Of(const wchar_t* text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string utf8(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
  utf8.pop_back();  // the terminating NUL
  return utf8;
}
#endif

// The arguments after the program's name, as UTF-8 like every name inside the tool. Windows
// hands `argv` over in its 8-bit code page, which has no room for a folder named in Japanese
// on a Western system: there they are taken from the command line's wide text instead.
std::vector<std::string> Arguments(int argc, char** argv) {
#ifdef _WIN32
  int count = 0;
  if (wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) args.push_back(Utf8Of(wide[i]));
    ::LocalFree(wide);
    return args;
  }
#endif
  return std::vector<std::string>(argv + 1, argv + argc);
}

}  // namespace
}  // namespace va5::cli

int main(int argc, char** argv) {
  const std::vector<std::string> args = va5::cli::Arguments(argc, argv);
  // Run returns after the link has stopped: no trace line reaches the capture after it.
  const int status = va5::cli::FinishCapture(va5::cli::FinishJob(va5::cli::Run(args)));
  return va5::cli::FinishOutput(status);
}
