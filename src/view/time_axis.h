// The charts' shared time axis as a value: the shown span of elapsed milliseconds and whether
// it follows the newest sample. Zooming, panning and fitting return new values, so a view can
// be kept, compared and put back (see ZoomStack); pixel mapping is done against a plot's
// left edge and width.
#pragma once

#include <cstdint>

namespace ovixlog {

class TimeAxis {
 public:
  // The narrowest span shown, in milliseconds.
  static constexpr int64_t kMinSpanMs = 2000;

  TimeAxis() = default;
  // [startMs, endMs), widened about its middle to the narrowest span; not following.
  static TimeAxis Span(int64_t startMs, int64_t endMs);
  // The whole flight up to `flightEndMs`, following it as it grows.
  static TimeAxis WholeFlight(int64_t flightEndMs);

  int64_t startMs() const { return startMs_; }
  int64_t endMs() const { return endMs_; }
  int64_t spanMs() const { return endMs_ - startMs_; }
  // Following: the right edge stays on the newest sample as the flight grows.
  bool following() const { return following_; }
  // Following the whole flight, as opposed to a fixed span at the newest end.
  bool wholeFlight() const { return wholeFlight_; }

  // The same span, now following (or not); whether it follows the whole flight or a span of
  // its width at the newest end is kept for when it follows again.
  TimeAxis Following(bool follow) const;
  // Where a following axis goes when the flight ends at `flightEndMs`; a fixed axis is itself.
  TimeAxis Followed(int64_t flightEndMs) const;
  // Zoomed by `factor` (below 1 narrows) keeping `aroundMs` where it is; not following.
  TimeAxis Zoomed(int64_t aroundMs, double factor) const;
  // Moved later by `deltaMs` (earlier when negative); not following.
  TimeAxis Panned(int64_t deltaMs) const;

  // The pixel column of `timeMs` across a plot `width` pixels wide starting at `left`.
  int XForTime(int64_t timeMs, int left, int width) const;
  // The time at the middle of pixel column `x` of that plot.
  int64_t TimeAtX(int x, int left, int width) const;

  bool operator==(const TimeAxis& other) const = default;

 private:
  int64_t startMs_ = 0;
  int64_t endMs_ = 60000;
  bool following_ = true;
  bool wholeFlight_ = true;
};

}  // namespace ovixlog
