// Prints the table's rows: the fixed-width display rows shown in the window and written to text
// files, and the comma-separated rows written to CSV files. The two share columns, order and
// field widths; a CSV field has a comma where a display field has its leading space.
#pragma once

#include <string>

#include "acquisition/engine_sample.h"
#include "format/row_buffer.h"

namespace ovixlog {

enum class RowStyle { kDisplay, kCsv };

struct RowSettings {
  EngineModel model = kModel5100;
  bool showSystemTime = false;
  friend bool operator==(const RowSettings&, const RowSettings&) = default;
};

class RowFormatter {
 public:
  // The column titles: "Flt-Time Tach CHT1 ..." or "Flt-Time,Tach,CHT1,...".
  static void Header(RowStyle style, RowSettings settings, RowBuffer& out);
  // The dashed line under the display titles. It has no segment for the time column.
  static void Rule(EngineModel model, RowBuffer& out);
  // One sample. Field widths are minimums: a wider value widens the row.
  static void Sample(RowStyle style, RowSettings settings, const EngineSample& sample,
                     RowBuffer& out);
};

}  // namespace ovixlog
