// The save question where it protects something, and not where every sample is safe already:
// read from a file that is still there unchanged, or received into a recording on disk. The
// title says what is shown.
#include <QDateTime>
#include <QTest>
#include <QTimeZone>

#include <unistd.h>

#include <filesystem>

#include "acquisition/frame_builder.h"
#include "app/command_ids.h"
#include "gui/gui_fixture.h"
#include "recording/recording_catalog.h"

namespace ovixlog::test {
namespace {

using Kind = ScriptedUserInterface::CallKind;

int Questions(const ScriptedUserInterface& ui) {
  int count = 0;
  for (const ScriptedUserInterface::Call& call : ui.calls())
    count += call.kind == Kind::kAskSaveChanges ? 1 : 0;
  return count;
}

// 2026-12-09 14:03:22.500 UTC, recorded an hour ahead of UTC.
constexpr int64_t kRecoveredStart = 1796825002500;

// A recording's start as the title gives it, "9 Dec 2026 15:03", worked out from the file's
// own clock record.
QString StartOf(const std::string& path) {
  const std::optional<RecordingInfo> info = ReadRecordingInfo(path);
  if (!info)
    return QStringLiteral("(no recording at %1)").arg(QString::fromStdString(path));
  return QDateTime::fromMSecsSinceEpoch(info->startEpochMs, QTimeZone(info->utcOffsetSeconds))
      .toString(QStringLiteral("d MMM yyyy HH:mm"));
}

std::vector<uint8_t> Frames(int count, int firstTach) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < count; ++i)
    FrameBuilder::Append(bytes, SampleWithTach(firstTach + i, 0), kModel5100, 0);
  return bytes;
}

}  // namespace

class SaveQuestionTest : public QObject {
  Q_OBJECT

 private slots:
  void FileStillThereUnchanged_data();
  void FileStillThereUnchanged();
  void LiveSamplesInARecordingNeedNoSave();
  void LiveSamplesWithoutARecordingAreAskedFor();
  void StoredSamplesWithoutAFileAreAskedFor();
  void AskedOnlyWhenSamplesWouldBeLost_data();
  void AskedOnlyWhenSamplesWouldBeLost();
};

void SaveQuestionTest::FileStillThereUnchanged_data() {
  QTest::addColumn<QString>("change");  // what happens to the file after it was read
  QTest::addColumn<int>("questions");
  QTest::newRow("unchanged") << "" << 0;
  QTest::newRow("grown") << "append" << 1;
  QTest::newRow("removed") << "remove" << 1;
}

void SaveQuestionTest::FileStillThereUnchanged() {
  QFETCH(QString, change);
  QFETCH(int, questions);
  TempFolder folder;
  const std::string path = folder / "flight.bin";
  WriteFile(path, Capture(24));
  AppFixture f({"a", path});
  QCOMPARE(f.doc()->SampleCount(), 24);
  QVERIFY(f.doc()->IsModified());
  QCOMPARE(f.frame()->windowTitle(), QStringLiteral("flight.bin - Ovix Log"));
  if (change == "append") {
    std::vector<uint8_t> more = Capture(26);
    WriteFile(path, more);
  } else if (change == "remove") {
    QCOMPARE(::unlink(path.c_str()), 0);
  }
  // Cancel, when asked: the window stays.
  f.ui.QueueSaveAnswer(SaveAnswer::kCancel);
  f.frame()->close();
  QCOMPARE(Questions(f.ui), questions);
  QCOMPARE(f.frame()->isVisible(), questions == 0 ? false : true);
}

void SaveQuestionTest::LiveSamplesInARecordingNeedNoSave() {
  Pty pty;
  QVERIFY(!pty.slavePath.empty());
  AppFixture f({"a", "--port", pty.slavePath}, {}, true);
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 24; ++i)
    FrameBuilder::Append(bytes, SampleWithTach(1000 + i, 0), kModel5100, 0);
  QVERIFY(pty.WriteAll(bytes));
  QTRY_COMPARE_WITH_TIMEOUT(f.doc()->SampleCount(), 24, 20000);
  QVERIFY(f.doc()->recorder().status().recording);
  // The title gives the recording's start.
  QTRY_VERIFY(f.frame()->windowTitle().startsWith(QStringLiteral("Recording ")));
  QVERIFY(f.frame()->windowTitle().endsWith(QStringLiteral(" - Ovix Log")));
  QVERIFY(f.doc()->SamplesKeptElsewhere());
  f.frame()->close();
  QCOMPARE(Questions(f.ui), 0);
  QVERIFY(!f.frame()->isVisible());
}

