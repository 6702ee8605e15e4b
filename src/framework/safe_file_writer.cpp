#include "framework/safe_file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace ovixlog {
namespace {
constexpr size_t kBufferSize = 1 << 16;
}

SafeFileWriter::~SafeFileWriter() {
  if (fd_ >= 0) ::close(fd_);
  if (!temp_.empty()) ::unlink(temp_.c_str());
}

bool SafeFileWriter::Open(const std::string& path) {
  target_ = path;
  // A target that exists but is not a regular file (a folder, a device such as /dev/full) is
  // written in place: renaming over it would fail or replace something that is not ours.
  struct stat st{};
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    failed_ = fd_ < 0;
    return !failed_;
  }
  std::vector<char> name(path.begin(), path.end());
  const std::string suffix = ".XXXXXX";
  name.insert(name.end(), suffix.begin(), suffix.end());
  name.push_back('\0');
  fd_ = ::mkstemp(name.data());
  if (fd_ < 0) {
    failed_ = true;
    return false;
  }
  temp_ = name.data();
  // mkstemp creates the file for its owner only; give it the usual permissions of a new file.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd_, static_cast<mode_t>(0666 & ~mask));
  if (::stat(path.c_str(), &st) == 0) ::fchmod(fd_, st.st_mode & 07777);
  buffer_.reserve(kBufferSize);
  return true;
}

bool SafeFileWriter::Write(std::string_view bytes) {
  if (failed_ || fd_ < 0) return false;
  buffer_.append(bytes);
  if (buffer_.size() >= kBufferSize) return Flush();
  return true;
}

bool SafeFileWriter::Flush() {
  size_t done = 0;
  while (done < buffer_.size()) {
    const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n < 0 && errno == EINTR) continue;
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
  if (failed_ || fd_ < 0) return false;
  bool ok = Flush();
  if (ok && !temp_.empty()) ok = ::fsync(fd_) == 0;
  ok = (::close(fd_) == 0) && ok;
  fd_ = -1;
  if (!ok) {
    failed_ = true;
    return false;
  }
  if (temp_.empty()) return true;
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    failed_ = true;
    return false;
  }
  temp_.clear();
  return true;
}

}  // namespace ovixlog
