#include "library/flight_figures.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <nlohmann/json.hpp>

#include "analysis/flight_analyzer.h"
#include "analysis/run_detector.h"
#include "analysis/sample_column.h"
#include "analysis/summary_writer.h"

namespace ovixlog {
namespace {

using Json = nlohmann::ordered_json;

constexpr int kCruiseAspd = 60;
constexpr int kCruiseTach = 1800;
constexpr int kCruiseTachBand = 50;
constexpr int32_t kCruiseFlowBandTenths = 5;
constexpr int32_t kCruiseAltBand = 200;
constexpr int64_t kCruiseMinMs = 120000;
constexpr double kTachHourRevolutions = 2400.0 * 3600.0 * 1000.0;  // rpm x ms in a tach hour

bool StartsCruise(const EngineSample& s) { return s.aspd >= kCruiseAspd && s.tach >= kCruiseTach; }

bool StaysInCruise(const EngineSample& first, const EngineSample& s) {
  return s.aspd >= kCruiseAspd && std::abs(s.tach - first.tach) <= kCruiseTachBand &&
         std::abs(TenthsOf(s.flow) - TenthsOf(first.flow)) <= kCruiseFlowBandTenths &&
         std::abs(s.alt - first.alt) <= kCruiseAltBand;
}

// A number as the summary writes it, back as a JSON value.
Json Number(double value) { return Json::parse(NumberText(value)); }

std::vector<SampleColumn> CruiseColumns(EngineModel model) {
  using F = SampleColumn::Field;
  std::vector<SampleColumn> columns = {{F::kTach, 0}, {F::kFlow, 0}, {F::kAlt, 0}, {F::kAspd, 0}};
  for (int i = 0; i < 6; ++i)
    if (ModelHasColumn(model, {F::kCht, i}))
      columns.push_back({F::kCht, i});
  for (int i = 0; i < 9; ++i)
    if (ModelHasColumn(model, {F::kEgt, i}))
      columns.push_back({F::kEgt, i});
  for (SampleColumn c : {SampleColumn{F::kOilT, 0}, SampleColumn{F::kOilP, 0},
                         SampleColumn{F::kVolt, 0}})
    columns.push_back(c);
  return columns;
}

Json OptionalHours(float hours) {
  return hours == 0.0f ? Json(nullptr) : Number(static_cast<double>(hours));
}

}  // namespace

std::optional<CruiseStretch> LongestCruise(const std::vector<TimedSample>& samples) {
  std::optional<CruiseStretch> best;
  int64_t bestMs = -1;
  size_t i = 0;
  while (i < samples.size()) {
    if (!StartsCruise(samples[i].sample)) {
      ++i;
      continue;
    }
    size_t last = i;
    while (last + 1 < samples.size() && StaysInCruise(samples[i].sample, samples[last + 1].sample))
      ++last;
    const int64_t lasted = samples[last].ms - samples[i].ms;
    if (lasted > bestMs) {
      bestMs = lasted;
      best = CruiseStretch{i, last};
    }
    i = last + 1;
  }
  if (!best || bestMs < kCruiseMinMs)
    return std::nullopt;
  return best;
}

double TachHours(const std::vector<TimedSample>& samples) {
  double sum = 0.0;
  for (size_t i = 0; i + 1 < samples.size(); ++i) {
    const int64_t step = samples[i + 1].ms - samples[i].ms;
    if (step < kRunGapMs)
      sum += samples[i].sample.tach * static_cast<double>(step);
  }
  return sum / kTachHourRevolutions;
}

double Median(std::vector<double>& values) {
  if (values.empty())
    return 0.0;
  const size_t mid = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid), values.end());
  const double upper = values[mid];
  if (values.size() % 2 == 1)
    return upper;
  const double lower =
      *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid));
  return (lower + upper) / 2.0;
}

