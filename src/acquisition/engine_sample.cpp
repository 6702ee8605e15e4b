#include "acquisition/engine_sample.h"

#include <string>

namespace ovixlog {

bool SameEngineValues(const EngineSample& a, const EngineSample& b) {
  EngineSample left = a;
  EngineSample right = b;
  left.tickMs = right.tickMs = 0;
  left.localTime = right.localTime = LocalTime{};
  return left == right;
}

int ModelNumber(EngineModel model) {
  switch (model) {
    case kModel5100:
      return 5100;
    case kModel3100:
      return 3100;
    case kModel7100:
      return 7100;
    case kModel8100:
      return 8100;
    default:
      return 0;
  }
}

std::optional<EngineModel> ModelFromNumber(std::string_view number) {
  for (EngineModel model : {kModel5100, kModel3100, kModel7100, kModel8100}) {
    if (number == std::to_string(ModelNumber(model)))
      return model;
  }
  return std::nullopt;
}

}  // namespace ovixlog
