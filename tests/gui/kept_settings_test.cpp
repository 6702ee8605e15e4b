// The choices kept between runs: what one run keeps is what the next one starts with, the
// command line overrides them for its run without writing them, and each COMn keeps its device.
#include <QSettings>
#include <QSplitter>
#include <QTest>
#include <QToolBar>

#include <map>
#include <set>

#include "acquisition/demo_log_builder.h"
#include "acquisition/port_bindings.h"
#include "app/command_ids.h"
#include "app/kept_settings.h"
#include "gui/gui_fixture.h"
#include "chart/chart_channel.h"
#include "view/chart_view.h"

namespace ovixlog::test {
namespace {

QStringList List(std::initializer_list<const char*> texts) {
  QStringList list;
  for (const char* text : texts)
    list << QString::fromLatin1(text);
  return list;
}

// The keys and values of the settings file, "key=value" sorted, the window's and the chart
// pane's keys left out.
QStringList KeptChoices() {
  QSettings kept(KeptSettings::FilePath(), QSettings::IniFormat);
  QStringList choices;
  for (const QString& key : kept.allKeys()) {
    if (!key.startsWith(QLatin1String("window/")) && !key.startsWith(QLatin1String("charts/")))
      choices << key + QLatin1Char('=') + kept.value(key).toString();
  }
  choices.sort();
  return choices;
}

}  // namespace

class KeptSettingsTest : public QObject {
  Q_OBJECT

 private slots:
  void MenuChoicesAreKeptForTheNextRun_data();
  void MenuChoicesAreKeptForTheNextRun();
  void CommandLineOverridesWithoutWriting_data();
  void CommandLineOverridesWithoutWriting();
  void ImportedSettingsAreNotKept();
  void WindowGeometryIsKept();
  void ChartChoicesAreKept();
  void BadValuesAreIgnored();
  void DevicesOfThePorts();
  void SettingsFileLivesInTheConfigFolder();
};

void KeptSettingsTest::MenuChoicesAreKeptForTheNextRun_data() {
  QTest::addColumn<QList<int>>("commands");
  QTest::addColumn<QStringList>("file");     // what the first run keeps
  QTest::addColumn<QStringList>("checked");  // the Options marks of the second run
  QTest::newRow("nothing chosen") << QList<int>{} << QStringList{}
                                  << List({"Ovix Model &5100", "COM1", "&Record Live Data",
                                           "Newest First"});
  QTest::newRow("model") << QList<int>{kIdModel3100} << List({"options/model=3100"})
                         << List({"Ovix Model &3100", "COM1", "&Record Live Data", "Newest First"});
  QTest::newRow("model chosen twice, back to the first")
      << QList<int>{kIdModel8100, kIdModel5100} << List({"options/model=5100"})
      << List({"Ovix Model &5100", "COM1", "&Record Live Data", "Newest First"});
  QTest::newRow("v3.9 and port") << QList<int>{kIdReadV39, kIdCom4}
                                 << List({"options/port=4", "options/v39=true"})
                                 << List({"Ovix Model &5100", "Read Ovix v3.9", "COM4",
                                          "&Record Live Data", "Newest First"});
  QTest::newRow("switches and order")
      << QList<int>{kIdKeepAllSamples, kIdShowSystemTime, kIdOldestFirst}
      << List(
             {"options/keepAllSamples=true", "options/order=oldest", "options/showSystemTime=true"})
      << List({"Ovix Model &5100", "COM1", "Keep &All Samples", "Show System Time",
               "&Record Live Data", "Oldest First"});
  QTest::newRow("recording off") << QList<int>{kIdRecordLiveData}
                                 << List({"options/recordLiveData=false"})
                                 << List({"Ovix Model &5100", "COM1", "Newest First"});
  QTest::newRow("switched on and off again")
      << QList<int>{kIdKeepAllSamples, kIdKeepAllSamples, kIdOldestFirst, kIdNewestFirst}
      << List({"options/keepAllSamples=false", "options/order=newest"})
      << List({"Ovix Model &5100", "COM1", "&Record Live Data", "Newest First"});
}

void KeptSettingsTest::MenuChoicesAreKeptForTheNextRun() {
  QFETCH(QList<int>, commands);
  QFETCH(QStringList, file);
  QFETCH(QStringList, checked);
  TempFolder config;
  {
    AppFixture first({}, {}, false, config.path());
    for (int id : commands)
      first.frame()->OnCommand(id);
    QCOMPARE(KeptChoices(), file);
    QVERIFY(first.frame()->close());
  }
  AppFixture second({}, {}, false, config.path());
  QCOMPARE(second.CheckedOptions(), checked);
  QCOMPARE(KeptChoices(), file);
}

void KeptSettingsTest::CommandLineOverridesWithoutWriting_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<QStringList>("during");  // the marks of the run with the command line
  QTest::newRow("model") << List({"m", "7100"})
                         << List({"Ovix Model &7100", "COM2", "Keep &All Samples",
                                  "&Record Live Data", "Oldest First"});
  QTest::newRow("port, v3.9 and time")
      << List({"6", "--v39", "t"})
      << List({"Ovix Model &3100", "Read Ovix v3.9", "COM6", "Keep &All Samples",
               "Show System Time", "&Record Live Data", "Oldest First"});
  QTest::newRow("no recording") << List({"--no-record"})
                                << List({"Ovix Model &3100", "COM2", "Keep &All Samples",
                                         "Oldest First"});
  QTest::newRow("order") << List({"newest"})
                         << List({"Ovix Model &3100", "COM2", "Keep &All Samples",
                                  "&Record Live Data", "Newest First"});
}

