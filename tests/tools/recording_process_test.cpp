// The window as a user runs it, on the simulator's pseudo-terminal: what a crash leaves on the
// disk, and what a clean end leaves.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "recording/recording_catalog.h"
#include "recording/recording_format.h"
#include "support/child_process.h"
#include "support/temp_folder.h"


namespace ovixlog {
namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;
constexpr int kFrameLength = 73;  // the 5100's frames, as the simulator sends them here

using Child = test::ChildProcess;

Bytes ReadBytes(const std::string& path) {
  const std::string s = test::ReadWholeFile(path);
  return Bytes(s.begin(), s.end());
}

// The stream bytes of a recording, up to where the file ends, even inside a record.
Bytes StreamBytes(const Bytes& file) {
  Bytes out;
  for (size_t pos = 0; pos + kRecordHeaderSize <= file.size();) {
    const size_t length = ReadBigEndian32(file.data() + pos + 5);
    const size_t payload = pos + kRecordHeaderSize;
    const size_t end = std::min(file.size(), payload + length);
    if (file[pos] == kStreamRecord)
      out.insert(out.end(), file.begin() + static_cast<long>(payload),
                 file.begin() + static_cast<long>(end));
    pos = payload + length;
  }
  return out;
}

size_t Lines(const std::string& text) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

bool WaitForPath(const std::string& path, int seconds) {
  const auto deadline = Clock::now() + std::chrono::seconds(seconds);
  struct stat st {};
  while (::lstat(path.c_str(), &st) != 0) {
    if (Clock::now() > deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

struct Session {
  test::TempFolder folder;
  std::string recordings() const { return folder / "recordings"; }
  std::vector<std::string> Env() const {
    return {"QT_QPA_PLATFORM=offscreen", "OVIXLOG_COM1=" + folder / "tty",
            "OVIXLOG_RECORDINGS=" + recordings(), "XDG_CONFIG_HOME=" + folder / "config",
            "XDG_DATA_HOME=" + folder / "data"};
  }
  // The simulator on the link, sending `frames` frames at twelve a second.
  std::unique_ptr<Child> StartSim(int frames, int seed) const {
    auto sim = std::make_unique<Child>(
        std::vector<std::string>{OVIXLOG_SIM_EXE, "--seed", std::to_string(seed), "--rate", "12",
                                 "--frames", std::to_string(frames), "--link", folder / "tty"},
        "/dev/null");
    return sim;
  }
  // What the simulator sends with that seed, as a file.
  Bytes Sent(int frames, int seed) const {
    Child capture({OVIXLOG_SIM_EXE, "--seed", std::to_string(seed), "--frames",
                   std::to_string(frames), "--capture", folder / "sent.bin"},
                  "/dev/null");
    EXPECT_EQ(capture.Wait(60), 0);
    return ReadBytes(folder / "sent.bin");
  }
  std::string Convert(const std::vector<std::string>& options, const std::string& input,
                      const std::string& output) const {
    std::vector<std::string> args = {OVIXLOG_CONVERT_EXE};
    args.insert(args.end(), options.begin(), options.end());
    args.insert(args.end(), {"-o", output, input});
    Child convert(args, "/dev/null");
    EXPECT_EQ(convert.Wait(60), 0);
    return test::ReadWholeFile(output);
  }
};

TEST(RecordingProcessTest, KillNineLosesAtMostTheLastSecond) {
  constexpr int kFrames = 12 * 13;  // 13 s at twelve frames a second
  constexpr int kSeed = 11;
  Session run;
  const std::unique_ptr<Child> sim = run.StartSim(kFrames, kSeed);
  ASSERT_TRUE(sim->started());
  ASSERT_TRUE(WaitForPath(run.folder / "tty", 20));
  Child window({OVIXLOG_EXE, "a"}, "/dev/null", run.Env());
  ASSERT_TRUE(window.started());
  // The simulator ends once the window has read every frame it sent.
  ASSERT_EQ(sim->Wait(60), 0);
  window.Signal(SIGKILL);
  ASSERT_NE(window.Wait(20), -1);

  const std::vector<RecordingInfo> list = ListRecordings(run.recordings());
  ASSERT_EQ(list.size(), 1u);
  EXPECT_FALSE(list[0].closed);
  EXPECT_FALSE(list[0].inUse);
  EXPECT_EQ(list[0].modelNumber, 5100);
  const Bytes recorded = StreamBytes(ReadBytes(list[0].path));
  // At least ten seconds of the flight, one unaltered stretch of what the simulator sent.
  ASSERT_GE(recorded.size(), static_cast<size_t>(10 * 12 * kFrameLength));
  const Bytes sent = run.Sent(kFrames, kSeed);
  ASSERT_EQ(sent.size(), static_cast<size_t>(kFrames * kFrameLength));
  const auto at = std::search(sent.begin(), sent.end(), recorded.begin(), recorded.end());
  ASSERT_NE(at, sent.end());
  const auto offset = static_cast<size_t>(at - sent.begin());

  // Every frame the recording holds whole converts, and those are every frame sent after the
  // window started but at most the last second's.
  const size_t firstFrame = (offset + kFrameLength - 1) / kFrameLength;
  const size_t wholeFrames = (offset + recorded.size()) / kFrameLength - firstFrame;
  const size_t framesSentSinceStart = static_cast<size_t>(kFrames) - firstFrame;
  const std::string csv = run.Convert({"--all", "--csv"}, list[0].path, run.folder / "k.csv");
  EXPECT_EQ(Lines(csv), wholeFrames + 1);
  EXPECT_GE(wholeFrames + 12, framesSentSinceStart);
}

TEST(RecordingProcessTest, CleanEndGivesTheRowsOfTheSavedTable) {
  constexpr int kFrames = 12 * 6;
  Session run;
  const std::unique_ptr<Child> sim = run.StartSim(kFrames, 12);
  ASSERT_TRUE(sim->started());
  ASSERT_TRUE(WaitForPath(run.folder / "tty", 20));
  const std::string saved = run.folder / "out.csv";
  Child window({OVIXLOG_EXE, "t", "o", saved}, "/dev/null", run.Env());
  ASSERT_TRUE(window.started());
  ASSERT_EQ(sim->Wait(60), 0);
  window.Signal(SIGTERM);
  const int status = window.Wait(30);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);

  const std::vector<RecordingInfo> list = ListRecordings(run.recordings());
  ASSERT_EQ(list.size(), 1u);
  EXPECT_TRUE(list[0].closed);
  const std::string table = test::ReadWholeFile(saved);
  EXPECT_GE(Lines(table), 5u);  // the titles and a row a second
  // The rows, their PC times included: the reopened recording shows when it was flown.
  EXPECT_EQ(run.Convert({"--csv", "--time"}, list[0].path, run.folder / "converted.csv"), table);
}

}  // namespace
}  // namespace ovixlog
