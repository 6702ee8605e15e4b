// Saves the window's table of stored samples, text or CSV, through the table writer the
// converter uses: every row ending in CR LF, in the chosen order, handed on in blocks.
#pragma once

#include <cstdint>

#include "document/sample_store.h"
#include "format/row_formatter.h"
#include "format/table_writer.h"

namespace ovixlog {

class StoreWriter {
 public:
  // Writes the table of the first `count` stored samples (titles, the display table's rule,
  // then the samples, oldest or newest first) with `settings`. Samples the reading thread adds
  // meanwhile come after `count` and change nothing. The store is read a batch of addresses at
  // a time, so the caller must be the thread that empties it (the user-interface thread).
  // False when a write failed; nothing more is written after it.
  static bool Write(const SampleStore& store, int32_t count, RowStyle style, RowSettings settings,
                    bool oldestFirst, const TableWriter::Output& output);
};

}  // namespace ovixlog