std::string RunFiguresJson(const RunSummary& run, const std::vector<TimedSample>& runSamples) {
  Json object = Json::parse(SummaryJson({run}))["runs"][0];
  if (runSamples.empty()) {
    object["hours_start"] = nullptr;
    object["hours_end"] = nullptr;
  } else {
    object["hours_start"] = OptionalHours(runSamples.front().sample.hours);
    object["hours_end"] = OptionalHours(runSamples.back().sample.hours);
  }
  object["tach_hours"] = Number(TachHours(runSamples));
  Json egtSpread = nullptr;
  Json chtSpread = nullptr;
  if (const std::optional<CruiseStretch> cruise = LongestCruise(runSamples)) {
    Json medians = Json::object();
    medians["start_s"] = Number(static_cast<double>(runSamples[cruise->first].ms) / 1000.0);
    medians["duration_s"] = Number(
        static_cast<double>(runSamples[cruise->last].ms - runSamples[cruise->first].ms) / 1000.0);
    std::vector<double> egts;
    std::vector<double> chts;
    for (SampleColumn column : CruiseColumns(run.model)) {
      std::vector<double> values;
      values.reserve(cruise->last - cruise->first + 1);
      for (size_t i = cruise->first; i <= cruise->last; ++i)
        values.push_back(ColumnValue(runSamples[i].sample, column));
      const double median = Median(values);
      medians[ColumnTitle(column)] = Number(median);
      if (column.field == SampleColumn::Field::kEgt)
        egts.push_back(median);
      if (column.field == SampleColumn::Field::kCht)
        chts.push_back(median);
    }
    object["cruise"] = medians;
    if (!egts.empty())
      egtSpread = Number(*std::max_element(egts.begin(), egts.end()) -
                         *std::min_element(egts.begin(), egts.end()));
    if (!chts.empty())
      chtSpread = Number(*std::max_element(chts.begin(), chts.end()) -
                         *std::min_element(chts.begin(), chts.end()));
  } else {
    object["cruise"] = nullptr;
  }
  object["egt_spread_cruise"] = egtSpread;
  object["cht_spread_cruise"] = chtSpread;
  Json gami = nullptr;
  for (const LeanTest& test : run.leanTests) {
    if (test.lean && test.complete) {
      if (test.gamiSpread)
        gami = Number(*test.gamiSpread);
      break;
    }
  }
  object["gami_spread"] = gami;
  if (!object.contains("findings"))
    object["findings"] = Json::array();
  return object.dump();
}

std::string LocalIsoTime(int64_t utcMs, int32_t offsetSeconds) {
  const int64_t localMs = utcMs + int64_t{offsetSeconds} * 1000;
  // Truncated to the second, earlier for a time before 1970 too.
  const int64_t seconds = localMs / 1000 - (localMs % 1000 < 0 ? 1 : 0);
  const auto whole = static_cast<time_t>(seconds);
  tm parts{};
  gmtime_r(&whole, &parts);
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &parts);
  const int32_t minutes = (offsetSeconds < 0 ? -offsetSeconds : offsetSeconds) / 60;
  char zone[16];
  std::snprintf(zone, sizeof zone, "%c%02d:%02d", offsetSeconds < 0 ? '-' : '+', minutes / 60,
                minutes % 60);
  return std::string(text) + zone;
}

const WallClockAnchor* ClockAt(const std::vector<ClockMark>& clocks, size_t sample) {
  if (clocks.empty())
    return nullptr;
  const auto after = std::upper_bound(
      clocks.begin(), clocks.end(), sample,
      [](size_t at, const ClockMark& mark) { return at < mark.sample; });
  return after == clocks.begin() ? &clocks.front().anchor : &std::prev(after)->anchor;
}

RunStart StartBy(const WallClockAnchor& anchor, uint32_t tickMs) {
  // The signed distance, so that a sample just before the reading is not 49 days after it.
  const int64_t utcMs =
      anchor.epochMs + static_cast<int64_t>(static_cast<int32_t>(tickMs - anchor.stamp));
  return {LocalIsoTime(utcMs, anchor.utcOffsetSeconds), utcMs};
}

std::vector<RunFigures> AnalyseFile(const std::vector<EngineSample>& samples, EngineModel model,
                                    const Limits& limits) {
  FlightAnalyzer analyzer(model, limits);
  std::vector<TimedSample> timed;
  timed.reserve(samples.size());
  SampleClock clock;
  for (const EngineSample& s : samples) {
    timed.push_back({clock.Advance(s.tickMs), s});
    analyzer.Add(s);
  }
  analyzer.Finish();
  std::vector<RunFigures> out;
  for (const RunSummary& run : analyzer.FinishedRuns()) {
    // The run's samples are those from its first to its last running sample.
    auto begin = std::lower_bound(timed.begin(), timed.end(), run.startMs,
                                  [](const TimedSample& t, int64_t ms) { return t.ms < ms; });
    auto end = std::upper_bound(begin, timed.end(), run.endMs,
                                [](int64_t ms, const TimedSample& t) { return ms < t.ms; });
    const std::vector<TimedSample> runSamples(begin, end);
    out.push_back({run.startMs, static_cast<size_t>(begin - timed.begin()),
                   RunFiguresJson(run, runSamples)});
  }
  return out;
}

}  // namespace ovixlog
