// The simulator's test flights: each one shows a thing the flight review must find (a hot
// cylinder, shock cooling, a lean test, two flights, a run on the ground, a dead alternator,
// a failing probe).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/engine_sample.h"

namespace ovixlog::sim {

enum class Scenario {
  kNone,
  kHotCylinder,
  kShockCooling,
  kLeanTest,
  kTwoFlights,
  kGroundRun,
  kAlternator,  // the bus voltage sinks through the cruise: the alternator does not charge
  kBadProbe,    // EGT2 reads 0 for 20 s in the cruise: an open probe
  kExhaustValve,  // one EGT swings 60 degrees every 55 s in the cruise: a failing valve
  kPreignition,   // CHT2 climbs alone in the cruise while its EGT falls
  kDetonation,    // CHT2 climbs alone in the cruise, its EGT unchanged
  kStuckValve,    // one EGT falls 220 degrees for a few seconds in the cruise and comes back
  kBadPlug,       // in the run-up's mag check, EGT2 cools on one magneto while the others warm
};

std::optional<Scenario> ScenarioFromName(std::string_view name);
std::string_view ScenarioName(Scenario scenario);
// "hot-cylinder, shock-cooling, ..." for messages.
std::string ScenarioNames();

// The EGT peaks that the lean-test flight's two sweeps are made to show, one entry per EGT
// column of the model: the flow (in tenths of the monitor's flow unit, as it reaches the
// frame) at which each cylinder peaks, and its EGT there.
struct LeanTruth {
  std::vector<double> peakFlow;
  std::vector<double> peakEgt;
  double Spread() const;
};
LeanTruth LeanTestTruth(EngineModel model);
// The truth as printed by --print-truth.
std::string LeanTruthText(EngineModel model);

// What the analysis must find in the scenario, one "KIND COLUMN SEVERITY" line per finding
// of caution or warning ("low_voltage Volt warning"); empty for the flights that must stay
// clean. Whether the scenario has such a truth.
std::string FindingTruthText(Scenario scenario, EngineModel model);
// The cylinder (1 up) whose valve the exhaust-valve and stuck-valve flights fail.
int ValveCylinder(EngineModel model);
// The cylinder (1 up) whose plug the bad-plug flight fouls.
int PlugCylinder(EngineModel model);
// Whether the flight's run-up holds a mag check: every flight made for a finding.
bool HasMagCheck(Scenario scenario);
bool HasFindingTruth(Scenario scenario);

// How EGT falls away from its peak in the lean test: degrees per (flow unit) squared.
inline constexpr double kLeanCurvature = 60.0;

}  // namespace ovixlog::sim
