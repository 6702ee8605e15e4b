#include "reading/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "framework/safe_file_writer.h"

namespace ovixlog {
namespace {

constexpr const char* kNotARegularFile = "Not a regular file";

}  // namespace

InputFile::InputFile(const std::string& path, bool streams) {
  const bool standardInput = streams && path == "-";
  // A FIFO opened without waiting would count as its reader for a moment, and a writer that
  // came meanwhile would lose its bytes when that reader went; a stream waits for its writer,
  // as `cat` does.
  struct stat named {};
  const bool fifo =
      streams && !standardInput && ::stat(path.c_str(), &named) == 0 && S_ISFIFO(named.st_mode);
  fd_ = standardInput ? ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0)
                      : ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (fifo ? 0 : O_NONBLOCK));
  if (fd_ < 0) {
    error_ = SystemErrorText(errno);
    return;
  }
  struct stat st {};
  if (::fstat(fd_, &st) != 0) {
    Fail(SystemErrorText(errno));
    return;
  }
  if (S_ISDIR(st.st_mode)) {
    Fail(SystemErrorText(EISDIR));
    return;
  }
  if (S_ISREG(st.st_mode)) {
    // Standard input may be a file that someone has read part of already.
    const off_t at = standardInput ? ::lseek(fd_, 0, SEEK_CUR) : 0;
    size_ = static_cast<uint64_t>(st.st_size - (at > 0 && at <= st.st_size ? at : 0));
  } else if (!streams) {
    Fail(kNotARegularFile);
    return;
  } else {
    stream_ = true;
  }
  ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
}

ssize_t InputFile::Read(uint8_t* buffer, size_t count) {
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, count);
    if (n >= 0 || errno != EINTR)
      return n;
  }
}

void InputFile::Close() {
  if (fd_ >= 0)
    ::close(fd_);
  fd_ = -1;
}

void InputFile::Fail(const std::string& reason) {
  error_ = reason;
  Close();
}

}  // namespace ovixlog
