#include "analysis/fifo.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <vector>

namespace ovixlog {
namespace {

// A sliding window's life: long runs of pushes and pops from both ends, emptied now and then,
// checked against std::deque after every step (compaction must never lose or reorder).
TEST(Fifo, BehavesAsADequeThroughAWindowsLife) {
  std::mt19937 random(7);
  Fifo<int> fifo;
  std::deque<int> expected;
  int next = 0;
  for (int step = 0; step < 200000; ++step) {
    const auto roll = random() % 100;
    if (roll < 55 || expected.empty()) {
      fifo.emplace_back(next);
      expected.push_back(next);
      ++next;
    } else if (roll < 95) {
      fifo.pop_front();
      expected.pop_front();
    } else if (roll < 99) {
      fifo.pop_back();
      expected.pop_back();
    } else {
      fifo.clear();
      expected.clear();
    }
    ASSERT_EQ(fifo.size(), expected.size());
    ASSERT_EQ(fifo.empty(), expected.empty());
    if (!expected.empty()) {
      ASSERT_EQ(fifo.front(), expected.front());
      ASSERT_EQ(fifo.back(), expected.back());
      const size_t middle = expected.size() / 2;
      ASSERT_EQ(fifo[middle], expected[middle]);
    }
  }
  EXPECT_EQ(std::vector<int>(fifo.begin(), fifo.end()),
            std::vector<int>(expected.begin(), expected.end()));
}

}  // namespace
}  // namespace ovixlog
