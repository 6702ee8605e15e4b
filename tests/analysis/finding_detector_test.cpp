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
                 if (t >= 30)
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

// EGT2 at steady power: 1300 up to 60 s, falling to 1300 - `depth` over `fallS` seconds
// (halfway in between), down until `lastDownS`, 1200 until `backS`, then `back`; EGT1 moves
// by `others` at 65 s and EGT2 reads 0 at `zeroS`.
std::vector<EngineSample> Dropout(int depth, int lastDownS = 62, int backS = 70, int fallS = 1,
                                  int others = 0, int back = 1250, int zeroS = -1) {
  return Seconds(0, 150, [=](EngineSample& s, int t) {
    int value = 1300;
    if (t > 60 && t < 60 + fallS)
      value = 1300 - depth / 2;
    else if (t >= 60 + fallS && t <= lastDownS)
      value = 1300 - depth;
    else if (t > lastDownS && t < backS)
      value = 1200;
    else if (t >= backS)
      value = back;
    s.egt[1] = static_cast<int16_t>(t == zeroS ? 0 : value);
    if (t == 65)
      s.egt[0] = static_cast<int16_t>(1300 + others);
  });
}

std::string DropoutJson(int start, int end, int drop) {
  const std::string duration = std::to_string(end - start);
  return "{\"kind\": \"egt_dropout\", \"column\": \"EGT2\", \"start_s\": " + std::to_string(start) +
         ", \"end_s\": " + std::to_string(end) +
         ", \"severity\": \"caution\", \"evidence\": {\"drop\": " + std::to_string(drop) +
         ", \"duration_s\": " + duration + "}, \"text\": \"EGT2 drops " + std::to_string(drop) +
         " F for " + duration +
         " s at steady power and comes back: an exhaust valve sticking open for a moment\"}";
}

