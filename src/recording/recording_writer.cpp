#include "recording/recording_writer.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include "recording/recording_format.h"

namespace ovixlog {
namespace {

std::string SystemText(int error) {
  char buffer[256];
  return strerror_r(error, buffer, sizeof buffer);
}

int64_t EpochMsNow() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Makes the folder entry of a new file durable, so a power cut cannot lose the whole file.
void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

}  // namespace

std::string RecordingErrorText(int error) {
  return "Recording stopped: " + SystemText(error);
}

RecordingWriter::RecordingWriter(std::string folder, std::string baseName)
    : RecordingWriter(std::move(folder), std::move(baseName), Options{}) {}

RecordingWriter::RecordingWriter(std::string folder, std::string baseName, Options options)
    : folder_(std::move(folder)), baseName_(std::move(baseName)), options_(options) {
  try {
    thread_ = std::thread(&RecordingWriter::Run, this);
  } catch (const std::system_error& e) {
    std::lock_guard<std::mutex> lock(mutex_);
    failed_ = true;
    status_.error = std::string("Recording stopped: ") + e.what();
  }
}

RecordingWriter::~RecordingWriter() {
  Close();
}

void RecordingWriter::Append(uint8_t type, uint32_t stamp, const uint8_t* payload, size_t length) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (failed_ || stopping_)
    return;
  if (pending_.size() + kRecordHeaderSize + length > options_.maxPendingBytes) {
    // The disk has not taken anything for a long time; holding more would only grow memory.
    failed_ = true;
    status_.error = "Recording stopped: the disk is not keeping up";
    pending_.clear();
    return;
  }
  AppendRecord(pending_, type, stamp, payload, length);
}

void RecordingWriter::AppendStream(uint32_t stamp, const uint8_t* bytes, size_t count) {
  if (count > 0)
    Append(kStreamRecord, stamp, bytes, count);
}

void RecordingWriter::AppendSetting(uint32_t stamp, const std::string& keyValue) {
  Append(kSettingRecord, stamp, reinterpret_cast<const uint8_t*>(keyValue.data()), keyValue.size());
}

void RecordingWriter::AppendWallClock(const WallClockAnchor& anchor) {
  const std::vector<uint8_t> payload = WallClockPayload(anchor);
  Append(kWallClockRecord, anchor.stamp, payload.data(), payload.size());
}

void RecordingWriter::AppendAircraft(uint32_t stamp, const std::string& name) {
  const std::vector<uint8_t> payload = AircraftPayload(name);
  if (!payload.empty())
    Append(kAircraftRecord, stamp, payload.data(), payload.size());
}

void RecordingWriter::AppendStreamRestart(uint32_t stamp) {
  Append(kStreamRestartRecord, stamp, nullptr, 0);
}

bool RecordingWriter::Close() {
  return Close(EpochMsNow());
}

bool RecordingWriter::Close(int64_t epochMs) {
  if (closed_)
    return false;
  closed_ = true;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!failed_) {
      const std::vector<uint8_t> payload = ClosingPayload(epochMs);
      AppendRecord(pending_, kClosingRecord, 0, payload.data(), payload.size());
    }
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable())
    thread_.join();
  if (fd_ >= 0) {
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  return !failed_;
}

RecordingWriter::Status RecordingWriter::status() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return status_;
}

void RecordingWriter::Fail(const std::string& what, int error) {
  std::lock_guard<std::mutex> lock(mutex_);
  failed_ = true;
  pending_.clear();
  status_.error = what.empty() ? RecordingErrorText(error) : what;
}

bool RecordingWriter::CreateFile() {
  std::error_code made;
  std::filesystem::create_directories(folder_, made);
  if (made) {
    Fail(std::string(), made.value());
    return false;
  }
  for (int n = 1; n < 1000; ++n) {
    const std::string name = baseName_ + (n == 1 ? "" : "-" + std::to_string(n)) + ".log";
    const std::string path = folder_ + "/" + name;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
      if (errno == EEXIST)
        continue;
      Fail(std::string(), errno);
      return false;
    }
    // Held until the clean end; a second OvixLog looking for abandoned recordings skips it.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int e = errno;
      ::close(fd);
      Fail(std::string(), e);
      return false;
    }
    fd_ = fd;
    // A file that could not even hold its closing record would only be an empty leftover.
    if (const int e = Reserve(kClosingRecordSize); e != 0) {
      ::unlink(path.c_str());
      ::close(fd);
      fd_ = -1;
      Fail(std::string(), e);
      return false;
    }
    SyncFolder(folder_);
    std::lock_guard<std::mutex> lock(mutex_);
    status_.name = name;
    status_.path = path;
    return true;
  }
  Fail(std::string(), EEXIST);
  return false;
}

