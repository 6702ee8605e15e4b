#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <utility>

#include "acquisition/demo_log_builder.h"
#include "doc_fixture.h"

namespace ovixlog {
namespace {

using test::DocFixture;
using test::ReadWholeFile;
using test::TempFolder;
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
  const std::string fifo = f.folder / "fifo.csv";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(f.doc->OnSaveDocument(fifo));  // at once: a FIFO is never opened
  EXPECT_FALSE(f.doc->OnSaveDocument(f.folder.path()));
  ::unlink(fifo.c_str());
  EXPECT_EQ(
      f.ui.errors(),
      (std::vector<Message>{
          {"Save Failed", "Unable to write CSV file: " + csv + " (File too large)"},
          {"Save Failed", "Unable to save file: " + text + " (File too large)"},
          {"Save Failed", "Unable to save file: /dev/full (Not a regular file)"},
          {"Save Failed", "Unable to write CSV file: " + vanished + " (No such file or directory)"},
          {"Save Failed", "Unable to write CSV file: " + fifo + " (Not a regular file)"},
          {"Save Failed", "Unable to save file: " + f.folder.path() + " (Is a directory)"}}));
  EXPECT_EQ(ReadWholeFile(csv), "previous csv");
  EXPECT_EQ(ReadWholeFile(text), "previous text");
  EXPECT_EQ(f.folder.Entries(), (std::vector<std::string>{"flight.csv", "flight.txt"}));
  EXPECT_TRUE(f.doc->IsModified());
}

// The output file named on the command line. Each case runs its steps and returns what the
// folder must then hold, every file with its whole contents: no log may replace another.
TEST(Saving, OutputFileNeverReplacesAnotherLog) {
  using Files = std::map<std::string, std::string>;
  struct Case {
    const char* name;
    Files (*run)(DocFixture& f, const TempFolder& elsewhere);
  };
  const Case cases[] = {
      {"quitting at once keeps the earlier file",
       [](DocFixture& f, const TempFolder&) {
         WriteWholeFile(f.folder / "flight.csv", "an earlier flight\r\n");
         EXPECT_TRUE(f.doc->SaveModified());
         return Files{{"flight.csv", "an earlier flight\r\n"}};
       }},
      {"a failed start-up import writes nothing",
       [](DocFixture& f, const TempFolder& elsewhere) {
         WriteWholeFile(f.folder / "flight.csv", "an earlier flight\r\n");
         EXPECT_FALSE(f.doc->ImportSerialFile(elsewhere / "missing.bin"));
         EXPECT_TRUE(f.doc->SaveModified());
         return Files{{"flight.csv", "an earlier flight\r\n"}};
       }},
      {"the first log replaces the file; more of it goes to the same file",
       [](DocFixture& f, const TempFolder&) {
         WriteWholeFile(f.folder / "flight.csv", "an earlier run\r\n");
         f.Add(0, 1111);
         EXPECT_TRUE(f.doc->SaveModified());
         f.Add(1000, 1112);
         EXPECT_TRUE(f.doc->SaveModified());
         return Files{{"flight.csv", f.Table(true)}};
       }},
      {"a log saved since its last sample is not written again",
       [](DocFixture& f, const TempFolder&) {
         f.Add(0, 1111);
         EXPECT_TRUE(f.doc->SaveModified());
         WriteWholeFile(f.folder / "flight.csv", "edited meanwhile\r\n");
         EXPECT_TRUE(f.doc->SaveModified());
         return Files{{"flight.csv", "edited meanwhile\r\n"}};
       }},
      {"after File New the next logs go to numbered names",
       [](DocFixture& f, const TempFolder&) {
         Files files;
         for (const char* name : {"flight.csv", "flight-2.csv", "flight-3.csv"}) {
           f.doc->OnNewDocument();
           f.Add(0, static_cast<int16_t>(1000 + files.size()));
           EXPECT_TRUE(f.doc->SaveModified());
           files[name] = f.Table(true);
         }
         EXPECT_EQ(f.doc->GetTitle(), "flight-3.csv");
         return files;
       }},
      {"a port switch starts the next log",
       [](DocFixture& f, const TempFolder&) {
         f.Add(0, 1111);
         const std::string first = f.Table(true);
         f.doc->OnPort(3);
         f.Add(0, 2222);
         EXPECT_TRUE(f.doc->SaveModified());
         return Files{{"flight.csv", first}, {"flight-2.csv", f.Table(true)}};
       }},
      {"an import starts the next log",
       [](DocFixture& f, const TempFolder& elsewhere) {
         f.Add(0, 1111);
         const std::string first = f.Table(true);
         test::WriteBytes(elsewhere / "capture.bin", test::Capture(30));
         f.ui.QueueOpenPath(elsewhere / "capture.bin");
         f.doc->OnOpenSerialFile();
         EXPECT_EQ(f.doc->SampleCount(), 3);
         EXPECT_TRUE(f.doc->SaveModified());
         return Files{{"flight.csv", first}, {"flight-2.csv", f.Table(true)}};
       }},
      {"a numbered name that exists already is passed over",
       [](DocFixture& f, const TempFolder&) {
         WriteWholeFile(f.folder / "flight-2.csv", "an earlier run's second log\r\n");
         f.Add(0, 1111);
         EXPECT_TRUE(f.doc->SaveModified());
         const std::string first = f.Table(true);
         f.doc->OnNewDocument();
         f.Add(0, 2222);
         EXPECT_TRUE(f.doc->SaveModified());
         return Files{{"flight.csv", first},
                      {"flight-2.csv", "an earlier run's second log\r\n"},
                      {"flight-3.csv", f.Table(true)}};
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DocFixture f;
    TempFolder elsewhere;
    f.startup.autoSaveEnabled = 1;
    f.startup.autoSavePath = f.folder / "flight.csv";
    const Files expected = c.run(f, elsewhere);
    Files found;
    for (const std::string& name : f.folder.Entries())
      found[name] = ReadWholeFile(f.folder / name);
    EXPECT_EQ(found, expected);
    EXPECT_TRUE(f.ui.questions().empty());
  }
}

TEST(Saving, FailedSilentSaveStopsTheCallerAndKeepsTheLog) {
  DocFixture f;
  f.startup.autoSaveEnabled = 1;
  f.startup.autoSavePath = f.folder / "missing/out.csv";
  f.Add(0);
  EXPECT_FALSE(f.doc->SaveModified());
  EXPECT_TRUE(f.doc->LastSaveFailed());
  f.doc->OnPort(4);
  EXPECT_EQ(f.doc->commPort.load(), 1) << "the port switch is abandoned";
  f.doc->OnOpenSerialFile();
  EXPECT_EQ(f.doc->SampleCount(), 1);
  EXPECT_TRUE(f.doc->IsModified());
  const Message failed{"Save Failed", "Unable to write CSV file: " + f.startup.autoSavePath +
                                          " (No such file or directory)"};
  EXPECT_EQ(f.ui.calls().size(), 3u) << "no open dialog after the failure";
  EXPECT_EQ(f.ui.errors(), std::vector<Message>(3, failed));

  std::filesystem::create_directory(f.folder / "missing");
  EXPECT_TRUE(f.doc->SaveModified());
  EXPECT_FALSE(f.doc->LastSaveFailed());
  EXPECT_EQ(ReadWholeFile(f.startup.autoSavePath), f.Table(true));
}

TEST(Saving, AnImportedLogIsUntitledSoSaveAsksForAName) {
  DocFixture f;
  f.Add(0);
  const std::string earlier = f.folder / "earlier.csv";
  f.ui.QueueSavePath(earlier);
  ASSERT_TRUE(f.doc->DoFileSave());
  const std::string earlierTable = ReadWholeFile(earlier);
  for (bool demo : {false, true}) {
    SCOPED_TRACE(demo ? "demo log" : "serial file");
    const std::string path = f.folder / (demo ? "flight.log" : "capture.bin");
    if (demo) {
      DemoLogBuilder log;
      log.Stream(1000, test::Capture(1));
      test::WriteBytes(path, log.bytes());
      ASSERT_TRUE(f.doc->ImportDemoLog(path));
    } else {
      test::WriteBytes(path, test::Capture(13));
      ASSERT_TRUE(f.doc->ImportSerialFile(path));
    }
    EXPECT_EQ(f.doc->GetTitle(), "Untitled");
    f.ui.ClearCalls();
    EXPECT_FALSE(f.doc->DoFileSave()) << "the name dialog is cancelled";
    EXPECT_EQ(f.ui.saveSuggestions(), std::vector<std::string>{"OvixLog"});
    EXPECT_EQ(ReadWholeFile(earlier), earlierTable);
    f.doc->SetPathName(earlier);  // titled again, as before the first import
  }
}

TEST(Saving, NumberedSiblingGoesBeforeTheExtension) {
  const std::pair<std::string, std::string> cases[] = {
      {"flight.csv", "flight-2.csv"},
      {"/home/pilot/flight.CSV", "/home/pilot/flight-2.CSV"},
      {"flight", "flight-2"},
      {"logs.d/flight", "logs.d/flight-2"},
      {"archive.tar.gz", "archive.tar-2.gz"},
      {"logs/.hidden", "logs/.hidden-2"},
  };
  for (const auto& [path, numbered] : cases)
    EXPECT_EQ(NumberedSibling(path, 2), numbered) << path;
  EXPECT_EQ(NumberedSibling("flight.txt", 17), "flight-17.txt");
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
  // With an output file the samples are written there first, then the port is switched; an
  // empty log is not written at all.
  DocFixture f;
  f.startup.autoSaveEnabled = 1;
  f.startup.autoSavePath = f.folder / "out.txt";
  f.Add(0);
  const std::string table = f.Table(false);
  f.doc->OnPort(3);
  EXPECT_EQ(ReadWholeFile(f.startup.autoSavePath), table);
  EXPECT_EQ(f.doc->commPort.load(), 3);
  EXPECT_EQ(f.doc->SampleCount(), 0);
  f.doc->OnPort(2);
  EXPECT_EQ(f.doc->commPort.load(), 2);
  EXPECT_EQ(ReadWholeFile(f.startup.autoSavePath), table);
  EXPECT_EQ(f.folder.Entries(), std::vector<std::string>{"out.txt"});
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
