#include "acquisition/serial_reader.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/frame_builder.h"
#include "support/temp_folder.h"
#include "support/test_support.h"

namespace ovixlog {
namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;
constexpr auto kPatience = std::chrono::seconds(20);

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Polls `condition` until it holds or `kPatience` runs out. For state that offers nothing to
// wait on (the reader's status); samples are waited for on the sink's condition variable.
bool Eventually(const std::function<bool()>& condition) {
  const auto deadline = Clock::now() + kPatience;
  while (!condition()) {
    if (Clock::now() > deadline)
      return false;
    std::this_thread::yield();
    ::poll(nullptr, 0, 1);
  }
  return true;
}

// Keeps every sample and lets the test wait for a count.
class WaitingSink : public SampleSink {
 public:
  void AddSample(std::unique_ptr<EngineSample> sample, SampleNotifier* notifier) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      samples_.push_back(*sample);
    }
    changed_.notify_all();
    if (notifier != nullptr)
      notifier->SampleAdded();
  }
  bool WaitForCount(size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, kPatience, [&] { return samples_.size() >= count; });
  }
  std::vector<EngineSample> Samples() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return samples_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<EngineSample> samples_;
};

// A pseudo-terminal pair: the reader opens the slave by path, the test writes to the master.
// The test keeps a slave descriptor of its own, as a device driver would, so that the master
// does not see a hang-up each time a reader closes the slave.
class PseudoTerminal {
 public:
  PseudoTerminal() {
    if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) {
      ADD_FAILURE() << "openpty: " << std::strerror(errno);
      return;
    }
    char name[128] = {};
    ::ttyname_r(slave_, name, sizeof name);
    path_ = name;
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    termios tio{};
    ::tcgetattr(slave_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slave_, TCSANOW, &tio);
  }
  ~PseudoTerminal() { Unplug(); }
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  const std::string& path() const { return path_; }

  // Writes every byte, waiting for room; false if the line stays full for too long, or once
  // `keepGoing` is cleared.
  bool Write(const Bytes& bytes, const std::atomic<bool>* keepGoing = nullptr) {
    return Write(bytes.data(), bytes.size(), keepGoing);
  }
  bool Write(const uint8_t* data, size_t size, const std::atomic<bool>* keepGoing = nullptr) {
    const auto deadline = Clock::now() + kPatience;
    while (size > 0) {
      if (keepGoing != nullptr && !keepGoing->load())
        return false;
      const ssize_t n = ::write(master_, data, size);
      if (n > 0) {
        data += n;
        size -= static_cast<size_t>(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR)
        return false;
      if (keepGoing == nullptr && Clock::now() > deadline)
        return false;
      pollfd out{master_, POLLOUT, 0};
      ::poll(&out, 1, 50);
    }
    return true;
  }

  // Whether an opener has claimed the line with TIOCEXCL; -1 when that cannot be asked.
  int Exclusive() const {
    int exclusive = -1;
    return ::ioctl(slave_, TIOCGEXCL, &exclusive) == 0 ? exclusive : -1;
  }

  // Closes both ends, as when a USB adapter is pulled out.
  void Unplug() {
    if (slave_ >= 0)
      ::close(slave_);
    if (master_ >= 0)
      ::close(master_);
    slave_ = master_ = -1;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
};

// Random samples whose frames hold no sync byte after the header, so that a reader that starts
// in the middle of the stream can never find a false frame.
std::vector<EngineSample> SyncFreeSamples(EngineModel model, int count, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<EngineSample> samples;
  while (static_cast<int>(samples.size()) < count) {
    const EngineSample s = test::RandomSample(rng, model);
    const Bytes frame = FrameBuilder::Build(s, model);
    if (std::find(frame.begin() + 3, frame.end(), kSyncByte) == frame.end())
      samples.push_back(s);
  }
  return samples;
}

Bytes FramesOf(const std::vector<EngineSample>& samples, EngineModel model, int32_t alt = 0) {
  Bytes bytes;
  for (const auto& s : samples)
    FrameBuilder::Append(bytes, s, model, alt);
  return bytes;
}

// Writes `bytes` in pieces of 1 to 200 bytes.
bool WriteInRandomChunks(PseudoTerminal& pty, const Bytes& bytes, std::mt19937& rng) {
  for (size_t pos = 0; pos < bytes.size();) {
    const size_t n = std::min<size_t>(rng() % 200 + 1, bytes.size() - pos);
    if (!pty.Write(bytes.data() + pos, n))
      return false;
    pos += n;
  }
  return true;
}

using TempDir = test::TempFolder;

// Points the symlink `link` at `target` in one step, as udev does when a device returns.
void RepointLink(const std::string& link, const std::string& target) {
  const std::string fresh = link + ".new";
  ASSERT_EQ(::symlink(target.c_str(), fresh.c_str()), 0) << std::strerror(errno);
  ASSERT_EQ(::rename(fresh.c_str(), link.c_str()), 0) << std::strerror(errno);
}

TEST(SerialReader, MapsPortNamesToDevices) {
  struct Case {
    const char* name;
    const char* variable;  // set before the lookup, or nullptr
    const char* value;
    const char* expected;
  };
  const Case cases[] = {
      {"COM1:", nullptr, nullptr, "/dev/ttyS0"},
      {"COM8:", nullptr, nullptr, "/dev/ttyS7"},
      {"COM3", nullptr, nullptr, "/dev/ttyS2"},
      {"COM1:", "OVIXLOG_COM1", "/dev/ttyUSB0", "/dev/ttyUSB0"},
      {"COM2", "OVIXLOG_COM2", "/tmp/sim-port", "/tmp/sim-port"},
      {"COM4:", "OVIXLOG_COM4", "", "/dev/ttyS3"},
      {"COM5:", "OVIXLOG_COM6", "/dev/ttyUSB1", "/dev/ttyS4"},
      {"COM9:", nullptr, nullptr, "COM9:"},
      {"COM0:", nullptr, nullptr, "COM0:"},
      {"COM10:", nullptr, nullptr, "COM10:"},
      {"COM1:x", nullptr, nullptr, "COM1:x"},
      {"com1:", nullptr, nullptr, "com1:"},
      {"/dev/ttyACM0", nullptr, nullptr, "/dev/ttyACM0"},
      {"", nullptr, nullptr, ""},
  };
  for (int n = 1; n <= 8; ++n)
    ::unsetenv(("OVIXLOG_COM" + std::to_string(n)).c_str());
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "'" << c.name << "' with " << (c.variable ? c.variable : "no variable"));
    if (c.variable != nullptr)
      ::setenv(c.variable, c.value, 1);
    EXPECT_EQ(SerialReader::DevicePathFor(c.name), c.expected);
    if (c.variable != nullptr)
      ::unsetenv(c.variable);
  }
}

