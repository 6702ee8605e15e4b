#include "acquisition/frame_builder.h"

#include <cmath>

#include "acquisition/frame_decoder.h"

namespace ovixlog {
namespace {

void Put16(uint8_t* p, int value) {
  const auto v = static_cast<uint16_t>(value);
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v & 0xFF);
}

uint16_t RawOf(float value, float step) {
  const long raw = std::lround(static_cast<double>(value) / static_cast<double>(step));
  return static_cast<uint16_t>(raw < 0 ? 0 : (raw > 0xFFFF ? 0xFFFF : raw));
}

uint8_t VsiByte(float vsi) {
  long raw = std::lround(static_cast<double>(vsi) / 100.0);
  raw = raw < -128 ? -128 : (raw > 127 ? 127 : raw);
  return static_cast<uint8_t>(static_cast<int8_t>(raw));
}

uint8_t Byte(int value) {
  return static_cast<uint8_t>(value & 0xFF);
}

void LayShort(uint8_t* f, const EngineSample& s) {
  Put16(f + 3, s.tach);
  Put16(f + 5, s.cht[0]);
  Put16(f + 7, s.cht[1]);
  Put16(f + 9, s.egt[0]);
  Put16(f + 11, s.egt[1]);
  Put16(f + 13, s.aspd);
  Put16(f + 15, s.alt / 10);
  Put16(f + 17, RawOf(s.volt, 0.1f));
  Put16(f + 19, RawOf(s.flow, 0.1f));
  f[21] = Byte(s.unit);
  f[22] = VsiByte(s.vsi);
  f[23] = Byte(s.oat);
  Put16(f + 24, s.cool);
  Put16(f + 26, s.oilT);
  f[28] = s.oilP;
  Put16(f + 29, s.aux[0]);
  Put16(f + 31, s.aux[1]);
  Put16(f + 33, RawOf(s.hours, 0.1f));
  Put16(f + 35, RawOf(s.fuel, 0.1f));
  f[37] = Byte(s.fltHours);
  f[38] = Byte(s.fltMinutes);
  f[39] = Byte(s.fltSeconds);
  Put16(f + 42, RawOf(s.baro, 0.01f));
}

void LayLong(uint8_t* f, const EngineSample& s) {
  Put16(f + 3, s.tach);
  for (int i = 0; i < 6; ++i)
    Put16(f + 5 + 2 * i, s.cht[i]);
  for (int i = 0; i < 6; ++i)
    Put16(f + 17 + 2 * i, s.egt[i]);
  Put16(f + 29, s.aux[4]);
  Put16(f + 31, s.aux[5]);
  Put16(f + 33, s.aspd);
  Put16(f + 35, s.alt / 10);
  Put16(f + 37, RawOf(s.volt, 0.1f));
  Put16(f + 39, RawOf(s.flow, 0.1f));
  f[41] = Byte(s.unit);
  f[42] = Byte(s.carb);
  f[43] = VsiByte(s.vsi);
  f[44] = Byte(s.oat + 50);
  Put16(f + 45, s.oilT);
  f[47] = s.oilP;
  for (int i = 0; i < 4; ++i)
    Put16(f + 48 + 2 * i, s.aux[i]);
  Put16(f + 56, s.cool);
  Put16(f + 58, RawOf(s.hours, 0.1f));
  Put16(f + 60, RawOf(s.fuel, 0.1f));
  f[62] = Byte(s.fltHours);
  f[63] = Byte(s.fltMinutes);
  f[64] = Byte(s.fltSeconds);
  Put16(f + 67, RawOf(s.baro, 0.01f));
}

}  // namespace

uint8_t FrameBuilder::ChecksumOf(const uint8_t* frame, int length) {
  unsigned sum = 0;
  for (int i = 3; i < length - 1; ++i)
    sum += frame[i];
  return static_cast<uint8_t>(~sum);
}

void FrameBuilder::Append(std::vector<uint8_t>& out, const EngineSample& sample, EngineModel model,
                          int32_t altFrameFormat, Checksum checksum) {
  const int length = FrameLengthFor(model, altFrameFormat);
  const size_t start = out.size();
  out.resize(start + static_cast<size_t>(length), 0);
  uint8_t* f = out.data() + start;
  f[0] = kSyncByte;
  f[1] = SyncHeaderMiddle(model, altFrameFormat);
  f[2] = kSyncByte;
  if (model == kModel3100) {
    LayShort(f, sample);
  } else {
    LayLong(f, sample);
  }
  uint8_t sum = ChecksumOf(f, length);
  if (checksum == Checksum::kBad)
    sum = static_cast<uint8_t>(sum ^ 0x5A);
  f[length - 1] = sum;
}

std::vector<uint8_t> FrameBuilder::Build(const EngineSample& sample, EngineModel model,
                                         int32_t altFrameFormat, Checksum checksum) {
  std::vector<uint8_t> frame;
  Append(frame, sample, model, altFrameFormat, checksum);
  return frame;
}

EngineSample FrameBuilder::Expected(const EngineSample& sample, EngineModel model) {
  const std::vector<uint8_t> frame = Build(sample, model);
  EngineSample decoded;
  FrameDecoder::DecodeFields(frame.data(), model, decoded);
  decoded.tickMs = sample.tickMs;
  decoded.localTime = sample.localTime;
  return decoded;
}

}  // namespace ovixlog
