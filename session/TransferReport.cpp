#include "session/TransferReport.h"

#include <cstddef>

namespace va5::session {

namespace {

std::string Whole(std::size_t n) { return std::to_string(n); }

const char* const Again = "; write the table again or restore it.";
const char* const MayHaveTaken = " is not confirmed: the device may have taken it";

}  // namespace

std::optional<HeldReport> PartialTableWrite(const Operation& write) {
  const ChainJournal& journal = write.Chain().journal;
  if (journal.kind != JournalKind::TableWrite || write.GetStatus() != RunStatus::Done ||
      write.Outcome().Succeeded()) {
    return std::nullopt;
  }
  // Steps: the header (0), the points (1 to M), the end marker (M + 1), the header read.
  const auto points = static_cast<std::size_t>(journal.points);
  const std::size_t endedAt = write.EndedAt();
  const bool lost = write.ReplyLost();
  // After a stop every step before EndedAt was confirmed; after a failure, those before it.
  const std::size_t confirmedSteps = endedAt;
  if (endedAt > points + 1 || (!lost && confirmedSteps == 0)) return std::nullopt;
  const std::string m = Whole(points);
  const std::string lead = "The device holds a partly written table: ";
  if (lost && endedAt == 0) {
    return HeldReport{"Err_Table_Header_Not_Confirmed",
                      {m},
                      lead + "its header" + MayHaveTaken + ", and none of its " + m +
                          " points was written" + Again};
  }
  if (lost && endedAt == points + 1) {
    return HeldReport{"Err_Table_End_Not_Confirmed",
                      {m},
                      lead + "points 1 to " + m + " of " + m +
                          " were written, the end of the table" + MayHaveTaken + Again};
  }
  const std::size_t n = confirmedSteps - 1;  // points confirmed
  if (n == 0) {
    return HeldReport{
        "Err_Table_Header_Written",
        {m},
        lead + "its header was written, and none of its " + m + " points was confirmed" + Again};
  }
  if (lost) {
    const std::string k = Whole(n + 1);
    return HeldReport{"Err_Table_Point_Not_Confirmed",
                      {Whole(n), m, k},
                      lead + "points 1 to " + Whole(n) + " of " + m + " were written, point " + k +
                          MayHaveTaken + Again};
  }
  return HeldReport{"Err_Table_Partly_Written",
                    {Whole(n), m},
                    lead + "points 1 to " + Whole(n) + " of " + m + " were written" + Again};
}

std::optional<HeldReport> PartialDownload(const ConfigDownload& download) {
  if (download.GetStatus() != RunStatus::Done || download.Outcome().Succeeded()) {
    return std::nullopt;
  }
  std::size_t written = 0, unconfirmed = 0, failed = 0, notReached = 0;
  for (const ConfigRowOutcome& row : download.Rows()) {
    switch (row.state) {
      case ConfigRowOutcome::State::Written:
        ++written;
        break;
      case ConfigRowOutcome::State::Failed:
        ++(row.notConfirmed ? unconfirmed : failed);
        break;
      case ConfigRowOutcome::State::NotWritten:
        ++notReached;
        break;
    }
  }
  if (written + unconfirmed == 0 || written == ConfigRowCount) return std::nullopt;
  const std::vector<std::string> args{Whole(written), Whole(unconfirmed), Whole(failed),
                                      Whole(notReached)};
  return HeldReport{
      "Err_Download_Partial", args,
      "The download stopped part-way: of the 12 rows, " + args[0] + " were written, " + args[1] +
          " not confirmed (the device may have taken them), " + args[2] + " failed and " + args[3] +
          " not reached; the device holds the rows written."};
}

}  // namespace va5::session
