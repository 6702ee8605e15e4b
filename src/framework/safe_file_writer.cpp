#include "framework/safe_file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>

namespace ovixlog {
namespace {
constexpr size_t kBufferSize = 1 << 16;

// Creates a new file named `base` plus a random suffix and returns its descriptor, or -1.
// Unlike mkstemp this leaves the permissions to the umask, without changing the process-wide
// umask that another thread may be relying on at the same moment.
int CreateUniqueFile(const std::string& base, std::string& name) {
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937 rng{std::random_device{}()};
  std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = base + ".";
    for (int i = 0; i < 6; ++i)
      name += kLetters[pick(rng)];
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0)
      return fd;
    if (errno != EEXIST)
      break;
  }
  name.clear();
  return -1;
}

}  // namespace

SafeFileWriter::~SafeFileWriter() {
  Discard();
}

void SafeFileWriter::Discard() {
  if (fd_ >= 0)
    ::close(fd_);
  fd_ = -1;
  if (!temp_.empty())
    ::unlink(temp_.c_str());
  temp_.clear();
  buffer_.clear();
}

bool SafeFileWriter::Open(const std::string& path) {
  target_ = path;
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
  // A target that exists but is not a regular file (a folder, a device such as /dev/full) is
  // written in place: renaming over it would fail or replace something that is not ours.
  if (exists && !S_ISREG(st.st_mode)) {
    fd_ = ::open(target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    failed_ = fd_ < 0;
    return !failed_;
  }
  // The rename would replace a file we may not write to; refuse as writing in place would.
  if (exists && ::access(target_.c_str(), W_OK) != 0) {
    failed_ = true;
    return false;
  }
  // The temporary file is created with the usual permissions of a new file (0666 less the
  // umask, applied by the kernel); an existing target's permissions are carried over.
  fd_ = CreateUniqueFile(target_, temp_);
  if (fd_ < 0) {
    failed_ = true;
    return false;
  }
  if (exists)
    ::fchmod(fd_, st.st_mode & 07777);
  buffer_.reserve(kBufferSize);
  return true;
}

bool SafeFileWriter::Write(std::string_view bytes) {
  if (failed_ || fd_ < 0)
    return false;
  buffer_.append(bytes);
  if (buffer_.size() >= kBufferSize)
    return Flush();
  return true;
}

bool SafeFileWriter::Flush() {
  size_t done = 0;
  while (done < buffer_.size()) {
    const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      failed_ = true;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  buffer_.clear();
  return true;
}

bool SafeFileWriter::Commit() {
  // A failed commit removes the temporary file at once rather than when the writer goes: the
  // caller typically reports the failure first, and the user may wait on that report.
  if (failed_ || fd_ < 0) {
    failed_ = true;
    Discard();
    return false;
  }
  bool ok = Flush();
  if (ok && !temp_.empty())
    ok = ::fsync(fd_) == 0;
  ok = (::close(fd_) == 0) && ok;
  fd_ = -1;
  if (ok && !temp_.empty())
    ok = ::rename(temp_.c_str(), target_.c_str()) == 0;
  if (!ok) {
    failed_ = true;
    Discard();
    return false;
  }
  temp_.clear();
  return true;
}

}  // namespace ovixlog
