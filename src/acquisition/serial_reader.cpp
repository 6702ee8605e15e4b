#include "acquisition/serial_reader.h"

#include "acquisition/clock.h"
#include "acquisition/port_bindings.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <system_error>

namespace ovixlog {
namespace {

constexpr int kPollMs = 250;           // longest a pass waits for bytes
constexpr int kReconnectMs = 1000;     // pause between attempts to reopen a lost device
constexpr int kMaxEmptyWakeups = 100;  // "readable" passes in a row that read nothing
// How long one reading of the wall clock serves the live samples' local times; a changed
// system clock or time zone shows within this time.
constexpr uint32_t kWallClockRefreshMs = 60000;

constexpr const char* kNoSuchDevice = "No such device";
constexpr const char* kPermissionDenied = "Permission denied: add your user to the dialout group";
constexpr const char* kPortInUse = "Port in use by another program";
constexpr const char* kNotASerialPort = "Not a serial port";

std::string ErrorText(int error) {
  char buffer[256];
  // The GNU strerror_r returns the text, which may or may not be in `buffer`.
  return strerror_r(error, buffer, sizeof buffer);
}

std::string OpenErrorText(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return kPermissionDenied;
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return kNoSuchDevice;
    case EBUSY:  // another opener set TIOCEXCL; OpenDevice names the holder
      return kPortInUse;
    default:
      return ErrorText(error);
  }
}

// The name and process number of a program that has `device` open, found in /proc/*/fd, or
// empty when the system does not tell (another user's processes are not ours to look into).
std::string HolderOf(const std::string& device) {
  std::unique_ptr<char, decltype(&std::free)> real(::realpath(device.c_str(), nullptr), &std::free);
  if (!real)
    return std::string();
  const std::string target = real.get();
  const std::string self = std::to_string(::getpid());
  std::error_code error;
  for (const auto& process : std::filesystem::directory_iterator("/proc", error)) {
    const std::string pid = process.path().filename().string();
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos || pid == self)
      continue;
    std::error_code fdError;
    for (const auto& fd : std::filesystem::directory_iterator(process.path() / "fd", fdError)) {
      std::error_code linkError;
      if (std::filesystem::read_symlink(fd.path(), linkError).string() != target)
        continue;
      std::ifstream commFile(process.path() / "comm");
      std::string comm;
      std::getline(commFile, comm);
      return (comm.empty() ? std::string("a program") : comm) + " (pid " + pid + ")";
    }
  }
  return std::string();
}

std::string PortInUseText(const std::string& device) {
  const std::string holder = HolderOf(device);
  return holder.empty() ? std::string(kPortInUse) : "Port in use by " + holder;
}

void CloseDevice(int fd) {
  // Exclusivity outlives the descriptor while anyone else holds the device open (a pseudo-
  // terminal's other end, for one), so give it up explicitly or nobody could reopen the port.
  ::ioctl(fd, TIOCNXCL);
  ::close(fd);
}

// Opens `path` for reading at the monitor's line format: 9600 baud, 8 data bits, no parity,
// 1 stop bit, every byte passed through untouched. Returns the descriptor, or -1 with `error`.
int OpenDevice(const std::string& path, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int e = errno;
    error = e == EBUSY ? PortInUseText(path) : OpenErrorText(e);
    return -1;
  }
  // The advisory lock keeps out other programs that lock serial ports, including a second
  // OvixLog; TIOCEXCL below keeps out those that do not (unless they run as root).
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int e = errno;
    ::close(fd);
    error = e == EWOULDBLOCK ? PortInUseText(path) : ErrorText(e);
    return -1;
  }
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) {
    const int e = errno;
    ::close(fd);
    error = e == ENOTTY || e == EINVAL ? kNotASerialPort : ErrorText(e);
    return -1;
  }
  ::cfmakeraw(&tio);
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  tio.c_cflag |= CS8 | CREAD | CLOCAL;
  // Reads return at once with what has arrived; the poll before each read does the waiting.
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (::cfsetispeed(&tio, B9600) != 0 || ::cfsetospeed(&tio, B9600) != 0 ||
      ::tcsetattr(fd, TCSANOW, &tio) != 0) {
    const int e = errno;
    ::close(fd);
    error = ErrorText(e);
    return -1;
  }
  if (::ioctl(fd, TIOCEXCL) != 0) {
    const int e = errno;
    ::close(fd);
    error = ErrorText(e);
    return -1;
  }
  // Bytes that arrived before the open belong to no frame we could stamp correctly.
  ::tcflush(fd, TCIFLUSH);
  return fd;
}

}  // namespace

