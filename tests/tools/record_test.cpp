// ovixlog-record as it runs in an aircraft: a process on the simulator's pseudo-terminal, its
// status lines, its recordings, and what the converter reads back from them.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/engine_sample.h"
#include "analysis/run_detector.h"
#include "document/ovixlog_doc.h"
#include "framework/headless_user_interface.h"
#include "ovixlog-sim/frame_stream.h"
#include "ovixlog-sim/recording_writer.h"
#include "ovixlog-sim/sim_options.h"
#include "recorder.h"
#include "recording/recording_catalog.h"
#include "support/child_process.h"
#include "support/temp_folder.h"


namespace ovixlog {
namespace {

using Clock = std::chrono::steady_clock;

using Child = test::ChildProcess;

// The lines of `path` that start with `prefix`.
std::vector<std::string> LinesStarting(const std::string& path, const std::string& prefix) {
  const std::string text = test::ReadWholeFile(path);
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
    const std::string line = text.substr(start, end - start);
    if (line.rfind(prefix, 0) == 0)
      lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// Waits until `path` has `count` lines starting with `prefix`.
bool WaitForLines(const std::string& path, const std::string& prefix, size_t count, int seconds) {
  const auto deadline = Clock::now() + std::chrono::seconds(seconds);
  while (LinesStarting(path, prefix).size() < count) {
    if (Clock::now() > deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// The samples a recording gives, every frame kept.
std::vector<EngineSample> SamplesOf(const std::string& path) {
  std::ostringstream errors;
  HeadlessUserInterface ui(errors);
  StartupSettings settings;
  settings.keepAllSamples = 1;
  settings.recordingEnabled = 0;
  COvixLogDoc doc(&ui, settings);
  doc.SetPortsEnabled(false);
  doc.OnNewDocument();
  EXPECT_TRUE(doc.ImportDemoLog(path)) << errors.str();
  std::vector<EngineSample> samples;
  for (int i = 0; i < doc.SampleCount(); ++i)
    samples.push_back(doc.SampleAt(i));
  return samples;
}

// The simulator's samples, `count` of them.
std::vector<EngineSample> Simulated(const std::vector<std::string>& simArgs, uint64_t count) {
  const sim::ParsedCommandLine parsed = sim::ParseCommandLine(simArgs);
  EXPECT_EQ(parsed.outcome, sim::ParsedCommandLine::Outcome::kRun) << parsed.error;
  sim::FrameStream stream(parsed.options.stream);
  std::vector<EngineSample> samples;
  std::vector<uint8_t> bytes;
  for (uint64_t i = 0; i < count; ++i) {
    bytes.clear();
    samples.push_back(stream.AppendNext(bytes).sample);
  }
  return samples;
}

// Where the engine runs begin and end in `samples` timed twelve a second: the first running
// sample of each, and the sample that closed it (30 s after its last running one).
std::vector<std::pair<size_t, size_t>> Runs(const std::vector<EngineSample>& samples) {
  struct Listener : RunListener {
    void StretchOpened(int64_t) override { opened = index; }
    void StretchClosed(bool reported) override {
      if (reported)
        runs.push_back({opened, index});
    }
    size_t index = 0;
    size_t opened = 0;
    std::vector<std::pair<size_t, size_t>> runs;
  } listener;
  RunDetector detector(&listener);
  uint32_t stamp = 0;
  for (size_t i = 0; i < samples.size(); ++i) {
    listener.index = i;
    EngineSample s = samples[i];
    s.tickMs = stamp;
    stamp += i % 3 == 2 ? 84u : 83u;
    detector.Add(s);
  }
  // A run still going when the stream ends lasts to its end, as the recorder closes it then.
  listener.index = samples.size();
  detector.Finish();
  return listener.runs;
}

void ExpectSameValues(const std::vector<EngineSample>& got, const std::vector<EngineSample>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i)
    ASSERT_TRUE(SameEngineValues(got[i], want[i])) << "sample " << i;
}

struct Rig {
  test::TempFolder folder;
  std::string link() const { return folder / "tty"; }
  std::string recordings() const { return folder / "recordings"; }
  std::string recorderOut() const { return folder / "record.out"; }
  std::unique_ptr<Child> Recorder(std::vector<std::string> extra) const {
    std::vector<std::string> args = {OVIXLOG_RECORD_EXE, "--port", link(), "--dir", recordings()};
    args.insert(args.end(), extra.begin(), extra.end());
    return std::make_unique<Child>(args, recorderOut());
  }
  std::unique_ptr<Child> Sim(std::vector<std::string> extra, const std::string& out) const {
    std::vector<std::string> args = {OVIXLOG_SIM_EXE, "--link", link()};
    args.insert(args.end(), extra.begin(), extra.end());
    return std::make_unique<Child>(args, folder / out);
  }
  std::vector<std::string> Logs() const {
    std::vector<std::string> logs;
    for (const std::string& name : test::TempFolder::EntriesOf(recordings())) {
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".log") == 0)
        logs.push_back(recordings() + "/" + name);
    }
    return logs;
  }
};

TEST(RecordCommandLine, ParsesOptionsAndRejectsBadUsage) {
  using Outcome = ParsedRecordLine::Outcome;
  const ParsedRecordLine all = ParseRecordLine(
      {"--port", "COM3", "--model=7100", "--dir", "/srv/f", "--split", "--csv", "--summary"});
  ASSERT_EQ(all.outcome, Outcome::kRun) << all.error;
  EXPECT_EQ(all.options.port, "COM3:");
  EXPECT_EQ(all.options.model, kModel7100);
  EXPECT_EQ(all.options.folder, "/srv/f");
  EXPECT_TRUE(all.options.split && all.options.csv && all.options.summary);
  const ParsedRecordLine plain = ParseRecordLine({"--port=/dev/ttyUSB0", "--v39"});
  EXPECT_EQ(plain.options.port, "/dev/ttyUSB0");
  EXPECT_EQ(plain.options.altFrameFormat, 1);
  EXPECT_FALSE(plain.options.split || plain.options.csv || plain.options.summary);
  EXPECT_EQ(ParseRecordLine({}).options.port, "COM1:");
  EXPECT_EQ(ParseRecordLine({"--help"}).outcome, Outcome::kHelp);
  for (const std::vector<std::string>& bad :
       std::vector<std::vector<std::string>>{{"--model", "4100"},
                                             {"--v39", "--model", "3100"},
                                             {"--port"},
                                             {"--port="},
                                             {"--dir", ""},
                                             {"--split=1"},
                                             {"--bogus"},
                                             {"file.log"}}) {
    SCOPED_TRACE(testing::PrintToString(bad));
    EXPECT_EQ(ParseRecordLine(bad).outcome, Outcome::kBadUsage);
  }
}

TEST(RecordProcess, SplitsTwoFlightsIntoOneRecordingPerRun) {
  Rig s;
  auto recorder = s.Recorder({"--split", "--csv"});
  ASSERT_TRUE(recorder->started());
  // The scenario's length, as a file of it would have.
  const uint64_t frames =
      sim::ParseCommandLine({"--scenario", "two-flights", "--capture", "x"}).options.frames;
  const std::vector<std::string> simArgs = {"--scenario", "two-flights", "--rate",
                                            "max",        "--frames",    std::to_string(frames)};
  auto sim = s.Sim(simArgs, "sim.out");
  ASSERT_TRUE(sim->started());
  // The simulator ends once the recorder has read every frame.
  ASSERT_TRUE(WIFEXITED(sim->Wait(120)));
  ASSERT_TRUE(WaitForLines(s.recorderOut(), "device lost: ", 1, 30));
  recorder->Signal(SIGTERM);
  const int status = recorder->Wait(30);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);

  ASSERT_EQ(s.Logs().size(), 2u) << test::ReadWholeFile(s.recorderOut());
  // The recordings in the order they were made.
  std::vector<std::string> logs;
  for (const std::string& line : LinesStarting(s.recorderOut(), "recording started: "))
    logs.push_back(line.substr(std::string("recording started: ").size()));
  ASSERT_EQ(logs.size(), 2u);
  const std::vector<EngineSample> sent = Simulated(simArgs, frames);
  const std::vector<std::pair<size_t, size_t>> runs = Runs(sent);
  ASSERT_EQ(runs.size(), 2u);
  const std::vector<std::string> closed = LinesStarting(s.recorderOut(), "recording closed: ");
  ASSERT_EQ(closed.size(), 2u);
  for (size_t r = 0; r < 2; ++r) {
    SCOPED_TRACE(testing::Message() << "run " << r);
    std::vector<EngineSample> want(sent.begin() + static_cast<long>(runs[r].first),
                                   sent.begin() + static_cast<long>(runs[r].second));
    const std::vector<EngineSample> got = SamplesOf(logs[r]);
    if (r == 1 && got.size() < want.size()) {
      // The last run ends with the line. When the simulator gives up waiting for a reader
      // slowed by a busy machine, what was still in the terminal's buffer (a few hundred frames
      // at most) goes with it; the frames recorded are still exactly the run's.
      EXPECT_GE(got.size() + 1000, want.size());
      want.resize(got.size());
    }
    ExpectSameValues(got, want);
    const std::optional<RecordingInfo> info = ReadRecordingInfo(logs[r]);
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->closed);
    EXPECT_EQ(closed[r], "recording closed: " + logs[r] + " (" + std::to_string(info->size) +
                             " bytes, " + std::to_string(want.size()) + " frames)");
    const std::string csv = test::ReadWholeFile(logs[r].substr(0, logs[r].size() - 4) + ".csv");
    EXPECT_EQ(csv.rfind("Flt-Time,Tach,", 0), 0u);
  }
}

// The summary written beside a finished recording lists the run's findings.
TEST(RecordSummary, ListsTheFindings) {
  test::TempFolder folder;
  const std::string path = folder / "flight.log";
  const sim::ParsedCommandLine parsed =
      sim::ParseCommandLine({"--scenario", "bad-probe", "--demo-log", path});
  ASSERT_EQ(parsed.outcome, sim::ParsedCommandLine::Outcome::kRun);
  sim::FrameStream stream(parsed.options.stream);
  std::string error;
  ASSERT_TRUE(sim::WriteDemoLog(path, stream, parsed.options.frames, error)) << error;
  const std::string summary = folder / "flight.summary.txt";
  std::FILE* out = std::fopen(summary.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  EXPECT_TRUE(WriteSummary(path, out));
  ASSERT_EQ(std::fclose(out), 0);
  // The run-up's mag check, then the probe reading 0 for 20 s in the cruise.
  EXPECT_EQ(LinesStarting(summary, "  Findings: "), std::vector<std::string>{"  Findings: 2"})
      << test::ReadWholeFile(summary);
  EXPECT_EQ(LinesStarting(summary, "    info: Mag check at ").size(), 1u);
  EXPECT_EQ(LinesStarting(summary, "    caution: EGT2 reads 0 for ").size(), 1u);
}

TEST(RecordProcess, HintsAtTheModelTheDataComesFrom) {
  struct Case {
    const char* sent;
    const char* given;
    const char* rate;  // the bytes are judged over seconds of live time, the readings at once
    const char* hint;
  };
  const Case cases[] = {
      {"7100", "5100", "max",
       "hint: these readings look like Model 7100, not Model 5100 (readings in CHT5-6 and "
       "EGT5-6); restart with --model 7100"},
      {"3100", "5100", "100",
       "hint: these frames look like Model 3100 (48-byte frames); restart with --model 3100"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sent);
    Rig s;
    auto recorder = s.Recorder({"--model", c.given});
    auto sim = s.Sim({"--model", c.sent, "--rate", c.rate, "--frames", "450"}, "sim.out");
    ASSERT_TRUE(WIFEXITED(sim->Wait(120)));
    ASSERT_TRUE(WaitForLines(s.recorderOut(), "hint: ", 1, 30))
        << test::ReadWholeFile(s.recorderOut());
    recorder->Signal(SIGTERM);
    ASSERT_TRUE(WIFEXITED(recorder->Wait(30)));
    EXPECT_EQ(LinesStarting(s.recorderOut(), "hint: "), std::vector<std::string>{c.hint});
  }
}

TEST(RecordProcess, TerminationSignalsCloseTheRecordingCleanly) {
  for (const int sig : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(sig);
    Rig s;
    auto recorder = s.Recorder({});
    auto sim = s.Sim({"--rate", "100"}, "sim.out");
    ASSERT_TRUE(WaitForLines(s.recorderOut(), "recording started: ", 1, 30))
        << test::ReadWholeFile(s.recorderOut());
    ASSERT_TRUE(WaitForLines(s.recorderOut(), "device found: " + s.link(), 1, 30));
    recorder->Signal(sig);
    const int status = recorder->Wait(30);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::vector<std::string> logs = s.Logs();
    ASSERT_EQ(logs.size(), 1u);
    const std::optional<RecordingInfo> info = ReadRecordingInfo(logs[0]);
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->closed);
    EXPECT_FALSE(info->inUse);
    EXPECT_EQ(LinesStarting(s.recorderOut(), "stopped").size(), 1u);
    EXPECT_GT(SamplesOf(logs[0]).size(), 0u);
  }
}

TEST(RecordProcess, ResumesTheSameRecordingWhenTheSimulatorComesBack) {
  Rig s;
  auto recorder = s.Recorder({});
  auto first = s.Sim({"--rate", "200", "--seed", "3"}, "sim1.out");
  ASSERT_TRUE(WaitForLines(s.recorderOut(), "recording started: ", 1, 30));
  // The first simulator dies mid-flight, its frames still arriving.
  first->Signal(SIGKILL);
  first->Wait(10);
  ASSERT_TRUE(WaitForLines(s.recorderOut(), "device lost: ", 1, 30))
      << test::ReadWholeFile(s.recorderOut());
  auto second = s.Sim({"--rate", "100", "--seed", "4", "--frames", "300"}, "sim2.out");
  ASSERT_TRUE(WaitForLines(s.recorderOut(), "device back: ", 1, 30))
      << test::ReadWholeFile(s.recorderOut());
  // The second simulator ends once its frames are read.
  ASSERT_TRUE(WIFEXITED(second->Wait(30)));
  recorder->Signal(SIGTERM);
  ASSERT_TRUE(WIFEXITED(recorder->Wait(30)));

  const std::vector<std::string> logs = s.Logs();
  ASSERT_EQ(logs.size(), 1u) << test::ReadWholeFile(s.recorderOut());
  const std::vector<EngineSample> got = SamplesOf(logs[0]);
  // Frames of the first simulator, then of the second, in one recording that says where the
  // line came back; no frame is made of bytes of both.
  const std::vector<EngineSample> flight1 = Simulated({"--seed", "3"}, 20000);
  const std::vector<EngineSample> flight2 = Simulated({"--seed", "4"}, 300);
  const auto in = [](const std::vector<EngineSample>& flight, const EngineSample& sample) {
    return std::any_of(flight.begin(), flight.end(),
                       [&](const EngineSample& f) { return SameEngineValues(f, sample); });
  };
  ASSERT_GT(got.size(), 100u);
  size_t switchAt = 0;
  while (switchAt < got.size() && in(flight1, got[switchAt]))
    ++switchAt;
  EXPECT_GT(switchAt, 0u);
  EXPECT_GT(got.size() - switchAt, 100u);
  for (size_t k = switchAt; k < got.size(); ++k)
    ASSERT_TRUE(in(flight2, got[k])) << "sample " << k;
  const std::string file = test::ReadWholeFile(logs[0]);
  size_t restarts = 0;
  for (size_t pos = 0; pos + 9 <= file.size();) {
    const auto byte = [&](size_t at) { return static_cast<uint8_t>(file[at]); };
    const size_t length = (size_t{byte(pos + 5)} << 24) | (size_t{byte(pos + 6)} << 16) |
                          (size_t{byte(pos + 7)} << 8) | size_t{byte(pos + 8)};
    if (byte(pos) == 0x82)
      ++restarts;
    pos += 9 + length;
  }
  EXPECT_EQ(restarts, 1u);
}

}  // namespace
}  // namespace ovixlog
