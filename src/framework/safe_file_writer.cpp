#include "framework/safe_file_writer.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>

namespace ovixlog {
namespace {
constexpr size_t kBufferSize = 1 << 16;
// A long file is handed to the disk in stretches of this size as it is written, so that the
// sync before the rename has little left to do: the disk works while the bytes are made.
constexpr uint64_t kWritebackStretch = 8 << 20;
constexpr size_t kRandomLetters = 6;
constexpr const char* kNotARegularFile = "Not a regular file";

std::atomic<bool> g_unnamedAllowed{true};

bool IsLetterOrDigit(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool IsTempName(std::string_view name) {
  const size_t prefix = SafeFileWriter::kTempPrefix.size();
  const size_t suffix = SafeFileWriter::kTempSuffix.size();
  if (name.size() != prefix + kRandomLetters + suffix ||
      name.substr(0, prefix) != SafeFileWriter::kTempPrefix ||
      name.substr(prefix + kRandomLetters) != SafeFileWriter::kTempSuffix) {
    return false;
  }
  for (const char c : name.substr(prefix, kRandomLetters)) {
    if (!IsLetterOrDigit(c))
      return false;
  }
  return true;
}

// A fresh temporary name in `folder`. Its length does not depend on the target's name, so a
// target name of any legal length can be saved.
std::string RandomTempName(const std::string& folder) {
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937 rng{std::random_device{}()};
  std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
  std::string name = folder + "/";
  name += SafeFileWriter::kTempPrefix;
  for (size_t i = 0; i < kRandomLetters; ++i)
    name += kLetters[pick(rng)];
  name += SafeFileWriter::kTempSuffix;
  return name;
}

// Creates a new named temporary file in `folder` and returns its descriptor, or -1 with errno.
// Unlike mkstemp this leaves the permissions to the umask, without changing the process-wide
// umask that another thread may be relying on at the same moment.
int CreateNamedTemporary(const std::string& folder, std::string& name) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = RandomTempName(folder);
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0)
      return fd;
    if (errno != EEXIST)
      break;
  }
  const int error = errno;
  name.clear();
  errno = error;
  return -1;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos)
    return ".";
  if (slash == 0)
    return "/";
  return path.substr(0, slash);
}

// Makes a rename in `folder` durable. Some file systems cannot sync a folder (EINVAL); the file
// itself is synced already, so that is no reason to call the save failed.
void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

std::string SystemErrorText(int error) {
  char buffer[256];
  // The GNU strerror_r returns the text, which may or may not be in `buffer`.
  return strerror_r(error, buffer, sizeof buffer);
}

void RemoveAbandonedTemporaries(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr)
    return;
  const int dirFd = ::dirfd(dir);
  while (const dirent* entry = ::readdir(dir)) {
    if (!IsTempName(entry->d_name))
      continue;
    const int fd = ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
      continue;
    struct stat held {};
    struct stat named {};
    // A running save holds its file's lock until its rename is done, so a file whose lock we
    // get is nobody's. The name is checked again so that only the file we locked is removed.
    if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && held.st_uid == ::geteuid() &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::fstatat(dirFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        named.st_dev == held.st_dev && named.st_ino == held.st_ino) {
      ::unlinkat(dirFd, entry->d_name, 0);
    }
    ::close(fd);
  }
  ::closedir(dir);
}

void SafeFileWriter::SetUnnamedTemporaryAllowed(bool allowed) {
  g_unnamedAllowed = allowed;
}

SafeFileWriter::~SafeFileWriter() {
  Discard();
}

void SafeFileWriter::Discard() {
  if (!temp_.empty())
    ::unlink(temp_.c_str());
  temp_.clear();
  if (fd_ >= 0)
    ::close(fd_);
  fd_ = -1;
  buffer_.clear();
}

bool SafeFileWriter::Fail(int error) {
  return Fail(SystemErrorText(error));
}

bool SafeFileWriter::Fail(const std::string& reason) {
  if (error_.empty())
    error_ = reason;
  failed_ = true;
  return false;
}

