// Framing, decoding and hand-off of a long recorded stream fed in 4096-byte chunks.
#include <benchmark/benchmark.h>

#include <atomic>
#include <memory>
#include <vector>

#include "acquisition/frame_assembler.h"
#include "acquisition/frame_builder.h"

namespace ovixlog {
namespace {

class DiscardingSink : public SampleSink {
 public:
  void AddSample(std::unique_ptr<EngineSample> sample, SampleNotifier*) override {
    benchmark::DoNotOptimize(sample.get());
  }
};

std::vector<uint8_t> LongLayoutStream(int frames) {
  std::vector<uint8_t> stream;
  stream.reserve(static_cast<size_t>(frames) * kLongFrameLength);
  EngineSample s;
  for (int i = 0; i < frames; ++i) {
    s.tach = static_cast<int16_t>(2000 + i % 700);
    s.cht[0] = static_cast<int16_t>(300 + i % 50);
    s.fltSeconds = static_cast<int8_t>(i % 60);
    FrameBuilder::Append(stream, s, kModel5100);
  }
  return stream;
}

void BM_FrameDecodeHandOff(benchmark::State& state) {
  const int frames = static_cast<int>(state.range(0));
  const std::vector<uint8_t> stream = LongLayoutStream(frames);
  std::atomic<int32_t> model{kModel5100};
  std::atomic<int32_t> alt{0};
  DiscardingSink sink;
  for (auto _ : state) {
    FrameAssembler assembler(model, alt, &sink, nullptr);
    for (size_t pos = 0; pos < stream.size(); pos += 4096) {
      const size_t n = std::min<size_t>(4096, stream.size() - pos);
      assembler.Feed(FrameAssembler::kNoStamp, stream.data() + pos, n);
    }
    benchmark::DoNotOptimize(assembler.framesAccepted());
  }
  state.SetItemsProcessed(state.iterations() * frames);
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(frames),
                                                  benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_FrameDecodeHandOff)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ovixlog