TEST(SerialReader, DeliversFramesInOrderAndFollowsModelChanges) {
  PseudoTerminal pty;
  WaitingSink sink;
  SerialReader reader(pty.path(), &sink, nullptr);
  ASSERT_TRUE(reader.HasThread()) << reader.Status().lastError;
  std::mt19937 rng(17);

  // Long frames with every seventh checksum spoiled, then short frames after the switch to the
  // short layout, then alternate-format frames.
  std::vector<EngineSample> expected;
  Bytes longStream;
  uint64_t spoiled = 0;
  const std::vector<EngineSample> longSamples = SyncFreeSamples(kModel5100, 300, 1);
  for (size_t i = 0; i < longSamples.size(); ++i) {
    const bool bad = i % 7 == 3;
    FrameBuilder::Append(longStream, longSamples[i], kModel5100, 0,
                         bad ? Checksum::kBad : Checksum::kGood);
    if (bad) {
      ++spoiled;
    } else {
      expected.push_back(longSamples[i]);
    }
  }
  ASSERT_TRUE(WriteInRandomChunks(pty, longStream, rng));
  ASSERT_TRUE(sink.WaitForCount(expected.size()));

  reader.model = kModel3100;
  const std::vector<EngineSample> shortSamples = SyncFreeSamples(kModel3100, 300, 2);
  const Bytes shortStream = FramesOf(shortSamples, kModel3100);
  expected.insert(expected.end(), shortSamples.begin(), shortSamples.end());
  ASSERT_TRUE(WriteInRandomChunks(pty, shortStream, rng));
  ASSERT_TRUE(sink.WaitForCount(expected.size()));

  reader.model = kModel5100;
  reader.altFrameFormat = 1;
  const std::vector<EngineSample> altSamples = SyncFreeSamples(kModel5100, 100, 3);
  const Bytes altStream = FramesOf(altSamples, kModel5100, 1);
  expected.insert(expected.end(), altSamples.begin(), altSamples.end());
  ASSERT_TRUE(WriteInRandomChunks(pty, altStream, rng));
  ASSERT_TRUE(sink.WaitForCount(expected.size()));

  test::ExpectSameEngineValues(sink.Samples(), expected);
  const uint64_t total = longStream.size() + shortStream.size() + altStream.size();
  ASSERT_TRUE(Eventually([&] { return reader.Status().bytesReceived == total; }));
  const SerialStatus status = reader.Status();
  EXPECT_EQ(status.portName, pty.path());
  EXPECT_EQ(status.devicePath, pty.path());
  EXPECT_TRUE(status.open);
  EXPECT_TRUE(status.threadRunning);
  EXPECT_EQ(status.lastError, "");
  EXPECT_EQ(status.framesAccepted, expected.size());
  EXPECT_EQ(status.framesDropped, spoiled);
  EXPECT_EQ(pty.Exclusive(), 1);
}

