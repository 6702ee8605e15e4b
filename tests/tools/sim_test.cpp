#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "acquisition/frame_assembler.h"
#include "acquisition/frame_builder.h"
#include "acquisition/serial_reader.h"
#include "ovixlog-sim/flight_generator.h"
#include "ovixlog-sim/frame_stream.h"
#include "ovixlog-sim/recording_writer.h"
#include "ovixlog-sim/sim_options.h"
#include "support/temp_folder.h"
#include "support/test_support.h"

extern char** environ;

namespace ovixlog::sim {
namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;
constexpr auto kPatience = std::chrono::seconds(20);

using TempDir = test::TempFolder;

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Frames `bytes` as the file importers do and returns what came out.
struct Decoded {
  std::vector<EngineSample> samples;
  uint64_t dropped = 0;
};
Decoded Decode(const Bytes& bytes, EngineModel model, int32_t alt) {
  std::atomic<int32_t> modelSetting{model};
  std::atomic<int32_t> altSetting{alt};
  test::CapturingSink sink;
  FrameAssembler assembler(modelSetting, altSetting, &sink, nullptr);
  assembler.Feed(FrameAssembler::kNoStamp, bytes.data(), bytes.size());
  return {sink.Samples(), assembler.framesDropped()};
}

// What a stream with `options` emits over `frames` frames, made by a second stream.
std::vector<FrameStream::Emitted> Emissions(const StreamOptions& options, uint64_t frames) {
  FrameStream stream(options);
  std::vector<FrameStream::Emitted> out;
  Bytes scratch;
  for (uint64_t i = 0; i < frames; ++i) {
    scratch.clear();
    out.push_back(stream.AppendNext(scratch));
  }
  return out;
}

void ExpectSameEngineValues(const std::vector<EngineSample>& got,
                            const std::vector<EngineSample>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) {
    ASSERT_TRUE(SameEngineValues(got[i], want[i])) << "sample " << i;
  }
}

struct Format {
  const char* name;
  EngineModel model;
  int32_t alt;
};
constexpr Format kFormats[] = {{"5100", kModel5100, 0},
                               {"5100 alternate", kModel5100, 1},
                               {"3100", kModel3100, 0},
                               {"7100", kModel7100, 0},
                               {"8100", kModel8100, 0}};

TEST(Simulator, CaptureDecodesToTheGeneratedValues) {
  TempDir dir;
  constexpr uint64_t kFrames = 3000;
  for (const Format& f : kFormats) {
    SCOPED_TRACE(f.name);
    const StreamOptions options{f.model, f.alt, 42, 0.0, 0.0};
    FrameStream stream(options);
    std::string error;
    ASSERT_TRUE(WriteCapture(dir / "capture.bin", stream, kFrames, error)) << error;
    const Bytes capture = ReadFile(dir / "capture.bin");
    ASSERT_EQ(capture.size(), kFrames * static_cast<uint64_t>(FrameLengthFor(f.model, f.alt)));

    std::vector<EngineSample> expected;
    for (const auto& e : Emissions(options, kFrames))
      expected.push_back(e.sample);
    const Decoded decoded = Decode(capture, f.model, f.alt);
    ExpectSameEngineValues(decoded.samples, expected);
    EXPECT_EQ(decoded.dropped, 0u);
  }
}

