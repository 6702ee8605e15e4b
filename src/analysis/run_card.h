// A run's figures in words with their units, as a pilot reads them: when and how long, fuel,
// highest and lowest readings, the hottest head, spreads, how fast the heads warmed and cooled,
// each exceedance, and each lean test's peak per cylinder and order of peaking. The same
// figures as the converter's --summary, said for a person.
#pragma once

#include <string>
#include <vector>

#include "analysis/run_summary.h"
#include "analysis/sample_column.h"

namespace ovixlog {

// "°F", "rpm", "psi", "V", "gph", "kt", "ft" for a column's values.
std::string ColumnUnit(SampleColumn column);
// "CHT3 412 °F", "Volt 14.2 V".
std::string ReadingText(SampleColumn column, double value);
// The card's lines for run `number` of `count` (both from 1).
std::vector<std::string> RunCardLines(const RunSummary& run, size_t number, size_t count);

}  // namespace ovixlog