SerialReader::SerialReader(const std::string& portName, SampleSink* document,
                           SampleNotifier* viewWindow, ByteSink* rawBytes, SampleSink* liveSink)
    : document_(document),
      liveSink_(liveSink != nullptr ? liveSink : document),
      viewWindow_(viewWindow),
      rawBytes_(rawBytes),
      fileFeed_(model, altFrameFormat, document, viewWindow),
      devicePath_(DevicePathFor(portName)) {
  status_.portName = portName;
  status_.devicePath = devicePath_;
  if (devicePath_.empty())
    return;

  // A port that cannot be opened now (not plugged in yet, held by another program, not ours to
  // open) is tried again once a second by the reading thread, like a device that was lost.
  std::string error;
  port_ = OpenDevice(devicePath_, error);
  status_.lastError = error;
  open_ = port_ >= 0;
  // Without the eventfd the reader still works; stopping then takes up to one poll timeout.
  wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  running = 1;
  threadRunning_ = true;
  try {
    thread_ = std::thread(&SerialReader::ReadLoop, this);
  } catch (const std::system_error& e) {
    running = 0;
    threadRunning_ = false;
    ClosePort();
    status_.lastError = std::string("Cannot start the reading thread: ") + e.what();
  }
}

SerialReader::~SerialReader() {
  Stop();
  if (thread_.joinable())
    thread_.join();
  ClosePort();
  if (wake_ >= 0)
    ::close(wake_);
}

void SerialReader::Stop() {
  running = 0;
  if (wake_ >= 0) {
    const uint64_t one = 1;
    // Fails only when the counter is saturated, in which case the thread is woken anyway.
    const ssize_t written = ::write(wake_, &one, sizeof one);
    (void)written;
  }
}

SerialStatus SerialReader::Status() const {
  SerialStatus status;
  {
    std::lock_guard<std::mutex> lock(statusLock_);
    status = status_;
  }
  status.open = open_.load();
  status.threadRunning = threadRunning_.load();
  status.framesAccepted = framesAccepted_.load();
  status.framesDropped = framesDropped_.load();
  status.bytesReceived = bytesReceived_.load();
  const int32_t layout = suggestedLayout_.load();
  if (layout >= 0 && layout < kLayoutCount)
    status.suggestedLayout = static_cast<FrameFormat>(layout);
  return status;
}

std::string SerialReader::DevicePathFor(const std::string& portName) {
  const bool comName = (portName.size() == 4 || (portName.size() == 5 && portName[4] == ':')) &&
                       portName.compare(0, 3, "COM") == 0 && portName[3] >= '1' &&
                       portName[3] <= '8';
  if (!comName)
    return portName;
  const int port = portName[3] - '0';
  std::string bound = BoundDevice(port);
  if (!bound.empty())
    return bound;
  return UnboundDevicePath(port);
}

