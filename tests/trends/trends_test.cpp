// Trends across flights: bands against a percentile computed here another way, the changes on
// hand-worked fleets (steps, thresholds, directions, baselines, the two-cylinder mirror), the
// order of flights and aircraft, and the JSON and CSV written out.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "library/trend_rows.h"
#include "library/trends.h"
#include "library/trends_output.h"

namespace ovixlog {
namespace {

constexpr int64_t kDayMs = 86'400'000;

// A flight of a four-cylinder engine, dated `day` days on, with every cylinder at `egt` and
// `cht` unless `hot` says otherwise.
struct FlightSpec {
  int64_t id = 0;
  double egt = 1300.0;
  double cht = 350.0;
  int hotCylinder = 0;  // 0: none
  double hotEgt = 0.0;
  double hotCht = 0.0;
  double oilP = 60.0;
  double gami = 0.5;
  int cylinders = 4;
};

TrendFlightRow Row(const FlightSpec& spec) {
  TrendFlightRow row;
  row.id = spec.id;
  row.aircraft = "N1";
  row.startUtcMs = spec.id * kDayMs;
  row.start = "day " + std::to_string(spec.id);
  row.order = spec.id;
  row.hasCruise = true;
  for (int c = 1; c <= spec.cylinders; ++c) {
    const bool hot = c == spec.hotCylinder;
    row.figures.emplace_back("cruise_EGT" + std::to_string(c), spec.egt + (hot ? spec.hotEgt : 0));
    row.figures.emplace_back("cruise_CHT" + std::to_string(c), spec.cht + (hot ? spec.hotCht : 0));
  }
  row.figures.emplace_back("cruise_OilP", spec.oilP);
  row.figures.emplace_back("gami_spread", spec.gami);
  return row;
}

// Flights 1..count, `change` applied from flight `from` on.
template <typename Change>
std::vector<TrendFlightRow> Fleet(int count, int from, Change change) {
  std::vector<TrendFlightRow> rows;
  for (int id = 1; id <= count; ++id) {
    FlightSpec spec;
    spec.id = id;
    if (id >= from) change(spec);
    rows.push_back(Row(spec));
  }
  return rows;
}

std::vector<TrendChange> ChangesOf(const std::vector<TrendFlightRow>& rows) {
  const Trends trends = ComputeTrends(rows);
  EXPECT_EQ(trends.aircraft.size(), 1u);
  return trends.aircraft.empty() ? std::vector<TrendChange>{} : trends.aircraft[0].changes;
}

std::string Describe(const std::vector<TrendChange>& changes) {
  std::string out;
  for (const TrendChange& c : changes) {
    out += c.kind + " " + c.column + " " + std::to_string(c.fromId) + "-" +
           std::to_string(c.confirmedId) + " " + TrendNumber(c.shift) + ";";
  }
  return out;
}

// The percentile as a fraction of the way between the two values around h = (n - 1) p,
// computed from the rank as a real number rather than in hundredths.
double IndependentPercentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  const double h = (static_cast<double>(values.size()) - 1.0) * p;
  const double below = std::floor(h + 1e-9);
  const auto low = static_cast<size_t>(below);
  const size_t high = std::min(low + 1, values.size() - 1);
  const double fraction = std::max(0.0, h - below);
  return (1.0 - fraction) * values[low] + fraction * values[high];
}

TEST(TrendsTest, PercentileAtInterpolatedRank) {
  struct Case {
    std::vector<double> sorted;
    int percent;
    double expected;
  };
  std::vector<double> oneToTwenty;
  for (int i = 1; i <= 20; ++i) oneToTwenty.push_back(i);
  const Case cases[] = {
      {oneToTwenty, 10, 2.9},  // 0.9 of the way from the 2nd to the 3rd smallest
      {oneToTwenty, 50, 10.5},
      {oneToTwenty, 90, 18.1},
      {{10, 20, 30, 40, 50}, 10, 14},
      {{10, 20, 30, 40, 50}, 50, 30},
      {{10, 20, 30, 40, 50}, 90, 46},
      {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 10, 2},  // rank exactly 1
      {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 90, 10},
      {{7, 7, 7, 7, 7, 7}, 10, 7},
      {{5}, 90, 5},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(TrendPercentile(c.sorted, c.percent), c.expected)
        << c.sorted.size() << " values, p" << c.percent;
  }
}

TEST(TrendsTest, MedianOfEvenCountIsMeanOfMiddleTwo) {
  EXPECT_EQ(TrendMedian({4, 1, 3, 2}), 2.5);
  EXPECT_EQ(TrendMedian({9, 1, 5}), 5);
  EXPECT_EQ(TrendMedian({-3, 8, 1, 1, 100, -50}), 1);
}

TEST(TrendsTest, BandsEqualIndependentPercentilesOfUpToTwentyEarlierFlights) {
  // Values that are not in order, so that a band that forgot to sort or took the wrong
  // window would differ.
  std::vector<TrendFlightRow> rows;
  std::vector<double> oil;
  uint32_t state = 12345;
  for (int id = 1; id <= 40; ++id) {
    state = state * 1103515245u + 12345u;
    const double value = 180.0 + static_cast<double>((state >> 8) % 400) / 10.0;
    oil.push_back(value);
    TrendFlightRow row;
    row.id = id;
    row.startUtcMs = id * kDayMs;
    row.start = "s";
    row.order = id;
    row.hasCruise = true;
    row.figures = {{"cruise_OilT", value}};
    rows.push_back(row);
  }
  const Trends trends = ComputeTrends(rows);
  ASSERT_EQ(trends.aircraft.size(), 1u);
  const auto& flights = trends.aircraft[0].flights;
  ASSERT_EQ(flights.size(), 40u);
  for (size_t i = 0; i < flights.size(); ++i) {
    const TrendBand* band = FindBand(flights[i], "cruise_OilT");
    if (i < 5) {
      EXPECT_EQ(band, nullptr) << "flight " << i + 1 << " has only " << i << " before it";
      continue;
    }
    ASSERT_NE(band, nullptr) << "flight " << i + 1;
    const size_t from = i > 20 ? i - 20 : 0;
    const std::vector<double> earlier(oil.begin() + static_cast<long>(from),
                                      oil.begin() + static_cast<long>(i));
    EXPECT_NEAR(band->p10, IndependentPercentile(earlier, 0.1), 1e-9) << "flight " << i + 1;
    EXPECT_NEAR(band->p50, IndependentPercentile(earlier, 0.5), 1e-9) << "flight " << i + 1;
    EXPECT_NEAR(band->p90, IndependentPercentile(earlier, 0.9), 1e-9) << "flight " << i + 1;
  }
}

TEST(TrendsTest, BandCountsOnlyDatedFlightsWithCruiseAndTheFigure) {
  std::vector<TrendFlightRow> rows;
  auto add = [&](int64_t id, std::optional<int64_t> day, bool cruise,
                 std::vector<std::pair<std::string, double>> figures) {
    TrendFlightRow row;
    row.id = id;
    row.startUtcMs = day ? std::optional<int64_t>(*day * kDayMs) : std::nullopt;
    row.start = day ? "d" + std::to_string(*day) : "";
    row.order = id;
    row.hasCruise = cruise;
    row.figures = std::move(figures);
    rows.push_back(row);
  };
  // Added out of date order; flight 3 has no cruise, 4 no clock, 5 no GAMI spread.
  add(1, 5, true, {{"cruise_Volt", 14.0}, {"gami_spread", 0.4}});
  add(2, 1, true, {{"cruise_Volt", 13.0}, {"gami_spread", 0.2}});
  add(3, 2, false, {{"cruise_Volt", 99.0}});
  add(4, std::nullopt, true, {{"cruise_Volt", 99.0}, {"gami_spread", 9.0}});
  add(5, 3, true, {{"cruise_Volt", 13.5}});
  add(6, 4, true, {{"cruise_Volt", 13.8}, {"gami_spread", 0.3}});
  add(7, 6, true, {{"cruise_Volt", 14.2}, {"gami_spread", 0.6}});
  add(8, 7, true, {{"cruise_Volt", 13.9}, {"gami_spread", 0.5}});
  add(9, 8, true, {{"cruise_Volt", 14.1}, {"gami_spread", 0.7}});
  const Trends trends = ComputeTrends(rows);
  ASSERT_EQ(trends.aircraft.size(), 1u);
  const auto& flights = trends.aircraft[0].flights;
  std::vector<int64_t> order;
  for (const auto& f : flights) order.push_back(f.id);
  EXPECT_EQ(order, (std::vector<int64_t>{2, 3, 5, 6, 1, 7, 8, 9, 4}));
  EXPECT_TRUE(flights[1].figures.empty());
  EXPECT_TRUE(flights[1].band.empty());
  EXPECT_FALSE(flights[8].start.has_value());
  EXPECT_TRUE(flights[8].band.empty());
  // Flight 8 has five earlier volts (2, 5, 6, 1, 7) but only four GAMI spreads.
  ASSERT_EQ(flights[6].band.size(), 1u);
  const TrendBand* volts = FindBand(flights[6], "cruise_Volt");
  ASSERT_NE(volts, nullptr);
  EXPECT_DOUBLE_EQ(volts->p10, 13.2);  // 13, 13.5, 13.8, 14, 14.2
  EXPECT_DOUBLE_EQ(volts->p50, 13.8);
  EXPECT_DOUBLE_EQ(volts->p90, 14.12);
  const TrendBand* gami = FindBand(flights[7], "gami_spread");
  ASSERT_NE(gami, nullptr);
  EXPECT_DOUBLE_EQ(gami->p50, 0.4);  // 0.2, 0.3, 0.4, 0.6, 0.5
}

TEST(TrendsTest, ChangesOnHandWorkedFleets) {
  struct Case {
    const char* name;
    std::vector<TrendFlightRow> rows;
    std::string expected;
  };
  const Case cases[] = {
      // Cylinder 3 70 F hotter from flight 11: relative 70 against a baseline of 0; the
      // others move by -70/3, under the threshold.
      {"EgtStep", Fleet(20, 11, [](FlightSpec& s) { s.hotCylinder = 3, s.hotEgt = 70; }),
       "egt_shift EGT3 11-13 70;"},
      {"EgtStepExactlyAtThreshold",
       Fleet(20, 11, [](FlightSpec& s) { s.hotCylinder = 3, s.hotEgt = 50; }),
       "egt_shift EGT3 11-13 50;"},
      {"EgtStepJustUnderThreshold",
       Fleet(20, 11, [](FlightSpec& s) { s.hotCylinder = 3, s.hotEgt = 49.9; }), ""},
      {"EgtColder", Fleet(20, 11, [](FlightSpec& s) { s.hotCylinder = 2, s.hotEgt = -60; }),
       "egt_shift EGT2 11-13 -60;"},
      {"AllCylindersTogetherIsNoShift", Fleet(20, 11, [](FlightSpec& s) { s.egt = 1450; }), ""},
      {"ChtStep", Fleet(20, 8, [](FlightSpec& s) { s.hotCylinder = 1, s.hotCht = 30; }),
       "cht_shift CHT1 8-10 30;"},
      {"OilPressureDrop", Fleet(20, 9, [](FlightSpec& s) { s.oilP = 48; }),
       "oil_pressure_drop OilP 9-11 -12;"},
      {"OilPressureRiseIsNoChange", Fleet(20, 9, [](FlightSpec& s) { s.oilP = 75; }), ""},
      {"GamiRise", Fleet(20, 9, [](FlightSpec& s) { s.gami = 1.0; }),
       "gami_shift gami_spread 9-11 0.5;"},
      {"GamiFallIsNoChange", Fleet(20, 9, [](FlightSpec& s) { s.gami = 0.0; }), ""},
      // Five flights before the three are needed: a step at flight 6 is found where it
      // starts; one at flight 5 only from flight 6, once five flights stand before.
      {"FiveFlightsBeforeAreEnough", Fleet(12, 6, [](FlightSpec& s) { s.oilP = 40; }),
       "oil_pressure_drop OilP 6-8 -20;"},
      {"FourFlightsBeforeFoundOneLater", Fleet(12, 5, [](FlightSpec& s) { s.oilP = 40; }),
       "oil_pressure_drop OilP 6-8 -20;"},
      // Two flights out of line are not a change; the third confirms it.
      {"TwoFlightsDoNotConfirm", Fleet(12, 11, [](FlightSpec& s) { s.oilP = 40; }), ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Describe(ChangesOf(c.rows)), c.expected) << c.name;
  }
}

TEST(TrendsTest, TwoCylinderEngineReportsTheShiftOnBoth) {
  // A two-cylinder engine: the relative figures mirror each other and both report.
  std::vector<TrendFlightRow> rows;
  for (int id = 1; id <= 15; ++id) {
    FlightSpec spec;
    spec.id = id;
    spec.cylinders = 2;
    if (id >= 7) spec.hotCylinder = 2, spec.hotEgt = 60;
    rows.push_back(Row(spec));
  }
  EXPECT_EQ(Describe(ChangesOf(rows)), "egt_shift EGT1 7-9 -60;egt_shift EGT2 7-9 60;");
}

TEST(TrendsTest, ShiftIsMeanOfTheThreeDifferencesFromTheMedian) {
  // Baseline oil pressures 60 61 59 62 58 63 (median of even count: 60.5), then 50 49 47.
  const double oil[] = {60, 61, 59, 62, 58, 63, 50, 49, 47, 48};
  std::vector<TrendFlightRow> rows;
  for (int id = 1; id <= 10; ++id) {
    FlightSpec spec;
    spec.id = id;
    spec.oilP = oil[id - 1];
    rows.push_back(Row(spec));
  }
  // 50 - 60.5 = -10.5 meets the threshold; shift (-10.5 - 11.5 - 13.5) / 3.
  EXPECT_EQ(Describe(ChangesOf(rows)), "oil_pressure_drop OilP 7-9 -11.833333333333334;");
}

TEST(TrendsTest, BaselineLooksBackTenFlightsOnly) {
  // Oil pressure 80 for ten flights, then 60 for ten: the drop is a change at 11-13. Ten
  // flights later a further 60 is no change: the baseline from flight 11 on is 60.
  auto rows = Fleet(30, 1, [](FlightSpec& s) { s.oilP = s.id <= 10 ? 80 : 60; });
  EXPECT_EQ(Describe(ChangesOf(rows)), "oil_pressure_drop OilP 11-13 -20;");
  // Two drops, the second once ten flights of the new normal stand before it: two changes.
  auto steps = Fleet(40, 1, [](FlightSpec& s) {
    s.oilP = s.id <= 10 ? 80 : (s.id <= 25 ? 65 : 50);
  });
  EXPECT_EQ(Describe(ChangesOf(steps)),
            "oil_pressure_drop OilP 11-13 -15;oil_pressure_drop OilP 26-28 -15;");
}

TEST(TrendsTest, AfterAChangeTheBaselineCountsFromItsFirstFlight) {
  // Hot for ten flights, then back: the return is its own change once five flights from
  // the first hot one stand before it.
  auto rows = Fleet(35, 11, [](FlightSpec& s) {
    if (s.id <= 20) s.hotCylinder = 4, s.hotEgt = 75;
  });
  EXPECT_EQ(Describe(ChangesOf(rows)), "egt_shift EGT4 11-13 75;egt_shift EGT4 21-23 -75;");
  // Back again after only three hot flights: once five flights from flight 11 on stand
  // before three normal ones (baseline median of 75 75 75 0 0), that is a change back.
  auto brief = Fleet(30, 11, [](FlightSpec& s) {
    if (s.id <= 13) s.hotCylinder = 4, s.hotEgt = 75;
  });
  EXPECT_EQ(Describe(ChangesOf(brief)), "egt_shift EGT4 11-13 75;egt_shift EGT4 16-18 -75;");
}

TEST(TrendsTest, UndatedAndCruiselessFlightsTakeNoPart) {
  auto rows = Fleet(20, 11, [](FlightSpec& s) { s.oilP = 40; });
  // An undated flight and a cruiseless one among the first three low ones change nothing.
  rows[10].startUtcMs.reset();
  rows.push_back(Row([] {
    FlightSpec s;
    s.id = 21;
    s.oilP = 40;
    return s;
  }()));
  rows.back().startUtcMs = 11 * kDayMs + 1;
  rows.back().hasCruise = false;
  EXPECT_EQ(Describe(ChangesOf(rows)), "oil_pressure_drop OilP 12-14 -20;");
}

TEST(TrendsTest, NoisyFleetFindsTheStepOnceAndTheCleanFleetNothing) {
  auto fleet = [](bool step) {
    std::vector<TrendFlightRow> rows;
    uint32_t state = 99;
    auto noise = [&state](double size) {
      state = state * 1664525u + 1013904223u;
      return (static_cast<double>(state >> 16) / 65535.0 - 0.5) * 2.0 * size;
    };
    for (int id = 1; id <= 60; ++id) {
      TrendFlightRow row;
      row.id = id;
      row.aircraft = "N7";
      row.startUtcMs = id * kDayMs;
      row.start = "d";
      row.order = id;
      row.hasCruise = true;
      for (int c = 1; c <= 6; ++c) {
        const double hot = step && c == 5 && id >= 31 ? 70.0 : 0.0;
        row.figures.emplace_back("cruise_EGT" + std::to_string(c),
                                 1320.0 + 10.0 * c + hot + noise(8.0));
        row.figures.emplace_back("cruise_CHT" + std::to_string(c), 360.0 + noise(6.0));
      }
      row.figures.emplace_back("cruise_OilP", 62.0 + noise(2.0));
      row.figures.emplace_back("gami_spread", 0.4 + noise(0.1));
      rows.push_back(row);
    }
    return ComputeTrends(rows).aircraft.at(0).changes;
  };
  const auto stepped = fleet(true);
  ASSERT_EQ(stepped.size(), 1u) << Describe(stepped);
  EXPECT_EQ(stepped[0].kind, "egt_shift");
  EXPECT_EQ(stepped[0].column, "EGT5");
  EXPECT_EQ(stepped[0].fromId, 31);
  EXPECT_EQ(stepped[0].confirmedId, 33);
  EXPECT_NEAR(stepped[0].shift, 70.0, 12.0);  // 70 plus the noise
  EXPECT_EQ(Describe(fleet(false)), "");
}

// The oil pressure changes worked out the plain way (each baseline sorted afresh from its
// flights) against the computation, over long fleets of random walks with drops, recoveries
// and flights lacking the figure, so that every baseline restart and window slide is met.
TEST(TrendsTest, ChangesEqualAPlainComputationOverRandomFleets) {
  std::size_t found = 0;
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    uint32_t state = seed;
    auto next = [&state](double size) {
      state = state * 1664525u + 1013904223u;
      return (static_cast<double>(state >> 16) / 65535.0 - 0.5) * 2.0 * size;
    };
    std::vector<TrendFlightRow> rows;
    std::vector<std::pair<int64_t, double>> oil;  // the flights that have it, in order
    double level = 60.0;
    for (int id = 1; id <= 300; ++id) {
      if (next(1.0) > 0.9) level += next(1.0) > 0.0 ? 15.0 : -15.0;  // a lasting step
      TrendFlightRow row = Row(FlightSpec{id});
      row.figures.clear();
      if (next(1.0) > -0.8) {
        const double value = std::round((level + next(6.0)) * 10.0) / 10.0;
        row.figures.emplace_back("cruise_OilP", value);
        oil.emplace_back(id, value);
      }
      rows.push_back(row);
    }
    std::string expected;
    std::size_t from = 0;  // the previous change's first flight, as an index into `oil`
    for (std::size_t last = 2; last < oil.size(); ++last) {
      const std::size_t first = last - 2;
      const std::size_t start = std::max(from, first >= 10 ? first - 10 : 0);
      if (first < start + 5) continue;
      std::vector<double> before;
      for (std::size_t i = start; i < first; ++i) before.push_back(oil[i].second);
      std::sort(before.begin(), before.end());
      const std::size_t n = before.size();
      const double median = n % 2 == 1 ? before[n / 2] : (before[n / 2 - 1] + before[n / 2]) / 2;
      double sum = 0.0;
      bool drop = true;
      for (std::size_t i = first; i <= last; ++i) {
        drop = drop && median - oil[i].second >= 10.0;
        sum += oil[i].second - median;
      }
      if (!drop) continue;
      expected += "oil_pressure_drop OilP " + std::to_string(oil[first].first) + "-" +
                  std::to_string(oil[last].first) + " " + TrendNumber(sum / 3.0) + ";";
      from = first;
    }
    EXPECT_EQ(Describe(ChangesOf(rows)), expected) << "seed " << seed;
    found += static_cast<std::size_t>(std::count(expected.begin(), expected.end(), ';'));
  }
  EXPECT_GE(found, 20u);  // the fleets do drop, again and again
}

