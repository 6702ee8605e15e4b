// The pilot's engine limits: a column or a column group, a kind (max or min) and a value,
// with defaults, the INI file that sets them, and the list that applies to each column of a
// monitor model.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/engine_sample.h"
#include "analysis/sample_column.h"

namespace ovixlog {

enum class LimitKind { kMax, kMin };

std::string_view LimitKindName(LimitKind kind);

// The largest size of a limit, either way; anything beyond is a typing error, not a limit.
inline constexpr double kLargestLimit = 100000.0;
// The largest limits file read: a page of limits is a few kilobytes.
inline constexpr size_t kLargestLimitsFile = 1 << 20;

// A limit in plain decimals, as few as give back exactly the same double ("435", "12.5",
// "0.000000001").
std::string ExactNumberText(double value);

// One limit as it applies to one column.
struct ColumnLimit {
  SampleColumn column;
  LimitKind kind = LimitKind::kMax;
  double value = 0.0;
};

class Limits {
 public:
  // CHT max 435, EGT max 1650, OilT max 245, OilP min 25, Volt min 12.0, Volt max 15.0.
  static Limits Defaults();
  // No limits at all.
  Limits() = default;

  // Reads limits-file text over these limits: each line sets (or with "off" removes) one limit.
  // A line that cannot be read is an error "NAME:LINE: why", and nothing is changed.
  bool Apply(std::string_view text, const std::string& name, std::string& error);
  // Defaults with the file at `path` applied. A missing file is an error when `required`,
  // otherwise it leaves the defaults; a folder, a device or a file over kLargestLimitsFile is
  // always an error.
  static std::optional<Limits> Load(const std::string& path, bool required, std::string& error);
  // $XDG_CONFIG_HOME/ovixlog/limits.ini, or ~/.config/ovixlog/limits.ini.
  static std::string DefaultPath();

  // `key` is a column title or a group (CHT, EGT); false for a name no model has.
  bool Set(const std::string& key, LimitKind kind, std::optional<double> value);
  std::optional<double> Get(const std::string& key, LimitKind kind) const;

  // The limits for every column of `model`; a single column's limit overrides its group's.
  std::vector<ColumnLimit> ForModel(EngineModel model) const;
  // The file text that gives these limits when applied to the defaults.
  std::string ToIni() const;

  friend bool operator==(const Limits&, const Limits&) = default;

 private:
  // Keyed by "CHT.max", "CHT3.max", "OilP.min"...
  std::map<std::string, double> values_;
};

}  // namespace ovixlog
