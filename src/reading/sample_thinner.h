// Decides which samples a log keeps: every one, or one a second (a sample less than 1000 ms
// after the last kept one is dropped), as the window's table does.
#pragma once

#include <cstdint>

#include "acquisition/engine_sample.h"

namespace ovixlog {

class SampleThinner {
 public:
  explicit SampleThinner(bool keepAll) : keepAll_(keepAll) {}

  bool Keep(const EngineSample& sample) {
    // Unsigned difference: a stamp earlier than the last kept one (a clock that restarted or
    // wrapped) reads as a large gap and is kept.
    if (any_ && !keepAll_ && sample.tickMs - lastMs_ < kOneSecondMs)
      return false;
    any_ = true;
    lastMs_ = sample.tickMs;
    return true;
  }

 private:
  static constexpr uint32_t kOneSecondMs = 1000;
  bool keepAll_;
  bool any_ = false;
  uint32_t lastMs_ = 0;
};

}  // namespace ovixlog