TEST(TrendsTest, AircraftByNameUnnamedLast) {
  std::vector<TrendFlightRow> rows;
  const std::optional<std::string> names[] = {"N9", std::nullopt, "N1", "N9"};
  for (int i = 0; i < 4; ++i) {
    TrendFlightRow row;
    row.id = i + 1;
    row.aircraft = names[i];
    row.startUtcMs = (10 - i) * kDayMs;
    row.order = i + 1;
    rows.push_back(row);
  }
  const Trends trends = ComputeTrends(rows);
  ASSERT_EQ(trends.aircraft.size(), 3u);
  EXPECT_EQ(trends.aircraft[0].name, std::optional<std::string>("N1"));
  EXPECT_EQ(trends.aircraft[1].name, std::optional<std::string>("N9"));
  EXPECT_EQ(trends.aircraft[2].name, std::nullopt);
  ASSERT_EQ(trends.aircraft[1].flights.size(), 2u);
  EXPECT_EQ(trends.aircraft[1].flights[0].id, 4);
  EXPECT_EQ(trends.aircraft[1].flights[1].id, 1);
}

TEST(TrendsTest, FiguresKeptInOrderUnknownAndNonFiniteLeftOut) {
  TrendFlightRow row;
  row.id = 1;
  row.startUtcMs = 0;
  row.hasCruise = true;
  row.figures = {{"gami_spread", 0.25},        {"cruise_EGT10", 1400},  {"cruise_CHT2", 380},
                 {"max_CHT", 402},             {"cruise_EGT2", 1390},   {"duration_s", 3600},
                 {"cruise_OilT", std::nan("")}, {"cruise_EGT02", 1},     {"egt_spread_cruise", 45},
                 {"cruise_Flow", 9.5}};
  const Trends trends = ComputeTrends({row});
  std::vector<std::string> names;
  for (const auto& f : trends.aircraft.at(0).flights.at(0).figures) names.push_back(f.first);
  EXPECT_EQ(names, (std::vector<std::string>{"cruise_EGT2", "cruise_EGT10", "cruise_CHT2",
                                             "cruise_Flow", "egt_spread_cruise", "max_CHT",
                                             "gami_spread"}));
}

