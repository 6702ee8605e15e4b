#include "acquisition/frame_builder.h"

#include <cmath>
#include <variant>

#include "acquisition/frame_decoder.h"
#include "acquisition/frame_layout.h"

namespace ovixlog {
namespace {

// The raw number that decodes to the value: reals rounded to the nearest step and held to what
// the field's bytes can carry, integers divided as integers.
struct RawFor {
  const FrameField& field;
  int32_t operator()(const float* value) const {
    const bool isSigned = field.signedness == Signedness::kSigned;
    const int bits = 8 * field.width;
    const long lowest = isSigned ? -(1L << (bits - 1)) : 0;
    const long highest = isSigned ? (1L << (bits - 1)) - 1 : (1L << bits) - 1;
    const long raw =
        std::lround((static_cast<double>(*value) - field.bias) / static_cast<double>(field.scale));
    return static_cast<int32_t>(raw < lowest ? lowest : (raw > highest ? highest : raw));
  }
  template <typename T>
  int32_t operator()(const T* value) const {
    return (static_cast<int32_t>(*value) - field.bias) / static_cast<int32_t>(field.scale);
  }
};

void Put(uint8_t* frame, const FrameField& field, int32_t raw) {
  uint8_t* p = frame + field.offset;
  const auto bits = static_cast<uint32_t>(raw);
  if (field.width == 1) {
    p[0] = static_cast<uint8_t>(bits & 0xFF);
  } else {
    p[0] = static_cast<uint8_t>((bits >> 8) & 0xFF);
    p[1] = static_cast<uint8_t>(bits & 0xFF);
  }
}

}  // namespace

uint8_t FrameBuilder::ChecksumOf(const uint8_t* frame, int length) {
  return FrameChecksum(frame, length);
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
  EngineSample values = sample;
  for (const FrameField& field : FrameLayoutFor(model).fields)
    Put(f, field, std::visit(RawFor{field}, field.field(values)));
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
