// The save question where it protects something, and not where every sample is safe already:
// read from a file that is still there unchanged, or received into a recording on disk. The
// title says what is shown.
#include <QTest>

#include <unistd.h>

#include "acquisition/frame_builder.h"
#include "app/command_ids.h"
#include "gui/gui_fixture.h"

namespace ovixlog::test {
namespace {

using Kind = ScriptedUserInterface::CallKind;

int Questions(const ScriptedUserInterface& ui) {
  int count = 0;
  for (const ScriptedUserInterface::Call& call : ui.calls())
    count += call.kind == Kind::kAskSaveChanges ? 1 : 0;
  return count;
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

}  // namespace ovixlog::test

QTEST_MAIN(ovixlog::test::SaveQuestionTest)
#include "save_question_test.moc"
