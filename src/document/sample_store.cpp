#include "document/sample_store.h"

#include <algorithm>

namespace ovixlog {
namespace {
constexpr int32_t kGrowthStep = 10;
constexpr int32_t kKeepAllGrowthStep = 50;
constexpr uint32_t kOneSecondMs = 1000;
// Samples measured per hold of the store's lock.
constexpr int32_t kMeasureBatch = 4096;
}  // namespace

SampleStore::SampleStore(int32_t initialWidth) : width_(initialWidth) {}

bool SampleStore::Add(const EngineSample& sample, bool keepAll) {
  std::lock_guard<std::mutex> guard(lock_);
  if (count_ >= 1 && !keepAll) {
    // Unsigned difference: a stamp earlier than the last stored one (an import restarting its
    // clock, a wrapped tick counter) reads as a large gap and is stored.
    const uint32_t gap = sample.tickMs - AtLocked(count_ - 1).tickMs;
    if (gap < kOneSecondMs)
      return false;
  }
  if (count_ == capacity_)
    capacity_ += keepAll ? kKeepAllGrowthStep : kGrowthStep;
  if (count_ % kChunkSize == 0)
    chunks_.push_back(std::make_unique<EngineSample[]>(static_cast<size_t>(kChunkSize)));
  chunks_.back()[static_cast<size_t>(count_ % kChunkSize)] = sample;
  ++count_;
  return true;
}

void SampleStore::Clear() {
  std::lock_guard<std::mutex> measureGuard(measureLock_);
  std::lock_guard<std::mutex> guard(lock_);
  if (capacity_ == 0)
    return;
  chunks_.clear();
  chunks_.shrink_to_fit();
  count_ = 0;
  capacity_ = 0;
  width_ = 0;
  measuredCount_ = 0;
  oldestMeasured_ = false;
}

int32_t SampleStore::Count() const {
  std::lock_guard<std::mutex> guard(lock_);
  return count_;
}

int32_t SampleStore::Capacity() const {
  std::lock_guard<std::mutex> guard(lock_);
  return capacity_;
}

EngineSample SampleStore::At(int32_t index) const {
  std::lock_guard<std::mutex> guard(lock_);
  if (index < 0 || index >= count_)
    return EngineSample{};
  return AtLocked(index);
}

int32_t SampleStore::Get(int32_t first, int32_t maxCount,
                         std::vector<const EngineSample*>& out) const {
  out.clear();
  std::lock_guard<std::mutex> guard(lock_);
  const int32_t begin = std::max(first, 0);
  const auto end = static_cast<int32_t>(
      std::min<int64_t>(int64_t{begin} + std::max(maxCount, 0), int64_t{count_}));
  for (int32_t i = begin; i < end; ++i)
    out.push_back(&AtLocked(i));
  return static_cast<int32_t>(out.size());
}

int32_t SampleStore::MaxRowWidth(RowSettings settings, bool oldestFirst) const {
  std::lock_guard<std::mutex> measureGuard(measureLock_);
  const int32_t count = Count();
  if (measuredCount_ >= count)
    return width_;
  std::vector<const EngineSample*> batch;
  const auto measure = [this, settings](const EngineSample& sample) {
    RowFormatter::Sample(RowStyle::kDisplay, settings, sample, measureRow_);
    width_ = std::max(width_, static_cast<int32_t>(measureRow_.size()));
  };
  if (oldestFirst) {
    // Each sample was the table's last row when it came.
    for (int32_t first = measuredCount_; first < count; first += kMeasureBatch) {
      Get(first, std::min(kMeasureBatch, count - first), batch);
      for (const EngineSample* sample : batch)
        measure(*sample);
    }
  } else if (!oldestMeasured_ || !(oldestSettings_ == settings)) {
    // Newest first the last row is the oldest sample's, the same row however many came after
    // it: it is measured again only under new settings.
    Get(0, 1, batch);
    measure(*batch.front());
    oldestMeasured_ = true;
    oldestSettings_ = settings;
  }
  measuredCount_ = count;
  return width_;
}

}  // namespace ovixlog