// Faults come from a random stream of their own: the flight underneath stays the same. Spoiled
// checksums cost exactly their frames; noise can hide a frame behind a false header but never
// invents one, so what decodes is the sent frames, in order, with few missing.
TEST(Simulator, FaultsLoseOnlyTheFramesTheySpoil) {
  const StreamOptions clean{kModel7100, 0, 9, 0.0, 0.0};
  const auto flight = Emissions(clean, 2000);
  for (const auto& [noise, bad] : {std::pair{0.0, 0.1}, std::pair{0.2, 0.0}}) {
    SCOPED_TRACE(testing::Message() << "noise " << noise << " bad checksums " << bad);
    FrameStream stream({kModel7100, 0, 9, noise, bad});
    Bytes bytes;
    std::vector<EngineSample> good;
    size_t noiseBytes = 0;
    for (size_t i = 0; i < flight.size(); ++i) {
      const FrameStream::Emitted e = stream.AppendNext(bytes);
      ASSERT_TRUE(SameEngineValues(e.sample, flight[i].sample)) << i;
      if (e.goodChecksum)
        good.push_back(e.sample);
      noiseBytes += e.noiseBytes;
    }
    EXPECT_EQ(bytes.size(), flight.size() * kLongFrameLength + noiseBytes);
    EXPECT_NEAR(static_cast<double>(flight.size() - good.size()), 2000 * bad, 50);
    // 1 to 16 bytes, 8.5 on average, before a share `noise` of the frames.
    EXPECT_NEAR(static_cast<double>(noiseBytes), 2000 * noise * 8.5, 2000 * noise * 8.5 * 0.25);

    const Decoded decoded = Decode(bytes, kModel7100, 0);
    if (noise == 0.0) {
      ExpectSameEngineValues(decoded.samples, good);
      EXPECT_EQ(decoded.dropped, flight.size() - good.size());
      continue;
    }
    size_t next = 0;
    for (const EngineSample& d : decoded.samples) {
      while (next < good.size() && !SameEngineValues(good[next], d))
        ++next;
      ASSERT_LT(next, good.size()) << "a decoded sample that was never sent";
      ++next;
    }
    EXPECT_GT(decoded.samples.size(), 1900u);
  }
}

struct Record {
  uint8_t type;
  uint32_t stamp;
  Bytes payload;
};

uint32_t BigEndian32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | p[3];
}

// Splits a DEMO recording into its records; fails the test on a truncated record.
std::vector<Record> ParseRecords(const Bytes& file) {
  std::vector<Record> records;
  size_t pos = 0;
  while (pos < file.size()) {
    if (file.size() - pos < 9) {
      ADD_FAILURE() << "truncated record header at " << pos;
      break;
    }
    Record r{file[pos], BigEndian32(&file[pos + 1]), {}};
    const uint32_t length = BigEndian32(&file[pos + 5]);
    pos += 9;
    if (file.size() - pos < length) {
      ADD_FAILURE() << "truncated payload at " << pos;
      break;
    }
    r.payload.assign(file.begin() + static_cast<std::ptrdiff_t>(pos),
                     file.begin() + static_cast<std::ptrdiff_t>(pos + length));
    pos += length;
    records.push_back(std::move(r));
  }
  return records;
}

TEST(Simulator, DemoLogHoldsSettingsThenStampedStreamRecords) {
  struct Case {
    Format format;
    std::vector<std::string> settings;
  };
  const Case cases[] = {
      {kFormats[0], {"58=5", "321=0", "723=0"}}, {kFormats[1], {"58=5", "321=0", "723=1"}},
      {kFormats[2], {"58=3", "321=1", "723=0"}}, {kFormats[3], {"58=7", "321=0", "723=0"}},
      {kFormats[4], {"58=8", "321=0", "723=0"}},
  };
  TempDir dir;
  constexpr uint64_t kFrames = 10;  // two full records and one of two frames
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format.name);
    const StreamOptions options{c.format.model, c.format.alt, 5, 0.0, 0.0};
    FrameStream stream(options);
    std::string error;
    ASSERT_TRUE(WriteDemoLog(dir / "demo.log", stream, kFrames, error)) << error;
    const std::vector<Record> records = ParseRecords(ReadFile(dir / "demo.log"));
    ASSERT_EQ(records.size(), 6u);

    for (size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(records[i].type, 7);
      EXPECT_EQ(records[i].stamp, 0u);
      EXPECT_EQ(std::string(records[i].payload.begin(), records[i].payload.end()), c.settings[i]);
    }
    const size_t length = static_cast<size_t>(FrameLengthFor(c.format.model, c.format.alt));
    const uint32_t stamps[] = {0, 333, 666};
    const size_t frames[] = {4, 4, 2};
    Bytes stream_bytes;
    for (size_t i = 0; i < 3; ++i) {
      const Record& r = records[3 + i];
      EXPECT_EQ(r.type, 2);
      EXPECT_EQ(r.stamp, stamps[i]);
      EXPECT_EQ(r.payload.size(), frames[i] * length);
      stream_bytes.insert(stream_bytes.end(), r.payload.begin(), r.payload.end());
    }
    std::vector<EngineSample> expected;
    for (const auto& e : Emissions(options, kFrames))
      expected.push_back(e.sample);
    ExpectSameEngineValues(Decode(stream_bytes, c.format.model, c.format.alt).samples, expected);
  }
}

