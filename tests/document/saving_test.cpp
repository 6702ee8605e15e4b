#include <gtest/gtest.h>

#include "doc_fixture.h"

namespace ovixlog {
namespace {

using test::DocFixture;
using test::ReadWholeFile;
using test::WriteWholeFile;
using Message = test::ScriptedUserInterface::Message;

TEST(Saving, TheExtensionAloneChoosesCsvOrText) {
  struct Case {
    std::string name;
    bool csv;
  };
  const Case cases[] = {{"flight.csv", true},      {"FLIGHT.CSV", true}, {"a.Csv", true},
                        {"flight.txt", false},     {"flight", false},    {"data.csv.bak", false},
                        {"logs.csv/flight", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DocFixture f;
    std::filesystem::create_directories(f.folder / "logs.csv");
    f.Add(0, 1111);
    f.Add(1000, 2222);
    const std::string path = f.folder / c.name;
    ASSERT_TRUE(f.doc->OnSaveDocument(path));
    EXPECT_EQ(ReadWholeFile(path), f.Table(c.csv));
    EXPECT_FALSE(f.doc->IsModified());
    EXPECT_EQ(f.folder.Entries().size(), c.name == "logs.csv/flight" ? 1u : 2u)
        << "no temporary file is left behind";
  }
}

TEST(Saving, WritesWholeRowsInTheCurrentOrder) {
  for (bool oldestFirst : {false, true}) {
    StartupSettings settings;
    settings.oldestFirst = oldestFirst ? 1 : 0;
    settings.showSystemTime = 1;
    DocFixture f(settings);
    std::string expectedText = f.DisplayRow(0) + "\r\n" + f.DisplayRow(1) + "\r\n";
    std::string expectedCsv = f.CsvRow(0) + "\r\n";
    EXPECT_EQ(f.Table(false), expectedText) << "an empty store saves the two header lines";
    ASSERT_TRUE(f.doc->OnSaveDocument(f.folder / "empty.csv"));
    EXPECT_EQ(ReadWholeFile(f.folder / "empty.csv"), expectedCsv);
    f.Add(0, 1111);
    f.Add(1000, 2222);
    ASSERT_TRUE(f.doc->OnSaveDocument(f.folder / "t.txt"));
    const std::string text = ReadWholeFile(f.folder / "t.txt");
    const size_t third = text.find("\r\n", text.find("\r\n") + 2) + 2;
    EXPECT_EQ(text.substr(third + 13 + 9, 4), oldestFirst ? "1111" : "2222");
    EXPECT_EQ(text, f.Table(false));
  }
}

TEST(Saving, FailuresKeepThePreviousFileAndTheModifiedFlag) {
  DocFixture f;
  for (int i = 0; i < 100; ++i)
    f.Add(static_cast<uint32_t>(i) * 1000);
  const std::string csv = f.folder / "flight.csv";
  const std::string text = f.folder / "flight.txt";
  WriteWholeFile(csv, "previous csv");
  WriteWholeFile(text, "previous text");
  const std::string vanished = f.folder / "gone/flight.csv";
  {
    test::FileSizeLimit limit(4096);  // the disk fills up part way through the table
    EXPECT_FALSE(f.doc->OnSaveDocument(csv));
    EXPECT_FALSE(f.doc->OnSaveDocument(text));
  }
  EXPECT_FALSE(f.doc->OnSaveDocument("/dev/full"));
  EXPECT_FALSE(f.doc->OnSaveDocument(vanished));
  EXPECT_EQ(f.ui.errors(),
            (std::vector<Message>{{"Save Failed", "Unable to write CSV file: " + csv},
                                  {"Save Failed", "Unable to save file: " + text},
                                  {"Save Failed", "Unable to save file: /dev/full"},
                                  {"Save Failed", "Unable to write CSV file: " + vanished}}));
  EXPECT_EQ(ReadWholeFile(csv), "previous csv");
  EXPECT_EQ(ReadWholeFile(text), "previous text");
  EXPECT_EQ(f.folder.Entries(), (std::vector<std::string>{"flight.csv", "flight.txt"}));
  EXPECT_TRUE(f.doc->IsModified());
}

TEST(Saving, OutputFileIsWrittenAtEverySaveQuestionWithoutAsking) {
  DocFixture f;
  f.startup.autoSaveEnabled = 1;
  f.startup.autoSavePath = f.folder / "out.csv";
  EXPECT_TRUE(f.doc->SaveModified()) << "even an unmodified document is written";
  EXPECT_EQ(ReadWholeFile(f.startup.autoSavePath), f.Table(true));
  f.Add(0);
  EXPECT_TRUE(f.doc->SaveModified());
  EXPECT_EQ(ReadWholeFile(f.startup.autoSavePath), f.Table(true));
  EXPECT_EQ(f.doc->GetPathName(), f.startup.autoSavePath);
  EXPECT_TRUE(f.ui.questions().empty());

  f.Add(1000);
  f.startup.autoSavePath = f.folder / "missing/out.csv";
  EXPECT_TRUE(f.doc->SaveModified()) << "a failed automatic save does not stop the caller";
  EXPECT_EQ(f.ui.errors(), (std::vector<Message>{{"Save Failed", "Unable to write CSV file: " +
                                                                     f.startup.autoSavePath}}));
}

TEST(Saving, SaveQuestionFollowsTheAnswer) {
  DocFixture f;
  f.Add(0);
  f.ui.QueueSaveAnswer(SaveAnswer::kCancel);
  EXPECT_FALSE(f.doc->SaveModified());
  f.ui.QueueSaveAnswer(SaveAnswer::kNo);
  EXPECT_TRUE(f.doc->SaveModified());
  f.ui.QueueSaveAnswer(SaveAnswer::kYes);
  f.ui.QueueSavePath(f.folder / "flight.csv");
  EXPECT_TRUE(f.doc->SaveModified());
  EXPECT_EQ(f.doc->GetTitle(), "flight.csv");
  EXPECT_FALSE(f.doc->IsModified());
  EXPECT_EQ(f.ui.questions(), std::vector<std::string>(3, "Save changes to Untitled?"));
}

TEST(SettingsCommands, PortSwitchFollowsTheSaveAnswer) {
  struct Case {
    SaveAnswer answer;
    bool switched;
  };
  for (const auto& c : {Case{SaveAnswer::kCancel, false}, Case{SaveAnswer::kNo, true}}) {
    DocFixture f;
    f.Add(0);
    f.view.updates = 0;
    f.ui.QueueSaveAnswer(c.answer);
    f.doc->OnPort(5);
    EXPECT_EQ(f.doc->commPort.load(), c.switched ? 5 : 1);
    EXPECT_EQ(f.doc->SampleCount(), c.switched ? 0 : 1);
    EXPECT_EQ(f.doc->IsModified(), !c.switched);
    EXPECT_EQ(f.view.updates, c.switched ? 1 : 0);
  }
  // With an output file the samples are written there first, then the port is switched.
  DocFixture f;
  f.startup.autoSaveEnabled = 1;
  f.startup.autoSavePath = f.folder / "out.txt";
  f.Add(0);
  const std::string table = f.Table(false);
  f.doc->OnPort(3);
  EXPECT_EQ(ReadWholeFile(f.startup.autoSavePath), table);
  EXPECT_EQ(f.doc->commPort.load(), 3);
  EXPECT_EQ(f.doc->SampleCount(), 0);
  f.doc->OnPort(3);
  EXPECT_EQ(ReadWholeFile(f.startup.autoSavePath), f.Table(false));
}

TEST(SettingsCommands, ModelAndFormatReachTheReaderAndKeepTheSamples) {
  StartupSettings settings;
  settings.keepAllSamples = 1;
  DocFixture f(settings);
  f.Add(0);
  f.view.updates = 0;
  f.doc->OnModel(kModel3100);
  EXPECT_EQ(f.doc->SampleCount(), 1);
  // The reader now frames 48-byte frames: a short-frame capture imports.
  const std::string path = f.folder / "short.bin";
  test::WriteBytes(path, test::Capture(5, kModel3100));
  ASSERT_TRUE(f.doc->ImportSerialFile(path));
  EXPECT_EQ(f.doc->SampleCount(), 5);

  f.doc->OnModel(kModel5100);
  f.doc->OnReadV39();
  EXPECT_EQ(f.doc->altFrameFormat.load(), 1);
  test::WriteBytes(path, test::Capture(4, kModel5100, 1));
  ASSERT_TRUE(f.doc->ImportSerialFile(path));
  EXPECT_EQ(f.doc->SampleCount(), 4);
  f.doc->OnReadV39();
  EXPECT_EQ(f.doc->altFrameFormat.load(), 0);
  EXPECT_EQ(f.view.updates, 6) << "every command and import updates the views";
}

TEST(SettingsCommands, EachCommandSetsOnlyItsOwnSetting) {
  struct Step {
    const char* name;
    void (COvixLogDoc::*command)();
    int32_t keepAll;
    int32_t systemTime;
    int32_t oldestFirst;
  };
  const Step steps[] = {
      {"keep all on", &COvixLogDoc::OnKeepAllSamples, 1, 0, 0},
      {"system time on", &COvixLogDoc::OnShowSystemTime, 1, 1, 0},
      {"oldest first", &COvixLogDoc::OnOldestFirst, 1, 1, 1},
      {"oldest first again", &COvixLogDoc::OnOldestFirst, 1, 1, 1},
      {"keep all off", &COvixLogDoc::OnKeepAllSamples, 0, 1, 1},
      {"system time off", &COvixLogDoc::OnShowSystemTime, 0, 0, 1},
      {"newest first", &COvixLogDoc::OnNewestFirst, 0, 0, 0},
      {"newest first again", &COvixLogDoc::OnNewestFirst, 0, 0, 0},
  };
  DocFixture f;
  int updates = f.view.updates;
  for (const auto& step : steps) {
    SCOPED_TRACE(step.name);
    (f.doc.get()->*step.command)();
    EXPECT_EQ(f.doc->keepAllSamples.load(), step.keepAll);
    EXPECT_EQ(f.doc->showSystemTime.load(), step.systemTime);
    EXPECT_EQ(f.doc->oldestFirst.load(), step.oldestFirst);
    EXPECT_EQ(f.view.updates, ++updates) << "every command updates the views";
  }
}

}  // namespace
}  // namespace ovixlog
