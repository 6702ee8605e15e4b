#include "view/trend_chart_model.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "library/trends_output.h"

namespace ovixlog {
namespace {

constexpr float kNone = std::numeric_limits<float>::quiet_NaN();

enum PlotSlot { kEgtPlot, kChtPlot, kSpreadPlot, kOilPlot, kVoltPlot, kFlowPlot, kGamiPlot,
                kPlotSlots };

// Where a figure is drawn: its plot, its place among the plot's series, its label and axis.
struct Placement {
  int plot = -1;
  int order = 0;
  std::string label;
  int axis = 0;
  std::string name;
};

int Rank(const char* name) { return TrendFigureRank(name).value_or(-1); }

Placement PlaceFigure(int rank, bool normalised) {
  static const int egt1 = Rank("cruise_EGT1");
  static const int cht1 = Rank("cruise_CHT1");
  static const int egtLast = egt1 + 98;
  static const int chtLast = cht1 + 98;
  if (rank >= egt1 && rank <= egtLast) {
    const std::string number = std::to_string(rank - egt1 + 1);
    return {kEgtPlot, rank - egt1, number, 0, "EGT" + number};
  }
  if (rank >= cht1 && rank <= chtLast) {
    const std::string number = std::to_string(rank - cht1 + 1);
    return {kChtPlot, rank - cht1, number, 0, "CHT" + number};
  }
  static const std::map<int, Placement> others = {
      {Rank("cruise_OilT"), {kOilPlot, 0, "OilT", 0, "OilT"}},
      {Rank("cruise_OilP"), {kOilPlot, 1, "OilP", 1, "OilP"}},
      {Rank("cruise_Volt"), {kVoltPlot, 0, "Volt", 0, "Volt"}},
      {Rank("cruise_Flow"), {kFlowPlot, 0, "Flow", 0, "Flow"}},
      {Rank("egt_spread_cruise"), {kSpreadPlot, 0, "EGT", 0, "EGT spread"}},
      {Rank("cht_spread_cruise"), {kSpreadPlot, 1, "CHT", 0, "CHT spread"}},
      {Rank("max_CHT"), {kChtPlot, 200, "max", 0, "highest CHT"}},
      {Rank("gami_spread"), {kGamiPlot, 0, "GAMI spread", 0, "GAMI spread"}},
  };
  const auto found = others.find(rank);
  if (found == others.end()) return {};
  // The highest CHT of a run is a reading: it has no place among relative values.
  if (normalised && found->second.plot == kChtPlot) return {};
  return found->second;
}

TrendPlot EmptyPlot(int slot, bool normalised) {
  TrendPlot plot;
  switch (slot) {
    case kEgtPlot:
      plot.heading = "EGT";
      plot.units[0] = normalised ? "F from the others" : "F";
      break;
    case kChtPlot:
      plot.heading = "CHT";
      plot.units[0] = normalised ? "F from the others" : "F";
      break;
    case kSpreadPlot:
      plot.heading = "Spread";
      plot.units[0] = "F";
      break;
    case kOilPlot:
      plot.heading = "Oil";
      plot.units[0] = "F";
      plot.units[1] = "psi";
      break;
    case kVoltPlot:
      plot.units[0] = "V";
      break;
    case kFlowPlot:
      plot.units[0] = "gph";
      break;
    default:
      plot.units[0] = "gph";
      break;
  }
  return plot;
}

int PlotOfColumn(const std::string& column) {
  if (column.rfind("EGT", 0) == 0) return kEgtPlot;
  if (column.rfind("CHT", 0) == 0) return kChtPlot;
  if (column == "OilP") return kOilPlot;
  if (column == "gami_spread") return kGamiPlot;
  return -1;
}

// Each cylinder's value less the mean of the other cylinders' values of the same flight, in
// place; the values of a flight with one cylinder become NaN.
void RelativeToOthers(std::vector<TrendSeries*>& cylinders, std::size_t flights) {
  for (std::size_t f = 0; f < flights; ++f) {
    double sum = 0.0;
    int count = 0;
    for (const TrendSeries* series : cylinders) {
      if (!std::isnan(series->value[f])) {
        sum += series->value[f];
        ++count;
      }
    }
    for (TrendSeries* series : cylinders) {
      float& value = series->value[f];
      if (std::isnan(value)) continue;
      value = count < 2 ? kNone
                        : static_cast<float>(value - (sum - value) / static_cast<double>(count - 1));
    }
  }
  // Bands of the relative values, by the same rule as those of the readings.
  for (TrendSeries* series : cylinders) {
    TrendBandWindow window;
    for (std::size_t f = 0; f < flights; ++f) {
      if (auto band = window.Band()) {
        series->p10[f] = static_cast<float>(band->p10);
        series->p50[f] = static_cast<float>(band->p50);
        series->p90[f] = static_cast<float>(band->p90);
      } else {
        series->p10[f] = series->p50[f] = series->p90[f] = kNone;
      }
      if (!std::isnan(series->value[f])) window.Add(series->value[f]);
    }
  }
}

}  // namespace

int TrendChartModel::IndexOf(int64_t id) const {
  const auto found = std::find(ids.begin(), ids.end(), id);
  return found == ids.end() ? -1 : static_cast<int>(found - ids.begin());
}

TrendChartModel TrendChartModel::Build(const AircraftTrend& aircraft, bool normalised) {
  TrendChartModel model;
  std::size_t dated = 0;
  while (dated < aircraft.flights.size() && aircraft.flights[dated].start) ++dated;
  model.undated = aircraft.flights.size() - dated;
  model.bands = HasBands(aircraft);
  model.ids.reserve(dated);
  model.starts.reserve(dated);

  // The figures any charted flight has, each a series in its plot.
  std::vector<char> present(static_cast<std::size_t>(kTrendFigureRanks), 0);
  for (std::size_t f = 0; f < dated; ++f) {
    for (int rank : aircraft.flights[f].ranks) present[static_cast<std::size_t>(rank)] = 1;
  }
  std::vector<std::vector<std::pair<int, int>>> ranksOfPlot(kPlotSlots);  // (order, rank)
  std::vector<Placement> placements(static_cast<std::size_t>(kTrendFigureRanks));
  for (int rank = 0; rank < kTrendFigureRanks; ++rank) {
    if (!present[static_cast<std::size_t>(rank)]) continue;
    placements[static_cast<std::size_t>(rank)] = PlaceFigure(rank, normalised);
    const Placement& place = placements[static_cast<std::size_t>(rank)];
    if (place.plot >= 0) ranksOfPlot[static_cast<std::size_t>(place.plot)].emplace_back(place.order, rank);
  }
  std::vector<TrendPlot> plots;
  std::vector<int> plotOfSlot(kPlotSlots, -1);
  // Per rank: the series it fills, as (plot index, series index).
  std::vector<std::pair<int, int>> seriesOfRank(static_cast<std::size_t>(kTrendFigureRanks), {-1, -1});
  for (int slot = 0; slot < kPlotSlots; ++slot) {
    auto& ranks = ranksOfPlot[static_cast<std::size_t>(slot)];
    if (ranks.empty()) continue;
    std::sort(ranks.begin(), ranks.end());
    plotOfSlot[static_cast<std::size_t>(slot)] = static_cast<int>(plots.size());
    TrendPlot plot = EmptyPlot(slot, normalised);
    for (const auto& [order, rank] : ranks) {
      const Placement& place = placements[static_cast<std::size_t>(rank)];
      TrendSeries series;
      series.label = place.label;
      series.name = place.name;
      series.axis = place.axis;
      series.color = static_cast<int>(plot.series.size());
      series.value.assign(dated, kNone);
      series.p10.assign(dated, kNone);
      series.p50.assign(dated, kNone);
      series.p90.assign(dated, kNone);
      seriesOfRank[static_cast<std::size_t>(rank)] = {static_cast<int>(plots.size()),
                                                      static_cast<int>(plot.series.size())};
      plot.series.push_back(std::move(series));
    }
    plots.push_back(std::move(plot));
  }

  for (std::size_t f = 0; f < dated; ++f) {
    const TrendFlight& flight = aircraft.flights[f];
    model.ids.push_back(flight.id);
    model.starts.push_back(*flight.start);
    std::size_t b = 0;  // the bands follow the figures' order
    for (std::size_t i = 0; i < flight.figures.size(); ++i) {
      const TrendBand* band = nullptr;
      if (b < flight.band.size() && flight.band[b].first == flight.figures[i].first) {
        band = &flight.band[b++].second;
      }
      const auto [p, s] = seriesOfRank[static_cast<std::size_t>(flight.ranks[i])];
      if (p < 0) continue;
      TrendSeries& series = plots[static_cast<std::size_t>(p)].series[static_cast<std::size_t>(s)];
      series.value[f] = static_cast<float>(flight.figures[i].second);
      if (band != nullptr) {
        series.p10[f] = static_cast<float>(band->p10);
        series.p50[f] = static_cast<float>(band->p50);
        series.p90[f] = static_cast<float>(band->p90);
      }
    }
  }

  if (normalised) {
    for (int slot : {kEgtPlot, kChtPlot}) {
      const int p = plotOfSlot[static_cast<std::size_t>(slot)];
      if (p < 0) continue;
      std::vector<TrendSeries*> cylinders;
      for (TrendSeries& series : plots[static_cast<std::size_t>(p)].series) cylinders.push_back(&series);
      RelativeToOthers(cylinders, dated);
    }
  }

  for (const TrendChange& change : aircraft.changes) {
    const int slot = PlotOfColumn(change.column);
    const int p = slot < 0 ? -1 : plotOfSlot[static_cast<std::size_t>(slot)];
    const int from = model.IndexOf(change.fromId);
    const int confirmed = model.IndexOf(change.confirmedId);
    if (p < 0 || from < 0 || confirmed < 0) continue;
    model.marks.push_back({static_cast<std::size_t>(p), static_cast<std::size_t>(from),
                           static_cast<std::size_t>(confirmed),
                           TrendChangeSentence(change, aircraft)});
  }
  model.plots = std::move(plots);
  return model;
}

}  // namespace ovixlog
