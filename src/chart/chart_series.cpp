#include "chart/chart_series.h"

#include <algorithm>
#include <cmath>

namespace ovixlog {
namespace {

constexpr size_t kPairs = static_cast<size_t>(kChannelCount) * 2;

}  // namespace

int ChartSeries::BucketSize(int level) {
  int size = 1;
  if (level >= 1) {
    size = kLeafBucket;
    for (int l = 1; l < level; ++l)
      size *= kFanOut;
  }
  return size;
}

void ChartSeries::Clear() {
  timesMs_.clear();
  timesMs_.shrink_to_fit();
  breaks_.clear();
  breaks_.shrink_to_fit();
  levels_.clear();
  lastStamp_ = 0;
}

void ChartSeries::Append(const EngineSample& sample) {
  const int n = size();
  int64_t time = 0;
  if (n > 0) {
    // Unsigned difference: a counter that wrapped still moves forward by the right amount.
    uint32_t step = sample.tickMs - lastStamp_;
    if (step >= 0x80000000u) {
      step = 0;
      breaks_.push_back(n);
    } else if (step > kGapMs) {
      breaks_.push_back(n);
    }
    time = timesMs_.back() + step;
  }
  lastStamp_ = sample.tickMs;
  timesMs_.push_back(time);

  float values[kChannelCount];
  ChannelValues(sample, values);

  // Level 1 takes every sample; a coarser bucket is made only from finer buckets once they are
  // whole, so a sample costs one bucket update plus, amortised, a small fraction of one. The
  // newest, unfinished buckets of the coarser levels are read from their children instead.
  if (levels_.empty())
    levels_.emplace_back();
  std::vector<float>& leaf = levels_.front();
  if (n % kLeafBucket == 0) {
    for (int c = 0; c < kChannelCount; ++c) {
      leaf.push_back(values[c]);
      leaf.push_back(values[c]);
    }
  } else {
    float* pair = leaf.data() + static_cast<size_t>(n / kLeafBucket) * kPairs;
    for (int c = 0; c < kChannelCount; ++c, pair += 2) {
      pair[0] = std::min(pair[0], values[c]);
      pair[1] = std::max(pair[1], values[c]);
    }
  }
  if ((n + 1) % kLeafBucket != 0)
    return;
  // A leaf bucket is whole: fold it into its parents as far as they become whole too.
  size_t child = static_cast<size_t>(n / kLeafBucket);
  for (size_t l = 1;; ++l) {
    const size_t parent = child / kFanOut;
    if (levels_.size() == l) {
      if (child != 0)
        return;  // cannot happen: a level starts with its first whole child
      levels_.emplace_back();
    }
    const float* from = levels_[l - 1].data() + child * kPairs;
    std::vector<float>& up = levels_[l];
    if (child % kFanOut == 0) {
      up.insert(up.end(), from, from + kPairs);
    } else {
      float* pair = up.data() + parent * kPairs;
      for (size_t k = 0; k < kPairs; k += 2) {
        pair[k] = std::min(pair[k], from[k]);
        pair[k + 1] = std::max(pair[k + 1], from[k + 1]);
      }
    }
    if (child % kFanOut != kFanOut - 1)
      return;
    child = parent;
  }
}

int ChartSeries::LowerBound(int64_t timeMs) const {
  return static_cast<int>(std::lower_bound(timesMs_.begin(), timesMs_.end(), timeMs) -
                          timesMs_.begin());
}

int ChartSeries::Nearest(int64_t timeMs) const {
  if (timesMs_.empty())
    return -1;
  const int after = LowerBound(timeMs);
  if (after == size())
    return after - 1;
  if (after == 0)
    return 0;
  // A tie goes to the earlier sample.
  return timeMs - TimeMs(after - 1) <= TimeMs(after) - timeMs ? after - 1 : after;
}

bool ChartSeries::BreakBetween(int a, int b) const {
  const auto it = std::upper_bound(breaks_.begin(), breaks_.end(), a);
  return it != breaks_.end() && *it <= b;
}

ChartSeries::Plan ChartSeries::PlanFor(int64_t t0, int64_t t1, int columns) const {
  Plan plan;
  if (columns <= 0 || t1 <= t0)
    return plan;
  const int first = LowerBound(t0);
  const int end = LowerBound(t1);
  const int64_t perColumn = (int64_t{end} - first) / columns;
  for (int l = levelCount(); l >= 1; --l) {
    if (int64_t{BucketSize(l)} <= perColumn) {
      plan.level = l;
      return plan;
    }
  }
  plan.rawFirst = std::max(first - 1, 0);
  plan.rawEnd = std::min(end + 1, size());
  return plan;
}

void ChartSeries::AddToColumn(int first, int last, float min, float max, Envelope& out) const {
  const double x = static_cast<double>(TimeMs(first) - viewT0_) * columnsPerMs_;
  const int column = static_cast<int>(std::clamp(std::floor(x), 0.0, viewColumns_ - 1.0));
  Column& c = out.columns[static_cast<size_t>(column)];
  if (c.first < 0) {
    c.min = min;
    c.max = max;
    c.first = first;
    c.last = last;
    return;
  }
  c.min = std::min(c.min, min);
  c.max = std::max(c.max, max);
  c.first = std::min(c.first, first);
  c.last = std::max(c.last, last);
}

void ChartSeries::AddBucket(int level, int bucket, int channel, const RawAccess& raw,
                             Envelope& out) const {
  const int size = BucketSize(level);
  const int start = bucket * size;
  const int last = std::min(start + size, this->size()) - 1;
  if (start > last)
    return;
  if (level == 0) {
    const double x = static_cast<double>(TimeMs(start) - viewT0_) * columnsPerMs_;
    // A sample outside the view that came with a bucket split at a break is left out.
    if (x < 0.0 || x >= viewColumns_)
      return;
    const EngineSample* sample = raw(start);
    if (sample == nullptr)
      return;
    const float value = ChannelValue(*sample, channel);
    AddToColumn(start, start, value, value, out);
    return;
  }
  // A bucket that holds a break, or one not yet whole above the leaf level, is read from its
  // children.
  if (BreakBetween(start, last) || (level > 1 && start + size > this->size())) {
    // The two sides of a break must land in their own columns.
    const int children = level == 1 ? kLeafBucket : kFanOut;
    for (int child = 0; child < children; ++child)
      AddBucket(level - 1, bucket * children + child, channel, raw, out);
    return;
  }
  const float* pair = levels_[static_cast<size_t>(level - 1)].data() +
                      static_cast<size_t>(bucket) * kPairs + static_cast<size_t>(channel) * 2;
  AddToColumn(start, last, pair[0], pair[1], out);
}

void ChartSeries::Fill(const Plan& plan, int channel, int64_t t0, int64_t t1, int columns,
                        const RawAccess& raw, Envelope& out) const {
  out.columns.assign(static_cast<size_t>(std::max(columns, 0)), Column{});
  out.before = Edge{};
  out.after = Edge{};
  if (columns <= 0 || t1 <= t0 || channel < 0 || channel >= kChannelCount || size() == 0)
    return;
  viewT0_ = t0;
  viewColumns_ = columns;
  columnsPerMs_ = columns / static_cast<double>(t1 - t0);
  const int first = LowerBound(t0);
  const int end = LowerBound(t1);
  if (plan.level == 0) {
    for (int i = first; i < end; ++i)
      AddBucket(0, i, channel, raw, out);
    const auto edge = [&](int index, int neighbour) {
      Edge e;
      const EngineSample* sample = raw(index);
      if (sample == nullptr)
        return e;
      e.present = true;
      e.x = static_cast<double>(TimeMs(index) - t0) * columnsPerMs_;
      e.value = ChannelValue(*sample, channel);
      e.connected = !BreakBetween(std::min(index, neighbour), std::max(index, neighbour));
      return e;
    };
    if (first > 0)
      out.before = edge(first - 1, first);
    if (end < size())
      out.after = edge(end, end - 1);
  } else if (end > first) {
    const int size = BucketSize(plan.level);
    for (int bucket = first / size; bucket <= (end - 1) / size; ++bucket)
      AddBucket(plan.level, bucket, channel, raw, out);
  }
  int previousLast = out.before.present ? first - 1 : -1;
  for (Column& c : out.columns) {
    if (c.first < 0)
      continue;
    c.connected = previousLast >= 0 && !BreakBetween(previousLast, c.first);
    previousLast = c.last;
  }
}

size_t ChartSeries::MemoryBytes() const {
  size_t bytes = timesMs_.capacity() * sizeof(int64_t) + breaks_.capacity() * sizeof(int);
  for (const std::vector<float>& level : levels_)
    bytes += level.capacity() * sizeof(float);
  return bytes;
}

}  // namespace ovixlog
