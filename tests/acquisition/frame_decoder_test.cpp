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

// Whole frames written out byte by byte, each with the record it stands for. Every field of each
// layout has its own value, so a slot read from or written to a wrong offset, with a wrong width,
// signedness or scale, shows up as a wrong field. The checksums are the complement of the
// payload's byte sum, worked out by hand.
struct HandFrame {
  const char* name;
  EngineModel model;
  int32_t altFrameFormat;
  std::vector<uint8_t> bytes;
  EngineSample sample;
};

std::vector<HandFrame> HandFrames() {
  return {
      {"short, everyday values",
       kModel3100,
       0,
       {
           0xFE, 0xFF, 0xFE,  // sync header
           0x0A, 0x8C,        // tach 2700
           0x01, 0x5E,        // cht1 350
           0x01, 0x68,        // cht2 360
           0x05, 0x14,        // egt1 1300
           0x05, 0x1E,        // egt2 1310
           0x00, 0x78,        // aspd 120
           0x02, 0x71,        // alt 625 x 10
           0x00, 0x8D,        // volt 141 x 0.1
           0x00, 0x55,        // flow 85 x 0.1
           0x02,              // unit 2
           0xFD,              // vsi -3 x 100
           0x14,              // oat 20, no offset in this layout
           0x00, 0xB4,        // cool 180
           0x00, 0xC3,        // oilT 195
           0x3C,              // oilP 60
           0x00, 0x0B,        // aux1 11
           0x00, 0x16,        // aux2 22
           0x04, 0xD2,        // hours 1234 x 0.1
           0x00, 0xE0,        // fuel 224 x 0.1
           0x01, 0x17, 0x2D,  // flight time 1:23:45
           0x00, 0x00,        // unused
           0x0B, 0xB0,        // baro 2992 x 0.01
           0x00, 0x00, 0x00,  // unused
           0xFB,              // checksum
       },
       EngineSample{.tach = 2700,
                    .cht = {350, 360},
                    .egt = {1300, 1310},
                    .aspd = 120,
                    .alt = 6250,
                    .volt = 141 * 0.1f,
                    .flow = 85 * 0.1f,
                    .unit = 2,
                    .vsi = -300.0f,
                    .oat = 20,
                    .oilT = 195,
                    .oilP = 60,
                    .aux = {11, 22},
                    .cool = 180,
                    .hours = 1234 * 0.1f,
                    .fuel = 224 * 0.1f,
                    .fltHours = 1,
                    .fltMinutes = 23,
                    .fltSeconds = 45,
                    .baro = 2992 * 0.01f,
                    .localTime = {}}},
      {"short, high bits set",
       kModel3100,
       0,
       {
           0xFE, 0xFF, 0xFE,  // sync header
           0xFF, 0xFF,        // tach -1
           0x80, 0x00,        // cht1 -32768
           0x7F, 0xFF,        // cht2 32767
           0xFF, 0x38,        // egt1 -200
           0x12, 0x34,        // egt2 4660
           0xFF, 0xFE,        // aspd -2
           0x80, 0x00,        // alt -32768 x 10
           0xFF, 0xFF,        // volt 65535 x 0.1
           0x80, 0x00,        // flow 32768 x 0.1
           0xFF,              // unit -1
           0x80,              // vsi -128 x 100
           0xFF,              // oat 255
           0xFF, 0x9C,        // cool -100
           0x80, 0x01,        // oilT -32767
           0xC8,              // oilP 200, unsigned
           0xFF, 0xFF,        // aux1 -1
           0x80, 0x00,        // aux2 -32768
           0xFF, 0xFF,        // hours 65535 x 0.1
           0x80, 0x00,        // fuel 32768 x 0.1
           0x80, 0xFF, 0x7F,  // flight time -128, -1, 127
           0x00, 0x00,        // unused
           0xFF, 0xFF,        // baro 65535 x 0.01
           0x00, 0x00, 0x00,  // unused
           0x31,              // checksum
       },
       EngineSample{.tach = -1,
                    .cht = {-32768, 32767},
                    .egt = {-200, 4660},
                    .aspd = -2,
                    .alt = -327680,
                    .volt = 65535 * 0.1f,
                    .flow = 32768 * 0.1f,
                    .unit = -1,
                    .vsi = -12800.0f,
                    .oat = 255,
                    .oilT = -32767,
                    .oilP = 200,
                    .aux = {-1, -32768},
                    .cool = -100,
                    .hours = 65535 * 0.1f,
                    .fuel = 32768 * 0.1f,
                    .fltHours = -128,
                    .fltMinutes = -1,
                    .fltSeconds = 127,
                    .baro = 65535 * 0.01f,
                    .localTime = {}}},
      {"long, everyday values",
       kModel5100,
       0,
       {
           0xFE, 0xFF, 0xFE,  // sync header
           0x0A, 0x8C,        // tach 2700
           0x01, 0x5E,        // cht1 350
           0x01, 0x68,        // cht2 360
           0x01, 0x72,        // cht3 370
           0x01, 0x2C,        // cht4 300, also egt7
           0x01, 0x36,        // cht5 310, also egt8
           0x01, 0x40,        // cht6 320, also egt9
           0x05, 0x14,        // egt1 1300
           0x05, 0x1E,        // egt2 1310
           0x05, 0x28,        // egt3 1320
           0x05, 0x32,        // egt4 1330
           0x05, 0x3C,        // egt5 1340
           0x05, 0x46,        // egt6 1350
           0x00, 0x37,        // aux5 55
           0x00, 0x42,        // aux6 66
           0x00, 0x78,        // aspd 120
           0x02, 0x71,        // alt 625 x 10
           0x00, 0x8D,        // volt 141 x 0.1
           0x00, 0x55,        // flow 85 x 0.1
           0x02,              // unit 2
           0xF6,              // carb -10
           0x05,              // vsi 5 x 100
           0x46,              // oat 70 - 50
           0x00, 0xC3,        // oilT 195
           0x3C,              // oilP 60
           0x00, 0x0B,        // aux1 11
           0x00, 0x16,        // aux2 22
           0x00, 0x21,        // aux3 33
           0x00, 0x2C,        // aux4 44
           0x00, 0xB4,        // cool 180
           0x04, 0xD2,        // hours 1234 x 0.1
           0x00, 0xE0,        // fuel 224 x 0.1
           0x01, 0x17, 0x2D,  // flight time 1:23:45
           0x00, 0x00,        // unused
           0x0B, 0xB0,        // baro 2992 x 0.01
           0x00, 0x00, 0x00,  // unused
           0xFD,              // checksum
       },
       EngineSample{.tach = 2700,
                    .cht = {350, 360, 370, 300, 310, 320},
                    .egt = {1300, 1310, 1320, 1330, 1340, 1350, 300, 310, 320},
                    .aspd = 120,
                    .alt = 6250,
                    .volt = 141 * 0.1f,
                    .flow = 85 * 0.1f,
                    .unit = 2,
                    .carb = -10,
                    .vsi = 500.0f,
                    .oat = 20,
                    .oilT = 195,
                    .oilP = 60,
                    .aux = {11, 22, 33, 44, 55, 66},
                    .cool = 180,
                    .hours = 1234 * 0.1f,
                    .fuel = 224 * 0.1f,
                    .fltHours = 1,
                    .fltMinutes = 23,
                    .fltSeconds = 45,
                    .baro = 2992 * 0.01f,
                    .localTime = {}}},
      {"long, high bits set",
       kModel8100,
       0,
       {
           0xFE, 0xFF, 0xFE,  // sync header
           0xFF, 0xFF,        // tach -1
           0x80, 0x00,        // cht1 -32768
           0x7F, 0xFF,        // cht2 32767
           0xFF, 0x38,        // cht3 -200
           0xFF, 0xFE,        // cht4 -2, also egt7
           0x80, 0x01,        // cht5 -32767, also egt8
           0x12, 0x34,        // cht6 4660, also egt9
           0xFF, 0x9C,        // egt1 -100
           0x80, 0x00,        // egt2 -32768
           0x7F, 0xFF,        // egt3 32767
           0xFF, 0xFF,        // egt4 -1
           0x00, 0x01,        // egt5 1
           0xAB, 0xCD,        // egt6 -21555
           0xFF, 0xFF,        // aux5 -1
           0x80, 0x00,        // aux6 -32768
           0xFF, 0xFE,        // aspd -2
           0x7F, 0xFF,        // alt 32767 x 10
           0xFF, 0xFF,        // volt 65535 x 0.1
           0x80, 0x00,        // flow 32768 x 0.1
           0xFF,              // unit -1
           0x80,              // carb -128
           0x80,              // vsi -128 x 100
           0xFF,              // oat 255 - 50
           0xFF, 0x9C,        // oilT -100
           0xFF,              // oilP 255, unsigned
           0x80, 0x00,        // aux1 -32768
           0x7F, 0xFF,        // aux2 32767
           0xFF, 0xFF,        // aux3 -1
           0xFF, 0x38,        // aux4 -200
           0x80, 0x01,        // cool -32767
           0x80, 0x00,        // hours 32768 x 0.1
           0xFF, 0xFF,        // fuel 65535 x 0.1
           0x80, 0xFF, 0x7F,  // flight time -128, -1, 127
           0x00, 0x00,        // unused
           0xFF, 0xFF,        // baro 65535 x 0.01
           0x00, 0x00, 0x00,  // unused
           0xBB,              // checksum
       },
       EngineSample{.tach = -1,
                    .cht = {-32768, 32767, -200, -2, -32767, 4660},
                    .egt = {-100, -32768, 32767, -1, 1, -21555, -2, -32767, 4660},
                    .aspd = -2,
                    .alt = 327670,
                    .volt = 65535 * 0.1f,
                    .flow = 32768 * 0.1f,
                    .unit = -1,
                    .carb = -128,
                    .vsi = -12800.0f,
                    .oat = 205,
                    .oilT = -100,
                    .oilP = 255,
                    .aux = {-32768, 32767, -1, -200, -1, -32768},
                    .cool = -32767,
                    .hours = 32768 * 0.1f,
                    .fuel = 65535 * 0.1f,
                    .fltHours = -128,
                    .fltMinutes = -1,
                    .fltSeconds = 127,
                    .baro = 65535 * 0.01f,
                    .localTime = {}}},
      {"long, alternate format: the four extra bytes carry nothing",
       kModel5100,
       1,
       {
           0xFE, 0xFE, 0xFE,  // sync header of the alternate format
           0x0A, 0x8C,        // tach 2700
           0x01, 0x5E,        // cht1 350
           0x01, 0x68,        // cht2 360
           0x01, 0x72,        // cht3 370
           0x01, 0x2C,        // cht4 300, also egt7
           0x01, 0x36,        // cht5 310, also egt8
           0x01, 0x40,        // cht6 320, also egt9
           0x05, 0x14,        // egt1 1300
           0x05, 0x1E,        // egt2 1310
           0x05, 0x28,        // egt3 1320
           0x05, 0x32,        // egt4 1330
           0x05, 0x3C,        // egt5 1340
           0x05, 0x46,        // egt6 1350
           0x00, 0x37,        // aux5 55
           0x00, 0x42,        // aux6 66
           0x00, 0x78,        // aspd 120
           0x02, 0x71,        // alt 625 x 10
           0x00, 0x8D,        // volt 141 x 0.1
           0x00, 0x55,        // flow 85 x 0.1
           0x02,              // unit 2
           0xF6,              // carb -10
           0x05,              // vsi 5 x 100
           0x46,              // oat 70 - 50
           0x00, 0xC3,        // oilT 195
           0x3C,              // oilP 60
           0x00, 0x0B,        // aux1 11
           0x00, 0x16,        // aux2 22
           0x00, 0x21,        // aux3 33
           0x00, 0x2C,        // aux4 44
           0x00, 0xB4,        // cool 180
           0x04, 0xD2,        // hours 1234 x 0.1
           0x00, 0xE0,        // fuel 224 x 0.1
           0x01, 0x17, 0x2D,  // flight time 1:23:45
           0x00, 0x00,        // unused
           0x0B, 0xB0,        // baro 2992 x 0.01
           0x00, 0x00, 0x00,  // unused
           0x00, 0x00, 0x00,  // unused, alternate format only
           0x00,              // unused, alternate format only
           0xFD,              // checksum
       },
       EngineSample{.tach = 2700,
                    .cht = {350, 360, 370, 300, 310, 320},
                    .egt = {1300, 1310, 1320, 1330, 1340, 1350, 300, 310, 320},
                    .aspd = 120,
                    .alt = 6250,
                    .volt = 141 * 0.1f,
                    .flow = 85 * 0.1f,
                    .unit = 2,
                    .carb = -10,
                    .vsi = 500.0f,
                    .oat = 20,
                    .oilT = 195,
                    .oilP = 60,
                    .aux = {11, 22, 33, 44, 55, 66},
                    .cool = 180,
                    .hours = 1234 * 0.1f,
                    .fuel = 224 * 0.1f,
                    .fltHours = 1,
                    .fltMinutes = 23,
                    .fltSeconds = 45,
                    .baro = 2992 * 0.01f,
                    .localTime = {}}},
  };
}

