// What the device holds after a table write or a configuration download that ended part-way
// (the link lost, a refusal, the technician's stop): one message, in the words of the language
// file's UIMsg section for the window and in English for the command-line tool.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "session/ConfigOperations.h"
#include "session/Operation.h"

namespace va5::session {

struct HeldReport {
  std::string key;  // UIMsg key
  std::vector<std::string> args;
  std::string text;  // English, complete

  bool operator==(const HeldReport&) const = default;
};

// A table write (WriteTableChain) that ended after its header went out and before its end
// marker was confirmed: the points the device confirmed, and the request whose reply was lost
// ("not confirmed: the device may have taken it"). Nothing when the write completed (only the
// header read after it may have failed), nothing was sent, or the header was refused.
std::optional<HeldReport> PartialTableWrite(const Operation& write);

// A download that ended with some rows written (or not confirmed) and others not: how many
// rows were written, not confirmed, failed and not reached. Nothing when it wrote every row
// or nothing at all.
std::optional<HeldReport> PartialDownload(const ConfigDownload& download);

}  // namespace va5::session