TEST(SerialReader, DiscardsBytesThatArrivedBeforeTheOpen) {
  PseudoTerminal pty;
  ASSERT_TRUE(pty.Write(FramesOf(SyncFreeSamples(kModel5100, 5, 4), kModel5100)));
  const Bytes cutFrame = FrameBuilder::Build(SyncFreeSamples(kModel5100, 1, 5)[0], kModel5100);
  ASSERT_TRUE(pty.Write(cutFrame.data(), 30));

  WaitingSink sink;
  SerialReader reader(pty.path(), &sink, nullptr);
  ASSERT_TRUE(reader.HasThread()) << reader.Status().lastError;
  const std::vector<EngineSample> fresh = SyncFreeSamples(kModel5100, 5, 6);
  ASSERT_TRUE(pty.Write(FramesOf(fresh, kModel5100)));
  ASSERT_TRUE(sink.WaitForCount(fresh.size()));
  ASSERT_TRUE(Eventually([&] { return reader.Status().bytesReceived == 5u * kLongFrameLength; }));
  test::ExpectSameEngineValues(sink.Samples(), fresh);
  EXPECT_EQ(reader.Status().framesDropped, 0u);
}

TEST(SerialReader, UnavailablePortIsRetriedWhileTheFileFeedWorks) {
  PseudoTerminal pty;
  TempDir dir;
  const std::string plainFile = dir / "capture.bin";
  std::fclose(std::fopen(plainFile.c_str(), "w"));
  WaitingSink holderSink;
  SerialReader holder(pty.path(), &holderSink, nullptr);
  ASSERT_TRUE(holder.HasThread()) << holder.Status().lastError;

  struct Case {
    std::string port;
    std::string expectedPath;
    std::string expectedError;
  };
  const Case cases[] = {
      {"/dev/ovixlog-no-such-port", "/dev/ovixlog-no-such-port", "No such device"},
      {dir / "missing/ttyUSB0", dir / "missing/ttyUSB0", "No such device"},
      {pty.path(), pty.path(), "Port in use by another program"},
      {plainFile, plainFile, "Not a serial port"},
      {"", "", ""},
  };
  const std::vector<EngineSample> samples = SyncFreeSamples(kModel8100, 3, 7);
  const Bytes frames = FramesOf(samples, kModel8100);
  for (const auto& c : cases) {
    SCOPED_TRACE("port '" + c.port + "'");
    WaitingSink sink;
    auto reader = std::make_unique<SerialReader>(c.port, &sink, nullptr);
    // Only a reader without a port has no thread; any other keeps trying its port.
    EXPECT_EQ(reader->HasThread(), !c.port.empty());
    const SerialStatus status = reader->Status();
    EXPECT_EQ(status.portName, c.port);
    EXPECT_EQ(status.devicePath, c.expectedPath);
    EXPECT_FALSE(status.open);
    EXPECT_EQ(status.threadRunning, !c.port.empty());
    EXPECT_EQ(status.lastError, c.expectedError);

    reader->model = kModel8100;
    reader->fileFeed().Feed(FrameAssembler::kNoStamp, frames.data(), frames.size());
    test::ExpectSameEngineValues(sink.Samples(), samples);

    const auto start = Clock::now();
    reader.reset();
    EXPECT_LT(MillisecondsSince(start), 100.0);
  }
  // The holder kept the port and still reads it.
  const std::vector<EngineSample> more = SyncFreeSamples(kModel5100, 2, 8);
  ASSERT_TRUE(pty.Write(FramesOf(more, kModel5100)));
  ASSERT_TRUE(holderSink.WaitForCount(2));
  test::ExpectSameEngineValues(holderSink.Samples(), more);
}

