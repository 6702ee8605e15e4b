#include "ovixlog-sim/scenario.h"

#include <algorithm>
#include <cstdio>

#include "format/column_set.h"

namespace ovixlog::sim {
namespace {

struct Named {
  Scenario scenario;
  const char* name;
};

constexpr Named kNames[] = {
    {Scenario::kHotCylinder, "hot-cylinder"}, {Scenario::kShockCooling, "shock-cooling"},
    {Scenario::kLeanTest, "lean-test"},       {Scenario::kTwoFlights, "two-flights"},
    {Scenario::kGroundRun, "ground-run"},     {Scenario::kAlternator, "alternator"},
    {Scenario::kBadProbe, "bad-probe"},       {Scenario::kExhaustValve, "exhaust-valve"},
    {Scenario::kPreignition, "preignition"},  {Scenario::kDetonation, "detonation"},
    {Scenario::kStuckValve, "stuck-valve"},   {Scenario::kBadPlug, "bad-plug"},
};

// Each cylinder's peak flow, as an offset from 8.0, and its peak EGT above 1420.
constexpr double kPeakFlowOffset[9] = {0.3, -0.2, 0.1, -0.1, 0.2, -0.3, 0.0, 0.4, -0.4};
constexpr double kPeakEgtOffset[9] = {35, 10, 52, 0, 28, 61, 17, 44, 5};

}  // namespace

std::optional<Scenario> ScenarioFromName(std::string_view name) {
  for (const Named& n : kNames) {
    if (name == n.name)
      return n.scenario;
  }
  return std::nullopt;
}

std::string_view ScenarioName(Scenario scenario) {
  for (const Named& n : kNames) {
    if (n.scenario == scenario)
      return n.name;
  }
  return "";
}

std::string ScenarioNames() {
  std::string names;
  for (const Named& n : kNames)
    names += std::string(names.empty() ? "" : ", ") + n.name;
  return names;
}

double LeanTruth::Spread() const {
  if (peakFlow.empty())
    return 0.0;
  const auto [low, high] = std::minmax_element(peakFlow.begin(), peakFlow.end());
  return *high - *low;
}

LeanTruth LeanTestTruth(EngineModel model) {
  LeanTruth truth;
  const int count = ColumnSetFor(model).egtCount;
  for (int c = 0; c < count && c < 9; ++c) {
    truth.peakFlow.push_back(8.0 + kPeakFlowOffset[c]);
    truth.peakEgt.push_back(1420.0 + kPeakEgtOffset[c]);
  }
  return truth;
}

std::string LeanTruthText(EngineModel model) {
  const LeanTruth truth = LeanTestTruth(model);
  std::string text;
  char line[96];
  for (size_t c = 0; c < truth.peakFlow.size(); ++c) {
    std::snprintf(line, sizeof line, "EGT%zu peak_flow %.2f peak_egt %.0f\n", c + 1,
                  truth.peakFlow[c], truth.peakEgt[c]);
    text += line;
  }
  std::snprintf(line, sizeof line, "gami_spread %.2f\n", truth.Spread());
  return text + line;
}

bool HasFindingTruth(Scenario scenario) {
  return scenario == Scenario::kHotCylinder || scenario == Scenario::kAlternator || scenario == Scenario::kBadProbe ||
         scenario == Scenario::kExhaustValve || scenario == Scenario::kPreignition ||
         scenario == Scenario::kDetonation || scenario == Scenario::kStuckValve ||
         scenario == Scenario::kBadPlug;
}

bool HasMagCheck(Scenario scenario) {
  return scenario != Scenario::kHotCylinder && HasFindingTruth(scenario);
}

int PlugCylinder(EngineModel model) {
  return std::min(2, ColumnSetFor(model).egtCount);
}

int ValveCylinder(EngineModel model) {
  return std::min(3, ColumnSetFor(model).egtCount);
}

std::string FindingTruthText(Scenario scenario, EngineModel model) {
  switch (scenario) {
    case Scenario::kExhaustValve:
      return "egt_oscillation EGT" + std::to_string(ValveCylinder(model)) + " caution\n";
    case Scenario::kAlternator:
      return "low_voltage Volt warning\n";
    case Scenario::kPreignition:
    case Scenario::kDetonation:
      return "cht_runaway CHT2 warning\n";
    case Scenario::kHotCylinder:
      // One CHT climbing 80 alone in a steady climb is the runaway's pattern too.
      return "cht_runaway CHT" + std::to_string(std::min(3, ColumnSetFor(model).chtCount)) +
             " warning\n";
    case Scenario::kBadProbe:
      return "probe_fault EGT2 caution\n";
    case Scenario::kStuckValve:
      return "egt_dropout EGT" + std::to_string(ValveCylinder(model)) + " caution\n";
    case Scenario::kBadPlug:
      return "mag_check EGT" + std::to_string(PlugCylinder(model)) + " warning\n";
    default:
      return "";
  }
}

}  // namespace ovixlog::sim