TEST(Simulator, SameSeedSameFlightOtherSeedOtherFlight) {
  FrameStream a({kModel8100, 0, 11, 0.1, 0.1});
  FrameStream b({kModel8100, 0, 11, 0.1, 0.1});
  FrameStream c({kModel8100, 0, 12, 0.1, 0.1});
  Bytes ba, bb, bc;
  for (int i = 0; i < 500; ++i) {
    a.AppendNext(ba);
    b.AppendNext(bb);
    c.AppendNext(bc);
  }
  EXPECT_EQ(ba, bb);
  EXPECT_NE(ba, bc);
}

// The flight goes through its stretches with believable values, and starts again.
TEST(Simulator, FlightIsPlausibleAndRepeats) {
  constexpr int kFps = FlightGenerator::kFramesPerSecond;
  const int flightFrames = FlightGenerator::FlightSeconds() * kFps;
  EXPECT_EQ(FlightGenerator::FlightSeconds(), 3395);
  for (const Format& f : {kFormats[0], kFormats[2]}) {
    SCOPED_TRACE(f.name);
    FlightGenerator flight(f.model, 21);
    std::vector<EngineSample> s;
    for (int i = 0; i < flightFrames + 2 * kFps; ++i)
      s.push_back(flight.Next());
    const EngineSample& first = s.front();
    const EngineSample& last = s[static_cast<size_t>(flightFrames - 1)];
    const EngineSample& cruise =
        s[static_cast<size_t>((20 + 90 + 150 + 60 + 45 + 480 + 900) * kFps)];
    const int cylinders = f.model == kModel3100 ? 2 : 4;

    EXPECT_EQ(first.tach, 0);
    EXPECT_EQ(first.oilP, 0);
    EXPECT_EQ(last.tach, 0);
    EXPECT_NEAR(cruise.tach, 2400, 10);
    EXPECT_NEAR(cruise.aspd, 122, 2);
    EXPECT_NEAR(cruise.flow, 8.6f, 0.11f);
    EXPECT_EQ(cruise.vsi, 0.0f);
    EXPECT_NEAR(cruise.oilP, 20 + 2400 * 0.019, 1.5);
    EXPECT_NEAR(cruise.volt, 14.1f, 0.11f);
    // The engine ran for the whole flight but the first 20 and last 30 seconds.
    EXPECT_EQ(last.fltHours * 3600 + last.fltMinutes * 60 + last.fltSeconds, 3395 - 50);

    const auto [minCht, maxCht] = std::minmax_element(cruise.cht, cruise.cht + cylinders);
    EXPECT_NEAR(*maxCht, 360, 20);
    EXPECT_LE(*maxCht - *minCht, 30);
    EXPECT_GT(*maxCht - *minCht, 0);
    const auto [minEgt, maxEgt] = std::minmax_element(cruise.egt, cruise.egt + cylinders);
    EXPECT_NEAR(*maxEgt, 1450, 50);
    EXPECT_LE(*maxEgt - *minEgt, 80);
    for (int i = cylinders; i < 6; ++i)
      EXPECT_EQ(cruise.cht[i], 0) << "cylinder " << i;

    int32_t lowest = s[0].alt, highest = s[0].alt;
    int lastSeconds = -1;
    for (int i = 1; i < flightFrames; ++i) {
      const EngineSample& now = s[static_cast<size_t>(i)];
      const EngineSample& before = s[static_cast<size_t>(i - 1)];
      ASSERT_LE(now.fuel, before.fuel) << "frame " << i;
      const int seconds = now.fltHours * 3600 + now.fltMinutes * 60 + now.fltSeconds;
      ASSERT_GE(seconds, lastSeconds) << "frame " << i;
      ASSERT_LE(seconds - lastSeconds, 1) << "frame " << i;
      lastSeconds = seconds;
      lowest = std::min(lowest, now.alt);
      highest = std::max(highest, now.alt);
      ASSERT_GE(now.vsi, -1500.0f);
      ASSERT_LE(now.vsi, 1500.0f);
      ASSERT_LE(now.tach, 2720);
    }
    EXPECT_EQ(lowest, first.alt);
    EXPECT_EQ(last.alt, first.alt);
    EXPECT_NEAR(highest - lowest, 5650, 10);
    const float burnt = first.fuel - last.fuel;
    EXPECT_GT(burnt, 5.0f);
    EXPECT_LT(burnt, 12.0f);

    // The next flight: timer from zero, tanks filled, tach hours carried on.
    const EngineSample& next = s[static_cast<size_t>(flightFrames + kFps)];
    EXPECT_EQ(next.fltHours * 3600 + next.fltMinutes * 60 + next.fltSeconds, 0);
    EXPECT_GT(next.fuel, last.fuel);
    EXPECT_NEAR(next.hours, last.hours, 0.11f);
    EXPECT_NEAR(last.hours - first.hours, 3345.0f / 3600.0f, 0.11f);
  }
}

