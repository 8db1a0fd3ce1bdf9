// The arithmetic of the bar gauges, apart from painting: value and scale texts, which scale
// limits are usable, and where the ticks of a scale stand.
#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace va5 {

// Scale limits beyond this magnitude are refused: their labels would no longer fit beside
// the bar, and a span of two such limits could overflow.
inline constexpr double kScaleLimitMagnitude = 1e12;

// The value under a gauge: "%.2f", with "-0.00" shown as "0.00". A device may send
// not-a-number or infinity; those read "NaN", "+Inf" and "-Inf", and magnitudes whose fixed
// text would be too long for the gauge read in exponent form ("1.23e+20").
QString GaugeValueText(double value);

// A scale limit or major tick label: "%.0f" for whole numbers, "%.2f" otherwise.
QString ScaleLabelText(double value);

// True when a gauge can draw ticks and a fill against these limits: both finite, within
// kScaleLimitMagnitude, and min < max.
bool IsUsableScale(double max, double min);

// Reads a scale edit box: the text must pass IsNumberText and read as a decimal number
// within kScaleLimitMagnitude. No value otherwise.
std::optional<double> ParseScaleText(const QString& text);

struct ScaleTick {
  double value = 0.0;     // position in scale units
  bool major = false;     // labelled, 12 pixels
  bool long_ = false;     // major, or the middle minor tick of a major step: 12 pixels
  QString label;          // the major tick's label; empty for minor ticks
};

// The ticks strictly between min and max. The span is brought into 2 ... 20 by powers of
// ten; the major step is 1, 2 or 4 normalised units, the minor count 4, 8 or 10 per major
// step. Empty for an unusable scale.
std::vector<ScaleTick> ScaleTicks(double max, double min);

}  // namespace va5
