// The line-graph control's arithmetic, the trend graph and the table graph window: axis steps
// and ticks, growth that ends for any sample, per-column reduction that matches the samples,
// the trend's run rules, saving (locale-free CSV, failures reported, old files kept).
#include <gtest/gtest.h>

#include <unistd.h>
#include <QApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <random>

#include "gui/graph/CustomGraph.h"
#include "gui/graph/GraphScale.h"
#include "gui/graph/LineGraph.h"
#include "gui/graph/TrendGraph.h"
#include "lang/ControlIds.h"
#include "lang/ResourceDatabase.h"
#include "session/LiveValues.h"
#include "testing/CommaLocale.h"
#include "tests/gui/GuiTestSupport.h"

namespace va5 {
namespace {

using graph::AxisTick;
using graph::Range;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// ---- axis arithmetic ---------------------------------------------------------------------

std::vector<double> ValuesOf(double min, double max, AxisTick::Kind kind) {
  std::vector<double> values;
  for (const AxisTick& tick : graph::TicksOf(min, max)) {
    if (tick.kind == kind) values.push_back(std::round(tick.value * 1000) / 1000);
  }
  return values;
}

TEST(GraphScaleTest, StepsTicksAndLabelsOfSeveralRanges) {
  // 0 ... 100: normalised 10, step 2 x 10 in five divisions of eight.
  graph::AxisScale s = graph::ScaleOf(0, 100);
  EXPECT_EQ(s.unit, 2);
  EXPECT_EQ(s.majorCount, 5);
  EXPECT_EQ(s.minorPerMajor, 8);
  EXPECT_DOUBLE_EQ(s.step, 20);
  EXPECT_EQ(graph::TicksOf(0, 100).size(), 41u);
  EXPECT_EQ(ValuesOf(0, 100, AxisTick::kMajor), (std::vector<double>{0, 20, 40, 60, 80, 100}));
  EXPECT_EQ(ValuesOf(0, 100, AxisTick::kMiddle), (std::vector<double>{10, 30, 50, 70, 90}));
  // The constant signal's -15 ... 115: step 40 in sixteen minor steps, the ticks at round
  // values and the ends labelled on their own.
  s = graph::ScaleOf(-15, 115);
  EXPECT_EQ(s.unit, 4);
  EXPECT_EQ(s.majorCount, 4);
  EXPECT_EQ(s.minorPerMajor, 16);
  EXPECT_EQ(ValuesOf(-15, 115, AxisTick::kMajor), (std::vector<double>{0, 40, 80}));
  EXPECT_EQ(ValuesOf(-15, 115, AxisTick::kMiddle), (std::vector<double>{20, 60, 100}));
  EXPECT_EQ(ValuesOf(-15, 115, AxisTick::kEnd), (std::vector<double>{-15, 115}));
  EXPECT_EQ(graph::TicksOf(-15, 115).size(), 53u);
  // Small ranges: the trend's first 0 ... 0.1 reads as 10 normalised (not 10.000000000000002).
  s = graph::ScaleOf(0, 0.1);
  EXPECT_EQ(s.unit, 2);
  EXPECT_DOUBLE_EQ(s.step, 0.02);
  s = graph::ScaleOf(4, 7);  // 3: step 1 in twenty minor steps
  EXPECT_EQ(s.unit, 1);
  EXPECT_EQ(s.majorCount, 3);
  EXPECT_EQ(s.minorPerMajor, 20);
  // Ranges without a step end at once.
  for (Range r :
       {Range{5, 5}, Range{5, 4}, Range{0, kNaN}, Range{-kInf, 0}, Range{-1e308, 1e308}}) {
    EXPECT_FALSE(graph::ScaleOf(r.min, r.max).valid) << r.min << " " << r.max;
    EXPECT_TRUE(graph::TicksOf(r.min, r.max).empty());
  }
  EXPECT_TRUE(graph::ScaleOf(0, 1e-300).valid);
  EXPECT_EQ(graph::AxisLabel(-0.001), "0.00");
  EXPECT_EQ(graph::AxisLabel(-12.5), "-12.50");
  EXPECT_EQ(graph::TimeLabel(120), "120");
  EXPECT_EQ(graph::TimeLabel(0.5), "0.50");
}

// Whatever the range, the labels read round values (whole multiples of half the step, not
// 68.52 and 118.52), both ends are labelled, and an axis has labels enough to be read.
TEST(GraphScaleTest, LabelsStandOnRoundValuesAndBothEnds) {
  for (Range r : {Range{18.52, 138.5}, Range{-15, 115}, Range{0, 0.1}, Range{20.44, 20.8},
                  Range{-273.15, 1000}, Range{80.5, 109.75}, Range{-1e30, 1e30}, Range{4, 7}}) {
    SCOPED_TRACE(std::to_string(r.min) + " ... " + std::to_string(r.max));
    const std::vector<AxisTick> ticks = graph::TicksOf(r.min, r.max);
    ASSERT_FALSE(ticks.empty());
    EXPECT_EQ(ticks.front().value, r.min);
    EXPECT_EQ(ticks.back().value, r.max);
    EXPECT_TRUE(ticks.front().Labelled() && ticks.back().Labelled());
    const double half = graph::ScaleOf(r.min, r.max).step / 2;
    int labels = 0;
    for (std::size_t i = 0; i < ticks.size(); ++i) {
      if (i > 0) {
        EXPECT_GT(ticks[i].value, ticks[i - 1].value);
      }
      if (!ticks[i].Labelled()) continue;
      ++labels;
      if (ticks[i].kind == AxisTick::kEnd) continue;
      const double steps = ticks[i].value / half;
      EXPECT_NEAR(steps, std::round(steps), 1e-6) << ticks[i].value;
    }
    EXPECT_GE(labels, 5);
  }
  EXPECT_EQ(ValuesOf(18.52, 138.5, AxisTick::kMajor), (std::vector<double>{40, 80, 120}));
  EXPECT_EQ(ValuesOf(18.52, 138.5, AxisTick::kMiddle), (std::vector<double>{20, 60, 100}));
}

TEST(GraphScaleTest, GrowthKeepsTheDataInsideAndEndsForAnySample) {
  graph::Extremes two;
  two.Add(20.0);
  two.Add(20.5);
  // Fitted to 20 ... 20.5 (step 0.1): one step above the top and one below the bottom.
  Range y = graph::GrowValueAxis({20.0, 20.5}, two);
  EXPECT_NEAR(y.max, 20.6, 1e-9);
  EXPECT_NEAR(y.min, 19.9, 1e-9);
  // Rounding the top to the step never brings it below the largest value.
  y = graph::GrowValueAxis({20.44, 20.8}, two);
  EXPECT_GT(y.max, 20.5);
  EXPECT_LT(y.min, 20.0);

  graph::Extremes constant;
  constant.Add(1e6);
  constant.Add(kNaN);
  constant.Add(1e6);
  y = graph::GrowValueAxis({0, 0.1}, constant);
  EXPECT_EQ(y.min, -15.0);
  EXPECT_EQ(y.max, 115.0);

  // Infinite samples are left out; 1e30 and ranges without a step end in one step.
  QElapsedTimer timer;
  timer.start();
  graph::Extremes wild;
  for (double v : {kInf, -kInf, kNaN, 1e30, 0.5, -1e30}) wild.Add(v);
  EXPECT_EQ(wild.largest, 1e30);
  EXPECT_EQ(wild.smallest, -1e30);
  for (Range start : {Range{0, 0.1}, Range{0, 0}, Range{1e30, 1e30}, Range{kNaN, 1}}) {
    y = graph::GrowValueAxis(start, wild);
    EXPECT_TRUE(std::isfinite(y.min) && std::isfinite(y.max));
    EXPECT_GT(y.max, 1e30);
    EXPECT_LT(y.min, -1e30);
  }
  graph::Extremes neighbours;  // a span far below the precision of the values' step
  neighbours.Add(1e30);
  neighbours.Add(std::nextafter(1e30, kInf));
  y = graph::GrowValueAxis({1e30, std::nextafter(1e30, kInf)}, neighbours);
  EXPECT_GT(y.max, neighbours.largest);
  EXPECT_LT(y.min, neighbours.smallest);

  // Time: half-steps above the newest time; a range of zero opens by a second.
  EXPECT_NEAR(graph::GrowTimeAxis({0, 1}, 1).max, 1.1, 1e-12);
  EXPECT_EQ(graph::GrowTimeAxis({0, 0}, 0).max, 1.0);
  const Range far = graph::GrowTimeAxis({0, 10}, 6.048e5 * 1e9);
  EXPECT_GT(far.max, 6.048e14);
  EXPECT_LT(timer.elapsed(), 1000);
}

TEST(GraphScaleTest, ColumnsMatchTheSamplesTheyStandFor) {
  graph::SampleSeries series;
  std::mt19937 random(7);
  std::normal_distribution<double> noise(0, 5);
  const std::size_t n = 70001;
  for (std::size_t i = 0; i < n; ++i) {
    const double v = i % 997 == 13   ? kNaN
                     : i % 4093 == 5 ? kInf
                                     : std::sin(i * 1e-3) * 50 + noise(random);
    series.Append(static_cast<double>(i) * 0.25, v);
  }
  series.Append(0.0, 1.0);  // a time going backwards is taken as the previous one
  EXPECT_TRUE(series.Ordered());
  const double xMin = 1000.3;
  const double xMax = 17000.9;
  const int columns = 333;
  const auto spans = series.Columns(series.Size(), xMin, xMax, columns);
  ASSERT_EQ(spans.size(), static_cast<std::size_t>(columns));
  std::vector<graph::ColumnSpan> expected(columns);
  const auto& t = series.Times();
  const auto& v = series.Values();
  for (std::size_t i = 0; i < series.Size(); ++i) {
    if (t[i] < xMin || t[i] > xMax) continue;
    const int c = std::min(columns - 1, static_cast<int>((t[i] - xMin) / (xMax - xMin) * columns));
    graph::ColumnSpan& e = expected[static_cast<std::size_t>(c)];
    ++e.count;
    if (!std::isfinite(v[i])) continue;
    e.low = e.empty ? v[i] : std::min(e.low, v[i]);
    e.high = e.empty ? v[i] : std::max(e.high, v[i]);
    e.empty = false;
  }
  for (int c = 0; c < columns; ++c) {
    SCOPED_TRACE(c);
    EXPECT_EQ(spans[c].count, expected[c].count);
    ASSERT_EQ(spans[c].empty, expected[c].empty);
    EXPECT_EQ(spans[c].low, expected[c].low);
    EXPECT_EQ(spans[c].high, expected[c].high);
  }
}

// ---- the trend graph ---------------------------------------------------------------------

bool HasCurvePixels(CLineGraph* graph) {
  const QImage image = graph->grab().toImage();
  const QRect area = graph->PlotArea();
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if ((image.pixel(x, y) & 0xFFFFFF) == (CLineGraph::kCurveColour & 0xFFFFFF)) return true;
    }
  }
  return false;
}

