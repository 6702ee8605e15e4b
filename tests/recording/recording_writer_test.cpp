#include "recording/recording_writer.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "recording/recording_format.h"
#include "support/temp_folder.h"

namespace ovixlog {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Record(uint8_t type, uint32_t stamp, const Bytes& payload) {
  Bytes out;
  AppendRecord(out, type, stamp, payload.data(), payload.size());
  return out;
}

Bytes Text(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

Bytes FileBytes(const std::string& path) {
  const std::string s = test::ReadWholeFile(path);
  return Bytes(s.begin(), s.end());
}

TEST(RecordingFormatTest, RecordsAreTypeStampLengthPayloadBigEndian) {
  EXPECT_EQ(Record(2, 0x01020304, {0xFE, 0xFF}), (Bytes{2, 1, 2, 3, 4, 0, 0, 0, 2, 0xFE, 0xFF}));
  EXPECT_EQ(Record(0x82, 7, {}), (Bytes{0x82, 0, 0, 0, 7, 0, 0, 0, 0}));
  WallClockAnchor anchor{5, 0x0102030405060708, -3600};
  EXPECT_EQ(WallClockPayload(anchor), (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 0xFF, 0xFF, 0xF1, 0xF0}));
  const Bytes payload = WallClockPayload(anchor);
  EXPECT_EQ(ParseWallClock(5, payload.data(), payload.size()), anchor);
  EXPECT_EQ(ParseWallClock(5, payload.data(), payload.size() - 1), std::nullopt);
}

TEST(RecordingFormatTest, AircraftNamesAreCutBetweenCharacters) {
  struct Case {
    std::string name;
    std::string payload;
  };
  const Case cases[] = {
      {"D-EOVX", "D-EOVX"},
      {std::string(64, 'a'), std::string(64, 'a')},
      {std::string(65, 'a'), std::string(64, 'a')},
      {std::string(63, 'a') + "\xC3\xA9", std::string(63, 'a')},       // é would be cut
      {std::string(62, 'a') + "\xC3\xA9x", std::string(62, 'a') + "\xC3\xA9"},
      {"", ""},
  };
  for (const Case& c : cases) {
    const Bytes payload = AircraftPayload(c.name);
    EXPECT_EQ(std::string(payload.begin(), payload.end()), c.payload) << c.name;
  }
  const Bytes name = Text("N123");
  EXPECT_EQ(ParseAircraft(name.data(), name.size()), "N123");
  EXPECT_EQ(ParseAircraft(name.data(), 0), std::nullopt);
  const Bytes long_(65, 'a');
  EXPECT_EQ(ParseAircraft(long_.data(), long_.size()), std::nullopt);
}

TEST(RecordingFormatTest, SettingTextsSelectEachModelAndFormat) {
  struct Case {
    EngineModel model;
    int32_t alt;
    std::vector<std::string> texts;
  };
  const Case cases[] = {
      {kModel5100, 0, {"58=5", "321=0", "723=0"}}, {kModel5100, 1, {"58=5", "321=0", "723=1"}},
      {kModel3100, 0, {"58=3", "321=1", "723=0"}}, {kModel7100, 0, {"58=7", "321=0", "723=0"}},
      {kModel8100, 1, {"58=8", "321=0", "723=1"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SettingTextsFor(c.model, c.alt), c.texts) << c.model;
}

TEST(RecordingFormatTest, WallClockGivesLocalTimeOfAnyStamp) {
  // 2026-12-09 14:03:22.500 UTC, shown two hours ahead.
  const WallClockAnchor anchor{1000, 1796825002500, 7200};
  struct Case {
    uint32_t at;
    LocalTime want;
  };
  const Case cases[] = {
      {1000, {2026, 12, 3, 9, 16, 3, 22, 500}},
      {1499, {2026, 12, 3, 9, 16, 3, 22, 999}},
      {1500, {2026, 12, 3, 9, 16, 3, 23, 0}},
      {400, {2026, 12, 3, 9, 16, 3, 21, 900}},                     // before the anchor
      {1000 + 8 * 3600 * 1000, {2026, 12, 4, 10, 0, 3, 22, 500}},  // past midnight
  };
  for (const Case& c : cases)
    EXPECT_EQ(anchor.LocalTimeAt(c.at), c.want) << c.at;
}

TEST(RecordingWriterTest, WritesTheRecordsInOrderAndClosesWithAClosingRecord) {
  test::TempFolder folder;
  const std::string where = folder / "a/b";  // made on demand
  RecordingWriter writer(where, "2026-12-09_14-03-22_COM1_5100");
  const WallClockAnchor anchor{10, 1796825002500, 3600};
  writer.AppendWallClock(anchor);
  writer.AppendSetting(10, "58=5");
  const Bytes stream = {0xFE, 0xFF, 0xFE, 1, 2, 3};
  writer.AppendStream(12, stream.data(), stream.size());
  writer.AppendStream(13, stream.data(), 0);  // nothing to record
  writer.AppendStreamRestart(14);
  ASSERT_TRUE(writer.Close(1796824500000));
  writer.AppendStream(15, stream.data(), stream.size());  // after the end: dropped

  Bytes want = Record(kWallClockRecord, 10, WallClockPayload(anchor));
  for (const Bytes& r : {Record(kSettingRecord, 10, Text("58=5")),
                         Record(kStreamRecord, 12, stream), Record(kStreamRestartRecord, 14, {}),
                         Record(kClosingRecord, 0, ClosingPayload(1796824500000))}) {
    want.insert(want.end(), r.begin(), r.end());
  }
  const RecordingWriter::Status status = writer.status();
  EXPECT_EQ(status.name, "2026-12-09_14-03-22_COM1_5100.log");
  EXPECT_EQ(status.path, where + "/2026-12-09_14-03-22_COM1_5100.log");
  EXPECT_EQ(status.size, want.size());
  EXPECT_EQ(status.error, "");
  EXPECT_EQ(FileBytes(status.path), want);
}

TEST(RecordingWriterTest, NeverReplacesAnExistingFile) {
  test::TempFolder folder;
  test::WriteWholeFile(folder / "s.log", "old");
  test::WriteWholeFile(folder / "s-2.log", "older");
  RecordingWriter writer(folder.path(), "s");
  ASSERT_TRUE(writer.Close(0));
  EXPECT_EQ(writer.status().name, "s-3.log");
  EXPECT_EQ(test::ReadWholeFile(folder / "s.log"), "old");
  EXPECT_EQ(test::ReadWholeFile(folder / "s-2.log"), "older");
}

TEST(RecordingWriterTest, HoldsAnExclusiveLockUntilClosed) {
  test::TempFolder folder;
  RecordingWriter writer(folder.path(), "s");
  const uint8_t byte = 0xFE;
  writer.AppendStream(1, &byte, 1);
  // The file exists once the writer thread has created it.
  std::string path;
  for (int i = 0; i < 2000 && path.empty(); ++i) {
    path = writer.status().path;
    if (path.empty())
      usleep(5000);
  }
  ASSERT_FALSE(path.empty());
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  EXPECT_NE(::flock(fd, LOCK_SH | LOCK_NB), 0);
  ASSERT_TRUE(writer.Close(0));
  EXPECT_EQ(::flock(fd, LOCK_SH | LOCK_NB), 0);
  ::close(fd);
}

TEST(RecordingWriterTest, ReportsWhyItStopped) {
  struct Case {
    const char* name;
    std::function<std::string(test::TempFolder&)> prepare;  // gives the folder to record into
    const char* error;
  };
  const Case cases[] = {
      {"folder under a file",
       [](test::TempFolder& f) {
         test::WriteWholeFile(f / "file", "x");
         return f / "file/recordings";
       },
       "Recording stopped: Not a directory"},
      {"file too large", [](test::TempFolder& f) { return f.path(); },
       "Recording stopped: File too large"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempFolder folder;
    const std::string where = c.prepare(folder);
    std::vector<uint8_t> lots(4000, 0x55);
    bool closed = false;
    {
      test::FileSizeLimit limit(1000);
      RecordingWriter writer(where, "s");
      writer.AppendStream(1, lots.data(), lots.size());
      closed = writer.Close(0);
      EXPECT_EQ(writer.status().error, c.error);
      writer.AppendStream(2, lots.data(), lots.size());  // after a failure: nothing, no crash
    }
    EXPECT_FALSE(closed);
  }
}

TEST(RecordingWriterTest, ALimitEndsTheRecordingWithItsClosingRecordAfterTheLastWholeOne) {
  test::TempFolder folder;
  constexpr size_t kLimit = 1000;
  const Bytes payload(50, 0x33);
  Bytes want;
  std::string path;
  {
    test::FileSizeLimit limit(kLimit);
    RecordingWriter writer(folder.path(), "s");
    for (uint32_t i = 0; i < 40; ++i) {
      writer.AppendStream(i, payload.data(), payload.size());
      AppendRecord(want, kStreamRecord, i, payload.data(), payload.size());
    }
    EXPECT_FALSE(writer.Close(0));
    EXPECT_EQ(writer.status().error, "Recording stopped: File too large");
    path = writer.status().path;
    EXPECT_EQ(writer.status().size, test::ReadWholeFile(path).size());
  }
  // As many whole records as leave room for the closing record within the limit.
  const size_t record = kRecordHeaderSize + payload.size();
  const size_t kept = (kLimit - kClosingRecordSize) / record;
  const Bytes got = FileBytes(path);
  ASSERT_EQ(got.size(), kept * record + kClosingRecordSize);
  EXPECT_EQ(Bytes(got.begin(), got.begin() + static_cast<long>(kept * record)),
            Bytes(want.begin(), want.begin() + static_cast<long>(kept * record)));
  EXPECT_EQ(got[kept * record], kClosingRecord);
  EXPECT_EQ(ReadBigEndian32(&got[kept * record + 5]), kClosingPayloadSize);
}

TEST(RecordingWriterTest, KeepsTakingBytesWhileTheDiskStalls) {
  test::TempFolder folder;
  RecordingWriter writer(folder.path(), "s");
  writer.InjectStall(300);
  Bytes want;
  for (uint32_t i = 0; i < 200; ++i) {
    const uint8_t b = static_cast<uint8_t>(i);
    writer.AppendStream(i, &b, 1);
    AppendRecord(want, kStreamRecord, i, &b, 1);
  }
  ASSERT_TRUE(writer.Close(0));
  const Bytes closing = Record(kClosingRecord, 0, ClosingPayload(0));
  want.insert(want.end(), closing.begin(), closing.end());
  EXPECT_EQ(FileBytes(writer.status().path), want);
}

TEST(RecordingWriterTest, StopsRatherThanHoldingMoreThanItsBound) {
  test::TempFolder folder;
  RecordingWriter::Options options;
  options.maxPendingBytes = 100;
  RecordingWriter writer(folder.path(), "s", options);
  writer.InjectStall(200);
  const Bytes big(200, 1);
  writer.AppendStream(1, big.data(), big.size());
  EXPECT_EQ(writer.status().error, "Recording stopped: the disk is not keeping up");
  EXPECT_FALSE(writer.Close(0));
}

}  // namespace
}  // namespace ovixlog
