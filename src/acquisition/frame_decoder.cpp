#include "acquisition/frame_decoder.h"

#include <iterator>
#include <memory>
#include <type_traits>
#include <utility>
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

// Unrolled over the constant table, so that each slot compiles to its own few instructions
// instead of a call through the table's field pointer.
template <const auto& Fields, size_t... I>
void DecodeSlots(const uint8_t* frame, EngineSample& s, std::index_sequence<I...>) {
  (std::visit(StoreValue{RawOf(frame, Fields[I]), Fields[I]}, Fields[I].field(s)), ...);
}

template <const auto& Copies, size_t... I>
void ApplyCopies(EngineSample& s, std::index_sequence<I...>) {
  const auto copy = [](auto* to, auto* from) {
    *to = static_cast<std::remove_pointer_t<decltype(to)>>(*from);
  };
  (std::visit(copy, Copies[I].to(s), Copies[I].from(s)), ...);
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

  if (model == kModel3100) {
    DecodeSlots<frame_layout::kShortFields>(
        frame, sample, std::make_index_sequence<std::size(frame_layout::kShortFields)>{});
  } else {
    DecodeSlots<frame_layout::kLongFields>(
        frame, sample, std::make_index_sequence<std::size(frame_layout::kLongFields)>{});
    ApplyCopies<frame_layout::kLongCopies>(
        sample, std::make_index_sequence<std::size(frame_layout::kLongCopies)>{});
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
