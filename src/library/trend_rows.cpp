#include "library/trend_rows.h"

#include <algorithm>

#include <nlohmann/json.hpp>

namespace ovixlog {
namespace {

// Reads a flight's stored figures without building a JSON tree: the numbers of the "cruise"
// object (as cruise_NAME, straight into the row), the top-level spreads and the CHT maxima.
// Everything else (the run's lists, other objects) is skipped as it streams past.
class FigureReader : public nlohmann::json_sax<nlohmann::json> {
 public:
  explicit FigureReader(TrendFlightRow& row) : row_(row) {}

  bool sawCruise = false;
  std::vector<std::pair<std::string, double>> spreads;
  std::optional<double> highestCht;

  bool null() override { return true; }
  bool boolean(bool) override { return true; }
  bool number_integer(number_integer_t value) override {
    return Number(static_cast<double>(value));
  }
  bool number_unsigned(number_unsigned_t value) override {
    return Number(static_cast<double>(value));
  }
  bool number_float(number_float_t value, const string_t&) override { return Number(value); }
  bool string(string_t&) override { return true; }
  bool binary(binary_t&) override { return true; }
  bool start_object(std::size_t) override {
    if (depth_ == 1 && key_ == "cruise") {
      sawCruise = true;
      inCruise_ = true;
    } else if (depth_ == 1 && key_ == "max") {
      inMax_ = true;
    }
    ++depth_;
    return true;
  }
  bool end_object() override {
    --depth_;
    if (depth_ == 1) inCruise_ = inMax_ = false;
    return true;
  }
  bool start_array(std::size_t) override {
    if (depth_ == 0) return false;  // not an object at all
    ++depth_;
    return true;
  }
  bool end_array() override {
    --depth_;
    return true;
  }
  bool key(string_t& name) override {
    key_ = name;
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    return false;
  }

 private:
  bool Number(double value) {
    if (depth_ == 2 && inCruise_) {
      // The cruise's place and length, speed and height are no trend figures.
      if (key_.rfind("EGT", 0) == 0 || key_.rfind("CHT", 0) == 0 || key_ == "OilT" ||
          key_ == "OilP" || key_ == "Volt" || key_ == "Flow") {
        row_.figures.emplace_back("cruise_" + key_, value);
      }
    } else if (depth_ == 2 && inMax_ && key_.rfind("CHT", 0) == 0) {
      highestCht = std::max(highestCht.value_or(value), value);
    } else if (depth_ == 1 && (key_ == "egt_spread_cruise" || key_ == "cht_spread_cruise" ||
                               key_ == "gami_spread")) {
      spreads.emplace_back(key_, value);
    }
    return depth_ > 0;  // a bare number is no object
  }

  TrendFlightRow& row_;
  int depth_ = 0;
  bool inCruise_ = false;
  bool inMax_ = false;
  std::string key_;
};

}  // namespace

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
  FigureReader reader(row);
  const bool parsed = nlohmann::json::sax_parse(figuresJson, &reader,
                                                nlohmann::json::input_format_t::json, false);
  if (!parsed || !reader.sawCruise) {
    row.hasCruise = false;
    row.figures.clear();
    return row;
  }
  row.hasCruise = true;
  for (auto& [name, value] : reader.spreads) row.figures.emplace_back(std::move(name), value);
  // The highest CHT of the run: the greatest of the cylinders' maxima.
  if (reader.highestCht) row.figures.emplace_back("max_CHT", *reader.highestCht);
  return row;
}

std::vector<TrendFlightRow> TrendRowsFromLibrary(const std::vector<FlightRow>& flights) {
  std::vector<TrendFlightRow> rows;
  rows.reserve(flights.size());
  int64_t position = 0;
  for (const FlightRow& flight : flights) {
    rows.push_back(
        TrendRowFromFigures(flight.id, flight.aircraft, flight.start, position++, flight.figures));
  }
  return rows;
}

}  // namespace ovixlog
