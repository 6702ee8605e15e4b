#include "acquisition/layout_detector.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "acquisition/frame_builder.h"
#include "support/test_support.h"

namespace ovixlog {
namespace {

using test::Capture;

constexpr FrameFormat kShort = FrameFormat::kShort;
constexpr FrameFormat kLong = FrameFormat::kLong;
constexpr FrameFormat kAlt = FrameFormat::kAlt;

// `count` frames of random samples of the model, as the monitor sends them.
std::vector<uint8_t> Stream(int count, EngineModel model, int32_t alt = 0) {
  std::mt19937 rng(static_cast<unsigned>(count * 10 + model * 2 + alt));
  std::vector<uint8_t> bytes;
  for (int i = 0; i < count; ++i)
    FrameBuilder::Append(bytes, test::RandomSample(rng, model), model, alt);
  return bytes;
}

// Feeds `bytes` as a monitor at twelve frames a second would, in reads of one frame, from
// `startMs` on; returns the time after the last read.
uint32_t FeedLive(LayoutDetector& detector, FrameFormat chosen, const std::vector<uint8_t>& bytes,
                  size_t frameLength, uint32_t startMs = 0) {
  uint32_t now = startMs;
  for (size_t pos = 0; pos < bytes.size(); pos += frameLength) {
    const size_t n = std::min(frameLength, bytes.size() - pos);
    detector.Feed(now, chosen, bytes.data() + pos, n);
    now += 83;
  }
  return now;
}

TEST(LayoutCounter, CountsTheBytesInGoodFramesOfEachLayout) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    uint64_t shortBytes, longBytes, altBytes;
  };
  std::vector<uint8_t> mixed = Stream(10, kModel5100);
  const std::vector<uint8_t> tail = Stream(4, kModel3100);
  mixed.insert(mixed.end(), {0x00, 0xFE, 0x12, 0xFE, 0xFF});  // a false start, a cut header
  mixed.insert(mixed.end(), tail.begin(), tail.end());
  std::vector<uint8_t> bad = Capture(6, kModel3100);
  bad[48 * 2 + 10] ^= 0x01;  // the third frame's checksum fails
  // Frames of every layout, each after a run of sync bytes and false headers.
  std::vector<uint8_t> sync;
  for (const auto& [model, alt] : {std::pair{kModel3100, 0}, std::pair{kModel7100, 0},
                                   std::pair{kModel5100, 1}}) {
    for (int i = 0; i < 3; ++i) {
      sync.insert(sync.end(), {0xFE, 0xFE, 0xFF, 0xFE, 0xFE, 0xFE, 0xFE, 0xFF, 0xFE, 0x01, 0xFE});
      const std::vector<uint8_t> frame = Stream(1, model, alt);
      sync.insert(sync.end(), frame.begin(), frame.end());
    }
  }
  const std::vector<Case> cases = {
      {"short frames", Capture(20, kModel3100), 20 * 48, 0, 0},
      {"long frames", Stream(20, kModel7100), 0, 20 * 73, 0},
      {"v3.9 frames", Stream(20, kModel5100, 1), 0, 0, 20 * 77},
      {"long, junk, then short", mixed, 4 * 48, 10 * 73, 0},
      {"one bad frame", bad, 5 * 48, 0, 0},
      {"frames among sync bytes", sync, 3 * 48, 3 * 73, 3 * 77},
      {"nothing", {}, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Whole, byte by byte and in reads of any length: how the bytes are split must not matter.
    LayoutCounter whole;
    whole.Feed(c.bytes.data(), c.bytes.size());
    LayoutCounter pieces;
    for (uint8_t byte : c.bytes)
      pieces.Feed(&byte, 1);
    LayoutCounter reads;
    std::mt19937 rng(7);
    for (size_t pos = 0; pos < c.bytes.size();) {
      const size_t n = std::min<size_t>(std::uniform_int_distribution<size_t>(0, 160)(rng),
                                        c.bytes.size() - pos);
      reads.Feed(c.bytes.data() + pos, n);
      pos += n;
    }
    for (const LayoutCounter* counter : {&whole, &pieces, &reads}) {
      EXPECT_EQ(counter->bytesSeen(), c.bytes.size());
      EXPECT_EQ(counter->framedBytes(kShort), c.shortBytes);
      EXPECT_EQ(counter->framedBytes(kLong), c.longBytes);
      EXPECT_EQ(counter->framedBytes(kAlt), c.altBytes);
    }
  }
}

TEST(LayoutDetector, SuggestsTheLayoutThatFramesCleanlyWhenTheChosenOneDoesNot) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    size_t frameLength;
    FrameFormat chosen;
    std::optional<FrameFormat> expected;
  };
  const std::vector<Case> cases = {
      {"5100 read as 3100", Stream(60, kModel5100), 73, kShort, kLong},
      {"5100 read as v3.9", Stream(60, kModel5100), 73, kAlt, kLong},
      {"5100 read right", Stream(60, kModel5100), 73, kLong, std::nullopt},
      {"8100 read as 3100", Stream(60, kModel8100), 73, kShort, kLong},
      {"3100 read as 5100", Capture(60, kModel3100), 48, kLong, kShort},
      {"3100 read right", Capture(60, kModel3100), 48, kShort, std::nullopt},
      {"v3.9 read as 5100", Stream(60, kModel5100, 1), 77, kLong, kAlt},
      {"v3.9 read as 3100", Stream(60, kModel5100, 1), 77, kShort, kAlt},
      {"v3.9 read right", Stream(60, kModel5100, 1), 77, kAlt, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LayoutDetector detector;
    const uint32_t end = FeedLive(detector, c.chosen, c.bytes, c.frameLength);
    ASSERT_GE(end, LayoutDetector::kWindowMs);
    EXPECT_EQ(detector.Suggestion(end, c.chosen), c.expected);
  }
}

