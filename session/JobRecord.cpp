#include "session/JobRecord.h"

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <system_error>


#include "base/AtomicFile.h"
#include "base/NumberText.h"
#include "base/Utf8Path.h"
#include "device/GlobalFile.h"

namespace va5::session {

namespace {

using Json = nlohmann::json;

// A job file is small (a few hundred entries at most); anything far larger is not one.
constexpr std::uintmax_t MaximumFileSize = 16u << 20;

}  // namespace

std::string JobDevice::Key() const {
  if (manufacturer.empty() && model.empty() && deviceId.empty()) return {};
  return manufacturer + " / " + model + " / " + deviceId;
}

std::string DeviceKeyOf(const DeviceRecord& device) {
  JobDevice d;
  d.manufacturer = device.manufacturerName;
  d.model = device.modelName;
  d.deviceId = device.deviceIdText;
  return d.Key();
}

JobConfiguration ConfigurationOf(const DeviceRecord& device) {
  static const CglobalFile tables;
  const ConfigurationValues values = ConfigurationValuesFromDevice(device, tables);
  JobConfiguration rows;
  for (const ConfigurationField& f : ConfigurationFields()) rows.push_back({f.key, values.*f.value});
  return rows;
}

const char* NameOf(JobResult result) {
  switch (result) {
    case JobResult::Done:
      return "done";
    case JobResult::Refused:
      return "refused";
    case JobResult::NotConfirmed:
      return "not confirmed";
  }
  return "";
}

std::optional<JobResult> JobResultOfName(std::string_view name) {
  for (JobResult r : {JobResult::Done, JobResult::Refused, JobResult::NotConfirmed}) {
    if (name == NameOf(r)) return r;
  }
  return std::nullopt;
}

std::optional<double> TrimDeviation(const JobTrim& trim) {
  if (!trim.reference || !trim.after || !(std::abs(trim.span) > 0)) return std::nullopt;
  const double deviation = std::abs(*trim.after - *trim.reference) / std::abs(trim.span) * 100.0;
  if (!std::isfinite(deviation)) return std::nullopt;
  return deviation;
}

std::optional<bool> TrimPassed(const JobTrim& trim, double tolerance) {
  if (trim.outcome.result != JobResult::Done) return std::nullopt;
  const auto deviation = TrimDeviation(trim);
  if (!deviation) return std::nullopt;
  return *deviation <= tolerance;
}

std::vector<JobComparedRow> CompareFoundAndLeft(const JobRecord& job) {
  std::vector<JobComparedRow> rows;
  const auto rowOf = [&rows](const std::string& key) -> JobComparedRow& {
    for (auto& r : rows) {
      if (r.key == key) return r;
    }
    rows.push_back({key, {}, {}, false});
    return rows.back();
  };
  for (const auto& r : job.asFound) rowOf(r.key).found = r.value;
  for (const auto& r : job.asLeft) rowOf(r.key).left = r.value;
  const bool both = !job.asFound.empty() && !job.asLeft.empty();
  for (auto& r : rows) r.changed = both && r.found != r.left;
  return rows;
}

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
#ifdef _WIN32
  gmtime_s(&utc, &now);
#else
  gmtime_r(&now, &utc);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

std::string Crc32Text(std::string_view text) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : text) crc = table[(crc ^ c) & 0xFF] ^ (crc >> 8);
  char hex[9];
  std::snprintf(hex, sizeof hex, "%08x", crc ^ 0xFFFFFFFFu);
  return hex;
}

// ---- writing -----------------------------------------------------------------------------

