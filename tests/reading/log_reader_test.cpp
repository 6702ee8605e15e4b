#include "reading/log_reader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "acquisition/demo_log_builder.h"
#include "recording/recording_format.h"
#include "support/temp_folder.h"
#include "support/test_support.h"

namespace ovixlog {
namespace {

using test::Capture;

// Keeps the tach of every sample, the stamps, the local times and every call besides.
class Keeper : public LogReader::Listener {
 public:
  void AddSample(std::unique_ptr<EngineSample> sample, SampleNotifier*) override {
    tachs.push_back(sample->tach);
    stamps.push_back(sample->tickMs);
    times.push_back(sample->localTime);
  }
  void OnSettings(EngineModel model, int32_t alt, bool reframed) override {
    settings.push_back({model, alt, reframed});
  }
  bool OnProgress(uint64_t done, uint64_t total) override {
    progress.push_back({done, total});
    return progress.size() < stopAfter;
  }

  struct Setting {
    EngineModel model;
    int32_t alt;
    bool reframed;
    friend bool operator==(const Setting&, const Setting&) = default;
  };
  std::vector<int> tachs;
  std::vector<uint32_t> stamps;
  std::vector<LocalTime> times;
  std::vector<Setting> settings;
  std::vector<std::pair<uint64_t, uint64_t>> progress;
  size_t stopAfter = SIZE_MAX;
};

std::string Write(const test::TempFolder& folder, const std::string& name,
                  const std::vector<uint8_t>& bytes) {
  const std::string path = folder / name;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::vector<int> Counting(int from, int count) {
  std::vector<int> tachs;
  for (int i = 0; i < count; ++i)
    tachs.push_back(from + i);
  return tachs;
}

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<uint8_t> Bytes(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

const size_t kLong = Capture(1).size();
const size_t kShort = Capture(1, kModel3100).size();
const size_t kAlt = Capture(1, kModel5100, 1).size();

TEST(LogReaderFrames, AreTheLengthsOfTheThreeLayouts) {
  EXPECT_EQ(kShort, 48u);
  EXPECT_EQ(kLong, 73u);
  EXPECT_EQ(kAlt, 77u);
}

// A raw capture whose second frame has a bad checksum.
std::vector<uint8_t> WithBadChecksum() {
  std::vector<uint8_t> bytes = Capture(3);
  bytes[kLong + kLong - 1] ^= 0x5A;
  return bytes;
}

// Frames, then noise that holds no header, then frames.
std::vector<uint8_t> WithGarbageInTheMiddle() {
  std::vector<uint8_t> bytes = Capture(2);
  bytes.insert(bytes.end(), 10, 0x11);
  return Concat(bytes, Capture(2));
}

// A log: model 3100 framing set by a record, short frames, then back to the long layout.
std::vector<uint8_t> LogSwitchingLayouts() {
  DemoLogBuilder log;
  log.Setting(0, "58=3").Setting(0, "321=1").Stream(1000, Capture(2, kModel3100));
  log.Setting(2000, "321=0").Stream(3000, Capture(2));
  return log.bytes();
}

// A recording with a wall clock at stamp 1000: 2026-12-10 07:12:00 UTC, one hour east.
std::vector<uint8_t> RecordingWithWallClock() {
  std::vector<uint8_t> bytes;
  const WallClockAnchor anchor{1000, 1796886720000, 3600};
  const std::vector<uint8_t> clock = WallClockPayload(anchor);
  AppendRecord(bytes, kWallClockRecord, 1000, clock.data(), clock.size());
  const std::vector<uint8_t> frames = Capture(2);
  AppendRecord(bytes, kStreamRecord, 1500, frames.data(), frames.size());
  return bytes;
}

// A log whose last record says it holds `length` bytes, more than the file has.
std::vector<uint8_t> TornLog(uint32_t length) {
  DemoLogBuilder log;
  log.Stream(100, Capture(2));
  const size_t start = log.bytes().size();
  std::vector<uint8_t> bytes = log.bytes();
  DemoLogBuilder rest;
  rest.RecordWithLength(kStreamRecord, 200, length, Capture(1));
  bytes.insert(bytes.end(), rest.bytes().begin(), rest.bytes().end());
  EXPECT_EQ(start, 9 + 2 * kLong);
  return bytes;
}

struct Case {
  const char* name;
  std::vector<uint8_t> bytes;
  LogFormat named;
  EngineModel model;
  int32_t alt;
  LogFormat read;
  std::vector<int> tachs;
  uint64_t frames;
  uint64_t badChecksums;
  uint64_t skipped;
  bool torn;
  uint64_t tornAt;
  EngineModel endModel;
};

TEST(LogReader, ReadsEveryKindAndReportsItsDamage) {
  std::vector<uint8_t> truncated = Capture(3);
  truncated.resize(truncated.size() - 20);
  const std::vector<Case> cases = {
      {"long capture, detected", Capture(5), LogFormat::kDetect, kModel5100, 0,
       LogFormat::kRawCapture, Counting(1000, 5), 5, 0, 0, false, 0, kModel5100},
      {"short capture as 3100", Capture(4, kModel3100), LogFormat::kDetect, kModel3100, 0,
       LogFormat::kRawCapture, Counting(1000, 4), 4, 0, 0, false, 0, kModel3100},
      {"v3.9 capture", Capture(3, kModel5100, 1), LogFormat::kDetect, kModel5100, 1,
       LogFormat::kRawCapture, Counting(1000, 3), 3, 0, 0, false, 0, kModel5100},
      {"capture read with the wrong model", Capture(4, kModel3100), LogFormat::kDetect,
       kModel5100, 0, LogFormat::kRawCapture, {}, 0, 2, 4 * kShort - 2 * kLong, false, 0,
       kModel5100},
      {"cut short inside a frame", truncated, LogFormat::kDetect, kModel5100, 0,
       LogFormat::kRawCapture, Counting(1000, 2), 2, 0, kLong - 20, false, 0, kModel5100},
      {"bad checksum", WithBadChecksum(), LogFormat::kRawCapture, kModel5100, 0,
       LogFormat::kRawCapture, {1000, 1002}, 2, 1, 0, false, 0, kModel5100},
      {"garbage in the middle", WithGarbageInTheMiddle(), LogFormat::kDetect, kModel5100, 0,
       LogFormat::kRawCapture, {1000, 1001, 1000, 1001}, 4, 0, 10, false, 0, kModel5100},
      {"log switching layouts", LogSwitchingLayouts(), LogFormat::kDetect, kModel5100, 0,
       LogFormat::kDemoLog, {1000, 1001, 1000, 1001}, 4, 0, 0, false, 0, kModel5100},
      {"log named as a log", LogSwitchingLayouts(), LogFormat::kDemoLog, kModel5100, 0,
       LogFormat::kDemoLog, {1000, 1001, 1000, 1001}, 4, 0, 0, false, 0, kModel5100},
      {"recording", RecordingWithWallClock(), LogFormat::kDetect, kModel5100, 0,
       LogFormat::kDemoLog, Counting(1000, 2), 2, 0, 0, false, 0, kModel5100},
      {"torn log with a huge length", TornLog(0xFFFFFFF0u), LogFormat::kDemoLog, kModel5100, 0,
       LogFormat::kDemoLog, {1000, 1001, 1000}, 3, 0, 0, true, 9 + 2 * kLong, kModel5100},
      {"torn log, detected", TornLog(500), LogFormat::kDetect, kModel5100, 0,
       LogFormat::kDemoLog, {1000, 1001, 1000}, 3, 0, 0, true, 9 + 2 * kLong, kModel5100},
  };
  test::TempFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Write(folder, "flight", c.bytes);
    LogReadOptions options;
    options.format = c.named;
    options.model = c.model;
    options.altFrameFormat = c.alt;
    Keeper keeper;
    const LogReadResult result = LogReader::Read(path, options, keeper);
    EXPECT_TRUE(result.ok()) << result.ErrorText(path);
    EXPECT_EQ(result.format, c.read);
    EXPECT_EQ(keeper.tachs, c.tachs);
    EXPECT_EQ(result.frames, c.frames);
    EXPECT_EQ(result.badChecksums, c.badChecksums);
    EXPECT_EQ(result.bytesSkipped, c.skipped);
    EXPECT_EQ(result.tornTail, c.torn);
    EXPECT_EQ(result.tornAt, c.tornAt);
    EXPECT_EQ(result.model, c.endModel);
    EXPECT_EQ(result.bytesRead, c.bytes.size());
    EXPECT_EQ(result.totalBytes, c.bytes.size());
    EXPECT_EQ(keeper.progress.back(), std::make_pair(c.bytes.size(), c.bytes.size()));
  }
}

TEST(LogReader, LogSettingsReframeAndAreReported) {
  test::TempFolder folder;
  const std::string path = Write(folder, "flight.log", LogSwitchingLayouts());
  Keeper keeper;
  LogReader::Read(path, LogReadOptions{}, keeper);
  EXPECT_EQ(keeper.settings, (std::vector<Keeper::Setting>{{kModel3100, 0, false},
                                                          {kModel3100, 0, true},
                                                          {kModel5100, 0, true}}));
  EXPECT_EQ(keeper.stamps, (std::vector<uint32_t>{1000, 1000, 3000, 3000}));

  Keeper kept;
  LogReadOptions keep;
  keep.keepModel = true;
  const LogReadResult result = LogReader::Read(path, keep, kept);
  EXPECT_TRUE(kept.settings.empty());
  EXPECT_EQ(kept.tachs, (std::vector<int>{1000, 1001})) << "short frames are not framed as long";
  EXPECT_EQ(result.model, kModel5100);
}

TEST(LogReader, RecordingSamplesCarryTheWallClockTime) {
  test::TempFolder folder;
  const std::string path = Write(folder, "rec.log", RecordingWithWallClock());
  Keeper keeper;
  LogReader::Read(path, LogReadOptions{}, keeper);
  ASSERT_EQ(keeper.times.size(), 2u);
  // 07:12:00 UTC plus the hour east, half a second after the anchor.
  EXPECT_EQ(keeper.times[0], (LocalTime{2026, 12, 4, 10, 8, 12, 0, 500}));
  EXPECT_EQ(keeper.stamps, (std::vector<uint32_t>{1500, 1500}));
}

TEST(LogReader, RawCaptureStampsAreSynthesisedTwelveASecond) {
  test::TempFolder folder;
  const std::string path = Write(folder, "capture.bin", Capture(4));
  Keeper keeper;
  LogReader::Read(path, LogReadOptions{}, keeper);
  EXPECT_EQ(keeper.stamps, (std::vector<uint32_t>{83, 166, 250, 333}));
}

TEST(LogReader, RefusesWhatItCannotRead) {
  test::TempFolder folder;
  struct Failure {
    std::string path;
    LogReadError error;
    std::string text;
  };
  const std::string text = Write(folder, "notes.txt", Bytes("Tach,RPM\r\n2450,2450\r\n"));
  const std::string empty = Write(folder, "empty.bin", {});
  const std::vector<Failure> failures = {
      {text, LogReadError::kUnknownFormat,
       text + " is not a flight log: expected a recording, an EFIS DEMO log or a raw capture "
              "of the monitor's frames"},
      {empty, LogReadError::kEmpty, "Empty file: " + empty},
      {folder / "missing", LogReadError::kOpen,
       "Unable to open " + folder / "missing" + ": No such file or directory"},
      {folder.path(), LogReadError::kOpen, "Unable to open " + folder.path() + ": Is a directory"},
  };
  for (const Failure& f : failures) {
    SCOPED_TRACE(f.path);
    Keeper keeper;
    const LogReadResult result = LogReader::Read(f.path, LogReadOptions{}, keeper);
    EXPECT_EQ(result.error, f.error);
    EXPECT_EQ(result.ErrorText(f.path), f.text);
    EXPECT_TRUE(keeper.tachs.empty());
  }
}

TEST(LogReader, NamedCaptureOfNoFramesIsReadNotRefused) {
  test::TempFolder folder;
  const std::string path = Write(folder, "notes.txt", Bytes("nothing here"));
  LogReadOptions options;
  options.format = LogFormat::kRawCapture;
  Keeper keeper;
  const LogReadResult result = LogReader::Read(path, options, keeper);
  EXPECT_TRUE(result.ok());
  EXPECT_EQ(result.bytesSkipped, 12u);
}

TEST(LogReader, StopsWhenTheListenerSaysSoAndReadsInBoundedBlocks) {
  test::TempFolder folder;
  const std::vector<uint8_t> bytes = Capture(8000);  // 584,000 bytes: three blocks
  const std::string path = Write(folder, "long.bin", bytes);
  Keeper all;
  LogReader::Read(path, LogReadOptions{}, all);
  EXPECT_EQ(all.progress, (std::vector<std::pair<uint64_t, uint64_t>>{
                              {262144, 584000}, {524288, 584000}, {584000, 584000}}));
  EXPECT_EQ(all.tachs.size(), 8000u);

  Keeper first;
  first.stopAfter = 1;
  const LogReadResult result = LogReader::Read(path, LogReadOptions{}, first);
  EXPECT_TRUE(result.cancelled);
  EXPECT_EQ(result.bytesRead, 262144u);
  EXPECT_EQ(first.tachs.size(), 262144 / kLong);
}

TEST(LogReader, CountsLayoutsOfACaptureWhenAsked) {
  test::TempFolder folder;
  const std::string path = Write(folder, "capture.bin", Capture(10, kModel3100));
  LogReadOptions options;
  options.countLayouts = true;
  Keeper keeper;
  const LogReadResult result = LogReader::Read(path, options, keeper);
  ASSERT_TRUE(result.layouts.has_value());
  EXPECT_EQ(result.layouts->framedBytes(FrameFormat::kShort), 10 * kShort);
  EXPECT_EQ(result.layouts->framedBytes(FrameFormat::kLong), 0u);
}

TEST(LogReaderHead, TellsLogsFromCaptures) {
  EXPECT_TRUE(LooksLikeDemoLogHead(LogSwitchingLayouts().data(), LogSwitchingLayouts().size()));
  EXPECT_TRUE(LooksLikeDemoLogHead(TornLog(500).data(), 20));
  EXPECT_FALSE(LooksLikeDemoLogHead(Capture(3).data(), 3 * kLong));
  const std::vector<uint8_t> text = Bytes("Tach,RPM");
  EXPECT_FALSE(LooksLikeDemoLogHead(text.data(), text.size()));
  EXPECT_FALSE(LooksLikeDemoLogHead(nullptr, 0));
}

}  // namespace
}  // namespace ovixlog
