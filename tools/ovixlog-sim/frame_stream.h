// The simulator's byte stream: the flight's frames in a model's layout, with optional line
// faults (noise between frames, spoiled checksums) drawn from a random stream of their own, so
// that turning faults on does not change the flight.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "acquisition/engine_sample.h"
#include "ovixlog-sim/flight_generator.h"

namespace ovixlog::sim {

struct StreamOptions {
  EngineModel model = kModel5100;
  int32_t altFrameFormat = 0;  // the 77-byte format; model 5100 only
  uint32_t seed = 1;
  double noise = 0.0;        // chance of 1 to 16 random bytes before a frame
  double badChecksum = 0.0;  // chance of a frame with a wrong checksum
  Scenario scenario = Scenario::kNone;
  int offsetCylinder = 0;  // from 1; 0: none
  double egtOffset = 0.0;  // degrees F that cylinder runs hotter
  double chtOffset = 0.0;
};

class FrameStream {
 public:
  explicit FrameStream(const StreamOptions& options);

  // What one call put on the line.
  struct Emitted {
    EngineSample sample;
    bool goodChecksum = true;
    size_t noiseBytes = 0;
  };

  // Appends the noise (if any) and the next frame to `out`.
  Emitted AppendNext(std::vector<uint8_t>& out);

  const StreamOptions& options() const { return options_; }
  const FlightGenerator& flight() const { return flight_; }
  int frameLength() const { return FrameLengthFor(options_.model, options_.altFrameFormat); }

 private:
  bool Chance(double probability);

  StreamOptions options_;
  FlightGenerator flight_;
  std::mt19937 faults_;
};

}  // namespace ovixlog::sim
