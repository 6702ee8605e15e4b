#include "library/flight_figures.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <vector>

#include "library/flight_library.h"

namespace ovixlog {
namespace {

struct Point {
  int64_t s;  // seconds
  int16_t tach;
  int16_t aspd;
  float flow;
  int32_t alt;
};

std::vector<TimedSample> Samples(const std::vector<Point>& points) {
  std::vector<TimedSample> out;
  for (const Point& p : points) {
    TimedSample t;
    t.ms = p.s * 1000;
    t.sample.tach = p.tach;
    t.sample.aspd = p.aspd;
    t.sample.flow = p.flow;
    t.sample.alt = p.alt;
    out.push_back(t);
  }
  return out;
}

TEST(TachHours, SumsTachTimesStepsShorterThanThirtySeconds) {
  // 2400 rpm for an hour is one tach hour; the 30 s step adds nothing.
  EXPECT_DOUBLE_EQ(TachHours(Samples({{0, 2400, 0, 0, 0}, {3600, 1200, 0, 0, 0}})), 0.0);
  EXPECT_DOUBLE_EQ(TachHours(Samples({{0, 2400, 0, 0, 0}, {20, 1200, 0, 0, 0}, {29, 0, 0, 0, 0}})),
                   (2400.0 * 20 + 1200.0 * 9) / (2400.0 * 3600));
  EXPECT_DOUBLE_EQ(TachHours(Samples({{0, 2400, 0, 0, 0}, {30, 2400, 0, 0, 0},
                                      {31, 2400, 0, 0, 0}})),
                   2400.0 / (2400.0 * 3600));
}

TEST(Median, TakesTheMiddleOrTheMeanOfTheTwoMiddleValues) {
  struct Case {
    std::vector<double> values;
    double median;
  };
  const Case cases[] = {{{5}, 5}, {{3, 1, 2}, 2}, {{4, 1, 3, 2}, 2.5}, {{7, 7, 1, 9}, 7}};
  for (Case c : cases)
    EXPECT_DOUBLE_EQ(Median(c.values), c.median);
}

// A sample every 10 s for `count` samples from `from` seconds.
std::vector<Point> Steady(int64_t from, int count, int16_t tach, float flow, int32_t alt) {
  std::vector<Point> points;
  for (int i = 0; i < count; ++i)
    points.push_back({from + 10 * i, tach, 100, flow, alt});
  return points;
}

std::vector<Point> Join(std::vector<Point> a, const std::vector<Point>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(LongestCruise, PicksTheLongestStretchWithinTheBands) {
  struct Case {
    const char* name;
    std::vector<Point> points;
    std::optional<std::pair<size_t, size_t>> stretch;
  };
  const Case cases[] = {
      // 13 samples 10 s apart last 120 s: just long enough.
      {"exactly 120 s", Steady(0, 13, 2400, 8.0f, 5000), std::pair<size_t, size_t>{0, 12}},
      {"119 s is too short",
       Join(Steady(0, 12, 2400, 8.0f, 5000), {{119, 2400, 100, 8.0f, 5000}}), std::nullopt},
      {"below 1800 rpm never starts", Steady(0, 20, 1799, 8.0f, 5000), std::nullopt},
      // Drifting 50 rpm, 0.5 flow and 200 ft from the first sample stays; one more breaks.
      {"bands are inclusive",
       Join(Steady(0, 12, 2400, 8.0f, 5000), {{120, 2450, 100, 8.5f, 5200}}),
       std::pair<size_t, size_t>{0, 12}},
      {"51 rpm breaks", Join(Steady(0, 12, 2400, 8.0f, 5000), {{120, 2451, 100, 8.0f, 5000}}),
       std::nullopt},
      {"0.6 flow breaks", Join(Steady(0, 12, 2400, 8.0f, 5000), {{120, 2400, 100, 8.6f, 5000}}),
       std::nullopt},
      // The second, longer stretch starts at the breaking sample.
      {"the longer second stretch",
       Join(Steady(0, 13, 2400, 8.0f, 5000), Steady(130, 15, 2300, 7.0f, 5000)),
       std::pair<size_t, size_t>{13, 27}},
      {"the earlier of two as long",
       Join(Steady(0, 13, 2400, 8.0f, 5000), Steady(130, 13, 2300, 7.0f, 5000)),
       std::pair<size_t, size_t>{0, 12}},
  };
  for (const Case& c : cases) {
    const std::optional<CruiseStretch> got = LongestCruise(Samples(c.points));
    ASSERT_EQ(got.has_value(), c.stretch.has_value()) << c.name;
    if (got) {
      EXPECT_EQ(got->first, c.stretch->first) << c.name;
      EXPECT_EQ(got->last, c.stretch->second) << c.name;
    }
  }
}

TEST(LongestCruise, SlowAirspeedEndsTheStretch) {
  std::vector<Point> points = Steady(0, 20, 2400, 8.0f, 5000);
  points[13].aspd = 59;
  const std::optional<CruiseStretch> got = LongestCruise(Samples(points));
  ASSERT_TRUE(got);
  EXPECT_EQ(got->first, 0u);
  EXPECT_EQ(got->last, 12u);
}

}  // namespace
}  // namespace ovixlog

namespace ovixlog {
namespace {

TEST(LocalIsoTime, WholeSecondsTruncatedWithTheOffset) {
  struct Case {
    int64_t utcMs;
    int32_t offset;
    const char* text;
  };
  const Case cases[] = {
      {1780298043999, 7200, "2026-06-01T09:14:03+02:00"},
      {1780298043000, -18000, "2026-06-01T02:14:03-05:00"},
      {1780298043500, -12600, "2026-06-01T03:44:03-03:30"},
      {1780298043000, 20700, "2026-06-01T12:59:03+05:45"},
      {1798759800000, 3600, "2027-01-01T00:30:00+01:00"},
      {-1, 0, "1969-12-31T23:59:59+00:00"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(LocalIsoTime(c.utcMs, c.offset), c.text) << c.utcMs << " " << c.offset;
}

TEST(StartBy, CountsTheSignedDistanceFromTheReading) {
  struct Case {
    uint32_t anchorStamp;
    uint32_t tick;
    int64_t utcMs;
    const char* text;
  };
  const Case cases[] = {
      {10000, 10000, 1780298043000, "2026-06-01T09:14:03+02:00"},
      {10000, 12500, 1780298045500, "2026-06-01T09:14:05+02:00"},
      {10000, 9000, 1780298042000, "2026-06-01T09:14:02+02:00"},
      {0xFFFFF000u, 0x400u, 1780298048120, "2026-06-01T09:14:08+02:00"},  // the stamp wrapped
  };
  for (const Case& c : cases) {
    const RunStart start = StartBy({c.anchorStamp, 1780298043000, 7200}, c.tick);
    EXPECT_EQ(start.utcMs, c.utcMs) << c.tick;
    EXPECT_EQ(start.local, c.text) << c.tick;
  }
}

TEST(ClockAt, TheLatestReadingAtOrBeforeTheSampleElseTheFirst) {
  const std::vector<ClockMark> clocks = {
      {5, {1, 100, 0}}, {5, {2, 200, 0}}, {20, {3, 300, 0}}};
  struct Case {
    size_t sample;
    uint32_t stamp;
  };
  const Case cases[] = {{0, 1}, {4, 1}, {5, 2}, {19, 2}, {20, 3}, {1000, 3}};
  for (const Case& c : cases) {
    const WallClockAnchor* anchor = ClockAt(clocks, c.sample);
    ASSERT_NE(anchor, nullptr);
    EXPECT_EQ(anchor->stamp, c.stamp) << c.sample;
  }
  EXPECT_EQ(ClockAt({}, 0), nullptr);
}

// A flight's JSON is written by hand for speed; it must be the very bytes a JSON library's
// compact dump gives, whatever the names hold.
TEST(FlightJson, SameBytesAsTheLibrarysDump) {
  using Json = nlohmann::ordered_json;
  const std::string figures = R"({"start_s":12.5,"cruise":null,"findings":[]})";
  const std::vector<std::string> names = {
      "/home/pilot/flights/a.log",
      "/home/pilot/my \"quoted\" \\ folder/a.log",
      std::string("/tmp/tab\there/\x01\x1f\x7f.log"),
      "/tmp/\xc3\xa9t\xc3\xa9/\xe2\x82\xac.log",  // UTF-8
      "/tmp/\xe9t\xe9 \xff\xfe.log",                 // not UTF-8
  };
  for (const std::string& name : names) {
    for (bool optional : {false, true}) {
      FlightRow row;
      row.id = 42;
      row.file = name;
      row.run = 3;
      row.model = "5100";
      if (optional) {
        row.aircraft = name;
        row.start = "2026-06-01T09:14:03+02:00";
      }
      row.figures = figures;
      Json expected;
      expected["id"] = row.id;
      expected["file"] = row.file;
      expected["run"] = row.run;
      expected["aircraft"] = row.aircraft ? Json(*row.aircraft) : Json(nullptr);
      expected["model"] = row.model;
      expected["start"] = row.start ? Json(*row.start) : Json(nullptr);
      const Json parsed = Json::parse(figures);
      for (const auto& [key, value] : parsed.items())
        expected[key] = value;
      EXPECT_EQ(FlightJson(row), expected.dump(-1, ' ', false, Json::error_handler_t::replace))
          << name;
      row.figures = "{}";
      expected.erase("start_s");
      expected.erase("cruise");
      expected.erase("findings");
      EXPECT_EQ(FlightJson(row), expected.dump(-1, ' ', false, Json::error_handler_t::replace));
    }
  }
}

}  // namespace
}  // namespace ovixlog
