#include "acquisition/frame_assembler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <random>
#include <vector>

#include "acquisition/frame_builder.h"
#include "acquisition/frame_layout.h"
#include "support/test_support.h"

namespace ovixlog {
namespace {

using Bytes = std::vector<uint8_t>;

// An assembler fed by hand, with its own model and format settings.
struct Harness {
  explicit Harness(EngineModel m = kModel5100, int32_t alt = 0) : model(m), altFormat(alt) {}
  std::atomic<int32_t> model;
  std::atomic<int32_t> altFormat;
  test::CapturingSink sink;
  FrameAssembler assembler{model, altFormat, &sink, nullptr};

  void Feed(const Bytes& bytes, uint32_t stamp = FrameAssembler::kNoStamp) {
    assembler.Feed(stamp, bytes.data(), bytes.size());
  }
  std::vector<uint32_t> Stamps() const {
    std::vector<uint32_t> stamps;
    for (const auto& s : sink.Samples())
      stamps.push_back(s.tickMs);
    return stamps;
  }
};

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts)
    out.insert(out.end(), p.begin(), p.end());
  return out;
}

struct Stream {
  Bytes bytes;
  std::vector<EngineSample> samples;
};

Stream GoodFrames(EngineModel model, int32_t alt, int count, uint32_t seed) {
  std::mt19937 rng(seed);
  Stream stream;
  for (int i = 0; i < count; ++i) {
    stream.samples.push_back(test::RandomSample(rng, model));
    FrameBuilder::Append(stream.bytes, stream.samples.back(), model, alt);
  }
  return stream;
}

struct Format {
  EngineModel model;
  int32_t alt;
};

// The checksum is the complement of the plain sum of the bytes between header and checksum, for
// every length a frame may have and bytes from all zeros to all ones.
TEST(FrameChecksum, ComplementsThePlainSumOfTheBody) {
  std::mt19937 rng(5);
  for (int length = 3; length <= 80; ++length) {
    for (const int fill : {-1, 0x00, 0xFF}) {
      std::vector<uint8_t> frame(static_cast<size_t>(length));
      for (uint8_t& byte : frame)
        byte = static_cast<uint8_t>(fill < 0 ? rng() : static_cast<unsigned>(fill));
      unsigned sum = 0;
      for (int i = 3; i < length - 1; ++i)
        sum += frame[static_cast<size_t>(i)];
      EXPECT_EQ(FrameChecksum(frame.data(), length), static_cast<uint8_t>(~sum))
          << "length " << length << ", fill " << fill;
    }
  }
}

TEST(FrameAssembler, YieldsTheSameFramesWhateverTheChunking) {
  const Format formats[] = {{kModel5100, 0}, {kModel5100, 1}, {kModel3100, 0},
                            {kModel7100, 0}, {kModel8100, 0}, {5, 1}};
  for (const auto& f : formats) {
    SCOPED_TRACE(testing::Message() << "model " << f.model << " alt " << f.alt);
    const Stream stream =
        GoodFrames(f.model, f.alt, 300, static_cast<uint32_t>(f.model * 10 + f.alt));

    Harness whole(f.model, f.alt);
    whole.Feed(stream.bytes);
    test::ExpectSameEngineValues(whole.sink.Samples(), stream.samples);

    Harness byByte(f.model, f.alt);
    for (uint8_t b : stream.bytes)
      byByte.Feed(Bytes{b});
    test::ExpectSameEngineValues(byByte.sink.Samples(), stream.samples);

    Harness random(f.model, f.alt);
    std::mt19937 rng(99);
    for (size_t pos = 0; pos < stream.bytes.size();) {
      const size_t n = std::min<size_t>(rng() % 500 + 1, stream.bytes.size() - pos);
      random.assembler.Feed(FrameAssembler::kNoStamp, stream.bytes.data() + pos, n);
      pos += n;
    }
    test::ExpectSameEngineValues(random.sink.Samples(), stream.samples);
    EXPECT_EQ(random.Stamps(), whole.Stamps());

    // The live instance: reads of random sizes, never more than the ring's free stretch.
    Harness live(f.model, f.alt);
    size_t pos = 0;
    while (pos < stream.bytes.size()) {
      live.assembler.FillFrom([&](uint8_t* dst, size_t max) {
        const size_t n =
            std::min({max, static_cast<size_t>(rng() % 200), stream.bytes.size() - pos});
        std::memcpy(dst, stream.bytes.data() + pos, n);
        pos += n;
        return n;
      });
    }
    test::ExpectSameEngineValues(live.sink.Samples(), stream.samples);
  }
}

struct ResyncCase {
  const char* name;
  EngineModel model;
  int32_t alt;
  Bytes stream;
  std::vector<EngineSample> expected;
  uint64_t dropped;
};

