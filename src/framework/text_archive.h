// A storing archive over a safely written file: the text form of a document is written
// through it by Serialize.
#pragma once

#include <string_view>

#include "framework/safe_file_writer.h"

namespace ovixlog {

class TextArchive {
 public:
  explicit TextArchive(SafeFileWriter& file) : file_(file) {}
  bool IsStoring() const { return true; }
  // Writes the characters of `text`, without a terminator.
  void WriteString(std::string_view text) { file_.Write(text); }
  SafeFileWriter& file() { return file_; }

 private:
  SafeFileWriter& file_;
};

}  // namespace ovixlog