// Offsets of the bytes that carry nothing, per frame length.
std::vector<int> UnusedOffsets(size_t length) {
  switch (length) {
    case 48:
      return {40, 41, 44, 45, 46};
    case 73:
      return {65, 66, 69, 70, 71};
    default:
      return {65, 66, 69, 70, 71, 72, 73, 74, 75};
  }
}

TEST(FrameDecoder, DecodesEveryFieldOfHandWrittenFrames) {
  for (const HandFrame& c : HandFrames()) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(static_cast<int>(c.bytes.size()), FrameLengthFor(c.model, c.altFrameFormat));
    EngineSample decoded;
    FrameDecoder::DecodeFields(c.bytes.data(), c.model, decoded);
    EXPECT_EQ(decoded, c.sample);

    // Neither the unused bytes nor the header and checksum are read.
    std::vector<uint8_t> noisy = c.bytes;
    for (int offset : UnusedOffsets(noisy.size()))
      noisy[static_cast<size_t>(offset)] = 0xA5;
    noisy[1] = 0x00;
    noisy.back() = 0x5A;
    EngineSample fromNoisy;
    FrameDecoder::DecodeFields(noisy.data(), c.model, fromNoisy);
    EXPECT_EQ(fromNoisy, c.sample);
  }
}

TEST(FrameBuilder, BuildsTheHandWrittenFramesByteForByte) {
  for (const HandFrame& c : HandFrames()) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FrameBuilder::Build(c.sample, c.model, c.altFrameFormat), c.bytes);
    std::vector<uint8_t> bad = c.bytes;
    bad.back() = static_cast<uint8_t>(bad.back() ^ 0x5A);
    EXPECT_EQ(FrameBuilder::Build(c.sample, c.model, c.altFrameFormat, Checksum::kBad), bad);
  }
}

