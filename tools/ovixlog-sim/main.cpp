// ovixlog-sim: an engine monitor on a pseudo-terminal, or a recording of one in a file.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ovixlog-sim/frame_stream.h"
#include "ovixlog-sim/recording_writer.h"
#include "ovixlog-sim/scenario.h"
#include "ovixlog-sim/sim_options.h"

namespace ovixlog::sim {
namespace {

volatile sig_atomic_t gStopRequested = 0;

void OnStopSignal(int) {
  gStopRequested = 1;
}

// Signals interrupt the waits below (no SA_RESTART), so a stop is seen at once.
void InstallSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (int sig : {SIGINT, SIGTERM, SIGHUP})
    sigaction(sig, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

bool Stopping() {
  return gStopRequested != 0;
}

std::string ErrorText() {
  return std::strerror(errno);
}

// The most bytes kept waiting for a slow or absent reader; frames beyond it are dropped, as
// a monitor's output is lost when nobody listens.
constexpr size_t kMaxPending = 1024;

// Makes `link` point at `target`, replacing an earlier link but never another kind of file.
bool MakeLink(const std::string& link, const std::string& target) {
  struct stat st {};
  if (::lstat(link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
    std::fprintf(stderr, "ovixlog-sim: %s exists and is not a symbolic link\n", link.c_str());
    return false;
  }
  const std::string temp = link + ".tmp" + std::to_string(::getpid());
  ::unlink(temp.c_str());
  if (::symlink(target.c_str(), temp.c_str()) != 0 || ::rename(temp.c_str(), link.c_str()) != 0) {
    std::fprintf(stderr, "ovixlog-sim: cannot make the link %s: %s\n", link.c_str(),
                 ErrorText().c_str());
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

// Removes `link` unless something else has replaced it in the meantime.
void RemoveLink(const std::string& link, const std::string& target) {
  std::vector<char> buffer(target.size() + 2);
  const ssize_t n = ::readlink(link.c_str(), buffer.data(), buffer.size());
  if (n >= 0 && std::string(buffer.data(), static_cast<size_t>(n)) == target) {
    ::unlink(link.c_str());
  }
}

class Terminal {
 public:
  ~Terminal() {
    if (master_ >= 0)
      ::close(master_);
    if (slave_ >= 0)
      ::close(slave_);
  }

  bool Open() {
    termios tio{};
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    if (::openpty(&master_, &slave_, nullptr, &tio, nullptr) != 0) {
      std::fprintf(stderr, "ovixlog-sim: cannot make a pseudo-terminal: %s\n", ErrorText().c_str());
      return false;
    }
    char name[256] = {};
    if (::ttyname_r(slave_, name, sizeof name) != 0) {
      std::fprintf(stderr, "ovixlog-sim: cannot name the pseudo-terminal\n");
      return false;
    }
    path_ = name;
    // The slave stays open here as well, so the terminal never hangs up between readers; the
    // master does not block, so that a line nobody reads cannot stall the simulator.
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    return true;
  }

  const std::string& path() const { return path_; }

  // Hands as much of `pending` to the line as it takes now.
  void Flush(std::vector<uint8_t>& pending) {
    size_t done = 0;
    while (done < pending.size()) {
      const ssize_t n = ::write(master_, pending.data() + done, pending.size() - done);
      if (n <= 0)
        break;  // full (EAGAIN), interrupted, or EIO while nobody has the line open
      done += static_cast<size_t>(n);
    }
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(done));
  }

  // Waits up to `ms` for room on the line.
  void WaitForRoom(int ms) {
    pollfd out{master_, POLLOUT, 0};
    ::poll(&out, 1, ms);
  }

  // Bytes written that no reader has taken yet.
  int Unread() const {
    int count = 0;
    return ::ioctl(slave_, FIONREAD, &count) == 0 ? count : 0;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
};

void SleepUntil(const timespec& deadline) {
  ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr);
}

timespec Now() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts;
}

timespec Plus(timespec base, double seconds) {
  const auto ns = static_cast<long long>(seconds * 1e9);
  long long total = static_cast<long long>(base.tv_nsec) + ns % 1'000'000'000;
  base.tv_sec += static_cast<time_t>(ns / 1'000'000'000 + total / 1'000'000'000);
  base.tv_nsec = static_cast<long>(total % 1'000'000'000);
  return base;
}

double SecondsBetween(const timespec& a, const timespec& b) {
  return static_cast<double>(b.tv_sec - a.tv_sec) +
         static_cast<double>(b.tv_nsec - a.tv_nsec) * 1e-9;
}

void ServeTerminal(Terminal& terminal, FrameStream& stream, const SimOptions& options) {
  std::vector<uint8_t> pending;
  std::vector<uint8_t> discarded;
  uint64_t produced = 0;
  const auto more = [&] { return options.frames == 0 || produced < options.frames; };

  if (options.rate <= 0.0) {
    while (!Stopping() && more()) {
      while (pending.size() < kMaxPending && more()) {
        stream.AppendNext(pending);
        ++produced;
      }
      terminal.Flush(pending);
      if (!pending.empty())
        terminal.WaitForRoom(250);
    }
  } else {
    const double period = 1.0 / options.rate;
    timespec start = Now();
    uint64_t tick = 0;
    while (!Stopping() && more()) {
      const timespec due = Plus(start, static_cast<double>(tick) * period);
      SleepUntil(due);
      if (Stopping())
        break;
      // After a long stall (a suspended process), carry on from now rather than catch up.
      if (SecondsBetween(due, Now()) > 1.0) {
        start = Now();
        tick = 0;
      }
      ++tick;
      // The flight goes on whether or not the line takes the frame.
      if (pending.size() < kMaxPending) {
        stream.AppendNext(pending);
      } else {
        discarded.clear();
        stream.AppendNext(discarded);
      }
      ++produced;
      terminal.Flush(pending);
    }
  }

  // A run of a given length waits for the reader to take what is left, for a while.
  const timespec giveUp = Plus(Now(), 2.0);
  while (!Stopping() && options.frames != 0 && SecondsBetween(Now(), giveUp) > 0.0 &&
         (!pending.empty() || terminal.Unread() > 0)) {
    terminal.Flush(pending);
    SleepUntil(Plus(Now(), 0.01));
  }
}

int RunTerminal(const SimOptions& options) {
  Terminal terminal;
  if (!terminal.Open())
    return 1;
  if (!options.link.empty() && !MakeLink(options.link, terminal.path()))
    return 1;
  std::printf("%s\n", terminal.path().c_str());
  std::fflush(stdout);

  FrameStream stream(options.stream);
  ServeTerminal(terminal, stream, options);
  if (!options.link.empty())
    RemoveLink(options.link, terminal.path());
  return 0;
}

int RunFile(const SimOptions& options) {
  FrameStream stream(options.stream);
  std::string error;
  const bool ok = options.capture.empty()
                      ? WriteDemoLog(options.demoLog, stream, options.frames, error)
                      : WriteCapture(options.capture, stream, options.frames, error);
  if (!ok) {
    std::fprintf(stderr, "ovixlog-sim: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace ovixlog::sim

int main(int argc, char** argv) {
  // Past a file-size limit a write fails with EFBIG, which is reported like a full disk;
  // the signal's default would kill the program and leave a torn file.
  std::signal(SIGXFSZ, SIG_IGN);
  using namespace ovixlog::sim;
  const std::vector<std::string> args(argv + 1, argv + argc);
  const ParsedCommandLine parsed = ParseCommandLine(args);
  switch (parsed.outcome) {
    case ParsedCommandLine::Outcome::kHelp:
      std::fputs(UsageText().c_str(), stdout);
      return 0;
    case ParsedCommandLine::Outcome::kBadUsage:
      std::fprintf(stderr, "ovixlog-sim: %s\n\n%s", parsed.error.c_str(), UsageText().c_str());
      return 2;
    case ParsedCommandLine::Outcome::kRun:
      break;
  }
  const SimOptions& options = parsed.options;
  if (options.printTruth) {
    const std::string truth = options.stream.scenario == Scenario::kLeanTest
                                  ? LeanTruthText(options.stream.model)
                                  : FindingTruthText(options.stream.scenario, options.stream.model);
    std::fputs(truth.c_str(), stdout);
    return 0;
  }
  InstallSignalHandlers();
  return options.capture.empty() && options.demoLog.empty() ? RunTerminal(options)
                                                            : RunFile(options);
}