class TrendGraphTest : public ::testing::Test {
 protected:
  TrendGraphTest() {
    TheResourceDatabase().InitEmpty();
    trend.resize(640, 480);
    trend.SetClock([this] { return now; });
    trend.Open(CTrendGraph::kPv, QStringLiteral("PV (degC)"));
  }
  void Sample(std::int64_t at, double value) {
    now = at;
    trend.AddSample(value);
  }

  std::int64_t now = 0;
  CTrendGraph trend;
};

TEST_F(TrendGraphTest, ARunStartsAtItsFirstSampleWhichIsNotDrawnAlone) {
  EXPECT_EQ(trend.SignalName(), "PV");
  EXPECT_EQ(trend.UnitText(), "(degC)");
  now = 1000;
  trend.Start();
  EXPECT_FALSE(trend.Button(ids::trend_graph::kStartButton)->isEnabled());
  Sample(5000, 20.0);
  EXPECT_EQ(trend.Graph()->Series().Times(), std::vector<double>{0.0});
  EXPECT_EQ(trend.Graph()->PlottedCount(), 0u);
  EXPECT_FALSE(HasCurvePixels(trend.Graph()));
  Sample(6000, 20.5);
  EXPECT_EQ(trend.Graph()->Series().Times(), (std::vector<double>{0.0, 1.0}));
  EXPECT_EQ(trend.Graph()->PlottedCount(), 2u);
  EXPECT_TRUE(HasCurvePixels(trend.Graph()));
  // Fitted to the two samples, then grown: the newest point stays below the top.
  EXPECT_NEAR(trend.Graph()->YRange().max, 20.6, 1e-9);
  EXPECT_NEAR(trend.Graph()->YRange().min, 19.9, 1e-9);
  EXPECT_GT(trend.Graph()->XRange().max, 1.0);

  // Stop keeps the curve; Start again clears it and takes a new time origin.
  trend.Stop();
  EXPECT_TRUE(trend.Button(ids::trend_graph::kStartButton)->isEnabled());
  trend.AddSample(99);  // not running: no sample
  EXPECT_EQ(trend.Graph()->Series().Size(), 2u);
  EXPECT_TRUE(HasCurvePixels(trend.Graph()));
  trend.Start();
  EXPECT_EQ(trend.Graph()->Series().Size(), 0u);
  EXPECT_FALSE(HasCurvePixels(trend.Graph()));
  Sample(9000, 42.0);
  Sample(10000, 42.0);
  Sample(11000, 42.0);
  EXPECT_EQ(trend.Graph()->Series().Times().back(), 2.0);
  // A constant signal spans -15 ... 115 whatever its value.
  EXPECT_EQ(trend.Graph()->YRange().min, -15.0);
  EXPECT_EQ(trend.Graph()->YRange().max, 115.0);

  // Shown again in place (after a table graph) the curve stays; another signal starts empty
  // rather than showing and saving this run under its name.
  trend.Show(false);
  trend.Show(true);
  EXPECT_FALSE(trend.Running());
  EXPECT_TRUE(HasCurvePixels(trend.Graph()));
  trend.Open(CTrendGraph::kLoopCurrent, QStringLiteral("AO (mA)"));
  EXPECT_EQ(trend.Graph()->Series().Size(), 0u);
  EXPECT_FALSE(HasCurvePixels(trend.Graph()));
  EXPECT_FALSE(trend.Button(CTrendGraph::kSaveCsvButton)->isEnabled());
  session::LiveValues live;
  live.pv = 1;
  live.percent = 2;
  live.terminalTemperature = 3;
  live.loopCurrent = 12.5;
  trend.OnPoll(live);  // not started: no sample
  trend.Start();
  trend.OnPoll(live);
  EXPECT_EQ(trend.Graph()->Series().Values(), std::vector<double>{12.5});

  QSignalSpy closed(&trend, &CPanel::closeRequested);
  trend.Button(ids::trend_graph::kCloseButton)->click();
  EXPECT_EQ(closed.count(), 1);
  EXPECT_EQ(trend.SignalShown(), CTrendGraph::kNone);
  EXPECT_FALSE(trend.isVisible());
}

