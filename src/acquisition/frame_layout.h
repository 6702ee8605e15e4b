// Where each engine value sits in a monitor frame and how its bytes read, for the short and the
// long layout. The decoder reads frames by this table and the frame builder writes them by it,
// so the two cannot disagree about an offset, a width or a scale.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <variant>

#include "acquisition/engine_sample.h"

namespace ovixlog {

// A frame's checksum: the one's complement of the sum of its bytes between the three-byte header
// and the checksum byte itself. Every frame read is summed, some more than once, so the bytes are
// added eight at a time in four 16-bit lanes (a frame is far too short to overflow one).
inline uint8_t FrameChecksum(const uint8_t* frame, int length) {
  const uint8_t* p = frame + 3;
  const uint8_t* const end = frame + (length > 3 ? length - 1 : 3);
  uint64_t lanes = 0;
  for (; end - p >= 8; p += 8) {
    uint64_t eight = 0;
    std::memcpy(&eight, p, sizeof eight);
    lanes += (eight & 0x00FF00FF00FF00FFull) + ((eight >> 8) & 0x00FF00FF00FF00FFull);
  }
  auto sum = static_cast<unsigned>((lanes & 0xFFFF) + ((lanes >> 16) & 0xFFFF) +
                                   ((lanes >> 32) & 0xFFFF) + (lanes >> 48));
  for (; p < end; ++p)
    sum += *p;
  return static_cast<uint8_t>(~sum);
}

// The storage of one engine value inside an EngineSample, typed as the field is.
using SampleFieldRef = std::variant<int8_t*, uint8_t*, int16_t*, int32_t*, float*>;
using SampleFieldOf = SampleFieldRef (*)(EngineSample&);

enum class Signedness : uint8_t { kUnsigned, kSigned };

// One value in a frame. Its bytes (high byte first) read as a `width`-byte number of the given
// signedness; the field holds that number times `scale` plus `bias`. Integer fields take whole
// scales (1, or 10 for the altitude) and are computed exactly; real fields are computed in single
// precision, the raw number converted to float and multiplied by the float `scale`.
struct FrameField {
  const char* name;
  int offset;  // from the first sync byte
  int width;   // 1 or 2
  Signedness signedness;
  float scale;
  int32_t bias;
  SampleFieldOf field;
};

// A value the frame has no slot for, copied from another field once the slots are decoded.
struct FieldCopy {
  const char* name;
  SampleFieldOf from;
  SampleFieldOf to;
};

struct FrameLayout {
  std::span<const FrameField> fields;
  std::span<const FieldCopy> copies;
};

// The tables are constant and visible here, so the decoder and the builder can unroll them into
// straight field copies.
namespace frame_layout {

template <auto Member>
SampleFieldRef Ref(EngineSample& s) {
  return &(s.*Member);
}

template <auto Member, int Index>
SampleFieldRef Elem(EngineSample& s) {
  return &(s.*Member)[Index];
}

inline constexpr Signedness kS = Signedness::kSigned;
inline constexpr Signedness kU = Signedness::kUnsigned;
inline constexpr float kTenth = 0.1f;
inline constexpr float kHundredth = 0.01f;

// 48 bytes: sync header 0-2, bytes 40-41 and 44-46 unused, checksum 47.
inline constexpr FrameField kShortFields[] = {
    {"tach", 3, 2, kS, 1.0f, 0, Ref<&EngineSample::tach>},
    {"cht1", 5, 2, kS, 1.0f, 0, Elem<&EngineSample::cht, 0>},
    {"cht2", 7, 2, kS, 1.0f, 0, Elem<&EngineSample::cht, 1>},
    {"egt1", 9, 2, kS, 1.0f, 0, Elem<&EngineSample::egt, 0>},
    {"egt2", 11, 2, kS, 1.0f, 0, Elem<&EngineSample::egt, 1>},
    {"aspd", 13, 2, kS, 1.0f, 0, Ref<&EngineSample::aspd>},
    {"alt", 15, 2, kS, 10.0f, 0, Ref<&EngineSample::alt>},
    {"volt", 17, 2, kU, kTenth, 0, Ref<&EngineSample::volt>},
    {"flow", 19, 2, kU, kTenth, 0, Ref<&EngineSample::flow>},
    {"unit", 21, 1, kS, 1.0f, 0, Ref<&EngineSample::unit>},
    {"vsi", 22, 1, kS, 100.0f, 0, Ref<&EngineSample::vsi>},
    {"oat", 23, 1, kU, 1.0f, 0, Ref<&EngineSample::oat>},
    {"cool", 24, 2, kS, 1.0f, 0, Ref<&EngineSample::cool>},
    {"oilT", 26, 2, kS, 1.0f, 0, Ref<&EngineSample::oilT>},
    {"oilP", 28, 1, kU, 1.0f, 0, Ref<&EngineSample::oilP>},
    {"aux1", 29, 2, kS, 1.0f, 0, Elem<&EngineSample::aux, 0>},
    {"aux2", 31, 2, kS, 1.0f, 0, Elem<&EngineSample::aux, 1>},
    {"hours", 33, 2, kU, kTenth, 0, Ref<&EngineSample::hours>},
    {"fuel", 35, 2, kU, kTenth, 0, Ref<&EngineSample::fuel>},
    {"fltHours", 37, 1, kS, 1.0f, 0, Ref<&EngineSample::fltHours>},
    {"fltMinutes", 38, 1, kS, 1.0f, 0, Ref<&EngineSample::fltMinutes>},
    {"fltSeconds", 39, 1, kS, 1.0f, 0, Ref<&EngineSample::fltSeconds>},
    {"baro", 42, 2, kU, kHundredth, 0, Ref<&EngineSample::baro>},
};

// 73 bytes (77 in the alternate format): sync header 0-2, bytes 65-66 and 69 on unused, checksum
// last. The last two aux values come right after the EGT block, the first four after oilP.
inline constexpr FrameField kLongFields[] = {
    {"tach", 3, 2, kS, 1.0f, 0, Ref<&EngineSample::tach>},
    {"cht1", 5, 2, kS, 1.0f, 0, Elem<&EngineSample::cht, 0>},
    {"cht2", 7, 2, kS, 1.0f, 0, Elem<&EngineSample::cht, 1>},
    {"cht3", 9, 2, kS, 1.0f, 0, Elem<&EngineSample::cht, 2>},
    {"cht4", 11, 2, kS, 1.0f, 0, Elem<&EngineSample::cht, 3>},
    {"cht5", 13, 2, kS, 1.0f, 0, Elem<&EngineSample::cht, 4>},
    {"cht6", 15, 2, kS, 1.0f, 0, Elem<&EngineSample::cht, 5>},
    {"egt1", 17, 2, kS, 1.0f, 0, Elem<&EngineSample::egt, 0>},
    {"egt2", 19, 2, kS, 1.0f, 0, Elem<&EngineSample::egt, 1>},
    {"egt3", 21, 2, kS, 1.0f, 0, Elem<&EngineSample::egt, 2>},
    {"egt4", 23, 2, kS, 1.0f, 0, Elem<&EngineSample::egt, 3>},
    {"egt5", 25, 2, kS, 1.0f, 0, Elem<&EngineSample::egt, 4>},
    {"egt6", 27, 2, kS, 1.0f, 0, Elem<&EngineSample::egt, 5>},
    {"aux5", 29, 2, kS, 1.0f, 0, Elem<&EngineSample::aux, 4>},
    {"aux6", 31, 2, kS, 1.0f, 0, Elem<&EngineSample::aux, 5>},
    {"aspd", 33, 2, kS, 1.0f, 0, Ref<&EngineSample::aspd>},
    {"alt", 35, 2, kS, 10.0f, 0, Ref<&EngineSample::alt>},
    {"volt", 37, 2, kU, kTenth, 0, Ref<&EngineSample::volt>},
    {"flow", 39, 2, kU, kTenth, 0, Ref<&EngineSample::flow>},
    {"unit", 41, 1, kS, 1.0f, 0, Ref<&EngineSample::unit>},
    {"carb", 42, 1, kS, 1.0f, 0, Ref<&EngineSample::carb>},
    {"vsi", 43, 1, kS, 100.0f, 0, Ref<&EngineSample::vsi>},
    {"oat", 44, 1, kU, 1.0f, -50, Ref<&EngineSample::oat>},
    {"oilT", 45, 2, kS, 1.0f, 0, Ref<&EngineSample::oilT>},
    {"oilP", 47, 1, kU, 1.0f, 0, Ref<&EngineSample::oilP>},
    {"aux1", 48, 2, kS, 1.0f, 0, Elem<&EngineSample::aux, 0>},
    {"aux2", 50, 2, kS, 1.0f, 0, Elem<&EngineSample::aux, 1>},
    {"aux3", 52, 2, kS, 1.0f, 0, Elem<&EngineSample::aux, 2>},
    {"aux4", 54, 2, kS, 1.0f, 0, Elem<&EngineSample::aux, 3>},
    {"cool", 56, 2, kS, 1.0f, 0, Ref<&EngineSample::cool>},
    {"hours", 58, 2, kU, kTenth, 0, Ref<&EngineSample::hours>},
    {"fuel", 60, 2, kU, kTenth, 0, Ref<&EngineSample::fuel>},
    {"fltHours", 62, 1, kS, 1.0f, 0, Ref<&EngineSample::fltHours>},
    {"fltMinutes", 63, 1, kS, 1.0f, 0, Ref<&EngineSample::fltMinutes>},
    {"fltSeconds", 64, 1, kS, 1.0f, 0, Ref<&EngineSample::fltSeconds>},
    {"baro", 67, 2, kU, kHundredth, 0, Ref<&EngineSample::baro>},
};

// The long frame has no EGT slots 7 to 9; the monitor reports them in CHT slots 4 to 6.
inline constexpr FieldCopy kLongCopies[] = {
    {"egt7", Elem<&EngineSample::cht, 3>, Elem<&EngineSample::egt, 6>},
    {"egt8", Elem<&EngineSample::cht, 4>, Elem<&EngineSample::egt, 7>},
    {"egt9", Elem<&EngineSample::cht, 5>, Elem<&EngineSample::egt, 8>},
};

}  // namespace frame_layout

// The short layout for model code 1, the long layout for every other code. The alternate format
// of code 0 has the long layout; its four extra bytes carry nothing that is decoded.
inline constexpr FrameLayout kShortFrameLayout{frame_layout::kShortFields, {}};
inline constexpr FrameLayout kLongFrameLayout{frame_layout::kLongFields, frame_layout::kLongCopies};
inline const FrameLayout& FrameLayoutFor(EngineModel model) {
  return model == kModel3100 ? kShortFrameLayout : kLongFrameLayout;
}

}  // namespace ovixlog