TEST(FrameDecoder, ZeroesWhatTheShortLayoutLacksAndKeepsTheTimeFields) {
  const std::vector<HandFrame> frames = HandFrames();
  EngineSample s = frames[3].sample;  // every long-layout field set
  s.tickMs = 4242;
  s.localTime = LocalTime{2026, 12, 3, 9, 4, 5, 6, 7};
  FrameDecoder::DecodeFields(frames[0].bytes.data(), kModel3100, s);
  EngineSample want = frames[0].sample;
  want.tickMs = 4242;
  want.localTime = LocalTime{2026, 12, 3, 9, 4, 5, 6, 7};
  EXPECT_EQ(s, want);
}

struct BuildCase {
  const char* name;
  EngineModel model;
  void (*set)(EngineSample&);
  int offset;
  std::vector<uint8_t> bytes;
};

TEST(FrameBuilder, RoundsRealsToTheNearestStepAndHoldsThemToTheirBytes) {
  const BuildCase cases[] = {
      {"volt rounds down", kModel5100, [](EngineSample& s) { s.volt = 14.14f; }, 37, {0x00, 0x8D}},
      {"volt rounds up", kModel5100, [](EngineSample& s) { s.volt = 14.16f; }, 37, {0x00, 0x8E}},
      {"negative volt", kModel5100, [](EngineSample& s) { s.volt = -3.0f; }, 37, {0x00, 0x00}},
      {"huge fuel", kModel5100, [](EngineSample& s) { s.fuel = 1e7f; }, 60, {0xFF, 0xFF}},
      {"short baro", kModel3100, [](EngineSample& s) { s.baro = 29.924f; }, 42, {0x0B, 0xB0}},
      {"vsi rounds", kModel5100, [](EngineSample& s) { s.vsi = -349.0f; }, 43, {0xFD}},
      {"vsi climb limit", kModel5100, [](EngineSample& s) { s.vsi = 20000.0f; }, 43, {0x7F}},
      {"vsi sink limit", kModel3100, [](EngineSample& s) { s.vsi = -20000.0f; }, 22, {0x80}},
      {"alt truncates", kModel5100, [](EngineSample& s) { s.alt = 6259; }, 35, {0x02, 0x71}},
      {"negative alt", kModel3100, [](EngineSample& s) { s.alt = -10; }, 15, {0xFF, 0xFF}},
      {"long oat", kModel7100, [](EngineSample& s) { s.oat = -30; }, 44, {0x14}},
      {"short oat", kModel3100, [](EngineSample& s) { s.oat = 20; }, 23, {0x14}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EngineSample s;
    c.set(s);
    const std::vector<uint8_t> frame = FrameBuilder::Build(s, c.model);
    const std::vector<uint8_t> got(frame.begin() + c.offset,
                                   frame.begin() + c.offset + static_cast<long>(c.bytes.size()));
    EXPECT_EQ(got, c.bytes);
  }
}

// Any payload decodes to a record that the builder turns back into the very same bytes: the
// decoder loses nothing the frame carries, and the builder inverts it for every byte value.
TEST(FrameBuilder, RebuildsAnyPayloadFromItsDecodedRecord) {
  std::mt19937 rng(11);
  const std::pair<EngineModel, int32_t> formats[] = {
      {kModel5100, 0}, {kModel5100, 1}, {kModel3100, 0}, {kModel7100, 0}, {kModel8100, 0}, {5, 0}};
  for (const auto& [model, alt] : formats) {
    SCOPED_TRACE(testing::Message() << "model " << model << " alt " << alt);
    const size_t length = static_cast<size_t>(FrameLengthFor(model, alt));
    for (int i = 0; i < 500; ++i) {
      std::vector<uint8_t> frame(length);
      for (auto& b : frame)
        b = static_cast<uint8_t>(rng() & 0xFF);
      frame[0] = frame[2] = 0xFE;
      frame[1] = alt != 0 ? 0xFE : 0xFF;
      for (int offset : UnusedOffsets(length))
        frame[static_cast<size_t>(offset)] = 0;
      frame.back() = FrameBuilder::ChecksumOf(frame.data(), static_cast<int>(length));
      EngineSample decoded;
      FrameDecoder::DecodeFields(frame.data(), model, decoded);
      ASSERT_EQ(FrameBuilder::Build(decoded, model, alt), frame) << "frame " << i;
    }
  }
}

}  // namespace
}  // namespace ovixlog
