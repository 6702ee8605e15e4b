// Writes the table the window shows, as text rows or CSV rows each ending in CR LF, for
// samples handed in oldest first. An oldest-first table whose settings are known from the
// start goes out row by row as the samples come, so its memory does not grow with the
// input; a newest-first one (or one whose model a log may still change) keeps the samples,
// in chunks, and writes them at the end.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "acquisition/engine_sample.h"
#include "format/row_buffer.h"
#include "format/row_formatter.h"

namespace ovixlog {

class TableWriter {
 public:
  // Takes the next bytes of the table; false when they could not be written.
  using Output = std::function<bool(std::string_view)>;

  // `known`: the settings every row is formatted with, when they cannot change any more.
  TableWriter(RowStyle style, bool oldestFirst, std::optional<RowSettings> known, Output output);

  // The next sample, oldest first. False once a write has failed (later rows are dropped).
  bool Add(const EngineSample& sample);
  // Writes what is still to go, formatted with `settings` (the known ones when given), and
  // hands on the bytes still buffered. False when any write failed.
  bool Finish(RowSettings settings);

  bool streaming() const { return streaming_; }

 private:
  void Begin(RowSettings settings);
  void Row(const EngineSample& sample);
  void EndRow();
  bool Flush();

  RowStyle style_;
  bool oldestFirst_;
  bool streaming_;
  RowSettings settings_;
  Output output_;
  bool begun_ = false;
  bool failed_ = false;
  RowBuffer row_;
  std::string pending_;
  std::deque<EngineSample> kept_;
};

}  // namespace ovixlog
