#include "acquisition/frame_decoder.h"

#include <memory>

namespace ovixlog {
namespace {

// The scale constants are single precision, and so is each product.
constexpr float kTenth = 0.1f;
constexpr float kHundred = 100.0f;
constexpr float kHundredth = 0.01f;

int16_t Raw16(const uint8_t* p) {
  return static_cast<int16_t>(static_cast<uint16_t>(p[0] << 8 | p[1]));
}
uint16_t U16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] << 8 | p[1]);
}
int32_t Alt16(const uint8_t* p) {
  return static_cast<int32_t>(Raw16(p)) * 10;
}
float Scaled(const uint8_t* p, float k) {
  return static_cast<float>(U16(p)) * k;
}
float Vsi(uint8_t b) {
  return static_cast<float>(static_cast<int8_t>(b)) * kHundred;
}
int8_t S8(uint8_t b) {
  return static_cast<int8_t>(b);
}

void DecodeShort(const uint8_t* f, EngineSample& s) {
  // The short frame carries fewer values; the rest read as zero rather than as leftovers of an
  // earlier long frame.
  s = EngineSample{};
  s.tach = Raw16(f + 3);
  s.cht[0] = Raw16(f + 5);
  s.cht[1] = Raw16(f + 7);
  s.egt[0] = Raw16(f + 9);
  s.egt[1] = Raw16(f + 11);
  s.aspd = Raw16(f + 13);
  s.alt = Alt16(f + 15);
  s.volt = Scaled(f + 17, kTenth);
  s.flow = Scaled(f + 19, kTenth);
  s.unit = S8(f[21]);
  s.vsi = Vsi(f[22]);
  s.oat = f[23];
  s.cool = Raw16(f + 24);
  s.oilT = Raw16(f + 26);
  s.oilP = f[28];
  s.aux[0] = Raw16(f + 29);
  s.aux[1] = Raw16(f + 31);
  s.hours = Scaled(f + 33, kTenth);
  s.fuel = Scaled(f + 35, kTenth);
  s.fltHours = S8(f[37]);
  s.fltMinutes = S8(f[38]);
  s.fltSeconds = S8(f[39]);
  s.baro = Scaled(f + 42, kHundredth);
}

void DecodeLong(const uint8_t* f, EngineSample& s) {
  s.tach = Raw16(f + 3);
  for (int i = 0; i < 6; ++i)
    s.cht[i] = Raw16(f + 5 + 2 * i);
  for (int i = 0; i < 6; ++i)
    s.egt[i] = Raw16(f + 17 + 2 * i);
  s.aux[4] = Raw16(f + 29);
  s.aux[5] = Raw16(f + 31);
  s.aspd = Raw16(f + 33);
  s.alt = Alt16(f + 35);
  s.volt = Scaled(f + 37, kTenth);
  s.flow = Scaled(f + 39, kTenth);
  s.unit = S8(f[41]);
  s.carb = S8(f[42]);
  s.vsi = Vsi(f[43]);
  s.oat = static_cast<int16_t>(f[44] - 50);
  s.oilT = Raw16(f + 45);
  s.oilP = f[47];
  for (int i = 0; i < 4; ++i)
    s.aux[i] = Raw16(f + 48 + 2 * i);
  s.cool = Raw16(f + 56);
  s.hours = Scaled(f + 58, kTenth);
  s.fuel = Scaled(f + 60, kTenth);
  s.fltHours = S8(f[62]);
  s.fltMinutes = S8(f[63]);
  s.fltSeconds = S8(f[64]);
  s.baro = Scaled(f + 67, kHundredth);
  // The long frame has no EGT slots 7 to 9; the monitor reports them in CHT slots 4 to 6.
  s.egt[6] = s.cht[3];
  s.egt[7] = s.cht[4];
  s.egt[8] = s.cht[5];
}

}  // namespace

void FrameDecoder::DecodeFields(const uint8_t* frame, EngineModel model, EngineSample& sample) {
  if (model == kModel3100) {
    DecodeShort(frame, sample);
  } else {
    DecodeLong(frame, sample);
  }
}

void FrameDecoder::Decode(const uint8_t* frame, EngineModel model, uint32_t stamp) {
  DecodeFields(frame, model, sample_);
  sample_.tickMs = stamp;
  sample_.localTime = anchor_ ? anchor_->LocalTimeAt(stamp) : clock_.Now();
  if (sink_ != nullptr)
    sink_->AddSample(std::make_unique<EngineSample>(sample_), notifier_);
}

}  // namespace ovixlog
