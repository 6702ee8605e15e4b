// Plug and play: the device picker, the port menu's device names, the offer of a device that
// was plugged in, and the hint at a better frame layout while frames arrive.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "acquisition/port_bindings.h"
#include "app/command_ids.h"
#include "app/kept_settings.h"
#include "app/serial_port_dialog.h"
#include "app/status_offer.h"
#include "gui/gui_fixture.h"
#include "support/fake_system.h"

namespace ovixlog::test {
namespace {

// Two adapters, one with a stable name, and one built-in port.
void Populate(FakeSystem& system) {
  system.AddUsb("ttyUSB0", "1-2", "FTDI", "FT232R USB UART", "A12345");
  system.AddById("usb-FTDI_FT232R_USB_UART_A12345-if00-port0", "ttyUSB0");
  system.AddUsb("ttyACM0", "1-3", "", "", "");
  system.AddBuiltIn("ttyS0", 4);
}

const char* const kById = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0";

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

QString KeptDevice(int port) {
  QSettings kept(KeptSettings::FilePath(), QSettings::IniFormat);
  return kept.value(QStringLiteral("devices/COM%1").arg(port)).toString();
}

// Writes one frame of `model` to the line every 83 ms, as a monitor does.
class Monitor {
 public:
  Monitor(const Pty& pty, EngineModel model, int32_t alt) {
    QObject::connect(&timer_, &QTimer::timeout, [&pty, model, alt, this] {
      std::vector<uint8_t> frame;
      FrameBuilder::Append(frame, SampleWithTach(1000 + sent_++, 0), model, alt);
      pty.WriteAll(frame);
    });
    timer_.start(83);
  }

 private:
  QTimer timer_;
  int sent_ = 0;
};

}  // namespace

class DevicesTest : public QObject {
  Q_OBJECT

 private slots:
  void PickerListsTheDevicesStableNamesFirst();
  void PickerBindsTheCurrentPortAndKeepsIt();
  void CancelledSaveQuestionKeepsTheOldDevice();
  void PortMenuNamesTheBoundDevice();
  void PluggedInDeviceIsOfferedWhileNoneIsBound();
  void LayoutHint_data();
  void LayoutHint();
};

void DevicesTest::PickerListsTheDevicesStableNamesFirst() {
  FakeSystem system;
  Populate(system);
  ::unsetenv("OVIXLOG_COM2");
  SerialPortDialog dialog(2, ListSerialDevices(system.path()), "/dev/ttyACM0");
  QCOMPARE(dialog.windowTitle(), QStringLiteral("Serial Port for COM2"));
  QCOMPARE(Rows(dialog.list()),
           QStringList({"usb-FTDI_FT232R_USB_UART_A12345-if00-port0|FTDI|FT232R USB "
                        "UART|A12345|ttyUSB0",
                        "/dev/ttyACM0||||ttyACM0", "/dev/ttyS0||||ttyS0"}));
  QCOMPARE(dialog.list()->currentItem()->text(4), QStringLiteral("ttyACM0"));
  QCOMPARE(dialog.useButton()->text(), QStringLiteral("Use for COM2"));
  QCOMPARE(dialog.chosenPath(), std::string("/dev/ttyACM0"));
  // Choosing a row puts its path in the field; a typed path is taken as typed, trimmed.
  dialog.list()->setCurrentItem(dialog.list()->topLevelItem(0));
  QCOMPARE(dialog.chosenPath(), std::string(kById));
  dialog.pathEdit()->setText(QStringLiteral("  /dev/ttyUSB7 "));
  QCOMPARE(dialog.chosenPath(), std::string("/dev/ttyUSB7"));
  const QStringList labels = [&] {
    QStringList texts;
    for (QLabel* label : dialog.findChildren<QLabel*>())
      texts << label->text();
    return texts;
  }();
  QCOMPARE(labels,
           QStringList({"Serial devices on this computer:", "Device path (empty: /dev/ttyS1):"}));
}

void DevicesTest::PickerBindsTheCurrentPortAndKeepsIt() {
  FakeSystem system;
  Populate(system);
  AppFixture f({"3"});
  f.frame()->SetDeviceRoot(system.path());
  QTimer::singleShot(0, [] {
    auto* dialog = qobject_cast<SerialPortDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr)
      return;
    dialog->list()->setCurrentItem(dialog->list()->topLevelItem(0));
    dialog->useButton()->click();
  });
  f.frame()->Action(kIdSerialPortDialog)->trigger();
  QVERIFY(QApplication::activeModalWidget() == nullptr);
  QCOMPARE(BoundDevice(3), std::string(kById));
  QCOMPARE(KeptDevice(3), QString::fromLatin1(kById));
  QCOMPARE(f.frame()->Action(kIdCom3)->text(),
           QStringLiteral("COM3 \u2014 FTDI FT232R USB UART (ttyUSB0)"));
  QCOMPARE(f.frame()->Action(kIdCom3)->isChecked(), true);

