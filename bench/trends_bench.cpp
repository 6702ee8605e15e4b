// Trends over ten thousand flights of one six-cylinder engine with every figure, from a flight
// library on disk: the flights loaded, their stored figures read and the bands and changes
// computed, as the Trends view and `ovixlog-library trend` do. Prints
// "trend, 10000 flights: T ms", the best of three runs; writing the JSON of `trend --json`
// is timed on its own line after it.
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "library/flight_library.h"
#include "library/trend_rows.h"
#include "library/trends.h"
#include "library/trends_output.h"

namespace {

// The figures the library stores for a flight, with the cruise medians of every cylinder.
std::string StoredFigures(int id, uint32_t& state) {
  auto noise = [&state](double size) {
    state = state * 1664525u + 1013904223u;
    return (static_cast<double>(state >> 16) / 65535.0 - 0.5) * 2.0 * size;
  };
  auto number = [](double value) { return ovixlog::TrendNumber(std::round(value * 10) / 10); };
  std::string cruise = "{\"start_s\": 600, \"duration_s\": 1800, \"Tach\": 2400";
  std::string max = "{";
  for (int c = 1; c <= 6; ++c) {
    // A step every thousand flights in one cylinder, so that changes are found too.
    const double step = (id / 1000) % 2 == 1 && c == 3 ? 80.0 : 0.0;
    const std::string n = std::to_string(c);
    cruise += ", \"EGT" + n + "\": " + number(1330 + 8 * c + step + noise(9));
    cruise += ", \"CHT" + n + "\": " + number(360 + noise(8));
    max += std::string(c > 1 ? ", " : "") + "\"CHT" + n + "\": " + number(390 + noise(10));
  }
  cruise += ", \"OilT\": " + number(185 + noise(5)) + ", \"OilP\": " + number(62 + noise(3)) +
            ", \"Volt\": " + number(14 + noise(0.2)) + ", \"Flow\": " + number(10 + noise(0.5)) +
            ", \"Alt\": 6500, \"Aspd\": 125}";
  max += ", \"OilT\": 205, \"Tach\": 2550}";
  return "{\"start_s\": 12.5, \"end_s\": 3612.5, \"duration_s\": 3600, \"samples\": 3600, "
         "\"airborne_s\": 3300, \"fuel_used\": 10.4, \"max\": " +
         max + ", \"min\": {\"OilP\": 55, \"Volt\": 13.9}, \"exceedances\": [], "
               "\"lean_tests\": [], \"hours_start\": 1201.3, \"hours_end\": 1202.3, "
               "\"tach_hours\": 1.0, \"cruise\": " +
         cruise + ", \"egt_spread_cruise\": " + number(50 + noise(10)) +
         ", \"cht_spread_cruise\": " + number(30 + noise(8)) +
         ", \"gami_spread\": " + number(0.5 + noise(0.1)) + ", \"findings\": []}";
}

}  // namespace

int main() {
  using namespace ovixlog;
  constexpr int kFlights = 10000;
  char folder[] = "/tmp/ovixlog-trend-bench.XXXXXX";
  if (::mkdtemp(folder) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  FlightLibrary library;
  std::string error;
  std::string notice;
  if (!library.Open(std::string(folder) + "/library.sqlite", error, notice)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::vector<IndexedRun> runs;
  uint32_t state = 7;
  for (int id = 1; id <= kFlights; ++id) {
    IndexedRun run;
    run.startMs = int64_t{id} * 3'600'000;
    run.startUtcMs = 1'767'261'600'000 + int64_t{id} * 28'800'000;
    run.start = "2026-01-01T10:00:00+00:00";
    run.figures = StoredFigures(id, state);
    runs.push_back(std::move(run));
  }
  FileIdentity identity{std::string(folder) + "/flights.log", std::string(64, '0'), 1, 1};
  IndexResult result;
  if (!library.StoreFile(identity, "5100", std::string("N123AB"), runs, result, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }

  // The thread's CPU time as well: on a busy machine it tells what a quiet one would take.
  auto cpuMs = [] {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
  };
  double bestCpu = 1e300;
  double best = 1e300;
  size_t changes = 0;
  size_t bytes = 0;
  double load = 0.0, read = 0.0, compute = 0.0, write = 0.0;
  for (int pass = 0; pass < 3; ++pass) {
    using Clock = std::chrono::steady_clock;
    auto ms = [](Clock::time_point a, Clock::time_point b) {
      return std::chrono::duration<double, std::milli>(b - a).count();
    };
    const double cpu0 = cpuMs();
    const auto t0 = Clock::now();
    const std::vector<FlightRow> flights = library.LoadFlights();
    const auto t1 = Clock::now();
    const std::vector<TrendFlightRow> rows = TrendRowsFromLibrary(flights);
    const auto t2 = Clock::now();
    const Trends trends = ComputeTrends(rows);
    const auto t3 = Clock::now();
    bestCpu = std::min(bestCpu, cpuMs() - cpu0);
    const std::string json = TrendsJson(trends);
    const auto t4 = Clock::now();
    if (ms(t0, t3) < best) {
      best = ms(t0, t3);
      load = ms(t0, t1);
      read = ms(t1, t2);
      compute = ms(t2, t3);
      write = ms(t3, t4);
    }
    changes = trends.aircraft.at(0).changes.size();
    bytes = json.size();
  }
  std::printf("trend, %d flights: %.0f ms\n", kFlights, best);
  std::printf("trend JSON written, %d flights: %.0f ms\n", kFlights, write);
  std::fflush(stdout);
  std::fprintf(stderr,
               "(load %.0f ms, figures read %.0f ms, bands and changes %.0f ms; %.0f ms of CPU; "
               "%zu changes, %zu bytes of JSON)\n",
               load, read, compute, bestCpu, changes, bytes);
  std::filesystem::remove_all(folder);
  return 0;
}
