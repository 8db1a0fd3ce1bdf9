#include "tables/FileOperations.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include "base/NumberText.h"
#include "base/Text.h"
#include "device/GlobalFile.h"

namespace va5 {

namespace {

constexpr TableLimits kRtd{500, 0, 4000, "Custom RTD", "ohms", "RTD"};
constexpr TableLimits kTc{1000, -100, 1000, "Custom TC", "mV", "TC"};
constexpr TableLimits kCurve{128, -15, 115, "Linearize", "%", ""};


bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool StartsWithAny(std::string_view line, std::initializer_list<std::string_view> words) {
  for (std::string_view w : words) {
    if (line.substr(0, w.size()) == w) return true;
  }
  return false;
}

// The trimmed text after the first "=", empty when there is none.
std::string_view AfterEquals(std::string_view line) {
  const auto at = line.find('=');
  return at == std::string_view::npos ? std::string_view{} : TrimWhiteSpace(line.substr(at + 1));
}

double ValueOf(std::string_view text) { return ReadCDouble(text).value; }

std::string Whole(long long v) { return std::to_string(v); }

// "%d" of a value's whole part; a value beyond the int range (never a device's step or
// minimum) is held at its end.
std::string WholeText(double v) {
  if (std::isnan(v)) v = 0;
  v = std::clamp(v, static_cast<double>(INT_MIN), static_cast<double>(INT_MAX));
  return std::to_string(static_cast<int>(v));
}

TableMessage Message(std::string key, std::vector<std::string> args, std::string text,
                     bool okCancel = false, bool systemModal = false) {
  return {std::move(key), std::move(args), std::move(text), okCancel, systemModal};
}

// Lines end in LF or CR LF; the line end is dropped.
bool NextLine(std::istream& in, std::string& line) {
  if (!std::getline(in, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

TableMessage TypeMessage(const std::string& typeName) {
  return Message("Err_TableType", {typeName},
                 "This file holds a " + typeName + " table. It cannot be read here.");
}

// The table type word of a "Minimum ... Temperature" line (its three characters after the first
// blank), empty when there is none.
std::string_view TypeWordOf(std::string_view line) {
  const auto space = line.find(' ');
  return space == std::string_view::npos ? std::string_view{}
                                         : TrimWhiteSpace(line.substr(space + 1, 3));
}

TableMessage TooFewMessage(int count) {
  return Message("Err_TableSize_Min", {Whole(count)},
                 "The table holds only " + Whole(count) + " point(s); a table needs at least 2.");
}

TableMessage StepMessage(std::string_view text, bool question) {
  return Message("Err_Temp_Step", {std::string(text)},
                 "The temperature step " + std::string(text) +
                     " is not valid: it must be a whole number from 1 to 50 degC.",
                 question);
}

}  // namespace

const TableLimits& LimitsOf(TableKind kind) {
  switch (kind) {
    case TableKind::Rtd:
      return kRtd;
    case TableKind::Tc:
      return kTc;
    case TableKind::Curve:
      break;
  }
  return kCurve;
}

const std::vector<std::string>& CommentHeader(TableKind kind) {
  // The comment headers are the code tables' (CglobalFile), written as they stand.
  static const CglobalFile tables;
  switch (kind) {
    case TableKind::Rtd:
      return tables.CustomRtdHeader();
    case TableKind::Tc:
      return tables.CustomTcHeader();
    case TableKind::Curve:
      break;
  }
  return tables.SpecialCurveHeader();
}

void CFileOperations::Prepare(int maximumPoints, int upperBound, int lowerBound,
                              std::string typeName, std::string unit) {
  maximumPoints_ = maximumPoints;
  upperBound_ = upperBound;
  lowerBound_ = lowerBound;
  typeName_ = std::move(typeName);
  unit_ = std::move(unit);
  Reset();
}

void CFileOperations::Prepare(TableKind kind) {
  const TableLimits& l = LimitsOf(kind);
  Prepare(l.maximumPoints, l.upperBound, l.lowerBound, l.typeName, l.unit);
}

void CFileOperations::Reset() {
  xTexts_.clear();
  yTexts_.clear();
  minimumText_ = "0";
  stepText_ = "0";
  previous_ = lowerBound_;
  loaded_ = false;
  stepSeen_ = false;
}

bool CFileOperations::CheckNumberSyntax(std::string_view text) {
  if (text.empty()) return true;
  const auto lead = [](char c) { return c == '-' || c == '.' || IsDigit(c); };
  if (!lead(text[0]) && text[0] != ' ') return false;
  if (text[0] == ' ' && (text.size() < 2 || !lead(text[1]))) return false;
  int points = 0;
  for (std::size_t i = 2; i < text.size(); ++i) {
    if (text[i] == '.') {
      if (++points > 1) return false;
    } else if (!IsDigit(text[i])) {
      return false;
    }
  }
  return true;
}

TableMessage CFileOperations::BoundMessage(std::string_view text, bool question) const {
  const int n = PointCount();
  const std::string key =
      typeName_ == kRtd.typeName ? "Err_CustomRTD_Data_Bound" : "Err_CustomTable_Data_Bound";
  return Message(
      key,
      {Whole(n + 1), std::string(text), Whole(n), Whole(lowerBound_), Whole(upperBound_), unit_},
      "Point " + Whole(n + 1) + ": the value " + std::string(text) + " is out of range; X(" +
          Whole(n) + ") must lie from " + Whole(lowerBound_) + " to " + Whole(upperBound_) + " " +
          unit_ + ".",
      question);
}

TableMessage CFileOperations::TooManyMessage(bool systemModal) const {
  const std::string m = Whole(maximumPoints_);
  return Message("Err_TableSize", {Whole(maximumPoints_ + 1), typeName_, m, m},
                 "The file holds more than " + m + " points; a " + typeName_ +
                     " table holds at most " + m + ", so only the first " + m + " are used.",
                 false, systemModal);
}

CFileOperations::Verdict CFileOperations::CheckBound(std::string_view text,
                                                     const TableQuestion& ask,
                                                     std::optional<TableMessage>& message) const {
  // Digits beyond the range of a number are no number either.
  if (!CheckNumberSyntax(text) || !std::isfinite(ValueOf(text))) {
    message = BoundMessage(text, false);
    return Verdict::Refused;
  }
  const double v = ValueOf(text);
  if (v >= lowerBound_ && v <= upperBound_) return Verdict::Accepted;
  // Cancel refuses the value; the question itself does not end the read with a message.
  return ask(BoundMessage(text, true)) ? Verdict::Accepted : Verdict::Refused;
}

std::optional<TableReadOutcome> CFileOperations::CheckStep(std::string_view line,
                                                           const TableQuestion& ask) {
  const std::string_view text = AfterEquals(line);
  if (!CheckNumberSyntax(text)) return TableReadOutcome{false, false, StepMessage(text, false)};
  const long long step = ReadCInteger(text);
  if ((step < 1 || step > 50) && !ask(StepMessage(text, true))) {
    return TableReadOutcome{false, true, std::nullopt};
  }
  stepText_ = std::string(text);
  return std::nullopt;
}

// A cut-off or empty file is no table either: the values read must make at least two points.
TableReadOutcome CFileOperations::EndOfFile() {
  if (PointCount() < TableMinimumPoints) return {false, false, TooFewMessage(PointCount())};
  loaded_ = true;
  return {true, false, std::nullopt};
}

TableReadOutcome CFileOperations::ReadCustomTable(const std::string& path, TableKind kind,
                                                  const TableQuestion& ask) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    Reset();
    return {};
  }
  return ReadCustomTable(in, kind, ask);
}

TableReadOutcome CFileOperations::ReadSpecialCurve(const std::string& path,
                                                   const TableQuestion& ask) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    Reset();
    return {};
  }
  return ReadSpecialCurve(in, ask);
}