// A port missing when reading should start (the adapter plugged in later), or held by another
// program for a while, is opened as soon as it can be, and reading starts by itself.
TEST(SerialReader, OpensAPortAsSoonAsItCanBeOpened) {
  PseudoTerminal pty;
  TempDir dir;
  const std::string later = dir / "ttyLater";
  WaitingSink sink;
  SerialReader reader(later, &sink, nullptr);
  EXPECT_EQ(reader.Status().lastError, "No such device");
  ASSERT_EQ(::symlink(pty.path().c_str(), later.c_str()), 0);
  ASSERT_TRUE(Eventually([&] { return reader.Status().open; }));
  EXPECT_EQ(reader.Status().lastError, "");
  const std::vector<EngineSample> samples = SyncFreeSamples(kModel5100, 3, 11);
  ASSERT_TRUE(pty.Write(FramesOf(samples, kModel5100)));
  ASSERT_TRUE(sink.WaitForCount(samples.size()));
  test::ExpectSameEngineValues(sink.Samples(), samples);
}

TEST(SerialReader, NamesTheProgramThatHoldsThePort) {
  PseudoTerminal pty;
  // Another process opens and locks the port, then waits until told to let go.
  int release[2] = {-1, -1};
  int ready[2] = {-1, -1};
  ASSERT_EQ(::pipe(release), 0);
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t holder = ::fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    ::close(release[1]);
    const int fd = ::open(pty.path().c_str(), O_RDWR | O_NOCTTY);
    char byte = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 1 : 0;
    [[maybe_unused]] ssize_t n = ::write(ready[1], &byte, 1);
    n = ::read(release[0], &byte, 1);
    ::_exit(0);
  }
  ::close(release[0]);
  ::close(ready[1]);
  char locked = 0;
  const ssize_t got = ::read(ready[0], &locked, 1);
  ::close(ready[0]);
  if (got != 1 || locked != 1) {
    ::close(release[1]);
    ::waitpid(holder, nullptr, 0);
    FAIL() << "the holder could not lock the port";
  }
  std::ifstream commFile("/proc/" + std::to_string(holder) + "/comm");
  std::string comm;
  std::getline(commFile, comm);

  WaitingSink sink;
  SerialReader reader(pty.path(), &sink, nullptr);
  EXPECT_EQ(reader.Status().lastError,
            "Port in use by " + comm + " (pid " + std::to_string(holder) + ")");
  EXPECT_FALSE(reader.Status().open);
  ::close(release[1]);
  int status = 0;
  ASSERT_EQ(::waitpid(holder, &status, 0), holder);
  ASSERT_TRUE(Eventually([&] { return reader.Status().open; }));
  const std::vector<EngineSample> samples = SyncFreeSamples(kModel5100, 2, 12);
  ASSERT_TRUE(pty.Write(FramesOf(samples, kModel5100)));
  ASSERT_TRUE(sink.WaitForCount(samples.size()));
}