TEST(FindingDetector, EdgesOfTheDropout) {
  const std::vector<Case> cases = {
      {"a fall of 200 for 2 s, back in 10 s", kModel5100, Dropout(200),
       {DropoutJson(60, 70, 200)}},
      {"a fall of 150 counts", kModel5100, Dropout(150), {DropoutJson(60, 70, 150)}},
      {"149 does not", kModel5100, Dropout(149), {}},
      {"down for a single sample is not enough", kModel5100, Dropout(200, 61), {}},
      {"falling over 3 s counts", kModel5100, Dropout(200, 64, 70, 3),
       {DropoutJson(60, 70, 200)}},
      {"over 4 s it is no dropout", kModel5100, Dropout(200, 64, 70, 4), {}},
      {"back within 50 after 30 s counts", kModel5100, Dropout(200, 62, 90),
       {DropoutJson(60, 90, 200)}},
      {"after 31 s it does not", kModel5100, Dropout(200, 62, 91), {}},
      {"coming back to 51 below is not back", kModel5100, Dropout(200, 62, 70, 1, 0, 1249), {}},
      {"another EGT moving 29 leaves it a valve", kModel5100, Dropout(200, 62, 70, 1, 29),
       {DropoutJson(60, 70, 200)}},
      {"another EGT moving 30 makes it the engine", kModel5100, Dropout(200, 62, 70, 1, 30),
       {}},
      {"a reading of 0 is the probe", kModel5100, Dropout(200, 62, 70, 1, 0, 1250, 62), {}},
      {"the 8100's ninth EGT counts among the others", kModel8100,
       Seconds(0, 150,
               [](EngineSample& s, int t) {
                 s.egt[1] = static_cast<int16_t>(t >= 61 && t <= 62 ? 1100 : 1300);
                 s.egt[8] = static_cast<int16_t>(t == 62 ? 1340 : 1300);
               }),
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(JsonOf(Detect(c.samples, c.model)), c.json);
  }
}

TEST(FindingDetector, NoDropoutBeforeThePowerIsSteady) {
  // The same fall 20 s into the run, and 29 s after a power change of 51 rpm.
  const std::vector<EngineSample> early = Seconds(0, 150, [](EngineSample& s, int t) {
    s.egt[1] = static_cast<int16_t>(t >= 21 && t <= 22 ? 1100 : 1300);
  });
  EXPECT_EQ(JsonOf(Detect(early)), std::vector<std::string>{});
  std::vector<EngineSample> changed = Dropout(200);
  for (EngineSample& s : changed)
    s.tach = static_cast<int16_t>(s.tickMs < 32000 ? 2349 : 2400);
  EXPECT_EQ(JsonOf(Detect(changed)), std::vector<std::string>{});
  for (EngineSample& s : changed)
    s.tach = static_cast<int16_t>(s.tickMs < 30000 ? 2350 : 2400);
  EXPECT_EQ(JsonOf(Detect(changed)), std::vector<std::string>{DropoutJson(60, 70, 200)});
}

// One magneto's turn: Tach `drop` below the run-up's rpm from `fromS` to `toS`, each EGT
// `rise[c]` higher meanwhile; in a finding, `drop` is the rpm_drop reported.
struct Turn {
  int fromS;
  int toS;
  int drop;
  std::vector<int> rise = {60, 60, 60, 60};
};

// A run on the ground: 1000 rpm, then `rpm` from 10 s to 100 s with the turns, then 1000.
std::vector<EngineSample> RunUp(const std::vector<Turn>& turns, int rpm = 1800, int aspd = 0) {
  return Seconds(0, 110, [=](EngineSample& s, int t) {
    s.aspd = static_cast<int16_t>(aspd);
    s.tach = static_cast<int16_t>(t >= 10 && t <= 100 ? rpm : 1000);
    for (const Turn& turn : turns) {
      if (t < turn.fromS || t > turn.toS)
        continue;
      s.tach = static_cast<int16_t>(rpm - turn.drop);
      for (size_t c = 0; c < turn.rise.size(); ++c)
        s.egt[c] = static_cast<int16_t>(s.egt[c] + turn.rise[c]);
    }
  });
}

std::string MagJson(const std::string& column, const std::string& severity, int rpm,
                    const std::vector<Turn>& turns, const std::string& text) {
  std::string out = "{\"kind\": \"mag_check\", \"column\": " + column +
                    ", \"start_s\": 10, \"end_s\": 100, \"severity\": \"" + severity +
                    "\", \"evidence\": {\"rpm\": " + std::to_string(rpm) + ", \"dips\": [";
  for (size_t d = 0; d < turns.size(); ++d) {
    out += std::string(d > 0 ? ", " : "") + "{\"start_s\": " + std::to_string(turns[d].fromS) +
           ", \"rpm_drop\": " + std::to_string(turns[d].drop) + ", \"egt_change\": {";
    for (size_t c = 0; c < turns[d].rise.size(); ++c)
      out += (c > 0 ? ", " : "") + std::string("\"EGT") + std::to_string(c + 1) +
             "\": " + std::to_string(turns[d].rise[c]);
    out += "}}";
  }
  return out + "]}, \"text\": \"" + text + "\"}";
}

TEST(FindingDetector, EdgesOfTheMagCheck) {
  const std::vector<Turn> normal = {{30, 35, 100}, {50, 55, 110}};
  const std::vector<Turn> deep = {{30, 35, 175}, {50, 55, 176}};
  const std::vector<Turn> apart = {{30, 35, 100}, {50, 55, 151}};
  const std::vector<Turn> cold = {{30, 35, 100}, {50, 55, 110, {60, 60, 19, 60}}};
  const std::vector<Turn> tepid = {{30, 35, 100}, {50, 55, 110, {60, 60, 20, 60}}};
  const std::vector<Turn> weak = {{30, 35, 100}, {50, 55, 110, {39, 40, 0, 40}}};
  const std::vector<Turn> justWarm = {{30, 35, 100}, {50, 55, 110, {40, 40, 0, 40}}};
  const std::string within = "Mag check at 1800 rpm: drops of 100 and 110 rpm, within limits";
  const std::vector<Case> cases = {
      {"two drops of 100 and 110, every EGT rising", kModel5100, RunUp(normal),
       {MagJson("null", "info", 1800, normal, within)}},
      {"a drop of 176 is too deep", kModel5100, RunUp(deep),
       {MagJson("null", "caution", 1800, deep,
                "Mag check at 1800 rpm: drops of 175 and 176 rpm, more than 175: have the "
                "magnetos and plugs looked at")}},
      {"175 is not", kModel5100, RunUp({{30, 35, 175}}),
       {MagJson("null", "info", 1800, {{30, 35, 175}},
                "Mag check at 1800 rpm: a drop of 175 rpm, within limits")}},
      {"drops 51 apart", kModel5100, RunUp(apart),
       {MagJson("null", "caution", 1800, apart,
                "Mag check at 1800 rpm: drops of 100 and 151 rpm, 51 apart, more than 50: have "
                "the magnetos and plugs looked at")}},
      {"drops 50 apart are not", kModel5100, RunUp({{30, 35, 100}, {50, 55, 150}}),
       {MagJson("null", "info", 1800, {{30, 35, 100}, {50, 55, 150}},
                "Mag check at 1800 rpm: drops of 100 and 150 rpm, within limits")}},
      {"EGT3 rising 19 while the others rise 60 is a fouled plug", kModel5100, RunUp(cold),
       {MagJson("\"EGT3\"", "warning", 1800, cold,
                "EGT3 changes 19 F on one magneto while the other EGTs rise 60 F: a fouled plug "
                "or a bad lead on that cylinder")}},
      {"rising 20 is not", kModel5100, RunUp(tepid),
       {MagJson("null", "info", 1800, tepid, within)}},
      {"nor while the others rise less than 40", kModel5100, RunUp(weak),
       {MagJson("null", "info", 1800, weak, within)}},
      {"40 is enough", kModel5100, RunUp(justWarm),
       {MagJson("\"EGT3\"", "warning", 1800, justWarm,
                "EGT3 changes 0 F on one magneto while the other EGTs rise 40 F: a fouled plug "
                "or a bad lead on that cylinder")}},
      {"a dip of 26 counts", kModel5100, RunUp({{30, 35, 26}}),
       {MagJson("null", "info", 1800, {{30, 35, 26}},
                "Mag check at 1800 rpm: a drop of 26 rpm, within limits")}},
      {"25 is no dip", kModel5100, RunUp({{30, 35, 25}}), {}},
      {"a dip of 2 s counts", kModel5100, RunUp({{30, 32, 100}}),
       {MagJson("null", "info", 1800, {{30, 32, 100}},
                "Mag check at 1800 rpm: a drop of 100 rpm, within limits")}},
      {"1 s is no dip", kModel5100, RunUp({{30, 31, 100}}), {}},
      {"a dip of 30 s counts", kModel5100, RunUp({{30, 60, 100}}),
       {MagJson("null", "info", 1800, {{30, 60, 100}},
                "Mag check at 1800 rpm: a drop of 100 rpm, within limits")}},
      {"31 s is no dip", kModel5100, RunUp({{30, 61, 100}}), {}},
      {"a run-up at 1500", kModel5100, RunUp({{30, 35, 100}}, 1500),
       {MagJson("null", "info", 1500, {{30, 35, 100}},
                "Mag check at 1500 rpm: a drop of 100 rpm, within limits")}},
      {"1475 is 25 below 1500, not a dip", kModel5100, RunUp({{30, 35, 100}}, 1475),
       {MagJson("null", "info", 1500, {{30, 35, 125}},
                "Mag check at 1500 rpm: a drop of 125 rpm, within limits")}},
      {"1450 is within 50 of 1500 but all of it a stretch too long for a dip", kModel5100,
       RunUp({{30, 35, 100}}, 1450), {}},
      {"1449 is no run-up", kModel5100, RunUp({{30, 35, 100}}, 1449), {}},
      {"2250 is within 50 of 2200", kModel5100, RunUp({{30, 35, 100}}, 2250),
       {MagJson("null", "info", 2200, {{30, 35, 50}},
                "Mag check at 2200 rpm: a drop of 50 rpm, within limits")}},
      {"2251 is no run-up", kModel5100, RunUp({{30, 35, 100}}, 2251), {}},
      {"at 29 knots the aircraft is on the ground", kModel5100, RunUp({{30, 35, 100}}, 1800, 29),
       {MagJson("null", "info", 1800, {{30, 35, 100}},
                "Mag check at 1800 rpm: a drop of 100 rpm, within limits")}},
      {"at 30 knots it is flying", kModel5100, RunUp({{30, 35, 100}}, 1800, 30), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(JsonOf(Detect(c.samples, c.model)), c.json);
  }
}

TEST(FindingDetector, AProbeReadingZeroIsLeftOutOfTheMagCheck) {
  // EGT3 reads 0 just before the second dip: no change for it there, and no fouled plug.
  std::vector<EngineSample> samples = RunUp({{30, 35, 100}, {50, 55, 110}});
  samples[49].egt[2] = 0;
  EXPECT_EQ(JsonOf(Detect(samples)),
            std::vector<std::string>{
                "{\"kind\": \"mag_check\", \"column\": null, \"start_s\": 10, \"end_s\": 100, "
                "\"severity\": \"info\", \"evidence\": {\"rpm\": 1800, \"dips\": [{\"start_s\": 30, "
                "\"rpm_drop\": 100, \"egt_change\": {\"EGT1\": 60, \"EGT2\": 60, \"EGT3\": 60, "
                "\"EGT4\": 60}}, {\"start_s\": 50, \"rpm_drop\": 110, \"egt_change\": {\"EGT1\": 60, "
                "\"EGT2\": 60, \"EGT4\": 60}}]}, \"text\": \"Mag check at 1800 rpm: drops of 100 and "
                "110 rpm, within limits\"}"});
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