int RecordingWriter::Reserve(uint64_t end) {
  rlimit limit{};
  if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
      end > limit.rlim_cur)
    return EFBIG;
  if (!canReserve_ || end <= reserved_)
    return 0;
  for (;;) {
    // Blocks past the end, the file's length unchanged: later writes up to `end` cannot find
    // the disk full.
    if (::fallocate(fd_, FALLOC_FL_KEEP_SIZE, static_cast<off_t>(written_),
                    static_cast<off_t>(end - written_)) == 0) {
      reserved_ = end;
      return 0;
    }
    if (errno == EINTR)
      continue;
    if (errno == ENOSPC || errno == EDQUOT || errno == EFBIG)
      return errno;
    // A file system that cannot reserve: a failed write is met by cutting the torn record.
    canReserve_ = false;
    return 0;
  }
}

bool RecordingWriter::WriteAll(const uint8_t* bytes, size_t count) {
  size_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(fd_, bytes + done, count - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : ENOSPC;
      CloseAfterFailure();
      Fail(std::string(), error);
      return false;
    }
    done += static_cast<size_t>(n);
    std::lock_guard<std::mutex> lock(mutex_);
    status_.size += static_cast<uint64_t>(n);
  }
  written_ += count;
  return true;
}

void RecordingWriter::CloseAfterFailure() {
  // A record torn by the failed write goes; the closing record follows the last whole one
  // (a file that got nothing is left empty: a lone closing record is no recording).
  if (::ftruncate(fd_, static_cast<off_t>(written_)) != 0 || written_ == 0)
    return;
  std::vector<uint8_t> closing;
  const std::vector<uint8_t> payload = ClosingPayload(EpochMsNow());
  AppendRecord(closing, kClosingRecord, 0, payload.data(), payload.size());
  const ssize_t n = ::write(fd_, closing.data(), closing.size());
  if (n == static_cast<ssize_t>(closing.size())) {
    written_ += closing.size();
  } else if (n > 0 && ::ftruncate(fd_, static_cast<off_t>(written_)) != 0) {
    return;
  }
  ::fdatasync(fd_);
  std::lock_guard<std::mutex> lock(mutex_);
  status_.size = written_;
}

bool RecordingWriter::WriteBatch(const std::vector<uint8_t>& batch, bool closes) {
  const int error = Reserve(written_ + batch.size() + (closes ? 0 : kClosingRecordSize));
  size_t fits = batch.size();
  if (error != 0) {
    // The whole records that still leave room for the closing record.
    fits = 0;
    for (size_t at = 0; at + kRecordHeaderSize <= batch.size(); at = fits) {
      const size_t next = at + kRecordHeaderSize + ReadBigEndian32(&batch[at + 5]);
      if (batch[at] == kClosingRecord || next > batch.size() ||
          Reserve(written_ + next + kClosingRecordSize) != 0)
        break;
      fits = next;
    }
  }
  if (!WriteAll(batch.data(), fits))
    return false;
  if (error != 0) {
    CloseAfterFailure();
    Fail(std::string(), error);
    return false;
  }
  if (::fdatasync(fd_) != 0) {
    Fail(std::string(), errno);
    return false;
  }
  return true;
}

void RecordingWriter::UpdateCpu() {
  timespec ts{};
  if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts) == 0)
    cpuNs_ = static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void RecordingWriter::Run() {
  if (!CreateFile()) {
    UpdateCpu();
    return;
  }
  std::vector<uint8_t> batch;
  for (;;) {
    bool last = false;
    bool overrun = false;  // the disk did not keep up: what was handed over is gone
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait_for(lock, std::chrono::milliseconds(options_.syncIntervalMs),
                     [this] { return stopping_; });
      last = stopping_;
      batch.clear();
      batch.swap(pending_);
      overrun = failed_;
    }
    if (overrun) {
      // What reached the file stays a whole recording.
      CloseAfterFailure();
      break;
    }
    if (const int stall = stallMs_.exchange(0); stall > 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(stall));
    // Close() hands over the closing record together with setting stopping_.
    if (!batch.empty() && !WriteBatch(batch, last))
      break;
    UpdateCpu();
    if (last)
      break;
  }
  UpdateCpu();
}

}  // namespace ovixlog
