#include "acquisition/frame_decoder.h"

#include <memory>
#include <type_traits>
#include <variant>

#include "acquisition/frame_layout.h"

namespace ovixlog {
namespace {

int32_t RawOf(const uint8_t* frame, const FrameField& field) {
  const uint8_t* p = frame + field.offset;
  const bool isSigned = field.signedness == Signedness::kSigned;
  if (field.width == 1)
    return isSigned ? static_cast<int32_t>(static_cast<int8_t>(p[0])) : p[0];
  const auto value = static_cast<uint16_t>(p[0] << 8 | p[1]);
  return isSigned ? static_cast<int32_t>(static_cast<int16_t>(value)) : value;
}

// Integer fields are exact; a real is the raw number in single precision times the single
// precision scale, so 141 volt steps give 141 * 0.1f and print as 14.1.
struct StoreValue {
  int32_t raw;
  const FrameField& field;
  void operator()(float* value) const {
    *value = static_cast<float>(raw) * field.scale + static_cast<float>(field.bias);
  }
  template <typename T>
  void operator()(T* value) const {
    *value = static_cast<T>(raw * static_cast<int32_t>(field.scale) + field.bias);
  }
};

void Copy(const FieldCopy& copy, EngineSample& s) {
  std::visit(
      [](auto* to, auto* from) { *to = static_cast<std::remove_pointer_t<decltype(to)>>(*from); },
      copy.to(s), copy.from(s));
}

}  // namespace

void FrameDecoder::DecodeFields(const uint8_t* frame, EngineModel model, EngineSample& sample) {
  // Values the layout does not carry read as zero rather than as leftovers of an earlier frame
  // of another layout.
  const uint32_t tickMs = sample.tickMs;
  const LocalTime localTime = sample.localTime;
  sample = EngineSample{};
  sample.tickMs = tickMs;
  sample.localTime = localTime;

  const FrameLayout& layout = FrameLayoutFor(model);
  for (const FrameField& field : layout.fields)
    std::visit(StoreValue{RawOf(frame, field), field}, field.field(sample));
  for (const FieldCopy& copy : layout.copies)
    Copy(copy, sample);
}

void FrameDecoder::Decode(const uint8_t* frame, EngineModel model, uint32_t stamp) {
  DecodeFields(frame, model, sample_);
  sample_.tickMs = stamp;
  sample_.localTime = anchor_ ? anchor_->LocalTimeAt(stamp) : clock_.Now();
  if (sink_ != nullptr)
    sink_->AddSample(std::make_unique<EngineSample>(sample_), notifier_);
}

}  // namespace ovixlog
