#include "gui/graph/GraphScale.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/NumberText.h"

namespace va5::graph {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::size_t kFanOut = 16;
constexpr int kShift = 4;  // log2(kFanOut)
constexpr std::size_t kLevels = 5;

// The smallest multiple of `step`, from `k` steps upwards, that lies above `limit`; when the
// doubles cannot tell such a multiple from `limit`, the next value above it.
double MultipleAbove(double k, double step, double limit) {
  k = std::max(k, std::floor(limit / step) + 1);
  double v = k * step;
  if (std::isfinite(v) && v > limit) return v;
  v = limit + step;
  if (std::isfinite(v) && v > limit) return v;
  return std::nextafter(limit, kInf);
}

// The mirror of MultipleAbove: the largest multiple of `step`, from `k` steps downwards, below
// `limit`.
double MultipleBelow(double k, double step, double limit) {
  k = std::min(k, std::ceil(limit / step) - 1);
  double v = k * step;
  if (std::isfinite(v) && v < limit) return v;
  v = limit - step;
  if (std::isfinite(v) && v < limit) return v;
  return std::nextafter(limit, -kInf);
}

// `v` rounded to the nearest multiple of `step`; `v` itself when that is not a finite number.
double RoundToStep(double v, double step) {
  const double rounded = NearestInteger(v / step) * step;
  return std::isfinite(rounded) ? rounded : v;
}

}  // namespace

double NearestInteger(double v) { return std::round(v); }

AxisScale ScaleOf(double min, double max) {
  AxisScale s;
  const double range = max - min;
  // A zero, negative or overflowing range has no step (and would never normalise).
  if (!std::isfinite(range) || !(range > 0)) return s;
  double c = range;
  int n = 0;
  while (c > 20) {
    c /= 10;
    ++n;
  }
  if (c <= 2) {
    do {
      c *= 10;
      --n;
    } while (c < 2);
  }
  // Powers of ten are not exact in binary: 0.1 x 10 x 10 is 10.000000000000002, which must
  // still read as 10 when the step is chosen.
  c = std::round(c * 1e9) / 1e9;
  s.valid = true;
  s.normalised = c;
  s.exponent = n;
  if (c <= 5) {
    s.unit = 1;
    s.majorCount = static_cast<int>(c + 0.8);
    s.minorPerMajor = c < 3.38 ? 20 : 8;
  } else if (c / 2 <= 5) {
    s.unit = 2;
    s.majorCount = static_cast<int>(c / 2 + 0.8);
    s.minorPerMajor = c < 8.45 ? 16 : 8;
  } else {
    s.unit = 4;
    s.majorCount = static_cast<int>(c / 4 + 0.8);
    s.minorPerMajor = c < 16.9 ? 16 : 8;
  }
  s.step = s.unit * std::pow(10.0, n);
  return s;
}

std::vector<AxisTick> TicksOf(double min, double max) {
  std::vector<AxisTick> ticks;
  const AxisScale s = ScaleOf(min, max);
  if (!s.valid) return ticks;
  const double minorStep = s.step / s.minorPerMajor;
  // A tick a rounding error beyond an end still stands on it.
  const double slack = minorStep * 1e-6;
  const auto at = [&](AxisTick::Kind kind, double value) {
    AxisTick tick;
    tick.value = value;
    tick.kind = kind;
    ticks.push_back(tick);
  };
  const double first = std::ceil((min - slack) / minorStep);
  const double last = std::floor((max + slack) / minorStep);
  // Counted in whole minor steps from a multiple of the step, so that the kinds do not drift.
  const int middle = s.minorPerMajor / 2;
  const auto kindOf = [&](double k) {
    const double inMajor = k - std::floor(k / s.minorPerMajor) * s.minorPerMajor;
    if (inMajor == 0) return AxisTick::kMajor;
    return inMajor == middle ? AxisTick::kMiddle : AxisTick::kMinor;
  };
  if (!(last - first < 1e6)) return ticks;  // cannot happen for a valid scale; a guard
  if (first * minorStep - min > slack) at(AxisTick::kEnd, min);
  for (double k = first; k <= last; ++k) {
    const AxisTick::Kind kind = kindOf(k);
    double value = k * minorStep;
    if (std::fabs(value - min) <= slack) value = min;
    if (std::fabs(value - max) <= slack) value = max;
    const bool end = value == min || value == max;
    at(end && kind == AxisTick::kMinor ? AxisTick::kEnd : kind, value);
  }
  if (max - last * minorStep > slack) at(AxisTick::kEnd, max);
  return ticks;
}

std::string AxisLabel(double value) {
  std::string text = FormatFixed(value, 2);
  if (text == "-0.00") text = "0.00";
  return text;
}

std::string TimeLabel(double value) {
  if (std::isfinite(value) && std::fabs(value) < 1e15 && value == std::floor(value)) {
    std::string text = FormatFixed(value, 0);
    return text == "-0" ? "0" : text;
  }
  return AxisLabel(value);
}

void Extremes::Add(double v) {
  if (!std::isfinite(v)) return;
  if (!any) {
    smallest = largest = v;
    any = true;
    return;
  }
  smallest = std::min(smallest, v);
  largest = std::max(largest, v);
}

Range GrowTimeAxis(Range x, double largestTime) {
  const AxisScale s = ScaleOf(x.min, x.max);
  if (!s.valid) {
    x.max = std::max(largestTime, x.min) + 1.0;
    return x;
  }
  if (largestTime >= x.max) {
    const double h = s.step / 2;
    x.max = MultipleAbove(NearestInteger(x.max / h + 1), h, largestTime);
  }
  return x;
}