void KeptSettingsTest::CommandLineOverridesWithoutWriting() {
  QFETCH(QStringList, args);
  QFETCH(QStringList, during);
  TempFolder config;
  // Read the file between the runs, too.
  ConfigHome home(config.path());
  const QStringList kept = List({"options/keepAllSamples=true", "options/model=3100",
                                 "options/order=oldest", "options/port=2"});
  const QStringList keptMarks =
      List({"Ovix Model &3100", "COM2", "Keep &All Samples", "&Record Live Data", "Oldest First"});
  {
    AppFixture first({}, {}, false, config.path());
    for (int id : {kIdModel3100, kIdCom2, kIdKeepAllSamples, kIdOldestFirst})
      first.frame()->OnCommand(id);
    QVERIFY(first.frame()->close());
  }
  QCOMPARE(KeptChoices(), kept);
  {
    std::vector<std::string> argv;
    for (const QString& arg : args)
      argv.push_back(arg.toStdString());
    AppFixture overridden(argv, {}, false, config.path());
    QCOMPARE(overridden.CheckedOptions(), during);
    QVERIFY(overridden.frame()->close());
  }
  QCOMPARE(KeptChoices(), kept);
  AppFixture third({}, {}, false, config.path());
  QCOMPARE(third.CheckedOptions(), keptMarks);
}

void KeptSettingsTest::ImportedSettingsAreNotKept() {
  AppFixture f;
  // A demo log's settings choose the 7100 and v3.9 for this file; the user chose nothing.
  DemoLogBuilder log;
  log.Setting(0, "58=7").Setting(0, "723=1");
  const std::string path = f.folder / "flight.log";
  WriteFile(path, log.bytes());
  f.ui.QueueOpenPath(path);
  f.frame()->Action(kIdOpenDemoLog)->trigger();
  QCOMPARE(f.CheckedOptions(), List({"Ovix Model &7100", "Read Ovix v3.9", "COM1",
                                     "&Record Live Data", "Newest First"}));
  QCOMPARE(KeptChoices(), QStringList{});
  // A menu choice afterwards keeps only itself, not the file's model.
  f.frame()->OnCommand(kIdShowSystemTime);
  QCOMPARE(KeptChoices(), List({"options/showSystemTime=true"}));
}

void KeptSettingsTest::WindowGeometryIsKept() {
  TempFolder config;
  {
    AppFixture first({}, {}, false, config.path());
    first.frame()->resize(700, 480);
    first.frame()->OnCommand(kIdViewToolbar);
    QVERIFY(first.frame()->close());
  }
  AppFixture second({}, {}, false, config.path());
  QCOMPARE(second.frame()->size(), QSize(700, 480));
  QVERIFY(second.frame()->toolBar()->isHidden());
  QCOMPARE(second.frame()->Action(kIdViewToolbar)->isChecked(), false);
}

