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
// Ties a millisecond stamp to the wall clock: at `stamp` the UTC time was `epochMs` and the
// local clock ran `utcOffsetSeconds` ahead of UTC. A recording carries these, so that a
// reopened flight shows the local time it was flown at, in any time zone.
struct WallClockAnchor {
  uint32_t stamp = 0;
  int64_t epochMs = 0;
  int32_t utcOffsetSeconds = 0;

  // The local time at `at`, which may lie before or after the anchor's stamp (within 24 days).
  LocalTime LocalTimeAt(uint32_t at) const;
  // The anchor for `stamp` from the system's wall clock and time zone now.
  static WallClockAnchor Now(uint32_t stamp);
  friend bool operator==(const WallClockAnchor&, const WallClockAnchor&) = default;
};

class LocalClock {
 public:
  LocalTime Now();

 private:
  time_t cachedSecond_ = -1;
  LocalTime cached_;
};

}  // namespace ovixlog
