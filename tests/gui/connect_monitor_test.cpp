// File > Connect Monitor...: the adapters by what they say they are and their stable names,
// following the plugging; the model; the live check before OK; and the placeholder that shows
// the way at a first start with nothing connected.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

#include "acquisition/frame_builder.h"
#include "app/command_ids.h"
#include "app/connect_monitor_dialog.h"
#include "gui/gui_fixture.h"
#include "support/fake_system.h"
#include "view/chart_view.h"

namespace ovixlog::test {
namespace {

QStringList Rows(QTreeWidget* list) {
  QStringList rows;
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    QStringList cells;
    for (int c = 0; c < list->columnCount(); ++c)
      cells << list->topLevelItem(i)->text(c);
    rows << cells.join(QLatin1Char('|'));
  }
  return rows;
}

const char* const kById = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0";

}  // namespace

class ConnectMonitorTest : public QObject {
  Q_OBJECT

 private slots:
  void OnTheFileMenuAndTheToolbar();
  void CheckText_data();
  void CheckText();
  void ListsAdaptersAndFollowsThePlugging();
  void ChecksTheLineTheWindowReads();
  void ConnectBindsThePortAndSetsTheModel();
  void PlaceholderShowsTheWayAtAFirstStart();
};

void ConnectMonitorTest::OnTheFileMenuAndTheToolbar() {
  AppFixture f;
  QAction* action = f.frame()->Action(kIdConnectMonitor);
  QVERIFY(action != nullptr);
  QCOMPARE(f.frame()->fileMenu()->actions().at(1), action);
  QCOMPARE(action->text(), QStringLiteral("Connect &Monitor..."));
  QVERIFY(f.frame()->toolBar()->actions().contains(action));
  QCOMPARE(action->toolTip(), QStringLiteral("Connect Monitor"));
  // The port items stay as they were.
  QCOMPARE(f.frame()->Action(kIdCom1)->text(), QStringLiteral("COM1"));
}

void ConnectMonitorTest::CheckText_data() {
  QTest::addColumn<bool>("open");
  QTest::addColumn<QString>("error");
  QTest::addColumn<bool>("receiving");
  QTest::addColumn<int>("suggested");  // -1 none
  QTest::addColumn<QString>("text");
  QTest::newRow("missing") << false << "No such device" << false << -1
                           << "Cannot read it: No such device";
  QTest::newRow("closed") << false << "" << false << -1 << "Not open";
  QTest::newRow("quiet") << true << "" << false << -1
                         << "No data \u2014 is the monitor on and its cable in?";
  QTest::newRow("receiving") << true << "" << true << -1 << "Receiving \u2014 24 frames so far";
  QTest::newRow("other layout")
      << true << "" << false << int(FrameFormat::kShort)
      << "Data arrives, but it looks like Model 3100 (48-byte frames)";
  QTest::newRow("same layout") << true << "" << true << int(FrameFormat::kLong)
                               << "Receiving \u2014 24 frames so far";
}

void ConnectMonitorTest::CheckText() {
  QFETCH(bool, open);
  QFETCH(QString, error);
  QFETCH(bool, receiving);
  QFETCH(int, suggested);
  QFETCH(QString, text);
  SerialStatus status;
  status.open = open;
  status.lastError = error.toStdString();
  status.framesAccepted = 24;
  if (suggested >= 0)
    status.suggestedLayout = static_cast<FrameFormat>(suggested);
  QCOMPARE(ConnectCheckText(status, receiving, FrameFormat::kLong), text);
}

void ConnectMonitorTest::ListsAdaptersAndFollowsThePlugging() {
  FakeSystem system;
  system.AddBuiltIn("ttyS0", 4);
  ConnectMonitorDialog dialog(system.path(), std::string(), kModel7100, 0, {});
  QCOMPARE(Rows(dialog.list()), QStringList{"Serial port|/dev/ttyS0|"});
  QCOMPARE(dialog.modelBox()->currentText(), QStringLiteral("Model 7100"));
  system.AddUsb("ttyUSB0", "1-2", "FTDI", "FT232R USB UART", "A12345");
  system.AddById("usb-FTDI_FT232R_USB_UART_A12345-if00-port0", "ttyUSB0");
  dialog.RefreshDevices();
  QCOMPARE(Rows(dialog.list()),
           QStringList({"FTDI FT232R USB UART|/dev/ttyUSB0|usb-FTDI_FT232R_USB_UART_A12345-if00-port0",
                        "Serial port|/dev/ttyS0|"}));
  dialog.list()->setCurrentItem(dialog.list()->topLevelItem(0));
  QCOMPARE(dialog.chosenPath(), std::string(kById));
  // The device is not really there to open: the check says so in words.
  QVERIFY(dialog.checkLabel()->text().startsWith(QStringLiteral("Cannot read it: ")));
  system.Remove("ttyUSB0");
  std::filesystem::remove(system.path() + "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0");
  dialog.RefreshDevices();
  QCOMPARE(Rows(dialog.list()), QStringList{"Serial port|/dev/ttyS0|"});
  QCOMPARE(dialog.chosenPath(), std::string("/dev/ttyS0"));
  system.Remove("ttyS0");
  dialog.RefreshDevices();
  QCOMPARE(dialog.list()->topLevelItemCount(), 0);
  QVERIFY(!dialog.okButton()->isEnabled());
  QVERIFY(dialog.checkLabel()->text().startsWith(QStringLiteral("No adapter found")));
}

