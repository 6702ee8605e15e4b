#include "recording/live_recorder.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/frame_builder.h"
#include "document/ovixlog_doc.h"
#include "recording/recording_catalog.h"
#include "recording/recording_format.h"
#include "support/scripted_user_interface.h"
#include "support/temp_folder.h"
#include "support/test_support.h"

namespace ovixlog {
namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

// A document without ports that imports files, as the converter uses it.
struct Importer {
  explicit Importer(int32_t keepAll) {
    settings.keepAllSamples = keepAll;
    doc = std::make_unique<COvixLogDoc>(&ui, settings);
    doc->SetPortsEnabled(false);
    doc->OnNewDocument();
  }
  std::vector<EngineSample> Samples() const {
    std::vector<EngineSample> all;
    for (int i = 0; i < doc->SampleCount(); ++i)
      all.push_back(doc->SampleAt(i));
    return all;
  }
  StartupSettings settings;
  test::ScriptedUserInterface ui;
  std::unique_ptr<COvixLogDoc> doc;
};

Bytes Frames(int count, EngineModel model, int firstTach) {
  Bytes out;
  for (int i = 0; i < count; ++i) {
    EngineSample s = test::ExampleSample();
    s.tach = static_cast<int16_t>(firstTach + i);
    FrameBuilder::Append(out, s, model);
  }
  return out;
}

// The stream records' bytes of a recording, in order.
Bytes StreamBytes(const std::string& path) {
  const std::string file = test::ReadWholeFile(path);
  const Bytes b(file.begin(), file.end());
  Bytes out;
  for (size_t pos = 0; pos + kRecordHeaderSize <= b.size();) {
    const uint32_t length = ReadBigEndian32(b.data() + pos + 5);
    const size_t payload = pos + kRecordHeaderSize;
    if (b[pos] == kStreamRecord)
      out.insert(out.end(), b.begin() + static_cast<long>(payload),
                 b.begin() + static_cast<long>(payload + length));
    pos = payload + length;
  }
  return out;
}

TEST(LiveRecorderTest, NamesSessionsByLocalStartPortAndModel) {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  // 2026-12-09 14:03:22 UTC.
  EXPECT_EQ(LiveRecorder::SessionBaseName(1796825002, "COM1:", kModel5100),
            "2026-12-09_14-03-22_COM1_5100");
  EXPECT_EQ(LiveRecorder::SessionBaseName(1796825002, "/dev/ttyUSB0", kModel3100),
            "2026-12-09_14-03-22_ttyUSB0_3100");
  EXPECT_EQ(LiveRecorder::PortLabel(""), "port");
}

// Bytes handed to the recorder in pieces of any size, with model and format changes between
// them, import as exactly the frames a live assembler framed from the same reads.
TEST(LiveRecorderTest, ImportRebuildsTheLiveSamples) {
  struct Read {
    uint32_t stamp;
    EngineModel model;
    int32_t alt;
    Bytes bytes;
  };
  const Bytes a = Frames(6, kModel5100, 1000);
  const Bytes b = Frames(4, kModel3100, 2000);
  const Bytes c = Frames(3, kModel7100, 3000);
  std::vector<Read> reads;
  uint32_t stamp = 0xFFFFF000u;  // the tick counter wraps during the session
  for (size_t pos = 0; pos < a.size(); pos += 50)
    reads.push_back({stamp += 400, kModel5100, 0,
                     Bytes(a.begin() + static_cast<long>(pos),
                           a.begin() + static_cast<long>(std::min(pos + 50, a.size())))});
  // A partial frame of the first model is pending when the model changes.
  reads.push_back({stamp += 700, kModel3100, 0, Bytes(b.begin(), b.begin() + 100)});
  reads.push_back({stamp += 700, kModel3100, 0, Bytes(b.begin() + 100, b.end())});
  reads.push_back({stamp += 1300, kModel7100, 1, c});

  for (const int32_t keepAll : {0, 1}) {
    SCOPED_TRACE(keepAll);
    test::TempFolder folder;
    LiveRecorder recorder(folder.path(), true);
    recorder.BeginPort("COM2:");
    // What the live table got: the same reads through one live assembler.
    Importer live(keepAll);
    for (const Read& r : reads) {
      recorder.BytesReceived(r.stamp, r.bytes.data(), r.bytes.size(), r.model, r.alt);
    }
    recorder.EndSession();
    const std::vector<RecordingInfo> list = ListRecordings(folder.path());
    ASSERT_EQ(list.size(), 1u);
    EXPECT_TRUE(list[0].closed);
    EXPECT_EQ(list[0].modelNumber, 5100);
    EXPECT_NE(list[0].name.find("_COM2_5100"), std::string::npos) << list[0].name;

    Bytes all;
    for (const Read& r : reads)
      all.insert(all.end(), r.bytes.begin(), r.bytes.end());
    EXPECT_EQ(StreamBytes(list[0].path), all);

    // The live side: feed each read as a live pass would, with its stamp.
    std::atomic<int32_t> liveModel{0};
    std::atomic<int32_t> liveAlt{0};
    FrameAssembler assembler(liveModel, liveAlt, live.doc.get(), nullptr);
    for (const Read& r : reads) {
      liveModel = r.model;
      liveAlt = r.alt;
      assembler.Feed(r.stamp, r.bytes.data(), r.bytes.size());
    }

    Importer reopened(keepAll);
    ASSERT_TRUE(reopened.doc->ImportDemoLog(list[0].path));
    const std::vector<EngineSample> want = live.Samples();
    const std::vector<EngineSample> got = reopened.Samples();
    ASSERT_EQ(got.size(), want.size());
    ASSERT_EQ(got.size(), keepAll != 0 ? 13u : 5u);
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_TRUE(SameEngineValues(got[i], want[i])) << i;
      EXPECT_EQ(got[i].tickMs, want[i].tickMs) << i;
    }
    EXPECT_EQ(reopened.doc->model.load(), kModel7100);
    EXPECT_EQ(reopened.doc->altFrameFormat.load(), 1);
    EXPECT_EQ(reopened.ui.calls().size(), 0u);
  }
}

