// Benchmark of the trend graph: the time to repaint the plot after runs of 10^3, 10^5 and
// 1.5 x 10^6 samples (a week of polls), which should not grow with the length of the run.
//
// Each run is fed through CTrendGraph::AddSample with a stepped clock (400 ms a sample), so
// the ranges grow as they do live; then the plot control is painted into an image --repeats
// times (default 50) and the median and the slowest paint are printed, with the cost of one
// AddSample. Runs on the current platform plug-in (offscreen unless QT_QPA_PLATFORM says
// otherwise).
//
// usage: trend_bench [--repeats N] [--picture PATH]   (PATH: the longest run's plot as PNG)
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "gui/graph/LineGraph.h"
#include "gui/graph/TrendGraph.h"
#include "lang/ResourceDatabase.h"

namespace {

struct Figures {
  double addMicroseconds = 0;
  double medianMs = 0;
  double slowestMs = 0;
};

Figures Measure(std::size_t samples, int repeats, const char* picture) {
  va5::CTrendGraph trend;
  trend.resize(640, 480);
  std::int64_t now = 0;
  trend.SetClock([&now] { return now; });
  trend.Open(va5::CTrendGraph::kPv, QStringLiteral("PV (degC)"));
  trend.Start();
  std::mt19937 random(1);
  std::normal_distribution<double> noise(0, 0.05);
  QElapsedTimer feeding;
  feeding.start();
  for (std::size_t i = 0; i < samples; ++i, now += 400) {
    // A slow daily swing with noise and an occasional step, as a process temperature.
    const double day = static_cast<double>(i) / 216000.0;
    trend.AddSample(80 + 5 * std::sin(day * 6.2832) + noise(random) + (i % 50000 < 20 ? 3 : 0));
  }
  Figures figures;
  figures.addMicroseconds = feeding.nsecsElapsed() / 1e3 / static_cast<double>(samples);

  va5::CLineGraph* graph = trend.Graph();
  QImage image(graph->size(), QImage::Format_ARGB32_Premultiplied);
  std::vector<double> times;
  for (int r = 0; r < repeats + 1; ++r) {
    QElapsedTimer paint;
    paint.start();
    graph->render(&image);
    if (r > 0) times.push_back(paint.nsecsElapsed() / 1e6);  // the first one warms caches
  }
  std::sort(times.begin(), times.end());
  figures.medianMs = times[times.size() / 2];
  figures.slowestMs = times.back();
  if (picture != nullptr) image.save(QString::fromLocal8Bit(picture));
  return figures;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int repeats = 50;
  const char* picture = nullptr;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--repeats") == 0) repeats = std::max(1, std::atoi(argv[i + 1]));
    if (std::strcmp(argv[i], "--picture") == 0) picture = argv[i + 1];
  }
  QApplication application(argc, argv);
  va5::TheResourceDatabase().InitEmpty();
  std::printf("samples,add_sample_us,repaint_median_ms,repaint_slowest_ms\n");
  double first = 0;
  double last = 0;
  for (std::size_t samples : {std::size_t{1000}, std::size_t{100000}, std::size_t{1500000}}) {
    const Figures f = Measure(samples, repeats, samples == 1500000 ? picture : nullptr);
    std::printf("%zu,%.3f,%.3f,%.3f\n", samples, f.addMicroseconds, f.medianMs, f.slowestMs);
    std::fflush(stdout);
    if (samples == 1000) first = f.medianMs;
    last = f.medianMs;
  }
  std::printf("ratio_1.5e6_to_1e3,%.2f\n", first > 0 ? last / first : 0.0);
  return 0;
}
