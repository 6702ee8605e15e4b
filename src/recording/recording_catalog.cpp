#include "recording/recording_catalog.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "acquisition/clock.h"
#include "recording/recording_format.h"

namespace ovixlog {
namespace {

constexpr size_t kHeadBytes = 4096;  // where the opening records are looked for

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0)
      ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

bool ReadAt(int fd, uint8_t* buffer, size_t count, uint64_t offset) {
  size_t done = 0;
  while (done < count) {
    const ssize_t n = ::pread(fd, buffer + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool EndsWithClosingRecord(int fd, uint64_t size, int64_t* epochMs) {
  if (size < kClosingRecordSize)
    return false;
  uint8_t tail[kClosingRecordSize];
  if (!ReadAt(fd, tail, sizeof tail, size - kClosingRecordSize))
    return false;
  if (tail[0] != kClosingRecord || ReadBigEndian32(tail + 5) != kClosingPayloadSize)
    return false;
  *epochMs = ReadBigEndian64(tail + kRecordHeaderSize);
  return true;
}

// The longest payload each type of record has in a file we wrote; a length beyond it can only be
// damage. A live read never exceeds a few hundred bytes and the simulator's records a few
// kilobytes, so a megabyte leaves room for any stream record we write.
bool PlausibleLength(uint8_t type, uint64_t length) {
  switch (type) {
    case kStreamRecord:
      return length <= (1u << 20);
    case kSettingRecord:
      return length <= 256;
    case kWallClockRecord:
      return length == kWallClockPayloadSize;
    case kClosingRecord:
      return length == kClosingPayloadSize;
    case kStreamRestartRecord:
      return length == 0;
    case kAircraftRecord:
      return length >= 1 && length <= kAircraftNameLimit;
    default:
      return false;
  }
}

// Every recording of ours opens with a wall-clock record and then the model's setting record.
bool BeginsWithOurOpeningRecords(const uint8_t* head, size_t size) {
  constexpr size_t kSecond = kRecordHeaderSize + kWallClockPayloadSize;
  if (size < kSecond + kRecordHeaderSize + 3)
    return false;
  return head[0] == kWallClockRecord && ReadBigEndian32(head + 5) == kWallClockPayloadSize &&
         head[kSecond] == kSettingRecord &&
         PlausibleLength(kSettingRecord, ReadBigEndian32(head + kSecond + 5)) &&
         std::memcmp(head + kSecond + kRecordHeaderSize, "58=", 3) == 0;
}

// Whether `bytes` (what follows a record header whose length runs past the end of the file)
// hold records of their own: a chain of plausible records, at least one of them whole, that
// runs exactly to the end or into one record torn by it. A record torn by a crash is the last
// thing in its file, so such a chain means its length was damaged, not cut short. Worked out
// from the end backwards, so that every start is looked at once.
bool RecordsFollow(const std::vector<uint8_t>& bytes) {
  const size_t n = bytes.size();
  // For each start: -1 no chain; otherwise the whole records of the chain from there, up to 1.
  std::vector<int8_t> chain(n + 1, -1);
  chain[n] = 0;
  for (size_t q = n; q-- > 0;) {
    if (q + kRecordHeaderSize > n) {
      chain[q] = 0;  // a header torn by the end
      continue;
    }
    const uint64_t length = ReadBigEndian32(&bytes[q + 5]);
    if (!PlausibleLength(bytes[q], length))
      continue;
    const uint64_t next = q + kRecordHeaderSize + length;
    if (next > n) {
      chain[q] = 0;  // a record torn by the end
    } else if (chain[next] >= 0) {
      chain[q] = 1;
    }
  }
  return std::find(chain.begin(), chain.end(), int8_t{1}) != chain.end();
}

int64_t ModifiedMs(const struct stat& st) {
  return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
}

std::string SystemText(int error) {
  char buffer[256];
  return strerror_r(error, buffer, sizeof buffer);
}

}  // namespace

std::string DefaultRecordingsFolder() {
  if (const char* dir = std::getenv("OVIXLOG_RECORDINGS"); dir != nullptr && dir[0] != '\0')
    return dir;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/')
    return std::string(data) + "/ovixlog/recordings";
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/.local/share/ovixlog/recordings";
}

std::optional<RecordingInfo> ReadRecordingInfo(const std::string& path) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.get() < 0)
    return std::nullopt;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
    return std::nullopt;
  RecordingInfo info;
  info.path = path;
  info.name = std::filesystem::path(path).filename().string();
  info.size = static_cast<uint64_t>(st.st_size);
  info.startEpochMs = ModifiedMs(st);

  uint8_t head[kHeadBytes];
  const size_t headSize = static_cast<size_t>(std::min<uint64_t>(info.size, kHeadBytes));
  if (!ReadAt(fd.get(), head, headSize, 0))
    return std::nullopt;
  struct stat link {};
  info.ours = BeginsWithOurOpeningRecords(head, headSize) && ::lstat(path.c_str(), &link) == 0 &&
              S_ISREG(link.st_mode);
  bool haveStart = false;
  for (size_t pos = 0; pos + kRecordHeaderSize <= headSize;) {
    const uint8_t type = head[pos];
    const uint32_t length = ReadBigEndian32(head + pos + 5);
    const size_t payload = pos + kRecordHeaderSize;
    if (length > headSize - payload)
      break;
    if (type == kWallClockRecord && !haveStart) {
      if (auto anchor = ParseWallClock(0, head + payload, length)) {
        info.startEpochMs = anchor->epochMs;
        info.utcOffsetSeconds = anchor->utcOffsetSeconds;
        haveStart = true;
      }
    } else if (type == kSettingRecord && info.modelNumber == 0 && length == 4 &&
               std::memcmp(head + payload, "58=", 3) == 0) {
      switch (head[payload + 3]) {
        case '3':
          info.modelNumber = 3100;
          break;
        case '5':
          info.modelNumber = 5100;
          break;
        case '7':
          info.modelNumber = 7100;
          break;
        case '8':
          info.modelNumber = 8100;
          break;
        default:
          break;
      }
    } else if (type == kStreamRecord) {
      break;  // the opening records are behind us
    }
    pos = payload + length;
  }
  if (!haveStart)
    info.utcOffsetSeconds = WallClockAnchor::Now(0).utcOffsetSeconds;

  int64_t endMs = 0;
  info.closed = EndsWithClosingRecord(fd.get(), info.size, &endMs);
  if (!info.closed)
    endMs = ModifiedMs(st);
  info.durationMs = std::max<int64_t>(0, endMs - info.startEpochMs);
  // A writer holds an exclusive lock for as long as it writes.
  if (::flock(fd.get(), LOCK_SH | LOCK_NB) != 0) {
    info.inUse = errno == EWOULDBLOCK;
  } else {
    ::flock(fd.get(), LOCK_UN);
  }
  return info;
}

std::vector<RecordingInfo> ListRecordings(const std::string& folder) {
  std::vector<RecordingInfo> found;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (name.size() < 5 || name.compare(name.size() - 4, 4, ".log") != 0 || name[0] == '.')
      continue;
    std::optional<RecordingInfo> info = ReadRecordingInfo(entry.path().string());
    if (info && info->size > 0)
      found.push_back(std::move(*info));
  }
  std::sort(found.begin(), found.end(), [](const RecordingInfo& a, const RecordingInfo& b) {
    return a.startEpochMs != b.startEpochMs ? a.startEpochMs > b.startEpochMs : a.name > b.name;
  });
  return found;
}

