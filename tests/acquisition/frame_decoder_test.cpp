#include "acquisition/frame_decoder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "acquisition/frame_builder.h"
#include "support/test_support.h"

namespace ovixlog {
namespace {

// A zero frame of the model's layout with the given bytes placed at `offset`.
EngineSample DecodeWith(EngineModel model, int offset, std::vector<uint8_t> bytes) {
  std::vector<uint8_t> frame(kMaxFrameLength, 0);
  for (size_t i = 0; i < bytes.size(); ++i)
    frame[static_cast<size_t>(offset) + i] = bytes[i];
  EngineSample s;
  FrameDecoder::DecodeFields(frame.data(), model, s);
  return s;
}

std::string Printed(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

struct IntCase {
  const char* name;
  EngineModel model;
  int offset;
  std::vector<uint8_t> bytes;
  int32_t (*field)(const EngineSample&);
  int32_t expected;
};

TEST(FrameDecoder, DecodesIntegerFieldsWithTheirSignedness) {
  const IntCase cases[] = {
      {"cht FFFF is -1",
       kModel5100,
       5,
       {0xFF, 0xFF},
       [](const EngineSample& s) -> int32_t { return s.cht[0]; },
       -1},
      {"short cht2",
       kModel3100,
       7,
       {0x01, 0x68},
       [](const EngineSample& s) -> int32_t { return s.cht[1]; },
       360},
      {"alt FFFF is -10",
       kModel5100,
       35,
       {0xFF, 0xFF},
       [](const EngineSample& s) { return s.alt; },
       -10},
      {"alt 8000",
       kModel5100,
       35,
       {0x80, 0x00},
       [](const EngineSample& s) { return s.alt; },
       -327680},
      {"alt 7FFF",
       kModel5100,
       35,
       {0x7F, 0xFF},
       [](const EngineSample& s) { return s.alt; },
       327670},
      {"short alt",
       kModel3100,
       15,
       {0x80, 0x00},
       [](const EngineSample& s) { return s.alt; },
       -327680},
      {"oat 0 long",
       kModel5100,
       44,
       {0x00},
       [](const EngineSample& s) -> int32_t { return s.oat; },
       -50},
      {"oat 0 short",
       kModel3100,
       23,
       {0x00},
       [](const EngineSample& s) -> int32_t { return s.oat; },
       0},
      {"oat FF long",
       kModel8100,
       44,
       {0xFF},
       [](const EngineSample& s) -> int32_t { return s.oat; },
       205},
      {"oat FF short",
       kModel3100,
       23,
       {0xFF},
       [](const EngineSample& s) -> int32_t { return s.oat; },
       255},
      {"oat 14 short",
       kModel3100,
       23,
       {0x14},
       [](const EngineSample& s) -> int32_t { return s.oat; },
       20},
      {"oat 14 long",
       kModel7100,
       44,
       {0x14},
       [](const EngineSample& s) -> int32_t { return s.oat; },
       -30},
      {"carb C8",
       kModel5100,
       42,
       {0xC8},
       [](const EngineSample& s) -> int32_t { return s.carb; },
       -56},
      {"unit FF",
       kModel5100,
       41,
       {0xFF},
       [](const EngineSample& s) -> int32_t { return s.unit; },
       -1},
      {"oilP unsigned",
       kModel5100,
       47,
       {0xC8},
       [](const EngineSample& s) -> int32_t { return s.oilP; },
       200},
      {"flight hours signed",
       kModel5100,
       62,
       {0x80},
       [](const EngineSample& s) -> int32_t { return s.fltHours; },
       -128},
      {"aux5 after egt block",
       kModel5100,
       29,
       {0x00, 0x05},
       [](const EngineSample& s) -> int32_t { return s.aux[4]; },
       5},
      {"aux1 after oilP",
       kModel5100,
       48,
       {0x00, 0x07},
       [](const EngineSample& s) -> int32_t { return s.aux[0]; },
       7},
      {"short cool before oilT",
       kModel3100,
       24,
       {0x00, 0xB4},
       [](const EngineSample& s) -> int32_t { return s.cool; },
       180},
      {"long cool after aux",
       kModel5100,
       56,
       {0x00, 0xB4},
       [](const EngineSample& s) -> int32_t { return s.cool; },
       180},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.field(DecodeWith(c.model, c.offset, c.bytes)), c.expected);
  }
}

struct RealCase {
  const char* name;
  EngineModel model;
  int offset;
  std::vector<uint8_t> bytes;
  float (*field)(const EngineSample&);
  float expected;
  const char* format;
  const char* printed;
};

TEST(FrameDecoder, ScalesRealsInSinglePrecision) {
  const RealCase cases[] = {
      {"volt FFFF",
       kModel5100,
       37,
       {0xFF, 0xFF},
       [](const EngineSample& s) { return s.volt; },
       65535 * 0.1f,
       "%4.1f",
       "6553.5"},
      {"volt 141",
       kModel5100,
       37,
       {0x00, 0x8D},
       [](const EngineSample& s) { return s.volt; },
       141 * 0.1f,
       "%4.1f",
       "14.1"},
      {"short volt",
       kModel3100,
       17,
       {0x00, 0x8D},
       [](const EngineSample& s) { return s.volt; },
       141 * 0.1f,
       "%4.1f",
       "14.1"},
      {"baro 2992",
       kModel5100,
       67,
       {0x0B, 0xB0},
       [](const EngineSample& s) { return s.baro; },
       2992 * 0.01f,
       "%05.2f",
       "29.92"},
      {"short baro",
       kModel3100,
       42,
       {0x0B, 0xB0},
       [](const EngineSample& s) { return s.baro; },
       2992 * 0.01f,
       "%05.2f",
       "29.92"},
      {"vsi 80",
       kModel5100,
       43,
       {0x80},
       [](const EngineSample& s) { return s.vsi; },
       -12800.0f,
       "%5.0f",
       "-12800"},
      {"vsi 7F",
       kModel5100,
       43,
       {0x7F},
       [](const EngineSample& s) { return s.vsi; },
       12700.0f,
       "%5.0f",
       "12700"},
      {"short vsi",
       kModel3100,
       22,
       {0xFD},
       [](const EngineSample& s) { return s.vsi; },
       -300.0f,
       "%5.0f",
       " -300"},
      {"hours",
       kModel5100,
       58,
       {0x04, 0xD2},
       [](const EngineSample& s) { return s.hours; },
       1234 * 0.1f,
       "%5.1f",
       "123.4"},
      {"fuel",
       kModel5100,
       60,
       {0x00, 0xE0},
       [](const EngineSample& s) { return s.fuel; },
       224 * 0.1f,
       "%4.1f",
       "22.4"},
      {"flow",
       kModel5100,
       39,
       {0x00, 0x55},
       [](const EngineSample& s) { return s.flow; },
       85 * 0.1f,
       "%4.1f",
       " 8.5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const float value = c.field(DecodeWith(c.model, c.offset, c.bytes));
    EXPECT_EQ(value, c.expected);
    EXPECT_EQ(Printed(c.format, static_cast<double>(value)), c.printed);
  }
}

TEST(FrameDecoder, CopiesChtFourToSixIntoEgtSevenToNineInTheLongLayout) {
  EngineSample s = DecodeWith(kModel8100, 11, {0x01, 0x2C, 0x01, 0x36, 0x01, 0x40});
  EXPECT_EQ(s.egt[6], 300);
  EXPECT_EQ(s.egt[7], 310);
  EXPECT_EQ(s.egt[8], 320);
  s = DecodeWith(kModel3100, 11, {0x01, 0x2C, 0x01, 0x36, 0x01, 0x40});
  EXPECT_EQ(s.egt[6], 0) << "the short layout has no such copy";
}

TEST(FrameDecoder, AlternateFormatDecodesLikeTheNormalFrame) {
  std::mt19937 rng(7);
  for (int i = 0; i < 100; ++i) {
    const EngineSample original = test::RandomSample(rng, kModel5100);
    std::vector<uint8_t> normal = FrameBuilder::Build(original, kModel5100, 0);
    std::vector<uint8_t> alt = FrameBuilder::Build(original, kModel5100, 1);
    ASSERT_EQ(alt.size(), 77u);
    EngineSample a, b;
    FrameDecoder::DecodeFields(normal.data(), kModel5100, a);
    FrameDecoder::DecodeFields(alt.data(), kModel5100, b);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a, original);
  }
}

TEST(FrameDecoder, HandsOverSeparatelyOwnedCopiesStampedWithTheGivenStamp) {
  test::CapturingSink sink;
  FrameDecoder decoder(&sink, nullptr);
  const std::vector<uint8_t> frame = FrameBuilder::Build(test::ExampleSample(), kModel3100);
  decoder.Decode(frame.data(), kModel3100, 1234);
  decoder.Decode(frame.data(), kModel3100, 5678);
  const auto samples = sink.Samples();
  ASSERT_EQ(samples.size(), 2u);
  EXPECT_EQ(samples[0].tickMs, 1234u);
  EXPECT_EQ(samples[1].tickMs, 5678u);
  EXPECT_TRUE(SameEngineValues(samples[0], samples[1]));
  EXPECT_TRUE(
      SameEngineValues(samples[0], FrameBuilder::Expected(test::ExampleSample(), kModel3100)));
  EXPECT_NE(samples[0].localTime.year, 0) << "local time is filled in";
}

TEST(FrameBuilder, RoundTripsEveryModelThroughTheDecoder) {
  std::mt19937 rng(11);
  for (EngineModel model : {kModel5100, kModel3100, kModel7100, kModel8100, 5}) {
    SCOPED_TRACE(model);
    for (int i = 0; i < 200; ++i) {
      const EngineSample s = test::RandomSample(rng, model);
      const std::vector<uint8_t> frame = FrameBuilder::Build(s, model);
      ASSERT_EQ(static_cast<int>(frame.size()), FrameLengthFor(model, 0));
      EngineSample decoded;
      FrameDecoder::DecodeFields(frame.data(), model, decoded);
      EXPECT_EQ(decoded, s);
    }
  }
}

}  // namespace
}  // namespace ovixlog
