#include "library/trends.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <map>

namespace ovixlog {
namespace {

// Figures in the order they are written: cylinders first, each group by cylinder number.
constexpr int kCylinderSlots = 100;
constexpr int kEgtRank = 0;
constexpr int kChtRank = kCylinderSlots;
constexpr int kOtherRank = 2 * kCylinderSlots;

constexpr int kOilPressureRank = kOtherRank + 1;
constexpr int kGamiRank = kOtherRank + 7;

const char* const kOtherFigures[] = {"cruise_OilT",       "cruise_OilP",       "cruise_Volt",
                                     "cruise_Flow",       "egt_spread_cruise", "cht_spread_cruise",
                                     "max_CHT",           "gami_spread"};

std::optional<int> CylinderNumber(const std::string& name, const std::string& prefix) {
  if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) {
    return std::nullopt;
  }
  int number = 0;
  for (std::size_t i = prefix.size(); i < name.size(); ++i) {
    const char c = name[i];
    if (c < '0' || c > '9' || (i == prefix.size() && c == '0') || number >= 10) {
      return std::nullopt;
    }
    number = number * 10 + (c - '0');
  }
  if (number < 1 || number >= kCylinderSlots) return std::nullopt;
  return number;
}

double MedianInPlace(std::vector<double>& values) {
  const std::size_t n = values.size();
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(n / 2);
  std::nth_element(values.begin(), middle, values.end());
  if (n % 2 == 1) return *middle;
  // The other middle value is the greatest of the lower half.
  return (*std::max_element(values.begin(), middle) + *middle) / 2.0;
}

struct Threshold {
  const char* kind;
  double size;
  bool rising;
  bool falling;
};

// Figures are decimal numbers held in binary: 0.7 - 0.4 is a hair under 0.3. A difference that
// short of a threshold by no more than this still reaches it.
constexpr double kDecimalSlack = 1e-9;

constexpr Threshold kEgtShift{"egt_shift", 50.0, true, true};
constexpr Threshold kChtShift{"cht_shift", 30.0, true, true};
constexpr Threshold kOilPressureDrop{"oil_pressure_drop", 10.0, false, true};
constexpr Threshold kGamiShift{"gami_shift", 0.3, true, false};

// One figure's values over the flights that have it, in flight order.
struct ChangeSeries {
  std::string column;
  int rank = 0;
  const Threshold* threshold = nullptr;
  std::vector<std::size_t> flightIndex;  // into the aircraft's flights
  std::vector<double> values;
};

// Each cylinder's figure minus the mean of the other cylinders' figures of the same flight.
// Fills `relative` (emptied first); nothing with fewer than two cylinders.
void RelativeToOthers(const TrendFlight& flight, int firstRank,
                      std::vector<std::pair<int, double>>& relative) {
  relative.clear();
  double sum = 0.0;
  for (std::size_t f = 0; f < flight.figures.size(); ++f) {
    const int number = flight.ranks[f] - firstRank;
    if (number > 0 && number < kCylinderSlots) {
      relative.emplace_back(number, flight.figures[f].second);
      sum += flight.figures[f].second;
    }
  }
  if (relative.size() < 2) {
    relative.clear();
    return;
  }
  const auto others = static_cast<double>(relative.size() - 1);
  for (auto& cylinder : relative) cylinder.second -= (sum - cylinder.second) / others;
}

struct FoundChange {
  std::size_t flightIndex;
  int rank;
  TrendChange change;
};

void FindChanges(const ChangeSeries& series, const std::vector<TrendFlight>& flights,
                 std::vector<FoundChange>& found) {
  const Threshold& threshold = *series.threshold;
  const std::size_t n = series.values.size();
  std::size_t baselineFrom = 0;
  // The baseline's flights [windowFrom, windowTo), kept sorted as the window slides on.
  std::vector<double> window;
  std::size_t windowFrom = 0;
  std::size_t windowTo = 0;
  for (std::size_t last = kTrendConfirmFlights - 1; last < n; ++last) {
    const std::size_t first = last + 1 - kTrendConfirmFlights;
    const std::size_t windowStart =
        std::max(baselineFrom, first >= kTrendBaselineFlights ? first - kTrendBaselineFlights : 0);
    if (first < windowStart + kTrendMinFlights) continue;
    if (windowStart >= windowTo) {
      window.clear();
      windowFrom = windowTo = windowStart;
    }
    for (; windowFrom < windowStart; ++windowFrom) {
      window.erase(std::lower_bound(window.begin(), window.end(), series.values[windowFrom]));
    }
    for (; windowTo < first; ++windowTo) {
      const double value = series.values[windowTo];
      window.insert(std::upper_bound(window.begin(), window.end(), value), value);
    }
    const std::size_t count = window.size();
    const double baseline = count % 2 == 1
                                ? window[count / 2]
                                : (window[count / 2 - 1] + window[count / 2]) / 2.0;
    bool above = threshold.rising;
    bool below = threshold.falling;
    double sum = 0.0;
    for (std::size_t i = first; i <= last; ++i) {
      const double difference = series.values[i] - baseline;
      above = above && difference >= threshold.size - kDecimalSlack;
      below = below && -difference >= threshold.size - kDecimalSlack;
      sum += difference;
    }
    if (!above && !below) continue;
    TrendChange change;
    change.kind = threshold.kind;
    change.column = series.column;
    change.fromId = flights[series.flightIndex[first]].id;
    change.confirmedId = flights[series.flightIndex[last]].id;
    change.shift = sum / static_cast<double>(kTrendConfirmFlights);
    found.push_back({series.flightIndex[last], series.rank, change});
    baselineFrom = first;
  }
}

std::vector<TrendChange> AircraftChanges(const std::vector<TrendFlight>& flights,
                                         std::size_t datedCount) {
  std::vector<ChangeSeries> byRank(static_cast<std::size_t>(kTrendFigureRanks));
  // `column` names the series when it starts.
  auto add = [&](int rank, const auto& column, const Threshold& threshold, std::size_t index,
                 double value) {
    ChangeSeries& series = byRank[static_cast<std::size_t>(rank)];
    if (series.threshold == nullptr) {
      series.column = column();
      series.rank = rank;
      series.threshold = &threshold;
    }
    series.flightIndex.push_back(index);
    series.values.push_back(value);
  };
  std::vector<std::pair<int, double>> relative;
  for (std::size_t index = 0; index < datedCount; ++index) {
    const TrendFlight& flight = flights[index];
    if (flight.figures.empty()) continue;
    RelativeToOthers(flight, kEgtRank, relative);
    for (const auto& [number, value] : relative) {
      add(kEgtRank + number, [n = number] { return "EGT" + std::to_string(n); }, kEgtShift,
          index, value);
    }
    RelativeToOthers(flight, kChtRank, relative);
    for (const auto& [number, value] : relative) {
      add(kChtRank + number, [n = number] { return "CHT" + std::to_string(n); }, kChtShift,
          index, value);
    }
    for (std::size_t f = 0; f < flight.figures.size(); ++f) {
      if (flight.ranks[f] == kOilPressureRank) {
        add(kOilPressureRank, [] { return std::string("OilP"); }, kOilPressureDrop, index,
            flight.figures[f].second);
      } else if (flight.ranks[f] == kGamiRank) {
        add(kGamiRank, [] { return std::string("gami_spread"); }, kGamiShift, index,
            flight.figures[f].second);
      }
    }
  }
  std::vector<FoundChange> found;
  for (const ChangeSeries& series : byRank) {
    if (series.threshold != nullptr) FindChanges(series, flights, found);
  }
  std::stable_sort(found.begin(), found.end(), [](const FoundChange& a, const FoundChange& b) {
    return a.flightIndex != b.flightIndex ? a.flightIndex < b.flightIndex : a.rank < b.rank;
  });
  std::vector<TrendChange> changes;
  changes.reserve(found.size());
  for (auto& entry : found) changes.push_back(std::move(entry.change));
  return changes;
}

// Each flight's band per figure from the up to 20 earlier dated flights that have the figure.
void AddBands(std::vector<TrendFlight>& flights, std::size_t datedCount) {
  std::vector<TrendBandWindow> windows(static_cast<std::size_t>(kTrendFigureRanks));
  for (std::size_t index = 0; index < datedCount; ++index) {
    TrendFlight& flight = flights[index];
    flight.band.reserve(flight.figures.size());
    for (std::size_t f = 0; f < flight.figures.size(); ++f) {
      if (auto band = windows[static_cast<std::size_t>(flight.ranks[f])].Band()) {
        flight.band.emplace_back(flight.figures[f].first, *band);
      }
    }
    for (std::size_t f = 0; f < flight.figures.size(); ++f) {
      windows[static_cast<std::size_t>(flight.ranks[f])].Add(flight.figures[f].second);
    }
  }
}

}  // namespace