TEST(SerialReader, StopsPromptlyOnASilentLine) {
  PseudoTerminal pty;
  WaitingSink sink;
  auto reader = std::make_unique<SerialReader>(pty.path(), &sink, nullptr);
  ASSERT_TRUE(reader->HasThread());
  ASSERT_TRUE(pty.Write(FramesOf(SyncFreeSamples(kModel5100, 1, 9), kModel5100)));
  ASSERT_TRUE(sink.WaitForCount(1));  // the thread is in its loop, now waiting on a silent line

  auto start = Clock::now();
  reader.reset();
  const double destroyMs = MillisecondsSince(start);
  std::printf("destroying a reader on a silent line took %.2f ms\n", destroyMs);
  EXPECT_LT(destroyMs, 100.0);
  // The claim goes with the reader, or no later opener but root could have the port.
  EXPECT_EQ(pty.Exclusive(), 0);

  // Clearing `running` without Stop() is noticed at the end of the current poll.
  SerialReader second(pty.path(), &sink, nullptr);
  ASSERT_TRUE(second.HasThread()) << second.Status().lastError;
  ASSERT_TRUE(pty.Write(FramesOf(SyncFreeSamples(kModel5100, 1, 9), kModel5100)));
  ASSERT_TRUE(sink.WaitForCount(2));
  start = Clock::now();
  second.running = 0;
  ASSERT_TRUE(Eventually([&] { return !second.Status().threadRunning; }));
  const double noticedMs = MillisecondsSince(start);
  std::printf("clearing running was noticed after %.2f ms\n", noticedMs);
  EXPECT_LT(noticedMs, 2000.0);
}

double ProcessCpuSeconds() {
  timespec ts{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

TEST(SerialReader, WaitsQuietlyForALostDeviceAndResumesWhenItReturns) {
  TempDir dir;
  const std::string link = dir / "ttyMonitor";
  auto first = std::make_unique<PseudoTerminal>();
  ASSERT_EQ(::symlink(first->path().c_str(), link.c_str()), 0);
  WaitingSink sink;
  SerialReader reader(link, &sink, nullptr);
  ASSERT_TRUE(reader.HasThread()) << reader.Status().lastError;

  const std::vector<EngineSample> before = SyncFreeSamples(kModel5100, 10, 10);
  ASSERT_TRUE(first->Write(FramesOf(before, kModel5100)));
  ASSERT_TRUE(sink.WaitForCount(before.size()));
  // Half a frame is on its way when the device goes.
  const Bytes cut = FrameBuilder::Build(SyncFreeSamples(kModel5100, 1, 11)[0], kModel5100);
  ASSERT_TRUE(first->Write(cut.data(), 40));
  ASSERT_TRUE(Eventually([&] { return reader.Status().bytesReceived == 10u * 73u + 40u; }));

  // A pulled adapter takes its device node along. The link goes first: the freed
  // pseudo-terminal number can be handed to any other program's openpty at once, and the reader
  // would open that terminal instead.
  ASSERT_EQ(::unlink(link.c_str()), 0);
  first->Unplug();
  ASSERT_TRUE(Eventually([&] { return !reader.Status().open; }));
  SerialStatus status = reader.Status();
  EXPECT_TRUE(status.threadRunning);
  EXPECT_EQ(status.lastError.rfind("Device lost (", 0), 0u) << status.lastError;

  const double cpuStart = ProcessCpuSeconds();
  const auto wallStart = Clock::now();
  // Not synchronisation: the window over which the idle reader's CPU use is measured.
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const double cpuPercent =
      100.0 * (ProcessCpuSeconds() - cpuStart) / (MillisecondsSince(wallStart) / 1000.0);
  std::printf("CPU while the device was missing: %.2f%%\n", cpuPercent);
  EXPECT_LT(cpuPercent, 5.0);
  EXPECT_FALSE(reader.Status().open);

  PseudoTerminal second;
  RepointLink(link, second.path());
  ASSERT_TRUE(Eventually([&] { return reader.Status().open; }));
  status = reader.Status();
  EXPECT_EQ(status.lastError, "");
  EXPECT_EQ(status.devicePath, link);

  const std::vector<EngineSample> after = SyncFreeSamples(kModel5100, 10, 12);
  ASSERT_TRUE(second.Write(FramesOf(after, kModel5100)));
  ASSERT_TRUE(sink.WaitForCount(before.size() + after.size()));
  std::vector<EngineSample> expected = before;
  expected.insert(expected.end(), after.begin(), after.end());
  test::ExpectSameEngineValues(sink.Samples(), expected);
  ASSERT_TRUE(Eventually([&] { return reader.Status().bytesReceived == 20u * 73u + 40u; }));
  EXPECT_EQ(reader.Status().framesAccepted, 20u);
  EXPECT_EQ(reader.Status().framesDropped, 0u);
}

TEST(SerialReader, StopsPromptlyWhileWaitingForALostDevice) {
  TempDir dir;
  const std::string link = dir / "ttyMonitor";
  PseudoTerminal pty;
  ASSERT_EQ(::symlink(pty.path().c_str(), link.c_str()), 0);
  WaitingSink sink;
  auto reader = std::make_unique<SerialReader>(link, &sink, nullptr);
  ASSERT_TRUE(reader->HasThread());
  ASSERT_EQ(::unlink(link.c_str()), 0);  // as above: never someone else's terminal
  pty.Unplug();
  ASSERT_TRUE(Eventually([&] { return !reader->Status().open; }));
  const auto start = Clock::now();
  reader.reset();
  const double destroyMs = MillisecondsSince(start);
  std::printf("destroying a reader waiting for its device took %.2f ms\n", destroyMs);
  EXPECT_LT(destroyMs, 100.0);
}

// Every sample must be one of the streamed values; the notifier takes a lock that the test
// also takes now and then, as a window's repaint request might.
class CheckingSink : public SampleSink, public SampleNotifier {
 public:
  explicit CheckingSink(std::vector<EngineSample> valid) : valid_(std::move(valid)) {}
  void AddSample(std::unique_ptr<EngineSample> sample, SampleNotifier* notifier) override {
    const bool known = std::any_of(valid_.begin(), valid_.end(), [&](const EngineSample& v) {
      return SameEngineValues(v, *sample);
    });
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++count_;
      if (!known)
        ++unknown_;
    }
    changed_.notify_all();
    if (notifier != nullptr)
      notifier->SampleAdded();
  }
  void SampleAdded() override {
    std::lock_guard<std::mutex> lock(notifierLock);
    ++notifications_;
  }
  bool WaitForCountAbove(uint64_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, kPatience, [&] { return count_ > count; });
  }
  uint64_t count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return count_;
  }
  uint64_t unknown() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return unknown_;
  }
  uint64_t notifications() {
    std::lock_guard<std::mutex> lock(notifierLock);
    return notifications_;
  }

  std::mutex notifierLock;

 private:
  const std::vector<EngineSample> valid_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t count_ = 0;
  uint64_t unknown_ = 0;
  uint64_t notifications_ = 0;
};