TEST(LiveRecorderTest, ReopenedRecordingShowsTheTimeItWasFlown) {
  test::TempFolder folder;
  const std::string path = folder / "r.log";
  // Made by hand: a wall-clock record, then frames 1 s and 61 s later.
  Bytes file;
  const WallClockAnchor anchor{5000, 1796825002500, -18000};
  const Bytes clock = WallClockPayload(anchor);
  AppendRecord(file, kWallClockRecord, 5000, clock.data(), clock.size());
  const Bytes one = Frames(1, kModel5100, 1000);
  AppendRecord(file, kStreamRecord, 6000, one.data(), one.size());
  AppendRecord(file, kStreamRecord, 66000, one.data(), one.size());
  test::WriteWholeFile(path, std::string(file.begin(), file.end()));

  Importer reopened(0);
  ASSERT_TRUE(reopened.doc->ImportDemoLog(path));
  ASSERT_EQ(reopened.doc->SampleCount(), 2);
  EXPECT_EQ(reopened.doc->SampleAt(0).localTime, (LocalTime{2026, 12, 3, 9, 9, 3, 23, 500}));
  EXPECT_EQ(reopened.doc->SampleAt(1).localTime, (LocalTime{2026, 12, 3, 9, 9, 4, 23, 500}));
}

// Ending a session at a port switch does not wait for a stalled disk: the file is still being
// closed when the switch returns, and it is closed cleanly, with everything in it, once the
// recorder goes.
TEST(LiveRecorderTest, PortSwitchDoesNotWaitForAStalledDisk) {
  test::TempFolder folder;
  const Bytes frames = Frames(3, kModel5100, 1000);
  std::string path;
  {
    LiveRecorder recorder(folder.path(), true);
    recorder.BeginPort("COM1:");
    recorder.BytesReceived(1, frames.data(), frames.size(), kModel5100, 0);
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while ((path = recorder.writer()->status().path).empty() && Clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_FALSE(path.empty());
    recorder.writer()->InjectStall(1500);
    recorder.BeginPort("COM2:");
    EXPECT_FALSE(recorder.status().recording);
    EXPECT_TRUE(ReadRecordingInfo(path)->inUse);
  }
  const std::optional<RecordingInfo> after = ReadRecordingInfo(path);
  ASSERT_TRUE(after);
  EXPECT_TRUE(after->closed);
  EXPECT_FALSE(after->inUse);
  EXPECT_EQ(StreamBytes(path), frames);
}

TEST(LiveRecorderTest, NothingIsRecordedWhenOffOrSilent) {
  test::TempFolder folder;
  const std::string where = folder / "rec";
  {
    LiveRecorder silent(where, true);
    silent.BeginPort("COM1:");
    silent.EndSession();
    LiveRecorder off(where, false);
    off.BeginPort("COM1:");
    const Bytes frame = Frames(1, kModel5100, 1);
    off.BytesReceived(1, frame.data(), frame.size(), kModel5100, 0);
    EXPECT_FALSE(off.status().recording);
  }
  EXPECT_EQ(test::TempFolder::EntriesOf(folder.path()), std::vector<std::string>{});
}

// A live document on a pseudo-terminal: the recording holds exactly the bytes the line carried,
// and importing it gives the very samples the live table holds, stamps included.
TEST(LiveRecorderTest, LiveDocumentRecordsWhatTheLineCarried) {
  int master = -1;
  int slave = -1;
  char name[256] = {};
  ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
  test::TempFolder folder;
  ::setenv("OVIXLOG_COM3", name, 1);
  for (const int32_t keepAll : {0, 1}) {
    SCOPED_TRACE(keepAll);
    const std::string where = folder / ("k" + std::to_string(keepAll));
    StartupSettings settings;
    settings.commPort = 3;
    settings.keepAllSamples = keepAll;
    settings.recordingFolder = where;
    test::ScriptedUserInterface ui;
    auto live = std::make_unique<COvixLogDoc>(&ui, settings);
    live->OnNewDocument();
    ASSERT_TRUE(live->PortStatus().open);
    Bytes sent;
    // Bursts a little apart, so that the one-a-second rule keeps some frames and drops others.
    for (int burst = 0; burst < 5; ++burst) {
      const Bytes frames = Frames(4, kModel5100, 1000 + 4 * burst);
      ASSERT_EQ(::write(master, frames.data(), frames.size()), static_cast<ssize_t>(frames.size()));
      sent.insert(sent.end(), frames.begin(), frames.end());
      const auto deadline = Clock::now() + std::chrono::seconds(20);
      while (live->PortStatus().framesAccepted < static_cast<uint64_t>(4 * (burst + 1)) &&
             Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      // Pacing the simulated monitor, not waiting for a result.
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    ASSERT_EQ(live->PortStatus().framesAccepted, 20u);
    std::vector<EngineSample> want;
    for (int i = 0; i < live->SampleCount(); ++i)
      want.push_back(live->SampleAt(i));
    EXPECT_TRUE(live->recorder().status().recording);
    live.reset();

    const std::vector<RecordingInfo> list = ListRecordings(where);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_TRUE(list[0].closed);
    EXPECT_EQ(StreamBytes(list[0].path), sent);
    Importer reopened(keepAll);
    ASSERT_TRUE(reopened.doc->ImportDemoLog(list[0].path));
    const std::vector<EngineSample> got = reopened.Samples();
    ASSERT_EQ(got.size(), want.size());
    if (keepAll != 0) {
      EXPECT_EQ(got.size(), 20u);
    }
    // Whole samples: engine values, stamps and local times alike.
    for (size_t i = 0; i < got.size(); ++i)
      EXPECT_EQ(got[i], want[i]) << i;
  }
  ::unsetenv("OVIXLOG_COM3");
  ::close(master);
  ::close(slave);
}

}  // namespace
}  // namespace ovixlog
