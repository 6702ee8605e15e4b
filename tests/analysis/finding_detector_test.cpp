// The findings of one run at the edges of their definitions: just under and just over each
// threshold, from hand-made sample sequences.
#include "analysis/finding_detector.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "analysis/flight_analyzer.h"
#include "analysis/summary_writer.h"
#include "analysis_fixture.h"

namespace ovixlog {
namespace {

using test::Seconds;
using Field = SampleColumn::Field;

std::vector<Finding> Detect(const std::vector<EngineSample>& samples,
                            EngineModel model = kModel5100) {
  FindingDetector detector(model);
  for (const EngineSample& s : samples)
    detector.Add(s.tickMs, s);
  return detector.Findings();
}

struct Case {
  const char* name;
  EngineModel model;
  std::vector<EngineSample> samples;
  std::vector<std::string> json;  // FindingJson of each finding
};

std::vector<std::string> JsonOf(const std::vector<Finding>& findings) {
  std::vector<std::string> out;
  for (const Finding& f : findings)
    out.push_back(FindingJson(f));
  return out;
}

// CHT1 reads `value` from `fromS` to `toS`.
auto Cht1(int fromS, int toS, int16_t value) {
  return [=](EngineSample& s, int t) {
    if (t >= fromS && t <= toS)
      s.cht[0] = value;
  };
}

TEST(FindingDetector, EdgesOfEachDefinition) {
  const std::vector<Case> cases = {
      {"a plain cruise has no findings", kModel5100, Seconds(0, 300), {}},
      {"CHT3 at 0 for 5 s is a probe fault", kModel5100,
       Seconds(0, 60, [](EngineSample& s, int t) { s.cht[2] = t >= 10 && t <= 15 ? 0 : 350; }),
       {"{\"kind\": \"probe_fault\", \"column\": \"CHT3\", \"start_s\": 10, \"end_s\": 15, "
        "\"severity\": \"caution\", \"evidence\": {\"zero_s\": 5, \"spikes\": 0}, \"text\": "
        "\"CHT3 reads 0 for 5 s while the others read normally: an open or shorted probe\"}"}},
      {"CHT3 at 0 for 4 s is not", kModel5100,
       Seconds(0, 60, [](EngineSample& s, int t) { s.cht[2] = t >= 10 && t <= 14 ? 0 : 350; }),
       {}},
      {"a negative reading counts as 0", kModel5100,
       Seconds(0, 60, [](EngineSample& s, int t) { s.egt[1] = t >= 10 && t <= 15 ? -5 : 1300; }),
       {"{\"kind\": \"probe_fault\", \"column\": \"EGT2\", \"start_s\": 10, \"end_s\": 15, "
        "\"severity\": \"caution\", \"evidence\": {\"zero_s\": 5, \"spikes\": 0}, \"text\": "
        "\"EGT2 reads 0 for 5 s while the others read normally: an open or shorted probe\"}"}},
      {"0 while another CHT reads 199 is a cold engine, not a probe", kModel5100,
       Seconds(0, 60,
               [](EngineSample& s, int t) {
                 s.cht[2] = t >= 10 && t <= 15 ? 0 : 350;
                 s.cht[0] = 199;
               }),
       {}},
      {"three single-sample jumps of 200 are a probe fault", kModel5100,
       Seconds(0, 60,
               [](EngineSample& s, int t) {
                 if (t == 10 || t == 20 || t == 30)
                   s.egt[3] = 1500;
               }),
       {"{\"kind\": \"probe_fault\", \"column\": \"EGT4\", \"start_s\": 10, \"end_s\": 30, "
        "\"severity\": \"caution\", \"evidence\": {\"zero_s\": 0, \"spikes\": 3}, \"text\": "
        "\"EGT4 jumps 200 or more for a single sample 3 times: a loose or failing probe\"}"}},
      {"two jumps are not", kModel5100,
       Seconds(0, 60,
               [](EngineSample& s, int t) {
                 if (t == 10 || t == 20)
                   s.egt[3] = 1500;
               }),
       {}},
      {"jumps of 199 are not", kModel5100,
       Seconds(0, 60,
               [](EngineSample& s, int t) {
                 if (t == 10 || t == 20 || t == 30)
                   s.egt[3] = 1499;
               }),
       {}},
      {"a step of 200 that stays is not a spike", kModel5100,
       Seconds(0, 60,
               [](EngineSample& s, int t) {
                 if (t % 20 >= 10)
                   s.egt[3] = 1500;
               }),
       {}},
      {"Volt 12.9 for 30 s at 1500 rpm is a dead alternator", kModel5100,
       Seconds(0, 100,
               [](EngineSample& s, int t) {
                 s.tach = 1500;
                 if (t >= 10 && t <= 40)
                   s.volt = t == 25 ? 12.4f : 12.9f;
               }),
       {"{\"kind\": \"low_voltage\", \"column\": \"Volt\", \"start_s\": 10, \"end_s\": 40, "
        "\"severity\": \"warning\", \"evidence\": {\"min\": 12.4, \"duration_s\": 30}, \"text\": "
        "\"Volt stays below 13 for 30 s with the engine at 1500 rpm or more, down to 12.4: the "
        "alternator is not charging\"}"}},
      {"Volt 13.0 is not low", kModel5100,
       Seconds(0, 100, [](EngineSample& s, int t) { s.volt = t >= 10 && t <= 40 ? 13.0f : 14.0f; }),
       {}},
      {"29 s of low Volt is not enough", kModel5100,
       Seconds(0, 100, [](EngineSample& s, int t) { s.volt = t >= 10 && t <= 39 ? 12.9f : 14.0f; }),
       {}},
      {"low Volt at 1499 rpm does not count", kModel5100,
       Seconds(0, 100,
               [](EngineSample& s, int t) {
                 s.tach = 1499;
                 s.volt = t >= 10 && t <= 40 ? 12.0f : 14.0f;
               }),
       {}},
      {"a 28-volt system is low below 26", kModel5100,
       Seconds(0, 100,
               [](EngineSample& s, int t) { s.volt = t >= 10 && t <= 40 ? 25.9f : 28.0f; }),
       {"{\"kind\": \"low_voltage\", \"column\": \"Volt\", \"start_s\": 10, \"end_s\": 40, "
        "\"severity\": \"warning\", \"evidence\": {\"min\": 25.9, \"duration_s\": 30}, \"text\": "
        "\"Volt stays below 26 for 30 s with the engine at 1500 rpm or more, down to 25.9: the "
        "alternator is not charging\"}"}},
      {"and 26.0 there is not", kModel5100,
       Seconds(0, 100, [](EngineSample& s, int t) { s.volt = t >= 10 && t <= 40 ? 26.0f : 28.0f; }),
       {}},
      {"CHT1 dropping 61 in a minute is fast cooling", kModel5100,
       Seconds(0, 150, Cht1(60, 150, 289)),
       {"{\"kind\": \"fast_cooling\", \"column\": \"CHT1\", \"start_s\": 0, \"end_s\": 119, "
        "\"severity\": \"info\", \"evidence\": {\"rate\": 61}, \"text\": \"CHT1 cools at 61 a "
        "minute: cooling faster than 60 a minute strains the cylinder heads\"}"}},
      {"60 in a minute is not", kModel5100, Seconds(0, 150, Cht1(60, 150, 290)), {}},
      {"every CHT dropping fast is the engine as a whole", kModel3100,
       Seconds(0, 150,
               [](EngineSample& s, int t) {
                 if (t >= 60)
                   s.cht[0] = s.cht[1] = 250;
               }),
       {"{\"kind\": \"fast_cooling\", \"column\": null, \"start_s\": 0, \"end_s\": 119, "
        "\"severity\": \"info\", \"evidence\": {\"rate\": 100}, \"text\": \"Every CHT cools, the "
        "fastest at 100 a minute: cooling faster than 60 a minute strains the cylinder heads\"}"}},
      {"a probe reading 0 is not cooling", kModel5100, Seconds(0, 150, Cht1(60, 64, 0)), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(JsonOf(Detect(c.samples, c.model)), c.json);
  }
}

// EGT3 steps between `high` and `low` every `half` seconds from 30 s on (the first steady
// sample), EGT1 between 1300 and 1300 + `others` every second, Tach 51 higher at `bumpS`.
std::vector<EngineSample> Swinging(int high, int low, int half, int endS, int others = 0,
                                   int bumpS = -1) {
  return Seconds(0, endS, [=](EngineSample& s, int t) {
    s.egt[2] = static_cast<int16_t>(t < 30 || (t - 30) / half % 2 == 0 ? high : low);
    s.egt[0] = static_cast<int16_t>(1300 + (t % 2) * others);
    if (t == bumpS)
      s.tach = 2451;
  });
}

TEST(FindingDetector, EdgesOfTheOscillation) {
  const std::string found =
      "{\"kind\": \"egt_oscillation\", \"column\": \"EGT3\", \"start_s\": 30, \"end_s\": 192, "
      "\"severity\": \"caution\", \"evidence\": {\"period_s\": 54, \"peak_to_peak\": 60, "
      "\"cycles\": 3}, \"text\": \"EGT3 swings 60 F every 54 s at steady power: a sign of a "
      "sticking or burning exhaust valve\"}";
  const std::vector<Case> cases = {
      {"six swings of 60 every 54 s", kModel5100, Swinging(1330, 1270, 27, 219), {found}},
      {"five swings are not enough", kModel5100, Swinging(1330, 1270, 27, 218), {}},
      {"swings of 30 count", kModel5100, Swinging(1330, 1300, 27, 219), {"x"}},
      {"swings of 29 do not", kModel5100, Swinging(1329, 1300, 27, 219), {}},
      {"a high 20 s after the last high counts", kModel5100, Swinging(1330, 1270, 10, 110),
       {"x"}},
      {"18 s does not", kModel5100, Swinging(1330, 1270, 9, 110), {}},
      {"150 s counts", kModel5100, Swinging(1330, 1270, 75, 560), {"x"}},
      {"152 s does not", kModel5100, Swinging(1330, 1270, 76, 570), {}},
      {"another EGT moving 29 leaves it a valve", kModel5100, Swinging(1330, 1270, 27, 219, 29),
       {"x"}},
      {"another EGT moving 30 makes it the engine", kModel5100,
       Swinging(1330, 1270, 27, 219, 30), {}},
      {"a power change in the middle breaks it", kModel5100,
       Swinging(1330, 1270, 27, 219, 0, 100), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::string> json = JsonOf(Detect(c.samples, c.model));
    if (c.json == std::vector<std::string>{"x"}) {
      ASSERT_EQ(json.size(), 1u);
      EXPECT_EQ(json[0].substr(0, 54), found.substr(0, 54));
    } else {
      EXPECT_EQ(json, c.json);
    }
  }
}

// CHT2 climbs a degree a second from 100 s for `riseS` seconds, CHT1 by 1 every `otherEvery`
// seconds, EGT2 falls a degree a second for `egtFallS` seconds from 100 s.
std::vector<EngineSample> Climbing(int riseS, int otherEvery = 0, int egtFallS = 0,
                                   bool everyCht = false) {
  return Seconds(0, 300, [=](EngineSample& s, int t) {
    const int rise = std::clamp(t - 100, 0, riseS);
    s.cht[1] = static_cast<int16_t>(350 + rise);
    if (everyCht)
      s.cht[0] = s.cht[2] = s.cht[3] = s.cht[1];
    if (otherEvery > 0)
      s.cht[0] = static_cast<int16_t>(350 + t / otherEvery);
    s.egt[1] = static_cast<int16_t>(1300 - std::clamp(t - 100, 0, egtFallS));
  });
}

TEST(FindingDetector, EdgesOfTheRunaway) {
  const std::vector<Case> cases = {
      {"CHT2 climbing alone is detonation", kModel5100, Climbing(90),
       {"{\"kind\": \"cht_runaway\", \"column\": \"CHT2\", \"start_s\": 70, \"end_s\": 220, "
        "\"severity\": \"warning\", \"evidence\": {\"rate\": 60, \"rise\": 90, \"egt_change\": "
        "0}, \"text\": \"CHT2 climbs 90 F alone at steady power, up to 60 F a minute: detonation; "
        "reduce power and enrich at once\"}"}},
      {"with its EGT falling 50 it is pre-ignition", kModel5100, Climbing(90, 0, 50),
       {"{\"kind\": \"cht_runaway\", \"column\": \"CHT2\", \"start_s\": 70, \"end_s\": 220, "
        "\"severity\": \"warning\", \"evidence\": {\"rate\": 60, \"rise\": 90, \"egt_change\": "
        "-50}, \"text\": \"CHT2 climbs 90 F alone at steady power, up to 60 F a minute, while its "
        "EGT falls 50: pre-ignition; reduce power at once\"}"}},
      {"a rise of 50 is enough", kModel5100, Climbing(50),
       {"{\"kind\": \"cht_runaway\", \"column\": \"CHT2\", \"start_s\": 70, \"end_s\": 180, "
        "\"severity\": \"warning\", \"evidence\": {\"rate\": 50, \"rise\": 50, \"egt_change\": "
        "0}, \"text\": \"CHT2 climbs 50 F alone at steady power, up to 50 F a minute: detonation; "
        "reduce power and enrich at once\"}"}},
      {"49 is not", kModel5100, Climbing(49), {}},
      {"another CHT at 10 a minute leaves it alone", kModel5100, Climbing(90, 6),
       {"{\"kind\": \"cht_runaway\", \"column\": \"CHT2\", \"start_s\": 70, \"end_s\": 220, "
        "\"severity\": \"warning\", \"evidence\": {\"rate\": 60, \"rise\": 90, \"egt_change\": "
        "0}, \"text\": \"CHT2 climbs 90 F alone at steady power, up to 60 F a minute: detonation; "
        "reduce power and enrich at once\"}"}},
      {"another CHT at 12 a minute makes it the engine", kModel5100, Climbing(90, 5), {}},
      {"every CHT climbing together is a climb", kModel5100, Climbing(90, 0, 0, true), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(JsonOf(Detect(c.samples, c.model)), c.json);
  }
}

TEST(FindingDetector, TwoCoolingStretchesFarApartStaySeparate) {
  // CHT2 steps down 70 at 60 s and again at 200 s: pairs end at 60..119 and 200..259, more
  // than 30 s apart.
  const std::vector<Finding> found = Detect(Seconds(0, 300, [](EngineSample& s, int t) {
    s.cht[1] = static_cast<int16_t>(t < 60 ? 400 : t < 200 ? 330 : 260);
  }));
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].startMs, 0);
  EXPECT_EQ(found[0].endMs, 119000);
  EXPECT_EQ(found[1].startMs, 140000);
  EXPECT_EQ(found[1].endMs, 259000);
  EXPECT_EQ(found[1].column, (SampleColumn{Field::kCht, 1}));
  EXPECT_EQ(found[1].evidence, (std::vector<std::pair<std::string, double>>{{"rate", 70}}));
}

TEST(FindingDetector, FindingsAppearWhileTheRunGoesOnAndInTheFinishedRun) {
  std::vector<EngineSample> samples = Seconds(0, 120, [](EngineSample& s, int t) {
    if (t >= 10 && t <= 50)
      s.volt = 12.0f;
  });
  FlightAnalyzer analyzer(kModel5100, Limits());
  for (const EngineSample& s : samples) {
    analyzer.Add(s);
    const std::optional<RunSummary> live = analyzer.CurrentRun();
    if (live && s.tickMs >= 60000) {
      ASSERT_EQ(live->findings.size(), 1u);
      EXPECT_EQ(live->findings[0].kind, "low_voltage");
    }
  }
  analyzer.Finish();
  ASSERT_EQ(analyzer.FinishedRuns().size(), 1u);
  const std::vector<Finding>& found = analyzer.FinishedRuns()[0].findings;
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(FindingText(found[0]),
            "warning: Volt stays below 13 for 40 s with the engine at 1500 rpm or more, down to "
            "12: the alternator is not charging (0:00:10 to 0:00:50)");
}

}  // namespace
}  // namespace ovixlog
