// Watches each EGT at steady power for a short, deep fall that comes back on its own while the
// other cylinders hold still: an exhaust valve that sticks open for a moment.
#pragma once

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "acquisition/engine_sample.h"
#include "analysis/fifo.h"
#include "analysis/finding.h"

namespace ovixlog {

class EgtDropoutWatch {
 public:
  explicit EgtDropoutWatch(int egtCount);

  // `steady`: whether the power is steady at this sample.
  void Add(int64_t ms, const EngineSample& s, bool steady);
  // Appends the dropouts found so far.
  void Findings(std::vector<Finding>& out) const;

 private:
  using Egts = std::array<int16_t, 9>;
  struct Fall {
    bool open = false;
    bool down = true;  // still 150 or more below where the fall started
    int64_t startMs = 0;
    int16_t startValue = 0;
    int64_t firstDownMs = 0;
    int64_t lastDownMs = 0;
    int16_t lowest = 0;
    Egts low{};
    Egts high{};
  };

  void Restart(int egt, int64_t ms, int16_t value);
  bool OthersStill(const Fall& f, int egt) const;

  int egtCount_;
  // The last 3 s of samples, for the other EGTs' ranges from where a fall started.
  Fifo<std::pair<int64_t, Egts>> recent_;
  // Per EGT: its falling highs over the last 3 s, the highest first.
  std::vector<Fifo<std::pair<int64_t, int16_t>>> highs_;
  std::vector<Fall> falls_;
  std::vector<Finding> found_;
};

}  // namespace ovixlog