TEST(TrendsTest, JsonAndCsvWrittenExactly) {
  std::vector<TrendFlightRow> rows;
  for (int id = 1; id <= 7; ++id) {
    TrendFlightRow row;
    row.id = id;
    row.aircraft = "N\"1";
    row.startUtcMs = id * kDayMs;
    row.start = "2026-06-0" + std::to_string(id) + "T10:00:00+02:00";
    row.order = id;
    row.hasCruise = id != 3;
    row.figures = {{"cruise_OilP", id <= 4 ? 60.0 : 45.5}, {"cruise_Volt", 13.0 + id / 10.0}};
    rows.push_back(row);
  }
  TrendFlightRow undated;
  undated.id = 8;
  undated.aircraft = "N\"1";
  undated.order = 8;
  undated.hasCruise = true;
  undated.figures = {{"gami_spread", 0.3}};
  rows.push_back(undated);
  const Trends trends = ComputeTrends(rows);
  EXPECT_EQ(TrendsJson(trends),
            "{\"aircraft\": [\n"
            "  {\"name\": \"N\\\"1\", \"flights\": [\n"
            "    {\"id\": 1, \"start\": \"2026-06-01T10:00:00+02:00\", \"figures\": "
            "{\"cruise_OilP\": 60, \"cruise_Volt\": 13.1}, \"band\": {}},\n"
            "    {\"id\": 2, \"start\": \"2026-06-02T10:00:00+02:00\", \"figures\": "
            "{\"cruise_OilP\": 60, \"cruise_Volt\": 13.2}, \"band\": {}},\n"
            "    {\"id\": 3, \"start\": \"2026-06-03T10:00:00+02:00\", \"figures\": {}, "
            "\"band\": {}},\n"
            "    {\"id\": 4, \"start\": \"2026-06-04T10:00:00+02:00\", \"figures\": "
            "{\"cruise_OilP\": 60, \"cruise_Volt\": 13.4}, \"band\": {}},\n"
            "    {\"id\": 5, \"start\": \"2026-06-05T10:00:00+02:00\", \"figures\": "
            "{\"cruise_OilP\": 45.5, \"cruise_Volt\": 13.5}, \"band\": {}},\n"
            "    {\"id\": 6, \"start\": \"2026-06-06T10:00:00+02:00\", \"figures\": "
            "{\"cruise_OilP\": 45.5, \"cruise_Volt\": 13.6}, \"band\": {}},\n"
            "    {\"id\": 7, \"start\": \"2026-06-07T10:00:00+02:00\", \"figures\": "
            "{\"cruise_OilP\": 45.5, \"cruise_Volt\": 13.7}, \"band\": {\"cruise_OilP\": "
            "[45.5, 60, 60], \"cruise_Volt\": [13.139999999999999, 13.4, 13.56]}},\n"
            "    {\"id\": 8, \"start\": null, \"figures\": {\"gami_spread\": 0.3}, \"band\": {}}\n"
            "  ], \"changes\": []}\n"
            "]}\n");
  EXPECT_EQ(TrendsCsv(trends),
            "aircraft,id,start,cruise_OilP,cruise_Volt,gami_spread\n"
            "\"N\"\"1\",1,2026-06-01T10:00:00+02:00,60,13.1,\n"
            "\"N\"\"1\",2,2026-06-02T10:00:00+02:00,60,13.2,\n"
            "\"N\"\"1\",3,2026-06-03T10:00:00+02:00,,,\n"
            "\"N\"\"1\",4,2026-06-04T10:00:00+02:00,60,13.4,\n"
            "\"N\"\"1\",5,2026-06-05T10:00:00+02:00,45.5,13.5,\n"
            "\"N\"\"1\",6,2026-06-06T10:00:00+02:00,45.5,13.6,\n"
            "\"N\"\"1\",7,2026-06-07T10:00:00+02:00,45.5,13.7,\n"
            "\"N\"\"1\",8,,,,0.3\n");
  EXPECT_EQ(TrendsJson(Trends{}), "{\"aircraft\": []}\n");
}

