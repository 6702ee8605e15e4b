// An input file opened for reading, closed when it goes out of scope. Opening a regular file
// never blocks, and a folder does not open. Anything else (a pipe, a FIFO, a device) is refused
// as not a regular file unless streams are wanted; then it is read to its end as `cat` would,
// and "-" stands for standard input.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace ovixlog {

class InputFile {
 public:
  InputFile(const std::string& path, bool streams);
  ~InputFile() { Close(); }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  // Why the file did not open, in the system's words.
  const std::string& error() const { return error_; }
  // A stream has no size: it is read until it ends.
  bool IsStream() const { return stream_; }
  // The size when it was opened; a file that grows meanwhile is read to its end all the same.
  uint64_t size() const { return size_; }
  // Reads up to `count` bytes; 0 at the end, -1 on an error (errno tells which).
  ssize_t Read(uint8_t* buffer, size_t count);
  void Close();

 private:
  void Fail(const std::string& reason);

  int fd_ = -1;
  bool stream_ = false;
  uint64_t size_ = 0;
  std::string error_;
};

}  // namespace ovixlog
