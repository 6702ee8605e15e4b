#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "acquisition/demo_log_builder.h"
#include "doc_fixture.h"

namespace ovixlog {
namespace {

using test::Capture;
using test::DocFixture;
using test::WriteBytes;
using Message = test::ScriptedUserInterface::Message;

std::vector<int> Tachs(const COvixLogDoc& doc) {
  std::vector<int> tachs;
  for (int i = 0; i < doc.SampleCount(); ++i)
    tachs.push_back(doc.SampleAt(i).tach);
  return tachs;
}

TEST(SerialFileImport, KeepsEveryTwelfthFrameOrAllOfThem) {
  for (bool keepAll : {false, true}) {
    StartupSettings settings;
    settings.keepAllSamples = keepAll ? 1 : 0;
    DocFixture f(settings);
    const std::string path = f.folder / "capture.bin";
    WriteBytes(path, Capture(120));  // 8760 bytes: two full blocks and a short one
    f.ui.QueueOpenPath(path);
    const int updatesBefore = f.view.updates;
    f.doc->OnOpenSerialFile();
    EXPECT_TRUE(f.ui.errors().empty());
    const std::vector<int> tachs = Tachs(*f.doc);
    if (keepAll) {
      ASSERT_EQ(tachs.size(), 120u);
      for (int i = 0; i < 120; ++i)
        EXPECT_EQ(tachs[static_cast<size_t>(i)], 1000 + i);
    } else {
      EXPECT_EQ(tachs,
                (std::vector<int>{1000, 1012, 1024, 1036, 1048, 1060, 1072, 1084, 1096, 1108}));
    }
    EXPECT_EQ(f.ui.calls().front().text, "All Files (*.*)|*.*||");
    EXPECT_TRUE(f.doc->IsModified());
    EXPECT_EQ(f.doc->GetPathName(), "") << "an import leaves the document untitled";
    EXPECT_EQ(f.view.updates - updatesBefore, 1) << "the views are told once the import is done";
  }
}

TEST(SerialFileImport, SameCaptureTwiceGivesTheSameStamps) {
  StartupSettings settings;
  settings.keepAllSamples = 1;
  DocFixture f(settings);
  const std::string path = f.folder / "capture.bin";
  WriteBytes(path, Capture(30));
  ASSERT_TRUE(f.doc->ImportSerialFile(path));
  std::vector<uint32_t> first;
  for (int i = 0; i < f.doc->SampleCount(); ++i)
    first.push_back(f.doc->SampleAt(i).tickMs);
  ASSERT_TRUE(f.doc->ImportSerialFile(path));
  std::vector<uint32_t> second;
  for (int i = 0; i < f.doc->SampleCount(); ++i)
    second.push_back(f.doc->SampleAt(i).tickMs);
  EXPECT_EQ(first, second);
  EXPECT_EQ(first.back(), 2500u);
}

TEST(SerialFileImport, FailuresShowTheirMessageAndKeepTheStore) {
  DocFixture f;
  f.Add(0);
  const std::string empty = f.folder / "empty.bin";
  WriteBytes(empty, {});
  const std::string fifo = f.folder / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string missing = f.folder / "missing.bin";
  struct Case {
    std::string path;
    Message message;
  };
  const Case cases[] = {
      {missing,
       {"Unable to Open File", "Unable to open file: " + missing + " (No such file or directory)"}},
      {f.folder.path(),
       {"Unable to Open File", "Unable to open file: " + f.folder.path() + " (Is a directory)"}},
      {empty, {"Empty File", "Empty file: " + empty}},
      // Not read (the window has no use for a stream), so it cannot hang without a writer.
      {fifo, {"Unable to Open File", "Unable to open file: " + fifo + " (Not a regular file)"}},
      {"/dev/zero", {"Unable to Open File", "Unable to open file: /dev/zero (Not a regular file)"}},
  };
  for (const auto& c : cases) {
    f.ui.ClearCalls();
    EXPECT_FALSE(f.doc->ImportSerialFile(c.path));
    EXPECT_EQ(f.ui.errors(), std::vector<Message>{c.message});
    EXPECT_EQ(f.doc->SampleCount(), 1);
  }
}

// After every import the user is told what was read, exactly.
TEST(Imports, ReportWhatTheyRead) {
  std::vector<uint8_t> damaged(5, 0x00);  // five bytes before the first header
  const std::vector<uint8_t> three = Capture(3);
  damaged.insert(damaged.end(), three.begin(), three.end());
  damaged[5 + 2 * kLongFrameLength - 1] ^= 0xFF;  // the middle frame's checksum
  std::vector<uint8_t> cutFrame = Capture(2);
  cutFrame.resize(cutFrame.size() - 10);  // the second frame lacks its last ten bytes
  DemoLogBuilder demo;
  demo.Stream(1000, Capture(1)).Stream(2000, Capture(1));
  std::vector<uint8_t> cutDemo = demo.bytes();
  cutDemo.resize(cutDemo.size() - 30);  // ends inside the second record
  DemoLogBuilder settingsOnly;
  settingsOnly.Setting(0, "58=5");

  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    std::string report;
  };
  const Case cases[] = {
      {"clean.bin", Capture(1200), "Imported 1,200 frames from clean.bin"},
      {"one.bin", Capture(1), "Imported 1 frame from one.bin"},
      {"damaged.bin", damaged,
       "Imported 2 frames from damaged.bin (1 with a bad checksum, 5 bytes skipped)"},
      {"cut.bin", cutFrame, "Imported 1 frame from cut.bin (63 bytes skipped)"},
      {"random.bin", std::vector<uint8_t>(5000, 0x41),
       "No frames found in random.bin \u2014 is the monitor model right?"},
      {"short.bin", Capture(4, kModel3100),
       "No frames found in short.bin \u2014 is the monitor model right?"},
      {"cut.log", cutDemo,
       "Imported 1 frame from cut.log (43 bytes skipped, cut short inside a record)"},
      {"settings.log", settingsOnly.bytes(),
       "No frames found in settings.log \u2014 is the monitor model right?"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartupSettings settings;
    settings.keepAllSamples = 1;
    DocFixture f(settings);
    const std::string path = f.folder / c.name;
    WriteBytes(path, c.bytes);
    const bool demoLog = std::string(c.name).ends_with(".log");
    EXPECT_TRUE(demoLog ? f.doc->ImportDemoLog(path) : f.doc->ImportSerialFile(path));
    EXPECT_EQ(f.ui.statuses(), std::vector<std::string>{c.report});
    EXPECT_TRUE(f.ui.errors().empty());
  }
}

TEST(Imports, CancellingTheDialogChangesNothing) {
  DocFixture f;
  f.Add(0);
  f.ui.QueueSaveAnswer(SaveAnswer::kNo);
  f.ui.QueueOpenPath(std::nullopt);
  f.doc->OnOpenDemoLog();
  f.ui.QueueSaveAnswer(SaveAnswer::kNo);
  f.doc->OnOpenSerialFile();
  EXPECT_EQ(f.doc->SampleCount(), 1);
  EXPECT_TRUE(f.ui.errors().empty());
  EXPECT_EQ(f.ui.questions(),
            (std::vector<std::string>{"Save changes to Untitled?", "Save changes to Untitled?"}));
  // Cancel at the save question stops before the dialog.
  f.ui.ClearCalls();
  f.ui.QueueSaveAnswer(SaveAnswer::kCancel);
  f.doc->OnOpenSerialFile();
  EXPECT_EQ(f.ui.calls().size(), 1u);
}

// The frames of a capture as one stream record per frame, stamped one second apart.
DemoLogBuilder& StreamRecords(DemoLogBuilder& log, const std::vector<uint8_t>& capture,
                              size_t frameLength, uint32_t firstStamp) {
  for (size_t pos = 0, i = 0; pos < capture.size(); pos += frameLength, ++i) {
    log.Stream(firstStamp + static_cast<uint32_t>(i) * 1000u,
               std::vector<uint8_t>(capture.begin() + static_cast<long>(pos),
                                    capture.begin() + static_cast<long>(pos + frameLength)));
  }
  return log;
}

struct SettingCase {
  const char* name;
  std::vector<std::string> settings;
  EngineModel startModel;
  int32_t startAlt;
  EngineModel model;
  int32_t alt;
  int updates;
};

TEST(DemoLogImport, AppliesSettingRecords) {
  const SettingCase cases[] = {
      {"58=8 alone", {"58=8"}, kModel5100, 0, kModel8100, 0, 0},
      {"58=3", {"58=3"}, kModel5100, 0, kModel3100, 0, 0},
      {"58=7", {"58=7"}, kModel5100, 0, kModel7100, 0, 0},
      {"58=5", {"58=5"}, kModel8100, 0, kModel5100, 0, 0},
      {"58=9 is no model", {"58=9"}, kModel7100, 0, kModel7100, 0, 0},
      {"321=1", {"321=1"}, kModel5100, 0, kModel3100, 0, 1},
      {"321=0 keeps 7100", {"321=0"}, kModel7100, 0, kModel7100, 0, 1},
      {"321=0 leaves 3100", {"321=0"}, kModel3100, 0, kModel5100, 0, 1},
      {"723=5", {"723=5"}, kModel5100, 0, kModel5100, 1, 1},
      {"723=abc", {"723=abc"}, kModel5100, 1, kModel5100, 0, 1},
      {"leading blank", {" 58=8"}, kModel5100, 0, kModel8100, 0, 0},
      {"empty value", {"58="}, kModel5100, 0, kModel5100, 0, 0},
      {"no equals", {"58"}, kModel5100, 0, kModel5100, 0, 0},
      {"value runs to 128", {"58=8" + std::string(127, ' ')}, kModel5100, 0, kModel5100, 0, 0},
      {"value of 127", {"58=8" + std::string(126, ' ')}, kModel5100, 0, kModel8100, 0, 0},
      {"key of 128", {std::string(126, '0') + "58=8"}, kModel5100, 0, kModel5100, 0, 0},
      {"key of 127", {std::string(125, '0') + "58=8"}, kModel5100, 0, kModel8100, 0, 0},
      {"other key", {"59=8"}, kModel5100, 0, kModel5100, 0, 0},
      {"two settings", {"58=7", "321=0"}, kModel5100, 0, kModel7100, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    StartupSettings settings;
    settings.model = c.startModel;
    DocFixture f(settings);
    if (c.startAlt != 0)
      f.doc->OnReadV39();
    f.view.updates = 0;
    DemoLogBuilder log;
    for (const auto& text : c.settings)
      log.Setting(10, text);
    const std::string path = f.folder / "demo.log";
    WriteBytes(path, log.bytes());
    ASSERT_TRUE(f.doc->ImportDemoLog(path));
    EXPECT_EQ(f.doc->model.load(), c.model);
    EXPECT_EQ(f.doc->altFrameFormat.load(), c.alt);
    EXPECT_EQ(f.view.updates, c.updates + 1) << "plus the update after the import";
    EXPECT_EQ(f.doc->SampleCount(), 0);
  }
}

TEST(DemoLogImport, StreamsFramesWithTheRecordStampsAndTheReaderSettings) {
  DocFixture f;
  DemoLogBuilder log;
  log.Setting(0, "58=3");  // the document's model only: frames are still read as 73-byte frames
  StreamRecords(log, Capture(3, kModel5100), kLongFrameLength, 1000);
  log.Setting(5000, "321=1");  // now the reader reads 48-byte frames
  StreamRecords(log, Capture(2, kModel3100), kShortFrameLength, 9000);
  const std::string path = f.folder / "demo.log";
  WriteBytes(path, log.bytes());
  ASSERT_TRUE(f.doc->ImportDemoLog(path));
  ASSERT_EQ(f.doc->SampleCount(), 5);
  const uint32_t stamps[] = {1000, 2000, 3000, 9000, 10000};
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(f.doc->SampleAt(i).tickMs, stamps[i]);
  EXPECT_EQ(f.doc->SampleAt(3).cht[2], 0) << "decoded with the short layout";
  EXPECT_EQ(f.doc->model.load(), kModel3100);
}

TEST(DemoLogImport, HandlesOddRecords) {
  const std::vector<uint8_t> frames = Capture(24);
  struct Case {
    const char* name;
    DemoLogBuilder log;
    int samples;
    uint32_t lastStamp;
  };
  DemoLogBuilder zeroLength;
  zeroLength.Record(2, 5, {}).Stream(777, frames);
  DemoLogBuilder otherType;
  otherType.Record(3, 5, std::vector<uint8_t>(10, 0xFE)).Stream(777, frames);
  DemoLogBuilder noStamp;
  noStamp.Stream(0xFFFFFFFFu, frames);
  DemoLogBuilder truncated;
  truncated.RecordWithLength(2, 4000, 100000, frames);
  DemoLogBuilder hugeLength;
  hugeLength.Stream(100, std::vector<uint8_t>(frames.begin(), frames.begin() + kLongFrameLength))
      .RecordWithLength(2, 5000, 0xFFFFFFFFu, {0xFE, 0xFF});
  DemoLogBuilder headerOnly;
  headerOnly.Stream(100, std::vector<uint8_t>(frames.begin(), frames.begin() + kLongFrameLength));
  std::vector<uint8_t> cutHeader = headerOnly.bytes();
  cutHeader.push_back(2);
  cutHeader.push_back(0);

  const Case cases[] = {
      {"zero-length record", zeroLength, 1, 777},
      {"type 3 record skipped", otherType, 1, 777},
      {"stamp FFFFFFFF synthesises", noStamp, 2, 1083},
      {"truncated last record", truncated, 1, 4000},
      {"length FFFFFFFF", hugeLength, 1, 100},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DocFixture f;
    const std::string path = f.folder / "demo.log";
    WriteBytes(path, c.log.bytes());
    ASSERT_TRUE(f.doc->ImportDemoLog(path));
    EXPECT_EQ(f.doc->SampleCount(), c.samples);
    EXPECT_EQ(f.doc->SampleAt(c.samples - 1).tickMs, c.lastStamp);
  }
  DocFixture f;
  const std::string path = f.folder / "cut.log";
  WriteBytes(path, cutHeader);
  EXPECT_TRUE(f.doc->ImportDemoLog(path));
  EXPECT_EQ(f.doc->SampleCount(), 1);
}

TEST(DemoLogImport, FailuresShowTheirMessageAndKeepTheStore) {
  DocFixture f;
  f.Add(0);
  const std::string empty = f.folder / "empty.log";
  WriteBytes(empty, {});
  const std::string missing = f.folder / "missing.log";
  EXPECT_FALSE(f.doc->ImportDemoLog(missing));
  EXPECT_FALSE(f.doc->ImportDemoLog(empty));
  EXPECT_FALSE(f.doc->ImportDemoLog(f.folder.path()));
  EXPECT_EQ(f.ui.errors(),
            (std::vector<Message>{
                {"Unable to Open Demo Log",
                 "Unable to open demo log: " + missing + " (No such file or directory)"},
                {"Empty Demo Log", "Empty demo log: " + empty},
                {"Unable to Open Demo Log",
                 "Unable to open demo log: " + f.folder.path() + " (Is a directory)"}}));
  EXPECT_EQ(f.doc->SampleCount(), 1);

  f.ui.ClearCalls();
  f.ui.QueueSaveAnswer(SaveAnswer::kNo);
  f.ui.QueueOpenPath(empty);
  f.doc->OnOpenDemoLog();
  EXPECT_EQ(f.ui.calls()[1].text, "EFIS DEMO (*.log)|*.log||");
}

}  // namespace
}  // namespace ovixlog