void SaveQuestionTest::LiveSamplesWithoutARecordingAreAskedFor() {
  Pty pty;
  QVERIFY(!pty.slavePath.empty());
  AppFixture f({"a", "--port", pty.slavePath}, {}, true);
  f.frame()->OnCommand(kIdRecordLiveData);  // recording off
  QVERIFY(!f.doc()->recorder().enabled());
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 6; ++i)
    FrameBuilder::Append(bytes, SampleWithTach(1000 + i, 0), kModel5100, 0);
  QVERIFY(pty.WriteAll(bytes));
  QTRY_COMPARE_WITH_TIMEOUT(f.doc()->SampleCount(), 6, 20000);
  QVERIFY(!f.doc()->SamplesKeptElsewhere());
  QCOMPARE(f.frame()->windowTitle(), QStringLiteral("Untitled - Ovix Log"));
  f.ui.QueueSaveAnswer(SaveAnswer::kCancel);
  f.frame()->close();
  QCOMPARE(Questions(f.ui), 1);
  QVERIFY(f.frame()->isVisible());
}

void SaveQuestionTest::StoredSamplesWithoutAFileAreAskedFor() {
  AppFixture f;
  f.Add(2500);
  QVERIFY(!f.doc()->SamplesKeptElsewhere());
  f.ui.QueueSaveAnswer(SaveAnswer::kCancel);
  f.frame()->close();
  QCOMPARE(Questions(f.ui), 1);
}

void SaveQuestionTest::AskedOnlyWhenSamplesWouldBeLost_data() {
  // What the window shows: "file" (first.bin, opened with File > Open), "recovered" (the
  // recording a crash left, opened at start-up), "live" (samples received into a recording).
  QTest::addColumn<QString>("shown");
  // What happens to the shown file on disk: "", "append" or "remove".
  QTest::addColumn<QString>("change");
  // The command that would drop the samples: "open" (second.bin), "new" or "exit".
  QTest::addColumn<QString>("command");
  QTest::addColumn<int>("questions");
  // The titles before and after the command, without " - Ovix Log"; "start" stands for
  // "Recording " and the shown recording's start. After a command that closed the window: "".
  QTest::addColumn<QString>("before");
  QTest::addColumn<QString>("after");
  QTest::newRow("open, then open another")
      << "file" << "" << "open" << 0 << "first.bin" << "second.bin";
  QTest::newRow("open, then new") << "file" << "" << "new" << 0 << "first.bin" << "Untitled";
  QTest::newRow("open, grown on disk, then open another")
      << "file" << "append" << "open" << 1 << "first.bin" << "first.bin";
  QTest::newRow("open, removed from disk, then new")
      << "file" << "remove" << "new" << 1 << "first.bin" << "first.bin";
  QTest::newRow("open, removed from disk, then exit")
      << "file" << "remove" << "exit" << 1 << "first.bin" << "first.bin";
  QTest::newRow("recovered, then open another")
      << "recovered" << "" << "open" << 0 << "start" << "second.bin";
  QTest::newRow("recovered, then new") << "recovered" << "" << "new" << 0 << "start"
                                       << "Untitled";
  QTest::newRow("recovered, removed from disk, then exit")
      << "recovered" << "remove" << "exit" << 1 << "start" << "start";
  QTest::newRow("live in a recording, then open a file")
      << "live" << "" << "open" << 0 << "start" << "second.bin";
  QTest::newRow("live in a recording, then exit") << "live" << "" << "exit" << 0 << "start"
                                                  << "";
}

