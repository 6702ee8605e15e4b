// Finds the run-ups on the ground and the magneto checks in them: each dip of the rpm while
// the engine runs on one magneto, how far the rpm fell and how each EGT moved. A cylinder
// whose EGT stays put while the others rise has a fouled plug or a bad lead.
#pragma once

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "acquisition/engine_sample.h"
#include "analysis/fifo.h"
#include "analysis/finding.h"

namespace ovixlog {

class MagCheckWatch {
 public:
  explicit MagCheckWatch(int egtCount);

  void Add(int64_t ms, const EngineSample& s);
  // Appends one finding per run-up with at least one dip, the one going on included.
  void Findings(std::vector<Finding>& out) const;

 private:
  using Egts = std::array<int16_t, 9>;
  using Means = std::array<double, 9>;

  void Hold(int64_t ms, int16_t tach);
  void RunUp(int64_t ms, int16_t tach);
  // Ends the run-up; its last sample within 50 of its rpm is at `lastInMs`.
  void End(int64_t lastInMs);
  Means MeanSince(int64_t fromMs, int64_t beforeMs) const;
  Finding MakeFinding(int64_t endMs) const;

  int egtCount_;
  bool seen_ = false;
  int64_t previousMs_ = 0;
  // The last 2 s of EGTs, for the means before and at the end of a dip.
  Fifo<std::pair<int64_t, Egts>> recent_;

  // Before a run-up: ground samples whose Tach spans 100 rpm or less, and the monotone
  // queues giving their highest and lowest.
  Fifo<std::pair<int64_t, int16_t>> hold_;
  Fifo<std::pair<int64_t, int16_t>> holdHigh_;
  Fifo<std::pair<int64_t, int16_t>> holdLow_;

  // The run-up going on.
  bool inRunUp_ = false;
  int rpm_ = 0;
  int64_t startMs_ = 0;
  int64_t lastInMs_ = 0;
  std::vector<MagDip> dips_;
  // A stretch more than 25 below the run-up's rpm.
  bool below_ = false;
  bool tooLong_ = false;
  bool beyond_ = false;  // some sample more than 50 below
  int64_t endIfNoDipMs_ = 0;
  int64_t belowFirstMs_ = 0;
  int64_t belowLastMs_ = 0;
  int lowest_ = 0;
  Means before_{};
  Means lastSecond_{};

  std::vector<Finding> found_;
};

}  // namespace ovixlog
