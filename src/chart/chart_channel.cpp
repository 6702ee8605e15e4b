#include "chart/chart_channel.h"

#include "format/column_set.h"

namespace ovixlog {
namespace {

constexpr const char* kTitles[kChannelCount] = {
    "CHT1", "CHT2", "CHT3", "CHT4", "CHT5", "CHT6", "EGT1", "EGT2", "EGT3", "EGT4", "EGT5",
    "EGT6", "EGT7", "EGT8", "EGT9", "Tach", "OilT", "OilP", "OAT",  "Volt", "Flow", "Fuel",
    "Carb", "Aux1", "Aux2", "Aux3", "Aux4", "Aux5", "Aux6", "Aspd", "Alt",  "VSI"};

}  // namespace

float ChannelValue(const EngineSample& s, int channel) {
  if (channel >= kChannelCht1 && channel < kChannelEgt1)
    return s.cht[channel - kChannelCht1];
  if (channel >= kChannelEgt1 && channel < kChannelTach)
    return s.egt[channel - kChannelEgt1];
  if (channel >= kChannelAux1 && channel < kChannelAspd)
    return s.aux[channel - kChannelAux1];
  switch (channel) {
    case kChannelTach:
      return s.tach;
    case kChannelOilT:
      return s.oilT;
    case kChannelOilP:
      return s.oilP;
    case kChannelOat:
      return s.oat;
    case kChannelVolt:
      return s.volt;
    case kChannelFlow:
      return s.flow;
    case kChannelFuel:
      return s.fuel;
    case kChannelCarb:
      return s.carb;
    case kChannelAspd:
      return s.aspd;
    case kChannelAlt:
      return static_cast<float>(s.alt);
    case kChannelVsi:
      return s.vsi;
    default:
      return 0.0f;
  }
}

void ChannelValues(const EngineSample& s, float* out) {
  for (int i = 0; i < 6; ++i)
    out[kChannelCht1 + i] = s.cht[i];
  for (int i = 0; i < 9; ++i)
    out[kChannelEgt1 + i] = s.egt[i];
  out[kChannelTach] = s.tach;
  out[kChannelOilT] = s.oilT;
  out[kChannelOilP] = s.oilP;
  out[kChannelOat] = s.oat;
  out[kChannelVolt] = s.volt;
  out[kChannelFlow] = s.flow;
  out[kChannelFuel] = s.fuel;
  out[kChannelCarb] = s.carb;
  for (int i = 0; i < 6; ++i)
    out[kChannelAux1 + i] = s.aux[i];
  out[kChannelAspd] = s.aspd;
  out[kChannelAlt] = static_cast<float>(s.alt);
  out[kChannelVsi] = s.vsi;
}

const char* ChannelTitle(int channel) {
  return channel >= 0 && channel < kChannelCount ? kTitles[channel] : "";
}

ChartUnit ChannelUnit(int channel) {
  if (channel < kChannelTach)
    return ChartUnit::kTemperature;
  if (channel >= kChannelAux1 && channel < kChannelAspd)
    return ChartUnit::kAux;
  switch (channel) {
    case kChannelTach:
      return ChartUnit::kRpm;
    case kChannelOilP:
      return ChartUnit::kPressure;
    case kChannelVolt:
      return ChartUnit::kVolts;
    case kChannelFlow:
      return ChartUnit::kFlow;
    case kChannelFuel:
      return ChartUnit::kFuel;
    case kChannelAspd:
      return ChartUnit::kSpeed;
    case kChannelAlt:
      return ChartUnit::kAltitude;
    case kChannelVsi:
      return ChartUnit::kClimb;
    default:
      return ChartUnit::kTemperature;  // OilT, OAT, Carb
  }
}

const char* UnitName(ChartUnit unit) {
  switch (unit) {
    case ChartUnit::kTemperature:
      return "F";
    case ChartUnit::kRpm:
      return "rpm";
    case ChartUnit::kPressure:
      return "psi";
    case ChartUnit::kVolts:
      return "V";
    case ChartUnit::kFlow:
      return "gph";
    case ChartUnit::kFuel:
      return "gal";
    case ChartUnit::kAux:
      return "aux";
    case ChartUnit::kSpeed:
      return "kt";
    case ChartUnit::kAltitude:
      return "ft";
    case ChartUnit::kClimb:
      return "ft/min";
  }
  return "";
}

std::vector<int> ChtChannels(EngineModel model) {
  std::vector<int> channels;
  for (int i = 0; i < ColumnSetFor(model).chtCount; ++i)
    channels.push_back(kChannelCht1 + i);
  return channels;
}

std::vector<int> EgtChannels(EngineModel model) {
  std::vector<int> channels;
  for (int i = 0; i < ColumnSetFor(model).egtCount; ++i)
    channels.push_back(kChannelEgt1 + i);
  return channels;
}

std::vector<int> OtherChannels(EngineModel model) {
  const ColumnSet set = ColumnSetFor(model);
  std::vector<int> channels = {kChannelTach, kChannelOilT, kChannelOilP, kChannelOat,
                               kChannelVolt, kChannelFlow, kChannelFuel};
  if (set.carb)
    channels.push_back(kChannelCarb);
  for (int i = 0; i < set.auxCount; ++i)
    channels.push_back(kChannelAux1 + i);
  for (int channel : {kChannelAspd, kChannelAlt, kChannelVsi})
    channels.push_back(channel);
  return channels;
}

}  // namespace ovixlog