void SaveQuestionTest::AskedOnlyWhenSamplesWouldBeLost() {
  QFETCH(QString, shown);
  QFETCH(QString, change);
  QFETCH(QString, command);
  QFETCH(int, questions);
  QFETCH(QString, before);
  QFETCH(QString, after);
  TempFolder folder;
  const std::string first = folder / "first.bin";
  const std::string second = folder / "second.bin";
  WriteFile(first, Capture(24));
  WriteFile(second, Capture(10));
  const std::string recordings = folder / "recordings";
  std::filesystem::create_directories(recordings);
  // Named as the window names its recordings, so that the title gives its start.
  const std::string recovered = recordings + "/2026-12-09_15-03-22_ttyUSB0_5100.log";
  std::vector<std::vector<uint8_t>> frames;
  for (int i = 0; i < 6; ++i)
    frames.push_back(Frames(1, 1000 + i));
  WriteFile(recovered, UnclosedRecording(frames, kModel5100, 0, kRecoveredStart, 3600));

  Pty pty;
  QVERIFY(!pty.slavePath.empty());
  StartupSettings base;
  base.recordingFolder = recordings;
  const bool live = shown == "live";
  std::vector<std::string> args = {"a"};
  if (live)
    args.insert(args.end(), {"--port", pty.slavePath});
  AppFixture f(args, base, live, std::string(), [&shown](ScriptedUserInterface& ui) {
    ui.QueueYesNo(shown == "recovered");
  });
  // Every start offers the recording a crash left; only "recovered" takes it.
  QTRY_COMPARE_WITH_TIMEOUT(f.ui.calls().size(), size_t{1}, 20000);
  f.ui.ClearCalls();
  std::string shownPath;
  if (shown == "file") {
    f.ui.QueueOpenPath(first);
    f.frame()->OnCommand(kIdFileOpen);
    QCOMPARE(f.doc()->SampleCount(), 24);
    shownPath = first;
  } else if (shown == "recovered") {
    QTRY_COMPARE_WITH_TIMEOUT(f.doc()->SampleCount(), 6, 20000);
    shownPath = recovered;
  } else {
    QVERIFY(pty.WriteAll(Frames(24, 1000)));
    QTRY_COMPARE_WITH_TIMEOUT(f.doc()->SampleCount(), 24, 20000);
    // The recording is named once its file is made, which may come after the samples.
    QTRY_VERIFY_WITH_TIMEOUT(f.doc()->recorder().status().recording &&
                                 !f.doc()->recorder().status().name.empty(),
                             20000);
    shownPath = f.doc()->recorder().folder() + "/" + f.doc()->recorder().status().name;
  }
  QVERIFY(f.doc()->IsModified());
  // Read before the file may go.
  const QString start = "Recording " + StartOf(shownPath);
  const auto title = [&start](const QString& text) {
    return (text == "start" ? start : text) + QStringLiteral(" - Ovix Log");
  };
  QTRY_COMPARE(f.frame()->windowTitle(), title(before));
  if (shown == "recovered")
    QCOMPARE(f.frame()->windowTitle(), QStringLiteral("Recording 9 Dec 2026 15:03 - Ovix Log"));

  if (change == "append")
    WriteFile(shownPath, Capture(26));
  else if (change == "remove")
    QCOMPARE(::unlink(shownPath.c_str()), 0);
  f.ui.ClearCalls();
  // Cancel, when asked: nothing changes.
  f.ui.QueueSaveAnswer(SaveAnswer::kCancel);
  if (command == "open") {
    f.ui.QueueOpenPath(second);
    f.frame()->OnCommand(kIdFileOpen);
  } else if (command == "new") {
    f.frame()->OnCommand(kIdFileNew);
  } else {
    f.frame()->OnCommand(kIdAppExit);
  }
  QCOMPARE(Questions(f.ui), questions);
  QCOMPARE(f.frame()->isVisible(), !after.isEmpty());
  if (!after.isEmpty())
    QCOMPARE(f.frame()->windowTitle(), title(after));
}

}  // namespace ovixlog::test

QTEST_MAIN(ovixlog::test::SaveQuestionTest)
#include "save_question_test.moc"
