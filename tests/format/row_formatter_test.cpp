#include "format/row_formatter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "acquisition/frame_builder.h"
#include "format/column_set.h"
#include "support/test_support.h"

namespace ovixlog {
namespace {

std::string Header(RowStyle style, EngineModel model, bool time) {
  RowBuffer b;
  RowFormatter::Header(style, {model, time}, b);
  return std::string(b.view());
}

std::string Rule(EngineModel model) {
  RowBuffer b;
  RowFormatter::Rule(model, b);
  return std::string(b.view());
}

std::string Row(RowStyle style, EngineModel model, bool time, const EngineSample& s) {
  RowBuffer b;
  RowFormatter::Sample(style, {model, time}, s, b);
  return std::string(b.view());
}

EngineSample ExampleAt140509037() {
  EngineSample s = test::ExampleSample();
  s.localTime.hour = 14;
  s.localTime.minute = 5;
  s.localTime.second = 9;
  s.localTime.milliseconds = 37;
  return s;
}

TEST(RowFormatter, ModelThreeThousandOneHundredExample) {
  const EngineSample s = ExampleAt140509037();
  EXPECT_EQ(Header(RowStyle::kDisplay, kModel3100, false),
            "Flt-Time Tach CHT1 CHT2 EGT1 EGT2 OilT OilP OAT Volt Unit Flow Fuel Hours Cool Aux1 "
            "Aux2 Aspd   Alt   VSI  Baro");
  EXPECT_EQ(Rule(kModel3100), std::string(111, '-'));
  EXPECT_EQ(Row(RowStyle::kDisplay, kModel3100, false, s),
            "01:02:03 2450  350  360 1300 1310  190   65  12 14.1    0  8.5 22.4 123.4  180    1 "
            "   2  120  5500  -300 29.92");
  EXPECT_EQ(Header(RowStyle::kCsv, kModel3100, false),
            "Flt-Time,Tach,CHT1,CHT2,EGT1,EGT2,OilT,OilP,OAT,Volt,Unit,Flow,Fuel,Hours,Cool,Aux1,"
            "Aux2,Aspd,Alt,VSI,Baro");
  EXPECT_EQ(Row(RowStyle::kCsv, kModel3100, false, s),
            "01:02:03,2450, 350, 360,1300,1310, 190,  65, 12,14.1,   0, 8.5,22.4,123.4, 180,   1,"
            "   2, 120, 5500, -300,29.92");
  EXPECT_EQ(Header(RowStyle::kDisplay, kModel3100, true).substr(0, 21), "Sys-Time     Flt-Time");
  EXPECT_EQ(Row(RowStyle::kDisplay, kModel3100, true, s).substr(0, 21), "14:05:09.037 01:02:03");
  EXPECT_EQ(Header(RowStyle::kCsv, kModel3100, true).substr(0, 22), "Sys-Time,Flt-Time,Tach");
  EXPECT_EQ(Row(RowStyle::kCsv, kModel3100, true, s).substr(0, 26), "14:05:09.037,01:02:03,2450");
}

struct WidthCase {
  EngineModel model;
  size_t width;
  const char* headerMiddle;  // a part that tells the column sets apart
};

TEST(RowFormatter, EveryModelHasItsColumnsAndWidths) {
  const WidthCase cases[] = {
      {kModel5100, 156, "CHT4 EGT1 EGT2 EGT3 EGT4 OilT"},
      {kModel3100, 111, "CHT2 EGT1 EGT2 OilT"},
      {kModel7100, 176, "CHT6 EGT1 EGT2 EGT3 EGT4 EGT5 EGT6 OilT"},
      {kModel8100, 176, "CHT3 EGT1 EGT2 EGT3 EGT4 EGT5 EGT6 EGT7 EGT8 EGT9 OilT"},
      {7, 156, "CHT4 EGT1 EGT2 EGT3 EGT4 OilT"},
      {-1, 156, "CHT4 EGT1 EGT2 EGT3 EGT4 OilT"},
  };
  std::mt19937 rng(3);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.model);
    const std::string header = Header(RowStyle::kDisplay, c.model, false);
    EXPECT_EQ(header.size(), c.width);
    EXPECT_NE(header.find(c.headerMiddle), std::string::npos) << header;
    EXPECT_EQ(Rule(c.model).size(), c.width);
    EXPECT_EQ(Header(RowStyle::kDisplay, c.model, true).size(), c.width + 13);
    const bool carb = ColumnSetFor(c.model).carb;
    EXPECT_EQ(header.find(" Carb Cool") != std::string::npos, carb);
    EXPECT_EQ(Header(RowStyle::kCsv, c.model, false).find(",Carb,Cool") != std::string::npos, carb);
    // A sample whose values fit their fields is exactly as wide as the header.
    EngineSample s = test::ExampleSample();
    EXPECT_EQ(Row(RowStyle::kDisplay, c.model, false, s).size(), c.width);
    EXPECT_EQ(Row(RowStyle::kDisplay, c.model, true, s).size(), c.width + 13);
  }
}

