// Engine runs found in hand-made sample sequences: where they start and end, which stops split
// them, which are too short to count, and how stamps that wrap are read.
#include "analysis/run_detector.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ovixlog {
namespace {

struct Point {
  uint32_t tickMs;
  int tach;
};

// Records every notification as a line of text.
class Log : public RunListener {
 public:
  std::vector<std::string> lines;
  void RunStarted(const RunSpan& r) override { lines.push_back("started " + Describe(r)); }
  void RunEnded(const RunSpan& r) override { lines.push_back("ended " + Describe(r)); }
  void StretchOpened(int64_t ms) override {
    lines.push_back("open " + std::to_string(ms));
    samples = 0;
  }
  void StretchSample(int64_t, const EngineSample&) override { ++samples; }
  void StretchClosed(bool reported) override {
    lines.push_back(std::string(reported ? "closed run " : "closed short ") +
                    std::to_string(samples));
  }

 private:
  static std::string Describe(const RunSpan& r) {
    return "#" + std::to_string(r.ordinal) + " " + std::to_string(r.startMs) + "-" +
           std::to_string(r.endMs) + " [" + std::to_string(r.firstIndex) + "," +
           std::to_string(r.lastIndex) + "]";
  }
  int samples = 0;
};

// Samples every `stepMs` from `fromMs` to `toMs` inclusive, all at `tach`.
// Stamps are taken modulo 2^32.
std::vector<Point> Steady(uint64_t fromMs, uint64_t toMs, uint64_t stepMs, int tach) {
  std::vector<Point> points;
  for (uint64_t ms = fromMs; ms <= toMs; ms += stepMs)
    points.push_back({static_cast<uint32_t>(ms), tach});
  return points;
}

std::vector<Point> Join(std::vector<std::vector<Point>> parts) {
  std::vector<Point> all;
  for (const auto& part : parts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

std::vector<std::string> Detect(const std::vector<Point>& points) {
  Log log;
  RunDetector detector(&log);
  for (const Point& p : points) {
    EngineSample s;
    s.tickMs = p.tickMs;
    s.tach = static_cast<int16_t>(p.tach);
    detector.Add(s);
  }
  detector.Finish();
  return log.lines;
}

TEST(RunDetector, FindsRunsByTheirDefinition) {
  struct Case {
    const char* name;
    std::vector<Point> points;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"a run of exactly 60 s counts",
       Steady(0, 60000, 1000, 2000),
       {"open 0", "started #0 0-60000 [0,60]", "closed run 61", "ended #0 0-60000 [0,60]"}},
      {"a run of 59 s does not", Steady(0, 59000, 1000, 2000), {"open 0", "closed short 60"}},
      {"tach 499 is not running, 500 is",
       Join({Steady(0, 10000, 1000, 499), Steady(11000, 71000, 1000, 500)}),
       {"open 11000", "started #0 11000-71000 [11,71]", "closed run 61",
        "ended #0 11000-71000 [11,71]"}},
      {"a 29 s stop keeps one run; the samples of the stop belong to it",
       Join({Steady(0, 40000, 1000, 2000), Steady(41000, 68000, 1000, 0),
             Steady(69000, 100000, 1000, 2000)}),
       {"open 0", "started #0 0-69000 [0,69]", "closed run 101", "ended #0 0-100000 [0,100]"}},
      {"a 30 s stop splits it; the second part is too short",
       Join({Steady(0, 70000, 1000, 2000), Steady(71000, 99000, 1000, 0),
             Steady(100000, 130000, 1000, 2000)}),
       {"open 0", "started #0 0-60000 [0,60]", "closed run 71", "ended #0 0-70000 [0,70]",
        "open 100000", "closed short 31"}},
      {"a 30 s gap without any samples splits it too",
       Join({Steady(0, 60000, 1000, 2000), Steady(90000, 150000, 1000, 2000)}),
       {"open 0", "started #0 0-60000 [0,60]", "closed run 61", "ended #0 0-60000 [0,60]",
        "open 90000", "started #1 90000-150000 [61,121]", "closed run 61",
        "ended #1 90000-150000 [61,121]"}},
      {"samples after the last running one are not part of the run",
       Join({Steady(0, 65000, 5000, 1500), Steady(66000, 80000, 1000, 300)}),
       {"open 0", "started #0 0-60000 [0,12]", "closed run 14", "ended #0 0-65000 [0,13]"}},
      {"stamps wrap around 2^32 ms",
       Steady(0xFFFF0000u, 0xFFFF0000ull + 70000u, 1000, 2400),  // wraps after 65.5 s
       {"open 0", "started #0 0-60000 [0,60]", "closed run 71", "ended #0 0-70000 [0,70]"}},
      {"a stamp going backwards counts as no time",
       Join({Steady(100000, 130000, 1000, 2000), Steady(50000, 80000, 1000, 2000)}),
       // 30 s forward, then 50000 reads as 130000 and 30 s more follow: 60 s in all.
       {"open 0", "started #0 0-60000 [0,61]", "closed run 62", "ended #0 0-60000 [0,61]"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Detect(c.points), c.expected);
  }
}

TEST(RunDetector, TellsWhenTheRunInProgressStartsAndEnds) {
  Log log;
  RunDetector detector(&log);
  EngineSample s;
  s.tach = 2000;
  for (uint32_t ms = 0; ms <= 59000; ms += 1000) {
    s.tickMs = ms;
    detector.Add(s);
  }
  EXPECT_TRUE(detector.StretchOpen());
  EXPECT_EQ(detector.CurrentRun(), nullptr);
  s.tickMs = 60000;
  detector.Add(s);
  ASSERT_NE(detector.CurrentRun(), nullptr);
  EXPECT_EQ(detector.CurrentRun()->endMs, 60000);
  s.tach = 0;
  s.tickMs = 89999;
  detector.Add(s);
  EXPECT_NE(detector.CurrentRun(), nullptr);  // 29.999 s after: could still go on
  s.tickMs = 90000;
  detector.Add(s);
  EXPECT_EQ(detector.CurrentRun(), nullptr);
  EXPECT_EQ(log.lines, (std::vector<std::string>{"open 0", "started #0 0-60000 [0,60]",
                                                 "closed run 61", "ended #0 0-60000 [0,60]"}));
  EXPECT_EQ(detector.SampleCount(), 63);
  EXPECT_EQ(detector.NowMs(), 90000);
}

}  // namespace
}  // namespace ovixlog
