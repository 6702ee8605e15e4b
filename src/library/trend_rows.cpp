#include "library/trend_rows.h"

#include <algorithm>

#include <nlohmann/json.hpp>

namespace ovixlog {

TrendFlightRow TrendRowFromFigures(int64_t id, const std::optional<std::string>& aircraft,
                                   const std::optional<std::string>& start, int64_t position,
                                   const std::string& figuresJson) {
  TrendFlightRow row;
  row.id = id;
  row.aircraft = aircraft;
  row.order = id;
  if (start) {
    row.startUtcMs = position;
    row.start = *start;
  }
  const nlohmann::json figures = nlohmann::json::parse(figuresJson, nullptr, false);
  if (!figures.is_object()) return row;
  const auto cruise = figures.find("cruise");
  if (cruise == figures.end() || !cruise->is_object()) return row;
  row.hasCruise = true;
  for (const auto& [name, value] : cruise->items()) {
    if (value.is_number()) row.figures.emplace_back("cruise_" + name, value.get<double>());
  }
  for (const char* name : {"egt_spread_cruise", "cht_spread_cruise", "gami_spread"}) {
    const auto value = figures.find(name);
    if (value != figures.end() && value->is_number()) {
      row.figures.emplace_back(name, value->get<double>());
    }
  }
  // The highest CHT of the run: the greatest of the cylinders' maxima.
  const auto max = figures.find("max");
  if (max != figures.end() && max->is_object()) {
    std::optional<double> highest;
    for (const auto& [name, value] : max->items()) {
      if (name.rfind("CHT", 0) == 0 && value.is_number()) {
        highest = std::max(highest.value_or(value.get<double>()), value.get<double>());
      }
    }
    if (highest) row.figures.emplace_back("max_CHT", *highest);
  }
  return row;
}

}  // namespace ovixlog