void KeptSettingsTest::ChartChoicesAreKept() {
  TempFolder config;
  QList<int> sizes;
  {
    AppFixture first({}, {}, false, config.path());
    first.frame()->resize(800, 600);
    first.frame()->splitter()->setSizes({150, 350});
    sizes = first.frame()->splitter()->sizes();
    first.frame()->charts()->SetOtherChannels({kChannelOilT, kChannelVolt});
    // The legend's choices of two models.
    first.frame()->charts()->ToggleSeries(ChartView::kEgtPlot, kChannelEgt1 + 1);
    first.frame()->OnCommand(kIdModel8100);
    first.frame()->charts()->SoloSeries(ChartView::kChtPlot, kChannelCht1 + 2);
    first.frame()->OnCommand(kIdModel5100);
    QVERIFY(first.frame()->close());
  }
  {
    AppFixture second({}, {}, false, config.path());
    QCOMPARE(second.frame()->splitter()->sizes(), sizes);
    QCOMPARE(second.frame()->charts()->otherChannels(),
             (std::vector<int>{kChannelOilT, kChannelVolt}));
    QCOMPARE(second.frame()->charts()->HiddenSeries(ChartView::kEgtPlot),
             std::set<int>{kChannelEgt1 + 1});
    QCOMPARE(second.frame()->charts()->HiddenSeries(ChartView::kChtPlot), std::set<int>{});
    const std::map<int32_t, std::set<int>> hidden{
        {kModel5100, {kChannelEgt1 + 1}}, {kModel8100, {kChannelCht1, kChannelCht1 + 1}}};
    QCOMPARE(second.frame()->charts()->HiddenByModel(), hidden);
    QVERIFY(!second.frame()->charts()->isHidden());
    second.frame()->OnCommand(kIdViewCharts);
    QVERIFY(second.frame()->close());
  }
  AppFixture third({}, {}, false, config.path());
  QVERIFY(third.frame()->charts()->isHidden());
  QCOMPARE(third.frame()->Action(kIdViewCharts)->isChecked(), false);
}

void KeptSettingsTest::BadValuesAreIgnored() {
  TempFolder config;
  ConfigHome home(config.path());
  {
    QSettings kept(KeptSettings::FilePath(), QSettings::IniFormat);
    kept.setValue("options/model", 4100);
    kept.setValue("options/port", 9);
    kept.setValue("options/v39", "maybe");
    kept.setValue("options/keepAllSamples", 1);
    kept.setValue("options/order", "sideways");
    kept.setValue("options/showSystemTime", true);
  }
  StartupSettings settings;
  settings.model = kModel7100;
  settings.commPort = 3;
  settings.oldestFirst = 1;
  KeptSettings::LoadInto(settings);
  StartupSettings expected;
  expected.model = kModel7100;
  expected.commPort = 3;
  expected.oldestFirst = 1;
  expected.showSystemTime = 1;
  QCOMPARE(settings == expected, true);
}

void KeptSettingsTest::DevicesOfThePorts() {
  TempFolder config;
  ::unsetenv("OVIXLOG_COM2");
  ::unsetenv("OVIXLOG_COM3");
  {
    ConfigHome home(config.path());
    KeptSettings::StoreBinding(2, "/dev/serial/by-id/usb-Kept-if00-port0");
    KeptSettings::StoreBinding(3, "/dev/ttyACM7");
    KeptSettings::StoreBinding(3, "");
    QCOMPARE(KeptChoices(), List({"devices/COM2=/dev/serial/by-id/usb-Kept-if00-port0"}));
  }
  {
    AppFixture f({}, {}, false, config.path());
    QCOMPARE(SerialReader::DevicePathFor("COM2:"),
             std::string("/dev/serial/by-id/usb-Kept-if00-port0"));
    QCOMPARE(SerialReader::DevicePathFor("COM3:"), std::string("/dev/ttyS2"));
  }
  {
    // The variable is given for this run, so it wins over the kept device.
    ::setenv("OVIXLOG_COM2", "/dev/ttyUSB9", 1);
    AppFixture f({}, {}, false, config.path());
    QCOMPARE(SerialReader::DevicePathFor("COM2:"), std::string("/dev/ttyUSB9"));
    ::unsetenv("OVIXLOG_COM2");
  }
  {
    // --port binds the chosen port for this run only; the kept devices stay as they were.
    AppFixture f({"2", "--port", "/dev/ttyUSB4"}, {}, false, config.path());
    QCOMPARE(f.code.has_value(), false);
    QCOMPARE(SerialReader::DevicePathFor("COM2:"), std::string("/dev/ttyUSB4"));
    QVERIFY(f.frame()->close());
    QCOMPARE(KeptChoices(), List({"devices/COM2=/dev/serial/by-id/usb-Kept-if00-port0"}));
  }
  AppFixture f({"--port"}, {}, false, config.path());
  QCOMPARE(f.code, std::optional<int>(1));
}

void KeptSettingsTest::SettingsFileLivesInTheConfigFolder() {
  {
    ConfigHome home("/srv/config");
    QCOMPARE(KeptSettings::FilePath(), QStringLiteral("/srv/config/OvixLog/OvixLog.conf"));
  }
  const char* saved = std::getenv("HOME");
  const std::string home = saved != nullptr ? saved : "";
  ::setenv("HOME", "/home/pilot", 1);
  {
    ConfigHome unset("");
    QCOMPARE(KeptSettings::FilePath(), QStringLiteral("/home/pilot/.config/OvixLog/OvixLog.conf"));
  }
  ::setenv("HOME", home.c_str(), 1);
}

}  // namespace ovixlog::test

QTEST_MAIN(ovixlog::test::KeptSettingsTest)
#include "kept_settings_test.moc"
