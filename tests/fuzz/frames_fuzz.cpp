// The frame assembler and decoder under any stream, any chunking and any change of model and
// format between chunks. Every delivered frame must open with the header chosen for it, have
// the chosen length and a correct checksum; while every feed carries no stamp, the synthesised
// stamps must rise by 83, 83 and 84 ms in turn.
#include <atomic>
#include <memory>

#include "acquisition/frame_assembler.h"
#include "acquisition/frame_builder.h"
#include "fuzz_input.h"

namespace ovixlog::fuzz {
namespace {

class CheckingSink : public SampleSink {
 public:
  void Attach(const FrameAssembler* assembler, const std::atomic<int32_t>* alt) {
    assembler_ = assembler;
    alt_ = alt;
  }
  void Restart() {
    lastStamp_ = 0;
    phase_ = 0;
    stampsGiven_ = false;
  }
  void StampsGiven() { stampsGiven_ = true; }

  void AddSample(std::unique_ptr<EngineSample> sample, SampleNotifier*) override {
    const uint8_t* frame = assembler_->frame();
    const int length = assembler_->frameLength();
    const EngineModel model = assembler_->frameModel();
    const int32_t alt = alt_->load();
    Check(length == FrameLengthFor(model, alt), "frame length follows model and format");
    Check(
        frame[0] == kSyncByte && frame[1] == SyncHeaderMiddle(model, alt) && frame[2] == kSyncByte,
        "frame opens with the chosen header");
    Check(frame[length - 1] == FrameBuilder::ChecksumOf(frame, length), "checksum is correct");
    if (!stampsGiven_) {
      lastStamp_ += phase_ == 2 ? 84u : 83u;
      phase_ = (phase_ + 1) % 3;
      Check(sample->tickMs == lastStamp_, "synthesised stamps rise by 83, 83, 84");
    }
  }

 private:
  const FrameAssembler* assembler_ = nullptr;
  const std::atomic<int32_t>* alt_ = nullptr;
  uint32_t lastStamp_ = 0;
  int phase_ = 0;
  bool stampsGiven_ = false;
};

}  // namespace
}  // namespace ovixlog::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ovixlog;
  fuzz::FuzzInput input(data, size);
  std::atomic<int32_t> model{kModel5100};
  std::atomic<int32_t> alt{0};
  fuzz::CheckingSink sink;
  FrameAssembler assembler(model, alt, &sink, nullptr);
  sink.Attach(&assembler, &alt);
  while (!input.empty()) {
    const uint8_t op = input.Byte();
    switch (op % 8) {
      case 0:
        model = static_cast<int32_t>(input.Byte() % 6) - 1;  // -1 to 4: codes beyond the four
        break;
      case 1:
        alt = input.Byte() % 3;
        break;
      case 2:
        assembler.Reset();
        sink.Restart();
        break;
      case 3: {
        // A frame of the current model, possibly with a wrong checksum, so that good frames are
        // common enough for the fuzzer to reach the decoder.
        EngineSample s;
        s.tach = static_cast<int16_t>(input.Word());
        s.alt = static_cast<int32_t>(static_cast<int16_t>(input.Word())) * 10;
        const std::vector<uint8_t> frame = FrameBuilder::Build(
            s, model.load(), alt.load(), input.Byte() % 4 == 0 ? Checksum::kBad : Checksum::kGood);
        assembler.Feed(FrameAssembler::kNoStamp, frame.data(), frame.size());
        break;
      }
      case 4: {
        const uint32_t stamp = input.Word();
        if (stamp != FrameAssembler::kNoStamp)
          sink.StampsGiven();
        const std::vector<uint8_t> chunk = input.Bytes(input.Byte());
        assembler.Feed(stamp, chunk.data(), chunk.size());
        break;
      }
      default: {
        const std::vector<uint8_t> chunk = input.Bytes(static_cast<size_t>(op / 8) + 1);
        assembler.Feed(FrameAssembler::kNoStamp, chunk.data(), chunk.size());
        break;
      }
    }
    ovixlog::fuzz::Check(
        assembler.pending() >= 0 && assembler.pending() <= FrameAssembler::kRingSize,
        "ring holds at most its size");
  }
  return 0;
}