std::optional<RecordingInfo> NewestAbandonedRecording(const std::string& folder) {
  for (RecordingInfo& info : ListRecordings(folder)) {
    if (info.ours && !info.closed && !info.inUse)
      return std::move(info);
  }
  return std::nullopt;
}

bool SealRecording(const std::string& path, std::string& error) {
  // Never through a link: only a file that really lies in the folder is ours to change.
  Fd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY));
  if (fd.get() < 0) {
    error = errno == ELOOP ? "a link, not a recording" : SystemText(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) {
    error = SystemText(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    error = "not a regular file";
    return false;
  }
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    error = errno == EWOULDBLOCK ? "in use by a running program" : SystemText(errno);
    return false;
  }
  const auto size = static_cast<uint64_t>(st.st_size);
  uint8_t head[kHeadBytes];
  const size_t headSize = static_cast<size_t>(std::min<uint64_t>(size, kHeadBytes));
  if (!ReadAt(fd.get(), head, headSize, 0)) {
    error = SystemText(errno);
    return false;
  }
  if (!BeginsWithOurOpeningRecords(head, headSize)) {
    error = "not a recording of OvixLog";
    return false;
  }
  int64_t ignored = 0;
  if (EndsWithClosingRecord(fd.get(), size, &ignored))
    return true;

  // Walk the record headers. Only the last record, torn by the end of the file, is mended; a
  // length no record of ours can have is damage in the middle, and the file is then left whole.
  uint64_t pos = 0;
  uint8_t header[kRecordHeaderSize];
  while (pos + kRecordHeaderSize <= size) {
    if (!ReadAt(fd.get(), header, sizeof header, pos)) {
      error = SystemText(errno);
      return false;
    }
    const uint64_t length = ReadBigEndian32(header + 5);
    if (!PlausibleLength(header[0], length)) {
      pos = size;
      break;
    }
    if (pos + kRecordHeaderSize + length > size) {
      const auto there = static_cast<uint32_t>(size - pos - kRecordHeaderSize);
      std::vector<uint8_t> rest(there);
      if (!ReadAt(fd.get(), rest.data(), rest.size(), pos + kRecordHeaderSize)) {
        error = SystemText(errno);
        return false;
      }
      if (RecordsFollow(rest)) {
        pos = size;  // a damaged length in the middle: left whole
        break;
      }
      // Cut short inside its payload by the end of the file: keep the bytes that are there.
      const uint8_t fixed[4] = {static_cast<uint8_t>(there >> 24),
                                static_cast<uint8_t>(there >> 16), static_cast<uint8_t>(there >> 8),
                                static_cast<uint8_t>(there)};
      if (header[0] != kStreamRecord || there == 0) {
        if (::ftruncate(fd.get(), static_cast<off_t>(pos)) != 0) {
          error = SystemText(errno);
          return false;
        }
      } else if (::pwrite(fd.get(), fixed, sizeof fixed, static_cast<off_t>(pos + 5)) != 4) {
        error = SystemText(errno);
        return false;
      }
      pos = size;
      break;
    }
    pos += kRecordHeaderSize + length;
  }
  // A header torn by the end of the file: fewer than its nine bytes are there.
  if (pos < size && ::ftruncate(fd.get(), static_cast<off_t>(pos)) != 0) {
    error = SystemText(errno);
    return false;
  }
  std::vector<uint8_t> closing;
  const std::vector<uint8_t> payload = ClosingPayload(ModifiedMs(st));
  AppendRecord(closing, kClosingRecord, 0, payload.data(), payload.size());
  const off_t end = ::lseek(fd.get(), 0, SEEK_END);
  if (end < 0 || ::pwrite(fd.get(), closing.data(), closing.size(), end) !=
                     static_cast<ssize_t>(closing.size())) {
    error = SystemText(errno);
    return false;
  }
  ::fdatasync(fd.get());
  return true;
}

