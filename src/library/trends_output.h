// The trends written out: a JSON document of every aircraft's flights, bands and changes, and
// a CSV table of the flights' figures, one flight a line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "library/trends.h"

namespace ovixlog {

// {"aircraft": [{"name", "flights": [{"id", "start", "figures", "band"}], "changes"}]},
// numbers in the shortest form that reads back to the same value.
std::string TrendsJson(const Trends& trends);

// aircraft,id,start and one column per figure any flight has, in figure order; an empty
// cell where a flight lacks the figure.
std::string TrendsCsv(const Trends& trends);

// A change told in one sentence, naming its flights by id and the first one's date when it
// has a clock: "EGT3 runs 72 F hotter than the other cylinders since flight 12 (2026-06-01),
// confirmed on flight 14".
std::string TrendChangeSentence(const TrendChange& change, const AircraftTrend& aircraft);

// How flight `id` of `aircraft` compares with the engine's normal, one line each: every
// figure outside its band ("cruise EGT3 1422, above its normal 1350 to 1401"), then the
// changes confirmed on it. "Within its normal on every figure" when none is outside;
// "Not enough flights yet for a normal" when no figure has a band; nothing for a flight that
// is not there or had no cruise.
std::vector<std::string> TrendComparisonLines(const AircraftTrend& aircraft, int64_t id);

// A number in the shortest form that reads back to the same value ("70", "0.35").
std::string TrendNumber(double value);

}  // namespace ovixlog
