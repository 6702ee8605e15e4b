// The summary of one engine run, built up sample by sample in constant time per sample.
#pragma once

#include <vector>

#include "analysis/fifo.h"
#include "analysis/finding_detector.h"
#include "analysis/limits.h"
#include "analysis/run_summary.h"
#include "analysis/sweep_tracker.h"

namespace ovixlog {

class RunAccumulator {
 public:
  RunAccumulator(EngineModel model, const std::vector<ColumnLimit>& limits);

  // The run's next sample; its first sample is its first running sample.
  void Add(int64_t ms, const EngineSample& sample);
  // The summary so far. Exceedances still going on are included when they already last 5 s;
  // a sweep still going on is not.
  RunSummary Snapshot() const;
  // The run is over: closes what is still open and returns the final summary.
  RunSummary Finish();

 private:
  struct Watch {
    ColumnLimit limit;
    int slot = 0;
    bool open = false;
    int64_t startMs = 0;
    int64_t lastMs = 0;
    double peak = 0.0;
  };
  struct ChtPoint {
    int64_t ms;
    int16_t cht[6];
  };
  static void CloseWatch(const Watch& watch, std::vector<Exceedance>& out);

  EngineModel model_;
  int chtCount_;
  int egtCount_;
  RunSummary summary_;
  std::vector<int> maxSlots_;  // ColumnSlot of each summary_.max entry
  bool havePrevious_ = false;
  int64_t previousMs_ = 0;
  bool previousAirborne_ = false;
  double previousFlow_ = 0.0;
  std::vector<Watch> watches_;
  Fifo<ChtPoint> recentCht_;
  SweepTracker leanSweeps_;
  SweepTracker richSweeps_;
  FindingDetector findings_;
};

}  // namespace ovixlog