TEST(TrendsTest, ChangesWrittenInJson) {
  auto rows = Fleet(14, 8, [](FlightSpec& s) { s.oilP = 48; });
  for (auto& row : rows) row.figures = {{"cruise_OilP", row.figures[8].second}};
  const std::string json = TrendsJson(ComputeTrends(rows));
  const std::string tail =
      "  ], \"changes\": [\n"
      "    {\"kind\": \"oil_pressure_drop\", \"column\": \"OilP\", \"from_id\": 8, "
      "\"confirmed_id\": 10, \"shift\": -12}\n"
      "  ]}\n"
      "]}\n";
  ASSERT_GE(json.size(), tail.size());
  EXPECT_EQ(json.substr(json.size() - tail.size()), tail);
}

TEST(TrendsTest, RowFromStoredFiguresTakesCruiseSpreadsHighestChtAndGami) {
  const std::string stored =
      R"({"start_s": 0, "max": {"EGT1": 1500, "CHT1": 401, "CHT2": 415.5, "CHT3": null,)"
      R"( "OilT": 210}, "cruise": {"start_s": 600, "duration_s": 1800, "EGT1": 1350,)"
      R"( "EGT2": 1362.5, "CHT1": 370, "CHT2": 381, "OilT": 190, "OilP": 61, "Volt": 14.1,)"
      R"( "Flow": 9.8, "Hours": 1234.5}, "egt_spread_cruise": 12.5, "cht_spread_cruise": 11,)"
      R"( "gami_spread": null, "findings": []})";
  const TrendFlightRow row = TrendRowFromFigures(9, "N5", "2026-05-01T09:00:00+01:00", 3, stored);
  EXPECT_EQ(row.id, 9);
  EXPECT_EQ(row.order, 9);
  EXPECT_EQ(row.startUtcMs, std::optional<int64_t>(3));
  EXPECT_EQ(row.start, "2026-05-01T09:00:00+01:00");
  EXPECT_TRUE(row.hasCruise);
  const Trends trends = ComputeTrends({row});
  std::string figures;
  for (const auto& [name, value] : trends.aircraft.at(0).flights.at(0).figures) {
    figures += name + "=" + TrendNumber(value) + " ";
  }
  EXPECT_EQ(figures,
            "cruise_EGT1=1350 cruise_EGT2=1362.5 cruise_CHT1=370 cruise_CHT2=381 cruise_OilT=190 "
            "cruise_OilP=61 cruise_Volt=14.1 cruise_Flow=9.8 egt_spread_cruise=12.5 "
            "cht_spread_cruise=11 max_CHT=415.5 ");

  const TrendFlightRow noCruise =
      TrendRowFromFigures(10, std::nullopt, std::nullopt, 4, R"({"cruise": null, "max": {}})");
  EXPECT_FALSE(noCruise.hasCruise);
  EXPECT_FALSE(noCruise.startUtcMs.has_value());
  EXPECT_TRUE(noCruise.figures.empty());
  EXPECT_FALSE(TrendRowFromFigures(11, std::nullopt, std::nullopt, 5, "not json").hasCruise);
}

