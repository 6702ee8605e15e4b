#include "document/live_session.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "support/temp_folder.h"
#include "support/test_support.h"

namespace ovixlog {
namespace {

EngineSample Reading(uint32_t stamp, int16_t tach) {
  EngineSample s = test::ExampleSample();
  s.tickMs = stamp;
  s.tach = tach;
  return s;
}

// A session without a port or a recording whose store keeps every sample it is given.
struct SessionFixture {
  SessionFixture()
      : session(folder.path(), false,
                [this](std::unique_ptr<EngineSample> sample, SampleNotifier*) {
                  kept.push_back(*sample);
                  return true;
                }) {}
  void Live(uint32_t stamp, int16_t tach) {
    session.AddSample(std::make_unique<EngineSample>(Reading(stamp, tach)), nullptr);
  }
  std::vector<uint32_t> KeptStamps() const {
    std::vector<uint32_t> stamps;
    for (const EngineSample& s : kept)
      stamps.push_back(s.tickMs);
    return stamps;
  }

  test::TempFolder folder;
  std::vector<EngineSample> kept;
  LiveSession session;
};

TEST(LiveSession, GateIsClosedWhileAFileIsReviewed) {
  SessionFixture f;
  f.session.SetReviewing(true);
  f.Live(1000, 2000);
  f.session.SetReviewing(false);
  f.Live(2000, 2100);
  EXPECT_EQ(f.KeptStamps(), std::vector<uint32_t>{2000});
}

TEST(LiveSession, HeldSamplesPassTheSeamOfTheReadAgain) {
  struct Case {
    const char* name;
    bool reread;
    uint32_t lastStamp;
    // Held live samples: (stamp, tach); the tail read again has tach 2000 and 2001.
    std::vector<std::pair<uint32_t, int16_t>> held;
    std::vector<uint32_t> kept;
  };
  const Case cases[] = {
      {"samples the file already had are dropped", true, 5000,
       {{4000, 7}, {5000, 8}, {5100, 9}}, {5100}},
      {"a late copy of a frame read again is dropped at the seam", true, 5000,
       {{5083, 2001}, {5166, 9}}, {5166}},
      {"once a new sample passed, equal readings are samples again", true, 5000,
       {{5083, 9}, {5166, 2001}}, {5083, 5166}},
      {"after the seam, equal readings are samples of their own", true, 5000,
       {{7001, 2000}}, {7001}},
      {"nothing read again: every held sample goes on", false, 0, {{10, 2000}, {20, 3}}, {10, 20}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SessionFixture f;
    f.session.BeginHold();
    for (const auto& [stamp, tach] : c.held)
      f.Live(stamp, tach);
    EXPECT_TRUE(f.kept.empty()) << "held samples wait for the end of the hold";
    std::vector<EngineSample> tail;
    if (c.reread)
      tail = {Reading(c.lastStamp - 83, 2000), Reading(c.lastStamp, 2001)};
    f.session.SetRecordedSamples(0);
    f.session.EndHold(tail, c.lastStamp, c.reread);
    EXPECT_EQ(f.KeptStamps(), c.kept);
    EXPECT_EQ(f.session.recordedSamples(), static_cast<int32_t>(c.kept.size()));
  }
}

TEST(LiveSession, TheSeamAlsoJudgesLiveSamplesAfterTheHold) {
  SessionFixture f;
  f.session.BeginHold();
  f.session.EndHold({Reading(900, 2000), Reading(1000, 2001)}, 1000, true);
  f.Live(1083, 2000);  // the frame the file had, completed late
  f.Live(1166, 3000);
  f.Live(1249, 2000);  // the seam closed with the first new sample
  EXPECT_EQ(f.KeptStamps(), (std::vector<uint32_t>{1166, 1249}));
}

}  // namespace
}  // namespace ovixlog