void ConnectMonitorTest::ChecksTheLineTheWindowReads() {
  Pty pty;
  QVERIFY(!pty.slavePath.empty());
  AppFixture f({"--port", pty.slavePath}, {}, true);
  QVERIFY(f.doc()->PortStatus().open);
  FakeSystem system;
  ConnectMonitorDialog dialog(system.path(), pty.slavePath, kModel5100, 0,
                              [&f] { return f.doc()->PortStatus(); });
  QCOMPARE(Rows(dialog.list()), QStringList{"The line read now|" +
                                            QString::fromStdString(pty.slavePath) + "|"});
  QCOMPARE(dialog.checkLabel()->text(),
           QStringLiteral("No data \u2014 is the monitor on and its cable in?"));
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 6; ++i)
    FrameBuilder::Append(bytes, SampleWithTach(1000 + i, 0), kModel5100, 0);
  QVERIFY(pty.WriteAll(bytes));
  QTRY_COMPARE_WITH_TIMEOUT(dialog.checkLabel()->text(),
                            QStringLiteral("Receiving \u2014 6 frames so far"), 20000);
  QVERIFY(dialog.okButton()->isEnabled());
  // With OVIXLOG_SHOTS_DIR set, the dialog as it stands is kept there for a person to see.
  const QString folder = qEnvironmentVariable("OVIXLOG_SHOTS_DIR");
  if (!folder.isEmpty()) {
    system.AddUsb("ttyUSB0", "1-2", "FTDI", "FT232R USB UART", "A12345");
    system.AddById("usb-FTDI_FT232R_USB_UART_A12345-if00-port0", "ttyUSB0");
    system.AddBuiltIn("ttyS0", 4);
    dialog.RefreshDevices();
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(dialog.grab().toImage().save(folder + QStringLiteral("/connect-monitor.png")));
  }
}

void ConnectMonitorTest::ConnectBindsThePortAndSetsTheModel() {
  Pty pty;
  QVERIFY(!pty.slavePath.empty());
  FakeSystem system;
  system.AddUsb("ttyUSB0", "1-2", "FTDI", "FT232R USB UART", "A12345");
  system.AddById("usb-FTDI_FT232R_USB_UART_A12345-if00-port0", "ttyUSB0");
  AppFixture f({"2"});
  f.frame()->SetDeviceRoot(system.path());
  f.doc()->SetPortsEnabled(true);
  BindPort(2, pty.slavePath);
  f.doc()->OnPort(2);
  QTRY_VERIFY(f.doc()->PortStatus().open);
  QStringList rows;
  QTimer::singleShot(0, [&rows] {
    auto* dialog = qobject_cast<ConnectMonitorDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr)
      return;
    rows = Rows(dialog->list());
    // The line read now is chosen at first; the user picks the adapter and the model.
    dialog->list()->setCurrentItem(dialog->list()->topLevelItem(1));
    dialog->modelBox()->setCurrentIndex(3);  // Model 7100
    dialog->okButton()->click();
  });
  f.frame()->Action(kIdConnectMonitor)->trigger();
  QVERIFY(QApplication::activeModalWidget() == nullptr);
  QCOMPARE(rows, QStringList({"The line read now|" + QString::fromStdString(pty.slavePath) + "|",
                              "FTDI FT232R USB UART|/dev/ttyUSB0|"
                              "usb-FTDI_FT232R_USB_UART_A12345-if00-port0"}));
  QCOMPARE(f.doc()->model.load(), kModel7100);
  QCOMPARE(f.doc()->commPort.load(), 2);
  QCOMPARE(BoundDevice(2), std::string(kById));
  QVERIFY(f.frame()->Action(kIdModel7100)->isChecked());
}

void ConnectMonitorTest::PlaceholderShowsTheWayAtAFirstStart() {
  AppFixture f;
  CMainFrame* frame = f.frame();
  frame->RefreshPanes();
  QFrame* placeholder = frame->connectPlaceholder();
  QVERIFY(placeholder->isVisible());
  QCOMPARE(placeholder->geometry(), frame->charts()->rect());
  QList<QPushButton*> buttons = placeholder->findChildren<QPushButton*>();
  QCOMPARE(buttons.size(), 1);
  QCOMPARE(buttons[0]->text(), QStringLiteral("Connect Monitor..."));
  // Once there is something to draw, the charts show it.
  f.Add(1000);
  frame->RefreshPanes();
  QVERIFY(!placeholder->isVisible());
}

}  // namespace ovixlog::test

QTEST_MAIN(ovixlog::test::ConnectMonitorTest)
#include "connect_monitor_test.moc"