Range GrowValueAxis(Range y, const Extremes& values) {
  if (!values.any) return y;
  if (values.largest == values.smallest) return {-15.0, 115.0};
  AxisScale s = ScaleOf(y.min, y.max);
  if (!s.valid) {
    // No step to grow by (an empty or overflowing range): start from the values themselves.
    y = {values.smallest, values.largest};
    s = ScaleOf(y.min, y.max);
    if (!s.valid) return y;
  }
  const double d = s.step;
  if (values.largest >= y.max) {
    y.max = MultipleAbove(NearestInteger(y.max / d + 1), d, values.largest);
    y.min = RoundToStep(y.min, d);
  }
  if (values.smallest <= y.min) {
    y.min = MultipleBelow(NearestInteger(y.min / d - 1), d, values.smallest);
    y.max = RoundToStep(y.max, d);
    // Rounding must not bring the top down onto or below the newest largest value.
    if (y.max <= values.largest) y.max = MultipleAbove(y.max / d, d, values.largest);
  }
  return y;
}

// ---- SampleSeries ---------------------------------------------------------------------------

void SampleSeries::Clear() {
  times_.clear();
  values_.clear();
  timeExtremes_ = {};
  valueExtremes_ = {};
  ordered_ = true;
  levels_.assign(kLevels, {});
}

void SampleSeries::Append(double time, double value) {
  if (levels_.size() != kLevels) levels_.assign(kLevels, {});
  if (!times_.empty() && !(time >= times_.back())) time = times_.back();
  if (times_.empty() && !std::isfinite(time)) time = 0;
  times_.push_back(time);
  values_.push_back(value);
  timeExtremes_.Add(time);
  valueExtremes_.Add(value);
  Summarise(values_.size() - 1);
}

void SampleSeries::Assign(const std::vector<double>& times, const std::vector<double>& values) {
  Clear();
  const std::size_t n = std::min(times.size(), values.size());
  times_.assign(times.begin(), times.begin() + static_cast<std::ptrdiff_t>(n));
  values_.assign(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(n));
  for (std::size_t i = 0; i < n; ++i) {
    timeExtremes_.Add(times_[i]);
    valueExtremes_.Add(values_[i]);
    if (i > 0 && !(times_[i] >= times_[i - 1])) ordered_ = false;
    if (!std::isfinite(times_[i])) ordered_ = false;
    Summarise(i);
  }
}

void SampleSeries::Summarise(std::size_t index) {
  const double v = values_[index];
  const bool finite = std::isfinite(v);
  for (std::size_t k = 0; k < kLevels; ++k) {
    const std::size_t block = index >> (kShift * (k + 1));
    std::vector<MinMax>& level = levels_[k];
    if (level.size() <= block) level.resize(block + 1, MinMax{kInf, -kInf});
    if (finite) {
      level[block].low = std::min(level[block].low, v);
      level[block].high = std::max(level[block].high, v);
    }
  }
}

ColumnSpan SampleSeries::SpanOf(std::size_t begin, std::size_t end) const {
  ColumnSpan span;
  end = std::min(end, values_.size());
  if (begin >= end) return span;
  span.count = end - begin;
  double low = kInf;
  double high = -kInf;
  // Walk up the summary levels: the ragged ends of the range at each level, then the whole
  // blocks of the next level between them.
  std::size_t b = begin;
  std::size_t e = end;
  const auto take = [&](int level, std::size_t i) {
    if (level < 0) {
      const double v = values_[i];
      if (std::isfinite(v)) {
        low = std::min(low, v);
        high = std::max(high, v);
      }
    } else {
      const MinMax& m = levels_[static_cast<std::size_t>(level)][i];
      low = std::min(low, m.low);
      high = std::max(high, m.high);
    }
  };
  int level = -1;
  while (b < e) {
    if (level + 1 < static_cast<int>(levels_.size())) {
      while (b < e && b % kFanOut != 0) take(level, b++);
      while (b < e && e % kFanOut != 0) take(level, --e);
      if (b >= e) break;
      b /= kFanOut;
      e /= kFanOut;
      ++level;
    } else {
      for (; b < e; ++b) take(level, b);
    }
  }
  if (!(low <= high)) return span;  // no finite value
  span.empty = false;
  span.low = low;
  span.high = high;
  // The ends join the neighbouring columns; a non-finite end joins at the nearer extreme.
  const double first = values_[begin];
  const double last = values_[end - 1];
  span.first = std::isfinite(first) ? first : low;
  span.last = std::isfinite(last) ? last : high;
  return span;
}

std::vector<ColumnSpan> SampleSeries::Columns(std::size_t count, double xMin, double xMax,
                                              int columns) const {
  std::vector<ColumnSpan> result;
  const double width = xMax - xMin;
  if (columns <= 0 || !std::isfinite(width) || !(width > 0)) return result;
  result.resize(static_cast<std::size_t>(columns));
  count = std::min(count, times_.size());
  const auto first = times_.begin();
  const auto last = times_.begin() + static_cast<std::ptrdiff_t>(count);
  auto from = std::lower_bound(first, last, xMin);
  for (int c = 0; c < columns; ++c) {
    // The last column takes a sample that lies exactly on the maximum.
    const auto to = c + 1 == columns
                        ? std::upper_bound(from, last, xMax)
                        : std::lower_bound(from, last, xMin + width * (c + 1) / columns);
    result[static_cast<std::size_t>(c)] =
        SpanOf(static_cast<std::size_t>(from - first), static_cast<std::size_t>(to - first));
    from = to;
  }
  return result;
}

}  // namespace va5::graph
