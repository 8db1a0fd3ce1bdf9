#include "cli/ConfigCommands.h"

#include <algorithm>
#include <iostream>

#include "cli/ExitStatus.h"
#include "cli/Interrupt.h"
#include "cli/Reach.h"
#include "device/GlobalFile.h"
#include "offline/FilePropertyReadWrite.h"
#include "session/ConfigOperations.h"
#include "session/TransferReport.h"

namespace va5::cli {

namespace {

int Fail(const std::string& text, int status) {
  std::cerr << "va5vivi-cli: " << text << "\n";
  return status;
}

void PrintRow(session::ConfigRow row, const session::ConfigRowOutcome& outcome) {
  using State = session::ConfigRowOutcome::State;
  std::cout << session::NameOf(row) << ": ";
  switch (outcome.state) {
    case State::Written:
      std::cout << "written: " << outcome.value << "\n";
      break;
    case State::Failed:
      // A write whose reply was lost is no write that failed.
      std::cout << (outcome.notConfirmed ? "not confirmed: the device may have taken it: "
                                         : "not written: ")
                << (outcome.reason ? outcome.reason->text : "") << "\n";
      break;
    case State::NotWritten:
      std::cout << "not written\n";
      break;
  }
  std::cout.flush();
}

int Download(session::Session& device, const CglobalFile& tables,
             const ConfigurationValues& values) {
  std::cout << "Model: " << device.Record().modelName << "\n";
  session::ConfigDownload download(device, tables, values);
  download.OnRowDone(PrintRow);
  CatchInterrupts();
  const session::OperationOutcome& outcome =
      session::PerformDownload(device, download, &interrupted);
  // Once the model was accepted, every row of the file is accounted for.
  const auto& rows = download.Rows();
  const bool anyRow = std::any_of(rows.begin(), rows.end(), [](const auto& r) {
    return r.state != session::ConfigRowOutcome::State::NotWritten;
  });
  for (std::size_t i = 0; anyRow && i < rows.size(); ++i) {
    if (rows[i].state == session::ConfigRowOutcome::State::NotWritten) {
      PrintRow(static_cast<session::ConfigRow>(i), rows[i]);
    }
  }
  if (download.Refreshed()) std::cout << "Read back from the device.\n";
  if (outcome.reason) {
    const int status = Fail(outcome.reason->text, ExitStatusOf(*outcome.reason));
    if (auto held = session::PartialDownload(download)) Fail(held->text, status);
    return status;
  }
  std::cout << "The device holds the configuration of the file.\n";
  return ExitOk;
}

int Compare(session::Session& device, const CglobalFile& tables,
            const ConfigurationValues& values) {
  const auto uploaded = device.Perform(session::ConfigUploadChain());
  if (uploaded.reason) return Fail(uploaded.reason->text, ExitStatusOf(*uploaded.reason));
  const auto differences = session::CompareConfigurations(
      values, ConfigurationValuesFromDevice(device.Record(), tables));
  for (const auto& d : differences) {
    std::cout << d.key << ": file \"" << d.fileValue << "\", device \"" << d.deviceValue << "\"\n";
  }
  if (differences.empty()) {
    std::cout << "The device holds the configuration of the file.\n";
    return ExitOk;
  }
  std::cout << differences.size() << (differences.size() == 1 ? " row differs" : " rows differ")
            << ".\n";
  return ExitDifferent;
}

}  // namespace

std::string ConfigUsageProblem(const std::vector<std::string>& args) {
  if (args.size() != 2 || (args[0] != "download" && args[0] != "compare")) {
    return "config takes download FILE or compare FILE";
  }
  return {};
}

int RunConfigCommand(const session::SessionOptions& options, const std::string& action,
                     const std::string& path, bool (*outputOpen)(), int (*writeError)()) {
  CFilePropertyReadWrite file;
  if (!file.Read(path)) {
    return Fail(file.LastError().empty() ? "cannot open " + path : file.LastError(), ExitUsage);
  }
  const ConfigurationValues values = ConfigurationValuesFromRecord(file.Record());
  if (!outputOpen()) return writeError();

  session::Connection link(options, session::Connection::Goal::Identify);
  if (int status = ReachDevice(link); status != ExitOk) return status;
  session::Session& device = link.GetSession();
  const CglobalFile tables;
  return action == "download" ? Download(device, tables, values) : Compare(device, tables, values);
}

}  // namespace va5::cli
