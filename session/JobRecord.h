// The job record: what a technician found on a transmitter, what was asked of it, what it
// answered, and what it was left with. It is kept by the session (JobRecorder) for the window
// and the command-line tool alike, saved as a JSON file (docs/job-record.md), printed as text
// and rendered for printing by the window.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/DeviceRecord.h"
#include "offline/FilePropertyReadWrite.h"

namespace va5::session {

inline constexpr int JobRecordVersion = 1;
inline constexpr const char* JobRecordFormat = "VA5VIVI job record";
// The tolerance a trim is judged by unless the reader gives another, in % of span.
inline constexpr double DefaultTrimTolerance = 0.1;

// Who the device is. The key (manufacturer, model, device ID) is what makes it the same
// device: the long address is built from the same three.
struct JobDevice {
  std::string manufacturer;
  std::string model;
  std::string deviceId;
  std::string tag;
  std::string descriptor;
  std::string serialNumber;  // the sensor serial number
  std::string finalAssemblyNumber;
  std::string universalRevision;
  std::string specificRevision;
  std::string softwareRevision;
  std::string hardwareRevision;
  int pollingAddress = 0;
  std::string port;

  // Empty while no device has been identified.
  std::string Key() const;
  bool operator==(const JobDevice&) const = default;
};

// The key of the device a record describes (JobDevice::Key).
std::string DeviceKeyOf(const DeviceRecord& device);

// One row of a configuration, keyed as a configuration file keys it.
struct JobConfigRow {
  std::string key;
  std::string value;
  bool operator==(const JobConfigRow&) const = default;
};
// Empty when it was not read.
using JobConfiguration = std::vector<JobConfigRow>;

// The rows of a configuration file (ConfigurationFields) as the device holds them.
JobConfiguration ConfigurationOf(const DeviceRecord& device);

// What became of a request sent to the device (one that never left is not recorded).
enum class JobResult {
  Done,          // the device confirmed it
  Refused,       // the device answered with a response code that refused it
  NotConfirmed,  // sent, but the reply was lost or unusable: the device may or may not hold it
};
const char* NameOf(JobResult result);  // "done", "refused", "not confirmed"
std::optional<JobResult> JobResultOfName(std::string_view name);

struct JobOutcome {
  JobResult result = JobResult::Done;
  int responseCode = -1;  // Refused: the device's code; -1 otherwise
  std::string detail;     // the code's meaning, why the link failed, or what failed after it
  bool operator==(const JobOutcome&) const = default;
};

// A setting written (a panel's, the tool's "set", a configuration download's row).
struct JobWrite {
  std::string time;  // UTC, ISO 8601
  std::string setting;
  std::string before;     // as the device held it (empty when not known)
  std::string requested;  // as entered
  std::string answered;   // as the device answered (empty unless done)
  JobOutcome outcome;
  bool operator==(const JobWrite&) const = default;
};

// A sensor trim or DAC trim: the reference the technician entered and the device's reading
// before and after, in `unit`; `span` is what a deviation is judged against.
struct JobTrim {
  std::string time;
  std::string kind;  // "sensor zero", "sensor span", "sensor clear", "DAC lower", "DAC upper",
                     // "DAC clear"
  std::string unit;
  std::optional<double> reference;
  std::optional<double> before;
  std::optional<double> after;  // a sensor trim's waits for the next reading of the PV
  double span = 0;
  std::string answered;  // what the device answered (its trim data, or the current)
  JobOutcome outcome;
  bool operator==(const JobTrim&) const = default;
};

// How far the reading after a trim lies from its reference, in % of span; nothing when either
// is missing or the span is zero.
std::optional<double> TrimDeviation(const JobTrim& trim);
// Within `tolerance` (% of span); nothing when the deviation cannot be told.
std::optional<bool> TrimPassed(const JobTrim& trim, double tolerance = DefaultTrimTolerance);

// A fixed output current: what was asked and what the device read back.
struct JobCurrentCheck {
  std::string time;
  std::string requested;  // mA, as entered; "0.0" leaves the fixed mode
  std::optional<double> reading;
  JobOutcome outcome;
  bool operator==(const JobCurrentCheck&) const = default;
};

struct JobSelfTest {
  std::string time;
  bool passed = false;  // no EEPROM error reported after the test
  std::string states;   // the six EEPROM states, one a line
  JobOutcome outcome;
  bool operator==(const JobSelfTest&) const = default;
};

struct JobTableWrite {
  std::string time;
  std::string table;  // "custom RTD table", ...
  int points = 0;
  std::string source;    // the file the points came from
  std::string checksum;  // CRC-32 of the points' text, 8 hex digits
  JobOutcome outcome;
  bool operator==(const JobTableWrite&) const = default;
};

struct JobRecord {
  std::string opened;  // UTC, ISO 8601: when the device was first read
  std::string closed;  // when the configuration as left was read; empty while open
  std::string program;
  std::string technician;
  std::string notes;
  JobDevice device;
  JobConfiguration asFound;
  JobConfiguration asLeft;
  std::vector<JobWrite> writes;
  std::vector<JobTrim> trims;
  std::vector<JobCurrentCheck> currents;
  std::vector<JobSelfTest> selfTests;
  std::vector<JobTableWrite> tables;

  bool operator==(const JobRecord&) const = default;
};

// A row of as-found beside as-left.
struct JobComparedRow {
  std::string key, found, left;
  bool changed = false;
};
// The union of both configurations' rows in their order; changed when both were read and
// differ.
std::vector<JobComparedRow> CompareFoundAndLeft(const JobRecord& job);

// The present time, UTC, ISO 8601 ("2024-05-01T09:30:00Z").
std::string UtcNow();

// CRC-32 (IEEE) of `text` as 8 lower-case hex digits.
std::string Crc32Text(std::string_view text);

// ---- the file ----------------------------------------------------------------------------

std::string JobToJson(const JobRecord& job);
// Reads a job; nothing, with `error` saying why, for text that is not a job record of a
// version this program reads.
std::optional<JobRecord> JobFromJson(std::string_view text, std::string& error);

// Writes the job to `path` in one piece: a temporary file beside it, flushed to the disk, then
// renamed over it. Refuses a target that exists but is not a regular file (a folder, a link, a
// device). The error text, or nothing when written.
std::optional<std::string> SaveJob(const JobRecord& job, const std::string& path);
// Reads `path`; nothing with `error` when it cannot be read or is not a job record.
std::optional<JobRecord> LoadJob(const std::string& path, std::string& error);

// The job as plain text, trims judged against `tolerance` (% of span).
std::string JobText(const JobRecord& job, double tolerance = DefaultTrimTolerance);

}  // namespace va5::session
