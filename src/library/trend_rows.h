// A library flight's stored figures (the JSON object of its run) turned into the plain row the
// trend computation takes: the cruise medians, the spreads, the highest CHT and the GAMI spread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <vector>

#include "library/flight_library.h"
#include "library/trends.h"

namespace ovixlog {

// `position` orders the dated flights (the library lists them oldest first); a flight without
// `start` has no clock. Figures that are missing, null or not numbers are left out; a figures
// text that is not a JSON object gives a flight without a cruise.
TrendFlightRow TrendRowFromFigures(int64_t id, const std::optional<std::string>& aircraft,
                                   const std::optional<std::string>& start, int64_t position,
                                   const std::string& figuresJson);

// The library's flights (as FlightLibrary::LoadFlights lists them: oldest first, those without
// a clock after) as trend rows.
std::vector<TrendFlightRow> TrendRowsFromLibrary(const std::vector<FlightRow>& flights);

}  // namespace ovixlog