std::string StartText(const RecordingInfo& info) {
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  WallClockAnchor anchor;
  anchor.epochMs = info.startEpochMs;
  anchor.utcOffsetSeconds = info.utcOffsetSeconds;
  const LocalTime t = anchor.LocalTimeAt(0);
  char text[96];
  std::snprintf(text, sizeof text, "%u %s %u %02u:%02u", static_cast<unsigned>(t.day),
                kMonths[(t.month + 11) % 12], static_cast<unsigned>(t.year),
                static_cast<unsigned>(t.hour), static_cast<unsigned>(t.minute));
  return text;
}

std::string DurationText(int64_t durationMs) {
  const int64_t seconds = durationMs / 1000;
  if (seconds < 60)
    return std::to_string(seconds) + " s";
  const int64_t minutes = seconds / 60;
  if (minutes < 60)
    return std::to_string(minutes) + " min";
  return std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) + " min";
}

std::string SizeText(uint64_t bytes) {
  char text[48];
  if (bytes < 1000) {
    std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
  } else if (bytes < 1000000) {
    std::snprintf(text, sizeof text, "%.1f kB", static_cast<double>(bytes) / 1e3);
  } else {
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
  }
  return text;
}

std::string RecoveryQuestion(const RecordingInfo& info) {
  return "OvixLog was not closed normally. Open the recording of " + StartText(info) + " (" +
         DurationText(info.durationMs) + ")?";
}

}  // namespace ovixlog
