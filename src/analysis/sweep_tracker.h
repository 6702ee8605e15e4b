// Finds lean sweeps (or, mirrored, rich sweeps) in the samples of one run and fits each
// cylinder's EGT against the flow to find the flow at which it peaks.
//
// A sweep is a stretch in which Flow falls (rises) by at least 1.0 in total, never comes back
// more than 0.3 past its lowest (highest) value so far, lasts 30 s to 10 min, keeps Tach
// within 100 of its value at the start, and over which at least half of the model's EGT
// columns rise by 15 degrees and then fall by 15. It starts at the latest sample whose flow is
// at or past the flow at which the stretch began, and ends at the first sample with its
// extreme flow.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "acquisition/engine_sample.h"
#include "analysis/run_summary.h"

namespace ovixlog {

class SweepTracker {
 public:
  SweepTracker(bool lean, int egtCount);

  // Takes the run's next sample, whose flow in tenths is `flowTenths`; a sweep that ends with
  // it is appended to `out`.
  void Add(int64_t ms, int32_t flowTenths, const EngineSample& sample, std::vector<LeanTest>& out);
  // The run has ended: reports a sweep still open.
  void Finish(std::vector<LeanTest>& out);

 private:
  struct Point {
    int64_t ms;
    int32_t flow10;  // flow in tenths, negated for a rich sweep so that both fall
    int16_t tach;
    int16_t egt[9];
  };
  void Restart(const Point& p);
  void Evaluate(std::vector<LeanTest>& out) const;

  bool lean_;
  int egtCount_;
  std::vector<Point> points_;  // the stretch, from its first sample on
  int32_t lowest_ = 0;
  size_t lowestAt_ = 0;
};

// A cylinder's points within this many degrees below its highest EGT of a sweep are fitted.
inline constexpr int kLeanFitWindow = 30;

// egt = a*x^2 + b*x + c with x = flow - mean, the mean flow of the fitted points.
struct QuadraticFit {
  double a;
  double b;
  double c;
  double mean;
  double At(double flow) const {
    const double x = flow - mean;
    return (a * x + b) * x + c;
  }
};
// Least squares fit over the points; none for fewer than three distinct flows.
std::optional<QuadraticFit> FitQuadratic(const std::vector<double>& flow,
                                         const std::vector<double>& egt);

// Least squares fit of egt = a*flow^2 + b*flow + c over the points; the vertex (flow, egt)
// when a < 0 and the vertex's flow lies within [lowFlow, highFlow].
struct PeakFit {
  double flow;
  double egt;
};
std::optional<PeakFit> FitPeak(const std::vector<double>& flow, const std::vector<double>& egt,
                               double lowFlow, double highFlow);

}  // namespace ovixlog
