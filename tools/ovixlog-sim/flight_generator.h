// Makes up the values a monitor would send over a flight that repeats without end: engine
// start, taxi, run-up, take-off, climb, cruise, descent, approach, taxi and shut-down.
// The same model and seed always give the same values.
#pragma once

#include <cstdint>
#include <random>

#include "acquisition/engine_sample.h"

namespace ovixlog::sim {

class FlightGenerator {
 public:
  static constexpr int kFramesPerSecond = 12;

  FlightGenerator(EngineModel model, uint32_t seed);

  // The values of the next frame, reduced to what a frame of the model carries, so that a
  // frame built from them decodes to exactly the same sample. Time fields stay zero.
  EngineSample Next();

  // After `flights` whole flights the engine stays shut down for good (0: flights without end).
  void SetFlightLimit(int flights) { flightLimit_ = flights; }

  // Frames produced so far, and how long one pass of the flight lasts.
  uint64_t frameCount() const { return frames_; }
  static int FlightSeconds();

 private:
  double Uniform(double low, double high);
  void StartFlight();
  void Advance();
  EngineSample Compose();

  EngineModel model_;
  int cylinders_;
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
  int flightLimit_ = 0;
  int flightsDone_ = 0;
};

}  // namespace ovixlog::sim
