#include "acquisition/clock.h"

#include <chrono>

namespace ovixlog {

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
    cached_.year = static_cast<uint16_t>(parts.tm_year + 1900);
    cached_.month = static_cast<uint16_t>(parts.tm_mon + 1);
    cached_.dayOfWeek = static_cast<uint16_t>(parts.tm_wday);
    cached_.day = static_cast<uint16_t>(parts.tm_mday);
    cached_.hour = static_cast<uint16_t>(parts.tm_hour);
    cached_.minute = static_cast<uint16_t>(parts.tm_min);
    cached_.second = static_cast<uint16_t>(parts.tm_sec);
    cachedSecond_ = ts.tv_sec;
  }
  LocalTime result = cached_;
  result.milliseconds = static_cast<uint16_t>(ts.tv_nsec / 1000000);
  return result;
}

}  // namespace ovixlog
