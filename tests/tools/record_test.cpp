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
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/engine_sample.h"
#include "acquisition/frame_builder.h"
#include "analysis/run_detector.h"
#include "document/ovixlog_doc.h"
#include "framework/headless_user_interface.h"
#include "library/file_samples.h"
#include "library/flight_library.h"
#include "ovixlog-sim/frame_stream.h"
#include "ovixlog-sim/recording_writer.h"
#include "ovixlog-sim/sim_options.h"
#include "recorder.h"
#include "recording/recording_catalog.h"
#include "support/child_process.h"
#include "support/temp_folder.h"
#include "support/test_support.h"


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
// Opens a pseudo-terminal: `master` is our end, `device` the path the recorder opens.
bool OpenTerminal(int& master, std::string& device) {
  master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
    return false;
  device = ptsname(master);
  return true;
}

// Writes all of `bytes` to the terminal `master`, as the monitor's line would carry them.
bool WriteAll(int master, const std::vector<uint8_t>& bytes) {
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t n = write(master, bytes.data() + done, bytes.size() - done);
    if (n <= 0)
      return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

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
  const ParsedRecordLine labelled = ParseRecordLine({"--aircraft", "D-EOVX", "--library"});
  EXPECT_EQ(labelled.options.aircraft, "D-EOVX");
  EXPECT_TRUE(labelled.options.library);
  EXPECT_FALSE(plain.options.library);
  EXPECT_EQ(plain.options.aircraft, "");
  EXPECT_EQ(ParseRecordLine({}).options.port, "COM1:");
  // COM names as the window knows them, in any case; anything else is a device path.
  for (const auto& [given, port] : std::vector<std::pair<std::string, std::string>>{
           {"com2", "COM2:"}, {"Com8:", "COM8:"}, {"COMPASS", "COMPASS"}, {"./COM9", "./COM9"}}) {
    SCOPED_TRACE(given);
    const ParsedRecordLine named = ParseRecordLine({"--port", given});
    ASSERT_EQ(named.outcome, Outcome::kRun) << named.error;
    EXPECT_EQ(named.options.port, port);
  }
  EXPECT_EQ(ParseRecordLine({"--help"}).outcome, Outcome::kHelp);
  for (const std::vector<std::string>& bad :
       std::vector<std::vector<std::string>>{{"--model", "4100"},
                                             {"--v39", "--model", "3100"},
                                             {"--port"},
                                             {"--port="},
                                             {"--dir", ""},
                                             {"--split=1"},
                                             {"--aircraft", ""},
                                             {"--aircraft", std::string(65, 'x')},
                                             {"--library=yes"},
                                             {"--bogus"},
                                             {"--port", "COM9"},
                                             {"--port", "com0:"},
                                             {"--port", "COM10"},
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

TEST(RecordProcess, IndexesEachClosedRecordingWithItsAircraft) {
  Rig s;
  const std::string db = s.folder / "library.sqlite";
  // The recorder finds the library where every program does.
  auto recorder = std::make_unique<Child>(
      std::vector<std::string>{OVIXLOG_RECORD_EXE, "--port", s.link(), "--dir", s.recordings(),
                               "--aircraft", "D-EOVX", "--library"},
      s.recorderOut(), std::vector<std::string>{"OVIXLOG_LIBRARY=" + db});
  ASSERT_TRUE(recorder->started());
  auto sim = s.Sim({"--rate", "max", "--frames", "3000"}, "sim.out");
  ASSERT_TRUE(WIFEXITED(sim->Wait(120)));
  ASSERT_TRUE(WaitForLines(s.recorderOut(), "device lost: ", 1, 30));
  recorder->Signal(SIGTERM);
  ASSERT_TRUE(WIFEXITED(recorder->Wait(60)));
  const std::vector<std::string> logs = s.Logs();
  ASSERT_EQ(logs.size(), 1u) << test::ReadWholeFile(s.recorderOut());
  // Frames at the line's full speed last too short a time for an engine run; the recording is
  // indexed all the same, and names its aircraft for the flights it would hold.
  EXPECT_EQ(LinesStarting(s.recorderOut(), "library: "),
            std::vector<std::string>{"library: " + logs[0] + ": added 0 flights"});
  FlightLibrary library;
  std::string error;
  std::string notice;
  ASSERT_TRUE(library.Open(db, error, notice)) << error;
  const std::vector<LibraryFile> files = library.Files();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].identity.path, logs[0]);
  const FileSamples read = ReadFileSamples(logs[0], std::nullopt);
  EXPECT_EQ(read.aircraft, "D-EOVX");
  EXPECT_EQ(read.clocks.size(), 1u);
  EXPECT_TRUE(read.read);
}

TEST(RecordProcess, SplitDropsAnEngineRunUnderAMinute) {
  test::TempFolder folder;
  int master = -1;
  std::string device;
  ASSERT_TRUE(OpenTerminal(master, device));
  const std::string out = folder / "out";
  Child recorder({OVIXLOG_RECORD_EXE, "--port", device, "--dir", folder / "recordings", "--split"},
                 out);
  // Bytes go only to a line set up for them.
  ASSERT_TRUE(WaitForLines(out, "device found: ", 1, 30)) << test::ReadWholeFile(out);
  // At twelve frames a second: 40 s of engine, 33 s stopped, 75 s of engine, 33 s stopped.
  std::vector<uint8_t> bytes;
  const auto frames = [&bytes](int count, int tach) {
    EngineSample sample = test::ExampleSample();
    sample.tach = static_cast<int16_t>(tach);
    for (int i = 0; i < count; ++i)
      FrameBuilder::Append(bytes, sample, kModel5100);
  };
  frames(24, 0);
  frames(480, 2400);
  frames(400, 0);
  frames(900, 2300);
  frames(400, 0);
  ASSERT_TRUE(WriteAll(master, bytes));
  ASSERT_TRUE(WaitForLines(out, "recording closed: ", 1, 60)) << test::ReadWholeFile(out);
  recorder.Signal(SIGTERM);
  ASSERT_TRUE(WIFEXITED(recorder.Wait(30)));
  close(master);

  const std::vector<std::string> discarded = LinesStarting(out, "recording discarded: ");
  ASSERT_EQ(discarded.size(), 1u) << test::ReadWholeFile(out);
  EXPECT_EQ(discarded[0].substr(discarded[0].size() - 31), "(the engine ran under a minute)");
  std::vector<std::string> logs;
  for (const std::string& name : test::TempFolder::EntriesOf(folder / "recordings"))
    logs.push_back(folder / "recordings" + "/" + name);
  ASSERT_EQ(logs.size(), 1u);
  const std::vector<EngineSample> got = SamplesOf(logs[0]);
  ASSERT_GE(got.size(), 900u);
  EXPECT_EQ(got.front().tach, 2300);
}

TEST(RecordProcess, HintsAtTheModelTheDataComesFrom) {
  struct Case {
    const char* sent;
    const char* given;
    const char* rate;  // the bytes are judged over seconds of live time, the readings at once
    const char* hint;
    bool recorded;  // frames of the wrong layout start no recording
  };
  const Case cases[] = {
      {"7100", "5100", "max",
       "hint: these readings look like Model 7100, not Model 5100 (readings in CHT5-6 and "
       "EGT5-6); restart with --model 7100",
       true},
      {"3100", "5100", "100",
       "hint: these frames look like Model 3100 (48-byte frames); restart with --model 3100",
       false},
      {"5100", "3100", "100",
       "hint: these frames look like a long-layout model (73-byte frames); restart with --model "
       "5100",
       false},
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
    EXPECT_EQ(s.Logs().size(), c.recorded ? 1u : 0u) << test::ReadWholeFile(s.recorderOut());
  }
}

// Frames that frame cleanly under the model given but whose readings no engine gives: the bytes
// point to no other layout, so the readings' verdict is the one said.
TEST(RecordProcess, HintsAtAnotherModelOrFormatWhenMostReadingsAreImpossible) {
  test::TempFolder folder;
  int master = -1;
  std::string device;
  ASSERT_TRUE(OpenTerminal(master, device));
  const std::string out = folder / "out";
  Child recorder({OVIXLOG_RECORD_EXE, "--port", device, "--dir", folder / "recordings"}, out);
  ASSERT_TRUE(WaitForLines(out, "device found: ", 1, 30)) << test::ReadWholeFile(out);
  std::vector<uint8_t> bytes;
  EngineSample sample = test::ExampleSample();
  sample.egt[3] = 14080;
  for (int i = 0; i < 60; ++i)
    FrameBuilder::Append(bytes, sample, kModel5100);
  ASSERT_TRUE(WriteAll(master, bytes));
  ASSERT_TRUE(WaitForLines(out, "hint: ", 1, 30)) << test::ReadWholeFile(out);
  recorder.Signal(SIGTERM);
  ASSERT_TRUE(WIFEXITED(recorder.Wait(30)));
  close(master);
  EXPECT_EQ(LinesStarting(out, "hint: "),
            std::vector<std::string>{"hint: most frames read as Model 5100 hold impossible values "
                                     "(EGT4 14080); restart with another --model, or --v39"});
}

TEST(RecordProcess, AFolderItCannotRecordIntoIsSaidAtOnce) {
  test::TempFolder folder;
  test::WriteWholeFile(folder / "file", "x");
  const struct {
    std::string dir;
    std::string line;
  } cases[] = {
      {folder / "file", "cannot record into " + (folder / "file") + ": Not a directory"},
      {folder / "file/under", "cannot record into " + (folder / "file/under") + ": Not a directory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dir);
    // No device is there to wait for: the answer comes before any is looked for.
    Child recorder({OVIXLOG_RECORD_EXE, "--port", folder / "no-device", "--dir", c.dir},
                   folder / "out");
    const int status = recorder.Wait(30);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(test::ReadWholeFile(folder / "out"), c.line + "\n");
  }
}

// A folder that cannot be written even by root: a file system mounted read-only in a namespace
// of our own (skipped where there is none).
TEST(RecordProcess, AReadOnlyFolderIsSaidAtOnce) {
  test::TempFolder folder;
  const std::string dir = folder / "ro";
  ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
  if (std::system(("unshare -rm mount -t tmpfs -o ro tmpfs " + dir + " >/dev/null 2>&1").c_str()) !=
      0)
    GTEST_SKIP() << "no user and mount namespaces here to mount a read-only file system in";
  const std::string script = "mount -t tmpfs -o ro tmpfs \"$1\" || exit 9\nexec \"$2\" --port \"$3\" --dir \"$1\"\n";
  Child recorder({"/usr/bin/unshare", "-rm", "/bin/bash", "-c", script, "read-only", dir,
                  OVIXLOG_RECORD_EXE, folder / "no-device"},
                 folder / "out");
  const int status = recorder.Wait(30);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(test::ReadWholeFile(folder / "out"),
            "cannot record into " + dir + ": Read-only file system\n");
}

TEST(RecordProcess, ARecordingStoppedByAFileLimitIsClosedWholeAndRecordingGoesOnWhenThereIsRoom) {
  Rig s;
  // A limit of 8 KiB stops each recording after about a hundred frames, as a full disk would.
  const std::string command = std::string("ulimit -f 8; exec ") + OVIXLOG_RECORD_EXE +
                              " --port " + s.link() + " --dir " + s.recordings() +
                              " --csv --summary";
  auto recorder = std::make_unique<Child>(std::vector<std::string>{"/bin/bash", "-c", command},
                                          s.recorderOut());
  auto sim = s.Sim({"--rate", "100", "--frames", "900"}, "sim.out");
  ASSERT_TRUE(WIFEXITED(sim->Wait(120)));
  ASSERT_TRUE(WaitForLines(s.recorderOut(), "device lost: ", 1, 30));
  recorder->Signal(SIGTERM);
  const int status = recorder->Wait(30);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 1);
  const std::string out = test::ReadWholeFile(s.recorderOut());

  // Each stop is said when it happens, and a new recording begins once five seconds show room.
  const std::vector<std::string> stopped = LinesStarting(s.recorderOut(), "recording stopped: ");
  ASSERT_GE(stopped.size(), 1u) << out;
  EXPECT_GE(LinesStarting(s.recorderOut(), "room again in ").size(), 1u) << out;
  const std::vector<std::string> logs = s.Logs();
  ASSERT_GE(logs.size(), 2u) << out;
  // Every recording but perhaps the last, which the end of the flight may close first.
  EXPECT_GE(stopped.size() + 1, logs.size()) << out;
  for (const std::string& line : stopped)
    EXPECT_EQ(line.substr(line.size() - 16), "(File too large)") << line;
  for (const std::string& log : logs) {
    SCOPED_TRACE(log);
    // Closed after its last whole record: not taken for a crash, and every frame it holds is
    // the count said.
    const std::optional<RecordingInfo> info = ReadRecordingInfo(log);
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->closed);
    EXPECT_LE(info->size, 8192u);
    const size_t frames = SamplesOf(log).size();
    EXPECT_GT(frames, 50u);
    const std::string closed = "recording closed: " + log + " (" + std::to_string(info->size) +
                               " bytes, " + std::to_string(frames) + " frames)";
    EXPECT_NE(out.find(closed), std::string::npos) << out;
    // A side file is whole or not there.
    for (const char* suffix : {".csv", ".summary.txt"}) {
      const std::string side = log.substr(0, log.size() - 4) + suffix;
      if (access(side.c_str(), F_OK) == 0) {
        EXPECT_FALSE(test::ReadWholeFile(side).empty()) << side;
      }
    }
  }
  EXPECT_EQ(LinesStarting(s.recorderOut(), "stopped; a recording failed").size(), 1u);
}