namespace {

Json NumberOrNull(const std::optional<double>& value) {
  return value && std::isfinite(*value) ? Json(*value) : Json(nullptr);
}

void PutOutcome(Json& o, const JobOutcome& outcome) {
  o["result"] = NameOf(outcome.result);
  if (outcome.responseCode >= 0) o["responseCode"] = outcome.responseCode;
  o["detail"] = outcome.detail;
}

Json ConfigurationJson(const JobConfiguration& rows) {
  Json a = Json::array();
  for (const auto& r : rows) a.push_back({{"key", r.key}, {"value", r.value}});
  return a;
}

Json DeviceJson(const JobDevice& d) {
  return {{"manufacturer", d.manufacturer},
          {"model", d.model},
          {"deviceId", d.deviceId},
          {"tag", d.tag},
          {"descriptor", d.descriptor},
          {"serialNumber", d.serialNumber},
          {"finalAssemblyNumber", d.finalAssemblyNumber},
          {"universalRevision", d.universalRevision},
          {"specificRevision", d.specificRevision},
          {"softwareRevision", d.softwareRevision},
          {"hardwareRevision", d.hardwareRevision},
          {"pollingAddress", d.pollingAddress},
          {"port", d.port}};
}

template <class T, class F>
Json ListJson(const std::vector<T>& items, F entry) {
  Json a = Json::array();
  for (const T& item : items) {
    Json o = entry(item);
    PutOutcome(o, item.outcome);
    a.push_back(std::move(o));
  }
  return a;
}

}  // namespace

