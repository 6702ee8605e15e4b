#include "format/table_writer.h"

#include <utility>

namespace ovixlog {
namespace {

// Rows are handed on in blocks of about this size, not one by one.
constexpr size_t kBlockSize = 64 * 1024;

}  // namespace

TableWriter::TableWriter(RowStyle style, bool oldestFirst, std::optional<RowSettings> known,
                         Output output)
    : style_(style),
      oldestFirst_(oldestFirst),
      streaming_(oldestFirst && known.has_value()),
      settings_(known.value_or(RowSettings{})),
      output_(std::move(output)) {
  pending_.reserve(kBlockSize + 1024);
}

void TableWriter::Begin(RowSettings settings) {
  settings_ = settings;
  begun_ = true;
  row_.Clear();
  RowFormatter::Header(style_, settings_, row_);
  EndRow();
  if (style_ == RowStyle::kDisplay) {
    row_.Clear();
    RowFormatter::Rule(settings_.model, row_);
    EndRow();
  }
}

void TableWriter::Row(const EngineSample& sample) {
  RowFormatter::Sample(style_, settings_, sample, row_);
  EndRow();
}

void TableWriter::EndRow() {
  pending_.append(row_.view());
  pending_.append("\r\n");
  if (pending_.size() >= kBlockSize)
    Flush();
}

bool TableWriter::Flush() {
  if (!failed_ && !pending_.empty() && !output_(pending_))
    failed_ = true;
  pending_.clear();
  return !failed_;
}

bool TableWriter::Add(const EngineSample& sample) {
  if (failed_)
    return false;
  if (!streaming_) {
    kept_.push_back(sample);
    return true;
  }
  if (!begun_)
    Begin(settings_);
  Row(sample);
  return !failed_;
}

bool TableWriter::Finish(RowSettings settings) {
  if (!begun_)
    Begin(streaming_ ? settings_ : settings);
  if (oldestFirst_) {
    for (const EngineSample& sample : kept_)
      Row(sample);
  } else {
    for (auto it = kept_.rbegin(); it != kept_.rend(); ++it)
      Row(*it);
  }
  kept_.clear();
  return Flush();
}

}  // namespace ovixlog
