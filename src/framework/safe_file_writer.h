// Writes a file so that a failure never destroys what was there before: the bytes go to a
// temporary file in the same folder, which replaces the target only when every write, the flush
// and the sync succeeded. The folder is synced after the rename, so the new name survives a
// power cut as well.
#pragma once

#include <string>
#include <string_view>

namespace ovixlog {

class SafeFileWriter {
 public:
  // Every named temporary file starts with this and ends in kTempSuffix. Such a file that no
  // running save holds (each save keeps an exclusive flock on its own) was left by an
  // interrupted save; the next save into that folder removes it.
  static constexpr std::string_view kTempPrefix = ".ovixlog-save-";
  static constexpr std::string_view kTempSuffix = ".tmp";

  SafeFileWriter() = default;
  SafeFileWriter(const SafeFileWriter&) = delete;
  SafeFileWriter& operator=(const SafeFileWriter&) = delete;
  // Removes the temporary file unless Commit succeeded.
  ~SafeFileWriter();

  // Creates the temporary file next to `path`. False when it cannot be created, or when `path`
  // names something that is not a regular file (a folder, a FIFO, a device): a save never opens
  // such a thing, so it can neither hang on a FIFO nor write into a device. With `streamsToo`
  // an existing FIFO or device (a tool's /dev/stdout, say) is written in place instead, which
  // waits for a FIFO's reader as any writer would.
  bool Open(const std::string& path, bool streamsToo = false);
  // Appends bytes; false (and every later call false) after any failure.
  bool Write(std::string_view bytes);
  // Flushes, syncs and renames the temporary file over the target. False on any failure, in
  // which case the target is untouched and the temporary file already removed.
  bool Commit();

  // Why Open, Write or Commit failed, in the system's words ("No space left on device"); empty
  // while nothing failed.
  const std::string& error() const { return error_; }

  // Off, saves always use a named temporary file, as on a file system without unnamed ones.
  // For tests; the default is on.
  static void SetUnnamedTemporaryAllowed(bool allowed);

 private:
  bool Flush();
  bool WriteOut(std::string_view bytes);
  // Records why the last step failed and marks the writer failed; returns false.
  bool Fail(int error);
  bool Fail(const std::string& reason);
  // Gives the unnamed temporary file a name in the target's folder.
  bool LinkUnnamed();
  // Closes and removes the temporary file.
  void Discard();

  std::string target_;
  std::string folder_;
  std::string temp_;  // the temporary file's name; empty while it has none
  int fd_ = -1;
  bool inPlace_ = false;  // writing straight into a FIFO or device
  bool failed_ = false;
  std::string error_;
  std::string buffer_;
  uint64_t written_ = 0;       // bytes written to the file so far
  uint64_t handedToDisk_ = 0;  // of those, the bytes whose write-out has been started
};

// Removes the temporary files that interrupted saves left in `folder` (see kTempPrefix). A file
// that a running save still holds, or that belongs to another user, is left alone.
void RemoveAbandonedTemporaries(const std::string& folder);

// The system's text for an error number ("Is a directory").
std::string SystemErrorText(int error);

}  // namespace ovixlog
