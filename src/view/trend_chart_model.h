// What the Trends view draws for one aircraft: its flights with a clock, oldest first, and per
// chart the series with each flight's value and band (NaN where a flight has none), as read or
// with each cylinder relative to the mean of the others; and the changes to mark.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "library/trends.h"

namespace ovixlog {

struct TrendSeries {
  std::string label;  // in the legend: "3", "max", "EGT"
  std::string name;   // alone: "EGT3", "highest CHT", "EGT spread"
  int axis = 0;       // 0: the left value axis, 1: the right one
  int color = 0;      // the series' number for SeriesColor
  // One entry per flight of the model; NaN where the flight has no value (or no band).
  std::vector<float> value;
  std::vector<float> p10;
  std::vector<float> p50;
  std::vector<float> p90;
};

struct TrendPlot {
  std::string heading;  // "EGT", "Oil"
  std::string units[2];  // of the left and the right axis; empty: no such axis
  std::vector<TrendSeries> series;
};

// A change of the engine's normal, marked on the plot of its figure.
struct TrendChartMark {
  std::size_t plot = 0;
  std::size_t from = 0;       // the flight (index into the model's flights) it started on
  std::size_t confirmed = 0;  // the flight it was confirmed on
  std::string sentence;
};

class TrendChartModel {
 public:
  // Builds the charts of `aircraft`; `normalised` draws each cylinder's EGT and CHT relative
  // to the mean of the other cylinders of the same flight, with bands of those values.
  static TrendChartModel Build(const AircraftTrend& aircraft, bool normalised);

  std::vector<int64_t> ids;         // the charted flights, oldest first
  std::vector<std::string> starts;  // their start as written out
  std::size_t undated = 0;          // flights without a clock, not charted
  bool bands = false;               // whether any flight of the aircraft has a band
  std::vector<TrendPlot> plots;     // only plots with at least one series
  std::vector<TrendChartMark> marks;

  // Whether the flights are enough for a normal: some flight has a band.
  bool Enough() const { return bands; }
  // The index of the charted flight `id`; -1 when it is not charted.
  int IndexOf(int64_t id) const;
};

}  // namespace ovixlog
