#include "view/time_axis.h"

#include <algorithm>
#include <cmath>

namespace ovixlog {

TimeAxis TimeAxis::Span(int64_t startMs, int64_t endMs) {
  if (endMs - startMs < kMinSpanMs) {
    const int64_t middle = (startMs + endMs) / 2;
    startMs = middle - kMinSpanMs / 2;
    endMs = startMs + kMinSpanMs;
  }
  TimeAxis axis;
  axis.startMs_ = startMs;
  axis.endMs_ = endMs;
  axis.following_ = false;
  axis.wholeFlight_ = false;
  return axis;
}

TimeAxis TimeAxis::WholeFlight(int64_t flightEndMs) {
  TimeAxis axis;
  axis.following_ = true;
  axis.wholeFlight_ = true;
  return axis.Followed(flightEndMs);
}

TimeAxis TimeAxis::Following(bool follow) const {
  TimeAxis axis = *this;
  axis.following_ = follow;
  return axis;
}

TimeAxis TimeAxis::Followed(int64_t flightEndMs) const {
  if (!following_)
    return *this;
  // An empty or one-sample flight still shows a second.
  const int64_t end = std::max(flightEndMs, int64_t{1000});
  TimeAxis axis = wholeFlight_ ? Span(0, end) : Span(end - spanMs(), end);
  axis.following_ = true;
  axis.wholeFlight_ = wholeFlight_;
  return axis;
}

TimeAxis TimeAxis::Zoomed(int64_t aroundMs, double factor) const {
  const double start =
      static_cast<double>(aroundMs) - static_cast<double>(aroundMs - startMs_) * factor;
  const double end = static_cast<double>(aroundMs) + static_cast<double>(endMs_ - aroundMs) * factor;
  return Span(std::llround(start), std::llround(end));
}

TimeAxis TimeAxis::Panned(int64_t deltaMs) const {
  return Span(startMs_ + deltaMs, endMs_ + deltaMs);
}

int TimeAxis::XForTime(int64_t timeMs, int left, int width) const {
  const double span = static_cast<double>(std::max<int64_t>(spanMs(), 1));
  return left + static_cast<int>(std::floor(static_cast<double>(timeMs - startMs_) * width / span));
}

int64_t TimeAxis::TimeAtX(int x, int left, int width) const {
  const double span = static_cast<double>(spanMs());
  return startMs_ + std::llround((static_cast<double>(x - left) + 0.5) * span / std::max(width, 1));
}

}  // namespace ovixlog
