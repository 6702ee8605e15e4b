#include "analysis/sweep_tracker.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace ovixlog {
namespace {

constexpr int32_t kMinFall10 = 10;  // 1.0 in tenths
constexpr int32_t kMaxBack10 = 3;   // 0.3 in tenths
constexpr int kMaxTachChange = 100;
constexpr int64_t kMinSweepMs = 30000;
constexpr int64_t kMaxSweepMs = 600000;
constexpr int kPeakRise = 15;

}  // namespace

SweepTracker::SweepTracker(bool lean, int egtCount)
    : lean_(lean), egtCount_(std::clamp(egtCount, 0, 9)) {}

void SweepTracker::Restart(const Point& p) {
  points_.clear();
  points_.push_back(p);
  lowest_ = p.flow10;
  lowestAt_ = 0;
}

void SweepTracker::Add(int64_t ms, int32_t flowTenths, const EngineSample& s,
                       std::vector<LeanTest>& out) {
  Point p{ms, lean_ ? flowTenths : -flowTenths, s.tach, {}};
  std::memcpy(p.egt, s.egt, sizeof s.egt);
  if (points_.empty()) {
    Restart(p);
    return;
  }
  const Point& first = points_.front();
  if (p.flow10 > lowest_ + kMaxBack10 || std::abs(p.tach - first.tach) > kMaxTachChange ||
      ms - first.ms > kMaxSweepMs) {
    Evaluate(out);
    Restart(p);
    return;
  }
  // Back at (or past) the starting flow: nothing has fallen by more than 0.3 yet, so the
  // stretch may as well begin here.
  if (p.flow10 >= first.flow10) {
    Restart(p);
    return;
  }
  points_.push_back(p);
  if (p.flow10 < lowest_) {
    lowest_ = p.flow10;
    lowestAt_ = points_.size() - 1;
  }
}

void SweepTracker::Finish(std::vector<LeanTest>& out) {
  if (!points_.empty())
    Evaluate(out);
  points_.clear();
}

void SweepTracker::Evaluate(std::vector<LeanTest>& out) const {
  const Point& first = points_.front();
  const Point& last = points_[lowestAt_];
  if (first.flow10 - lowest_ < kMinFall10)
    return;
  const int64_t duration = last.ms - first.ms;
  if (duration < kMinSweepMs || duration > kMaxSweepMs)
    return;
  const size_t count = lowestAt_ + 1;

  // Which cylinders rose by 15 and then fell by 15.
  std::vector<bool> peaked(static_cast<size_t>(egtCount_), false);
  int peakedCount = 0;
  for (int c = 0; c < egtCount_; ++c) {
    int lowestSoFar = points_[0].egt[c];
    std::optional<int> risenPeak;
    for (size_t i = 0; i < count && !peaked[static_cast<size_t>(c)]; ++i) {
      const int egt = points_[i].egt[c];
      if (risenPeak && egt <= *risenPeak - kPeakRise)
        peaked[static_cast<size_t>(c)] = true;
      lowestSoFar = std::min(lowestSoFar, egt);
      if (egt - lowestSoFar >= kPeakRise && (!risenPeak || egt > *risenPeak))
        risenPeak = egt;
    }
    if (peaked[static_cast<size_t>(c)])
      ++peakedCount;
  }
  if (peakedCount * 2 < egtCount_)
    return;

  const double sign = lean_ ? 1.0 : -1.0;
  double lowFlow = 0.0;
  double highFlow = 0.0;
  for (size_t i = 0; i < count; ++i) {
    const double flow = sign * points_[i].flow10 / 10.0;
    lowFlow = i == 0 ? flow : std::min(lowFlow, flow);
    highFlow = i == 0 ? flow : std::max(highFlow, flow);
  }

  LeanTest test;
  test.startMs = first.ms;
  test.endMs = last.ms;
  test.lean = lean_;
  test.peakFlow.assign(static_cast<size_t>(egtCount_), std::nullopt);
  test.peakEgt.assign(static_cast<size_t>(egtCount_), std::nullopt);
  std::vector<double> flow;
  std::vector<double> egt;
  for (int c = 0; c < egtCount_; ++c) {
    const auto cylinder = static_cast<size_t>(c);
    if (!peaked[cylinder])
      continue;
    int highest = points_[0].egt[c];
    for (size_t i = 0; i < count; ++i)
      highest = std::max<int>(highest, points_[i].egt[c]);
    flow.clear();
    egt.clear();
    for (size_t i = 0; i < count; ++i) {
      if (highest - points_[i].egt[c] <= kLeanFitWindow) {
        flow.push_back(sign * points_[i].flow10 / 10.0);
        egt.push_back(points_[i].egt[c]);
      }
    }
    if (const std::optional<PeakFit> fit = FitPeak(flow, egt, lowFlow, highFlow)) {
      test.peakFlow[cylinder] = fit->flow;
      test.peakEgt[cylinder] = fit->egt;
    }
  }

  test.complete = true;
  std::optional<double> low;
  std::optional<double> high;
  for (int c = 0; c < egtCount_; ++c) {
    const std::optional<double>& f = test.peakFlow[static_cast<size_t>(c)];
    if (!f) {
      test.complete = false;
      continue;
    }
    test.order.push_back(c + 1);
    low = low ? std::min(*low, *f) : *f;
    high = high ? std::max(*high, *f) : *f;
  }
  if (low)
    test.gamiSpread = *high - *low;
  // Leaning reaches the richest peak first; enriching the leanest.
  std::stable_sort(test.order.begin(), test.order.end(), [&](int a, int b) {
    const double fa = *test.peakFlow[static_cast<size_t>(a - 1)];
    const double fb = *test.peakFlow[static_cast<size_t>(b - 1)];
    return lean_ ? fa > fb : fa < fb;
  });
  out.push_back(std::move(test));
}

