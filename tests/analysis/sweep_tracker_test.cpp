// Lean and rich sweeps on hand-made flows and EGTs. The EGTs lie on parabolas whose values at
// every tenth of flow are whole degrees (1500 - 100 (F - 9.0)^2 is 1500 - k^2 at 9.0 +- k/10),
// so the fitted peaks are known exactly.
#include "analysis/sweep_tracker.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "analysis/flight_analyzer.h"
#include "analysis/summary_writer.h"
#include "analysis_fixture.h"

namespace ovixlog {
namespace {

using test::Plain;

int Parabola(int peak, double peakFlow, int flowTenths) {
  const long k = std::lround(flowTenths - peakFlow * 10.0);
  return peak - static_cast<int>(k * k);
}

struct Sweep {
  int fromTenths = 100;
  int toTenths = 80;
  uint32_t durationMs = 120000;
  // EGT per cylinder from the flow in tenths.
  std::function<int(int cylinder, int flowTenths)> egt = [](int c, int f) {
    return c == 0 ? Parabola(1500, 9.0, f) : Parabola(1480, 8.6, f);
  };
  // Changes to the sample at `step` of the sweep (0 to the last step).
  std::function<void(EngineSample&, int step)> change;
};

// Model 3100 (two EGT columns): 40 s at the start flow, the sweep in one step per tenth, 40 s
// at the end flow. Returns the analysis' lean tests, one line each.
std::vector<std::string> LeanTests(const Sweep& sweep) {
  std::vector<EngineSample> samples;
  const auto add = [&](uint32_t ms, int tenths) {
    EngineSample s = Plain(ms);
    s.flow = static_cast<float>(tenths) * 0.1f;
    s.egt[0] = static_cast<int16_t>(sweep.egt(0, tenths));
    s.egt[1] = static_cast<int16_t>(sweep.egt(1, tenths));
    samples.push_back(s);
  };
  for (uint32_t ms = 0; ms < 40000; ms += 1000)
    add(ms, sweep.fromTenths);
  const int steps = std::abs(sweep.toTenths - sweep.fromTenths);
  const int direction = sweep.toTenths > sweep.fromTenths ? 1 : -1;
  for (int step = 0; step <= steps; ++step) {
    add(40000 + static_cast<uint32_t>(static_cast<uint64_t>(sweep.durationMs) *
                                      static_cast<uint64_t>(step) / static_cast<uint64_t>(steps)),
        sweep.fromTenths + direction * step);
    if (sweep.change)
      sweep.change(samples.back(), step);
  }
  const uint32_t end = 40000 + sweep.durationMs;
  for (uint32_t ms = end + 1000; ms <= end + 40000; ms += 1000)
    add(ms, sweep.toTenths);

  std::vector<std::string> out;
  for (const RunSummary& r : AnalyseSamples(samples, kModel3100, Limits())) {
    for (const LeanTest& t : r.leanTests) {
      std::string line = std::string(t.lean ? "lean " : "rich ") + std::to_string(t.startMs) + "-" +
                         std::to_string(t.endMs) + (t.complete ? " complete" : " partial");
      for (size_t c = 0; c < t.peakFlow.size(); ++c) {
        line += " EGT" + std::to_string(c + 1) + " ";
        line += t.peakFlow[c] ? NumberText(*t.peakFlow[c], 6) + "@" + NumberText(*t.peakEgt[c], 6)
                              : "-";
      }
      line += " order";
      for (int c : t.order)
        line += " " + std::to_string(c);
      line += " spread " + (t.gamiSpread ? NumberText(*t.gamiSpread, 6) : "-");
      out.push_back(line);
    }
  }
  return out;
}

TEST(SweepTracker, FindsSweepsByTheirDefinition) {
  const std::string bothPeak =
      "lean 40000-160000 complete EGT1 9@1500 EGT2 8.6@1480 order 1 2 spread 0.4";
  struct Case {
    const char* name;
    Sweep sweep;
    std::vector<std::string> expected;
  };
  std::vector<Case> cases;
  cases.push_back(
      {"a lean sweep: starts at the last sample of the start flow", Sweep{}, {bothPeak}});
  {
    Sweep s;
    s.fromTenths = 80;
    s.toTenths = 100;
    cases.push_back(
        {"a rich sweep, leanest peak first",
         s,
         {"rich 40000-160000 complete EGT1 9@1500 EGT2 8.6@1480 order 2 1 spread 0.4"}});
  }
  {
    Sweep s;
    s.egt = [](int c, int f) { return c == 0 ? Parabola(1500, 9.0, f) : 1450; };
    cases.push_back({"one cylinder never peaks: incomplete, left out of the spread",
                     s,
                     {"lean 40000-160000 partial EGT1 9@1500 EGT2 - order 1 spread 0"}});
  }
  {
    Sweep s;
    s.egt = [](int, int) { return 1450; };
    cases.push_back({"no cylinder peaks: no test", s, {}});
  }
  {
    Sweep s;
    // EGT2 rises 16 and falls only 14: it does not count as peaked, and one of two is half.
    s.egt = [](int c, int f) {
      return c == 0 ? Parabola(1500, 9.0, f)
                    : (f >= 90 ? 1450 + (100 - f) * 16 / 10 : 1466 - (90 - f) * 14 / 10);
    };
    cases.push_back({"a rise of 16 and a fall of 14 is no peak",
                     s,
                     {"lean 40000-160000 partial EGT1 9@1500 EGT2 - order 1 spread 0"}});
  }
  {
    Sweep s;
    s.toTenths = 91;
    s.egt = [](int c, int f) { return c == 0 ? Parabola(1500, 9.5, f) : Parabola(1480, 9.4, f); };
    cases.push_back({"a fall of 0.9 is not a sweep", s, {}});
  }
  {
    Sweep s;
    s.toTenths = 90;
    s.egt = [](int c, int f) { return c == 0 ? Parabola(1500, 9.5, f) : Parabola(1480, 9.4, f); };
    cases.push_back(
        {"a fall of 1.0 is",
         s,
         {"lean 40000-160000 complete EGT1 9.5@1500 EGT2 9.4@1480 order 1 2 spread 0.1"}});
  }
  {
    Sweep s;
    s.durationMs = 29000;
    cases.push_back({"29 s is too short", s, {}});
    s.durationMs = 30000;
    // 40 s of start flow end at 39000; the sweep's first sample at 40000 is its second.
    cases.push_back({"30 s is long enough",
                     s,
                     {"lean 40000-70000 complete EGT1 9@1500 EGT2 8.6@1480 order 1 2 spread 0.4"}});
  }
  {
    Sweep s;
    s.toTenths = 60;  // 40 steps of 15 s, so that the run does not break up
    s.durationMs = 601000;
    // The stretch may last 10 min at most: the sweep ends with the last new low flow before.
    cases.push_back(
        {"a fall over 10 min 1 s is cut at its last step within 10 min",
         s,
         {"lean 40000-625975 complete EGT1 9@1500 EGT2 8.6@1480 order 1 2 spread 0.4"}});
    s.durationMs = 600000;
    cases.push_back(
        {"10 min is not",
         s,
         {"lean 40000-640000 complete EGT1 9@1500 EGT2 8.6@1480 order 1 2 spread 0.4"}});
  }
  {
    Sweep s;
    s.change = [](EngineSample& x, int step) {
      if (step == 10)
        x.tach = 2501;
    };
    cases.push_back({"Tach 101 off the start splits the sweep", s, {}});
    s.change = [](EngineSample& x, int step) {
      if (step >= 10)
        x.tach = 2300;
    };
    cases.push_back({"Tach 100 off does not", s, {bothPeak}});
  }
  {
    Sweep s;
    // Step 9 has reached 9.1; step 10 comes back up to 9.5 or 9.4, EGTs to match.
    const auto backUpTo = [](int tenths) {
      return [tenths](EngineSample& x, int step) {
        if (step == 10) {
          x.flow = static_cast<float>(tenths) * 0.1f;
          x.egt[0] = static_cast<int16_t>(Parabola(1500, 9.0, tenths));
          x.egt[1] = static_cast<int16_t>(Parabola(1480, 8.6, tenths));
        }
      };
    };
    s.change = backUpTo(95);
    cases.push_back(
        {"flow back more than 0.3 above its lowest ends the sweep; a new one starts there",
         s,
         {"lean 100000-160000 complete EGT1 9@1500 EGT2 8.6@1480 order 1 2 spread 0.4"}});
    s.change = backUpTo(94);
    cases.push_back({"0.3 above is allowed", s, {bothPeak}});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(LeanTests(c.sweep), c.expected);
  }
}

TEST(SweepTracker, FitsAParabolaToTheTopOfTheCurve) {
  struct Case {
    const char* name;
    std::vector<double> flow, egt;
    double low, high;
    std::optional<double> peakFlow, peakEgt;
  };
  const std::vector<Case> cases = {
      {"exact parabola", {8.0, 8.5, 9.0, 9.5}, {1400, 1475, 1500, 1475}, 7.0, 10.0, 9.0, 1500},
      {"vertex outside the range",
       {8.0, 8.5, 9.0, 9.5},
       {1400, 1475, 1500, 1475},
       7.0,
       8.9,
       std::nullopt,
       std::nullopt},
      {"opening upwards",
       {8.0, 8.5, 9.0},
       {1500, 1475, 1500},
       7.0,
       10.0,
       std::nullopt,
       std::nullopt},
      {"two flows only",
       {8.0, 8.0, 9.0},
       {1400, 1410, 1500},
       7.0,
       10.0,
       std::nullopt,
       std::nullopt},
      {"fewer than three points", {8.0, 9.0}, {1400, 1500}, 7.0, 10.0, std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<PeakFit> fit = FitPeak(c.flow, c.egt, c.low, c.high);
    ASSERT_EQ(fit.has_value(), c.peakFlow.has_value());
    if (fit) {
      EXPECT_NEAR(fit->flow, *c.peakFlow, 1e-9);
      EXPECT_NEAR(fit->egt, *c.peakEgt, 1e-6);
    }
  }
}

}  // namespace
}  // namespace ovixlog