TEST(RecordProcess, AFullDiskStopsTheRecordingWholeAndRecordingGoesOnOnceThereIsRoom) {
  Rig s;
  // A small file system of our own, in a namespace of our own; without one there is no full
  // disk to try.
  const std::string disk = s.folder / "disk";
  ASSERT_EQ(mkdir(disk.c_str(), 0755), 0);
  if (std::system(("unshare -rm mount -t tmpfs -o size=64k tmpfs " + disk + " >/dev/null 2>&1")
                      .c_str()) != 0)
    GTEST_SKIP() << "no user and mount namespaces here to make a small file system in";
  // About 16 KiB free beside a filler; the filler goes once the first recording has stopped,
  // and the rest of the flight goes into a new recording. The recordings are copied out at
  // the end, as the small file system ends with its namespace.
  const std::string script =
      "mount -t tmpfs -o size=1100k tmpfs \"$1\" || exit 9\n"
      "head -c 1110000 /dev/zero > \"$1/filler\"\n"
      "\"$2\" --port \"$3\" --dir \"$1\" & recorder=$!\n"
      "trap 'kill -TERM $recorder' TERM\n"
      "until grep -q '^recording stopped: ' \"$4\"; do sleep 0.1; done\n"
      "rm \"$1/filler\"\n"
      "wait $recorder; wait $recorder; status=$?\n"
      "cp \"$1\"/*.log \"$5\"/\n"
      "exit $status\n";
  ASSERT_EQ(mkdir(s.recordings().c_str(), 0755), 0);
  auto recorder = std::make_unique<Child>(
      std::vector<std::string>{"/usr/bin/unshare", "-rm", "/bin/bash", "-c", script, "full-disk", disk,
                               OVIXLOG_RECORD_EXE, s.link(), s.recorderOut(), s.recordings()},
      s.recorderOut());
  auto sim = s.Sim({"--rate", "100", "--frames", "1500"}, "sim.out");
  ASSERT_TRUE(WaitForLines(s.recorderOut(), "recording started: ", 2, 60))
      << test::ReadWholeFile(s.recorderOut());
  ASSERT_TRUE(WIFEXITED(sim->Wait(120)));
  recorder->Signal(SIGTERM);
  const int status = recorder->Wait(30);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 1);
  const std::string out = test::ReadWholeFile(s.recorderOut());

  const std::vector<std::string> stopped = LinesStarting(s.recorderOut(), "recording stopped: ");
  ASSERT_EQ(stopped.size(), 1u) << out;
  const std::string first = stopped[0].substr(std::string("recording stopped: ").size(),
                                              stopped[0].find(" (") - 19);
  EXPECT_EQ(stopped[0], "recording stopped: " + first + " (No space left on device)");
  const std::vector<std::string> logs = s.Logs();
  ASSERT_EQ(logs.size(), 2u) << out;
  for (const std::string& log : logs) {
    SCOPED_TRACE(log);
    const std::optional<RecordingInfo> info = ReadRecordingInfo(log);
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->closed);
    const size_t frames = SamplesOf(log).size();
    EXPECT_GT(frames, 100u);
    // The count said is what the file holds, under the name it had on the small disk.
    const std::string name = log.substr(log.rfind('/'));
    EXPECT_NE(out.find(name + " (" + std::to_string(info->size) + " bytes, " +
                       std::to_string(frames) + " frames)"),
              std::string::npos)
        << out;
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
