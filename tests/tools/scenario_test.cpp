// The simulator's test flights, recorded to files, imported and analysed as the converter
// does: each shows what it was made to show, for every model, and the lean test's fitted peaks
// match the peaks the flight was built with.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../document/doc_fixture.h"
#include "analysis/flight_analyzer.h"
#include "analysis/sample_column.h"
#include "format/column_set.h"
#include "ovixlog-sim/frame_stream.h"
#include "ovixlog-sim/recording_writer.h"
#include "ovixlog-sim/scenario.h"
#include "ovixlog-sim/sim_options.h"

namespace ovixlog::sim {
namespace {

using Field = SampleColumn::Field;

struct Flavour {
  EngineModel model;
  int32_t alt;
  bool demoLog;
};

const Flavour kFlavours[] = {
    {kModel3100, 0, false}, {kModel5100, 0, false}, {kModel5100, 1, false},
    {kModel7100, 0, false}, {kModel8100, 0, false}, {kModel7100, 0, true},
};

std::string Describe(const Flavour& f) {
  return std::to_string(ModelNumber(f.model)) + (f.alt ? " v3.9" : "") +
         (f.demoLog ? " demo log" : " capture");
}

// The scenario written once to a file, imported with one sample a second kept.
std::vector<RunSummary> Analyse(Scenario scenario, const Flavour& f) {
  std::vector<std::string> args = {"--model", std::to_string(ModelNumber(f.model)), "--capture",
                                    "x"};
  if (scenario != Scenario::kNone)
    args.insert(args.begin(), {"--scenario", std::string(ScenarioName(scenario))});
  const ParsedCommandLine parsed = ParseCommandLine(args);
  EXPECT_EQ(parsed.outcome, ParsedCommandLine::Outcome::kRun);
  StreamOptions options;
  options.model = f.model;
  options.altFrameFormat = f.alt;
  options.scenario = scenario;
  FrameStream stream(options);
  StartupSettings settings;
  settings.model = f.model;
  test::DocFixture fixture(settings);
  if (f.alt)
    fixture.doc->OnReadV39();
  const std::string path = fixture.folder / "flight";
  std::string error;
  const bool written = f.demoLog ? WriteDemoLog(path, stream, parsed.options.frames, error)
                                 : WriteCapture(path, stream, parsed.options.frames, error);
  EXPECT_TRUE(written) << error;
  EXPECT_TRUE(f.demoLog ? fixture.doc->ImportDemoLog(path) : fixture.doc->ImportSerialFile(path));
  FlightAnalyzer analyzer(fixture.doc->model.load(), Limits::Defaults());
  for (int i = 0; i < fixture.doc->SampleCount(); ++i)
    analyzer.Add(fixture.doc->SampleAt(i));
  analyzer.Finish();
  return analyzer.FinishedRuns();
}

TEST(Scenario, LeanTestPeaksMatchTheTruthForEveryModel) {
  for (const Flavour& f : kFlavours) {
    SCOPED_TRACE(Describe(f));
    const LeanTruth truth = LeanTestTruth(f.model);
    ASSERT_EQ(truth.peakFlow.size(), static_cast<size_t>(ColumnSetFor(f.model).egtCount));
    const std::vector<RunSummary> runs = Analyse(Scenario::kLeanTest, f);
    ASSERT_EQ(runs.size(), 1u);
    ASSERT_EQ(runs[0].leanTests.size(), 2u);
    for (size_t k = 0; k < 2; ++k) {
      const LeanTest& test = runs[0].leanTests[k];
      SCOPED_TRACE(test.lean ? "lean" : "rich");
      EXPECT_EQ(test.lean, k == 0);
      EXPECT_TRUE(test.complete);
      ASSERT_EQ(test.peakFlow.size(), truth.peakFlow.size());
      for (size_t c = 0; c < truth.peakFlow.size(); ++c) {
        ASSERT_TRUE(test.peakFlow[c]) << "EGT" << c + 1;
        EXPECT_NEAR(*test.peakFlow[c], truth.peakFlow[c], 0.05) << "EGT" << c + 1;
        EXPECT_NEAR(*test.peakEgt[c], truth.peakEgt[c], 2.0) << "EGT" << c + 1;
      }
      ASSERT_TRUE(test.gamiSpread);
      EXPECT_NEAR(*test.gamiSpread, truth.Spread(), 0.1);
      // Leaning passes the richest peak first.
      std::vector<int> order;
      for (size_t c = 0; c < truth.peakFlow.size(); ++c)
        order.push_back(static_cast<int>(c) + 1);
      std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const double fa = truth.peakFlow[static_cast<size_t>(a - 1)];
        const double fb = truth.peakFlow[static_cast<size_t>(b - 1)];
        return test.lean ? fa > fb : fa < fb;
      });
      EXPECT_EQ(test.order, order);
    }
  }
}

