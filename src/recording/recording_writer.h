// Writes one live recording file on a thread of its own, so that whatever the disk does (slow,
// stalled, full) the thread that hands it bytes never waits: appending only copies the record
// into a memory buffer under a short lock. The writer thread creates the file, holds an
// exclusive lock on it while it is open (so it is never taken for an abandoned recording),
// writes what was handed over and syncs it to the disk at least every `syncIntervalMs`.
// Room for the closing record is kept beyond the file's end at all times (reserved on the disk,
// and within the file-size limit), so a recording stopped by a full disk or by the limit still
// ends with its closing record after its last whole record and is never taken for a crash.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/clock.h"

namespace ovixlog {

class RecordingWriter {
 public:
  struct Options {
    int syncIntervalMs = 250;
    // The most bytes held in memory while the disk does not take them. Beyond it the recording
    // stops with an error rather than growing without bound; acquisition is not affected.
    size_t maxPendingBytes = size_t{16} << 20;
  };

  struct Status {
    std::string name;   // the file name, once the file exists
    std::string path;   // folder and name
    uint64_t size = 0;  // bytes that have reached the file
    std::string error;  // "Recording stopped: No space left on device", or empty
  };

  // Starts the writer thread, which creates `folder` (and its parents) when missing and a new
  // file "<baseName>.log" in it ("<baseName>-2.log", ... when the name is taken). Returns at
  // once; a failure shows in status().error.
  RecordingWriter(std::string folder, std::string baseName);
  RecordingWriter(std::string folder, std::string baseName, Options options);
  // Close() with the wall-clock time now.
  ~RecordingWriter();
  RecordingWriter(const RecordingWriter&) = delete;
  RecordingWriter& operator=(const RecordingWriter&) = delete;

  // Each hands one record over and returns at once; any thread. After an error, or after
  // Close(), they do nothing.
  void AppendStream(uint32_t stamp, const uint8_t* bytes, size_t count);
  void AppendSetting(uint32_t stamp, const std::string& keyValue);
  void AppendWallClock(const WallClockAnchor& anchor);
  void AppendStreamRestart(uint32_t stamp);
  void AppendAircraft(uint32_t stamp, const std::string& name);

  // Appends the closing record (UTC `epochMs`), waits until everything is on the disk, then
  // unlocks and closes the file. True when the whole recording was written. Only the first call
  // does anything.
  bool Close(int64_t epochMs);
  bool Close();

  Status status() const;

  // The writer thread waits `ms` milliseconds before its next write, as a stalled disk would.
  void InjectStall(int ms) { stallMs_ = ms; }
  // CPU time the writer thread has used so far, in seconds.
  double WriterCpuSeconds() const { return static_cast<double>(cpuNs_.load()) / 1e9; }

 private:
  void Append(uint8_t type, uint32_t stamp, const uint8_t* payload, size_t length);
  void Run();
  bool CreateFile();
  // Writes a batch of whole records; `closes` when it ends with the closing record. When not all
  // of it fits, writes the records that do, then the closing record, and fails.
  bool WriteBatch(const std::vector<uint8_t>& batch, bool closes);
  bool WriteAll(const uint8_t* bytes, size_t count);
  // 0 when the file may grow to `end` bytes, else the error (ENOSPC, EFBIG) that stops it.
  int Reserve(uint64_t end);
  // Ends the file after its last whole record with the closing record, as far as it can.
  void CloseAfterFailure();
  void Fail(const std::string& what, int error);
  void UpdateCpu();

  const std::string folder_;
  const std::string baseName_;
  const Options options_;

  // mutex_ guards pending_, stopping_, status_ and failed_; held only to copy or swap, never
  // across a write or a sync.
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<uint8_t> pending_;
  bool stopping_ = false;
  bool failed_ = false;
  Status status_;

  // Writer thread only, then the closing thread after the join.
  int fd_ = -1;
  uint64_t written_ = 0;   // the file's length: always the end of a whole record
  uint64_t reserved_ = 0;  // the disk holds blocks for the file up to here
  bool canReserve_ = true;  // false on a file system that cannot reserve blocks
  bool closed_ = false;
  std::atomic<int> stallMs_{0};
  std::atomic<int64_t> cpuNs_{0};
  std::thread thread_;
};

// "Recording stopped: " and the system's text for `error`.
std::string RecordingErrorText(int error);

}  // namespace ovixlog
