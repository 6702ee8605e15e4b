// A run's card: every figure of the summary in words with units.
#include "analysis/run_card.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace ovixlog {
namespace {

SampleColumn Col(SampleColumn::Field field, int index = 0) {
  return SampleColumn{field, index};
}

RunSummary ExampleRun() {
  using F = SampleColumn::Field;
  RunSummary r;
  r.finished = true;
  r.startMs = 70000;
  r.endMs = 3970000;
  r.samples = 3900;
  r.airborneMs = 3500000;
  r.takeoffMs = 250000;
  r.landingMs = 3750000;
  r.fuelUsed = 12.437;
  r.max = {{Col(F::kTach), 2650}, {Col(F::kCht, 2), 412}, {Col(F::kVolt), 14.2},
           {Col(F::kFlow), 14.1}, {Col(F::kAlt), 6500}};
  r.min = {{Col(F::kOilP), 61}, {Col(F::kVolt), 13.8}};
  r.chtSpreadMax = 38;
  r.egtSpreadMax = 95;
  r.chtRateMaxRise = 32.5;
  r.chtRateMaxDrop = 41;
  r.exceedances = {{Col(F::kCht, 2), LimitKind::kMax, 400, 1210000, 1265000, 412}};
  LeanTest t;
  t.startMs = 1800000;
  t.endMs = 1980000;
  t.lean = true;
  t.complete = true;
  t.peakFlow = {10.2, 10.6, std::nullopt};
  t.peakEgt = {1452, 1440, std::nullopt};
  t.order = {2, 1};
  t.gamiSpread = 0.4;
  r.leanTests = {t};
  Finding f;
  f.kind = "egt_oscillation";
  f.column = Col(F::kEgt, 2);
  f.startMs = 900000;
  f.endMs = 2700000;
  f.severity = FindingSeverity::kCaution;
  f.text = "EGT3 swings 60 F every 55 s at steady power: a sign of a sticking or burning exhaust "
           "valve";
  r.findings = {f};
  return r;
}

TEST(RunCard, SaysEveryFigureInWordsWithUnits) {
  const std::vector<std::string> want = {
      "Run 2 of 3: from 0:01:10 to 1:06:10, 1:05:00 of engine running (3900 samples)",
      "Airborne 0:58:20: take-off at 0:04:10, landing at 1:02:30",
      "Fuel used: 12.44 gal",
      "Highest: Tach 2650 rpm, CHT3 412 \u00b0F, Volt 14.2 V, Flow 14.1 gph, Alt 6500 ft",
      "Lowest: OilP 61 psi, Volt 13.8 V (oil pressure counted at 1000 rpm and up)",
      "Hottest cylinder head: cylinder 3 at 412 \u00b0F",
      "Largest spread between cylinders: CHT 38 \u00b0F, EGT 95 \u00b0F",
      "Cylinder heads warmed by up to 32.5 \u00b0F a minute and cooled by up to 41 \u00b0F a minute",
      "1 exceedance:",
      "  CHT3 above 400 \u00b0F from 0:20:10 to 0:21:05 (55 s), peaking at CHT3 412 \u00b0F",
      "1 lean test:",
      "  Leaning from 0:30:00 to 0:33:00: peaks 0.4 gph apart",
      "    Cylinder 1: peak EGT 1452 \u00b0F at 10.2 gph",
      "    Cylinder 2: peak EGT 1440 \u00b0F at 10.6 gph",
      "    Cylinder 3: no peak",
      "    Order of peaking: 2-1",
      "1 finding:",
      "  EGT oscillation, caution: EGT3 swings 60 F every 55 s at steady power: a sign of a "
      "sticking or burning exhaust valve (0:15:00 to 0:45:00)",
  };
  EXPECT_EQ(RunCardLines(ExampleRun(), 2, 3), want);
}

TEST(RunCard, QuietRunSaysWhatItLacks) {
  RunSummary r;
  r.startMs = 0;
  r.endMs = 120000;
  r.samples = 120;
  const std::vector<std::string> want = {
      "Run 1 of 1: from 0:00:00 to 0:02:00, 0:02:00 of engine running (120 samples), still "
      "running",
      "Airborne 0:00:00",
      "Fuel used: 0 gal",
      "Highest: none",
      "Lowest: none (oil pressure counted at 1000 rpm and up)",
      "Largest spread between cylinders: CHT 0 \u00b0F, EGT 0 \u00b0F",
      "No exceedances",
      "No lean tests",
      "No findings",
  };
  EXPECT_EQ(RunCardLines(r, 1, 1), want);
}

// A limit reads as it was set, however small or precise: never rounded to 0 or to three places.
TEST(RunCard, LimitsAreSaidExactly) {
  const std::pair<double, std::string> cases[] = {
      {1e-9, "0.000000001"}, {0.1, "0.1"}, {12.3456789, "12.3456789"}, {-99999.5, "-99999.5"}};
  for (const auto& [value, text] : cases) {
    RunSummary r = ExampleRun();
    r.exceedances.at(0).limit = value;
    const std::vector<std::string> lines = RunCardLines(r, 2, 3);
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "  CHT3 above " + text +
                            " \u00b0F from 0:20:10 to 0:21:05 (55 s), peaking at CHT3 412 \u00b0F"),
              lines.end())
        << text;
  }
}

TEST(RunCard, UnitsOfEveryColumn) {
  using F = SampleColumn::Field;
  const std::pair<SampleColumn, std::string> cases[] = {
      {Col(F::kTach), "rpm"}, {Col(F::kCht, 1), "\u00b0F"}, {Col(F::kEgt, 8), "\u00b0F"},
      {Col(F::kOilT), "\u00b0F"}, {Col(F::kOat), "\u00b0F"}, {Col(F::kOilP), "psi"},
      {Col(F::kVolt), "V"}, {Col(F::kFlow), "gph"}, {Col(F::kAspd), "kt"},
      {Col(F::kAlt), "ft"}};
  for (const auto& [column, unit] : cases)
    EXPECT_EQ(ColumnUnit(column), unit) << ColumnTitle(column);
}

}  // namespace
}  // namespace ovixlog
