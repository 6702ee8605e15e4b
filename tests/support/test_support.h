// Helpers shared by the tests: a sink that keeps what it is given, and sample generators.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <ostream>
#include <random>
#include <vector>

#include "acquisition/engine_sample.h"
#include "acquisition/sample_sink.h"

namespace ovixlog::test {

// Keeps every sample handed to it, in order. Thread-safe.
class CapturingSink : public SampleSink {
 public:
  void AddSample(std::unique_ptr<EngineSample> sample, SampleNotifier* notifier) override;
  std::vector<EngineSample> Samples() const;
  size_t Count() const;

 private:
  mutable std::mutex mutex_;
  std::vector<EngineSample> samples_;
};

// A sample whose every field is random over its full range, reduced to what a frame of
// `model` can carry (so it survives a trip through FrameBuilder and the decoder unchanged).
EngineSample RandomSample(std::mt19937& rng, EngineModel model);

// Expects the same engine values, sample by sample, whatever the time fields say.
void ExpectSameEngineValues(const std::vector<EngineSample>& got,
                            const std::vector<EngineSample>& want);

// A raw capture of `count` frames of the example sample whose tach values count up from 1000.
std::vector<uint8_t> Capture(int count, EngineModel model = kModel5100, int32_t alt = 0);

// The sample of the worked example for the short layout: flight time 1:02:03, tach 2450 ...
EngineSample ExampleSample();

// A recording as the window and ovixlog-record write one, not closed (as a crash leaves it): the
// wall clock at `startMs` with the local time `utcOffsetSeconds` ahead of UTC, the settings of
// `model` and `alt` it was made under, then each of `frames` in a stream record of its own, a
// second apart.
std::vector<uint8_t> UnclosedRecording(const std::vector<std::vector<uint8_t>>& frames,
                                       EngineModel model, int32_t alt, int64_t startMs,
                                       int32_t utcOffsetSeconds);

}  // namespace ovixlog::test

namespace ovixlog {
// Every field by name in failure messages, instead of the record's bytes.
void PrintTo(const EngineSample& sample, std::ostream* os);
}  // namespace ovixlog
