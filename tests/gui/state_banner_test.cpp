// The banner above the charts: its sentence for every state, in the window as the line comes,
// goes and is lost, and never cut short.
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QTime>
#include <QTimer>

#include "acquisition/frame_builder.h"
#include "app/command_ids.h"
#include "app/qt_user_interface.h"
#include "app/state_banner.h"
#include "app/status_offer.h"
#include "gui/gui_fixture.h"

namespace ovixlog::test {

class StateBannerTest : public QObject {
  Q_OBJECT

 private slots:
  void SentenceForEveryState_data();
  void SentenceForEveryState();
  void NotConnectedLinksToConnectMonitor();
  void FirstStartWithoutAPortSaysNotConnected();
  void FollowsTheLineFromReceivingToQuietToLost();
  void SaysRecordingOnlyWhileBytesArrive();
  void ShowsTheImportedFile();
  void LongSentencesAndOffersWrapInsteadOfBeingCut();
  void RendersEveryStateInTheWindow();
  void ReportsAreHeldWholeUnderTheSentence();
};

void StateBannerTest::SentenceForEveryState_data() {
  QTest::addColumn<int>("link");
  QTest::addColumn<int>("rate");
  QTest::addColumn<QString>("recording");
  QTest::addColumn<QString>("text");
  using Link = BannerState::Link;
  QTest::newRow("not connected") << int(Link::kNotConnected) << 0 << QString()
                                 << "Not connected \u2014 Connect Monitor...";
  QTest::newRow("lost") << int(Link::kLost) << 0 << QString()
                        << "Device lost \u2014 waiting for it to come back";
  QTest::newRow("waiting") << int(Link::kWaiting) << 0 << QString()
                           << "Connected to FTDI FT232R USB UART (ttyUSB0) \u2014 no data yet; "
                              "is the monitor on?";
  QTest::newRow("quiet") << int(Link::kQuiet) << 0 << QString()
                         << "No data since 21:49:43 \u2014 from FTDI FT232R USB UART (ttyUSB0)";
  QTest::newRow("receiving") << int(Link::kReceiving) << 12 << QString()
                             << "Receiving from FTDI FT232R USB UART (ttyUSB0) \u2014 12 frames/s";
  QTest::newRow("receiving, no rate yet")
      << int(Link::kReceiving) << 0 << QString()
      << "Receiving from FTDI FT232R USB UART (ttyUSB0)";
  QTest::newRow("receiving and recording")
      << int(Link::kReceiving) << 12 << "2026-12-10_07-12-00_ttyUSB0_5100.log (12.3 kB)"
      << "Receiving from FTDI FT232R USB UART (ttyUSB0) \u2014 12 frames/s \u2014 recording "
         "2026-12-10_07-12-00_ttyUSB0_5100.log (12.3 kB)";
  QTest::newRow("file") << int(Link::kShowingFile) << 0 << QString()
                        << "Showing flight.bin \u2014 live data paused (File > New returns to "
                           "live data)";
}

void StateBannerTest::SentenceForEveryState() {
  QFETCH(int, link);
  QFETCH(int, rate);
  QFETCH(QString, recording);
  QFETCH(QString, text);
  BannerState state;
  state.link = static_cast<BannerState::Link>(link);
  state.adapter = QStringLiteral("FTDI FT232R USB UART (ttyUSB0)");
  state.framesPerSecond = rate;
  state.lastFrameTime = QStringLiteral("21:49:43");
  state.recording = recording;
  state.file = QStringLiteral("flight.bin");
  QCOMPARE(BannerText(state), text);
  StateBanner banner;
  banner.Show(state);
  // The label shows the same words (as rich text, for the link).
  QTextDocument shown;
  shown.setHtml(banner.label()->text());
  QCOMPARE(shown.toPlainText(), text);
}

void StateBannerTest::NotConnectedLinksToConnectMonitor() {
  StateBanner banner;
  int asked = 0;
  connect(&banner, &StateBanner::connectRequested, this, [&asked] { ++asked; });
  banner.Show(BannerState{});
  QVERIFY(banner.label()->text().contains(QStringLiteral("<a href=\"connect\">")));
  emit banner.label()->linkActivated(QStringLiteral("connect"));
  QCOMPARE(asked, 1);
}

void StateBannerTest::FirstStartWithoutAPortSaysNotConnected() {
  AppFixture f;
  f.frame()->RefreshPanes();
  QCOMPARE(f.frame()->banner()->state().link, BannerState::Link::kNotConnected);
  QVERIFY(f.frame()->banner()->isVisible());
}

void StateBannerTest::FollowsTheLineFromReceivingToQuietToLost() {
  auto pty = std::make_unique<Pty>();
  QVERIFY(!pty->slavePath.empty());
  AppFixture f({"--port", pty->slavePath}, {}, true);
  CMainFrame* frame = f.frame();
  const auto link = [frame] {
    frame->RefreshPanes();
    return frame->banner()->state().link;
  };
  QCOMPARE(link(), BannerState::Link::kWaiting);
  QCOMPARE(frame->banner()->state().adapter, QString::fromStdString(pty->slavePath));
  // A second and a half of frames, twelve a second.
  QTimer monitor;
  int sent = 0;
  connect(&monitor, &QTimer::timeout, this, [&] {
    std::vector<uint8_t> frameBytes;
    FrameBuilder::Append(frameBytes, SampleWithTach(1000 + sent++, 0), kModel5100, 0);
    pty->WriteAll(frameBytes);
  });
  monitor.start(83);
  QTRY_COMPARE_WITH_TIMEOUT(link(), BannerState::Link::kReceiving, 20000);
  QTRY_VERIFY_WITH_TIMEOUT((link(), frame->banner()->state().framesPerSecond > 0), 20000);
  // A loaded machine fires the sending timer late, never early: the rate shown may be lower
  // than twelve, but it is a rate of frames that arrived.
  const int rate = frame->banner()->state().framesPerSecond;
  QVERIFY2(rate >= 1 && rate <= 18, qPrintable(QString::number(rate)));
  monitor.stop();
  QTRY_COMPARE_WITH_TIMEOUT(link(), BannerState::Link::kQuiet, 20000);
  const QString since = frame->banner()->state().lastFrameTime;
  QVERIFY(QTime::fromString(since, QStringLiteral("HH:mm:ss")).isValid());
  QCOMPARE(BannerText(frame->banner()->state()),
           "No data since " + since + " \u2014 from " + QString::fromStdString(pty->slavePath));
  // The other end hangs up: the device is lost, and the banner waits for it.
  pty.reset();
  QTRY_COMPARE_WITH_TIMEOUT(link(), BannerState::Link::kLost, 20000);
  QCOMPARE(BannerText(frame->banner()->state()),
           QStringLiteral("Device lost \u2014 waiting for it to come back"));
}

// Recording is on from the start, and the recording stays open when the line falls quiet; the
// banner says "recording" only while frames go into it.
void StateBannerTest::SaysRecordingOnlyWhileBytesArrive() {
  Pty pty;
  QVERIFY(!pty.slavePath.empty());
  AppFixture f({"--port", pty.slavePath}, {}, true);
  CMainFrame* frame = f.frame();
  QVERIFY(f.doc()->recorder().enabled());
  const auto state = [frame] {
    frame->RefreshPanes();
    return frame->banner()->state();
  };
  const auto saysRecording = [frame] {
    return BannerText(frame->banner()->state()).contains(QStringLiteral("recording"));
  };
  QCOMPARE(state().link, BannerState::Link::kWaiting);
  QCOMPARE(frame->banner()->state().recording, QString());
  QVERIFY(!saysRecording());
  int sent = 0;
  const auto send = [&](int count) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < count; ++i)
      FrameBuilder::Append(bytes, SampleWithTach(1000 + sent++, 0), kModel5100, 0);
    return pty.WriteAll(bytes);
  };
  for (int burst = 0; burst < 2; ++burst) {
    QVERIFY(send(12));
    QTRY_COMPARE_WITH_TIMEOUT(state().link, BannerState::Link::kReceiving, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!state().recording.isEmpty(), 20000);
    const LiveRecorder::Status recording = f.doc()->recorder().status();
    QVERIFY(recording.recording);
    QVERIFY2(frame->banner()->state().recording.startsWith(
                 QString::fromLocal8Bit(recording.name) + QStringLiteral(" (")),
             qPrintable(frame->banner()->state().recording));
    QVERIFY(saysRecording());
    // The line falls quiet: the recording is still open, but nothing goes into it.
    QTRY_COMPARE_WITH_TIMEOUT(state().link, BannerState::Link::kQuiet, 20000);
    QVERIFY(f.doc()->recorder().status().recording);
    QCOMPARE(frame->banner()->state().recording, QString());
    QVERIFY2(!saysRecording(), qPrintable(BannerText(frame->banner()->state())));
  }
}

