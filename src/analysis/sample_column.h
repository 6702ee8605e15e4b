// A column of the engine table that the analysis reads, by its title ("Tach", "CHT3", "Volt").
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "acquisition/engine_sample.h"

namespace ovixlog {

struct SampleColumn {
  enum class Field { kTach, kCht, kEgt, kOilT, kOilP, kOat, kVolt, kFlow, kAspd, kAlt };
  Field field = Field::kTach;
  int index = 0;  // cylinder number minus one, for CHT and EGT

  friend bool operator==(const SampleColumn&, const SampleColumn&) = default;
};

// "CHT3", "Tach", ...
std::string ColumnTitle(SampleColumn column);
// The column of a title; nothing for a title no model has (CHT7, EGT10, Foo).
std::optional<SampleColumn> ColumnFromTitle(std::string_view title);
// Whether `model`'s table shows the column.
bool ModelHasColumn(EngineModel model, SampleColumn column);
// The value as the table shows it: volts and flow in tenths, the rest whole.
double ColumnValue(const EngineSample& sample, SampleColumn column);

// Every column's value at once, for code that reads many columns of each sample: `values`
// indexed by ColumnSlot.
inline constexpr int kColumnSlots = 23;
int ColumnSlot(SampleColumn column);
void ColumnValues(const EngineSample& sample, double (&values)[kColumnSlots]);
// Volts or flow in whole tenths, rounded half away from zero.
int32_t TenthsOf(float value);

// A sample's EGTs and CHTs as values. Copied with a fixed-size memcpy, which the compiler turns
// into a few moves: these run for every sample of every analysis.
inline std::array<int16_t, 9> EgtsOf(const EngineSample& sample) {
  std::array<int16_t, 9> egts;
  std::memcpy(egts.data(), sample.egt, sizeof sample.egt);
  return egts;
}
inline std::array<int16_t, 6> ChtsOf(const EngineSample& sample) {
  std::array<int16_t, 6> chts;
  std::memcpy(chts.data(), sample.cht, sizeof sample.cht);
  return chts;
}

}  // namespace ovixlog
