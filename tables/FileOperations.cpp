#include "tables/FileOperations.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <fstream>

#include "base/AtomicFile.h"
#include "base/NumberText.h"
#include "base/Text.h"
#include "base/Utf8Path.h"
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

// A table value or header number: the whole text is a plain decimal number ("-12.5", ".5",
// "7."): no sign but "-", no exponent, no separator, no other character. Anything else, and
// digits beyond the range of a number, is no number.
std::optional<double> PlainNumber(std::string_view text) {
  std::string_view body = text;
  if (!body.empty() && body.front() == '-') body.remove_prefix(1);
  if (body.empty() || std::count(body.begin(), body.end(), '.') > 1) return std::nullopt;
  for (char c : body) {
    if (!IsDigit(c) && c != '.') return std::nullopt;
  }
  return ParseDecimal(text);  // at least one digit, and within the double range
}

// A step or a minimum temperature: a plain number whose value is whole ("10", "-20.0").
std::optional<long long> WholeValue(std::string_view text) {
  const auto v = PlainNumber(text);
  if (!v || *v != std::trunc(*v) || std::fabs(*v) > 1e15) return std::nullopt;
  return static_cast<long long>(*v);
}

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

// The lines of a file, numbered from 1. Lines end in LF or CR LF; the line end is dropped, and
// so is a UTF-8 byte-order mark before the first line (editors on Windows put one there).
class LineReader {
 public:
  explicit LineReader(std::istream& in) : in_(in) {}
  bool Next(std::string& line) {
    if (!std::getline(in_, line)) return false;
    if (number_++ == 0 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
  }
  int Number() const { return number_; }

 private:
  std::istream& in_;
  int number_ = 0;
};

// What an English message of the reader starts with: where in the file it looks.
std::string AtLine(int line) { return "Line " + Whole(line) + ": "; }

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

TableMessage StepMessage(std::string_view text, bool question, int line) {
  return Message("Err_Temp_Step", {std::string(text)},
                 AtLine(line) + "the temperature step " + std::string(text) +
                     " is not valid: it must be a whole number from 1 to 50 degC.",
                 question);
}

TableMessage MinimumMessage(std::string_view text, int line) {
  return Message("Err_Temp_Min", {std::string(text)},
                 AtLine(line) + "the minimum temperature " + std::string(text) +
                     " is not valid: it must be a whole number from -273 to 10000 degC.");
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
  return PlainNumber(TrimWhiteSpace(text)).has_value();
}

// Point n + 1 of the file is X(n), as the comment header counts. The special curve names
// its input and output value by their own keys, so a refused Y is never called an X.
TableMessage CFileOperations::BoundMessage(std::string_view text, Axis axis, bool question,
                                           int line) const {
  const int n = PointCount();
  const std::string point = AtLine(line) + "point " + Whole(n + 1) + ": ";
  const std::string value(text);
  const bool number = PlainNumber(text).has_value();
  const std::string range = Whole(lowerBound_) + " to " + Whole(upperBound_);
  if (axis != Axis::Table) {
    const std::string name = axis == Axis::X ? "X" : "Y";
    return Message(
        axis == Axis::X ? "Err_Special_Table_Data_Bound_X" : "Err_Special_Table_Data_Bound_Y",
        {Whole(n + 1), value, Whole(lowerBound_), Whole(upperBound_)},
        point + name + " = " + value + (number ? " is out of range; " : " is not a number; ") +
            name + " must lie from " + range + " percent.",
        question);
  }
  const std::string key =
      typeName_ == kRtd.typeName ? "Err_CustomRTD_Data_Bound" : "Err_CustomTable_Data_Bound";
  return Message(
      key, {Whole(n + 1), value, Whole(n), Whole(lowerBound_), Whole(upperBound_), unit_},
      point + "the value " + value + (number ? " is out of range; " : " is not a number; ") + "X(" +
          Whole(n) + ") must lie from " + range + " " + unit_ + ".",
      question);
}

TableMessage CFileOperations::TooManyMessage(bool systemModal) const {
  const std::string m = Whole(maximumPoints_);
  return Message("Err_TableSize", {Whole(maximumPoints_ + 1), typeName_, m, m},
                 "The file holds more than " + m + " points; a " + typeName_ +
                     " table holds at most " + m + ", so only the first " + m + " are used.",
                 false, systemModal);
}

CFileOperations::Verdict CFileOperations::CheckBound(std::string_view text, Axis axis,
                                                     const TableQuestion& ask, int line,
                                                     std::optional<TableMessage>& message) const {
  const auto v = PlainNumber(text);
  if (!v) {
    message = BoundMessage(text, axis, false, line);
    return Verdict::Refused;
  }
  if (*v >= lowerBound_ && *v <= upperBound_) return Verdict::Accepted;
  // Cancel refuses the value; the question itself does not end the read with a message.
  return ask(BoundMessage(text, axis, true, line)) ? Verdict::Accepted : Verdict::Refused;
}

std::optional<TableReadOutcome> CFileOperations::CheckStep(std::string_view line,
                                                           const TableQuestion& ask,
                                                           int lineNumber) {
  const std::string_view text = AfterEquals(line);
  // The step travels as a whole number: a fraction or an exponent is no step.
  const auto step = WholeValue(text);
  if (!step) return TableReadOutcome{false, false, StepMessage(text, false, lineNumber)};
  if ((*step < 1 || *step > 50) && !ask(StepMessage(text, true, lineNumber))) {
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
  std::ifstream in(Utf8Path(path), std::ios::binary);
  if (!in) {
    Reset();
    return {};
  }
  return ReadCustomTable(in, kind, ask);
}

TableReadOutcome CFileOperations::ReadSpecialCurve(const std::string& path,
                                                   const TableQuestion& ask) {
  std::ifstream in(Utf8Path(path), std::ios::binary);
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
  LineReader lines(in);
  std::string line;
  while (lines.Next(line)) {
    const std::string_view l = line;
    if (header) {
      if (StartsWithAny(l, {"Min", "min", "MIN"})) {
        const std::string_view word = TypeWordOf(l);
        if (word == other) return {false, false, TypeMessage("Custom " + std::string(word))};
        if (l.find('=') == std::string_view::npos) continue;
        // The minimum travels as a whole number; anything else would be read as another one.
        const std::string_view value = AfterEquals(l);
        if (!WholeValue(value)) return {false, false, MinimumMessage(value, lines.Number())};
        minimumText_ = std::string(value);
      } else if (StartsWithAny(l, {"STEP", "Step", "step"})) {
        stepSeen_ = true;
        if (auto end = CheckStep(l, ask, lines.Number())) return *end;
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
    const std::string_view text = TrimWhiteSpace(l);
    if (text.empty()) continue;  // a blank line is no point, not even one too many
    if (PointCount() >= maximumPoints_) {
      loaded_ = true;
      return {true, false, TooManyMessage(true)};
    }
    std::optional<TableMessage> message;
    if (CheckBound(text, Axis::Table, ask, lines.Number(), message) == Verdict::Refused) {
      return {false, false, message};
    }
    const double v = *PlainNumber(text);
    if (!(v >= previous_)) {
      const int n = PointCount();
      TableMessage order = Message(
          "Err_Custom_Table_Data",
          {Whole(n + 1), std::string(text), unit_, Whole(n), FormatFixed(previous_, 3, 4), unit_},
          AtLine(lines.Number()) + "point " + Whole(n + 1) + " (" + std::string(text) + " " +
              unit_ + ") is smaller than point " + Whole(n) + " (" + FormatFixed(previous_, 3) +
              " " + unit_ + ").",
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
  LineReader lines(in);
  std::string line;
  while (lines.Next(line)) {
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
    if (TrimWhiteSpace(l).empty()) continue;  // no point, not even one too many
    if (PointCount() >= maximumPoints_) {
      loaded_ = true;
      return {true, false, TooManyMessage(false)};
    }
    const auto comma = l.find(',');
    if (comma == std::string_view::npos) return {};
    const std::string_view x = TrimWhiteSpace(l.substr(0, comma));
    const std::string_view y = TrimWhiteSpace(l.substr(comma + 1));
    if (x.empty() || y.empty()) return {};
    std::optional<TableMessage> message;
    if (CheckBound(x, Axis::X, ask, lines.Number(), message) == Verdict::Refused) {
      return {false, false, message};
    }
    const double vx = *PlainNumber(x);
    const int n = PointCount();
    if (n > 0 && !(vx > previous_)) {
      TableMessage order =
          Message("Err_Special_Table_Data",
                  {Whole(n + 1), std::string(x), Whole(n), FormatFixed(previous_, 3, 4)},
                  AtLine(lines.Number()) + "point " + Whole(n + 1) + ": X = " + std::string(x) +
                      " is not greater than X = " + FormatFixed(previous_, 3) + " of point " +
                      Whole(n) + ".",
                  true);
      if (!ask(order)) return {false, true, std::nullopt};
    }
    if (CheckBound(y, Axis::Y, ask, lines.Number(), message) == Verdict::Refused) {
      return {false, false, message};
    }
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
  std::string content;
  for (const std::string& l : lines) content += l + "\r\n";
  return WriteFileAtomically(path, content, failAfter_);
}

}  // namespace va5