void StateBannerTest::ShowsTheImportedFile() {
  TempFolder folder;
  const std::string path = folder / "flight.bin";
  WriteFile(path, Capture(24));
  AppFixture f({path});
  f.frame()->RefreshPanes();
  QCOMPARE(BannerText(f.frame()->banner()->state()),
           QStringLiteral("Showing flight.bin \u2014 live data paused (File > New returns to live "
                          "data)"));
}

void StateBannerTest::LongSentencesAndOffersWrapInsteadOfBeingCut() {
  AppFixture f;
  CMainFrame* frame = f.frame();
  frame->resize(420, 600);
  StatusOffer* offer = frame->modelOffer();
  offer->Offer(QStringLiteral("These readings look like Model 7100, not Model 5100: readings in "
                              "CHT5-6 and EGT5-6"),
               QStringLiteral("Switch to 7100"));
  BannerState state;
  state.link = BannerState::Link::kShowingFile;
  state.file = QStringLiteral("a-long-capture-name-copied-off-the-recorder.bin");
  frame->banner()->Show(state);
  QTRY_VERIFY(frame->banner()->label()->width() < 420);
  for (QLabel* label : {frame->banner()->label(), offer->label()}) {
    QVERIFY(label->wordWrap());
    // Tall enough for every wrapped line at its width.
    QTRY_VERIFY2(label->height() >= label->heightForWidth(label->width()),
                 qPrintable(label->text()));
    QVERIFY(label->heightForWidth(label->width()) > label->fontMetrics().height());
  }
}

