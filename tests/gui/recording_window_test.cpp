// The live recording in the window: the offer to open what a crash left behind, the list of
// recordings, the Record Live Data switch and its pane, and live data kept out of an imported
// table.
#include <fcntl.h>
#include <sys/stat.h>

#include <QLabel>
#include <QTest>

#include <filesystem>

#include "app/command_ids.h"
#include "gui/gui_fixture.h"
#include "recording/recording_catalog.h"
#include "recording/recording_format.h"
#include "recording/recording_writer.h"

namespace ovixlog::test {
namespace {

// 2026-12-09 14:03:22.500 UTC, recorded an hour ahead of UTC.
constexpr int64_t kStart = 1796825002500;

// A recording as the window writes it: the wall clock, the 5100's settings, then `frames`
// frames a second apart, one stream record each; with `closed`, the closing record a minute
// after the start. `tornBytes` more bytes of a stream record that the end of the file cuts short.
std::vector<uint8_t> MakeRecording(int frames, int firstTach, bool closed, int tornBytes = 0,
                                   int64_t startMs = kStart) {
  std::vector<uint8_t> out;
  const std::vector<uint8_t> clock = WallClockPayload({0, startMs, 3600});
  AppendRecord(out, kWallClockRecord, 0, clock.data(), clock.size());
  for (const std::string& setting : SettingTextsFor(kModel5100, 0))
    AppendRecord(out, kSettingRecord, 0, reinterpret_cast<const uint8_t*>(setting.data()),
                 setting.size());
  for (int i = 0; i < frames; ++i) {
    EngineSample s = ExampleSample();
    s.tach = static_cast<int16_t>(firstTach + i);
    const std::vector<uint8_t> frame = FrameBuilder::Build(s, kModel5100);
    AppendRecord(out, kStreamRecord, static_cast<uint32_t>(1000 * i), frame.data(), frame.size());
  }
  if (tornBytes > 0) {
    EngineSample s = ExampleSample();
    const std::vector<uint8_t> frame = FrameBuilder::Build(s, kModel5100);
    std::vector<uint8_t> record;
    AppendRecord(record, kStreamRecord, static_cast<uint32_t>(1000 * frames), frame.data(),
                 frame.size());
    out.insert(out.end(), record.begin(), record.begin() + tornBytes);
  }
  if (closed) {
    const std::vector<uint8_t> end = ClosingPayload(startMs + 60000);
    AppendRecord(out, kClosingRecord, 0, end.data(), end.size());
  }
  return out;
}

void WriteRecording(const std::string& path, const std::vector<uint8_t>& bytes, int64_t mtimeMs) {
  WriteFile(path, bytes);
  timespec times[2];
  times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(mtimeMs / 1000);
  times[0].tv_nsec = times[1].tv_nsec = (mtimeMs % 1000) * 1000000;
  ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

std::vector<int> Tachs(COvixLogDoc* doc) {
  std::vector<int> tachs;
  for (int i = 0; i < doc->SampleCount(); ++i)
    tachs.push_back(doc->SampleAt(i).tach);
  return tachs;
}

std::vector<int> Range(int first, int count) {
  std::vector<int> v;
  for (int i = 0; i < count; ++i)
    v.push_back(first + i);
  return v;
}

std::vector<std::string> AskedYesNo(const ScriptedUserInterface& ui) {
  std::vector<std::string> asked;
  for (const auto& call : ui.calls()) {
    if (call.kind == ScriptedUserInterface::CallKind::kAskYesNo)
      asked.push_back(call.title + ": " + call.text);
  }
  return asked;
}

}  // namespace

class RecordingWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void OffersTheNewestAbandonedRecordingOnce_data();
  void OffersTheNewestAbandonedRecordingOnce();
  void OpenRecordingListsNewestFirst();
  void OpenRecordingWithNoneSaysSo();
  void RecordLiveDataSwitch_data();
  void RecordLiveDataSwitch();
  void RecordingPaneText_data();
  void RecordingPaneText();
  void ImportedTableGetsNoLiveSamples();
};

void RecordingWindowTest::OffersTheNewestAbandonedRecordingOnce_data() {
  QTest::addColumn<bool>("yes");
  QTest::newRow("yes") << true;
  QTest::newRow("no") << false;
}

void RecordingWindowTest::OffersTheNewestAbandonedRecordingOnce() {
  QFETCH(bool, yes);
  TempFolder folder;
  const std::string recordings = folder / "recordings";
  std::filesystem::create_directories(recordings);
  // An older abandoned one, the newest abandoned one (its last record torn), a newer closed one.
  WriteRecording(recordings + "/older.log", MakeRecording(3, 500, false, 0, kStart - 86400000),
                 kStart - 86400000 + 5 * 60000);
  WriteRecording(recordings + "/abandoned.log", MakeRecording(6, 1000, false, 40),
                 kStart + 72 * 60000 + 30000);
  WriteRecording(recordings + "/closed.log", MakeRecording(2, 3000, true, 0, kStart + 3600000),
                 kStart + 3660000);
  // Newest of all: one that another running OvixLog is still writing.
  RecordingWriter otherInstance(recordings, "still-written");
  otherInstance.AppendWallClock({0, kStart + 7200000, 3600});
  QTRY_VERIFY_WITH_TIMEOUT(otherInstance.status().size > 0, 20000);

  StartupSettings base;
  base.recordingFolder = recordings;
  {
    AppFixture f({}, base, false, std::string(),
                 [yes](ScriptedUserInterface& ui) { ui.QueueYesNo(yes); });
    QTRY_COMPARE_WITH_TIMEOUT(AskedYesNo(f.ui).size(), size_t{1}, 20000);
    QCOMPARE(AskedYesNo(f.ui), std::vector<std::string>{
                                   "OvixLog: OvixLog was not closed normally. Open the recording "
                                   "of 9 Dec 2026 15:03 (1 h 12 min)?"});
    // The torn last record is read up to the last whole frame, without a word.
    QCOMPARE(Tachs(f.doc()), yes ? Range(1000, 6) : std::vector<int>{});
    QCOMPARE(f.doc()->reviewing(), yes);
    QCOMPARE(f.ui.errors().size(), size_t{0});
    QVERIFY(ReadRecordingInfo(recordings + "/abandoned.log")->closed);
  }
  // Offered once: the next start asks about the older one, never again about this one.
  AppFixture again({}, base);
  QTRY_COMPARE_WITH_TIMEOUT(AskedYesNo(again.ui).size(), size_t{1}, 20000);
  QCOMPARE(AskedYesNo(again.ui),
           std::vector<std::string>{"OvixLog: OvixLog was not closed normally. Open the "
                                    "recording of 8 Dec 2026 15:03 (5 min)?"});
  QVERIFY(!ReadRecordingInfo(recordings + "/still-written.log")->closed);
  QVERIFY(otherInstance.Close(kStart + 7300000));
}

void RecordingWindowTest::OpenRecordingListsNewestFirst() {
  TempFolder folder;
  const std::string recordings = folder / "recordings";
  std::filesystem::create_directories(recordings);
  const std::vector<uint8_t> first = MakeRecording(4, 1000, true);
  // The second starts a day later.
  const std::vector<uint8_t> second = MakeRecording(3, 2000, true, 0, kStart + 86400000);
  WriteRecording(recordings + "/first.log", first, kStart + 60000);
  WriteRecording(recordings + "/second.log", second, kStart + 86460000);
  StartupSettings base;
  base.recordingFolder = recordings;
  AppFixture f({}, base);
  f.ui.QueueListChoice(1);
  f.frame()->Action(kIdOpenRecording)->trigger();
  QCOMPARE(f.ui.calls().size(), size_t{1});
  QCOMPARE(f.ui.calls()[0].title, std::string("Open Recording"));
  QCOMPARE(f.ui.calls()[0].text, "10 Dec 2026 15:03 | 1 min | 5100 | " + SizeText(second.size()) +
                                     " | second.log\n" + "9 Dec 2026 15:03 | 1 min | 5100 | " +
                                     SizeText(first.size()) + " | first.log\n");
  QCOMPARE(Tachs(f.doc()), Range(1000, 4));
  QVERIFY(f.doc()->reviewing());
  // Cancel changes nothing.
  f.ui.ClearCalls();
  f.frame()->Action(kIdOpenRecording)->trigger();
  QCOMPARE(Tachs(f.doc()), Range(1000, 4));
}

void RecordingWindowTest::OpenRecordingWithNoneSaysSo() {
  // Nothing recorded here: the file dialog looks for one elsewhere (cancelled here).
  AppFixture f;
  f.frame()->Action(kIdOpenRecording)->trigger();
  QVERIFY(f.ui.errors().empty());
  QCOMPARE(f.ui.calls().size(), size_t{1});
  QCOMPARE(f.ui.calls()[0].kind, ScriptedUserInterface::CallKind::kChooseOpenFile);
  QCOMPARE(f.ui.calls()[0].title, std::string("Open Recording"));
}

void RecordingWindowTest::RecordLiveDataSwitch_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<int>("toggles");
  QTest::addColumn<bool>("enabled");
  QTest::addColumn<QString>("pane");
  QTest::newRow("default") << QStringList{} << 0 << true << QStringLiteral("Recording on");
  QTest::newRow("switched off") << QStringList{} << 1 << false << QStringLiteral("Recording off");
  QTest::newRow("off and on") << QStringList{} << 2 << true << QStringLiteral("Recording on");
  QTest::newRow("--no-record") << QStringList{"--no-record"} << 0 << false
                               << QStringLiteral("Recording off");
  QTest::newRow("--no-record, switched on")
      << QStringList{"--no-record"} << 1 << true << QStringLiteral("Recording on");
}

