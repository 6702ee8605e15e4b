// What the analysis reports for one engine run: times, fuel, extremes, spreads, cooling
// rates, the stretches past the pilot's limits, the lean tests and the findings. Times are milliseconds
// from the first sample analysed.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "acquisition/engine_sample.h"
#include "analysis/finding.h"
#include "analysis/limits.h"
#include "analysis/sample_column.h"

namespace ovixlog {

struct Exceedance {
  SampleColumn column;
  LimitKind kind = LimitKind::kMax;
  double limit = 0.0;
  int64_t startMs = 0;
  int64_t endMs = 0;
  double peak = 0.0;  // the highest value past a max limit, the lowest past a min limit

  friend bool operator==(const Exceedance&, const Exceedance&) = default;
};

struct LeanTest {
  int64_t startMs = 0;
  int64_t endMs = 0;
  bool lean = true;       // false: a rich sweep (flow rising)
  bool complete = false;  // every EGT column of the model peaked
  // One entry per EGT column of the model; empty where that cylinder did not peak.
  std::vector<std::optional<double>> peakFlow;
  std::vector<std::optional<double>> peakEgt;
  std::vector<int> order;  // cylinder numbers in the order the sweep reached their peaks
  std::optional<double> gamiSpread;

  friend bool operator==(const LeanTest&, const LeanTest&) = default;
};

struct ColumnExtreme {
  SampleColumn column;
  std::optional<double> value;

  friend bool operator==(const ColumnExtreme&, const ColumnExtreme&) = default;
};

struct RunSummary {
  EngineModel model = kModel5100;
  bool finished = false;  // false while the run may still go on
  int64_t startMs = 0;
  int64_t endMs = 0;
  int64_t samples = 0;
  int64_t airborneMs = 0;
  std::optional<int64_t> takeoffMs;
  std::optional<int64_t> landingMs;
  double fuelUsed = 0.0;  // the monitor's flow unit times hours
  // Tach, each CHT and EGT column, OilT, Alt, Aspd, Volt.
  std::vector<ColumnExtreme> max;
  // OilP (samples at Tach 1000 or more only), Volt.
  std::vector<ColumnExtreme> min;
  double chtSpreadMax = 0.0;
  double egtSpreadMax = 0.0;
  std::optional<double> chtRateMaxRise;  // degrees a minute
  std::optional<double> chtRateMaxDrop;  // degrees a minute, as a positive number
  std::vector<Exceedance> exceedances;   // by start time
  std::vector<LeanTest> leanTests;       // by start time
  std::vector<Finding> findings;         // by start time

  int64_t DurationMs() const { return endMs - startMs; }
  // The hottest CHT and its cylinder number (1 up).
  std::pair<int, double> HottestCht() const;
  std::optional<double> Max(SampleColumn column) const;
  std::optional<double> Min(SampleColumn column) const;

  friend bool operator==(const RunSummary&, const RunSummary&) = default;
};

}  // namespace ovixlog
