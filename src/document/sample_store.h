// The window's samples, oldest first, append-only, in fixed-size chunks: growing adds a chunk
// and never moves a stored sample, so the address of a stored sample stays good until the store
// is emptied. Also keeps the widest display row seen, measured when it is asked for rather
// than as samples arrive, so that the reading thread never formats a row.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "acquisition/engine_sample.h"
#include "format/row_buffer.h"
#include "format/row_formatter.h"

namespace ovixlog {

class SampleStore {
 public:
  // Samples per chunk.
  static constexpr int32_t kChunkSize = 1024;

  // `initialWidth`: the width reported before any sample is stored (the rule's).
  explicit SampleStore(int32_t initialWidth);

  // Stores the sample, unless `keepAll` is off and it is less than 1000 ms after the last
  // stored one. True when it was stored. Any thread.
  bool Add(const EngineSample& sample, bool keepAll);
  // Frees every sample. A store that never held one keeps its width; otherwise the width
  // starts again at 0. User-interface thread: addresses handed out become void.
  void Clear();

  int32_t Count() const;
  // The slot count reported to the window: grown in steps of 10 (50 while every sample is
  // kept) as samples arrive, 0 after a clear.
  int32_t Capacity() const;
  // A copy of sample `index`; an empty sample out of range.
  EngineSample At(int32_t index) const;
  // The addresses of up to `maxCount` samples from `first`, under one lock; returns how many.
  int32_t Get(int32_t first, int32_t maxCount, std::vector<const EngineSample*>& out) const;

  // The widest last row of the display table seen so far: each sample stored since the last
  // measure is measured as the table's last row was when it came (oldest first, the newest
  // sample's row; newest first, the oldest sample's). The rows are formatted on the asking
  // thread outside the store's lock (the reading thread never waits for a measure), so only the
  // thread that empties the store may ask: the user-interface thread.
  int32_t MaxRowWidth(RowSettings settings, bool oldestFirst) const;
  // Measures what is pending under the settings about to be replaced: called before the model,
  // the time column or the order changes, so every sample is measured under the settings it
  // was shown with.
  void MeasurePending(RowSettings settings, bool oldestFirst) const { MaxRowWidth(settings, oldestFirst); }

  // The store held still: count and samples read under one lock, for as long as this lives.
  class Locked {
   public:
    int32_t count() const { return store_.count_; }
    const EngineSample& operator[](int32_t index) const { return store_.AtLocked(index); }

   private:
    friend class SampleStore;
    explicit Locked(const SampleStore& store) : store_(store), guard_(store.lock_) {}
    const SampleStore& store_;
    std::lock_guard<std::mutex> guard_;
  };
  Locked Lock() const { return Locked(*this); }

 private:
  const EngineSample& AtLocked(int32_t index) const {
    return chunks_[static_cast<size_t>(index / kChunkSize)][static_cast<size_t>(index % kChunkSize)];
  }

  // lock_ guards the chunks and the counts. It is held for one sample's store or one read
  // (of at most a batch of addresses), never while waiting for another thread.
  mutable std::mutex lock_;
  std::vector<std::unique_ptr<EngineSample[]>> chunks_;
  int32_t count_ = 0;
  int32_t capacity_ = 0;
  // measureLock_ guards the measure: the widest row so far, how many samples it has seen, and
  // the settings the oldest sample was last measured with (newest first, that row stays the
  // last one). Taken before lock_, never inside it.
  mutable std::mutex measureLock_;
  mutable int32_t width_ = 0;
  mutable int32_t measuredCount_ = 0;
  mutable bool oldestMeasured_ = false;
  mutable RowSettings oldestSettings_;
  mutable RowBuffer measureRow_;
};

}  // namespace ovixlog