// The stored figures are read as a stream: only the top-level "cruise" object's numbers, the
// top-level spreads and the maxima's CHTs count, wherever else such names appear.
TEST(TrendsTest, RowReadsOnlyTopLevelFiguresOfAnObject) {
  struct Case {
    const char* stored;
    bool hasCruise;
    const char* figures;  // as the row holds them, in order
  };
  const Case cases[] = {
      {R"({"cruise": {"EGT1": 1300, "x": {"EGT2": 9}, "l": [1, 2], "CHT1": 350}})", true,
       "cruise_EGT1=1300 cruise_CHT1=350 "},
      {R"({"runs": {"cruise": {"EGT1": 1}, "gami_spread": 2}, "cruise": {}})", true, ""},
      {R"({"lean_tests": [{"gami_spread": 0.7}], "egt_spread_cruise": [5], "cruise": {}})", true,
       ""},
      {R"({"cruise": {"EGT1": 1300}, "max": {"CHT2": 400, "CHT10": 410, "EGT1": 1500}})", true,
       "cruise_EGT1=1300 max_CHT=410 "},
      {R"({"gami_spread": 0.4, "cruise": {"Volt": 14}, "cht_spread_cruise": 9})", true,
       "cruise_Volt=14 gami_spread=0.4 cht_spread_cruise=9 "},
      {R"({"cruise": {"start_s": 600, "Tach": 2400, "Aspd": 120, "OilP": 60}})", true,
       "cruise_OilP=60 "},
      {R"({"cruise": "none"})", false, ""},
      {R"([{"cruise": {"EGT1": 1300}}])", false, ""},
      {R"({"cruise": {"EGT1": 1300})", false, ""},
      {R"(12)", false, ""},
      {"", false, ""},
  };
  for (const Case& c : cases) {
    const TrendFlightRow row = TrendRowFromFigures(1, std::nullopt, std::nullopt, 0, c.stored);
    std::string figures;
    for (const auto& [name, value] : row.figures) figures += name + "=" + TrendNumber(value) + " ";
    EXPECT_EQ(row.hasCruise, c.hasCruise) << c.stored;
    EXPECT_EQ(figures, c.figures) << c.stored;
  }
}

