// The quantities the charts can draw, how each is read from a sample, and which of them a
// monitor model carries (the same columns as the table shows).
#pragma once

#include <vector>

#include "acquisition/engine_sample.h"

namespace ovixlog {

// Channel numbers: CHT1..6, EGT1..9, then the other columns in the table's order.
enum ChartChannel : int {
  kChannelCht1 = 0,
  kChannelEgt1 = 6,
  kChannelTach = 15,
  kChannelOilT,
  kChannelOilP,
  kChannelOat,
  kChannelVolt,
  kChannelFlow,
  kChannelFuel,
  kChannelCarb,
  kChannelAux1,
  kChannelAspd = kChannelAux1 + 6,
  kChannelAlt,
  kChannelVsi,
  kChannelCount
};

// What a channel measures, so that charts put channels of one kind on one value axis.
enum class ChartUnit {
  kTemperature,
  kRpm,
  kPressure,
  kVolts,
  kFlow,
  kFuel,
  kAux,
  kSpeed,
  kAltitude,
  kClimb
};

float ChannelValue(const EngineSample& sample, int channel);
// Every channel's value at once, in channel order: out[kChannelCount].
void ChannelValues(const EngineSample& sample, float* out);
// "CHT3", "EGT1", "Tach", "Aux2", "Aspd" ...; empty for a number out of range.
const char* ChannelTitle(int channel);
ChartUnit ChannelUnit(int channel);
// The unit's short name for an axis: "°F" is written "F".
const char* UnitName(ChartUnit unit);

// The CHT channels of `model`, the EGT channels, and the others in the table's order.
std::vector<int> ChtChannels(EngineModel model);
std::vector<int> EgtChannels(EngineModel model);
std::vector<int> OtherChannels(EngineModel model);

}  // namespace ovixlog