  // An empty path gives the port back to its default device.
  QTimer::singleShot(0, [] {
    auto* dialog = qobject_cast<SerialPortDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr)
      return;
    dialog->pathEdit()->clear();
    dialog->useButton()->click();
  });
  f.frame()->Action(kIdSerialPortDialog)->trigger();
  QCOMPARE(BoundDevice(3), std::string());
  QCOMPARE(KeptDevice(3), QString());
  QCOMPARE(f.frame()->Action(kIdCom3)->text(), QStringLiteral("COM3"));
}

void DevicesTest::CancelledSaveQuestionKeepsTheOldDevice() {
  AppFixture f;
  BindPort(1, "/dev/ttyUSB0");
  f.Add(2300);
  f.ui.QueueSaveAnswer(SaveAnswer::kCancel);
  QCOMPARE(f.frame()->BindCurrentPort("/dev/ttyUSB5"), false);
  QCOMPARE(BoundDevice(1), std::string("/dev/ttyUSB0"));
  QCOMPARE(KeptDevice(1), QString());
  QCOMPARE(f.doc()->SampleCount(), 1);
  // Answered No, the log is dropped and the new device bound.
  f.ui.QueueSaveAnswer(SaveAnswer::kNo);
  QCOMPARE(f.frame()->BindCurrentPort("/dev/ttyUSB5"), true);
  QCOMPARE(BoundDevice(1), std::string("/dev/ttyUSB5"));
  QCOMPARE(KeptDevice(1), QStringLiteral("/dev/ttyUSB5"));
  QCOMPARE(f.doc()->SampleCount(), 0);
  QCOMPARE(f.ui.questions().size(), size_t{2});
}

void DevicesTest::PortMenuNamesTheBoundDevice() {
  FakeSystem system;
  Populate(system);
  const std::vector<SerialDevice> devices = ListSerialDevices(system.path());
  struct Case {
    std::string bound;
    QString text;
  };
  const Case cases[] = {
      {"", "COM4"},
      {kById, "COM4 \u2014 FTDI FT232R USB UART (ttyUSB0)"},
      {"/dev/ttyUSB0", "COM4 \u2014 FTDI FT232R USB UART (ttyUSB0)"},
      {"/dev/ttyACM0", "COM4 \u2014 USB serial adapter (ttyACM0)"},
      {"/dev/ttyS0", "COM4 \u2014 Serial port (ttyS0)"},
      {"/dev/serial/by-id/usb-Gone-if00-port0", "COM4 \u2014 usb-Gone-if00-port0 (not connected)"},
      {system.path() + "/dev/ttyUSB0",
       "COM4 \u2014 " + QString::fromStdString(system.path()) + "/dev/ttyUSB0"},
  };
  for (const Case& c : cases)
    QCOMPARE(PortMenuText(4, c.bound, devices), c.text);
}

void DevicesTest::PluggedInDeviceIsOfferedWhileNoneIsBound() {
  FakeSystem system;
  system.AddUsb("ttyUSB0", "1-2", "FTDI", "FT232R USB UART", "A1");
  ::unsetenv("OVIXLOG_COM1");
  AppFixture f;
  CMainFrame* frame = f.frame();
  frame->SetDeviceRoot(system.path());
  frame->PollDevices();  // what is there at the start is not offered
  QCOMPARE(frame->deviceOffer()->offered(), false);

  system.AddUsb("ttyUSB1", "1-3", "Prolific", "USB-Serial Controller", "");
  system.AddById("usb-Prolific_USB-Serial_Controller-if00-port0", "ttyUSB1");
  frame->PollDevices();
  QCOMPARE(frame->deviceOffer()->offered(), true);
  QCOMPARE(frame->deviceOffer()->label()->text(),
           QStringLiteral("USB serial adapter connected: ttyUSB1"));
  QCOMPARE(frame->deviceOffer()->button()->text(), QStringLiteral("Use for COM1"));

  // Pulled out again before anyone clicked: the offer goes.
  system.Remove("ttyUSB1");
  frame->PollDevices();
  QCOMPARE(frame->deviceOffer()->offered(), false);

  system.AddUsb("ttyUSB1", "1-3", "Prolific", "USB-Serial Controller", "");
  frame->PollDevices();
  QVERIFY(frame->deviceOffer()->offered());
  frame->deviceOffer()->button()->click();
  QCOMPARE(frame->deviceOffer()->offered(), false);
  QCOMPARE(BoundDevice(1),
           std::string("/dev/serial/by-id/usb-Prolific_USB-Serial_Controller-if00-port0"));
  QCOMPARE(KeptDevice(1),
           QStringLiteral("/dev/serial/by-id/usb-Prolific_USB-Serial_Controller-if00-port0"));

  // With a device bound, a new one is not offered.
  system.AddUsb("ttyUSB2", "1-4", "", "", "");
  frame->PollDevices();
  QCOMPARE(frame->deviceOffer()->offered(), false);
}