void RecordingWindowTest::RecordLiveDataSwitch() {
  QFETCH(QStringList, args);
  QFETCH(int, toggles);
  QFETCH(bool, enabled);
  QFETCH(QString, pane);
  std::vector<std::string> argv;
  for (const QString& arg : args)
    argv.push_back(arg.toStdString());
  AppFixture f(argv);
  for (int i = 0; i < toggles; ++i)
    f.frame()->Action(kIdRecordLiveData)->trigger();
  QCOMPARE(f.doc()->recorder().enabled(), enabled);
  QCOMPARE(f.frame()->Action(kIdRecordLiveData)->isChecked(), enabled);
  QCOMPARE(f.frame()->recordingPane()->text(), pane);
}

void RecordingWindowTest::RecordingPaneText_data() {
  QTest::addColumn<bool>("enabled");
  QTest::addColumn<bool>("recording");
  QTest::addColumn<QString>("error");
  QTest::addColumn<bool>("reviewing");
  QTest::addColumn<QString>("text");
  const QString paused = QStringLiteral("Live display paused (File > New shows live data) \u2014 ");
  const QString name = QStringLiteral("Recording 2026-12-09_14-03-22_COM1_5100.log (12.3 kB)");
  QTest::newRow("recording") << true << true << QString() << false << name;
  QTest::newRow("recording, reviewing") << true << true << QString() << true << paused + name;
  QTest::newRow("waiting for data")
      << true << false << QString() << false << QStringLiteral("Recording on");
  QTest::newRow("off") << false << false << QString() << false << QStringLiteral("Recording off");
  QTest::newRow("off, reviewing") << false << false << QString() << true
                                  << paused + QStringLiteral("Recording off");
  QTest::newRow("stopped") << true << false
                           << QStringLiteral("Recording stopped: No space left on device") << false
                           << QStringLiteral("Recording stopped: No space left on device");
}

