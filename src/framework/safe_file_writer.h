// Writes a file so that a failure never destroys what was there before: the bytes go to a
// temporary file in the same folder, which replaces the target only when every write, the flush
// and the close succeeded.
#pragma once

#include <string>
#include <string_view>

namespace ovixlog {

class SafeFileWriter {
 public:
  SafeFileWriter() = default;
  SafeFileWriter(const SafeFileWriter&) = delete;
  SafeFileWriter& operator=(const SafeFileWriter&) = delete;
  // Removes the temporary file unless Commit succeeded.
  ~SafeFileWriter();

  // Creates the temporary file next to `path`. False when it cannot be created.
  bool Open(const std::string& path);
  // Appends bytes; false (and every later call false) after any failure.
  bool Write(std::string_view bytes);
  // Flushes, closes and renames the temporary file over the target. False on any failure, in
  // which case the target is untouched and the temporary file already removed.
  bool Commit();

 private:
  bool Flush();
  // Closes and removes the temporary file.
  void Discard();

  std::string target_;
  std::string temp_;
  int fd_ = -1;
  bool failed_ = false;
  std::string buffer_;
};

}  // namespace ovixlog