TEST_F(TrendGraphTest, NonFiniteAndHugeSamplesNeitherHangNorLeaveTheAxesUnusable) {
  QElapsedTimer timer;
  timer.start();
  trend.Start();
  const double samples[] = {kNaN, 1.0, kInf, -kInf, 1e30, kNaN, -1e30, 2.0, 1e30};
  std::int64_t at = 0;
  for (double v : samples) Sample(at += 1000, v);
  const Range y = trend.Graph()->YRange();
  EXPECT_TRUE(std::isfinite(y.min) && std::isfinite(y.max));
  EXPECT_GT(y.max, 1e30);
  EXPECT_LT(y.min, -1e30);
  EXPECT_TRUE(HasCurvePixels(trend.Graph()));
  // Two samples in the same millisecond: a time range of zero still opens.
  trend.Stop();
  trend.Start();
  Sample(at, kNaN);
  Sample(at, kNaN);
  Sample(at, 3.0);
  EXPECT_GT(trend.Graph()->XRange().max, trend.Graph()->XRange().min);
  trend.Graph()->grab();
  EXPECT_LT(timer.elapsed(), 3000);
}

TEST_F(TrendGraphTest, CsvKeepsADecimalPointUnderACommaLocale) {
  test::CommaLocale comma;
  trend.SetTag(QStringLiteral("TT-101, line 2"));
  trend.Start();
  Sample(2000, 20.25);
  trend.SetTag(QStringLiteral("OTHER"));  // a run keeps the tag it started with
  Sample(3500, -3.5);
  Sample(4000, kNaN);
  // The header: the run's date, the device's tag and the signal's unit, then the columns.
  const QString text = QString::fromUtf8(trend.CsvText());
  const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^Date,%1 \\d\\d:\\d\\d:\\d\\d\r\n").arg(today))
                  .match(text)
                  .hasMatch())
      << text.toStdString();
  const QString expected =
      "Tag,\"TT-101, line 2\"\r\nUnit,degC\r\n"
      "Time (s),PV (degC)\r\n0.000,20.250000\r\n1.500,-3.500000\r\n2.000,nan\r\n";
  EXPECT_EQ(text.section(QStringLiteral("\r\n"), 1), expected);
  // The unit the sensor panel shows now names the PV column and the unit row.
  trend.SetUnits(QStringLiteral("degF"), QStringLiteral("degC"));
  EXPECT_TRUE(trend.CsvText().contains("\r\nUnit,degF\r\nTime (s),PV (degF)\r\n"));

  QTemporaryDir dir;
  const QString csv = dir.filePath(QStringLiteral("run"));
  const QString png = dir.filePath(QStringLiteral("run.png"));
  QString asked;
  trend.SetSaveDialog([&](QWidget*, const QString&, const QString& suggested, const QString&) {
    asked = suggested;
    return asked.endsWith(QStringLiteral(".csv")) ? csv : png;
  });
  test::RecordedMessages messages;
  trend.Button(CTrendGraph::kSaveCsvButton)->click();
  QFile written(csv + QStringLiteral(".csv"));  // the suffix is added when missing
  ASSERT_TRUE(written.open(QIODevice::ReadOnly));
  EXPECT_EQ(written.readAll(), trend.CsvText());
  trend.Button(CTrendGraph::kSavePictureButton)->click();
  EXPECT_EQ(QImage(png).size(), trend.Graph()->size());
  EXPECT_TRUE(messages.Seen().empty());
}

