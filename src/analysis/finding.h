// One conclusion the analysis draws about an engine run (a failing probe, a dead alternator,
// shock cooling), with the figures that prove it and a sentence a pilot understands.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "analysis/sample_column.h"

namespace ovixlog {

enum class FindingSeverity { kInfo, kCaution, kWarning };

struct Finding {
  std::string kind;                   // "probe_fault", "low_voltage", "egt_oscillation", ...
  std::optional<SampleColumn> column;  // none: the engine as a whole
  int64_t startMs = 0;
  int64_t endMs = 0;
  FindingSeverity severity = FindingSeverity::kInfo;
  // The figures that prove it, by name, in the order they are written.
  std::vector<std::pair<std::string, double>> evidence;
  std::string text;

  friend bool operator==(const Finding&, const Finding&) = default;
};

// "info", "caution", "warning".
const char* FindingSeverityName(FindingSeverity severity);

}  // namespace ovixlog