TableReadOutcome CFileOperations::ReadCustomTable(std::istream& in, TableKind kind,
                                                  const TableQuestion& ask) {
  Reset();
  const std::string_view other = kind == TableKind::Rtd ? "TC" : "RTD";
  bool header = true;
  bool closed = false;
  std::string line;
  while (NextLine(in, line)) {
    const std::string_view l = line;
    if (header) {
      if (StartsWithAny(l, {"Min", "min", "MIN"})) {
        const std::string_view word = TypeWordOf(l);
        if (word == other) return {false, false, TypeMessage("Custom " + std::string(word))};
        const std::string_view value = AfterEquals(l);
        if (l.find('=') != std::string_view::npos && CheckNumberSyntax(value)) {
          minimumText_ = std::string(value);
        }
      } else if (StartsWithAny(l, {"STEP", "Step", "step"})) {
        stepSeen_ = true;
        if (auto end = CheckStep(l, ask)) return *end;
      } else if (l == "{") {
        if (!stepSeen_) return {false, false, TypeMessage("Special Curve")};
        header = false;
      }
      continue;
    }
    if (closed) continue;  // nothing counts after the block
    if (l == "}") {
      if (PointCount() < TableMinimumPoints) return {false, false, TooFewMessage(PointCount())};
      closed = true;
      continue;
    }
    if (PointCount() >= maximumPoints_) {
      loaded_ = true;
      return {true, false, TooManyMessage(true)};
    }
    const std::string_view text = TrimWhiteSpace(l);
    if (text.empty()) continue;
    std::optional<TableMessage> message;
    if (CheckBound(text, ask, message) == Verdict::Refused) return {false, false, message};
    const double v = ValueOf(text);
    if (!(v >= previous_)) {
      const int n = PointCount();
      TableMessage order = Message(
          "Err_Custom_Table_Data",
          {Whole(n + 1), std::string(text), unit_, Whole(n), FormatFixed(previous_, 3, 4), unit_},
          "Point " + Whole(n + 1) + " (" + std::string(text) + " " + unit_ +
              ") is smaller than point " + Whole(n) + " (" + FormatFixed(previous_, 3) + " " +
              unit_ + ").",
          true, true);
      if (!ask(order)) return {false, true, std::nullopt};
    }
    previous_ = v;
    xTexts_.emplace_back(text);
  }
  return EndOfFile();
}