// The stored figures are read strictly as JSON: a text a JSON parser refuses gives no cruise,
// one it accepts gives the cruise. Each case holds a cruise and one oddity elsewhere.
TEST(TrendsTest, RowReadsStoredFiguresExactlyAsJsonDoes) {
  const std::string cruise = R"("cruise": {"EGT1": 1300})";
  const std::vector<std::string> oddities = {
      R"("a": "\"\\\/\b\f\n\r\t\u00e9\ud83d\ude00")",  // every escape, a surrogate pair
      R"("a": "\ud83d")",                              // a high surrogate alone
      R"("a": "\ude00")",                              // a low surrogate alone
      R"("a": "\x")",                                  // no such escape
      R"("a": "\u12g4")",                              // not hex
      "\"a\": \"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\"",  // UTF-8 of two, three, four bytes
      "\"a\": \"\xc3\"",                               // a sequence cut short
      "\"a\": \"\xc0\xaf\"",                           // an overlong form
      "\"a\": \"\xed\xa0\x80\"",                       // a surrogate in UTF-8
      "\"a\": \"\xf4\x90\x80\x80\"",                   // past U+10FFFF
      "\"a\": \"\xff\"",                               // never in UTF-8
      "\"a\": \"tab\there\"",                          // a control byte unescaped
      R"("a": 01)", R"("a": 1.)", R"("a": .5)", R"("a": +1)", R"("a": -)", R"("a": 1e)",
      R"("a": -0.0e+0)", R"("a": 1E-400)", R"("a": 1e400)", R"("a": 123456789012345678901234)",
      R"("a": tru)", R"("a": nul)", R"("a": [1, 2,])", R"("a": {"b": 1,})", R"("a" 1)",
      R"("a": [true, false, null, [], {}])", R"("a": [1 2])", "\"a\":\r\n\t[ ]",
  };
  for (const std::string& oddity : oddities) {
    for (const bool oddityFirst : {true, false}) {
      const std::string stored =
          "{" + (oddityFirst ? oddity + ", " + cruise : cruise + ", " + oddity) + "}";
      const TrendFlightRow row = TrendRowFromFigures(1, std::nullopt, std::nullopt, 0, stored);
      EXPECT_EQ(row.hasCruise, nlohmann::json::accept(stored)) << stored;
      if (row.hasCruise) {
        ASSERT_EQ(row.figures.size(), 1u) << stored;
        EXPECT_EQ(row.figures[0].second, 1300.0) << stored;
      }
    }
  }
  // A key is compared once its escapes are read.
  EXPECT_TRUE(TrendRowFromFigures(1, std::nullopt, std::nullopt, 0,
                                  R"({"cr\u0075ise": {"EGT\u0031": 1300}})")
                  .figures.size() == 1);
  // What follows the object is not read; nesting deeper than figures go is refused, not
  // followed until the stack runs out.
  EXPECT_TRUE(TrendRowFromFigures(1, std::nullopt, std::nullopt, 0, "{" + cruise + "} trailing")
                  .hasCruise);
  const std::string deep = std::string(100, '[') + std::string(100, ']');
  EXPECT_TRUE(TrendRowFromFigures(1, std::nullopt, std::nullopt, 0,
                                  "{\"a\": " + deep + ", " + cruise + "}")
                  .hasCruise);
  EXPECT_FALSE(TrendRowFromFigures(1, std::nullopt, std::nullopt, 0,
                                   "{\"a\": " + std::string(1'000'000, '[') + "}")
                   .hasCruise);
}