TEST(RowFormatter, WideValuesWidenTheRowAndNegativeBytesPrintSigned) {
  EngineSample s = test::ExampleSample();
  s.alt = 123456;
  s.baro = 9.5f;
  s.unit = -1;
  s.oilP = 200;
  const std::string row = Row(RowStyle::kDisplay, kModel3100, false, s);
  EXPECT_EQ(row.size(), 112u);
  EXPECT_NE(row.find(" 123456"), std::string::npos);
  EXPECT_EQ(row.substr(row.size() - 6), " 09.50");
  EXPECT_NE(row.find("  200  12 14.1   -1"), std::string::npos) << row;
}

// Every value the rows print must be printed exactly as printf prints it.
std::string Printf(const char* format, double value) {
  char text[512];
  std::snprintf(text, sizeof text, format, value);
  return text;
}
std::string Printf(const char* format, long long value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

TEST(RowBuffer, IntegersPrintAsPrintfDoesOverEveryValue) {
  struct Conversion {
    const char* format;
    int width;
    bool zeroPad;
  };
  const Conversion conversions[] = {{"%4lld", 4, false},
                                    {"%3lld", 3, false},
                                    {"%5lld", 5, false},
                                    {"%02lld", 2, true},
                                    {"%03lld", 3, true}};
  RowBuffer b;
  for (const auto& c : conversions) {
    SCOPED_TRACE(c.format);
    for (long long v = -32768; v <= 65535; ++v) {
      b.Clear();
      b.Int(v, c.width, c.zeroPad);
      ASSERT_EQ(std::string(b.view()), Printf(c.format, v)) << v;
    }
    for (long long v : {-327680LL, 327670LL, 2147483647LL, -2147483648LL}) {
      b.Clear();
      b.Int(v, c.width, c.zeroPad);
      ASSERT_EQ(std::string(b.view()), Printf(c.format, v));
    }
  }
}

TEST(RowBuffer, RealsPrintAsPrintfDoesForEveryScaledValueAndRandomFloats) {
  struct Conversion {
    const char* format;
    int width;
    int precision;
    bool zeroPad;
    float scale;
  };
  const Conversion conversions[] = {{"%4.1f", 4, 1, false, 0.1f},
                                    {"%5.1f", 5, 1, false, 0.1f},
                                    {"%05.2f", 5, 2, true, 0.01f},
                                    {"%5.0f", 5, 0, false, 100.0f}};
  RowBuffer b;
  std::mt19937 rng(17);
  for (const auto& c : conversions) {
    SCOPED_TRACE(c.format);
    for (int raw = 0; raw <= 0xFFFF; ++raw) {
      const float value = static_cast<float>(raw) * c.scale;
      b.Clear();
      b.Fixed(value, c.width, c.precision, c.zeroPad);
      ASSERT_EQ(std::string(b.view()), Printf(c.format, static_cast<double>(value))) << raw;
    }
    for (int i = 0; i < 200000; ++i) {
      uint32_t bits = static_cast<uint32_t>(rng());
      float value;
      std::memcpy(&value, &bits, sizeof value);
      if (i % 2 == 0)
        value =
            std::ldexp(static_cast<float>(rng() % 2000000) - 1e6f, -static_cast<int>(rng() % 12));
      b.Clear();
      b.Fixed(value, c.width, c.precision, c.zeroPad);
      ASSERT_EQ(std::string(b.view()), Printf(c.format, static_cast<double>(value))) << value;
    }
  }
}

TEST(RowFormatter, RowsOfRandomSamplesMatchPrintfRows) {
  std::mt19937 rng(23);
  for (int i = 0; i < 2000; ++i) {
    const EngineSample s = test::RandomSample(rng, kModel8100);
    char expected[1024];
    int n = std::snprintf(expected, sizeof expected, "%02d:%02d:%02d %4d", s.fltHours, s.fltMinutes,
                          s.fltSeconds, s.tach);
    for (int k = 0; k < 3; ++k)
      n += std::snprintf(expected + n, sizeof expected - static_cast<size_t>(n), " %4d", s.cht[k]);
    for (int k = 0; k < 9; ++k)
      n += std::snprintf(expected + n, sizeof expected - static_cast<size_t>(n), " %4d", s.egt[k]);
    n += std::snprintf(expected + n, sizeof expected - static_cast<size_t>(n),
                       " %4d %4d %3d %4.1f %4d %4.1f %4.1f %5.1f %4d %4d", s.oilT, s.oilP, s.oat,
                       static_cast<double>(s.volt), s.unit, static_cast<double>(s.flow),
                       static_cast<double>(s.fuel), static_cast<double>(s.hours), s.carb, s.cool);
    for (int k = 0; k < 6; ++k)
      n += std::snprintf(expected + n, sizeof expected - static_cast<size_t>(n), " %4d", s.aux[k]);
    std::snprintf(expected + n, sizeof expected - static_cast<size_t>(n), " %4d %5d %5.0f %05.2f",
                  s.aspd, s.alt, static_cast<double>(s.vsi), static_cast<double>(s.baro));
    ASSERT_EQ(Row(RowStyle::kDisplay, kModel8100, false, s), expected);
  }
}

}  // namespace
}  // namespace ovixlog