TEST_F(TrendGraphTest, AFailedSaveIsReportedAndKeepsTheOldFile) {
  trend.Start();
  Sample(1000, 1.0);
  Sample(2000, 2.0);
  QTemporaryDir dir;
  test::RecordedMessages messages;
  // A target the rename cannot replace: a folder with a file in it.
  const QString folder = dir.filePath(QStringLiteral("taken.csv"));
  ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/inner")));
  EXPECT_FALSE(trend.SaveCsv(folder));
  ASSERT_EQ(messages.Seen().size(), 1u);
  EXPECT_TRUE(messages.LastText().contains(QStringLiteral("taken.csv")));
  EXPECT_TRUE(QFileInfo(folder + QStringLiteral("/inner")).isDir());
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size(), 1);

  // A folder that cannot be written to (permissions do not bind the superuser; Windows folders
  // have no write bit to take away).
#ifndef _WIN32
  if (::geteuid() != 0) {
    const QString old = dir.filePath(QStringLiteral("old.csv"));
    QFile file(old);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("old\n");
    file.close();
    namespace fs = std::filesystem;
    fs::permissions(dir.path().toStdString(),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_FALSE(trend.SaveCsv(old));
    EXPECT_FALSE(trend.SavePicture(old));
    fs::permissions(dir.path().toStdString(), fs::perms::owner_all, fs::perm_options::add);
    EXPECT_EQ(messages.Seen().size(), 3u);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "old\n");
  }
