// The live display and the status strip: gauges that stay finite and responsive whatever the
// device sends, the scale boxes' refusals, locale-free numbers, and the lamps' colours.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <cmath>
#include <limits>

#include "gui/LblColor.h"
#include "gui/display/DisplayArea.h"
#include "gui/display/DisplaySignal.h"
#include "gui/display/GaugeScale.h"
#include "gui/display/Temperature.h"
#include "lang/ResourceDatabase.h"
#include "testing/CommaLocale.h"
#include "tests/gui/GuiTestSupport.h"

namespace va5 {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// ---- texts and ticks -----------------------------------------------------------------------

TEST(GaugeTextTest, ValuesReadWithTwoDecimalsAndNoNegativeZero) {
  EXPECT_EQ(GaugeValueText(-0.004), "0.00");
  EXPECT_EQ(GaugeValueText(-0.0), "0.00");
  EXPECT_EQ(GaugeValueText(-0.005001), "-0.01");
  EXPECT_EQ(GaugeValueText(3.5), "3.50");
  EXPECT_EQ(ScaleLabelText(-40.0), "-40");
  EXPECT_EQ(ScaleLabelText(-0.0), "0");
  EXPECT_EQ(ScaleLabelText(12.5), "12.50");
  // What a device sends for "not a number", and values too large for fixed digits.
  EXPECT_EQ(GaugeValueText(kNaN), "NaN");
  EXPECT_EQ(GaugeValueText(kInf), "+Inf");
  EXPECT_EQ(GaugeValueText(-kInf), "-Inf");
  EXPECT_EQ(GaugeValueText(1e300), "1.00e+300");
  EXPECT_EQ(ScaleLabelText(-3e38), "-3.00e+38");
}

std::vector<double> MajorValues(double max, double min) {
  std::vector<double> values;
  for (const ScaleTick& tick : ScaleTicks(max, min)) {
    if (tick.major) values.push_back(tick.value);
  }
  return values;
}

TEST(ScaleTicksTest, MajorTicksStepFromTheMinimumAndMinorTicksDivideEachStep) {
  // -40 ... 100: span 14 x 10, step 4 x 10, 8 minor steps.
  EXPECT_EQ(MajorValues(100, -40), (std::vector<double>{0, 40, 80}));
  EXPECT_EQ(ScaleTicks(100, -40).size(), 27u);
  // 4 ... 20 mA: span 16, step 4, 8 minor steps.
  EXPECT_EQ(MajorValues(20, 4), (std::vector<double>{8, 12, 16}));
  // 0 ... 100: span 10 x 10, step 2 x 10, 4 minor steps, the middle one long.
  const auto percent = ScaleTicks(100, 0);
  ASSERT_EQ(percent.size(), 19u);
  EXPECT_EQ(MajorValues(100, 0), (std::vector<double>{20, 40, 60, 80}));
  EXPECT_TRUE(percent[1].long_ && !percent[1].major);   // 10
  EXPECT_FALSE(percent[0].long_);                       // 5
  EXPECT_EQ(percent[3].label, "20");
  // Small spans: step 1 of 0.1 with ten minor steps; labels keep two decimals.
  const auto small = ScaleTicks(0.5, 0.2);
  ASSERT_FALSE(small.empty());
  EXPECT_EQ(MajorValues(0.5, 0.2).size(), 2u);
  EXPECT_EQ(small[9].label, "0.30");
}

TEST(ScaleTicksTest, EveryScaleEndsWithFewTicksInsideItsLimits) {
  const double cases[][2] = {{1e12, -1e12}, {1 + 1e-12, 1}, {1e-300, 0}, {5e-324, 0},
                             {7.3, 7.2999},  {1e9, 1e9 - 0.5}, {1, -1}};
  for (const auto& [max, min] : cases) {
    const auto ticks = ScaleTicks(max, min);
    EXPECT_LE(ticks.size(), 100u) << max << " " << min;
    for (const ScaleTick& tick : ticks) {
      EXPECT_GT(tick.value, min);
      EXPECT_LT(tick.value, max);
      EXPECT_LE(tick.label.size(), 20);
    }
  }
  // No ticks without a usable scale: NaN, infinite, reversed, equal, beyond the limit.
  for (const auto& [max, min] : {std::pair{kNaN, 0.0}, {kInf, 0.0}, {0.0, -kInf}, {0.0, 1.0},
                                 {4.0, 4.0}, {1e300, -1e300}}) {
    EXPECT_TRUE(ScaleTicks(max, min).empty()) << max << " " << min;
  }
}

// ---- one gauge ------------------------------------------------------------------------------

class GaugeTest : public ::testing::Test {
 protected:
  GaugeTest() {
    gauge.resize(160, 400);
    gauge.SetScale(100, 0);
  }
  // The colour in the middle of the bar at `row`.
  QColor BarPixel(const QImage& image, int row) const {
    return image.pixelColor(gauge.BarRect().center().x(), row);
  }
  CTemperature gauge;
};

TEST_F(GaugeTest, FillRunsFromTheMinimumToTheValueAndStopsAtTheLimits) {
  const QRect bar = gauge.BarRect();
  gauge.SetValue(0);
  EXPECT_TRUE(gauge.FillRect().isEmpty());  // at the minimum: empty
  gauge.SetValue(150);
  EXPECT_EQ(gauge.FillRect().top(), bar.top());  // above the maximum: full
  gauge.SetValue(50);
  EXPECT_NEAR(gauge.FillRect().top(), (bar.top() + bar.bottom()) / 2.0, 1.0);
  const QImage image = gauge.grab().toImage();
  EXPECT_EQ(BarPixel(image, bar.bottom() - 5), QColor(0, 191, 0));
  EXPECT_EQ(BarPixel(image, bar.top() + 5), QColor(Qt::black));
}

TEST_F(GaugeTest, NotANumberInfinityAndHugeValuesPaintQuicklyWithSaneTexts) {
  struct Case {
    double value, max, min;
    bool full;
  };
  const Case cases[] = {{kNaN, 100, 0, false},  {kInf, 100, 0, true},  {-kInf, 100, 0, false},
                        {1e300, 100, 0, true},  {3e38, 1e12, -1e12, true},
                        {50, kNaN, kNaN, false}, {50, kInf, -kInf, false}, {50, 7, 7, false},
                        {50, 0, 100, false},    {-1e300, 1e-300, 0, false}};
  for (const Case& c : cases) {
    gauge.SetScale(c.max, c.min);
    gauge.SetValue(c.value);
    QElapsedTimer clock;
    clock.start();
    const QImage image = gauge.grab().toImage();
    EXPECT_LT(clock.elapsed(), 1000) << c.value << " " << c.max << " " << c.min;
    EXPECT_FALSE(image.isNull());
    EXPECT_LE(gauge.ValueText().size(), 10) << gauge.ValueText().toStdString();
    EXPECT_EQ(gauge.FillRect().isEmpty(), !c.full) << c.value << " " << c.max;
    const QRect fill = gauge.FillRect();
    if (!fill.isEmpty()) {
      EXPECT_TRUE(gauge.BarRect().contains(fill));
    }
    EXPECT_EQ(gauge.accessibleDescription(), gauge.ValueText());
  }
}

// ---- the live display -----------------------------------------------------------------------

DisplayValues SampleValues() {
  DisplayValues values;
  values.pv = 123.45;
  values.pvUnit = QStringLiteral("degC");
  values.pvUpperRange = 200;
  values.pvLowerRange = -50;
  values.percent = 69.38;
  values.terminal = 24.8;
  values.terminalUnit = QStringLiteral("degC");
  values.loopCurrent = 15.1;
  return values;
}

class DisplayAreaTest : public ::testing::Test {
 protected:
  DisplayAreaTest() {
    area.resize(560, 640);
    area.SetHoldCallback([this](bool on) { holds.push_back(on); });
  }
  // Types `text` into a scale box and presses Enter.
  void Enter(QLineEdit* edit, const QString& text) {
    edit->setText(text);
    QTest::keyClick(edit, Qt::Key_Return);
  }
  CDisplayArea area;
  std::vector<bool> holds;
};

TEST_F(DisplayAreaTest, ScaleBoxesRefuseWhatCannotMakeAFiniteScale) {
  const auto percent = CDisplayArea::kPercent;
  QLineEdit* max = area.MaxEdit(percent);
  QLineEdit* min = area.MinEdit(percent);
  ASSERT_NE(max, nullptr);
  EXPECT_EQ(area.MaxEdit(CDisplayArea::kPv), nullptr);
  const QString huge(400, QLatin1Char('9'));
  const QString refused[] = {QStringLiteral("inf"), QStringLiteral("1e3"), huge,
                             QStringLiteral("12,5"), QStringLiteral("-"),  QStringLiteral(""),
                             QStringLiteral("1-2"),  QStringLiteral("0"),  QStringLiteral("-5"),
                             QStringLiteral("2000000000000")};
  for (const QString& text : refused) {
    test::RecordedMessages messages;
    holds.clear();
    Enter(max, text);
    ASSERT_EQ(messages.Seen().size(), 1u) << text.left(20).toStdString();
    EXPECT_EQ(messages.Seen().front().style, kStyleOkExclamation);
    EXPECT_EQ(max->text(), "100");  // back to the limit the gauge shows
    EXPECT_EQ(area.Gauge(percent)->ScaleMax(), 100);
    EXPECT_EQ(holds, (std::vector<bool>{true, false}));
  }
  // The minimum is held against the maximum the same way.
  test::RecordedMessages messages;
  Enter(min, QStringLiteral("100"));
  EXPECT_EQ(messages.Seen().size(), 1u);
  EXPECT_EQ(min->text(), "0");

  QSignalSpy changed(&area, &CDisplayArea::scaleChanged);
  Enter(max, QStringLiteral(" +12.5 "));
  Enter(min, QStringLiteral("-7"));
  EXPECT_EQ(messages.Seen().size(), 1u);
  EXPECT_EQ(area.Gauge(percent)->ScaleMax(), 12.5);
  EXPECT_EQ(area.Gauge(percent)->ScaleMin(), -7);
  EXPECT_EQ(changed.count(), 2);
  // A later refusal returns to the last limit taken, not to the default.
  Enter(max, QStringLiteral("x"));
  EXPECT_EQ(max->text(), " +12.5 ");
  EXPECT_EQ(area.Gauge(percent)->ScaleMax(), 12.5);
}

TEST_F(DisplayAreaTest, UpdateShowsValuesUnitsAndTheRangeLargerValueOnTop) {
  DisplayValues values = SampleValues();
  values.pvUpperRange = -50;  // written the wrong way round
  values.pvLowerRange = 200;
  values.percent = -0.004;
  area.Update(values);
  EXPECT_EQ(area.Gauge(CDisplayArea::kPv)->ScaleMax(), 200);
  EXPECT_EQ(area.Gauge(CDisplayArea::kPv)->ScaleMin(), -50);
  EXPECT_EQ(area.Gauge(CDisplayArea::kPv)->ValueText(), "123.45");
  EXPECT_EQ(area.Gauge(CDisplayArea::kPercent)->ValueText(), "0.00");
  EXPECT_EQ(area.Gauge(CDisplayArea::kTerminal)->ValueText(), "24.80");
  EXPECT_EQ(area.GraphTitle(CDisplayArea::kTerminal), "Term. (degC)");
  EXPECT_EQ(area.GraphTitle(CDisplayArea::kLoopCurrent), "AO (mA)");
  EXPECT_EQ(area.Gauge(CDisplayArea::kLoopCurrent)->accessibleName(), "AO");
  EXPECT_EQ(area.Gauge(CDisplayArea::kLoopCurrent)->accessibleDescription(), "15.10");
  // Assistive technology reads a gauge as a value with its scale.
  QAccessibleInterface* pv = QAccessible::queryAccessibleInterface(area.Gauge(CDisplayArea::kPv));
  ASSERT_NE(pv, nullptr);
  EXPECT_EQ(pv->role(), QAccessible::ProgressBar);
  EXPECT_EQ(pv->text(QAccessible::Name), "PV");
  EXPECT_EQ(pv->text(QAccessible::Value), "123.45");
  ASSERT_NE(pv->valueInterface(), nullptr);
  EXPECT_DOUBLE_EQ(pv->valueInterface()->currentValue().toDouble(), 123.45);
  EXPECT_EQ(pv->valueInterface()->maximumValue().toDouble(), 200);
  EXPECT_EQ(pv->valueInterface()->minimumValue().toDouble(), -50);

  // Graph buttons stay disabled until a device is connected, then ask for their signal.
  QSignalSpy graph(&area, &CDisplayArea::graphRequested);
  QPushButton* button = area.GraphButton(CDisplayArea::kPercent);
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(graph.count(), 0);
  area.SetGraphsEnabled(true);
  QTest::mouseClick(button, Qt::LeftButton);
  ASSERT_EQ(graph.count(), 1);
  EXPECT_EQ(graph.at(0).at(0).toInt(), CDisplayArea::kPercent);
  EXPECT_EQ(graph.at(0).at(1).toString(), "PV % (%)");
}

TEST_F(DisplayAreaTest, DeviceNotANumberKeepsTheWholeDisplayPainting) {
  DisplayValues values;
  values.pv = kNaN;
  values.pvUpperRange = kNaN;
  values.pvLowerRange = kInf;
  values.percent = kInf;
  values.terminal = -kInf;
  values.loopCurrent = 1e300;
  area.Update(values);
  QElapsedTimer clock;
  clock.start();
  EXPECT_FALSE(area.grab().isNull());
  EXPECT_LT(clock.elapsed(), 2000);
  EXPECT_EQ(area.Gauge(CDisplayArea::kPv)->ValueText(), "No value");
  EXPECT_TRUE(area.Gauge(CDisplayArea::kPv)->FillRect().isEmpty());
  EXPECT_EQ(area.Gauge(CDisplayArea::kLoopCurrent)->ValueText(), "1.00e+300");
  // The next good poll draws normally again.
  area.Update(SampleValues());
  EXPECT_FALSE(area.Gauge(CDisplayArea::kPv)->FillRect().isEmpty());
}

TEST_F(DisplayAreaTest, NumbersKeepTheirDecimalPointUnderACommaLocale) {
  test::CommaLocale comma;
  const QLocale previous;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  DisplayValues values = SampleValues();
  values.loopCurrent = 3.5;
  area.Update(values);
  EXPECT_EQ(area.Gauge(CDisplayArea::kLoopCurrent)->ValueText(), "3.50");
  EXPECT_EQ(ScaleLabelText(12.5), "12.50");
  test::RecordedMessages messages;
  Enter(area.MaxEdit(CDisplayArea::kLoopCurrent), QStringLiteral("20.5"));
  EXPECT_TRUE(messages.Seen().empty());
  EXPECT_EQ(area.Gauge(CDisplayArea::kLoopCurrent)->ScaleMax(), 20.5);
  QLocale::setDefault(previous);
}

TEST_F(DisplayAreaTest, JapaneseTextsReplaceCaptionsAndGaugeNames) {
  TheResourceDatabase().InitEmpty();
  TheResourceDatabase().Load("Japanese.lng", {VA5VIVI_RESOURCES_DIR});
  area.Localise();
  EXPECT_EQ(area.Gauge(CDisplayArea::kTerminal)->accessibleName(),
            QString::fromUtf8("端子温度"));
  EXPECT_EQ(area.GraphButton(CDisplayArea::kLoopCurrent)->text(), QString::fromUtf8("AOグラフ"));
  TheResourceDatabase().InitEmpty();
}

// ---- the status strip -----------------------------------------------------------------------

class StatusStripTest : public ::testing::Test {
 protected:
  QColor Comm(int lamp) const { return strip.CommLampAt(lamp)->Background(); }
  QColor Device(int lamp) const { return strip.DeviceLampAt(lamp)->Background(); }
  CDisplaySignal strip;
  const QColor face = CDisplaySignal::ButtonFace();
  const QColor red = CDisplaySignal::Red();
  const QColor green = CDisplaySignal::Green();
};

TEST_F(StatusStripTest, DeviceLampsFollowTheStatusByte) {
  DisplayValues values;
  values.deviceStatus = 0;
  strip.Update(values);
  for (int lamp : {0, 1, 2, 3, 4, 6}) EXPECT_EQ(Device(lamp), face) << lamp;
  EXPECT_EQ(Device(CDisplaySignal::kOutputSaturatedLamp), green);
  EXPECT_EQ(Device(CDisplaySignal::kPvOutOfLimitsLamp), green);

  values.deviceStatus = 0xFF;
  strip.Update(values);
  for (int lamp : {0, 1, 2, 4, 5, 7}) EXPECT_EQ(Device(lamp), red) << lamp;
  EXPECT_EQ(Device(CDisplaySignal::kNonPvOutOfLimitsLamp), green);
  EXPECT_EQ(Device(CDisplaySignal::kDeviceSpareLamp), face);  // 0x10 has no lamp
  EXPECT_EQ(strip.DeviceLampAt(CDisplaySignal::kMalfunctionLamp)->accessibleName(), "MAL");
  // What the lamp means and its state.
  EXPECT_EQ(strip.DeviceLampAt(CDisplaySignal::kMalfunctionLamp)->accessibleDescription(),
            "Device malfunction: red");
  // Both are read out in the display language (the window localises the strip on a change).
  TheResourceDatabase().Load("Japanese.lng", {VA5VIVI_RESOURCES_DIR});
  strip.Localise();
  strip.Update(values);
  EXPECT_EQ(strip.DeviceLampAt(CDisplaySignal::kMalfunctionLamp)->accessibleDescription(),
            QStringLiteral("機器異常：赤"));
  TheResourceDatabase().InitEmpty();

  // Single bits light single lamps.
  values.deviceStatus = 0x08;
  strip.Update(values);
  EXPECT_EQ(Device(CDisplaySignal::kOutputFixedLamp), red);
  EXPECT_EQ(Device(CDisplaySignal::kConfigChangedLamp), face);
}

TEST_F(StatusStripTest, CommLampsShowOneRefreshsErrorsAndTheHeartbeatBlinks) {
  DisplayValues values;
  values.commErrors = 0x40 | 0x02;
  strip.Update(values);
  const QColor firstBeat = Comm(CDisplaySignal::kComLamp);
  EXPECT_EQ(Comm(CDisplaySignal::kParityLamp), red);
  EXPECT_EQ(Comm(CDisplaySignal::kBufferLamp), red);
  EXPECT_EQ(Comm(CDisplaySignal::kOverrunLamp), face);

  // The errors were cleared by the caller: the next refresh turns the lamps off again.
  values.commErrors = 0;
  strip.Update(values);
  const QColor secondBeat = Comm(CDisplaySignal::kComLamp);
  EXPECT_EQ(Comm(CDisplaySignal::kParityLamp), face);
  EXPECT_NE(firstBeat, secondBeat);
  EXPECT_TRUE(firstBeat == green || firstBeat == CDisplaySignal::LightGreen());
  EXPECT_TRUE(secondBeat == green || secondBeat == CDisplaySignal::LightGreen());

  // A first status byte with bit 7 reports errors itself; without it it is a response code.
  values.responseCode = 0x80 | 0x10;
  strip.Update(values);
  EXPECT_EQ(Comm(CDisplaySignal::kFramingLamp), red);
  values.responseCode = 0x10;
  strip.Update(values);
  EXPECT_EQ(Comm(CDisplaySignal::kFramingLamp), face);

  // A refused reply redraws the comm lamps only.
  values.deviceStatus = 0x80;
  strip.Update(values);
  const QColor beat = Comm(CDisplaySignal::kComLamp);
  strip.ShowCommErrors(0x20 | 0x08);
  EXPECT_EQ(Comm(CDisplaySignal::kOverrunLamp), red);
  EXPECT_EQ(Comm(CDisplaySignal::kChecksumLamp), red);
  EXPECT_EQ(Comm(CDisplaySignal::kComLamp), beat);
  EXPECT_EQ(Device(CDisplaySignal::kMalfunctionLamp), red);
}

TEST_F(StatusStripTest, NoReplyLightsTmeUntilTheNextGoodPoll) {
  strip.ShowNoReply();
  EXPECT_EQ(Comm(CDisplaySignal::kTimeoutLamp), red);
  strip.ShowCommErrors(0);
  EXPECT_EQ(Comm(CDisplaySignal::kTimeoutLamp), red);
  strip.Update(DisplayValues{});
  EXPECT_EQ(Comm(CDisplaySignal::kTimeoutLamp), face);
}

// ---- picture --------------------------------------------------------------------------------

// The strip above the live display with sample values. VA5VIVI_DISPLAY_PICTURE names a file
// to save the picture to (docs/display.png is made this way).
TEST(DisplayPictureTest, StripAndDisplayPaintTheirSampleValues) {
  QWidget window;
  auto* column = new QVBoxLayout(&window);
  auto* strip = new CDisplaySignal(&window);
  auto* area = new CDisplayArea(&window);
  column->addWidget(strip);
  column->addWidget(area, 1);
  DisplayValues values = SampleValues();
  values.deviceStatus = 0x40;
  values.commErrors = 0x08;
  strip->Update(values);
  area->Update(values);
  area->SetGraphsEnabled(true);
  window.resize(720, 720);
  window.show();
  QApplication::processEvents();
  const QImage image = window.grab().toImage();
  ASSERT_FALSE(image.isNull());
  // The terminal gauge's fill shows in red inside its bar.
  CTemperature* terminal = area->Gauge(CDisplayArea::kTerminal);
  const QPoint inFill = terminal->mapTo(&window, terminal->FillRect().center());
  EXPECT_EQ(image.pixelColor(inFill * image.devicePixelRatio()), QColor(255, 0, 0));
  const QByteArray path = qgetenv("VA5VIVI_DISPLAY_PICTURE");
  if (!path.isEmpty()) {
    EXPECT_TRUE(image.save(QString::fromLocal8Bit(path)));
  }
}

}  // namespace
}  // namespace va5