std::string JobToJson(const JobRecord& job) {
  Json j;
  j["format"] = JobRecordFormat;
  j["version"] = JobRecordVersion;
  j["program"] = job.program;
  j["opened"] = job.opened;
  j["closed"] = job.closed;
  j["technician"] = job.technician;
  j["notes"] = job.notes;
  j["device"] = DeviceJson(job.device);
  j["asFound"] = ConfigurationJson(job.asFound);
  j["asLeft"] = ConfigurationJson(job.asLeft);
  j["writes"] = ListJson(job.writes, [](const JobWrite& w) {
    return Json{{"time", w.time},
                {"setting", w.setting},
                {"before", w.before},
                {"requested", w.requested},
                {"answered", w.answered}};
  });
  j["trims"] = ListJson(job.trims, [](const JobTrim& t) {
    return Json{{"time", t.time},
                {"kind", t.kind},
                {"unit", t.unit},
                {"reference", NumberOrNull(t.reference)},
                {"before", NumberOrNull(t.before)},
                {"after", NumberOrNull(t.after)},
                {"span", std::isfinite(t.span) ? t.span : 0.0},
                {"answered", t.answered}};
  });
  j["currents"] = ListJson(job.currents, [](const JobCurrentCheck& c) {
    return Json{{"time", c.time}, {"requested", c.requested}, {"reading", NumberOrNull(c.reading)}};
  });
  j["selfTests"] = ListJson(job.selfTests, [](const JobSelfTest& s) {
    return Json{{"time", s.time}, {"passed", s.passed}, {"states", s.states}};
  });
  j["tables"] = ListJson(job.tables, [](const JobTableWrite& t) {
    return Json{{"time", t.time},
                {"table", t.table},
                {"points", t.points},
                {"source", t.source},
                {"checksum", t.checksum}};
  });
  // Invalid UTF-8 from a device or a file name is replaced, never a reason to lose the job.
  return j.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

// ---- reading -----------------------------------------------------------------------------

namespace {

// Reads the fields of one object; the first problem is kept with the place it was found. No
// exception is thrown: every value's type is looked at before it is taken.
class FieldReader {
 public:
  FieldReader(const Json& object, std::string place, std::string& error)
      : object_(object), place_(std::move(place)), error_(error) {
    if (!object_.is_object()) Fail(place_, "is not an object");
  }

  void Text(const char* key, std::string& out) {
    const Json* v = Find(key);
    if (v == nullptr) return;
    if (!v->is_string()) return Fail(Where(key), "is not a text");
    out = v->get_ref<const std::string&>();
  }
  void Whole(const char* key, int& out, long long low, long long high) {
    const Json* v = Find(key);
    if (v == nullptr) return;
    if (!v->is_number_integer()) return Fail(Where(key), "is not a whole number");
    const long long n = v->is_number_unsigned() && v->get<std::uint64_t>() > 1ull << 62
                            ? high + 1
                            : v->get<long long>();
    if (n < low || n > high) return Fail(Where(key), "is out of range");
    out = static_cast<int>(n);
  }
  void Number(const char* key, std::optional<double>& out) {
    const Json* v = Find(key);
    if (v == nullptr || v->is_null()) return;
    if (!v->is_number()) return Fail(Where(key), "is not a number");
    out = v->get<double>();
  }
  void Flag(const char* key, bool& out) {
    const Json* v = Find(key);
    if (v == nullptr) return;
    if (!v->is_boolean()) return Fail(Where(key), "is not true or false");
    out = v->get<bool>();
  }
  void Outcome(JobOutcome& out) {
    std::string name = NameOf(JobResult::Done);
    Text("result", name);
    if (auto r = JobResultOfName(name)) {
      out.result = *r;
    } else {
      Fail(Where("result"), "is not one of done, refused, not confirmed");
    }
    Whole("responseCode", out.responseCode, -1, 255);
    Text("detail", out.detail);
  }
  // Each element of the array `key` read by `read(element, place)`.
  template <class F>
  void Each(const char* key, F read) {
    const Json* v = Find(key);
    if (v == nullptr) return;
    if (!v->is_array()) return Fail(Where(key), "is not a list");
    for (std::size_t i = 0; i < v->size() && error_.empty(); ++i) {
      read((*v)[i], Where(key) + "[" + std::to_string(i) + "]");
    }
  }
  bool Ok() const { return error_.empty(); }
  std::string Where(const char* key) const { return place_.empty() ? key : place_ + "." + key; }

 private:
  const Json* Find(const char* key) const {
    if (!error_.empty() || !object_.is_object()) return nullptr;
    const auto it = object_.find(key);
    return it == object_.end() ? nullptr : &*it;
  }
  void Fail(const std::string& where, const char* what) {
    if (error_.empty()) error_ = where + " " + what;
  }

  const Json& object_;
  std::string place_;
  std::string& error_;
};

void ReadConfiguration(FieldReader& parent, const char* key, JobConfiguration& out,
                       std::string& error) {
  parent.Each(key, [&](const Json& e, const std::string& place) {
    FieldReader r(e, place, error);
    JobConfigRow row;
    r.Text("key", row.key);
    r.Text("value", row.value);
    if (r.Ok()) out.push_back(std::move(row));
  });
}

void ReadDevice(FieldReader& top, const Json& j, JobDevice& d, std::string& error) {
  const auto it = j.find("device");
  if (it == j.end()) return;
  FieldReader r(*it, top.Where("device"), error);
  r.Text("manufacturer", d.manufacturer);
  r.Text("model", d.model);
  r.Text("deviceId", d.deviceId);
  r.Text("tag", d.tag);
  r.Text("descriptor", d.descriptor);
  r.Text("serialNumber", d.serialNumber);
  r.Text("finalAssemblyNumber", d.finalAssemblyNumber);
  r.Text("universalRevision", d.universalRevision);
  r.Text("specificRevision", d.specificRevision);
  r.Text("softwareRevision", d.softwareRevision);
  r.Text("hardwareRevision", d.hardwareRevision);
  r.Whole("pollingAddress", d.pollingAddress, 0, MaxPollingAddress);
  r.Text("port", d.port);
}

// The entries of list `key`, each read by `fill(reader, entry)` and its outcome.
template <class T, class F>
void ReadList(FieldReader& top, const char* key, std::vector<T>& out, std::string& error, F fill) {
  top.Each(key, [&](const Json& e, const std::string& place) {
    FieldReader r(e, place, error);
    T item;
    r.Text("time", item.time);
    fill(r, item);
    r.Outcome(item.outcome);
    if (r.Ok()) out.push_back(std::move(item));
  });
}

void ReadEntries(FieldReader& top, JobRecord& job, std::string& error) {
  ReadList(top, "writes", job.writes, error, [](FieldReader& r, JobWrite& w) {
    r.Text("setting", w.setting);
    r.Text("before", w.before);
    r.Text("requested", w.requested);
    r.Text("answered", w.answered);
  });
  ReadList(top, "trims", job.trims, error, [](FieldReader& r, JobTrim& t) {
    r.Text("kind", t.kind);
    r.Text("unit", t.unit);
    r.Number("reference", t.reference);
    r.Number("before", t.before);
    r.Number("after", t.after);
    std::optional<double> span;
    r.Number("span", span);
    t.span = span.value_or(0.0);
    r.Text("answered", t.answered);
  });
  ReadList(top, "currents", job.currents, error, [](FieldReader& r, JobCurrentCheck& c) {
    r.Text("requested", c.requested);
    r.Number("reading", c.reading);
  });
  ReadList(top, "selfTests", job.selfTests, error, [](FieldReader& r, JobSelfTest& s) {
    r.Flag("passed", s.passed);
    r.Text("states", s.states);
  });
  ReadList(top, "tables", job.tables, error, [](FieldReader& r, JobTableWrite& t) {
    r.Text("table", t.table);
    r.Whole("points", t.points, 0, CustomTableMaxPoints);
    r.Text("source", t.source);
    r.Text("checksum", t.checksum);
  });
}

}  // namespace

std::optional<JobRecord> JobFromJson(std::string_view text, std::string& error) {
  error.clear();
  const Json j = Json::parse(text.begin(), text.end(), nullptr, false);
  if (j.is_discarded()) {
    error = "not a JSON file";
    return std::nullopt;
  }
  FieldReader top(j, "", error);
  std::string format;
  top.Text("format", format);
  if (top.Ok() && format != JobRecordFormat) {
    error = "not a VA5VIVI job record";
    return std::nullopt;
  }
  int version = 0;
  top.Whole("version", version, 1, 1000000);
  if (top.Ok() && version != JobRecordVersion) {
    error = "a job record of version " + std::to_string(version) + ", which this VA5VIVI (version " +
            std::to_string(JobRecordVersion) + ") cannot read";
    return std::nullopt;
  }
  JobRecord job;
  top.Text("program", job.program);
  top.Text("opened", job.opened);
  top.Text("closed", job.closed);
  top.Text("technician", job.technician);
  top.Text("notes", job.notes);
  if (top.Ok()) ReadDevice(top, j, job.device, error);
  ReadConfiguration(top, "asFound", job.asFound, error);
  ReadConfiguration(top, "asLeft", job.asLeft, error);
  ReadEntries(top, job, error);
  if (!error.empty()) return std::nullopt;
  return job;
}

// ---- the file ----------------------------------------------------------------------------

// As the configuration and table files are written (AtomicFile): a temporary file beside the
// target, flushed to the disk, then renamed over it, so a crash or a full disk leaves the
// previous job file whole; anything but a regular file (a folder, a device) is refused and a
// symbolic link stays a link to the file it names.
std::optional<std::string> SaveJob(const JobRecord& job, const std::string& path) {
  AtomicFile file(path);
  if (!file.IsOpen()) return file.Error();
  if (!file.Write(JobToJson(job))) return file.Error();
  return file.Commit();
}

std::optional<JobRecord> LoadJob(const std::string& path, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const auto size = fs::file_size(Utf8Path(path), ec);
  if (ec) {
    error = "cannot read " + path + ": " + ec.message();
    return std::nullopt;
  }
  if (size > MaximumFileSize) {
    error = path + " is too large for a job record";
    return std::nullopt;
  }
  std::ifstream in(Utf8Path(path), std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  if (!in && !in.eof()) {
    error = "cannot read " + path;
    return std::nullopt;
  }
  auto job = JobFromJson(content.str(), error);
  if (!job) error = path + ": " + error;
  return job;
}

// ---- text --------------------------------------------------------------------------------

namespace {

std::string Number(const std::optional<double>& value, int decimals = 4) {
  return value ? FormatFixed(*value, decimals) : "-";
}

std::string OutcomeText(const JobOutcome& o) {
  std::string text = NameOf(o.result);
  if (o.responseCode >= 0) text += " (response code " + std::to_string(o.responseCode);
  if (!o.detail.empty()) text += (o.responseCode >= 0 ? ": " : " (") + o.detail;
  if (o.responseCode >= 0 || !o.detail.empty()) text += ")";
  return text;
}

std::string Padded(const std::string& text, std::size_t width) {
  return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
}

void DeviceText(std::ostringstream& out, const JobDevice& d) {
  const std::pair<const char*, std::string> rows[] = {
      {"Manufacturer", d.manufacturer},
      {"Model", d.model},
      {"Device ID", d.deviceId},
      {"Tag", d.tag},
      {"Descriptor", d.descriptor},
      {"Serial number", d.serialNumber},
      {"Final assembly number", d.finalAssemblyNumber},
      {"Revisions", "universal " + d.universalRevision + ", device " + d.specificRevision +
                        ", software " + d.softwareRevision + ", hardware " + d.hardwareRevision},
      {"Polling address", std::to_string(d.pollingAddress)},
      {"Port", d.port}};
  for (const auto& [name, value] : rows) out << "  " << Padded(std::string(name) + ":", 24) << value << "\n";
}

void EntriesText(std::ostringstream& out, const JobRecord& job, double tolerance) {
  out << "\nWrites\n";
  if (job.writes.empty()) out << "  none\n";
  for (const JobWrite& w : job.writes) {
    out << "  " << w.time << "  " << w.setting << ": before \"" << w.before << "\", requested \""
        << w.requested << "\", answered \"" << w.answered << "\": " << OutcomeText(w.outcome)
        << "\n";
  }
  out << "\nTrims (tolerance " << FormatFixed(tolerance, 3) << " % of span)\n";
  if (job.trims.empty()) out << "  none\n";
  for (const JobTrim& t : job.trims) {
    const auto deviation = TrimDeviation(t);
    const auto passed = TrimPassed(t, tolerance);
    out << "  " << t.time << "  " << t.kind << ": reference " << Number(t.reference) << ", before "
        << Number(t.before) << ", after " << Number(t.after) << " " << t.unit << ", span "
        << FormatFixed(t.span, 4) << ", deviation "
        << (deviation ? FormatFixed(*deviation, 3) + " %" : "-") << ": "
        << (passed ? (*passed ? "pass" : "FAIL") : "not judged") << "; "
        << OutcomeText(t.outcome) << "\n";
  }
  out << "\nFixed current\n";
  if (job.currents.empty()) out << "  none\n";
  for (const JobCurrentCheck& c : job.currents) {
    out << "  " << c.time << "  requested " << c.requested << " mA, reading "
        << Number(c.reading, 3) << " mA: " << OutcomeText(c.outcome) << "\n";
  }
  out << "\nSelf test\n";
  if (job.selfTests.empty()) out << "  none\n";
  for (const JobSelfTest& s : job.selfTests) {
    out << "  " << s.time << "  " << (s.outcome.result == JobResult::Done
                                          ? (s.passed ? "passed" : "EEPROM error")
                                          : OutcomeText(s.outcome))
        << "\n";
  }
  out << "\nTables\n";
  if (job.tables.empty()) out << "  none\n";
  for (const JobTableWrite& t : job.tables) {
    out << "  " << t.time << "  " << t.table << ", " << t.points << " points from \"" << t.source
        << "\", CRC-32 " << t.checksum << ": " << OutcomeText(t.outcome) << "\n";
  }
}

}  // namespace

std::string JobText(const JobRecord& job, double tolerance) {
  std::ostringstream out;
  out << "Job record (" << (job.program.empty() ? "VA5VIVI" : job.program) << ")\n"
      << "  Opened: " << job.opened << "\n"
      << "  Closed: " << (job.closed.empty() ? "open" : job.closed) << "\n"
      << "  Technician: " << job.technician << "\n";
  out << "\nDevice\n";
  DeviceText(out, job.device);
  out << "\nConfiguration" << std::string(12, ' ') << Padded("As found", 26) << "As left\n";
  for (const JobComparedRow& r : CompareFoundAndLeft(job)) {
    out << (r.changed ? "* " : "  ") << Padded(r.key, 23) << Padded(r.found, 26) << r.left << "\n";
  }
  if (job.asLeft.empty()) out << "  (not read as left)\n";
  EntriesText(out, job, tolerance);
  if (!job.notes.empty()) out << "\nNotes\n  " << job.notes << "\n";
  return out.str();
}

}  // namespace va5::session
