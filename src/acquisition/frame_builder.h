// Lays out an EngineSample as a monitor frame: the inverse of the decoder. Used by the
// simulator, the tests and the benchmarks to make every byte of sample data we use.
#pragma once

#include <cstdint>
#include <vector>

#include "acquisition/engine_sample.h"

namespace ovixlog {

enum class Checksum { kGood, kBad };

class FrameBuilder {
 public:
  // The frame for `sample` in the layout of `model` (the alternate format when `altFrameFormat`
  // is set and the model is code 0). Reals are rounded to the nearest raw step.
  static std::vector<uint8_t> Build(const EngineSample& sample, EngineModel model,
                                    int32_t altFrameFormat = 0,
                                    Checksum checksum = Checksum::kGood);

  // Appends the frame to `out` without a temporary.
  static void Append(std::vector<uint8_t>& out, const EngineSample& sample, EngineModel model,
                     int32_t altFrameFormat = 0, Checksum checksum = Checksum::kGood);

  // The checksum byte for a frame of `length` bytes whose payload is already in place.
  static uint8_t ChecksumOf(const uint8_t* frame, int length);

  // What decoding the built frame yields: `sample` with every value reduced to what the frame
  // can carry and the fields the layout lacks set to zero. Time fields are copied unchanged.
  static EngineSample Expected(const EngineSample& sample, EngineModel model);
};

}  // namespace ovixlog
