#include "gui/display/GaugeScale.h"

#include <cmath>
#include <string>

#include "base/NumberText.h"
#include "lang/EntryRules.h"

namespace va5 {
namespace {

// Beyond this magnitude "%.2f" gives more digits than a gauge has room for.
constexpr double kFixedTextLimit = 1e10;

// Texts for values that have no digits to show.
std::optional<QString> NonFiniteText(double value) {
  if (std::isnan(value)) return QStringLiteral("NaN");
  if (std::isinf(value)) return value > 0 ? QStringLiteral("+Inf") : QStringLiteral("-Inf");
  if (std::fabs(value) >= kFixedTextLimit) {
    return QString::fromStdString(FormatCNumber("%.2e", value));
  }
  return std::nullopt;
}

// A rounded value keeps the sign of a tiny negative number: "-0" and "-0.00" read as zero.
QString WithoutNegativeZero(std::string text) {
  if (text == "-0") return QStringLiteral("0");
  if (text == "-0.00") return QStringLiteral("0.00");
  return QString::fromStdString(text);
}

}  // namespace

QString GaugeValueText(double value) {
  if (const auto special = NonFiniteText(value)) return *special;
  return WithoutNegativeZero(FormatFixed(value, 2));
}

QString ScaleLabelText(double value) {
  if (const auto special = NonFiniteText(value)) return *special;
  if (value == std::floor(value)) return WithoutNegativeZero(FormatCNumber("%.0f", value));
  return WithoutNegativeZero(FormatFixed(value, 2));
}

bool IsUsableScale(double max, double min) {
  return std::isfinite(max) && std::isfinite(min) && std::fabs(max) <= kScaleLimitMagnitude &&
         std::fabs(min) <= kScaleLimitMagnitude && min < max;
}

std::optional<double> ParseScaleText(const QString& text) {
  const std::string entry = text.toStdString();
  if (!IsNumberText(entry)) return std::nullopt;
  const auto value = ParseDecimal(entry);
  if (!value || !std::isfinite(*value) || std::fabs(*value) > kScaleLimitMagnitude) {
    return std::nullopt;
  }
  return value;
}

std::vector<ScaleTick> ScaleTicks(double max, double min) {
  if (!IsUsableScale(max, min)) return {};
  // Normalise the span into 2 ... 20. The limits bound the number of steps; a span that is
  // still outside (a denormal one) gets no ticks rather than a loop.
  double span = max - min;
  int exponent = 0;
  for (int i = 0; i < 400 && span > 20.0; ++i, ++exponent) span /= 10.0;
  for (int i = 0; i < 400 && span < 2.0; ++i, --exponent) span *= 10.0;
  if (!(span >= 2.0 && span <= 20.0)) return {};
  const double unit = std::pow(10.0, exponent);
  if (!(unit > 0.0) || !std::isfinite(unit)) return {};

  const double step = span <= 5.0 ? 1.0 : span <= 10.0 ? 2.0 : 4.0;
  const int majorCount = static_cast<int>(span / step - 0.001);
  int minors = 4;
  if (step == 1.0 && span < 3.38) minors = 10;
  if (step == 2.0 && span < 8.45) minors = 8;
  if (step == 4.0 && span < 16.9) minors = 8;
  const double minorStep = step / minors;

  std::vector<ScaleTick> ticks;
  // At most 20 / 0.1 minor steps fit into a normalised span.
  for (int j = 1; j < 1000; ++j) {
    const double offset = j * minorStep;
    if (offset >= span * (1.0 - 1e-9)) break;
    ScaleTick tick;
    tick.value = min + offset * unit;
    // A tick at zero reached by adding steps to a minimum may miss it by a rounding error.
    if (std::fabs(tick.value) < std::fabs(min) * 1e-12) tick.value = 0.0;
    // Steps below the resolution of the limits would stand on them.
    if (!(tick.value > min && tick.value < max)) continue;
    tick.major = j % minors == 0 && j / minors <= majorCount;
    tick.long_ = tick.major || j % minors == minors / 2;
    if (tick.major) tick.label = ScaleLabelText(RoundToSignificant(tick.value, 12));
    ticks.push_back(tick);
  }
  return ticks;
}

}  // namespace va5