TEST(FrameAssembler, ResynchronisesAfterNoiseAndBadFrames) {
  std::mt19937 rng(5);
  const EngineSample a = test::RandomSample(rng, kModel5100);
  const EngineSample b = test::RandomSample(rng, kModel5100);
  const EngineSample zero = FrameBuilder::Expected(EngineSample{}, kModel5100);
  Bytes noise;
  for (int i = 0; i < 1000; ++i) {
    uint8_t byte = static_cast<uint8_t>(rng());
    noise.push_back(byte == 0xFE ? 0x00 : byte);
  }
  const Bytes frameA = FrameBuilder::Build(a, kModel5100);
  const Bytes frameB = FrameBuilder::Build(b, kModel5100);
  const Bytes badA = FrameBuilder::Build(a, kModel5100, 0, Checksum::kBad);

  const ResyncCase cases[] = {
      {"noise without FE, then a frame", kModel5100, 0, Concat({noise, frameA}), {a}, 0},
      {"partial headers cost one byte each",
       kModel5100,
       0,
       Concat({{0xFE, 0xFF, 0x01, 0xFE, 0xFF, 0xFF, 0xFE, 0x00}, frameA}),
       {a},
       0},
      {"bad checksum then a good frame", kModel5100, 0, Concat({badA, frameB}), {b}, 1},
      {"header repeated before a frame", kModel5100, 0, Concat({{0xFE, 0xFE}, frameA}), {a}, 0},
      {"NUL bytes inside a frame are data",
       kModel5100,
       0,
       FrameBuilder::Build(EngineSample{}, kModel5100),
       {zero},
       0},
      {"alternate frames while the model ignores the format",
       kModel7100,
       1,
       Concat({FrameBuilder::Build(a, kModel5100, 1), FrameBuilder::Build(b, kModel5100, 1)}),
       {},
       0},
      {"normal frames while reading the alternate format",
       kModel5100,
       1,
       Concat({frameA, frameB}),
       {},
       0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Harness h(c.model, c.alt);
    h.Feed(c.stream);
    test::ExpectSameEngineValues(h.sink.Samples(), c.expected);
    EXPECT_EQ(h.assembler.framesDropped(), c.dropped);
  }
}

TEST(FrameAssembler, CompletesAFrameAcrossFeedsIncludingACutHeader) {
  const Stream stream = GoodFrames(kModel5100, 0, 2, 3);
  for (size_t cut :
       {size_t{1}, size_t{2}, size_t{3}, size_t{40}, size_t{72}, size_t{74}, size_t{75}}) {
    SCOPED_TRACE(cut);
    Harness h;
    const Bytes noisy = Concat({{0x11, 0x22}, stream.bytes});
    h.assembler.Feed(FrameAssembler::kNoStamp, noisy.data(), cut);
    EXPECT_EQ(h.sink.Count(), cut >= 75 ? 1u : 0u);
    h.assembler.Feed(FrameAssembler::kNoStamp, noisy.data() + cut, noisy.size() - cut);
    test::ExpectSameEngineValues(h.sink.Samples(), stream.samples);
  }
}

TEST(FrameAssembler, ModelChangeTakesEffectAtTheNextFill) {
  Harness h(kModel5100);
  const Stream longFrames = GoodFrames(kModel5100, 0, 2, 1);
  const Stream shortFrames = GoodFrames(kModel3100, 0, 2, 2);
  h.Feed(longFrames.bytes);
  h.model = kModel3100;
  h.Feed(shortFrames.bytes);
  test::ExpectSameEngineValues(h.sink.Samples(), {longFrames.samples[0], longFrames.samples[1],
                                                  shortFrames.samples[0], shortFrames.samples[1]});

  // 73-byte frames read as 48-byte frames fail their checksum.
  Harness cut(kModel3100);
  cut.Feed(GoodFrames(kModel5100, 0, 20, 3).bytes);
  EXPECT_EQ(cut.sink.Count(), 0u);
  EXPECT_EQ(cut.assembler.framesDropped(), 20u) << "one failed frame at each header";
}

TEST(FrameAssembler, SynthesisesStampsTwelveToTheSecond) {
  Harness h;
  h.Feed(GoodFrames(kModel5100, 0, 12, 1).bytes);
  EXPECT_EQ(h.Stamps(),
            (std::vector<uint32_t>{83, 166, 250, 333, 416, 500, 583, 666, 750, 833, 916, 1000}));
}

TEST(FrameAssembler, GivenStampsAreKeptAndSynthesisContinuesFromThem) {
  Harness h;
  h.Feed(GoodFrames(kModel5100, 0, 2, 1).bytes, 5000);
  h.Feed(GoodFrames(kModel5100, 0, 3, 2).bytes);
  EXPECT_EQ(h.Stamps(), (std::vector<uint32_t>{5000, 5000, 5083, 5166, 5250}));
}

TEST(FrameAssembler, ResetRestartsTheClockAndDropsAPartialFrame) {
  Harness h;
  const Bytes frames = GoodFrames(kModel5100, 0, 3, 1).bytes;
  h.Feed(frames);
  h.Feed(Bytes(frames.begin(), frames.begin() + 30));
  h.assembler.Reset();
  EXPECT_EQ(h.assembler.pending(), 0);
  h.Feed(frames);
  EXPECT_EQ(h.Stamps(), (std::vector<uint32_t>{83, 166, 250, 83, 166, 250}));
}

TEST(FrameAssembler, OnlyGoodFramesAdvanceTheClock) {
  Harness h;
  std::mt19937 rng(1);
  const EngineSample s = test::RandomSample(rng, kModel5100);
  h.Feed(Concat(
      {FrameBuilder::Build(s, kModel5100, 0, Checksum::kBad), FrameBuilder::Build(s, kModel5100)}));
  EXPECT_EQ(h.Stamps(), (std::vector<uint32_t>{83}));
}

TEST(FrameAssembler, EmptyFeedDoesNothing) {
  Harness h;
  h.assembler.Feed(FrameAssembler::kNoStamp, nullptr, 0);
  EXPECT_EQ(h.assembler.pending(), 0);
  EXPECT_EQ(h.sink.Count(), 0u);
}

}  // namespace
}  // namespace ovixlog
