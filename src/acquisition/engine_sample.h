// One decoded monitor frame, and the model codes that decide how frames are read and shown.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace ovixlog {

// The PC's local date and time of a sample: eight unsigned 16-bit members in the order
// year, month, day of the week, day, hour, minute, second, milliseconds.
struct LocalTime {
  uint16_t year = 0;
  uint16_t month = 0;
  uint16_t dayOfWeek = 0;
  uint16_t day = 0;
  uint16_t hour = 0;
  uint16_t minute = 0;
  uint16_t second = 0;
  uint16_t milliseconds = 0;

  friend bool operator==(const LocalTime&, const LocalTime&) = default;
};

// A plain record, copied whole. Fields the decoded model's frame does not carry stay zero.
struct EngineSample {
  int16_t tach = 0;
  int16_t cht[6] = {};
  int16_t egt[9] = {};
  int16_t aspd = 0;
  int32_t alt = 0;
  float volt = 0.0f;
  float flow = 0.0f;
  int8_t unit = 0;
  int8_t carb = 0;
  float vsi = 0.0f;
  int16_t oat = 0;
  int16_t oilT = 0;
  uint8_t oilP = 0;
  int16_t aux[6] = {};
  int16_t cool = 0;
  float hours = 0.0f;
  float fuel = 0.0f;
  int8_t fltHours = 0;
  int8_t fltMinutes = 0;
  int8_t fltSeconds = 0;
  float baro = 0.0f;
  uint32_t tickMs = 0;
  LocalTime localTime;

  friend bool operator==(const EngineSample&, const EngineSample&) = default;
};

// True when two samples carry the same engine values, whatever their time fields say.
bool SameEngineValues(const EngineSample& a, const EngineSample& b);

// The monitor model code. Code 1 selects the short 48-byte layout, every other code the long
// 73-byte layout; the alternate format applies to code 0 only.
using EngineModel = int32_t;
inline constexpr EngineModel kModel5100 = 0;
inline constexpr EngineModel kModel3100 = 1;
inline constexpr EngineModel kModel7100 = 2;
inline constexpr EngineModel kModel8100 = 3;

inline constexpr int kShortFrameLength = 48;
inline constexpr int kLongFrameLength = 73;
inline constexpr int kAltFrameLength = 77;
inline constexpr int kMaxFrameLength = kAltFrameLength;

inline constexpr bool UsesAltFormat(EngineModel model, int32_t altFrameFormat) {
  return altFrameFormat != 0 && model == kModel5100;
}

inline constexpr int FrameLengthFor(EngineModel model, int32_t altFrameFormat) {
  if (UsesAltFormat(model, altFrameFormat))
    return kAltFrameLength;
  return model == kModel3100 ? kShortFrameLength : kLongFrameLength;
}

// The three sync bytes that open a frame: FE FF FE, or FE FE FE in the alternate format.
inline constexpr uint8_t kSyncByte = 0xFE;
inline constexpr uint8_t SyncHeaderMiddle(EngineModel model, int32_t altFrameFormat) {
  return UsesAltFormat(model, altFrameFormat) ? 0xFE : 0xFF;
}

// The model's four-digit number as the user knows it (5100 for code 0), or 0 for an unknown code.
int ModelNumber(EngineModel model);
// The code for a model number written as "3100", "5100", "7100" or "8100"; nothing otherwise.
std::optional<EngineModel> ModelFromNumber(std::string_view number);

}  // namespace ovixlog
