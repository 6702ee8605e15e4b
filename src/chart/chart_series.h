// The charts' copy of the store in miniature: every sample's elapsed time, the breaks where the
// stream paused for more than two seconds, and per-bucket minima and maxima of every channel at
// several resolutions, from which a per-pixel-column envelope is drawn at any zoom without
// visiting more than a few thousand buckets. Appending a sample costs amortised constant time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "acquisition/engine_sample.h"
#include "chart/chart_channel.h"

namespace ovixlog {

class ChartSeries {
 public:
  // A pause longer than this between two samples is a break in the lines.
  static constexpr uint32_t kGapMs = 2000;
  // Samples per bucket at the finest summary level; each coarser level holds kFanOut times more.
  static constexpr int kLeafBucket = 16;
  static constexpr int kFanOut = 4;

  // The samples drawn in one pixel column: their smallest and largest value, the first and last
  // sample's index (-1 when the column is empty) and whether a line joins the column to the
  // nearest non-empty column on its left (no break between them).
  struct Column {
    float min = 0.0f;
    float max = 0.0f;
    int first = -1;
    int last = -1;
    bool connected = false;
  };
  // A sample just outside the view, so that lines run on to the edges: its x in columns
  // (negative on the left, beyond the width on the right) and whether it joins the view's
  // nearest column.
  struct Edge {
    bool present = false;
    double x = 0.0;
    float value = 0.0f;
    bool connected = false;
  };
  struct Envelope {
    std::vector<Column> columns;
    Edge before;
    Edge after;
  };
  // What Fill reads for a view: the summary level (0: every sample by itself) and, at level 0,
  // the samples [rawFirst, rawEnd) it asks the raw accessor for.
  struct Plan {
    int level = 0;
    int rawFirst = 0;
    int rawEnd = 0;
  };
  // The stored sample at an index (0 = oldest); Fill asks for samples near breaks and, at level
  // 0, for every sample it draws.
  using RawAccess = std::function<const EngineSample*(int index)>;

  void Clear();
  void Append(const EngineSample& sample);

  int size() const { return static_cast<int>(timesMs_.size()); }
  // Milliseconds from the first sample by the samples' stamps; a stamp that goes back (an import
  // restarting its clock) adds nothing and makes a break.
  int64_t TimeMs(int index) const { return timesMs_[static_cast<size_t>(index)]; }
  int64_t LastTimeMs() const { return timesMs_.empty() ? 0 : timesMs_.back(); }
  // The first sample at or after `timeMs` (size() when none).
  int LowerBound(int64_t timeMs) const;
  // The sample nearest to `timeMs`, or -1 when there are none.
  int Nearest(int64_t timeMs) const;
  // The indexes of the samples that follow a break, ascending.
  const std::vector<int>& breaks() const { return breaks_; }
  // Whether a break lies between samples `a` and `b` (a < b): after a, at or before b.
  bool BreakBetween(int a, int b) const;

  Plan PlanFor(int64_t t0, int64_t t1, int columns) const;
  // The envelope of `channel` over the time span [t0, t1) in `columns` equal pixel columns.
  void Fill(const Plan& plan, int channel, int64_t t0, int64_t t1, int columns,
            const RawAccess& raw, Envelope& out) const;

  // Bytes held, counting the vectors' spare capacity.
  size_t MemoryBytes() const;
  int levelCount() const { return static_cast<int>(levels_.size()); }
  static int BucketSize(int level);

 private:
  // Adds the bucket `bucket` of `level` (or, at level 0, one sample) to the columns, descending
  // to finer buckets where a break lies inside.
  void AddBucket(int level, int bucket, int channel, const RawAccess& raw, Envelope& out) const;
  void AddToColumn(int first, int last, float min, float max, Envelope& out) const;

  std::vector<int64_t> timesMs_;
  std::vector<int> breaks_;
  uint32_t lastStamp_ = 0;
  // levels_[l - 1] holds level l: kChannelCount (min, max) pairs per bucket, bucket after bucket.
  std::vector<std::vector<float>> levels_;

  // The view being filled, for AddBucket.
  mutable int64_t viewT0_ = 0;
  mutable double columnsPerMs_ = 0.0;
  mutable int viewColumns_ = 0;
};

}  // namespace ovixlog
