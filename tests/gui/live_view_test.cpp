// Live data on pseudo-terminals: frames written to the line show in the window, and switching
// ports or closing while a line runs at full speed never hangs.
#include <stdlib.h>

#include <QLabel>
#include <QTest>

#include <atomic>
#include <thread>

#include "app/command_ids.h"
#include "gui/gui_fixture.h"

namespace ovixlog::test {

class LiveViewTest : public QObject {
  Q_OBJECT

 private slots:
  void StreamedFramesShowInTheView();
  void PortSwitchWhileStreamingNeverHangs();
};

void LiveViewTest::StreamedFramesShowInTheView() {
  Pty line;
  QVERIFY(!line.slavePath.empty());
  ::setenv("OVIXLOG_COM1", line.slavePath.c_str(), 1);
  AppFixture f({"a"}, {}, /*ports=*/true);
  QTRY_VERIFY_WITH_TIMEOUT(f.doc()->PortStatus().open, 10000);

  constexpr int kFrames = 40;
  QVERIFY(line.WriteAll(Capture(kFrames)));
  QTRY_COMPARE_WITH_TIMEOUT(f.doc()->SampleCount(), kFrames, 20000);
  QCOMPARE(f.doc()->SampleAt(kFrames - 1).tach, int16_t{1000 + kFrames - 1});
  // Newest first: the last frame on the line is the first sample row.
  QTRY_COMPARE_WITH_TIMEOUT(f.view()->knownRowCount(), kFrames + 2, 20000);
  std::vector<std::string> rows;
  QTRY_VERIFY_WITH_TIMEOUT(
      (f.doc()->FormatDisplayRows(0, static_cast<int>(f.view()->rowsWritten().size()), rows),
       f.view()->rowsWritten() == rows && rows.size() > 3),
      20000);
  std::string newest;
  f.doc()->FormatDisplayRow(2, newest);
  QCOMPARE(f.view()->rowsWritten()[2], newest);
  QTRY_COMPARE_WITH_TIMEOUT(f.frame()->portPane()->text(),
                            QString::fromUtf8("COM1 %1 \u2014 receiving %2 frames, 0 dropped")
                                .arg(QString::fromStdString(line.slavePath))
                                .arg(kFrames),
                            10000);
  f.app->ExitInstance();
  ::unsetenv("OVIXLOG_COM1");
}

void LiveViewTest::PortSwitchWhileStreamingNeverHangs() {
  Pty one;
  Pty two;
  QVERIFY(!one.slavePath.empty() && !two.slavePath.empty());
  ::setenv("OVIXLOG_COM1", one.slavePath.c_str(), 1);
  ::setenv("OVIXLOG_COM2", two.slavePath.c_str(), 1);
  AppFixture f({"a"}, {}, /*ports=*/true);

  // Both lines run as fast as they take bytes, whichever port is open.
  std::atomic<bool> stop{false};
  const std::vector<uint8_t> burst = Capture(64);
  std::thread writer([&] {
    while (!stop.load()) {
      for (const Pty* line : {&one, &two}) {
        const ssize_t n = ::write(line->master, burst.data(), burst.size());
        (void)n;  // a full line (EAGAIN) just waits for the next round
      }
      pollfd room[2] = {{one.master, POLLOUT, 0}, {two.master, POLLOUT, 0}};
      ::poll(room, 2, 50);
    }
  });

  constexpr int kSwitches = 50;
  for (int i = 0; i < kSwitches; ++i) {
    const int port = i % 2 == 0 ? 2 : 1;
    f.ui.QueueSaveAnswer(SaveAnswer::kNo);
    f.frame()->Action(CommandOfPort(port))->trigger();
    QCOMPARE(f.doc()->commPort.load(), port);
    QCOMPARE(f.CheckedOptions().contains(QStringLiteral("COM%1").arg(port)), true);
    // Let the samples of the new port reach the window before the next switch.
    QTRY_VERIFY_WITH_TIMEOUT(f.doc()->SampleCount() > 0, 20000);
  }
  QTRY_VERIFY_WITH_TIMEOUT(f.view()->knownRowCount() > 2, 20000);
  // Closing while the line still runs at full speed: the reader is stopped and joined.
  f.app->ExitInstance();
  stop = true;
  writer.join();
  QVERIFY(f.app->document() == nullptr);
  ::unsetenv("OVIXLOG_COM1");
  ::unsetenv("OVIXLOG_COM2");
}

}  // namespace ovixlog::test

QTEST_MAIN(ovixlog::test::LiveViewTest)
#include "live_view_test.moc"
