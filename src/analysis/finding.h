// One conclusion the analysis draws about an engine run (a failing probe, a dead alternator,
// shock cooling), with the figures that prove it and a sentence a pilot understands.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/sample_column.h"

namespace ovixlog {

enum class FindingSeverity { kInfo, kCaution, kWarning };

// One magneto's turn in a mag check: when the rpm fell, by how much, and how each EGT moved.
struct MagDip {
  int64_t startMs = 0;
  double rpmDrop = 0.0;
  std::vector<std::pair<SampleColumn, double>> egtChange;

  friend bool operator==(const MagDip&, const MagDip&) = default;
};

struct Finding {
  std::string kind;                   // "probe_fault", "low_voltage", "egt_oscillation", ...
  std::optional<SampleColumn> column;  // none: the engine as a whole
  int64_t startMs = 0;
  int64_t endMs = 0;
  FindingSeverity severity = FindingSeverity::kInfo;
  // The figures that prove it, by name, in the order they are written.
  std::vector<std::pair<std::string, double>> evidence;
  std::vector<MagDip> dips;  // a mag check's dips, written after the other evidence
  std::string text;

  friend bool operator==(const Finding&, const Finding&) = default;
};

// "info", "caution", "warning".
const char* FindingSeverityName(FindingSeverity severity);
// The severity of one of those names; nothing for any other text.
std::optional<FindingSeverity> FindingSeverityFromName(std::string_view name);
// The kind in words, capitalised: "Probe fault", "Mag check", "EGT dropout"; the kind itself
// when it is none of the analysis' own.
std::string FindingKindTitle(const std::string& kind);

}  // namespace ovixlog