// Each threshold is reached by a difference of exactly its size, written in decimals as the
// figures are (0.7 - 0.4 is a hair under 0.3 in binary), and not by one a tenth smaller.
TEST(TrendsTest, ChangeFoundAtExactlyTheThresholdInDecimals) {
  struct Case {
    const char* name;
    double before;
    double after;
    void (*set)(FlightSpec&, double);
    const char* expected;
  };
  const auto gami = [](FlightSpec& f, double v) { f.gami = v; };
  const auto oil = [](FlightSpec& f, double v) { f.oilP = v; };
  const auto egt = [](FlightSpec& f, double v) {
    f.hotCylinder = 2;
    f.hotEgt = v;
  };
  const auto cht = [](FlightSpec& f, double v) {
    f.hotCylinder = 4;
    f.hotCht = v;
  };
  const Case cases[] = {
      {"gami 0.4 -> 0.7", 0.4, 0.7, gami, "gami_shift gami_spread 9-11 0.3;"},
      {"gami 1.1 -> 1.4", 1.1, 1.4, gami, "gami_shift gami_spread 9-11 0.3;"},
      {"gami 0.1 -> 0.3", 0.1, 0.3, gami, ""},
      {"oil 60.3 -> 50.3", 60.3, 50.3, oil, "oil_pressure_drop OilP 9-11 -10;"},
      {"oil 60.3 -> 50.4", 60.3, 50.4, oil, ""},
      // Relative figures: one cylinder `v` hotter than three others is v hotter than their mean.
      {"egt +50.1", 0.1, 50.2, egt, "egt_shift EGT2 9-11 50.1;"},
      {"cht +30.3", 0.3, 30.6, cht, "cht_shift CHT4 9-11 30.3;"},
      {"cht +29.9", 0.4, 30.3, cht, ""},
  };
  for (const Case& c : cases) {
    std::vector<TrendFlightRow> rows;
    for (int id = 1; id <= 11; ++id) {
      FlightSpec spec;
      spec.id = id;
      c.set(spec, id >= 9 ? c.after : c.before);
      rows.push_back(Row(spec));
    }
    std::vector<TrendChange> changes = ChangesOf(rows);
    for (TrendChange& change : changes) change.shift = std::round(change.shift * 1000) / 1000;
    EXPECT_EQ(Describe(changes), c.expected) << c.name;
  }
}