#endif
}

// ---- the table graph window ---------------------------------------------------------------

TEST(CustomGraphTest, AnAllEqualTableIsWidenedAroundItsValue) {
  TheResourceDatabase().InitEmpty();
  CCustomGraph window;
  window.resize(600, 460);
  window.SetTexts(QStringLiteral("Custom RTD"), QStringLiteral("(ohm)"),
                  QStringLiteral("Temperature"), QStringLiteral("Resistance"));
  const std::vector<double> x{-100, 0, 100, 200};
  window.SetGraph(x, {138.5, 138.5, 138.5, 138.5}, {-100, 200}, {138.5, 138.5});
  const Range y = window.Graph()->YRange();
  EXPECT_NEAR(y.min, 124.65, 1e-9);
  EXPECT_NEAR(y.max, 152.35, 1e-9);
  EXPECT_FALSE(graph::TicksOf(y.min, y.max).empty());
  window.Show(true);
  EXPECT_TRUE(HasCurvePixels(window.Graph()));
  // All zero opens to -1 ... 1; non-finite or reversed ranges come from the values.
  window.SetGraph(x, {0, 0, 0, 0}, {-100, 200}, {0, 0});
  EXPECT_EQ(window.Graph()->YRange().min, -1.0);
  EXPECT_EQ(window.Graph()->YRange().max, 1.0);
  window.SetGraph(x, {1, 2, kNaN, 4}, {200, -100}, {kNaN, 4});
  EXPECT_EQ(window.Graph()->XRange().min, -100.0);
  EXPECT_EQ(window.Graph()->YRange().min, 1.0);
  EXPECT_EQ(window.Graph()->YRange().max, 4.0);

  QSignalSpy closed(&window, &CCustomGraph::closeRequested);
  window.CloseButton()->click();
  EXPECT_EQ(closed.count(), 1);
  EXPECT_EQ(window.Graph()->Series().Size(), 0u);
  EXPECT_FALSE(window.isVisible());
}

