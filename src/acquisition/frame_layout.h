// Where each engine value sits in a monitor frame and how its bytes read, for the short and the
// long layout. The decoder reads frames by this table and the frame builder writes them by it,
// so the two cannot disagree about an offset, a width or a scale.
#pragma once

#include <cstdint>
#include <span>
#include <variant>

#include "acquisition/engine_sample.h"

namespace ovixlog {

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

// The short layout for model code 1, the long layout for every other code. The alternate format
// of code 0 has the long layout; its four extra bytes carry nothing that is decoded.
const FrameLayout& FrameLayoutFor(EngineModel model);

}  // namespace ovixlog
