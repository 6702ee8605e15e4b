#include "document/store_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "support/test_support.h"

namespace ovixlog {
namespace {

// The table built row by row with the formatter, the way the window shows it.
std::string ExpectedTable(const SampleStore& store, int32_t count, RowStyle style,
                          RowSettings settings, bool oldestFirst) {
  std::string table;
  RowBuffer row;
  RowFormatter::Header(style, settings, row);
  table.append(row.view()).append("\r\n");
  if (style == RowStyle::kDisplay) {
    RowFormatter::Rule(settings.model, row);
    table.append(row.view()).append("\r\n");
  }
  for (int32_t k = 0; k < count; ++k) {
    RowFormatter::Sample(style, settings, store.At(oldestFirst ? k : count - 1 - k), row);
    table.append(row.view()).append("\r\n");
  }
  return table;
}

TEST(StoreWriter, WritesEitherOrderAcrossBatchesAsTheTableShowsIt) {
  struct Case {
    RowStyle style;
    bool oldestFirst;
    int32_t count;  // of the stored samples, the first this many are written
  };
  const Case cases[] = {
      {RowStyle::kDisplay, false, 9000}, {RowStyle::kDisplay, true, 9000},
      {RowStyle::kCsv, false, 4097},     {RowStyle::kCsv, true, 4096},
      {RowStyle::kDisplay, false, 0},    {RowStyle::kCsv, true, 1},
  };
  SampleStore store(0);
  for (uint32_t i = 0; i < 9003; ++i) {
    EngineSample s = test::ExampleSample();
    s.tickMs = i;
    s.tach = static_cast<int16_t>(i % 3000);
    store.Add(s, true);
  }
  const RowSettings settings{kModel7100, true};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.count << (c.oldestFirst ? " oldest" : " newest"));
    std::string written;
    ASSERT_TRUE(StoreWriter::Write(store, c.count, c.style, settings, c.oldestFirst,
                                   [&written](std::string_view bytes) {
                                     written.append(bytes);
                                     return true;
                                   }));
    EXPECT_EQ(written, ExpectedTable(store, c.count, c.style, settings, c.oldestFirst));
  }
}

TEST(StoreWriter, StopsAtTheFirstFailedWrite) {
  SampleStore store(0);
  for (uint32_t i = 0; i < 5000; ++i) {
    EngineSample s = test::ExampleSample();
    s.tickMs = i;
    store.Add(s, true);
  }
  int calls = 0;
  EXPECT_FALSE(StoreWriter::Write(store, 5000, RowStyle::kDisplay, RowSettings{}, true,
                                  [&calls](std::string_view) {
                                    ++calls;
                                    return false;
                                  }));
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace ovixlog