void RecordingWindowTest::RecordingPaneText() {
  QFETCH(bool, enabled);
  QFETCH(bool, recording);
  QFETCH(QString, error);
  QFETCH(bool, reviewing);
  QFETCH(QString, text);
  LiveRecorder::Status status;
  status.enabled = enabled;
  status.recording = recording;
  status.name = recording ? "2026-12-09_14-03-22_COM1_5100.log" : "";
  status.size = 12345;
  status.error = error.toStdString();
  QCOMPARE(ovixlog::RecordingPaneText(status, reviewing), text);
}

void RecordingWindowTest::ImportedTableGetsNoLiveSamples() {
  Pty line;
  QVERIFY(!line.slavePath.empty());
  ::setenv("OVIXLOG_COM1", line.slavePath.c_str(), 1);
  {
    AppFixture f({"a"}, {}, /*ports=*/true);
    QTRY_VERIFY_WITH_TIMEOUT(f.doc()->PortStatus().open, 10000);
    QVERIFY(line.WriteAll(Capture(5)));
    QTRY_COMPARE_WITH_TIMEOUT(f.doc()->SampleCount(), 5, 20000);

    // A capture of its own, imported while the line goes on.
    const std::string capture = f.folder / "capture.bin";
    std::vector<uint8_t> captured;
    for (int i = 0; i < 7; ++i) {
      EngineSample s = ExampleSample();
      s.tach = static_cast<int16_t>(4000 + i);
      FrameBuilder::Append(captured, s, kModel5100);
    }
    WriteFile(capture, captured);
    f.ui.QueueSaveAnswer(SaveAnswer::kNo);
    f.ui.QueueOpenPath(capture);
    f.frame()->Action(kIdOpenSerialFile)->trigger();
    QCOMPARE(Tachs(f.doc()), Range(4000, 7));
    QVERIFY(f.doc()->reviewing());
    const std::string imported = f.Table();

    QVERIFY(line.WriteAll(Capture(3)));
    QTRY_COMPARE_WITH_TIMEOUT(f.doc()->PortStatus().framesAccepted, uint64_t{8}, 20000);
    QCOMPARE(f.Table(), imported);
    f.frame()->RefreshPanes();
    QVERIFY(f.frame()->recordingPane()->text().startsWith(
        QStringLiteral("Live display paused (File > New shows live data) \u2014 Recording ")));

    // File > New returns to the live table, which gets the next frames.
    f.ui.QueueSaveAnswer(SaveAnswer::kNo);
    f.frame()->Action(kIdFileNew)->trigger();
    QVERIFY(!f.doc()->reviewing());
    QCOMPARE(f.doc()->SampleCount(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(f.doc()->PortStatus().open, 10000);
    QVERIFY(line.WriteAll(Capture(2)));
    QTRY_COMPARE_WITH_TIMEOUT(Tachs(f.doc()), Range(1000, 2), 20000);
    f.app->ExitInstance();

    // The first session's recording holds all eight live frames, the second's the last two.
    const std::vector<RecordingInfo> list = ListRecordings(f.recordings());
    QCOMPARE(list.size(), size_t{2});
    StartupSettings none;
    COvixLogDoc reader(&f.ui, none);
    reader.SetPortsEnabled(false);
    reader.OnNewDocument();
    reader.keepAllSamples = 1;
    std::vector<std::vector<int>> sessions;
    for (const RecordingInfo& info : list) {
      QVERIFY(info.closed);
      QVERIFY(reader.ImportDemoLog(info.path));
      sessions.push_back(Tachs(&reader));
    }
    std::sort(sessions.begin(), sessions.end(),
              [](const auto& a, const auto& b) { return a.size() > b.size(); });
    std::vector<int> firstSession = Range(1000, 5);
    for (int t : Range(1000, 3))
      firstSession.push_back(t);
    QCOMPARE(sessions[0], firstSession);
    QCOMPARE(sessions[1], Range(1000, 2));
  }
  ::unsetenv("OVIXLOG_COM1");
}

}  // namespace ovixlog::test

QTEST_MAIN(ovixlog::test::RecordingWindowTest)
#include "recording_window_test.moc"
