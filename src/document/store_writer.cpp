#include "document/store_writer.h"

#include <algorithm>
#include <vector>

namespace ovixlog {
namespace {

// Addresses fetched under one hold of the store's lock; the rows are formatted outside it.
constexpr int32_t kBatch = 4096;

}  // namespace

bool StoreWriter::Write(const SampleStore& store, int32_t count, RowStyle style,
                        RowSettings settings, bool oldestFirst,
                        const TableWriter::Output& output) {
  // The samples are handed over in the order the table shows them, so the writer streams
  // either order without keeping a copy.
  TableWriter writer(style, true, settings, output);
  std::vector<const EngineSample*> batch;
  bool ok = true;
  for (int32_t done = 0; ok && done < count; done += kBatch) {
    const int32_t size = std::min(kBatch, count - done);
    const int32_t first = oldestFirst ? done : count - done - size;
    store.Get(first, size, batch);
    if (oldestFirst) {
      for (const EngineSample* sample : batch)
        ok = ok && writer.Add(*sample);
    } else {
      for (auto it = batch.rbegin(); it != batch.rend(); ++it)
        ok = ok && writer.Add(**it);
    }
  }
  return writer.Finish(settings) && ok;
}

}  // namespace ovixlog