// A flight has a band once five earlier dated flights have its figures: not before the sixth.
TEST(TrendsTest, BandsBeginWithTheSixthDatedFlight) {
  struct Case {
    int flights;
    bool lastUndated;
    bool bands;
  };
  const Case cases[] = {{5, false, false}, {6, true, false}, {6, false, true}};
  for (const Case& c : cases) {
    std::vector<TrendFlightRow> rows = Fleet(c.flights, c.flights + 1, [](FlightSpec&) {});
    if (c.lastUndated) rows.back().startUtcMs.reset();
    const Trends trends = ComputeTrends(rows);
    ASSERT_EQ(trends.aircraft.size(), 1u);
    EXPECT_EQ(HasBands(trends.aircraft[0]), c.bands) << c.flights << (c.lastUndated ? " (last undated)" : "");
  }
}

// How one flight compares with the normal of the flights before it, for each kind of flight.
TEST(TrendsTest, ComparisonNamesFiguresOutsideTheBandAndTheChangesConfirmed) {
  // Flights 1-12; cylinder 3 80 F hotter from flight 8 (confirmed on 10); flight 6 has an oil
  // pressure of 50 where the others have 60; flight 13 has no cruise.
  std::vector<TrendFlightRow> rows = Fleet(12, 8, [](FlightSpec& f) {
    f.hotCylinder = 3;
    f.hotEgt = 80;
  });
  {
    FlightSpec spec;
    spec.id = 6;
    spec.oilP = 50;
    rows[5] = Row(spec);
  }
  TrendFlightRow noCruise = Row(FlightSpec{13});
  noCruise.hasCruise = false;
  noCruise.figures.clear();
  rows.push_back(noCruise);
  const Trends trends = ComputeTrends(rows);
  const AircraftTrend& aircraft = trends.aircraft.at(0);
  const std::string change =
      "EGT3 runs 80 F hotter than the other cylinders since flight 8, confirmed on flight 10";
  struct Case {
    int64_t id;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {3, {"Not enough flights yet for a normal"}},
      {6, {"cruise OilP 50, below its normal 60 to 60"}},
      {7, {"Within its normal on every figure"}},
      {8, {"cruise EGT3 1380, above its normal 1300 to 1300"}},
      {9, {"cruise EGT3 1380, above its normal 1300 to 1324"}},
      // Two hot flights among the nine before: 1380 is their p90.
      {10, {"Within its normal on every figure", change}},
      {13, {}},
      {99, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TrendComparisonLines(aircraft, c.id), c.lines) << "flight " << c.id;
  }
}

}  // namespace
}  // namespace ovixlog
