// The figures the library keeps for each engine run of a file: the run summary's own, and
// those that need the run's samples again (tach hours, the Hours column at both ends, the
// cruise medians). Computed from the same samples the analysis saw.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/clock.h"
#include "acquisition/engine_sample.h"
#include "analysis/limits.h"
#include "analysis/run_summary.h"

namespace ovixlog {

// A sample and its time on the analysis' timeline (0 at the file's first sample).
struct TimedSample {
  int64_t ms = 0;
  EngineSample sample;
};

// The longest cruise stretch among `samples` (one run's, in time order): index of its first
// and last sample; nothing when none lasts 120 s.
struct CruiseStretch {
  size_t first = 0;
  size_t last = 0;
};
std::optional<CruiseStretch> LongestCruise(const std::vector<TimedSample>& samples);

// Tach times the time to the next sample, over steps shorter than 30 s, in tach hours.
double TachHours(const std::vector<TimedSample>& samples);

// The median; the mean of the two middle values for an even count. `values` is reordered.
double Median(std::vector<double>& values);

// One run's figures as a JSON object text: every key of the run summary (its findings as the
// converter's --summary --json writes them among them), then hours_start, hours_end,
// tach_hours, cruise, egt_spread_cruise, cht_spread_cruise, gami_spread.
std::string RunFiguresJson(const RunSummary& run, const std::vector<TimedSample>& runSamples);

// Analyses a whole file's samples as the converter's summary does (every sample kept) and
// returns each finished run with the figures above, oldest first.
struct RunFigures {
  int64_t startMs = 0;
  size_t firstSample = 0;  // index in `samples` of the run's first running sample
  std::string json;
};
std::vector<RunFigures> AnalyseFile(const std::vector<EngineSample>& samples, EngineModel model,
                                    const Limits& limits);

// A wall-clock reading of a file, in force from sample `sample` on.
struct ClockMark {
  size_t sample = 0;
  WallClockAnchor anchor;
};
// The reading in force at `sample`: the latest at or before it, else the first; null when
// the file has none. `clocks` is in file order.
const WallClockAnchor* ClockAt(const std::vector<ClockMark>& clocks, size_t sample);

// When a run began by the wall clock: the local date and time to the whole second (truncated)
// with its offset from UTC, "2026-06-01T09:14:03+02:00", and the UTC milliseconds.
struct RunStart {
  std::string local;
  int64_t utcMs = 0;
};
// The start of the sample stamped `tickMs`, by `anchor`.
RunStart StartBy(const WallClockAnchor& anchor, uint32_t tickMs);
// "2026-06-01T09:14:03+02:00" for `utcMs` in a zone `offsetSeconds` ahead of UTC.
std::string LocalIsoTime(int64_t utcMs, int32_t offsetSeconds);

}  // namespace ovixlog