TableReadOutcome CFileOperations::ReadSpecialCurve(std::istream& in, const TableQuestion& ask) {
  Reset();
  bool header = true;
  bool closed = false;
  std::string line;
  while (NextLine(in, line)) {
    const std::string_view l = line;
    if (header) {
      if (StartsWithAny(l, {"Min", "min", "MIN"})) {
        const std::string_view word = TypeWordOf(l);
        if (word == "RTD" || word == "TC") {
          return {false, false, TypeMessage("Custom " + std::string(word))};
        }
      } else if (l == "{") {
        header = false;
      }
      continue;
    }
    if (closed) continue;
    if (l == "}") {
      if (PointCount() < TableMinimumPoints) return {false, false, TooFewMessage(PointCount())};
      closed = true;
      continue;
    }
    if (PointCount() >= maximumPoints_) {
      loaded_ = true;
      return {true, false, TooManyMessage(false)};
    }
    if (TrimWhiteSpace(l).empty()) continue;
    const auto comma = l.find(',');
    if (comma == std::string_view::npos) return {};
    const std::string_view x = TrimWhiteSpace(l.substr(0, comma));
    const std::string_view y = TrimWhiteSpace(l.substr(comma + 1));
    if (x.empty() || y.empty()) return {};
    std::optional<TableMessage> message;
    if (CheckBound(x, ask, message) == Verdict::Refused) return {false, false, message};
    const double vx = ValueOf(x);
    const int n = PointCount();
    if (n > 0 && !(vx > previous_)) {
      TableMessage order =
          Message("Err_Special_Table_Data",
                  {Whole(n), std::string(x), Whole(n - 1), FormatFixed(previous_, 3, 4)},
                  "Point " + Whole(n) + ": X = " + std::string(x) + " is not greater than X = " +
                      FormatFixed(previous_, 3) + " of point " + Whole(n - 1) + ".",
                  true);
      if (!ask(order)) return {false, true, std::nullopt};
    }
    if (CheckBound(y, ask, message) == Verdict::Refused) return {false, false, message};
    previous_ = vx;
    xTexts_.emplace_back(x);
    yTexts_.emplace_back(y);
  }
  return EndOfFile();
}

// ---- writing --------------------------------------------------------------------------------

std::vector<std::string> CFileOperations::CustomTableLines(const std::vector<std::string>& header,
                                                           std::string_view word, double minimum,
                                                           double step,
                                                           std::span<const double> values) {
  std::vector<std::string> lines = header;
  lines.push_back("Minimum " + std::string(word) + " Temperature = " + WholeText(minimum));
  lines.push_back("Step = " + WholeText(step + 0.001));
  lines.emplace_back("{");
  for (double v : values) lines.push_back(FormatFixed(v, 6, 4));
  lines.emplace_back("}");
  return lines;
}

std::vector<std::string> CFileOperations::SpecialCurveLines(const std::vector<std::string>& header,
                                                            std::span<const double> x,
                                                            std::span<const double> y) {
  std::vector<std::string> lines = header;
  lines.emplace_back("{");
  for (std::size_t i = 0; i < x.size() && i < y.size(); ++i) {
    lines.push_back(FormatFixed(x[i], 6) + "," + FormatFixed(y[i], 6));
  }
  lines.emplace_back("}");
  return lines;
}

std::optional<std::string> CFileOperations::WriteCustomTable(const std::string& path,
                                                             const std::vector<std::string>& header,
                                                             std::string_view word, double minimum,
                                                             double step,
                                                             std::span<const double> values) const {
  return WriteLines(path, CustomTableLines(header, word, minimum, step, values));
}

std::optional<std::string> CFileOperations::WriteSpecialCurve(
    const std::string& path, const std::vector<std::string>& header, std::span<const double> x,
    std::span<const double> y) const {
  return WriteLines(path, SpecialCurveLines(header, x, y));
}

std::optional<std::string> CFileOperations::WriteLines(
    const std::string& path, const std::vector<std::string>& lines) const {
  namespace fs = std::filesystem;
  std::string content;
  for (const std::string& l : lines) content += l + "\r\n";

  const fs::path target(path);
  std::random_device random;
  fs::path temporary = target;
  temporary += "." + std::to_string(random() % 1000000) + ".tmp";
  std::FILE* file = std::fopen(temporary.string().c_str(), "wb");
  if (file == nullptr) {
    return "cannot create " + temporary.string() + ": " + std::generic_category().message(errno);
  }
  errno = 0;
  const std::size_t length = failAfter_ ? std::min(*failAfter_, content.size()) : content.size();
  const bool written = std::fwrite(content.data(), 1, length, file) == length &&
                       length == content.size() && std::fflush(file) == 0;
  const int writeError = errno;
  const bool closed = std::fclose(file) == 0;
  std::error_code error;
  if (!written || !closed) {
    fs::remove(temporary, error);
    return "cannot write " + path + ": " +
           (written ? std::string("the file did not close")
                    : std::generic_category().message(writeError ? writeError : EIO));
  }
  fs::rename(temporary, target, error);
  if (error) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return "cannot replace " + path + ": " + error.message();
  }
  return std::nullopt;
}

}  // namespace va5
