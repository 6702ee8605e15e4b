#include "analysis/lean_test_curves.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ovixlog {

GamiBalance BalanceOf(double spread) {
  // Judged on the spread as shown, in hundredths, so that 0.5 read back is 0.5.
  const double shown = std::round(spread * 100.0) / 100.0;
  if (shown <= 0.5)
    return GamiBalance::kWellBalanced;
  if (shown <= 1.0)
    return GamiBalance::kAcceptable;
  return GamiBalance::kUnbalanced;
}

const char* BalanceWords(GamiBalance balance) {
  switch (balance) {
    case GamiBalance::kWellBalanced:
      return "well balanced";
    case GamiBalance::kAcceptable:
      return "acceptable";
    case GamiBalance::kUnbalanced:
      return "unbalanced";
  }
  return "";
}

LeanTestCurves BuildLeanTestCurves(const LeanTest& test,
                                   const std::vector<const EngineSample*>& samples, int egtCount) {
  LeanTestCurves out;
  out.lean = test.lean;
  out.gamiSpread = test.gamiSpread;
  out.order = test.order;
  const int count = std::clamp(egtCount, 0, 9);
  bool any = false;
  for (int c = 0; c < count; ++c) {
    LeanCurve curve;
    curve.cylinder = c + 1;
    const auto slot = static_cast<size_t>(c);
    if (slot < test.peakFlow.size())
      curve.peakFlow = test.peakFlow[slot];
    if (slot < test.peakEgt.size())
      curve.peakEgt = test.peakEgt[slot];
    int highest = 0;
    for (const EngineSample* s : samples) {
      if (s == nullptr)
        continue;
      const double flow = static_cast<double>(s->flow);
      const double egt = s->egt[c];
      curve.flow.push_back(flow);
      curve.egt.push_back(egt);
      highest = curve.flow.size() == 1 ? s->egt[c] : std::max<int>(highest, s->egt[c]);
      out.lowFlow = any ? std::min(out.lowFlow, flow) : flow;
      out.highFlow = any ? std::max(out.highFlow, flow) : flow;
      out.lowEgt = any ? std::min(out.lowEgt, egt) : egt;
      out.highEgt = any ? std::max(out.highEgt, egt) : egt;
      any = true;
    }
    if (curve.peakFlow) {
      // The same points the analysis fitted: those near the cylinder's highest EGT.
      std::vector<double> flow;
      std::vector<double> egt;
      for (size_t i = 0; i < curve.flow.size(); ++i) {
        if (highest - curve.egt[i] <= kLeanFitWindow) {
          flow.push_back(curve.flow[i]);
          egt.push_back(curve.egt[i]);
        }
      }
      curve.fit = FitQuadratic(flow, egt);
      if (!flow.empty()) {
        curve.fitLowFlow = *std::min_element(flow.begin(), flow.end());
        curve.fitHighFlow = *std::max_element(flow.begin(), flow.end());
      }
    }
    out.cylinders.push_back(std::move(curve));
  }
  return out;
}

std::string LeanTestWords(const LeanTest& test) {
  std::string words = test.lean ? "lean" : "rich";
  char buffer[64];
  if (!test.complete) {
    int peaked = 0;
    for (const std::optional<double>& f : test.peakFlow)
      peaked += f.has_value() ? 1 : 0;
    std::snprintf(buffer, sizeof buffer, ", %d of %zu peaked", peaked, test.peakFlow.size());
    words += buffer;
  }
  if (test.gamiSpread) {
    // Tenths rounded half away from zero, as the summaries round.
    std::snprintf(buffer, sizeof buffer, ", %.1f gph spread",
                  std::round(*test.gamiSpread * 10.0) / 10.0);
    words += buffer;
  }
  if (!test.order.empty()) {
    words += ", order ";
    for (size_t i = 0; i < test.order.size(); ++i) {
      if (i > 0)
        words += '-';
      words += std::to_string(test.order[i]);
    }
  }
  return words;
}

}  // namespace ovixlog