void DevicesTest::LayoutHint_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<int>("sentModel");
  QTest::addColumn<int>("sentAlt");
  QTest::addColumn<QString>("hint");  // empty: none
  QTest::addColumn<QStringList>("afterSwitch");
  QTest::newRow("5100 read as 3100")
      << QStringList{"m", "3100"} << int(kModel5100) << 0
      << "These frames look like a long-layout model (73-byte frames)"
      << QStringList{"Ovix Model &5100", "COM1", "&Record Live Data", "Newest First"};
  QTest::newRow("5100 read as v3.9")
      << QStringList{"--v39"} << int(kModel5100) << 0
      << "These frames look like a long-layout model (73-byte frames)"
      << QStringList{"Ovix Model &5100", "COM1", "&Record Live Data", "Newest First"};
  QTest::newRow("v3.9 read as 7100")
      << QStringList{"m", "7100"} << int(kModel5100) << 1
      << "These frames look like Model 5100 with v3.9 software (77-byte frames)"
      << QStringList{"Ovix Model &5100", "Read Ovix v3.9", "COM1", "&Record Live Data",
                     "Newest First"};
  QTest::newRow("5100 read right") << QStringList{} << int(kModel5100) << 0 << "" << QStringList{};
}

void DevicesTest::LayoutHint() {
  QFETCH(QStringList, args);
  QFETCH(int, sentModel);
  QFETCH(int, sentAlt);
  QFETCH(QString, hint);
  QFETCH(QStringList, afterSwitch);
  Pty pty;
  QVERIFY(!pty.slavePath.empty());
  std::vector<std::string> argv = {"--port", pty.slavePath};
  for (const QString& arg : args)
    argv.push_back(arg.toStdString());
  AppFixture f(argv, {}, true);
  QVERIFY(f.doc()->PortStatus().open);
  Monitor monitor(pty, sentModel, sentAlt);
  StatusOffer* offer = f.frame()->layoutOffer();
  if (hint.isEmpty()) {
    // Four seconds of frames: the first window has been judged, and nothing is offered.
    QTRY_VERIFY_WITH_TIMEOUT(f.doc()->PortStatus().framesAccepted >= 48, 20000);
    f.frame()->RefreshPanes();
    QCOMPARE(offer->offered(), false);
    QCOMPARE(f.doc()->PortStatus().suggestedLayout.has_value(), false);
    return;
  }
  QTRY_VERIFY_WITH_TIMEOUT(offer->offered(), 20000);
  QCOMPARE(f.doc()->PortStatus().framesAccepted, uint64_t{0});
  QCOMPARE(offer->label()->text(), hint);
  QCOMPARE(offer->button()->text(), QStringLiteral("Switch"));
  offer->button()->click();
  QCOMPARE(offer->offered(), false);
  // COM1 reads the pseudo-terminal for this run, and says so.
  afterSwitch.replace(afterSwitch.indexOf("COM1"),
                      QStringLiteral("COM1 \u2014 ") + QString::fromStdString(pty.slavePath));
  QCOMPARE(f.CheckedOptions(), afterSwitch);
  // The frames are read from now on, and the offer stays away.
  QTRY_VERIFY_WITH_TIMEOUT(f.doc()->PortStatus().framesAccepted >= 3, 20000);
  f.frame()->RefreshPanes();
  QCOMPARE(offer->offered(), false);
}

}  // namespace ovixlog::test

QTEST_MAIN(ovixlog::test::DevicesTest)
#include "devices_test.moc"