std::optional<QuadraticFit> FitQuadratic(const std::vector<double>& flow,
                                         const std::vector<double>& egt) {
  const size_t n = flow.size();
  if (n < 3 || egt.size() != n)
    return std::nullopt;
  // Centred on the mean flow, which keeps the normal equations well conditioned.
  double mean = 0.0;
  for (double f : flow)
    mean += f;
  mean /= static_cast<double>(n);
  double s[5] = {};
  double t[3] = {};
  for (size_t i = 0; i < n; ++i) {
    const double x = flow[i] - mean;
    double power = 1.0;
    for (int k = 0; k < 5; ++k) {
      s[k] += power;
      if (k < 3)
        t[k] += power * egt[i];
      power *= x;
    }
  }
  // [s4 s3 s2; s3 s2 s1; s2 s1 s0] (a b c) = (t2 t1 t0), by Cramer's rule.
  const auto det3 = [](double a11, double a12, double a13, double a21, double a22, double a23,
                       double a31, double a32, double a33) {
    return a11 * (a22 * a33 - a23 * a32) - a12 * (a21 * a33 - a23 * a31) +
           a13 * (a21 * a32 - a22 * a31);
  };
  const double d = det3(s[4], s[3], s[2], s[3], s[2], s[1], s[2], s[1], s[0]);
  // Fewer than three distinct flows leave the system singular.
  if (!(std::fabs(d) > 1e-9 * s[4] * s[2] * s[0]))
    return std::nullopt;
  const double a = det3(t[2], s[3], s[2], t[1], s[2], s[1], t[0], s[1], s[0]) / d;
  const double b = det3(s[4], t[2], s[2], s[3], t[1], s[1], s[2], t[0], s[0]) / d;
  const double c = det3(s[4], s[3], t[2], s[3], s[2], t[1], s[2], s[1], t[0]) / d;
  return QuadraticFit{a, b, c, mean};
}

std::optional<PeakFit> FitPeak(const std::vector<double>& flow, const std::vector<double>& egt,
                               double lowFlow, double highFlow) {
  const std::optional<QuadraticFit> fit = FitQuadratic(flow, egt);
  if (!fit || !(fit->a < 0.0))
    return std::nullopt;
  const double a = fit->a;
  const double b = fit->b;
  const double c = fit->c;
  const double x = -b / (2.0 * a);
  const double peakFlow = x + fit->mean;
  if (peakFlow < lowFlow || peakFlow > highFlow)
    return std::nullopt;
  return PeakFit{peakFlow, a * x * x + b * x + c};
}

}  // namespace ovixlog
