// Looks for findings in one engine run, fed the run's samples one at a time beside its
// summary: failing probes, a bus voltage that sinks, an EGT swinging or dropping out at steady
// power, the run-up's magneto checks, a CHT running away, heads that cool too fast. Every sample
// costs a bounded amount of work; findings appear as soon as their definition is met.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "acquisition/engine_sample.h"
#include "analysis/egt_dropout.h"
#include "analysis/fifo.h"
#include "analysis/finding.h"
#include "analysis/mag_check.h"

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
    std::array<int16_t, 9> egt;
  };
  // One CHT climbing alone at steady power.
  struct Runaway {
    bool open = false;
    bool qualified = false;
    int64_t startMs = 0;
    int64_t endMs = 0;
    int16_t startCht = 0;
    int16_t startEgt = 0;
    double rate = 0.0;
    double rise = 0.0;
    double egtChange = 0.0;
  };
  struct Cooling {
    int64_t startMs = 0;
    int64_t endMs = 0;
    double rate = 0.0;
    int fastest = 0;
    uint32_t columns = 0;  // bit per CHT that dropped faster than the limit
  };

  // The alternating highs and lows of one EGT's 1 s average at steady power, and the run of
  // swings they make.
  struct Extreme {
    int64_t ms = 0;
    double value = 0.0;
  };
  // Every EGT slot's lowest and highest: all nine are kept, whatever the model has, so that
  // widening takes a few vector instructions; only the model's are ever read.
  using Egts = std::array<int16_t, 9>;
  struct Range {
    Egts low;
    Egts high;
    void Reset(const Egts& now);
    void Widen(const Egts& now);
    // The largest highest-minus-lowest over the columns other than `skip`.
    double WidestOther(int count, int skip) const;
  };
  struct Swinging {
    // Finding the extremes.
    bool started = false;
    int direction = 0;  // +1 rising towards a high, -1 falling towards a low, 0 not yet known
    Extreme candidate;  // with direction 0: the lowest so far
    Extreme highest;    // with direction 0: the highest so far
    // The chain of swings of 30 or more.
    std::vector<Extreme> chain;  // the first and the last two extremes only
    int swings = 0;
    double swingSum = 0.0;
    Range sinceCandidate{};
    Range sinceLast{};
    Range sinceFirst{};
    bool qualified = false;
    Finding found;
    // Widens the three ranges at once; `now` by value, a copy that cannot overlap the ranges,
    // so that the loops are vectorised.
    void Widen(Egts now);
  };
  struct Window {
    Fifo<std::pair<int64_t, int32_t>> high;  // falling values, the window's highest first
    Fifo<std::pair<int64_t, int32_t>> low;
    void Add(int64_t ms, int32_t value, int64_t fromMs);
    int32_t Spread(int32_t value) const;
  };

  bool Steady(int64_t ms, const EngineSample& s);
  void AddSwings(int64_t ms, const EngineSample& s, bool steady);
  void Confirm(int egt, const Extreme& e);
  void Close(Swinging& w);
  Finding OscillationFinding(int egt, const Swinging& w) const;
  void AddProbes(int64_t ms, const EngineSample& s);
  void AddCooling(int64_t ms, const EngineSample& s, bool steady);
  void CloseRunaway(int cht);
  Finding RunawayFinding(int cht, const Runaway& r) const;
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
  using Probes = std::array<int16_t, 15>;  // the CHTs, then the EGTs
  Probes before_{};
  Probes last_{};
  int64_t lastMs_ = 0;
  // Low voltage against both bus systems; the run's median decides which applies.
  Voltage low12_;
  Voltage low24_;
  std::vector<int64_t> voltHistogram_;  // samples per tenth of a volt
  Fifo<ChtPoint> recentCht_;
  std::vector<Cooling> cooling_;
  bool coolingOpen_ = false;
  // Steady power and the EGTs' swings.
  bool started_ = false;
  int64_t startMs_ = 0;
  int64_t previousMs_ = 0;
  bool flowSeen_ = false;
  Window tach_;
  Window flow_;
  Fifo<std::pair<int64_t, std::array<int16_t, 9>>> lastSecond_;
  std::array<int32_t, 9> lastSecondSum_{};
  std::vector<Swinging> swinging_;
  std::vector<Finding> oscillations_;
  std::vector<Runaway> runaway_;
  std::vector<Finding> runaways_;
  EgtDropoutWatch dropouts_;
  MagCheckWatch magChecks_;
};

}  // namespace ovixlog