std::optional<int> TrendFigureRank(const std::string& name) {
  if (auto number = CylinderNumber(name, "cruise_EGT")) return kEgtRank + *number;
  if (auto number = CylinderNumber(name, "cruise_CHT")) return kChtRank + *number;
  for (std::size_t i = 0; i < std::size(kOtherFigures); ++i) {
    if (name == kOtherFigures[i]) return kOtherRank + static_cast<int>(i);
  }
  return std::nullopt;
}

double TrendPercentile(const std::vector<double>& sorted, int percent) {
  // The rank in hundredths, so that p x (n - 1) is exact.
  const auto scaled = static_cast<std::size_t>(percent) * (sorted.size() - 1);
  const std::size_t low = scaled / 100;
  const std::size_t hundredths = scaled % 100;
  if (hundredths == 0) return sorted[low];
  const double fraction = static_cast<double>(hundredths) / 100.0;
  return sorted[low] + fraction * (sorted[low + 1] - sorted[low]);
}

void TrendBandWindow::Add(double value) {
  if (recent_.size() == static_cast<std::size_t>(kTrendBandFlights)) {
    sorted_.erase(std::lower_bound(sorted_.begin(), sorted_.end(), recent_.front()));
    recent_.erase(recent_.begin());
  }
  recent_.push_back(value);
  sorted_.insert(std::upper_bound(sorted_.begin(), sorted_.end(), value), value);
}