// The findings of caution or warning as --print-truth states them.
std::string SevereFindings(const std::vector<RunSummary>& runs) {
  std::string out;
  for (const RunSummary& r : runs) {
    for (const Finding& f : r.findings) {
      if (f.severity != FindingSeverity::kInfo)
        out += f.kind + " " + (f.column ? ColumnTitle(*f.column) : "-") + " " +
               FindingSeverityName(f.severity) + "\n";
    }
  }
  return out;
}

TEST(Scenario, EveryFlightFindsExactlyItsTruth) {
  // The ordinary flight and the flights made for other things must stay clean.
  const Scenario scenarios[] = {Scenario::kNone,       Scenario::kHotCylinder,
                                Scenario::kShockCooling, Scenario::kLeanTest,
                                Scenario::kTwoFlights, Scenario::kGroundRun,
                                Scenario::kAlternator, Scenario::kBadProbe,
                                Scenario::kExhaustValve, Scenario::kPreignition,
                                Scenario::kDetonation,   Scenario::kStuckValve,
                                Scenario::kBadPlug};
  for (const Flavour& f : kFlavours) {
    SCOPED_TRACE(Describe(f));
    for (Scenario scenario : scenarios) {
      SCOPED_TRACE(scenario == Scenario::kNone ? "ordinary" : std::string(ScenarioName(scenario)));
      const std::vector<RunSummary> runs = Analyse(scenario, f);
      EXPECT_EQ(SevereFindings(runs), FindingTruthText(scenario, f.model));
      if (scenario == Scenario::kPreignition || scenario == Scenario::kDetonation) {
        const std::string said = scenario == Scenario::kPreignition ? "pre-ignition" : "detonation";
        bool named = false;
        for (const Finding& found : runs.empty() ? std::vector<Finding>() : runs[0].findings)
          named = named || found.text.find(said) != std::string::npos;
        EXPECT_TRUE(named) << said;
      }
      // The flights with a mag check in their run-up show both magnetos' dips.
      std::vector<Finding> checks;
      for (const RunSummary& r : runs) {
        for (const Finding& found : r.findings) {
          if (found.kind == "mag_check")
            checks.push_back(found);
        }
      }
      ASSERT_EQ(checks.size(), HasMagCheck(scenario) ? 1u : 0u);
      if (!checks.empty()) {
        EXPECT_EQ(checks[0].severity, scenario == Scenario::kBadPlug ? FindingSeverity::kWarning
                                                                     : FindingSeverity::kInfo);
        ASSERT_EQ(checks[0].dips.size(), 2u);
        // Drops of 100 and 115 rpm, give or take the Tach's noise.
        EXPECT_GE(checks[0].dips[0].rpmDrop, 90.0);
        EXPECT_LE(checks[0].dips[0].rpmDrop, 110.0);
        EXPECT_GE(checks[0].dips[1].rpmDrop, 105.0);
        EXPECT_LE(checks[0].dips[1].rpmDrop, 125.0);
      }
    }
  }
}

TEST(Scenario, FindingFlightsSpanTheCruise) {
  const Flavour f = {kModel5100, 0, false};
  std::vector<RunSummary> runs = Analyse(Scenario::kAlternator, f);
  ASSERT_EQ(runs.size(), 1u);
  // The run-up's mag check, then the cruise's low voltage.
  ASSERT_EQ(runs[0].findings.size(), 2u);
  EXPECT_EQ(runs[0].findings[0].kind, "mag_check");
  const Finding& low = runs[0].findings[1];
  EXPECT_EQ(low.kind, "low_voltage");
  // Through most of the 30-minute cruise, sinking to 11.6 V.
  EXPECT_GT(low.endMs - low.startMs, 1700000);
  EXPECT_LE(low.endMs - low.startMs, 1800000);
  ASSERT_EQ(low.evidence.size(), 2u);
  EXPECT_EQ(low.evidence[0], (std::pair<std::string, double>{"min", 11.6}));

  runs = Analyse(Scenario::kBadProbe, f);
  ASSERT_EQ(runs.size(), 1u);
  ASSERT_EQ(runs[0].findings.size(), 2u);
  const Finding& probe = runs[0].findings[1];
  EXPECT_EQ(probe.kind, "probe_fault");
  EXPECT_GE(probe.endMs - probe.startMs, 19000);
  EXPECT_LE(probe.endMs - probe.startMs, 20000);

  runs = Analyse(Scenario::kStuckValve, f);
  ASSERT_EQ(runs.size(), 1u);
  ASSERT_EQ(runs[0].findings.size(), 2u);
  const Finding& dropout = runs[0].findings[1];
  EXPECT_EQ(dropout.kind, "egt_dropout");
  // A fall of 220 (with the probes' noise) over about 11 s.
  ASSERT_EQ(dropout.evidence.size(), 2u);
  EXPECT_GE(dropout.evidence[0].second, 214.0);
  EXPECT_LE(dropout.evidence[0].second, 226.0);
  EXPECT_GE(dropout.evidence[1].second, 10.0);
  EXPECT_LE(dropout.evidence[1].second, 13.0);
}

