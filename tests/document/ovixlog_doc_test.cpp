#include "document/ovixlog_doc.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "doc_fixture.h"

namespace ovixlog {
namespace {

using test::DocFixture;

TEST(SampleStore, KeepsOneSamplePerSecondAgainstTheLastStoredSample) {
  DocFixture f;
  for (uint32_t stamp : {0u, 400u, 999u, 1000u, 1500u, 2100u})
    f.Add(stamp, static_cast<int16_t>(stamp));
  ASSERT_EQ(f.doc->SampleCount(), 3);
  EXPECT_EQ(f.doc->SampleAt(0).tickMs, 0u);
  EXPECT_EQ(f.doc->SampleAt(1).tickMs, 1000u);
  EXPECT_EQ(f.doc->SampleAt(2).tickMs, 2100u);
  EXPECT_EQ(f.view.samplesAdded, 3) << "discarded samples are not announced";
  EXPECT_TRUE(f.doc->IsModified());
}

TEST(SampleStore, StoresAStampEarlierThanTheLastStoredOne) {
  DocFixture f;
  f.Add(5000);
  f.Add(100);
  f.Add(0xFFFFFFF0u);
  f.Add(200);  // the tick counter wrapped: 216 ms later
  EXPECT_EQ(f.doc->SampleCount(), 3);
}

TEST(SampleStore, IgnoresANullSample) {
  DocFixture f;
  f.doc->AddSample(nullptr, &f.view);
  EXPECT_EQ(f.doc->SampleCount(), 0);
  EXPECT_EQ(f.view.samplesAdded, 0);
  EXPECT_FALSE(f.doc->IsModified());
}

TEST(SampleStore, KeepAllGovernsTheSamplesAddedFromThenOn) {
  struct Case {
    const char* name;
    bool keepAllAtStart;
    int toggleBefore;  // index of the sample before which Keep All is toggled; -1 never
    std::vector<uint32_t> stamps;
    std::vector<uint32_t> stored;
  };
  const Case cases[] = {
      {"one a second", false, -1, {0, 400, 1000, 1200, 2000}, {0, 1000, 2000}},
      {"every sample", true, -1, {0, 400, 1000, 1200, 1200}, {0, 400, 1000, 1200, 1200}},
      {"every sample, then one a second",
       true,
       3,
       {0, 100, 200, 700, 1199, 1200},
       {0, 100, 200, 1200}},
      {"one a second, then every sample", false, 2, {0, 300, 600, 700, 800}, {0, 600, 700, 800}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    StartupSettings settings;
    settings.keepAllSamples = c.keepAllAtStart ? 1 : 0;
    DocFixture f(settings);
    for (size_t i = 0; i < c.stamps.size(); ++i) {
      if (static_cast<int>(i) == c.toggleBefore)
        f.doc->OnKeepAllSamples();
      f.Add(c.stamps[i]);
    }
    std::vector<uint32_t> stored;
    for (int i = 0; i < f.doc->SampleCount(); ++i)
      stored.push_back(f.doc->SampleAt(i).tickMs);
    EXPECT_EQ(stored, c.stored);
    EXPECT_EQ(f.view.samplesAdded.load(), static_cast<int>(c.stored.size()));
  }
}

TEST(SampleStore, MeasuresTheRuleAtFirstAndThenTheLastRowOfTheTable) {
  StartupSettings threeThousand;
  threeThousand.model = kModel3100;
  EXPECT_EQ(DocFixture().doc->GetMaxRowWidth(), 156);
  EXPECT_EQ(DocFixture(threeThousand).doc->GetMaxRowWidth(), 111);

  DocFixture never;
  never.doc->DeleteContents();
  EXPECT_EQ(never.doc->GetMaxRowWidth(), 156) << "clearing a never-filled store keeps the width";

  DocFixture filled;
  filled.Add(0);
  filled.doc->DeleteContents();
  EXPECT_EQ(filled.doc->GetMaxRowWidth(), 0);
  EXPECT_EQ(filled.doc->SampleCapacity(), 0);

  // Newest first, the measured row is the oldest sample's: a wider new sample is not seen.
  for (bool oldestFirst : {false, true}) {
    StartupSettings settings;
    settings.oldestFirst = oldestFirst ? 1 : 0;
    DocFixture f(settings);
    f.Add(0);
    EngineSample wide = test::ExampleSample();
    wide.alt = 123456;
    wide.tickMs = 5000;
    f.doc->AddSample(std::make_unique<EngineSample>(wide), &f.view);
    EXPECT_EQ(f.doc->GetMaxRowWidth(), oldestFirst ? 157 : 156);
  }
}

TEST(Rows, EmptyStoreHasHeaderAndRuleOnly) {
  DocFixture f;
  EXPECT_EQ(f.doc->GetRowCount(), 2);
  EXPECT_EQ(f.DisplayRow(0).substr(0, 13), "Flt-Time Tach");
  EXPECT_EQ(f.DisplayRow(1), std::string(156, '-'));
  for (int row : {-1, 2, 100})
    EXPECT_EQ(f.DisplayRow(row), "") << row;
  EXPECT_EQ(f.CsvRow(0).substr(0, 13), "Flt-Time,Tach");
  for (int row : {-1, 1})
    EXPECT_EQ(f.CsvRow(row), "") << row;
}

TEST(Rows, FollowTheOrderSetting) {
  DocFixture f;
  f.Add(0, 1111);
  f.Add(1000, 2222);
  f.Add(2000, 3333);
  auto tachOfDisplay = [&](int row) { return f.DisplayRow(row).substr(9, 4); };
  auto tachOfCsv = [&](int row) { return f.CsvRow(row).substr(9, 4); };
  EXPECT_EQ(tachOfDisplay(2) + tachOfDisplay(3) + tachOfDisplay(4), "333322221111");
  EXPECT_EQ(tachOfCsv(1) + tachOfCsv(2) + tachOfCsv(3), "333322221111");
  EXPECT_EQ(f.DisplayRow(5), "");
  EXPECT_EQ(f.CsvRow(4), "");
  f.doc->OnOldestFirst();
  EXPECT_EQ(tachOfDisplay(2) + tachOfDisplay(3) + tachOfDisplay(4), "111122223333");
  EXPECT_EQ(tachOfCsv(1) + tachOfCsv(2) + tachOfCsv(3), "111122223333");

  std::vector<std::string> rows;
  f.doc->FormatDisplayRows(1, 10, rows);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], f.DisplayRow(1));
  EXPECT_EQ(rows[3], f.DisplayRow(4));
}

TEST(Rows, ShowTheCurrentModelAndTimeColumnForEveryStoredSample) {
  DocFixture f;
  f.Add(0);
  EXPECT_EQ(f.DisplayRow(2).size(), 156u);
  f.doc->OnModel(kModel7100);
  EXPECT_EQ(f.DisplayRow(2).size(), 176u);
  f.doc->OnShowSystemTime();
  EXPECT_EQ(f.DisplayRow(2).size(), 189u);
  EXPECT_EQ(f.DisplayRow(1).size(), 176u) << "the rule has no time segment";
  EXPECT_EQ(f.CsvRow(0).substr(0, 9), "Sys-Time,");
}

// The reading thread adds samples while the user-interface thread formats, clears and replaces
// the reader. Run under ThreadSanitizer too.
TEST(SampleStoreThreads, ReaderThreadAndUserInterfaceThreadShareTheStoreSafely) {
  StartupSettings settings;
  settings.keepAllSamples = 1;
  DocFixture f(settings);
  std::atomic<bool> stop{false};
  std::atomic<int> added{0};
  std::thread producer([&] {
    uint32_t stamp = 0;
    while (!stop) {
      EngineSample s = test::ExampleSample();
      s.tickMs = stamp += 100;
      f.doc->AddSample(std::make_unique<EngineSample>(s), nullptr);
      ++added;
    }
  });
  std::string text;
  std::vector<std::string> rows;
  for (int round = 0; round < 300 || (added < 2000 && round < 1000000); ++round) {
    const int count = f.doc->GetRowCount();
    f.doc->FormatDisplayRow(count - 1, text);
    f.doc->FormatCsvRow(count / 2, text);
    f.doc->FormatDisplayRows(0, 40, rows);
    ASSERT_FALSE(rows.empty());
    for (const auto& row : rows)
      ASSERT_FALSE(row.empty());
    if (round % 50 == 0)
      f.doc->DeleteContents();
    if (round % 100 == 0)
      f.doc->OnNewDocument();
    if (round % 7 == 0)
      f.doc->OnOldestFirst();
    if (round % 11 == 0)
      f.doc->OnNewestFirst();
  }
  stop = true;
  producer.join();
  EXPECT_GT(added.load(), 0);
}

}  // namespace
}  // namespace ovixlog
