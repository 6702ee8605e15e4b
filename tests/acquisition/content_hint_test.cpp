// The content hint on whole simulated flights of every model, decoded under every model, and on
// hand-made samples at its edges.
#include "acquisition/content_hint.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/frame_assembler.h"
#include "acquisition/frame_builder.h"
#include "acquisition/sample_sink.h"
#include "ovixlog-sim/flight_generator.h"

namespace ovixlog {
namespace {

// Collects what the assembler decodes into a hint.
class HintSink : public SampleSink {
 public:
  explicit HintSink(EngineModel chosen) : hint(chosen) {}
  void AddSample(std::unique_ptr<EngineSample> sample, SampleNotifier*) override {
    hint.Add(*sample);
  }
  ContentHint hint;
};

// A lean-test flight sent by a monitor of model `sent`, framed and decoded as model `chosen`.
std::optional<ContentSuggestion> Judge(EngineModel sent, EngineModel chosen, uint64_t* samples) {
  sim::FlightGenerator flight(sent, 7, sim::Scenario::kLeanTest);
  std::vector<uint8_t> bytes;
  const int frames = flight.ScenarioSeconds() * 12;
  for (int i = 0; i < frames; ++i)
    FrameBuilder::Append(bytes, flight.Next(), sent, 0);
  const std::atomic<int32_t> model{chosen};
  const std::atomic<int32_t> alt{0};
  HintSink sink(chosen);
  FrameAssembler assembler(model, alt, &sink, nullptr);
  assembler.Feed(FrameAssembler::kNoStamp, bytes.data(), bytes.size());
  *samples = sink.hint.samples();
  return sink.hint.Suggestion();
}

struct Case {
  const char* name;
  EngineModel sent;
  EngineModel chosen;
  // "" no hint, "implausible", or the model number suggested.
  const char* expected;
};

class ContentHintFlights : public ::testing::TestWithParam<Case> {};

TEST_P(ContentHintFlights, SuggestsWhatTheReadingsShow) {
  const Case& c = GetParam();
  uint64_t samples = 0;
  const std::optional<ContentSuggestion> hint = Judge(c.sent, c.chosen, &samples);
  std::string verdict;
  if (hint) {
    verdict = hint->kind == ContentSuggestion::Kind::kImplausible
                  ? "implausible"
                  : std::to_string(ModelNumber(hint->model));
  }
  EXPECT_EQ(verdict, c.expected) << samples << " samples";
}

// Every pair of models. Long-layout data read under the short layout (and the other way) frames
// only by chance, and those frames hold impossible values. The long models decode alike, so a
// 7100 read as 8100 is indistinguishable, and a 5100 read as a bigger model only shows empty
// columns.
INSTANTIATE_TEST_SUITE_P(
    EveryModelReadAsEveryModel, ContentHintFlights,
    ::testing::Values(Case{"5100as5100", kModel5100, kModel5100, ""},
                      Case{"5100as3100", kModel5100, kModel3100, "implausible"},
                      Case{"5100as7100", kModel5100, kModel7100, ""},
                      Case{"5100as8100", kModel5100, kModel8100, ""},
                      Case{"3100as5100", kModel3100, kModel5100, "implausible"},
                      Case{"3100as3100", kModel3100, kModel3100, ""},
                      Case{"3100as7100", kModel3100, kModel7100, "implausible"},
                      Case{"3100as8100", kModel3100, kModel8100, "implausible"},
                      Case{"7100as5100", kModel7100, kModel5100, "7100"},
                      Case{"7100as3100", kModel7100, kModel3100, "implausible"},
                      Case{"7100as7100", kModel7100, kModel7100, ""},
                      Case{"7100as8100", kModel7100, kModel8100, ""},
                      Case{"8100as5100", kModel8100, kModel5100, "8100"},
                      Case{"8100as3100", kModel8100, kModel3100, "implausible"},
                      Case{"8100as7100", kModel8100, kModel7100, "8100"},
                      Case{"8100as8100", kModel8100, kModel8100, ""}),
    [](const ::testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

EngineSample Cylinders(std::initializer_list<int> cht, std::initializer_list<int> egt) {
  EngineSample s;
  s.tach = 2400;
  s.oilT = 180;
  s.volt = 14.0f;
  int i = 0;
  for (int v : cht)
    s.cht[i++] = static_cast<int16_t>(v);
  i = 0;
  for (int v : egt)
    s.egt[i++] = static_cast<int16_t>(v);
  return s;
}

TEST(ContentHint, NoVerdictOnTooFewSamples) {
  ContentHint hint(kModel5100);
  const EngineSample six = Cylinders({350, 351, 352, 353, 354, 355}, {1300, 1301, 1302, 1303, 1304, 1305});
  for (uint64_t i = 0; i + 1 < ContentHint::kMinSamples; ++i)
    hint.Add(six);
  EXPECT_FALSE(hint.Suggestion());
  hint.Add(six);
  ASSERT_TRUE(hint.Suggestion());
  EXPECT_EQ(hint.Suggestion()->Text(kModel5100),
            "These readings look like Model 7100, not Model 5100: readings in CHT5-6 and EGT5-6");
}

TEST(ContentHint, EmptySlotsOfTheHiddenCylindersFitTheModel) {
  ContentHint hint(kModel5100);
  for (int i = 0; i < 10; ++i)
    hint.Add(Cylinders({350, 351, 352, 353, 0, 0}, {1300, 1301, 1302, 1303, 0, 0}));
  EXPECT_FALSE(hint.Suggestion());
}

TEST(ContentHint, ImpossibleValuesInMostSamplesNameTheFirst) {
  ContentHint hint(kModel5100);
  EngineSample wrong = Cylinders({350, 351, 352, 353}, {1300, 1301, 1302, 14080});
  wrong.fuel = 6323.0f;
  hint.Add(Cylinders({350, 351, 352, 353}, {1300, 1301, 1302, 1303}));
  hint.Add(wrong);
  hint.Add(wrong);
  ASSERT_TRUE(hint.Suggestion());
  EXPECT_EQ(hint.Suggestion()->kind, ContentSuggestion::Kind::kImplausible);
  EXPECT_EQ(hint.Suggestion()->Text(kModel5100),
            "Most frames read as Model 5100 hold impossible values (EGT4 14080): the model or "
            "format is wrong");
  hint.Reset(kModel5100);
  EXPECT_EQ(hint.samples(), 0u);
  EXPECT_FALSE(hint.Suggestion());
}

TEST(ContentHint, ImpossibleValuesOnlyInHiddenColumnsDoNotCount) {
  ContentHint hint(kModel3100);
  for (int i = 0; i < 5; ++i)
    hint.Add(Cylinders({350, 351, 9999}, {1300, 1301, 9999}));
  EXPECT_FALSE(hint.Suggestion());
}

}  // namespace
}  // namespace ovixlog