void StateBannerTest::ReportsAreHeldWholeUnderTheSentence() {
  AppFixture f;
  QtUserInterface windowUi;
  windowUi.SetParent(f.frame());
  f.doc()->SetUserInterface(&windowUi);
  f.frame()->resize(420, 600);
  const std::string path = f.folder / "m3100.bin";
  WriteFile(path, Capture(300, kModel3100));
  QVERIFY(f.doc()->ImportSerialFile(path));
  QLabel* note = f.frame()->banner()->note();
  QVERIFY(note->isVisible());
  QCOMPARE(note->text(), f.frame()->messagePane()->text());
  QCOMPARE(note->text(),
           QStringLiteral("No frames found in m3100.bin \u2014 is the monitor model right?"));
  QVERIFY(note->wordWrap());
  QTRY_VERIFY(note->height() >= note->heightForWidth(note->width()));
  // File New starts afresh: "Ready" is not repeated in the banner.
  f.doc()->SetUserInterface(&f.ui);
  f.ui.QueueSaveAnswer(SaveAnswer::kNo);
  f.frame()->OnCommand(kIdFileNew);
  QVERIFY(!note->isVisible());
}

// Each state rendered in a window of the default size; with OVIXLOG_SHOTS_DIR set, the
// pictures are kept there for a person to look at.
void StateBannerTest::RendersEveryStateInTheWindow() {
  AppFixture f;
  CMainFrame* frame = f.frame();
  frame->resize(960, 720);
  frame->RefreshPanes();
  const QString folder = qEnvironmentVariable("OVIXLOG_SHOTS_DIR");
  const auto keep = [&folder](QWidget* widget, const QString& name) {
    const QImage image = widget->grab().toImage();
    QVERIFY(!image.isNull());
    if (!folder.isEmpty())
      QVERIFY(image.save(folder + QLatin1Char('/') + name + QStringLiteral(".png")));
  };
  keep(frame, QStringLiteral("window-first-start"));
  using Link = BannerState::Link;
  struct Shot {
    const char* name;
    Link link;
    const char* recording;
  };
  const Shot shots[] = {{"banner-not-connected", Link::kNotConnected, ""},
                        {"banner-receiving", Link::kReceiving,
                         "2026-12-10_07-12-00_ttyUSB0_5100.log (1.2 MB)"},
                        {"banner-no-data", Link::kQuiet, ""},
                        {"banner-device-lost", Link::kLost, ""},
                        {"banner-waiting", Link::kWaiting, ""},
                        {"banner-showing-file", Link::kShowingFile, ""}};
  for (const Shot& shot : shots) {
    BannerState state;
    state.link = shot.link;
    state.adapter = QStringLiteral("FTDI FT232R USB UART (ttyUSB0)");
    state.framesPerSecond = 12;
    state.lastFrameTime = QStringLiteral("21:49:43");
    state.recording = QString::fromLatin1(shot.recording);
    state.file = QStringLiteral("m3100.bin");
    frame->banner()->Show(state);
    keep(frame->banner(), QString::fromLatin1(shot.name));
  }
  frame->modelOffer()->Offer(
      QStringLiteral("These readings look like Model 7100, not Model 5100: readings in CHT5-6 "
                     "and EGT5-6"),
      QStringLiteral("Switch to 7100"));
  frame->layoutOffer()->Offer(
      QStringLiteral("These frames look like Model 3100 (48-byte frames)"),
      QStringLiteral("Switch"));
  QTest::qWait(0);
  keep(frame->banner(), QStringLiteral("banner-with-offers"));
}

}  // namespace ovixlog::test

QTEST_MAIN(ovixlog::test::StateBannerTest)
#include "state_banner_test.moc"