std::optional<TrendBand> TrendBandWindow::Band() const {
  if (sorted_.size() < static_cast<std::size_t>(kTrendMinFlights)) return std::nullopt;
  return TrendBand{TrendPercentile(sorted_, 10), TrendPercentile(sorted_, 50),
                   TrendPercentile(sorted_, 90)};
}

double TrendMedian(std::vector<double> values) { return MedianInPlace(values); }

bool HasBands(const AircraftTrend& aircraft) {
  return std::any_of(aircraft.flights.begin(), aircraft.flights.end(),
                     [](const TrendFlight& flight) { return !flight.band.empty(); });
}

const TrendBand* FindBand(const TrendFlight& flight, const std::string& name) {
  for (const auto& entry : flight.band) {
    if (entry.first == name) return &entry.second;
  }
  return nullptr;
}

std::optional<double> FindFigure(const TrendFlight& flight, const std::string& name) {
  for (const auto& entry : flight.figures) {
    if (entry.first == name) return entry.second;
  }
  return std::nullopt;
}

Trends ComputeTrends(const std::vector<TrendFlightRow>& rows) {
  std::map<std::string, std::vector<const TrendFlightRow*>> named;
  std::vector<const TrendFlightRow*> unnamed;
  for (const TrendFlightRow& row : rows) {
    (row.aircraft ? named[*row.aircraft] : unnamed).push_back(&row);
  }
  std::vector<std::pair<std::optional<std::string>, std::vector<const TrendFlightRow*>*>> groups;
  for (auto& [name, group] : named) groups.emplace_back(name, &group);
  if (!unnamed.empty()) groups.emplace_back(std::nullopt, &unnamed);

  Trends trends;
  for (auto& [name, group] : groups) {
    std::vector<const TrendFlightRow*>& members = *group;
    // Dated flights by their start, then the undated ones; ties keep the order added.
    std::stable_sort(members.begin(), members.end(),
                     [](const TrendFlightRow* a, const TrendFlightRow* b) {
                       if (a->startUtcMs.has_value() != b->startUtcMs.has_value()) {
                         return a->startUtcMs.has_value();
                       }
                       if (a->startUtcMs && *a->startUtcMs != *b->startUtcMs) {
                         return *a->startUtcMs < *b->startUtcMs;
                       }
                       return a->order < b->order;
                     });
    AircraftTrend aircraft;
    aircraft.name = name;
    std::size_t datedCount = 0;
    for (const TrendFlightRow* row : members) {
      TrendFlight flight;
      flight.id = row->id;
      if (row->startUtcMs) {
        flight.start = row->start;
        ++datedCount;
      }
      if (row->hasCruise) {
        // Each figure by rank; a name given twice keeps its first value.
        std::vector<std::pair<int, std::size_t>> ranked;
        for (std::size_t i = 0; i < row->figures.size(); ++i) {
          const auto& [figure, value] = row->figures[i];
          auto rank = TrendFigureRank(figure);
          if (rank && std::isfinite(value)) ranked.emplace_back(*rank, i);
        }
        std::sort(ranked.begin(), ranked.end());
        flight.figures.reserve(ranked.size());
        flight.ranks.reserve(ranked.size());
        for (std::size_t i = 0; i < ranked.size(); ++i) {
          if (i > 0 && ranked[i].first == ranked[i - 1].first) continue;
          flight.figures.push_back(row->figures[ranked[i].second]);
          flight.ranks.push_back(ranked[i].first);
        }
      }
      aircraft.flights.push_back(std::move(flight));
    }
    AddBands(aircraft.flights, datedCount);
    aircraft.changes = AircraftChanges(aircraft.flights, datedCount);
    trends.aircraft.push_back(std::move(aircraft));
  }
  return trends;
}

}  // namespace ovixlog
