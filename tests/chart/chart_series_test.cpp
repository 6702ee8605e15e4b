// The charts' summary: elapsed times and breaks from the stamps, and the per-column envelope at
// sample resolution and from the summary levels, on sequences with hand-worked answers.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "chart/chart_channel.h"
#include "chart/chart_series.h"

namespace ovixlog {
namespace {

// Samples whose tach is the value given and whose stamps are the ones given.
struct Series {
  explicit Series(const std::vector<uint32_t>& stamps, std::vector<int> tach = {}) {
    for (size_t i = 0; i < stamps.size(); ++i) {
      EngineSample s;
      s.tickMs = stamps[i];
      s.tach = static_cast<int16_t>(tach.empty() ? static_cast<int>(i) : tach[i]);
      s.cht[2] = static_cast<int16_t>(300 + i);
      samples.push_back(s);
      summary.Append(s);
    }
  }
  ChartSeries::RawAccess Raw() const {
    return [this](int i) { return &samples[static_cast<size_t>(i)]; };
  }
  ChartSeries::Envelope Fill(int channel, int64_t t0, int64_t t1, int columns) const {
    ChartSeries::Envelope out;
    summary.Fill(summary.PlanFor(t0, t1, columns), channel, t0, t1, columns, Raw(), out);
    return out;
  }
  std::vector<EngineSample> samples;
  ChartSeries summary;
};

std::vector<uint32_t> Every(uint32_t stepMs, int count, uint32_t first = 0) {
  std::vector<uint32_t> stamps;
  for (int i = 0; i < count; ++i)
    stamps.push_back(first + static_cast<uint32_t>(i) * stepMs);
  return stamps;
}

struct TimesCase {
  const char* name;
  std::vector<uint32_t> stamps;
  std::vector<int64_t> times;
  std::vector<int> breaks;
};

class TimesAndBreaks : public ::testing::TestWithParam<TimesCase> {};

TEST_P(TimesAndBreaks, FollowTheStamps) {
  const Series s(GetParam().stamps);
  std::vector<int64_t> times;
  for (int i = 0; i < s.summary.size(); ++i)
    times.push_back(s.summary.TimeMs(i));
  EXPECT_EQ(times, GetParam().times);
  EXPECT_EQ(s.summary.breaks(), GetParam().breaks);
}

INSTANTIATE_TEST_SUITE_P(
    Stamps, TimesAndBreaks,
    ::testing::Values(
        TimesCase{"Steady", {500, 1500, 2500}, {0, 1000, 2000}, {}},
        TimesCase{"TwoSecondsIsNoBreak", {0, 2000, 4001}, {0, 2000, 4001}, {2}},
        TimesCase{"CounterWraps", {0xFFFFFE00u, 0xFFFFFF00u, 0x00000100u}, {0, 256, 768}, {}},
        TimesCase{"WrapAcrossAGap", {0xFFFFF000u, 0x00001000u}, {0, 8192}, {1}},
        TimesCase{"StampGoesBack", {5000, 6000, 3000, 4000}, {0, 1000, 1000, 2000}, {2}},
        TimesCase{"Empty", {}, {}, {}}),
    [](const ::testing::TestParamInfo<TimesCase>& p) { return std::string(p.param.name); });

TEST(ChartSeries, NearestAndLowerBound) {
  const Series s({0, 1000, 2000, 9000});
  struct Case {
    int64_t t;
    int lower;
    int nearest;
  };
  for (const Case& c : std::vector<Case>{{-5, 0, 0},
                                         {0, 0, 0},
                                         {499, 1, 0},
                                         {500, 1, 0},
                                         {501, 1, 1},
                                         {5500, 3, 2},
                                         {5501, 3, 3},
                                         {9000, 3, 3},
                                         {20000, 4, 3}}) {
    EXPECT_EQ(s.summary.LowerBound(c.t), c.lower) << c.t;
    EXPECT_EQ(s.summary.Nearest(c.t), c.nearest) << c.t;
  }
  EXPECT_EQ(ChartSeries().Nearest(0), -1);
}

// One column as the test writes it: min, max, first, last, connected.
struct Col {
  float min;
  float max;
  int first;
  int last;
  bool connected;
  friend bool operator==(const Col&, const Col&) = default;
};
std::ostream& operator<<(std::ostream& os, const Col& c) {
  return os << "{" << c.min << "," << c.max << "," << c.first << "," << c.last << "," << c.connected
            << "}";
}
constexpr Col kEmpty{0, 0, -1, -1, false};

std::vector<Col> Columns(const ChartSeries::Envelope& e) {
  std::vector<Col> cols;
  for (const ChartSeries::Column& c : e.columns)
    cols.push_back({c.min, c.max, c.first, c.last, c.connected});
  return cols;
}

TEST(ChartSeries, SampleResolutionPutsEachSampleInItsColumnWithTheEdges) {
  // Ten samples a second apart, tach 0..9: the view [2 s, 6 s) in four columns.
  const Series s(Every(1000, 10));
  EXPECT_EQ(s.summary.PlanFor(2000, 6000, 4).level, 0);
  EXPECT_EQ(s.summary.PlanFor(2000, 6000, 4).rawFirst, 1);
  EXPECT_EQ(s.summary.PlanFor(2000, 6000, 4).rawEnd, 7);
  const ChartSeries::Envelope e = s.Fill(kChannelTach, 2000, 6000, 4);
  EXPECT_EQ(Columns(e),
            (std::vector<Col>{
                {2, 2, 2, 2, true}, {3, 3, 3, 3, true}, {4, 4, 4, 4, true}, {5, 5, 5, 5, true}}));
  EXPECT_TRUE(e.before.present);
  EXPECT_DOUBLE_EQ(e.before.x, -1.0);
  EXPECT_EQ(e.before.value, 1.0f);
  EXPECT_TRUE(e.before.connected);
  EXPECT_TRUE(e.after.present);
  EXPECT_DOUBLE_EQ(e.after.x, 4.0);
  EXPECT_EQ(e.after.value, 6.0f);
  EXPECT_TRUE(e.after.connected);
  // Another channel of the same samples.
  EXPECT_EQ(s.Fill(kChannelCht1 + 2, 2000, 6000, 4).columns[1].max, 303.0f);
}

TEST(ChartSeries, AGapBreaksTheLine) {
  // A pause of eight seconds after the third sample; half-second columns.
  const Series s({0, 1000, 2000, 10000, 11000}, {10, 11, 12, 13, 14});
  const ChartSeries::Envelope e = s.Fill(kChannelTach, 0, 12000, 12);
  std::vector<Col> want(12, kEmpty);
  want[0] = {10, 10, 0, 0, false};
  want[1] = {11, 11, 1, 1, true};
  want[2] = {12, 12, 2, 2, true};
  want[10] = {13, 13, 3, 3, false};
  want[11] = {14, 14, 4, 4, true};
  EXPECT_EQ(Columns(e), want);
  EXPECT_FALSE(e.before.present);
  EXPECT_FALSE(e.after.present);
  // Seen from inside the gap, neither edge joins the other.
  const ChartSeries::Envelope inside = s.Fill(kChannelTach, 4000, 8000, 4);
  EXPECT_EQ(Columns(inside), std::vector<Col>(4, kEmpty));
  EXPECT_TRUE(inside.before.present);
  EXPECT_FALSE(inside.before.connected);
  EXPECT_FALSE(inside.after.connected);
}

TEST(ChartSeries, CoarseViewsReadWholeBuckets) {
  // 1024 samples 100 ms apart, tach = index: 128 a column in eight columns reads level 2
  // (64-sample buckets), so every column holds exactly its own samples.
  const Series s(Every(100, 1024));
  const ChartSeries::Plan plan = s.summary.PlanFor(0, 102400, 8);
  EXPECT_EQ(plan.level, 2);
  EXPECT_EQ(ChartSeries::BucketSize(2), 64);
  std::vector<Col> want;
  for (int c = 0; c < 8; ++c) {
    want.push_back({static_cast<float>(128 * c), static_cast<float>(128 * c + 127), 128 * c,
                    128 * c + 127, c > 0});
  }
  // Raw samples are never needed here.
  ChartSeries::Envelope e;
  s.summary.Fill(
      plan, kChannelTach, 0, 102400, 8,
      [](int) -> const EngineSample* {
        ADD_FAILURE() << "raw sample read";
        return nullptr;
      },
      e);
  EXPECT_EQ(Columns(e), want);
}

TEST(ChartSeries, ABucketHoldingABreakIsSplitAtIt) {
  // As above, but the stream pauses for a minute after sample 499. Columns are 20480 ms wide;
  // a bucket lands in the column of its first sample's time; the 64-sample bucket 448..511 holds
  // the break and is split down to its samples there.
  std::vector<uint32_t> stamps = Every(100, 1024);
  for (size_t i = 500; i < stamps.size(); ++i)
    stamps[i] += 60000;
  const Series s(stamps);
  std::vector<Col> want(8, kEmpty);
  want[0] = {0, 255, 0, 255, false};
  want[1] = {256, 447, 256, 447, true};
  want[2] = {448, 499, 448, 499, true};
  want[5] = {500, 639, 500, 639, false};
  want[6] = {640, 895, 640, 895, true};
  want[7] = {896, 1023, 896, 1023, true};
  EXPECT_EQ(s.summary.PlanFor(0, 163840, 8).level, 2);
  EXPECT_EQ(Columns(s.Fill(kChannelTach, 0, 163840, 8)), want);
}

TEST(ChartSeries, TheNewestBucketGrowsWithEachSample) {
  // 2000 samples, then one more with a new peak: the full view shows it at once.
  std::vector<uint32_t> stamps = Every(100, 2001);
  std::vector<int> tach(2001, 50);
  tach[2000] = 9000;
  tach[3] = 1;
  const Series s(stamps, tach);
  const ChartSeries::Envelope e = s.Fill(kChannelTach, 0, 200100, 4);
  EXPECT_GE(s.summary.PlanFor(0, 200100, 4).level, 1);
  EXPECT_EQ(e.columns[0].min, 1.0f);
  EXPECT_EQ(e.columns[3].max, 9000.0f);
  EXPECT_EQ(e.columns[3].last, 2000);
}

TEST(ChartSeries, ClearForgetsEverything) {
  Series s(Every(1000, 100));
  s.summary.Clear();
  EXPECT_EQ(s.summary.size(), 0);
  EXPECT_EQ(s.summary.levelCount(), 0);
  EXPECT_EQ(s.summary.LastTimeMs(), 0);
  EngineSample one;
  one.tickMs = 777;
  s.summary.Append(one);
  EXPECT_EQ(s.summary.TimeMs(0), 0);
}

TEST(ChartChannel, ModelsHaveTheTablesColumns) {
  struct Case {
    EngineModel model;
    size_t cht;
    size_t egt;
    std::vector<std::string> others;
  };
  const std::vector<std::string> common = {"Tach", "OilT", "OilP", "OAT", "Volt", "Flow", "Fuel"};
  const auto with = [&](std::vector<std::string> middle) {
    std::vector<std::string> all = common;
    all.insert(all.end(), middle.begin(), middle.end());
    for (const char* t : {"Aspd", "Alt", "VSI"})
      all.push_back(t);
    return all;
  };
  for (const Case& c : std::vector<Case>{
           {kModel3100, 2, 2, with({"Aux1", "Aux2"})},
           {kModel5100, 4, 4, with({"Carb", "Aux1", "Aux2", "Aux3", "Aux4", "Aux5", "Aux6"})},
           {kModel7100, 6, 6, with({"Carb", "Aux1", "Aux2", "Aux3", "Aux4", "Aux5", "Aux6"})},
           {kModel8100, 3, 9, with({"Carb", "Aux1", "Aux2", "Aux3", "Aux4", "Aux5", "Aux6"})}}) {
    EXPECT_EQ(ChtChannels(c.model).size(), c.cht);
    EXPECT_EQ(EgtChannels(c.model).size(), c.egt);
    EXPECT_EQ(ChannelTitle(EgtChannels(c.model).back()), "EGT" + std::to_string(c.egt));
    std::vector<std::string> titles;
    for (int channel : OtherChannels(c.model))
      titles.push_back(ChannelTitle(channel));
    EXPECT_EQ(titles, c.others) << c.model;
  }
}

TEST(ChartChannel, ValuesComeFromTheirFields) {
  EngineSample s;
  s.tach = 2450;
  s.cht[5] = 401;
  s.egt[8] = 1502;
  s.oilP = 61;
  s.volt = 14.25f;
  s.flow = 9.5f;
  s.aux[2] = -7;
  s.alt = 12500;
  s.vsi = -350.0f;
  struct Case {
    int channel;
    float value;
  };
  for (const Case& c : std::vector<Case>{{kChannelTach, 2450},
                                         {kChannelCht1 + 5, 401},
                                         {kChannelEgt1 + 8, 1502},
                                         {kChannelOilP, 61},
                                         {kChannelVolt, 14.25f},
                                         {kChannelFlow, 9.5f},
                                         {kChannelAux1 + 2, -7},
                                         {kChannelAlt, 12500},
                                         {kChannelVsi, -350},
                                         {kChannelOat, 0}}) {
    EXPECT_EQ(ChannelValue(s, c.channel), c.value) << ChannelTitle(c.channel);
  }
  // All at once, the same values.
  float all[kChannelCount];
  ChannelValues(s, all);
  for (int channel = 0; channel < kChannelCount; ++channel)
    EXPECT_EQ(all[channel], ChannelValue(s, channel)) << ChannelTitle(channel);
}

}  // namespace
}  // namespace ovixlog
