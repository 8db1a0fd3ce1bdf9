#include "gui/display/DisplayArea.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "comm/StatusBits.h"
#include "gui/Localise.h"
#include "gui/display/GaugeScale.h"
#include "gui/display/Temperature.h"
#include "lang/ControlIds.h"

namespace va5 {
namespace {

namespace lid = ids::live_display;

struct GaugeSetup {
  int captionId;
  int unitId;
  int gaugeId;
  int maxEditId;  // 0: the scale comes from the device
  int minEditId;
  int buttonId;
  const char* caption;
  const char* unit;
  const char* button;
  const char* defaultMax;
  const char* defaultMin;
  bool thermometer;
};

// The built-in texts; the language file replaces captions and button texts.
constexpr GaugeSetup kSetups[CDisplayArea::kSignalCount] = {
    {lid::kPvCaption, lid::kPvUnit, lid::kPvGauge, 0, 0, lid::kPvGraphButton, "PV", "",
     "PV Graph", "100", "0", false},
    {lid::kPercentCaption, lid::kPercentUnit, lid::kPercentGauge, lid::kPercentMaxEdit,
     lid::kPercentMinEdit, lid::kPercentGraphButton, "PV %", "%", "PV % Graph", "100", "0",
     false},
    {lid::kTerminalCaption, lid::kTerminalUnit, lid::kTerminalGauge, lid::kTerminalMaxEdit,
     lid::kTerminalMinEdit, lid::kTerminalGraphButton, "Term.", "", "Term Graph", "100", "-40",
     true},
    {lid::kAoCaption, lid::kAoUnit, lid::kAoGauge, lid::kAoMaxEdit, lid::kAoMinEdit,
     lid::kAoGraphButton, "AO", "mA", "AO Graph", "20", "4", false},
};

const QColor kGreen(64, 191, 0);
const QColor kRed(255, 0, 0);

constexpr std::uint8_t kStatusMalfunction = device_status::Malfunction.mask;
constexpr std::uint8_t kStatusCurrentFixed = device_status::CurrentFixed.mask;

// A loop current beyond the measuring band of 3.8 to 20.5 mA (the levels of NAMUR NE 43,
// with room for a float's rounding) is a failure signal when the device reports a
// malfunction and has not been told to hold a fixed current.
bool IsAlarmCurrent(const DisplayValues& values) {
  if ((values.deviceStatus & kStatusMalfunction) == 0) return false;
  if ((values.deviceStatus & kStatusCurrentFixed) != 0) return false;
  return values.loopCurrent < 3.75 || values.loopCurrent > 20.55;
}

enum Row { kCaptionRow, kUnitRow, kMaxRow, kGaugeRow, kMinRow, kButtonRow };

}  // namespace

CDisplayArea::CDisplayArea(QWidget* parent) : QWidget(parent) {
  QFont normal;
  MakeFont(normal, 100, 400);
  QFont bold;
  MakeFont(bold, 100, 700);
  setFont(normal);
  const QFontMetrics metrics(normal);

  auto* grid = new QGridLayout(this);
  grid->setHorizontalSpacing(metrics.averageCharWidth());
  grid->setVerticalSpacing(metrics.height() / 4);
  grid->setRowStretch(kGaugeRow, 1);

  for (int s = 0; s < kSignalCount; ++s) {
    const GaugeSetup& setup = kSetups[s];
    grid->setColumnStretch(s, 1);

    auto* caption = new QLabel(QString::fromUtf8(setup.caption), this);
    caption->setFont(bold);
    caption->setAlignment(Qt::AlignCenter);
    SetControlId(caption, setup.captionId);
    grid->addWidget(caption, kCaptionRow, s);
    captions_[s] = caption;

    auto* unit = new QLabel(this);
    SetShownValue(unit, QString::fromUtf8(setup.unit));
    unit->setAlignment(Qt::AlignCenter);
    SetControlId(unit, setup.unitId);
    grid->addWidget(unit, kUnitRow, s);
    units_[s] = unit;

    auto* gauge = new CTemperature(this);
    gauge->SetShape(setup.thermometer ? CTemperature::Shape::kThermometer
                                      : CTemperature::Shape::kBar);
    gauge->SetFillColor(s == kTerminal ? kRed : kGreen);
    SetControlId(gauge, setup.gaugeId);
    grid->addWidget(gauge, kGaugeRow, s);
    gauges_[s] = gauge;

    if (setup.maxEditId != 0) {
      const auto signal = static_cast<Signal>(s);
      auto makeEdit = [&](int id, const char* text, int row, bool isMax) {
        auto* edit = new QLineEdit(QString::fromUtf8(text), this);
        edit->setAlignment(Qt::AlignRight);
        edit->setMaximumWidth(metrics.horizontalAdvance(QStringLiteral("-0000.00")) +
                              metrics.averageCharWidth() * 2);
        SetControlId(edit, id);
        grid->addWidget(edit, row, s, Qt::AlignHCenter);
        connect(edit, &QLineEdit::editingFinished, this,
                [this, signal, isMax] { CommitScale(signal, isMax); });
        return edit;
      };
      maxEdits_[s] = makeEdit(setup.maxEditId, setup.defaultMax, kMaxRow, true);
      minEdits_[s] = makeEdit(setup.minEditId, setup.defaultMin, kMinRow, false);
      maxAccepted_[s] = maxEdits_[s]->text();
      minAccepted_[s] = minEdits_[s]->text();
      gauge->SetScale(*ParseScaleText(maxAccepted_[s]), *ParseScaleText(minAccepted_[s]));
    }

    auto* button = new QPushButton(QString::fromUtf8(setup.button), this);
    SetControlId(button, setup.buttonId);
    button->setEnabled(false);
    grid->addWidget(button, kButtonRow, s);
    connect(button, &QPushButton::clicked, this, [this, s] {
      emit graphRequested(s, GraphTitle(static_cast<Signal>(s)));
    });
    graphButtons_[s] = button;
  }
  RefreshCaptions();
}

void CDisplayArea::Update(const DisplayValues& values) {
  // The PV scale is the device's range with the larger value on top, whichever way round the
  // range was written. A range the gauge cannot use (NaN, equal values) draws no ticks.
  const double upper = values.pvUpperRange;
  const double lower = values.pvLowerRange;
  gauges_[kPv]->SetScale(lower > upper ? lower : upper, lower > upper ? upper : lower);
  SetUnits(values.pvUnit, values.terminalUnit);
  // A malfunction (a broken sensor) leaves the PV and its percentage at a stale value.
  const bool malfunction = (values.deviceStatus & kStatusMalfunction) != 0;
  const QString noValue = DisplayText("Gauge_No_Value", "No value");
  const QString sensorFailure = DisplayText("Gauge_Sensor_Failure", "Sensor failure");
  const auto show = [&](Signal signal, double value, bool failed) {
    if (!std::isfinite(value)) {
      gauges_[signal]->SetFailure(value, noValue);
    } else if (failed) {
      gauges_[signal]->SetFailure(value, sensorFailure);
    } else {
      gauges_[signal]->SetValue(value);
    }
  };
  show(kPv, values.pv, malfunction);
  show(kPercent, values.percent, malfunction);
  show(kTerminal, values.terminal, false);
  // The loop current is measured all the same; at an alarm level it is marked as the alarm.
  const bool alarm = IsAlarmCurrent(values);
  gauges_[kLoopCurrent]->SetFillColor(alarm ? kRed : kGreen);
  if (!std::isfinite(values.loopCurrent)) {
    gauges_[kLoopCurrent]->SetFailure(values.loopCurrent, noValue);
  } else {
    gauges_[kLoopCurrent]->SetValue(values.loopCurrent,
                                    alarm ? DisplayText("Gauge_Alarm", "Alarm") : QString());
  }
  RefreshCaptions();
}

void CDisplayArea::SetUnits(const QString& pvUnit, const QString& terminalUnit) {
  SetShownValue(units_[kPv], pvUnit);
  SetShownValue(units_[kTerminal], terminalUnit);
}

void CDisplayArea::ShowOffline() {
  for (CTemperature* gauge : gauges_) gauge->Clear();
  SetUnits(QString(), QString());
  SetGraphsEnabled(false);
  RefreshCaptions();
}

void CDisplayArea::Localise() {
  LocaliseWindow(lid::kLayout, this);
  RefreshCaptions();
}

void CDisplayArea::SetGraphsEnabled(bool enabled) {
  for (QPushButton* button : graphButtons_) button->setEnabled(enabled);
}

QString CDisplayArea::GraphTitle(Signal signal) const {
  return captions_[signal]->text() + QStringLiteral(" (") + units_[signal]->text() +
         QStringLiteral(")");
}

void CDisplayArea::RefreshCaptions() {
  for (int s = 0; s < kSignalCount; ++s) {
    const QString caption = captions_[s]->text();
    gauges_[s]->SetCaption(caption);
    units_[s]->setAccessibleName(DisplayText("Acc_Unit", "%1 unit", {caption.toStdString()}));
    if (maxEdits_[s] != nullptr) {
      maxEdits_[s]->setAccessibleName(
          DisplayText("Acc_Scale_Max", "%1 max", {caption.toStdString()}));
      minEdits_[s]->setAccessibleName(
          DisplayText("Acc_Scale_Min", "%1 min", {caption.toStdString()}));
    }
  }
}

void CDisplayArea::CommitScale(Signal signal, bool isMax) {
  if (refusing_) return;
  QLineEdit* edit = isMax ? maxEdits_[signal] : minEdits_[signal];
  QString& accepted = isMax ? maxAccepted_[signal] : minAccepted_[signal];
  const auto entered = ParseScaleText(edit->text());
  // The other limit is the one last taken, which always reads.
  const double other = ParseScaleText(isMax ? minAccepted_[signal] : maxAccepted_[signal])
                           .value_or(isMax ? -kScaleLimitMagnitude : kScaleLimitMagnitude);
  const double max = isMax ? entered.value_or(0.0) : other;
  const double min = isMax ? other : entered.value_or(0.0);
  if (!entered || !IsUsableScale(max, min)) {
    // A number that reads but would turn the scale upside down is told so, with both limits
    // as they stand; anything else is not a number the box takes.
    const bool misordered = entered.has_value() && !(min < max);
    const std::string minText =
        (isMax ? minAccepted_[signal] : edit->text()).trimmed().toStdString();
    const std::string maxText =
        (isMax ? edit->text() : maxAccepted_[signal]).trimmed().toStdString();
    // Back to the limit the gauge still shows, before the box takes the focus away.
    refusing_ = true;
    edit->setText(accepted);
    if (misordered) {
      ShowUIMessage(this, "Err_Scale_Order", {minText, maxText}, kStyleOkExclamation, hold_);
    } else {
      ShowUIMessage(this, "Err_Num_Inalid_char", {}, kStyleOkExclamation, hold_);
    }
    refusing_ = false;
    return;
  }
  accepted = edit->text();
  gauges_[signal]->SetScale(max, min);
  emit scaleChanged(signal);
}

}  // namespace va5
