// The arithmetic of the line-graph control, apart from painting: the step and ticks of an
// axis, the growth of the trend's ranges as samples arrive, and the per-column reduction of
// long runs. Standard C++ only, so it is tested without widgets.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace va5::graph {

// The integer nearest to `v`, halves away from zero.
double NearestInteger(double v);

// The scale of one axis from min to max. The range is brought into 2 ... 20 by powers of ten
// (normalised); the major step is 1, 2 or 4 normalised units.
struct AxisScale {
  bool valid = false;     // false for a range that is not a positive finite number
  double normalised = 0;  // the range in 2 ... 20
  int exponent = 0;       // range = normalised x 10^exponent
  int unit = 0;           // 1, 2 or 4
  int majorCount = 0;     // major divisions counted from the minimum
  int minorPerMajor = 0;  // minor divisions in each major division
  double step = 0;        // the major step in axis units: unit x 10^exponent
};
AxisScale ScaleOf(double min, double max);

// A tick of an axis, by its value.
struct AxisTick {
  enum Kind { kMinor, kMiddle, kMajor, kEnd };
  double value = 0;
  Kind kind = kMinor;
  // Middle, major and end ticks are labelled.
  bool Labelled() const { return kind != kMinor; }
};
// The ticks of an axis from min to max, at whole multiples of the minor step (so the labels
// read round values: 20, 40, 60 rather than 18.52, 68.52): the major ticks at multiples of
// the step, the middle ticks half-way between them, and the two ends of the axis as end
// ticks where no major or middle tick stands on them. In order of value; empty for an
// invalid scale.
std::vector<AxisTick> TicksOf(double min, double max);

// A value-axis label: "%.2f" in the C locale; "-0.00" reads "0.00".
std::string AxisLabel(double value);
// A time-axis label: whole numbers without decimals, others "%.2f".
std::string TimeLabel(double value);

// The extremes of the finite values of a run (non-finite samples are left out of scaling).
struct Extremes {
  double smallest = 0;
  double largest = 0;
  bool any = false;  // at least one finite value
  void Add(double v);
};

struct Range {
  double min = 0;
  double max = 0;
};

// Growth of the time axis: while the largest time reaches the maximum, the maximum moves to
// the next multiple of half the axis step. Computed in one step, so a huge time ends at once;
// a range that has no step yet is opened to one second beyond the largest time.
Range GrowTimeAxis(Range x, double largestTime);

// The value axis around the finite extremes: a constant signal spans -15 ... 115; otherwise
// the maximum grows above the largest value and the minimum below the smallest by whole axis
// steps (both computed in one step, so 1e30 or a span that has no step end at once).
Range GrowValueAxis(Range y, const Extremes& values);

// ---- per-column reduction of a long run -----------------------------------------------------

// One pixel column of the curve: the first and last finite values that fall into it and the
// smallest and largest between them. A column without finite values is empty.
struct ColumnSpan {
  std::size_t count = 0;  // samples in the column, finite or not
  bool empty = true;
  double first = 0;
  double last = 0;
  double low = 0;
  double high = 0;
};

// Samples (time, value) in time order with a summary of the value extremes in blocks of
// 16, 256, 4096 ... samples, so the span of any index range costs a few dozen steps whatever
// the length of the run. Every sample is kept.
class SampleSeries {
 public:
  SampleSeries() { Clear(); }
  void Clear();
  // Appends a sample; a time before the previous sample's is taken as that time, so the
  // times stay in order.
  void Append(double time, double value);
  void Assign(const std::vector<double>& times, const std::vector<double>& values);

  std::size_t Size() const { return times_.size(); }
  const std::vector<double>& Times() const { return times_; }
  const std::vector<double>& Values() const { return values_; }
  const Extremes& TimeExtremes() const { return timeExtremes_; }
  const Extremes& ValueExtremes() const { return valueExtremes_; }
  // True when the times never decrease (the trend's are; a table's horizontal values may
  // not be).
  bool Ordered() const { return ordered_; }

  // The span of the finite values among samples [begin, end).
  ColumnSpan SpanOf(std::size_t begin, std::size_t end) const;

  // The first `count` samples reduced to `columns` columns spread evenly over the times
  // xMin ... xMax: column c holds the samples whose time t has
  // floor((t - xMin) / (xMax - xMin) x columns) = c. Samples outside the range fall into no
  // column. Requires Ordered().
  std::vector<ColumnSpan> Columns(std::size_t count, double xMin, double xMax, int columns) const;

 private:
  struct MinMax {
    double low;
    double high;
  };
  void Summarise(std::size_t index);

  std::vector<double> times_;
  std::vector<double> values_;
  Extremes timeExtremes_;
  Extremes valueExtremes_;
  bool ordered_ = true;
  // levels_[k] summarises blocks of 16^(k+1) samples; a block without finite values holds
  // low = +inf, high = -inf.
  std::vector<std::vector<MinMax>> levels_;
};

}  // namespace va5::graph
