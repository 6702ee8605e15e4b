// The run summary on hand-made samples whose answers were worked out by hand: times, fuel,
// extremes, spreads, cooling rates and the exceedances against the limits.
#include "analysis/flight_analyzer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/summary_writer.h"
#include "analysis_fixture.h"

namespace ovixlog {
namespace {

using Field = SampleColumn::Field;
using test::Plain;
using test::Seconds;

struct Row {
  uint32_t ms;
  int tach, aspd;
  float flow;
  int cht1, cht2, egt1, egt2, oilP;
  float volt;
  int alt, oilT;
};

EngineSample FromRow(const Row& r) {
  EngineSample s = Plain(r.ms);
  s.tach = static_cast<int16_t>(r.tach);
  s.aspd = static_cast<int16_t>(r.aspd);
  s.flow = r.flow;
  s.cht[0] = static_cast<int16_t>(r.cht1);
  s.cht[1] = static_cast<int16_t>(r.cht2);
  s.egt[0] = static_cast<int16_t>(r.egt1);
  s.egt[1] = static_cast<int16_t>(r.egt2);
  s.oilP = static_cast<uint8_t>(r.oilP);
  s.volt = r.volt;
  s.alt = r.alt;
  s.oilT = static_cast<int16_t>(r.oilT);
  return s;
}

TEST(FlightAnalyzer, SummarisesARun) {
  // Model 3100: two CHT and two EGT columns.
  const std::vector<Row> rows = {
      {0, 1000, 0, 6.0f, 300, 310, 1200, 1250, 40, 13.8f, 500, 150},
      {20000, 2500, 60, 12.0f, 320, 340, 1300, 1280, 70, 14.1f, 800, 170},
      {45000, 2400, 80, 10.0f, 350, 330, 1350, 1400, 65, 14.2f, 1500, 190},
      {70000, 900, 40, 3.0f, 340, 335, 1310, 1305, 20, 12.6f, 1200, 185},
      {80000, 1000, 55, 3.5f, 330, 320, 1290, 1300, 30, 13.0f, 1000, 180},
      {100000, 0, 0, 0.0f, 320, 310, 900, 900, 0, 11.0f, 1000, 180},  // after the run
  };
  std::vector<EngineSample> samples;
  for (const Row& r : rows)
    samples.push_back(FromRow(r));
  const std::vector<RunSummary> runs = AnalyseSamples(samples, kModel3100, Limits());
  ASSERT_EQ(runs.size(), 1u);
  const RunSummary& r = runs[0];
  EXPECT_TRUE(r.finished);
  EXPECT_EQ(r.startMs, 0);
  EXPECT_EQ(r.endMs, 80000);
  EXPECT_EQ(r.samples, 5);
  // Only 20 s to 45 s has both ends at 50 knots or more.
  EXPECT_EQ(r.airborneMs, 25000);
  EXPECT_EQ(r.takeoffMs, 20000);
  EXPECT_EQ(r.landingMs, 80000);
  // (6*20 + 12*25 + 10*25 + 3*10) / 3600
  EXPECT_DOUBLE_EQ(r.fuelUsed, 700.0 / 3600.0);
  const std::vector<ColumnExtreme> max = {
      {{Field::kTach, 0}, 2500}, {{Field::kCht, 0}, 350},  {{Field::kCht, 1}, 340},
      {{Field::kEgt, 0}, 1350},  {{Field::kEgt, 1}, 1400}, {{Field::kOilT, 0}, 190},
      {{Field::kAlt, 0}, 1500},  {{Field::kAspd, 0}, 80},  {{Field::kVolt, 0}, 14.2}};
  EXPECT_EQ(r.max, max);
  // OilP 20 came at Tach 900 and does not count.
  const std::vector<ColumnExtreme> min = {{{Field::kOilP, 0}, 30}, {{Field::kVolt, 0}, 12.6}};
  EXPECT_EQ(r.min, min);
  EXPECT_EQ(r.chtSpreadMax, 20);
  EXPECT_EQ(r.egtSpreadMax, 50);
  // 45 s has nothing 60 s back; 70 s against 0 s: CHT1 +40 in 70 s, CHT2 +25; 80 s against
  // 20 s: CHT1 +10 in 60 s, CHT2 -20.
  ASSERT_TRUE(r.chtRateMaxRise);
  EXPECT_DOUBLE_EQ(*r.chtRateMaxRise, 40.0 * 60.0 / 70.0);
  EXPECT_EQ(r.chtRateMaxDrop, 20.0);
  EXPECT_EQ(r.HottestCht(), (std::pair<int, double>{1, 350}));
  EXPECT_TRUE(r.exceedances.empty());
  EXPECT_TRUE(r.leanTests.empty());
}

TEST(FlightAnalyzer, EdgesOfTheRunFigures) {
  struct Case {
    const char* name;
    std::vector<EngineSample> samples;
    int64_t airborneMs;
    std::optional<int64_t> takeoffMs;
    double fuelUsed;
    std::optional<double> rise, drop, oilPMin;
  };
  const std::vector<Case> cases = {
      {"on the ground, steady: no take-off, rates of 0",
       Seconds(0, 60, [](EngineSample& s, int) { s.aspd = 49; }), 0, std::nullopt, 60 * 9.0 / 3600,
       0.0, 0.0, 60.0},
      {"a 29 s step within the run counts for airborne time and fuel",
       [] {
         std::vector<EngineSample> v = Seconds(0, 20);
         for (EngineSample& s : Seconds(49, 80, [](EngineSample&x, int t) {
                x.cht[2] = static_cast<int16_t>(350 + (t - 49));  // 1 degree a second
              }))
           v.push_back(s);
         return v;
       }(),
       80000, 0, 80 * 9.0 / 3600,
       // 60 to 80 each pair with the sample 60 s before them, 49 to 59 with none: CHT3 at 80
       // is 31 above CHT3 at 20.
       31.0, 0.0, 60.0},
      {"OilP min only at Tach 1000 or more",
       Seconds(0, 60,
               [](EngineSample& s, int t) {
                 s.tach = static_cast<int16_t>(t < 30 ? 999 : 1000);
                 s.oilP = static_cast<uint8_t>(t < 30 ? 10 : 40 + t % 2);
               }),
       60000, 0, 60 * 9.0 / 3600, 0.0, 0.0, 40.0},
      {"no sample at Tach 1000 or more: no OilP min",
       Seconds(0, 60, [](EngineSample& s, int) { s.tach = 999; }), 60000, 0, 60 * 9.0 / 3600, 0.0,
       0.0, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<RunSummary> runs = AnalyseSamples(c.samples, kModel5100, Limits());
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].airborneMs, c.airborneMs);
    EXPECT_EQ(runs[0].takeoffMs, c.takeoffMs);
    EXPECT_NEAR(runs[0].fuelUsed, c.fuelUsed, 1e-12);
    EXPECT_EQ(runs[0].chtRateMaxRise, c.rise);
    EXPECT_EQ(runs[0].chtRateMaxDrop, c.drop);
    EXPECT_EQ(runs[0].Min({Field::kOilP, 0}), c.oilPMin);
  }
}

// A 90 s run at 1 s with the given changes, checked against `limits`.
std::vector<std::string> Exceedances(const Limits& limits,
                                     const std::function<void(EngineSample&, int)>& change,
                                     EngineModel model = kModel5100) {
  const std::vector<RunSummary> runs = AnalyseSamples(Seconds(0, 90, change), model, limits);
  std::vector<std::string> out;
  for (const RunSummary& r : runs) {
    for (const Exceedance& e : r.exceedances) {
      out.push_back(ColumnTitle(e.column) + " " + std::string(LimitKindName(e.kind)) + " " +
                    NumberText(e.limit) + " " + std::to_string(e.startMs) + "-" +
                    std::to_string(e.endMs) + " peak " + NumberText(e.peak));
    }
  }
  return out;
}

Limits WithOverride() {
  Limits limits = Limits::Defaults();
  limits.Set("CHT3", LimitKind::kMax, 420);
  return limits;
}

TEST(FlightAnalyzer, ReportsExceedancesOfFiveSecondsOrMore) {
  struct Case {
    const char* name;
    Limits limits;
    std::function<void(EngineSample&, int)> change;
    std::vector<std::string> expected;
    EngineModel model = kModel5100;
  };
  const std::vector<Case> cases = {
      {"4 s above is not reported, 5 s is; 435 itself is not above",
       Limits::Defaults(),
       [](EngineSample& s, int t) {
         if (t >= 10 && t <= 14)
           s.cht[0] = 436;
         if (t >= 20 && t <= 25)
           s.cht[0] = static_cast<int16_t>(t == 22 ? 441 : 437);
         if (t >= 40 && t <= 60)
           s.cht[1] = 435;
       },
       {"CHT1 max 435 20000-25000 peak 441"}},
      {"a group limit overridden for one cylinder",
       WithOverride(),
       [](EngineSample& s, int t) {
         if (t >= 10 && t <= 20) {
           s.cht[1] = 425;  // under the group's 435
           s.cht[2] = 425;  // over its own 420
         }
         if (t >= 30 && t <= 36)
           s.cht[3] = 440;
       },
       {"CHT3 max 420 10000-20000 peak 425", "CHT4 max 435 30000-36000 peak 440"}},
      {"OilP min counts at Tach 1000, not at 999; a 999 in the middle splits the stretch",
       Limits::Defaults(),
       [](EngineSample& s, int t) {
         if (t >= 10 && t <= 20) {
           s.tach = 1000;
           s.oilP = static_cast<uint8_t>(t == 15 ? 18 : 20);
         }
         if (t >= 30 && t <= 40) {
           s.tach = 999;
           s.oilP = 20;
         }
         if (t >= 50 && t <= 60) {
           s.tach = static_cast<int16_t>(t == 55 ? 999 : 1000);
           s.oilP = 20;
         }
       },
       {"OilP min 25 10000-20000 peak 18"}},
      {"volts below 12.0 and above 15.0; 15.0 itself is not above",
       Limits::Defaults(),
       [](EngineSample& s, int t) {
         if (t >= 10 && t <= 16)
           s.volt = 11.9f;
         if (t >= 20 && t <= 26)
           s.volt = t == 23 ? 15.3f : 15.1f;
         if (t >= 30 && t <= 50)
           s.volt = 15.0f;
       },
       {"Volt min 12 10000-16000 peak 11.9", "Volt max 15 20000-26000 peak 15.3"}},
      {"EGT and OilT defaults; a limit for a column the model lacks does nothing",
       [] {
         Limits l = Limits::Defaults();
         l.Set("CHT3", LimitKind::kMax, 300);
         return l;
       }(),
       [](EngineSample& s, int t) {
         if (t >= 5 && t <= 80)
           s.egt[1] = 1651;
         if (t >= 60 && t <= 90)
           s.oilT = 246;
       },
       {"EGT2 max 1650 5000-80000 peak 1651", "OilT max 245 60000-90000 peak 246"},
       kModel3100},
      {"a stretch still going on at the end of the run is reported",
       Limits::Defaults(),
       [](EngineSample& s, int t) {
         if (t >= 85)
           s.cht[0] = 450;
       },
       {"CHT1 max 435 85000-90000 peak 450"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Exceedances(c.limits, c.change, c.model), c.expected);
  }
}

TEST(FlightAnalyzer, ShowsTheRunInProgress) {
  FlightAnalyzer analyzer(kModel5100, Limits::Defaults());
  for (const EngineSample& s : Seconds(0, 59, [](EngineSample&x, int t) {
         if (t >= 50)
           x.cht[0] = 440;
       }))
    analyzer.Add(s);
  EXPECT_FALSE(analyzer.CurrentRun());  // not 60 s yet
  for (const EngineSample& s : Seconds(60, 70, [](EngineSample&x, int) { x.cht[0] = 440; }))
    analyzer.Add(s);
  std::optional<RunSummary> current = analyzer.CurrentRun();
  ASSERT_TRUE(current);
  EXPECT_FALSE(current->finished);
  EXPECT_EQ(current->endMs, 70000);
  ASSERT_EQ(current->exceedances.size(), 1u);
  EXPECT_EQ(current->exceedances[0].endMs, 70000);  // still open
  EXPECT_TRUE(analyzer.FinishedRuns().empty());
  analyzer.Finish();
  EXPECT_FALSE(analyzer.CurrentRun());
  ASSERT_EQ(analyzer.FinishedRuns().size(), 1u);
  RunSummary expected = *current;
  expected.finished = true;
  EXPECT_EQ(analyzer.FinishedRuns()[0], expected);
}

TEST(FlightAnalyzer, TwoRunsEachWithTheirOwnFigures) {
  std::vector<EngineSample> samples = Seconds(0, 70, [](EngineSample& s, int) { s.tach = 2000; });
  for (const EngineSample& s : Seconds(100, 200, [](EngineSample&x, int) { x.tach = 2100; }))
    samples.push_back(s);
  const std::vector<RunSummary> runs = AnalyseSamples(samples, kModel5100, Limits());
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].startMs, 0);
  EXPECT_EQ(runs[0].endMs, 70000);
  EXPECT_EQ(runs[0].Max({Field::kTach, 0}), 2000);
  EXPECT_EQ(runs[1].startMs, 100000);
  EXPECT_EQ(runs[1].endMs, 200000);
  EXPECT_EQ(runs[1].samples, 101);
  EXPECT_EQ(runs[1].Max({Field::kTach, 0}), 2100);
  EXPECT_EQ(runs[1].airborneMs, 100000);
}

}  // namespace
}  // namespace ovixlog