bool SafeFileWriter::Open(const std::string& path, bool streamsToo) {
  target_ = path;
  if (path.empty())
    return Fail(ENOENT);
  // Saving through a symbolic link updates the file it points to; renaming over the link itself
  // would replace the link with a copy and leave the real file stale.
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                         &std::free);
    if (resolved)
      target_ = resolved.get();
  }
  const bool exists = ::stat(target_.c_str(), &st) == 0;
  if (!exists && errno != ENOENT)
    return Fail(errno);  // a path through a file, a folder we may not search, ...
  // Only a regular file is ever replaced. Anything else is refused without being opened: opening
  // a FIFO would wait for a reader, and renaming over a device or folder replaces what is not
  // ours.
  if (exists && S_ISDIR(st.st_mode))
    return Fail(EISDIR);
  if (exists && !S_ISREG(st.st_mode) && streamsToo) {
    fd_ = ::open(target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    inPlace_ = true;
    return fd_ >= 0 || Fail(errno);
  }
  if (exists && !S_ISREG(st.st_mode))
    return Fail(kNotARegularFile);
  // The rename would replace a file we may not write to; refuse as writing in place would.
  if (exists && ::access(target_.c_str(), W_OK) != 0)
    return Fail(errno);

  folder_ = FolderOf(target_);
  RemoveAbandonedTemporaries(folder_);
  // An unnamed temporary file vanishes by itself when the save is interrupted; it gets a name
  // only for the moment between a complete write and the rename.
  int fd = -1;
  if (g_unnamedAllowed.load()) {
    fd = ::open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    // Not offered by this kernel or file system: fall back to a named file. Any other failure
    // (the folder is missing, read-only, ours to read only) a named file would meet as well.
    if (fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
      return Fail(errno);
  }
  if (fd < 0) {
    // Between this creation and the lock below another save could take the file for abandoned;
    // the stretch is two system calls long and only exists without unnamed files.
    fd = CreateNamedTemporary(folder_, temp_);
    if (fd < 0)
      return Fail(errno);
  }
  fd_ = fd;
  ::flock(fd_, LOCK_EX | LOCK_NB);  // a new file: nobody else can hold it yet
  // The temporary file is created with the usual permissions of a new file (0666 less the
  // umask, applied by the kernel); an existing target's permissions are carried over.
  if (exists)
    ::fchmod(fd_, st.st_mode & 07777);
  buffer_.reserve(kBufferSize);
  return true;
}

bool SafeFileWriter::Write(std::string_view bytes) {
  if (failed_ || fd_ < 0)
    return false;
  if (buffer_.size() + bytes.size() < kBufferSize) {
    buffer_.append(bytes);
    return true;
  }
  if (!Flush())
    return false;
  // A block as large as the buffer goes out from where it lies rather than through the buffer.
  if (bytes.size() >= kBufferSize)
    return WriteOut(bytes);
  buffer_.append(bytes);
  return true;
}

bool SafeFileWriter::Flush() {
  const bool written = WriteOut(buffer_);
  buffer_.clear();
  return written;
}

bool SafeFileWriter::WriteOut(std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return Fail(errno);
    if (n == 0)
      return Fail(ENOSPC);
    done += static_cast<size_t>(n);
  }
  written_ += bytes.size();
  if (!inPlace_ && written_ - handedToDisk_ >= kWritebackStretch) {
    // Starts the stretch's write-out without waiting for it; a failure shows at the sync.
    ::sync_file_range(fd_, static_cast<off_t>(handedToDisk_),
                      static_cast<off_t>(written_ - handedToDisk_), SYNC_FILE_RANGE_WRITE);
    handedToDisk_ = written_;
  }
  return true;
}

bool SafeFileWriter::LinkUnnamed() {
  const std::string self = "/proc/self/fd/" + std::to_string(fd_);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = RandomTempName(folder_);
    int result = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
    // Without /proc, linking the descriptor itself still works for a privileged process.
    if (result != 0 && errno == ENOENT)
      result = ::linkat(fd_, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH);
    if (result == 0) {
      temp_ = name;
      return true;
    }
    if (errno != EEXIST)
      break;
  }
  return Fail(errno);
}

bool SafeFileWriter::Commit() {
  // A failed commit removes the temporary file at once rather than when the writer goes: the
  // caller typically reports the failure first, and the user may wait on that report.
  bool ok = !failed_ && fd_ >= 0 && Flush();
  if (inPlace_ && fd_ >= 0) {
    // Nothing to sync or rename: the bytes went where they were sent.
    if (::close(fd_) != 0)
      ok = Fail(errno) && ok;
    fd_ = -1;
    if (!ok)
      failed_ = true;
    return ok;
  }
  if (ok && ::fsync(fd_) != 0)
    ok = Fail(errno);
  if (ok && temp_.empty())
    ok = LinkUnnamed();
  // The descriptor, and with it the lock that marks the temporary file as in use, is kept until
  // the rename is done.
  if (ok && ::rename(temp_.c_str(), target_.c_str()) != 0)
    ok = Fail(errno);
  if (!ok) {
    failed_ = true;
    Discard();
    return false;
  }
  temp_.clear();
  SyncFolder(folder_);
  ::close(fd_);
  fd_ = -1;
  return true;
}

}  // namespace ovixlog