TEST(SimulatorCommandLine, ParsesOptions) {
  using Outcome = ParsedCommandLine::Outcome;
  struct Case {
    std::vector<std::string> args;
    Outcome outcome;
    EngineModel model;
    int32_t alt;
    double rate;
    uint32_t seed;
    uint64_t frames;
    std::string capture;
    std::string link;
  };
  const Case cases[] = {
      {{}, Outcome::kRun, kModel5100, 0, 12.0, 1, 0, "", ""},
      {{"--model", "3100", "--rate", "max", "--seed", "7"},
       Outcome::kRun,
       kModel3100,
       0,
       0.0,
       7,
       0,
       "",
       ""},
      {{"--model=8100", "--rate=24", "--link", "/tmp/x"},
       Outcome::kRun,
       kModel8100,
       0,
       24.0,
       1,
       0,
       "",
       "/tmp/x"},
      {{"--v39", "--frames", "100"}, Outcome::kRun, kModel5100, 1, 12.0, 1, 100, "", ""},
      {{"--capture", "c.bin"}, Outcome::kRun, kModel5100, 0, 12.0, 1, 43200, "c.bin", ""},
      {{"--capture", "c.bin", "--frames", "1036800", "--seed", "4294967295"},
       Outcome::kRun,
       kModel5100,
       0,
       12.0,
       4294967295u,
       1036800,
       "c.bin",
       ""},
      {{"--model", "7100", "--help"}, Outcome::kHelp, kModel5100, 0, 12.0, 1, 0, "", ""},
      {{"-h"}, Outcome::kHelp, kModel5100, 0, 12.0, 1, 0, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    const ParsedCommandLine parsed = ParseCommandLine(c.args);
    ASSERT_EQ(parsed.outcome, c.outcome) << parsed.error;
    if (c.outcome != Outcome::kRun)
      continue;
    const SimOptions& o = parsed.options;
    EXPECT_EQ(o.stream.model, c.model);
    EXPECT_EQ(o.stream.altFrameFormat, c.alt);
    EXPECT_EQ(o.rate, c.rate);
    EXPECT_EQ(o.stream.seed, c.seed);
    EXPECT_EQ(o.frames, c.frames);
    EXPECT_EQ(o.capture, c.capture);
    EXPECT_EQ(o.link, c.link);
  }
  const ParsedCommandLine faults = ParseCommandLine({"--noise", "0.25", "--bad-checksum=1"});
  EXPECT_EQ(faults.options.stream.noise, 0.25);
  EXPECT_EQ(faults.options.stream.badChecksum, 1.0);
}

TEST(SimulatorCommandLine, RejectsBadUsage) {
  const std::vector<std::vector<std::string>> cases = {
      {"--model", "5000"},
      {"--model"},
      {"--v39", "--model", "3100"},
      {"--rate", "0"},
      {"--rate", "fast"},
      {"--seed", "-1"},
      {"--seed", "4294967296"},
      {"--noise", "1.5"},
      {"--bad-checksum", "x"},
      {"--frames", "0"},
      {"--capture", "a", "--demo-log", "b"},
      {"--capture", "a", "--link", "l"},
      {"--demo-log", "a", "--rate", "5"},
      {"--capture="},
      {"--v39=1"},
      {"--bogus"},
      {"extra"},
      {"--cylinder-offset", "0:50"},
      {"--cylinder-offset", "7:50"},
      {"--cylinder-offset", "3"},
      {"--cylinder-offset", "3:"},
      {"--cylinder-offset", "3:hot"},
      {"--cylinder-offset", "3:600"},
      {"--cylinder-offset", "3:50:300"},
      {"--cylinder-offset", "3:50:20:1"},
      {"--cylinder-offset", "3:50", "--model", "3100"},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(testing::PrintToString(args));
    const ParsedCommandLine parsed = ParseCommandLine(args);
    EXPECT_EQ(parsed.outcome, ParsedCommandLine::Outcome::kBadUsage);
    EXPECT_FALSE(parsed.error.empty());
  }
}

TEST(SimulatorCommandLine, ParsesCylinderOffset) {
  struct Case {
    std::vector<std::string> args;
    int cylinder;
    double egt;
    double cht;
  };
  const Case cases[] = {
      {{"--cylinder-offset", "3:70"}, 3, 70.0, 0.0},
      {{"--cylinder-offset=1:-45.5:-12"}, 1, -45.5, -12.0},
      {{"--model", "3100", "--cylinder-offset", "2:60:25"}, 2, 60.0, 25.0},
      {{"--model", "8100", "--cylinder-offset", "6:0:30"}, 6, 0.0, 30.0},
      {{}, 0, 0.0, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    const ParsedCommandLine parsed = ParseCommandLine(c.args);
    ASSERT_EQ(parsed.outcome, ParsedCommandLine::Outcome::kRun) << parsed.error;
    EXPECT_EQ(parsed.options.stream.offsetCylinder, c.cylinder);
    EXPECT_EQ(parsed.options.stream.egtOffset, c.egt);
    EXPECT_EQ(parsed.options.stream.chtOffset, c.cht);
  }
}

// The offset cylinder runs exactly that much hotter while the engine turns; the others, and
// every cylinder while it stands, are the flight of the same seed without the offset.
TEST(Simulator, CylinderOffsetMovesOnlyThatCylinderWhileRunning) {
  StreamOptions plainOptions{kModel5100, 0, 5, 0.0, 0.0};
  StreamOptions hotOptions = plainOptions;
  hotOptions.offsetCylinder = 3;
  hotOptions.egtOffset = 70.0;
  hotOptions.chtOffset = -20.0;
  FrameStream plain(plainOptions);
  FrameStream hot(hotOptions);
  Bytes unused;
  int running = 0;
  for (int i = 0; i < 12 * 60 * 20; ++i) {
    const EngineSample a = plain.AppendNext(unused).sample;
    const EngineSample b = hot.AppendNext(unused).sample;
    // Stopped means no revolutions at all; the last of a spin-down may read 0 on the tach.
    const bool moved = b.egt[2] != a.egt[2];
    running += moved ? 1 : 0;
    if (a.tach > 0) {
      ASSERT_TRUE(moved) << "frame " << i;
    }
    for (int c = 0; c < 6; ++c) {
      const bool offset = moved && c == 2;
      ASSERT_EQ(b.egt[c], a.egt[c] + (offset ? 70 : 0)) << "frame " << i << " cylinder " << c + 1;
      ASSERT_EQ(b.cht[c], a.cht[c] + (offset ? -20 : 0)) << "frame " << i << " cylinder " << c + 1;
    }
    ASSERT_EQ(b.tach, a.tach);
  }
  EXPECT_GT(running, 12 * 60 * 10);
}

TEST(SimulatorCommandLine, HelpListsEveryOption) {
  const std::string usage = UsageText();
  for (const char* option : {"--model", "--v39", "--seed", "--noise", "--bad-checksum", "--rate",
                             "--link", "--frames", "--capture", "--demo-log", "--help",
                             "--cylinder-offset"}) {
    EXPECT_NE(usage.find(option), std::string::npos) << option;
  }
}

// The simulator as a separate process, its standard output on a pipe.
class SimulatorProcess {
 public:
  explicit SimulatorProcess(std::vector<std::string> args) {
    args.insert(args.begin(), OVIXLOG_SIM_EXECUTABLE);
    std::vector<char*> argv;
    for (auto& a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    if (::pipe(out) != 0)
      return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
      pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    output_ = out[0];
  }
  ~SimulatorProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (output_ >= 0)
      ::close(output_);
  }

  // The first line the simulator prints, or "" if none comes in time.
  std::string FirstLine() {
    std::string line;
    const auto deadline = Clock::now() + kPatience;
    while (Clock::now() < deadline) {
      pollfd in{output_, POLLIN, 0};
      if (::poll(&in, 1, 100) <= 0)
        continue;
      char c = 0;
      if (::read(output_, &c, 1) != 1)
        break;
      if (c == '\n')
        return line;
      line += c;
    }
    return "";
  }

  // The exit status, or -1 if the process does not end in time.
  int Wait() {
    const auto deadline = Clock::now() + kPatience;
    while (Clock::now() < deadline) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      ::poll(nullptr, 0, 10);
    }
    return -1;
  }

  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int output_ = -1;
};

TEST(SimulatorProcess, ServesItsFlightOnATerminalThroughALink) {
  TempDir dir;
  const std::string link = dir / "ttyMonitor";
  SimulatorProcess sim({"--model", "7100", "--seed", "8", "--rate", "max", "--link", link});
  const std::string path = sim.FirstLine();
  ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << "'" << path << "'";
  EXPECT_EQ(std::filesystem::read_symlink(link).string(), path);

  test::CapturingSink sink;
  SerialReader reader(link, &sink, nullptr);
  ASSERT_TRUE(reader.HasThread()) << reader.Status().lastError;
  reader.model = kModel7100;
  const auto deadline = Clock::now() + kPatience;
  while (sink.Count() < 500 && Clock::now() < deadline)
    ::poll(nullptr, 0, 5);
  ASSERT_GE(sink.Count(), 500u);
  ASSERT_EQ(::kill(sim.pid(), SIGTERM), 0);
  EXPECT_EQ(sim.Wait(), 0);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));

  // The reader joined the stream somewhere along the flight; from there on it got every frame.
  const std::vector<EngineSample> got = sink.Samples();
  FlightGenerator flight(kModel7100, 8);
  EngineSample expected = flight.Next();
  uint64_t skipped = 0;
  while (!SameEngineValues(expected, got[0]) && skipped < 10'000'000) {
    expected = flight.Next();
    ++skipped;
  }
  ASSERT_LT(skipped, 10'000'000u) << "the first sample is not from the flight";
  for (size_t i = 1; i < got.size(); ++i) {
    ASSERT_TRUE(SameEngineValues(flight.Next(), got[i])) << "sample " << i;
  }
  EXPECT_EQ(reader.Status().framesDropped, 0u);
}

TEST(SimulatorProcess, ExitStatusTellsHelpFromBadUsage) {
  SimulatorProcess help({"--help"});
  EXPECT_EQ(help.FirstLine(), "Usage: ovixlog-sim [OPTION]...");
  EXPECT_EQ(help.Wait(), 0);
  SimulatorProcess bad({"--model", "9999"});
  EXPECT_EQ(bad.FirstLine(), "");
  EXPECT_EQ(bad.Wait(), 2);
}

}  // namespace
}  // namespace ovixlog::sim
