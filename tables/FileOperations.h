// The table text files of the custom RTD table, the custom TC table and the special curve:
// their reader, with every check of a loaded table, and their writer.
#pragma once

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace va5 {

enum class TableKind { Rtd, Tc, Curve };

// The fixed limits of a kind of table.
struct TableLimits {
  int maximumPoints;
  int lowerBound;  // X bounds of the file reader (X and Y for the special curve)
  int upperBound;
  const char* typeName;  // "Custom RTD", "Custom TC", "Linearize"
  const char* unit;      // "ohms", "mV", "%"
  const char* word;      // the word of the minimum line: "RTD", "TC"; "" for the curve
};
const TableLimits& LimitsOf(TableKind kind);

inline constexpr int TableMinimumPoints = 2;

// A message about a table: the language file's key with its inserts, the same message in
// English for the command-line tool, and how it is asked. A reader or a check never shows
// it: the window shows it (and holds the link meanwhile), the tool prints it.
struct TableMessage {
  std::string key;
  std::vector<std::string> args;
  std::string text;       // English, complete
  bool okCancel = false;  // a question: OK keeps the doubtful value, Cancel refuses it
  bool systemModal = false;

  bool operator==(const TableMessage&) const = default;
};

// Answers a question (okCancel): true for OK.
using TableQuestion = std::function<bool(const TableMessage&)>;

// What a read of a table file came to.
struct TableReadOutcome {
  bool loaded = false;     // what was read is a usable table
  bool abandoned = false;  // Cancel on a step or an order question: nothing is to be taken
  // The message that ended the read, if any (not a question: those went to the caller).
  std::optional<TableMessage> message;
};

// The comment header written at the top of a table file of `kind`.
const std::vector<std::string>& CommentHeader(TableKind kind);

// Reads and writes the table text files. One object serves any number of reads; Prepare sets
// it up for a kind before each.
class CFileOperations {
 public:
  CFileOperations() { Prepare(TableKind::Tc); }

  void Prepare(int maximumPoints, int upperBound, int lowerBound, std::string typeName,
               std::string unit);
  void Prepare(TableKind kind);

  // Reads a custom RTD or TC file (kind Rtd or Tc; Prepare first). Questions go to `ask`.
  TableReadOutcome ReadCustomTable(const std::string& path, TableKind kind,
                                   const TableQuestion& ask);
  TableReadOutcome ReadCustomTable(std::istream& in, TableKind kind, const TableQuestion& ask);
  // Reads a special-curve file (Prepare first).
  TableReadOutcome ReadSpecialCurve(const std::string& path, const TableQuestion& ask);
  TableReadOutcome ReadSpecialCurve(std::istream& in, const TableQuestion& ask);

  // What the last read left: trimmed value texts, the header texts and flags.
  bool Loaded() const { return loaded_; }
  bool StepSeen() const { return stepSeen_; }
  int PointCount() const { return static_cast<int>(xTexts_.size()); }
  const std::vector<std::string>& XTexts() const { return xTexts_; }
  const std::vector<std::string>& YTexts() const { return yTexts_; }
  const std::string& MinimumText() const { return minimumText_; }
  const std::string& StepText() const { return stepText_; }

  // Write a file safely: the lines go to a temporary file beside `path`, which then replaces
  // it; on any failure the old file stays as it was and the English reason comes back.
  // `word` is "RTD" or "TC".
  std::optional<std::string> WriteCustomTable(const std::string& path,
                                              const std::vector<std::string>& header,
                                              std::string_view word, double minimum, double step,
                                              std::span<const double> values) const;
  std::optional<std::string> WriteSpecialCurve(const std::string& path,
                                               const std::vector<std::string>& header,
                                               std::span<const double> x,
                                               std::span<const double> y) const;

  // The lines of those files (each without its line end).
  static std::vector<std::string> CustomTableLines(const std::vector<std::string>& header,
                                                   std::string_view word, double minimum,
                                                   double step, std::span<const double> values);
  static std::vector<std::string> SpecialCurveLines(const std::vector<std::string>& header,
                                                    std::span<const double> x,
                                                    std::span<const double> y);

  // Writing stops with a failure after this many bytes (a full disk, a lost drive).
  void FailWritesAfter(std::optional<std::size_t> bytes) { failAfter_ = bytes; }

  // The number syntax of a table value: the whole text (white space around it aside) is a
  // plain decimal number, an optional "-", digits and at most one "." ("-1.5", ".5", "7.");
  // no "+", exponent, decimal comma, hexadecimal or other character, and not empty.
  static bool CheckNumberSyntax(std::string_view text);

 private:
  enum class Verdict { Accepted, Refused };
  enum class Axis { Table, X, Y };  // a custom table's value, a curve's input or output
  Verdict CheckBound(std::string_view text, Axis axis, const TableQuestion& ask, int line,
                     std::optional<TableMessage>& message) const;
  // A step line: the step text, or the end of the read (nothing loaded).
  std::optional<TableReadOutcome> CheckStep(std::string_view line, const TableQuestion& ask,
                                            int lineNumber);
  TableMessage BoundMessage(std::string_view text, Axis axis, bool question, int line) const;
  TableMessage TooManyMessage(bool systemModal) const;
  TableReadOutcome EndOfFile();
  void Reset();
  std::optional<std::string> WriteLines(const std::string& path,
                                        const std::vector<std::string>& lines) const;

  int maximumPoints_ = 0;
  int upperBound_ = 0;
  int lowerBound_ = 0;
  std::string typeName_;
  std::string unit_;
  std::string minimumText_ = "0";
  std::string stepText_ = "0";
  std::vector<std::string> xTexts_;
  std::vector<std::string> yTexts_;
  double previous_ = 0;
  bool loaded_ = false;
  bool stepSeen_ = false;
  std::optional<std::size_t> failAfter_;
};

}  // namespace va5
