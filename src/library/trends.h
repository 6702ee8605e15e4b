// Trends across flights: for each aircraft, every flight's cruise figures with the band of
// what was normal before it (p10, p50, p90 of the earlier flights) and the lasting shifts of
// the engine's normal ("changes"). A pure computation over plain flight rows; it reads no
// recording and no database.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ovixlog {

// One flight as the trend computation needs it.
struct TrendFlightRow {
  int64_t id = 0;
  std::optional<std::string> aircraft;
  std::optional<int64_t> startUtcMs;  // orders the flights; none: the flight has no clock
  std::string start;                  // the start as written out (local time with offset)
  int64_t order = 0;                  // order added, for flights without a clock and ties
  bool hasCruise = false;
  // Named figures (cruise_EGT1, cruise_OilP, gami_spread...); other names and values that
  // are not finite are left out.
  std::vector<std::pair<std::string, double>> figures;
};

struct TrendBand {
  double p10 = 0.0;
  double p50 = 0.0;
  double p90 = 0.0;
};

using TrendFigures = std::vector<std::pair<std::string, double>>;

struct TrendFlight {
  int64_t id = 0;
  std::optional<std::string> start;  // none without a clock
  TrendFigures figures;              // in figure order; empty without a cruise
  std::vector<int> ranks;            // each figure's TrendFigureRank, in step with figures
  std::vector<std::pair<std::string, TrendBand>> band;  // only figures with a band
};

// A lasting shift of one figure, confirmed on `confirmedId`, starting at `fromId`.
struct TrendChange {
  std::string kind;    // egt_shift, cht_shift, oil_pressure_drop, gami_shift
  std::string column;  // EGTn, CHTn, OilP, gami_spread
  int64_t fromId = 0;
  int64_t confirmedId = 0;
  double shift = 0.0;  // signed mean of the three flights' differences from the baseline
};

struct AircraftTrend {
  std::optional<std::string> name;  // none: the flights without an aircraft
  std::vector<TrendFlight> flights;  // oldest first, those without a clock last
  std::vector<TrendChange> changes;  // in the order they were confirmed
};

struct Trends {
  std::vector<AircraftTrend> aircraft;  // by name, the unnamed last
};

inline constexpr int kTrendBandFlights = 20;     // earlier flights a band looks back over
inline constexpr int kTrendMinFlights = 5;       // fewer give no band and no baseline
inline constexpr int kTrendBaselineFlights = 10; // flights before the three in a baseline
inline constexpr int kTrendConfirmFlights = 3;

// The percentile `percent` (0..100) of ascending `sorted` values: rank percent/100 x (n - 1)
// from 0, interpolated between its neighbours. `sorted` must not be empty.
double TrendPercentile(const std::vector<double>& sorted, int percent);

// The median of `values` (the mean of the two middle values of an even count).
double TrendMedian(std::vector<double> values);

// Where a figure sorts among a flight's figures (0 to kTrendFigureRanks - 1); none for a name
// that is not a trend figure.
std::optional<int> TrendFigureRank(const std::string& name);
inline constexpr int kTrendFigureRanks = 208;

// The last (up to) kTrendBandFlights values of one figure, kept both in flight order and
// sorted, so that a band is read off without sorting again.
class TrendBandWindow {
 public:
  void Add(double value);
  // p10, p50 and p90 of the values added, once there are kTrendMinFlights of them.
  std::optional<TrendBand> Band() const;

 private:
  std::vector<double> recent_;  // oldest first
  std::vector<double> sorted_;
};

Trends ComputeTrends(const std::vector<TrendFlightRow>& rows);

// Whether some flight of `aircraft` has a band, that is whether there are flights enough for a
// normal: a figure needs kTrendMinFlights earlier flights with it before any flight has one.
bool HasBands(const AircraftTrend& aircraft);

// The band for the figure `name` of a flight, if it has one.
const TrendBand* FindBand(const TrendFlight& flight, const std::string& name);
std::optional<double> FindFigure(const TrendFlight& flight, const std::string& name);

}  // namespace ovixlog
