#include "acquisition/clock.h"

#include <chrono>

namespace ovixlog {
namespace {

// The calendar fields of `parts`; milliseconds are left at 0.
LocalTime FromParts(const tm& parts) {
  LocalTime time;
  time.year = static_cast<uint16_t>(parts.tm_year + 1900);
  time.month = static_cast<uint16_t>(parts.tm_mon + 1);
  time.dayOfWeek = static_cast<uint16_t>(parts.tm_wday);
  time.day = static_cast<uint16_t>(parts.tm_mday);
  time.hour = static_cast<uint16_t>(parts.tm_hour);
  time.minute = static_cast<uint16_t>(parts.tm_min);
  time.second = static_cast<uint16_t>(parts.tm_sec);
  return time;
}

}  // namespace

uint32_t TickCount() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
  return static_cast<uint32_t>(static_cast<uint64_t>(ms));
}

LocalTime LocalClock::Now() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  if (ts.tv_sec != cachedSecond_) {
    tm parts{};
    localtime_r(&ts.tv_sec, &parts);
    cached_ = FromParts(parts);
    cachedSecond_ = ts.tv_sec;
  }
  LocalTime result = cached_;
  result.milliseconds = static_cast<uint16_t>(ts.tv_nsec / 1000000);
  return result;
}

LocalTime WallClockAnchor::LocalTimeAt(uint32_t at) const {
  // The signed distance, so that a stamp just before the anchor's is not read as 49 days after.
  const auto offsetMs = static_cast<int64_t>(static_cast<int32_t>(at - stamp));
  const int64_t localMs = epochMs + static_cast<int64_t>(utcOffsetSeconds) * 1000 + offsetMs;
  int64_t seconds = localMs / 1000;
  int64_t millis = localMs % 1000;
  if (millis < 0) {
    millis += 1000;
    seconds -= 1;
  }
  const auto whole = static_cast<time_t>(seconds);
  tm parts{};
  gmtime_r(&whole, &parts);
  LocalTime result = FromParts(parts);
  result.milliseconds = static_cast<uint16_t>(millis);
  return result;
}

WallClockAnchor WallClockAnchor::Now(uint32_t stamp) {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm parts{};
  localtime_r(&ts.tv_sec, &parts);
  WallClockAnchor anchor;
  anchor.stamp = stamp;
  anchor.epochMs = static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
  anchor.utcOffsetSeconds = static_cast<int32_t>(parts.tm_gmtoff);
  return anchor;
}

}  // namespace ovixlog
