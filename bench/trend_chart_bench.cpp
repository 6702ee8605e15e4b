// The Trends view's charts repainted over ten thousand flights of a six-cylinder engine with
// every figure and their bands, all flights shown, at 1200 x 800. Prints
// "trend chart repaint, 10000 flights: T ms", the median of twenty repaints.
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "library/trends.h"
#include "view/trend_charts_widget.h"
#include "view/trends_view.h"

int main(int argc, char** argv) {
  using namespace ovixlog;
  QApplication app(argc, argv);
  constexpr int kFlights = 10000;
  std::vector<TrendFlightRow> rows;
  uint32_t state = 7;
  auto noise = [&state](double size) {
    state = state * 1664525u + 1013904223u;
    return (static_cast<double>(state >> 16) / 65535.0 - 0.5) * 2.0 * size;
  };
  for (int id = 1; id <= kFlights; ++id) {
    TrendFlightRow row;
    row.id = id;
    row.aircraft = "N123AB";
    row.startUtcMs = int64_t{id} * 28'800'000;
    row.start = "2026-01-01T10:00:00+00:00";
    row.order = id;
    row.hasCruise = true;
    for (int c = 1; c <= 6; ++c) {
      const double step = (id / 1000) % 2 == 1 && c == 3 ? 80.0 : 0.0;
      row.figures.emplace_back("cruise_EGT" + std::to_string(c), 1330 + 8 * c + step + noise(9));
      row.figures.emplace_back("cruise_CHT" + std::to_string(c), 360 + noise(8));
    }
    row.figures.emplace_back("cruise_OilT", 185 + noise(5));
    row.figures.emplace_back("cruise_OilP", 62 + noise(3));
    row.figures.emplace_back("cruise_Volt", 14 + noise(0.2));
    row.figures.emplace_back("cruise_Flow", 10 + noise(0.5));
    row.figures.emplace_back("egt_spread_cruise", 50 + noise(10));
    row.figures.emplace_back("cht_spread_cruise", 30 + noise(8));
    row.figures.emplace_back("max_CHT", 390 + noise(10));
    row.figures.emplace_back("gami_spread", 0.5 + noise(0.1));
    rows.push_back(std::move(row));
  }
  TrendsView view;
  view.SetTrends(ComputeTrends(rows));
  view.rangeChooser()->setCurrentIndex(TrendsView::kAll);
  view.resize(1200, 800);
  TrendChartsWidget* charts = view.charts();
  QImage image(charts->size(), QImage::Format_RGB32);
  std::vector<double> times;
  for (int pass = 0; pass < 21; ++pass) {
    const auto start = std::chrono::steady_clock::now();
    {
      QPainter painter(&image);
      charts->render(&painter);
    }
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    if (pass > 0) times.push_back(took.count());  // the first warms the caches
  }
  std::sort(times.begin(), times.end());
  std::printf("trend chart repaint, %d flights: %.1f ms\n", kFlights, times[times.size() / 2]);
  std::fflush(stdout);
  std::fprintf(stderr, "(%d x %d, %zu charts, %zu changes marked)\n", charts->width(),
               charts->height(), view.model().plots.size(), view.model().marks.size());
  return 0;
}