void SerialReader::ReadLoop() {
  std::optional<FrameAssembler> live;
  live.emplace(model, altFrameFormat, liveSink_, viewWindow_);
  // Live local times come from one wall-clock reading plus the monotonic stamp, the same
  // reading the recording stores, so that a reopened recording shows the very same times.
  std::optional<WallClockAnchor> anchor;
  // Tries every layout on the same bytes, so that a wrong model or format can be pointed out.
  LayoutDetector detector;
  const auto publishSuggestion = [&] {
    const std::optional<FrameFormat> layout =
        detector.Suggestion(TickCount(), LayoutOf(model.load(), altFrameFormat.load()));
    suggestedLayout_.store(layout ? static_cast<int32_t>(*layout) : -1, std::memory_order_relaxed);
  };
  int emptyWakeups = 0;
  while (running.load()) {
    if (const uint32_t now = TickCount(); !anchor || now - anchor->stamp >= kWallClockRefreshMs) {
      anchor = WallClockAnchor::Now(now);
      live->SetWallClock(anchor);
      if (rawBytes_ != nullptr)
        rawBytes_->WallClockSet(*anchor);
    }
    if (port_ < 0) {
      if (!Reconnect())
        break;
      // A frame cut short by the loss must not be completed with bytes from the new stream.
      acceptedBefore_ += live->framesAccepted();
      droppedBefore_ += live->framesDropped();
      live.emplace(model, altFrameFormat, liveSink_, viewWindow_);
      anchor.reset();
      if (rawBytes_ != nullptr)
        rawBytes_->StreamRestarted();
      emptyWakeups = 0;
      continue;
    }

    pollfd fds[2] = {{port_, POLLIN, 0}, {wake_, POLLIN, 0}};
    const int ready = ::poll(fds, wake_ >= 0 ? 2 : 1, kPollMs);
    if (ready < 0) {
      if (errno == EINTR)
        continue;
      LoseDevice(ErrorText(errno));
      continue;
    }
    if (ready == 0) {
      emptyWakeups = 0;
      publishSuggestion();
      continue;
    }
    if (wake_ >= 0 && fds[1].revents != 0)
      DrainWake();
    const short events = fds[0].revents;
    if (events == 0)
      continue;

    int readError = 0;
    const size_t got = live->FillFrom([&](uint8_t* dst, size_t max) -> size_t {
      const ssize_t n = ::read(port_, dst, max);
      if (n > 0) {
        detector.Feed(TickCount(), LayoutOf(model.load(), altFrameFormat.load()), dst,
                      static_cast<size_t>(n));
        return static_cast<size_t>(n);
      }
      readError = n < 0 ? errno : 0;
      return 0;
    });
    bytesReceived_.fetch_add(got, std::memory_order_relaxed);
    PublishCounts(*live);
    publishSuggestion();
    if (got > 0 && rawBytes_ != nullptr) {
      // The bytes are still where the read put them: the ring is only written by the next fill.
      rawBytes_->BytesReceived(live->passStamp(), live->passBytes(), got, live->frameModel(),
                               live->frameAltFormat());
    }
    if (got > 0) {
      emptyWakeups = 0;
      continue;
    }

    // Nothing read although poll said the device was ready. A hang-up or a hard error means
    // the device is gone; anything else is a harmless race, unless it repeats, which would turn
    // this loop into a busy spin.
    const bool transient = readError == EAGAIN || readError == EWOULDBLOCK || readError == EINTR;
    if (readError != 0 && !transient) {
      LoseDevice(ErrorText(readError));
    } else if ((events & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
      LoseDevice("the line hung up");
    } else if (++emptyWakeups >= kMaxEmptyWakeups) {
      LoseDevice("the device reports data but delivers none");
    }
  }
  threadRunning_ = false;
}

void SerialReader::LoseDevice(const std::string& why) {
  ClosePort();
  wasOpen_ = true;
  SetError("Device lost (" + why + "); waiting for it to return");
}

bool SerialReader::Reconnect() {
  while (WaitUnlessStopped(kReconnectMs)) {
    std::string error;
    const int fd = OpenDevice(devicePath_, error);
    if (fd >= 0) {
      SetError(std::string());
      port_ = fd;
      open_ = true;
      return true;
    }
    // A lost device that is still missing says nothing new; any other failure does.
    if (error != kNoSuchDevice || !wasOpen_)
      SetError(error);
  }
  return false;
}

bool SerialReader::WaitUnlessStopped(int ms) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  while (running.load()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0)
      return true;
    // Slices bound the wait even when `running` is cleared without Stop() waking us.
    const int slice = static_cast<int>(left < kPollMs ? left : kPollMs);
    pollfd wake{wake_, POLLIN, 0};
    if (::poll(&wake, wake_ >= 0 ? 1 : 0, slice) > 0)
      DrainWake();
  }
  return false;
}

void SerialReader::DrainWake() {
  uint64_t count = 0;
  const ssize_t n = ::read(wake_, &count, sizeof count);
  (void)n;
}

void SerialReader::ClosePort() {
  if (port_ < 0)
    return;
  CloseDevice(port_);
  port_ = -1;
  open_ = false;
}

void SerialReader::SetError(const std::string& text) {
  std::lock_guard<std::mutex> lock(statusLock_);
  status_.lastError = text;
}

void SerialReader::PublishCounts(const FrameAssembler& live) {
  framesAccepted_.store(acceptedBefore_ + live.framesAccepted(), std::memory_order_relaxed);
  framesDropped_.store(droppedBefore_ + live.framesDropped(), std::memory_order_relaxed);
}

}  // namespace ovixlog
