// Opening files: File > Open... (Ctrl+O) takes any file we read by its content, a file dropped
// on the window opens the same way, and Open Recording can browse for a recording elsewhere.
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include <filesystem>

#include "acquisition/demo_log_builder.h"
#include "acquisition/frame_builder.h"
#include "app/command_ids.h"
#include "gui/gui_fixture.h"

namespace ovixlog::test {
namespace {

// A demo log of `count` frames a second apart, tachs from 1500.
std::vector<uint8_t> DemoLog(int count) {
  DemoLogBuilder log;
  log.Setting(0, "58=5");
  for (int i = 0; i < count; ++i) {
    std::vector<uint8_t> frame;
    FrameBuilder::Append(frame, SampleWithTach(1500 + i, 0), kModel5100);
    log.Stream(static_cast<uint32_t>(i) * 1000U, frame);
  }
  return log.bytes();
}

std::vector<int> Tachs(const COvixLogDoc& doc) {
  std::vector<int> tachs;
  for (int i = 0; i < doc.SampleCount(); ++i)
    tachs.push_back(doc.SampleAt(i).tach);
  return tachs;
}

}  // namespace

class OpenFilesTest : public QObject {
  Q_OBJECT

 private slots:
  void TellsADemoLogFromACapture_data();
  void TellsADemoLogFromACapture();
  void CtrlOOpensAnyFileByContent_data();
  void CtrlOOpensAnyFileByContent();
  void DroppedFileOpensByContent();
  void DropOfSeveralFilesIsRefused();
  void OpenRecordingBrowsesElsewhere();
};

void OpenFilesTest::TellsADemoLogFromACapture_data() {
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<bool>("demoLog");
  const auto bytes = [](const std::vector<uint8_t>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(v.size()));
  };
  QTest::newRow("demo log") << bytes(DemoLog(3)) << true;
  QTest::newRow("capture") << bytes(Capture(3)) << false;
  QTest::newRow("capture after noise") << QByteArray("\x02\x11\xff\xff\xff\xff\xff\xff\xff", 9) +
                                              bytes(Capture(2))
                                       << false;
  QTest::newRow("empty") << QByteArray() << false;
  // A demo log cut short inside its first record is still one.
  std::vector<uint8_t> cut = DemoLog(2);
  cut.resize(20);
  QTest::newRow("cut demo log") << bytes(cut) << true;
}

void OpenFilesTest::TellsADemoLogFromACapture() {
  QFETCH(QByteArray, bytes);
  QFETCH(bool, demoLog);
  TempFolder folder;
  const std::string path = folder / "file";
  WriteFile(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
  QCOMPARE(LooksLikeDemoLog(path), demoLog);
}

void OpenFilesTest::CtrlOOpensAnyFileByContent_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<bool>("demoLog");
  QTest::newRow("capture") << "flight.bin" << false;
  QTest::newRow("demo log under another name") << "flight.dat" << true;
  QTest::newRow("capture named .log") << "capture.log" << false;
}

void OpenFilesTest::CtrlOOpensAnyFileByContent() {
  QFETCH(QString, name);
  QFETCH(bool, demoLog);
  AppFixture f({"a"});
  const std::string path = f.folder / name.toStdString();
  WriteFile(path, demoLog ? DemoLog(4) : Capture(4));
  f.frame()->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(f.frame()));
  f.ui.QueueOpenPath(path);
  QTest::keyClick(f.frame(), Qt::Key_O, Qt::ControlModifier);
  QCOMPARE(f.ui.calls().size(), size_t{1});
  QCOMPARE(f.ui.calls()[0].title, std::string("Open"));
  const std::vector<int> want = demoLog ? std::vector<int>{1500, 1501, 1502, 1503}
                                        : std::vector<int>{1000, 1001, 1002, 1003};
  QCOMPARE(Tachs(*f.doc()), want);
  QCOMPARE(f.doc()->importedDemoLog(), demoLog);
  QCOMPARE(f.frame()->windowTitle(), name + " - Ovix Log");
}

void OpenFilesTest::DroppedFileOpensByContent() {
  AppFixture f({"a"});
  const std::string path = f.folder / "dropped.dat";
  WriteFile(path, DemoLog(3));
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
  QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(f.frame(), &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(f.frame(), &drop);
  QCOMPARE(Tachs(*f.doc()), (std::vector<int>{1500, 1501, 1502}));
  QVERIFY(f.doc()->reviewing());
  // A log with unsaved samples is asked about first, as any import asks.
  AppFixture g({"a"});
  g.Add(2000);
  g.ui.QueueSaveAnswer(SaveAnswer::kCancel);
  g.frame()->OpenDroppedFile(path);
  QCOMPARE(g.ui.questions(), std::vector<std::string>{"Save changes to Untitled?"});
  QCOMPARE(Tachs(*g.doc()), std::vector<int>{2000});
}

void OpenFilesTest::DropOfSeveralFilesIsRefused() {
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile("/tmp/a.bin"), QUrl::fromLocalFile("/tmp/b.bin")});
  QCOMPARE(DroppedFile(&data), QString());
  data.setUrls({QUrl(QStringLiteral("https://example.org/a.bin"))});
  QCOMPARE(DroppedFile(&data), QString());
  data.setUrls({QUrl::fromLocalFile("/tmp/a.bin")});
  QCOMPARE(DroppedFile(&data), QStringLiteral("/tmp/a.bin"));
  data.setText(QStringLiteral("text"));
  QCOMPARE(DroppedFile(nullptr), QString());
}

void OpenFilesTest::OpenRecordingBrowsesElsewhere() {
  AppFixture f({"a"});
  // One recording in the folder, and one copied off the recorder somewhere else.
  std::filesystem::create_directories(f.recordings());
  WriteFile(f.recordings() + "/2026-12-10_07-00-00_ttyUSB0_5100.log", DemoLog(2));
  const std::string copied = f.folder / "from-the-card.log";
  WriteFile(copied, DemoLog(5));
  f.ui.QueueListChoice(UserInterface::kBrowse);
  f.ui.QueueOpenPath(copied);
  f.frame()->Action(kIdOpenRecording)->trigger();
  QCOMPARE(f.ui.calls().size(), size_t{2});
  QCOMPARE(f.ui.calls()[1].title, std::string("Open Recording"));
  QCOMPARE(Tachs(*f.doc()), (std::vector<int>{1500, 1501, 1502, 1503, 1504}));
}

}  // namespace ovixlog::test

QTEST_MAIN(ovixlog::test::OpenFilesTest)
#include "open_files_test.moc"
