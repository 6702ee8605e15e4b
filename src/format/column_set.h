// Which columns the table shows for a monitor model.
#pragma once

#include "acquisition/engine_sample.h"

namespace ovixlog {

struct ColumnSet {
  int chtCount;
  int egtCount;
  int auxCount;
  bool carb;
};

// Codes 1, 2 and 3 have sets of their own; every other code shows the Model 5100's columns.
constexpr ColumnSet ColumnSetFor(EngineModel model) {
  switch (model) {
    case kModel3100:
      return {2, 2, 2, false};
    case kModel7100:
      return {6, 6, 6, true};
    case kModel8100:
      return {3, 9, 6, true};
    default:
      return {4, 4, 6, true};
  }
}

}  // namespace ovixlog
