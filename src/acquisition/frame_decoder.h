// Turns one checked frame into an EngineSample and hands a fresh copy of it to the sink.
#pragma once

#include <cstdint>
#include <optional>

#include "acquisition/clock.h"
#include "acquisition/engine_sample.h"
#include "acquisition/sample_sink.h"

namespace ovixlog {

class FrameDecoder {
 public:
  FrameDecoder(SampleSink* sink, SampleNotifier* notifier) : sink_(sink), notifier_(notifier) {}

  // Fills the working sample from `frame` (sync header at offset 0) by the layout of `model`,
  // stamps it with `stamp` and the local time, and hands a copy to the sink.
  void Decode(const uint8_t* frame, EngineModel model, uint32_t stamp);

  // Fills `sample`'s engine fields from `frame`; the time fields are left alone.
  static void DecodeFields(const uint8_t* frame, EngineModel model, EngineSample& sample);

  const EngineSample& sample() const { return sample_; }

  // With an anchor, samples get the local time their stamp had when the data was recorded,
  // instead of the time now. Reset by clearing it.
  void SetWallClock(std::optional<WallClockAnchor> anchor) { anchor_ = anchor; }

 private:
  SampleSink* sink_;
  SampleNotifier* notifier_;
  EngineSample sample_;
  LocalClock clock_;
  std::optional<WallClockAnchor> anchor_;
};

}  // namespace ovixlog
