// Trends over ten thousand flights of one six-cylinder engine with every figure: the bands and
// changes, and the JSON written from them. Prints "trend, 10000 flights: T ms", the best of
// three runs.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "library/trends.h"
#include "library/trends_output.h"

int main() {
  using namespace ovixlog;
  constexpr int kFlights = 10000;
  std::vector<TrendFlightRow> rows;
  rows.reserve(kFlights);
  uint32_t state = 7;
  auto noise = [&state](double size) {
    state = state * 1664525u + 1013904223u;
    return (static_cast<double>(state >> 16) / 65535.0 - 0.5) * 2.0 * size;
  };
  for (int id = 1; id <= kFlights; ++id) {
    TrendFlightRow row;
    row.id = id;
    row.aircraft = "N123AB";
    row.startUtcMs = int64_t{id} * 86'400'000 / 3;
    row.start = "2026-01-01T10:00:00+00:00";
    row.order = id;
    row.hasCruise = true;
    for (int c = 1; c <= 6; ++c) {
      // A step every thousand flights in one cylinder, so that changes are found too.
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
  double best = 1e300;
  size_t changes = 0;
  size_t bytes = 0;
  for (int pass = 0; pass < 3; ++pass) {
    const auto start = std::chrono::steady_clock::now();
    const Trends trends = ComputeTrends(rows);
    const std::string json = TrendsJson(trends);
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
    changes = trends.aircraft.at(0).changes.size();
    bytes = json.size();
  }
  std::printf("trend, %d flights: %.0f ms\n", kFlights, best);
  std::fflush(stdout);
  std::fprintf(stderr, "(%zu changes, %zu bytes of JSON)\n", changes, bytes);
  return 0;
}
