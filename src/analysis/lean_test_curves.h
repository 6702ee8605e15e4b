// What a lean test looks like drawn against fuel flow: every cylinder's EGT at each sample of
// the sweep, the curve the analysis fitted near its peak and the peak itself; the GAMI spread
// (the flow between the first and the last cylinder to peak) judged in words; and the test in
// one line for a pilot ("lean, 0.6 gph spread, order 3-2-4-1").
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "acquisition/engine_sample.h"
#include "analysis/run_summary.h"
#include "analysis/sweep_tracker.h"

namespace ovixlog {

// The GAMI spread's verdict: up to 0.5 well balanced, up to 1.0 acceptable, more unbalanced.
enum class GamiBalance { kWellBalanced, kAcceptable, kUnbalanced };
GamiBalance BalanceOf(double spread);
// "well balanced", "acceptable", "unbalanced".
const char* BalanceWords(GamiBalance balance);

// One cylinder of a lean test.
struct LeanCurve {
  int cylinder = 0;  // 1 up
  // Every sample of the sweep, in time order.
  std::vector<double> flow;
  std::vector<double> egt;
  // Fitted over the samples within kLeanFitWindow below the cylinder's highest EGT, which span
  // [fitLowFlow, fitHighFlow]; none when the cylinder did not peak.
  std::optional<QuadraticFit> fit;
  double fitLowFlow = 0.0;
  double fitHighFlow = 0.0;
  std::optional<double> peakFlow;
  std::optional<double> peakEgt;
};

struct LeanTestCurves {
  bool lean = true;
  std::vector<LeanCurve> cylinders;
  std::optional<double> gamiSpread;
  std::vector<int> order;
  // The extent of every point, for the axes; zero when there are none.
  double lowFlow = 0.0;
  double highFlow = 0.0;
  double lowEgt = 0.0;
  double highEgt = 0.0;
};

// `samples` are those of the sweep (from its start to its end); `egtCount` the model's EGT
// columns. The peaks, spread and order are the analysis' own, from `test`.
LeanTestCurves BuildLeanTestCurves(const LeanTest& test,
                                   const std::vector<const EngineSample*>& samples, int egtCount);

// "lean, 0.6 gph spread, order 3-2-4-1"; "rich, ..." for a rich sweep; a test in which not
// every cylinder peaked says how many did ("lean, 3 of 4 peaked, 0.4 gph spread, order 2-1-3").
std::string LeanTestWords(const LeanTest& test);

}  // namespace ovixlog
