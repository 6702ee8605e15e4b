#include "document/sample_store.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/test_support.h"

namespace ovixlog {
namespace {

EngineSample Stamped(uint32_t stamp, int32_t alt = 1500) {
  EngineSample s = test::ExampleSample();
  s.tickMs = stamp;
  s.alt = alt;
  return s;
}

int32_t DisplayWidth(const EngineSample& sample, RowSettings settings = {}) {
  RowBuffer row;
  RowFormatter::Sample(RowStyle::kDisplay, settings, sample, row);
  return static_cast<int32_t>(row.size());
}

TEST(SampleStore, StoredSamplesKeepTheirAddressesAcrossChunks) {
  SampleStore store(0);
  const int32_t total = 3 * SampleStore::kChunkSize + 7;
  std::vector<const EngineSample*> first;
  ASSERT_TRUE(store.Add(Stamped(0), true));
  ASSERT_EQ(store.Get(0, 1, first), 1);
  const EngineSample* oldest = first[0];
  for (int32_t i = 1; i < total; ++i)
    ASSERT_TRUE(store.Add(Stamped(static_cast<uint32_t>(i)), true));
  std::vector<const EngineSample*> all;
  ASSERT_EQ(store.Get(0, total, all), total);
  EXPECT_EQ(all[0], oldest) << "growing moved a stored sample";
  for (int32_t i = 0; i < total; ++i)
    ASSERT_EQ(all[static_cast<size_t>(i)]->tickMs, static_cast<uint32_t>(i)) << i;
  EXPECT_EQ(store.At(SampleStore::kChunkSize).tickMs, static_cast<uint32_t>(SampleStore::kChunkSize));
  EXPECT_EQ(store.At(total).tickMs, 0u) << "out of range gives an empty sample";
  EXPECT_EQ(store.At(-1), EngineSample{});
}

TEST(SampleStore, GetClipsItsRangeToTheStore) {
  struct Case {
    int32_t first, maxCount, expected, firstStamp;
  };
  const Case cases[] = {
      {0, 10, 5, 0}, {3, 10, 2, 3000}, {-4, 2, 2, 0}, {5, 3, 0, -1}, {2, -1, 0, -1},
      {1, 2147483647, 4, 1000},
  };
  SampleStore store(0);
  for (uint32_t i = 0; i < 5; ++i)
    store.Add(Stamped(i * 1000), false);
  for (const Case& c : cases) {
    std::vector<const EngineSample*> out{nullptr};
    EXPECT_EQ(store.Get(c.first, c.maxCount, out), c.expected) << c.first << " " << c.maxCount;
    ASSERT_EQ(out.size(), static_cast<size_t>(c.expected));
    if (c.expected > 0) {
      EXPECT_EQ(out[0]->tickMs, static_cast<uint32_t>(c.firstStamp));
    }
  }
}

TEST(SampleStore, CapacityGrowsInStepsAndClearsToNothing) {
  struct Case {
    bool keepAll;
    int32_t samples, capacity;
  };
  const Case cases[] = {{false, 1, 10}, {false, 10, 10}, {false, 11, 20}, {true, 1, 50},
                        {true, 50, 50}, {true, 51, 100}, {true, 0, 0}};
  for (const Case& c : cases) {
    SampleStore store(42);
    for (int32_t i = 0; i < c.samples; ++i)
      store.Add(Stamped(static_cast<uint32_t>(i) * 1000), c.keepAll);
    EXPECT_EQ(store.Capacity(), c.capacity) << c.samples;
    EXPECT_EQ(store.Count(), c.samples);
    store.Clear();
    EXPECT_EQ(store.Count(), 0);
    EXPECT_EQ(store.Capacity(), 0);
    EXPECT_EQ(store.MaxRowWidth({}, true), c.samples == 0 ? 42 : 0)
        << "a store that never held a sample keeps its first width";
  }
}

TEST(SampleStore, WidthIsTheWidestLastRowAsEachSampleCame) {
  const EngineSample narrow = Stamped(0);
  const EngineSample wide = Stamped(1000, 123456);
  ASSERT_GT(DisplayWidth(wide), DisplayWidth(narrow));
  const RowSettings withTime{kModel5100, true};
  ASSERT_GT(DisplayWidth(narrow, withTime), DisplayWidth(wide));
  struct Case {
    const char* name;
    bool oldestFirst;
    bool measureBetween;  // asked for the width (under the time column) between the samples
    int32_t expected;
  };
  const Case cases[] = {
      {"oldest first: every new sample is the last row", true, false, DisplayWidth(wide)},
      {"newest first: the oldest sample stays the last row", false, false, DisplayWidth(narrow)},
      {"a measure under other settings is kept", false, true, DisplayWidth(narrow, withTime)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SampleStore store(0);
    store.Add(narrow, true);
    if (c.measureBetween)
      store.MeasurePending(withTime, c.oldestFirst);
    store.Add(wide, true);
    EXPECT_EQ(store.MaxRowWidth({}, c.oldestFirst), c.expected);
  }
}

TEST(SampleStore, LockedViewReadsCountAndSamplesTogether) {
  SampleStore store(0);
  store.Add(Stamped(0), false);
  store.Add(Stamped(500), false);  // under a second after the last: dropped
  store.Add(Stamped(1000), false);
  const SampleStore::Locked held = store.Lock();
  ASSERT_EQ(held.count(), 2);
  EXPECT_EQ(held[1].tickMs, 1000u);
}

}  // namespace
}  // namespace ovixlog
