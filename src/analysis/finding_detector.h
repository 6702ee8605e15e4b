// Looks for findings in one engine run, fed the run's samples one at a time beside its
// summary: failing probes, a bus voltage that sinks, heads that cool too fast. Every sample
// costs a bounded amount of work; findings appear as soon as their definition is met.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <vector>

#include "acquisition/engine_sample.h"
#include "analysis/finding.h"

namespace ovixlog {

class FindingDetector {
 public:
  explicit FindingDetector(EngineModel model);

  void Add(int64_t ms, const EngineSample& sample);
  // The findings so far, sorted by start; stretches still going on are included once they
  // meet their definition.
  std::vector<Finding> Findings() const;

 private:
  // A CHT or EGT column's reading failures.
  struct Probe {
    bool anyZero = false;
    int64_t firstZeroMs = 0;
    int64_t lastZeroMs = 0;
    int spikes = 0;
    int64_t firstSpikeMs = 0;
    int64_t lastSpikeMs = 0;
  };
  struct Voltage {
    bool any = false;
    int64_t firstMs = 0;
    int64_t lastMs = 0;
    int32_t minTenths = 0;
  };
  struct ChtPoint {
    int64_t ms;
    std::array<int16_t, 6> cht;
  };
  struct Cooling {
    int64_t startMs = 0;
    int64_t endMs = 0;
    double rate = 0.0;
    int fastest = 0;
    uint32_t columns = 0;  // bit per CHT that dropped faster than the limit
  };

  void AddProbes(int64_t ms, const EngineSample& s);
  void AddCooling(int64_t ms, const EngineSample& s);
  void ProbeFindings(std::vector<Finding>& out) const;
  void VoltageFinding(std::vector<Finding>& out) const;
  void CoolingFinding(const Cooling& c, std::vector<Finding>& out) const;

  int chtCount_;
  int egtCount_;
  bool hasVolt_;
  // Per probe, CHTs first then EGTs.
  std::vector<Probe> probes_;
  // The two samples before this one, for spikes.
  int seen_ = 0;
  EngineSample before_;
  EngineSample last_;
  int64_t lastMs_ = 0;
  // Low voltage against both bus systems; the run's median decides which applies.
  Voltage low12_;
  Voltage low24_;
  std::vector<int64_t> voltHistogram_;  // samples per tenth of a volt
  std::deque<ChtPoint> recentCht_;
  std::vector<Cooling> cooling_;
  bool coolingOpen_ = false;
};

}  // namespace ovixlog