TEST(LayoutDetector, JudgesOnlyWholeWindowsOfCleanFrames) {
  const std::vector<uint8_t> frames = Stream(30, kModel5100);  // 30 frames: 2.5 s at 12 a second
  {
    SCOPED_TRACE("under three seconds");
    LayoutDetector detector;
    const uint32_t end = FeedLive(detector, kShort, frames, 73);
    EXPECT_EQ(detector.Suggestion(end, kShort), std::nullopt);
    // The first read after three seconds closes the window.
    const uint32_t later = FeedLive(detector, kShort, Stream(8, kModel5100), 73, end);
    EXPECT_EQ(detector.Suggestion(later, kShort), kLong);
  }
  {
    SCOPED_TRACE("a tenth of the bytes are noise");
    std::vector<uint8_t> noisy;
    const std::vector<uint8_t> good = Stream(60, kModel5100);
    for (size_t i = 0; i < good.size(); i += 73) {
      noisy.insert(noisy.end(), good.begin() + static_cast<long>(i),
                   good.begin() + static_cast<long>(i) + 73);
      noisy.insert(noisy.end(), 8, 0x55);
    }
    LayoutDetector detector;
    const uint32_t end = FeedLive(detector, kShort, noisy, 81);
    EXPECT_EQ(detector.Suggestion(end, kShort), std::nullopt) << "90 % framed is not clean";
  }
  {
    SCOPED_TRACE("the chosen layout changes");
    LayoutDetector detector;
    uint32_t now = FeedLive(detector, kShort, Stream(60, kModel5100), 73);
    ASSERT_EQ(detector.Suggestion(now, kShort), kLong);
    // Asked about another choice than the one judged, the detector has nothing to say.
    EXPECT_EQ(detector.Suggestion(now, kLong), std::nullopt);
    EXPECT_EQ(detector.Suggestion(now, kAlt), std::nullopt);
    // Switching to what was suggested clears the suggestion at once.
    detector.Feed(now, kLong, frames.data(), 73);
    EXPECT_EQ(detector.Suggestion(now, kLong), std::nullopt);
    now = FeedLive(detector, kLong, Stream(60, kModel5100), 73, now);
    EXPECT_EQ(detector.Suggestion(now, kLong), std::nullopt);
  }
  {
    SCOPED_TRACE("the line goes quiet");
    LayoutDetector detector;
    // 38 reads: the last one, at 3071 ms, closes the first window.
    const uint32_t verdict = FeedLive(detector, kAlt, Stream(38, kModel5100), 73) - 83;
    ASSERT_EQ(verdict, 3071u);
    EXPECT_EQ(detector.Suggestion(verdict + 2 * LayoutDetector::kWindowMs, kAlt), kLong);
    EXPECT_EQ(detector.Suggestion(verdict + 2 * LayoutDetector::kWindowMs + 1, kAlt), std::nullopt);
  }
}

TEST(LayoutDetector, FileSuggestionNeedsUnderHalfFramedByTheChosenLayout) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    FrameFormat chosen;
    std::optional<FrameFormat> expected;
  };
  // Half long frames, half short ones: the long layout frames more than half.
  std::vector<uint8_t> halves = Stream(41, kModel5100);
  const std::vector<uint8_t> shortHalf = Capture(61, kModel3100);
  halves.insert(halves.end(), shortHalf.begin(), shortHalf.end());
  const std::vector<Case> cases = {
      {"5100 as 3100", Stream(10, kModel5100), kShort, kLong},
      {"5100 as v3.9", Stream(10, kModel5100), kAlt, kLong},
      {"matching", Stream(10, kModel5100), kLong, std::nullopt},
      {"3100 as 5100", Capture(10, kModel3100), kLong, kShort},
      {"mixed, no layout clean", halves, kAlt, std::nullopt},
      {"mixed, chosen frames half", halves, kLong, std::nullopt},
      {"empty", {}, kShort, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LayoutCounter counts;
    counts.Feed(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(SuggestLayoutForFile(counts, c.chosen), c.expected);
  }
}

TEST(LayoutDetector, NamesAndChoicesOfTheLayouts) {
  EXPECT_EQ(LayoutDescription(kShort), "Model 3100 (48-byte frames)");
  EXPECT_EQ(LayoutDescription(kLong), "a long-layout model (73-byte frames)");
  EXPECT_EQ(LayoutDescription(kAlt), "Model 5100 with v3.9 software (77-byte frames)");
  struct Case {
    FrameFormat layout;
    EngineModel from;
    EngineModel model;
    int32_t alt;
  };
  const Case cases[] = {
      {kShort, kModel7100, kModel3100, 0}, {kLong, kModel3100, kModel5100, 0},
      {kLong, kModel8100, kModel8100, 0},  {kLong, kModel5100, kModel5100, 0},
      {kAlt, kModel3100, kModel5100, 1},   {kAlt, kModel7100, kModel5100, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(c.layout) << " from " << c.from);
    const LayoutChoice choice = ChoiceFor(c.layout, c.from);
    EXPECT_EQ(choice.model, c.model);
    EXPECT_EQ(choice.altFrameFormat, c.alt);
    EXPECT_EQ(LayoutOf(choice.model, choice.altFrameFormat), c.layout);
  }
}

}  // namespace
}  // namespace ovixlog
