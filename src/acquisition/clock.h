// The two clocks a decoded frame is stamped with: a monotonic millisecond tick and the PC's
// local date and time.
#pragma once

#include <cstdint>
#include <ctime>

#include "acquisition/engine_sample.h"

namespace ovixlog {

// Milliseconds from a monotonic clock, wrapping at 2^32 like a tick counter. Unaffected by
// changes of the wall clock, so the one-per-second rule never stalls after a time change.
uint32_t TickCount();

// Reads the local time with millisecond resolution. Converting seconds to a calendar date is
// costly, so the last conversion is kept and reused while the second is unchanged. Each
// instance belongs to one thread.
class LocalClock {
 public:
  LocalTime Now();

 private:
  time_t cachedSecond_ = -1;
  LocalTime cached_;
};

}  // namespace ovixlog