// ---- pictures -----------------------------------------------------------------------------

// Both windows in both languages with a run of samples and a table, their texts unclipped.
// VA5VIVI_TREND_PICTURES names a folder to save the pictures to.
TEST(GraphPictureTest, BothLanguagesLayOutWithoutClippingTheirTexts) {
  const QString folder = qEnvironmentVariable("VA5VIVI_TREND_PICTURES");
  for (const char* language : {"English", "Japanese"}) {
    SCOPED_TRACE(language);
    TheResourceDatabase().InitEmpty();
    TheResourceDatabase().Load(std::string(language) + ".lng", {VA5VIVI_RESOURCES_DIR});
    CTrendGraph trend;
    std::int64_t now = 0;
    trend.SetClock([&now] { return now; });
    trend.Open(CTrendGraph::kTerminal, QStringLiteral("Term. (degC)"));
    trend.resize(trend.minimumSizeHint());
    trend.Start();
    for (int i = 0; i < 600; ++i, now += 1000) {
      trend.AddSample(24.0 + 3 * std::sin(i / 40.0) + (i > 300 ? 2.5 : 0.0));
    }
    QApplication::processEvents();
    for (QPushButton* button : trend.findChildren<QPushButton*>()) {
      EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
    }
    EXPECT_EQ(
        trend.Button(ids::trend_graph::kStartButton)->text(),
        language == std::string("English") ? QStringLiteral("Start") : QStringLiteral("開始"));
    trend.resize(600, 480);
    QApplication::processEvents();
    const QImage trendImage = trend.grab().toImage();

    CCustomGraph table;
    table.SetTexts(QStringLiteral("Custom RTD Table"), QStringLiteral("(ohm)"),
                   QStringLiteral("Temperature (degC)"), QStringLiteral("Resistance"));
    std::vector<double> x;
    std::vector<double> y;
    for (int i = 0; i <= 50; ++i) {
      x.push_back(-200 + 20.0 * i);
      y.push_back(100 * (1 + 3.9083e-3 * x.back() - 5.775e-7 * x.back() * x.back()));
    }
    table.SetGraph(x, y, {x.front(), x.back()}, {y.front(), *std::max_element(y.begin(), y.end())});
    table.resize(table.minimumSizeHint().expandedTo(QSize(560, 420)));
    table.Show(true);
    QApplication::processEvents();
    EXPECT_GE(table.CloseButton()->width(), table.CloseButton()->sizeHint().width());
    EXPECT_TRUE(HasCurvePixels(table.Graph()));
    const QImage tableImage = table.grab().toImage();
    if (!folder.isEmpty()) {
      EXPECT_TRUE(trendImage.save(
          folder + QStringLiteral("/trend-%1.png").arg(QString(language).left(2).toLower())));
      EXPECT_TRUE(tableImage.save(
          folder + QStringLiteral("/table-graph-%1.png").arg(QString(language).left(2).toLower())));
    }
  }
  TheResourceDatabase().InitEmpty();
}

}  // namespace
}  // namespace va5
