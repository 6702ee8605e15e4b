// Makes up the values a monitor would send over a flight that repeats without end: engine
// start, taxi, run-up, take-off, climb, cruise, descent, approach, taxi and shut-down.
// The same model and seed always give the same values.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "acquisition/engine_sample.h"
#include "ovixlog-sim/scenario.h"

namespace ovixlog::sim {

class FlightGenerator {
 public:
  static constexpr int kFramesPerSecond = 12;

  FlightGenerator(EngineModel model, uint32_t seed, Scenario scenario = Scenario::kNone);

  // The values of the next frame, reduced to what a frame of the model carries, so that a
  // frame built from them decodes to exactly the same sample. Time fields stay zero.
  EngineSample Next();

  // Frames produced so far, and how long one pass of the flight lasts.
  uint64_t frameCount() const { return frames_; }
  static int FlightSeconds();
  // How long one pass of this generator's scenario lasts (FlightSeconds without one).
  int ScenarioSeconds() const;

  // Makes cylinder `cylinder` (1 first) run `egt` and `cht` degrees hotter than it would while
  // the engine turns, as a worn valve or a part-blocked injector would.
  void SetCylinderOffset(int cylinder, double egt, double cht);

  // One stretch of the flight. The engine values move towards the targets with a lag; the
  // height above the field moves smoothly from the previous stretch's end height to `height`.
  enum class Special {
    kNone,
    kHotCylinder,  // one cylinder's CHT rises about 80 degrees above the others and back
    kShockCool,    // the CHTs fall 80 degrees a minute down to `cht`
    kMixture,      // flow goes straight from `flowStart` to `flow`; EGT follows it at once
    kNoCharge,     // the alternator gives nothing: the bus sinks from the battery's 12.6 V
    kOpenProbe,    // EGT2 reads 0 for 20 s in the middle of the stretch
    kValve,        // after 2 minutes, one EGT swings 30 degrees either way every 55 s
    kRunaway,      // from 15 minutes in, CHT2 climbs 40 a minute for 150 s and cools slowly
    kPreignite,    // the same, and EGT2 falls as fast
    kStickyValve,  // 10 minutes in, one EGT falls 220 in 2 s, stays 4 s and climbs back in 6 s
    kMagCheck,     // a mag check: one magneto 25 to 32 s in, the other 40 to 47 s in
    kFouledPlug,   // the same, with one cylinder's EGT cooling on the second magneto
  };
  struct Phase {
    int seconds;
    double rpm;
    double ias;     // knots
    double height;  // feet above the field at the end of the stretch
    double flow;    // gallons an hour
    double egt;     // degrees F; below zero: cool towards the outside air
    double cht;
    Special special = Special::kNone;
    double flowStart = 0.0;
  };

 private:
  double Uniform(double low, double high);
  void StartFlight();
  void Advance();
  EngineSample Compose();

  EngineModel model_;
  int cylinders_;
  std::vector<Phase> phases_;
  LeanTruth leanTruth_;
  Special special_ = Special::kNone;
  int offsetCylinder_ = -1;  // from 0; none below 0
  double extraEgt_ = 0.0;
  double extraCht_ = 0.0;
  double phaseProgress_ = 0.0;  // 0 to 1 across the current stretch
  int mixtureTenths_ = 0;       // the flow during a mixture stretch, in tenths
  double magEgt_ = 0.0;         // how far the EGTs have moved on one magneto, 0 to 1
  int magOn_ = 0;               // the magneto the mag check runs on alone: 1, 2 or 0 for both
  int magLast_ = 0;             // the magneto the mag check ran on alone last
  std::mt19937 rng_;
  uint64_t frames_ = 0;

  // Fixed for the whole run.
  float chtOffset_[6] = {};
  float egtOffset_[6] = {};
  double fieldElevation_ = 0.0;
  double groundOat_ = 0.0;  // degrees C at the field
  double baro_ = 0.0;
  double engineHours_ = 0.0;

  // The state of the current flight.
  int frameInFlight_ = 0;
  double rpm_ = 0.0;
  double ias_ = 0.0;
  double altitude_ = 0.0;
  double vsi_ = 0.0;
  double flow_ = 0.0;
  double fuel_ = 0.0;
  double cht_ = 0.0;
  double egt_ = 0.0;
  double oilTemp_ = 0.0;
  double oilPressure_ = 0.0;
  double volts_ = 0.0;
  int runningFrames_ = 0;  // frames since the engine started, for the flight timer
};

}  // namespace ovixlog::sim
