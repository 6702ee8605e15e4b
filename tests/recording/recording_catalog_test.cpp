#include "recording/recording_catalog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recording/recording_format.h"
#include "recording/recording_writer.h"
#include "support/temp_folder.h"

namespace ovixlog {
namespace {

using Bytes = std::vector<uint8_t>;

// 2026-12-09 14:03:22.500 UTC.
constexpr int64_t kStart = 1796825002500;

void Put(Bytes& out, uint8_t type, uint32_t stamp, const Bytes& payload) {
  AppendRecord(out, type, stamp, payload.data(), payload.size());
}

Bytes Text(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

// The opening records of a recording of `model` begun at `startMs`, then `frames` bytes of
// stream.
Bytes Opening(int64_t startMs, const char* modelSetting, size_t streamBytes = 20) {
  Bytes out;
  Put(out, kWallClockRecord, 0, WallClockPayload({0, startMs, 3600}));
  Put(out, kSettingRecord, 0, Text(modelSetting));
  Put(out, kSettingRecord, 0, Text("321=0"));
  Put(out, kStreamRecord, 0, Bytes(streamBytes, 0x11));
  return out;
}

void Write(const std::string& path, const Bytes& bytes, int64_t mtimeMs) {
  test::WriteWholeFile(path, std::string(bytes.begin(), bytes.end()));
  timespec times[2];
  times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(mtimeMs / 1000);
  times[0].tv_nsec = times[1].tv_nsec = (mtimeMs % 1000) * 1000000;
  ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

Bytes Closed(Bytes bytes, int64_t endMs) {
  Put(bytes, kClosingRecord, 0, ClosingPayload(endMs));
  return bytes;
}

TEST(RecordingCatalogTest, FolderFollowsTheEnvironment) {
  struct Case {
    const char* recordings;
    const char* xdg;
    const char* home;
    std::string want;
  };
  const Case cases[] = {
      {"/r", "/x", "/h", "/r"},
      {nullptr, "/x", "/h", "/x/ovixlog/recordings"},
      {"", "/x", "/h", "/x/ovixlog/recordings"},
      {nullptr, nullptr, "/h", "/h/.local/share/ovixlog/recordings"},
      {nullptr, "relative", "/h", "/h/.local/share/ovixlog/recordings"},
  };
  const auto set = [](const char* name, const char* value) {
    if (value == nullptr)
      ::unsetenv(name);
    else
      ::setenv(name, value, 1);
  };
  for (const Case& c : cases) {
    set("OVIXLOG_RECORDINGS", c.recordings);
    set("XDG_DATA_HOME", c.xdg);
    set("HOME", c.home);
    EXPECT_EQ(DefaultRecordingsFolder(), c.want);
  }
}

TEST(RecordingCatalogTest, ListsNewestFirstWithStartDurationModelAndSize) {
  test::TempFolder folder;
  const Bytes a = Closed(Opening(kStart, "58=7"), kStart + 72 * 60000);
  const Bytes b = Opening(kStart + 86400000, "58=3");  // a day later, not closed
  Write(folder / "a.log", a, kStart + 99999999);
  Write(folder / "b.log", b, kStart + 86400000 + 45000);
  Write(folder / "empty.log", {}, kStart);
  Write(folder / "notes.txt", a, kStart);

  const std::vector<RecordingInfo> list = ListRecordings(folder.path());
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].name, "b.log");
  EXPECT_EQ(list[0].startEpochMs, kStart + 86400000);
  EXPECT_EQ(list[0].durationMs, 45000);  // to the last write
  EXPECT_EQ(list[0].modelNumber, 3100);
  EXPECT_EQ(list[0].size, b.size());
  EXPECT_FALSE(list[0].closed);
  EXPECT_FALSE(list[0].inUse);
  EXPECT_EQ(list[1].name, "a.log");
  EXPECT_EQ(list[1].durationMs, 72 * 60000);  // to the closing record
  EXPECT_EQ(list[1].modelNumber, 7100);
  EXPECT_TRUE(list[1].closed);
  EXPECT_EQ(StartText(list[1]), "9 Dec 2026 15:03");  // the recording's own local time
  EXPECT_EQ(RecoveryQuestion(list[1]),
            "OvixLog was not closed normally. Open the recording of 9 Dec 2026 15:03 "
            "(1 h 12 min)?");
}

TEST(RecordingCatalogTest, AbandonedIsNeitherClosedNorBeingWritten) {
  test::TempFolder folder;
  Write(folder / "old-abandoned.log", Opening(kStart, "58=5"), kStart + 1000);
  Write(folder / "closed.log", Closed(Opening(kStart + 5000, "58=5"), kStart + 6000),
        kStart + 6000);
  EXPECT_EQ(NewestAbandonedRecording(folder.path())->name, "old-abandoned.log");

  // A newer one that a running writer still holds is not abandoned.
  RecordingWriter writer(folder.path(), "live");
  writer.AppendWallClock({0, kStart + 9000, 0});
  std::optional<RecordingInfo> live;
  for (int i = 0; i < 2000 && !(live && live->size > 0); ++i) {
    live = ReadRecordingInfo(folder / "live.log");
    if (!(live && live->size > 0))
      usleep(5000);
  }
  ASSERT_TRUE(live && live->inUse);
  EXPECT_EQ(NewestAbandonedRecording(folder.path())->name, "old-abandoned.log");
  std::string error;
  EXPECT_FALSE(SealRecording(folder / "live.log", error));
  EXPECT_EQ(error, "in use by a running program");
  ASSERT_TRUE(writer.Close(kStart + 10000));
  EXPECT_EQ(NewestAbandonedRecording(folder.path())->name, "old-abandoned.log");

  ASSERT_TRUE(SealRecording(folder / "old-abandoned.log", error)) << error;
  EXPECT_EQ(NewestAbandonedRecording(folder.path()), std::nullopt);
}

TEST(RecordingCatalogTest, SealingKeepsEveryWholeByteAndEndsWithAClosingRecord) {
  const Bytes whole = Opening(kStart, "58=5", 30);
  const size_t streamStart = whole.size() - 30 - kRecordHeaderSize;
  struct Case {
    const char* name;
    size_t cut;  // bytes of `whole` left
    Bytes want;  // before the closing record
  };
  Bytes shortened(whole.begin(), whole.begin() + static_cast<long>(whole.size() - 10));
  shortened[streamStart + 8] = 20;  // the stream record keeps the 20 bytes that are there
  const Case cases[] = {
      {"whole", whole.size(), whole},
      {"inside the stream payload", whole.size() - 10, shortened},
      {"inside a record header", streamStart + 4,
       Bytes(whole.begin(), whole.begin() + static_cast<long>(streamStart))},
      {"inside a setting", streamStart - 2,
       Bytes(whole.begin(), whole.begin() + static_cast<long>(streamStart - 14))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempFolder folder;
    const std::string path = folder / "r.log";
    Write(path, Bytes(whole.begin(), whole.begin() + static_cast<long>(c.cut)), kStart + 7000);
    std::string error;
    ASSERT_TRUE(SealRecording(path, error)) << error;
    const std::string got = test::ReadWholeFile(path);
    EXPECT_EQ(Bytes(got.begin(), got.end()), Closed(c.want, kStart + 7000));
    // Sealing twice changes nothing.
    ASSERT_TRUE(SealRecording(path, error));
    EXPECT_EQ(test::ReadWholeFile(path), got);
  }
}

TEST(RecordingCatalogTest, RecoveryLeavesEverythingButOurRecordingsAsItIs) {
  test::TempFolder outside;
  const std::string foreign = outside / "flight-notes.log";
  const Bytes recording = Opening(kStart, "58=5", 30);
  const std::string text = "Date      Tach  EGT1\r\n12:00:01  2400  1350\r\n";
  struct Case {
    const char* name;
    std::string file;   // what lies in the folder as "x.log"
    bool link;          // "x.log" is a link to `foreign`, which holds `file`
    const char* error;  // what sealing says
  };
  const Case cases[] = {
      {"a text table saved as .log", text, false, "not a recording of OvixLog"},
      {"a flight display's own log", std::string("\x07\0\0\0\0\0\0\0\x04" "58=5", 13), false,
       "not a recording of OvixLog"},
      {"an empty file", "", false, "not a recording of OvixLog"},
      {"a link to a recording outside", std::string(recording.begin(), recording.end()), true,
       "a link, not a recording"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempFolder folder;
    const std::string path = folder / "x.log";
    if (c.link) {
      test::WriteWholeFile(foreign, c.file);
      ASSERT_EQ(::symlink(foreign.c_str(), path.c_str()), 0);
    } else {
      test::WriteWholeFile(path, c.file);
    }
    EXPECT_EQ(NewestAbandonedRecording(folder.path()), std::nullopt);
    std::string error;
    EXPECT_FALSE(SealRecording(path, error));
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(test::ReadWholeFile(c.link ? foreign : path), c.file);
  }
  // A folder or a FIFO named like a recording is refused without being opened for writing.
  test::TempFolder folder;
  ASSERT_EQ(::mkfifo((folder / "pipe.log").c_str(), 0600), 0);
  std::string error;
  EXPECT_FALSE(SealRecording(folder / "pipe.log", error));
  EXPECT_EQ(NewestAbandonedRecording(folder.path()), std::nullopt);
}

TEST(RecordingCatalogTest, SealingTakesTheAircraftRecordForOneOfOurs) {
  Bytes opening;
  Put(opening, kWallClockRecord, 0, WallClockPayload({0, kStart, 3600}));
  Put(opening, kSettingRecord, 0, Text("58=5"));
  Put(opening, kAircraftRecord, 0, AircraftPayload("D-EOVX"));
  Bytes torn = opening;
  Put(torn, kStreamRecord, 0, Bytes(30, 0x11));
  torn.resize(torn.size() - 10);
  Bytes want = opening;
  Put(want, kStreamRecord, 0, Bytes(20, 0x11));
  test::TempFolder folder;
  const std::string path = folder / "r.log";
  Write(path, torn, kStart + 7000);
  std::string error;
  ASSERT_TRUE(SealRecording(path, error)) << error;
  const std::string got = test::ReadWholeFile(path);
  EXPECT_EQ(Bytes(got.begin(), got.end()), Closed(want, kStart + 7000));
}

TEST(RecordingCatalogTest, SealingNeverCutsARecordingDamagedInTheMiddle) {
  Bytes whole = Opening(kStart, "58=5", 30);
  Put(whole, kStreamRecord, 0, Bytes(4000, 0x22));
  Put(whole, kSettingRecord, 0, Text("723=0"));
  Put(whole, kStreamRecord, 0, Bytes(5000, 0x33));
  const size_t secondSetting = whole.size() - 5000 - kRecordHeaderSize - 5 - kRecordHeaderSize;
  // After the wall clock, "58=5" and "321=0".
  const size_t firstStream =
      kRecordHeaderSize + kWallClockPayloadSize + (kRecordHeaderSize + 4) + (kRecordHeaderSize + 5);
  const size_t secondStream = firstStream + kRecordHeaderSize + 30;
  struct Case {
    const char* name;
    size_t offset;  // of the byte whose bit is flipped
    uint8_t bit;
  };
  const Case cases[] = {
      {"a setting's length", secondSetting + 5, 0x40},
      {"a stream record's length", firstStream + 5, 0x40},
      {"a record's type", secondSetting, 0x40},
      // Lengths that stay plausible but run past the end, as a record torn by it would.
      {"a stream record's length grown by 64 KB", firstStream + 6, 0x01},
      {"a stream record's length grown by 16 KB", secondStream + 7, 0x40},
      {"a stream record's length grown by 8 KB", secondStream + 7, 0x20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes damaged = whole;
    damaged[c.offset] ^= c.bit;
    test::TempFolder folder;
    const std::string path = folder / "r.log";
    Write(path, damaged, kStart + 7000);
    EXPECT_EQ(NewestAbandonedRecording(folder.path())->name, "r.log");
    std::string error;
    ASSERT_TRUE(SealRecording(path, error)) << error;
    const std::string got = test::ReadWholeFile(path);
    EXPECT_EQ(Bytes(got.begin(), got.end()), Closed(damaged, kStart + 7000));
    EXPECT_EQ(NewestAbandonedRecording(folder.path()), std::nullopt);
  }
}

TEST(RecordingCatalogTest, TextsOfDurationsAndSizes) {
  const std::pair<int64_t, const char*> durations[] = {{0, "0 s"},
                                                       {59999, "59 s"},
                                                       {60000, "1 min"},
                                                       {3599999, "59 min"},
                                                       {3600000, "1 h 0 min"},
                                                       {4320000, "1 h 12 min"},
                                                       {90000000, "25 h 0 min"}};
  for (const auto& [ms, text] : durations)
    EXPECT_EQ(DurationText(ms), text) << ms;
  const std::pair<uint64_t, const char*> sizes[] = {{0, "0 bytes"},
                                                    {999, "999 bytes"},
                                                    {1000, "1.0 kB"},
                                                    {12345, "12.3 kB"},
                                                    {4100000, "4.1 MB"}};
  for (const auto& [bytes, text] : sizes)
    EXPECT_EQ(SizeText(bytes), text) << bytes;
}

}  // namespace
}  // namespace ovixlog