TEST(Scenario, EachFlightShowsWhatItWasMadeFor) {
  for (const Flavour& f : kFlavours) {
    SCOPED_TRACE(Describe(f));
    const int hot = std::min(3, ColumnSetFor(f.model).chtCount);
    {
      SCOPED_TRACE("hot-cylinder");
      const std::vector<RunSummary> runs = Analyse(Scenario::kHotCylinder, f);
      ASSERT_EQ(runs.size(), 1u);
      ASSERT_EQ(runs[0].exceedances.size(), 1u);
      const Exceedance& e = runs[0].exceedances[0];
      EXPECT_EQ(e.column, (SampleColumn{Field::kCht, hot - 1}));
      EXPECT_EQ(e.limit, 435);
      EXPECT_GE(e.endMs - e.startMs, 45000);
      EXPECT_LE(e.endMs - e.startMs, 90000);
      // In the climb: after take-off, within the first ten minutes airborne.
      ASSERT_TRUE(runs[0].takeoffMs);
      EXPECT_GT(e.startMs, *runs[0].takeoffMs);
      EXPECT_LT(e.endMs, *runs[0].takeoffMs + 600000);
    }
    {
      SCOPED_TRACE("shock-cooling");
      const std::vector<RunSummary> runs = Analyse(Scenario::kShockCooling, f);
      ASSERT_EQ(runs.size(), 1u);
      ASSERT_TRUE(runs[0].chtRateMaxDrop);
      EXPECT_GE(*runs[0].chtRateMaxDrop, 75.0);
      EXPECT_LE(*runs[0].chtRateMaxDrop, 90.0);
      EXPECT_TRUE(runs[0].exceedances.empty());
    }
    {
      SCOPED_TRACE("two-flights");
      const std::vector<RunSummary> runs = Analyse(Scenario::kTwoFlights, f);
      ASSERT_EQ(runs.size(), 2u);
      const int64_t stop = runs[1].startMs - runs[0].endMs;
      EXPECT_GE(stop, 600000);
      EXPECT_LE(stop, 660000);
      EXPECT_GT(runs[0].airborneMs, 40 * 60000);
      EXPECT_GT(runs[1].airborneMs, 40 * 60000);
    }
    {
      SCOPED_TRACE("ground-run");
      const std::vector<RunSummary> runs = Analyse(Scenario::kGroundRun, f);
      ASSERT_EQ(runs.size(), 1u);
      EXPECT_EQ(runs[0].airborneMs, 0);
      EXPECT_FALSE(runs[0].takeoffMs);
      EXPECT_GT(runs[0].DurationMs(), 180000);
    }
  }
}

TEST(Scenario, CommandLine) {
  struct Case {
    std::vector<std::string> args;
    std::string error;
    uint64_t frames;
  };
  const std::vector<Case> cases = {
      {{"--scenario", "ground-run", "--capture", "x"}, "", 260 * 12},
      {{"--scenario=lean-test", "--demo-log", "x"}, "", 2165 * 12},
      {{"--scenario", "two-flights", "--capture", "x", "--frames", "5"}, "", 5},
      {{"--scenario", "hot-cylinder"}, "", 0},
      {{"--scenario", "lean-test", "--print-truth"}, "", 0},
      {{"--scenario", "alternator", "--print-truth"}, "", 0},
      {{"--scenario", "cruise"},
       "--scenario must be one of hot-cylinder, shock-cooling, lean-test, two-flights, "
       "ground-run, alternator, bad-probe, exhaust-valve, preignition, detonation, stuck-valve, "
       "bad-plug",
       0},
      {{"--print-truth"}, "--print-truth goes with --scenario lean-test or a finding's flight",
       0},
      {{"--scenario", "ground-run", "--print-truth"},
       "--print-truth goes with --scenario lean-test or a finding's flight",
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : ""));
    const ParsedCommandLine parsed = ParseCommandLine(c.args);
    EXPECT_EQ(parsed.error, c.error);
    EXPECT_EQ(parsed.outcome, c.error.empty() ? ParsedCommandLine::Outcome::kRun
                                              : ParsedCommandLine::Outcome::kBadUsage);
    EXPECT_EQ(parsed.options.frames, c.frames);
  }
  EXPECT_EQ(LeanTruthText(kModel3100),
            "EGT1 peak_flow 8.30 peak_egt 1455\nEGT2 peak_flow 7.80 peak_egt 1430\n"
            "gami_spread 0.50\n");
}

}  // namespace
}  // namespace ovixlog::sim