size_t OpenDescriptorCount() {
  size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++count;
  }
  return count;
}

TEST(SerialReader, SurvivesBeingRecreatedUnderAFullSpeedStream) {
  constexpr int kRounds = 200;
  const std::vector<EngineSample> samples = SyncFreeSamples(kModel5100, 16, 13);
  const Bytes stream = FramesOf(samples, kModel5100);
  PseudoTerminal pty;
  CheckingSink sink(samples);
  const size_t descriptorsBefore = OpenDescriptorCount();

  std::atomic<bool> writing{true};
  std::atomic<uint64_t> written{0};
  std::thread writer([&] {
    while (writing.load()) {
      if (!pty.Write(stream, &writing))
        break;
      written += stream.size();
    }
  });

  const auto start = Clock::now();
  for (int round = 0; round < kRounds && !HasFatalFailure(); ++round) {
    SerialReader reader(pty.path(), &sink, &sink);
    ASSERT_TRUE(reader.HasThread()) << "round " << round << ": " << reader.Status().lastError;
    // Odd rounds stop the reader wherever it is; even rounds once it has delivered a sample,
    // sometimes while the test holds the notifier's lock for a moment.
    if (round % 2 == 0) {
      const uint64_t seen = sink.count();
      ASSERT_TRUE(sink.WaitForCountAbove(seen)) << "round " << round;
      if (round % 4 == 0) {
        std::lock_guard<std::mutex> lock(sink.notifierLock);
        ASSERT_TRUE(reader.Status().threadRunning);
      }
    }
  }
  const double stressMs = MillisecondsSince(start);
  writing = false;
  writer.join();
  std::printf("%d readers created and destroyed in %.0f ms; %llu samples from %llu bytes\n",
              kRounds, stressMs, static_cast<unsigned long long>(sink.count()),
              static_cast<unsigned long long>(written.load()));
  EXPECT_GE(sink.count(), static_cast<uint64_t>(kRounds / 2));
  EXPECT_EQ(sink.unknown(), 0u);
  EXPECT_EQ(sink.notifications(), sink.count());
  EXPECT_EQ(OpenDescriptorCount(), descriptorsBefore);
}

}  // namespace
}  // namespace ovixlog
