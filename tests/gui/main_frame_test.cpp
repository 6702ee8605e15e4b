// The main window: menus, shortcuts, marks, bars, status panes, title and About box.
#include <QAction>
#include <QDialog>
#include <QDockWidget>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include "acquisition/demo_log_builder.h"
#include "app/about_dialog.h"
#include "app/command_ids.h"
#include "app/qt_user_interface.h"
#include "gui/gui_fixture.h"

namespace ovixlog::test {
namespace {

QStringList Texts(QMenu* menu) {
  QStringList texts;
  for (QAction* action : menu->actions())
    texts << (action->isSeparator() ? "-" : action->text());
  return texts;
}

QStringList Options(std::initializer_list<const char*> texts) {
  QStringList list;
  for (const char* text : texts)
    list << QString::fromLatin1(text);
  return list;
}

}  // namespace

class MainFrameTest : public QObject {
  Q_OBJECT

 private slots:
  void MenusHaveTheirItemsInOrder();
  void FirstStartFillsMostOfTheScreen();
  void OnlyNewOpenAndSaveHaveShortcuts();
  void CtrlNStartsANewDocument();
  void EditPaneAndOpenKeysDoNothing_data();
  void EditPaneAndOpenKeysDoNothing();
  void CommandsCarryPromptsAndToolTips_data();
  void CommandsCarryPromptsAndToolTips();
  void MessagePaneShowsReadyAndPrompts();
  void MessagePaneShowsWhatAnImportRead();
  void MarksFollowStartupOptions_data();
  void MarksFollowStartupOptions();
  void MarksFollowSettingsCommands_data();
  void MarksFollowSettingsCommands();
  void CancelledPortSwitchKeepsTheMark();
  void MarksFollowTheDocumentWhenAMenuOpens();
  void MarksFollowDemoLogSettings();
  void ImportThroughTheFileMenuFillsTheView();
  void ViewItemsToggleTheBars_data();
  void ViewItemsToggleTheBars();
  void ToolbarHasNewAndSave();
  void AboutBoxTexts();
  void HelpAboutShowsTheBoxModally();
  void TitleNamesTheSavedFile();
  void PortPaneText_data();
  void PortPaneText();
  void PanesWithoutPortOrLockState();
};

void MainFrameTest::FirstStartFillsMostOfTheScreen() {
  AppFixture f;
  const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
  QCOMPARE(f.frame()->size(), QSize(available.width() * 4 / 5, available.height() * 4 / 5));
  // Centred, give or take the rounding of odd sizes and the frame's border.
  QVERIFY((f.frame()->geometry().center() - available.center()).manhattanLength() <= 4);
}

void MainFrameTest::MenusHaveTheirItemsInOrder() {
  AppFixture f;
  QStringList bar;
  for (QAction* action : f.frame()->menuBar()->actions())
    bar << action->text();
  QCOMPARE(bar, Options({"&File", "&View", "&Options", "&Help"}));
  QCOMPARE(Texts(f.frame()->fileMenu()),
           Options({"&New\tCtrl+N", "Connect &Monitor...", "&Open...\tCtrl+O", "Open EFIS DEMO...",
                    "Open Serial File...",
                    "Open &Recording...", "&Save\tCtrl+S", "Save &As...",
                    "Export &Report...", "&Print...", "-", "E&xit"}));
  QCOMPARE(Texts(f.frame()->viewMenu()),
           Options({"&Toolbar", "&Status Bar", "&Charts", "&Flights", "&Lean Test", "Li&brary",
                    "&Trends"}));
  QCOMPARE(Texts(f.frame()->optionsMenu()), Options({"Ovix Model &3100",
                                                     "Ovix Model &5100",
                                                     "Ovix Model &7100",
                                                     "Ovix Model &8100",
                                                     "-",
                                                     "Read Ovix v3.9",
                                                     "-",
                                                     "COM1",
                                                     "COM2",
                                                     "COM3",
                                                     "COM4",
                                                     "COM5",
                                                     "COM6",
                                                     "COM7",
                                                     "COM8",
                                                     "Serial &Port...",
                                                     "-",
                                                     "Keep &All Samples",
                                                     "Show System Time",
                                                     "&Record Live Data",
                                                     "-",
                                                     "Newest First",
                                                     "Oldest First",
                                                     "-",
                                                     "&Limits..."}));
  QCOMPARE(Texts(f.frame()->helpMenu()), Options({"&About OvixLog..."}));
}

void MainFrameTest::OnlyNewOpenAndSaveHaveShortcuts() {
  AppFixture f;
  QMap<QString, QString> shortcuts;
  for (QAction* action : f.frame()->findChildren<QAction*>()) {
    if (!action->shortcut().isEmpty()) {
      shortcuts[action->text()] = action->shortcut().toString(QKeySequence::PortableText);
    }
  }
  QMap<QString, QString> expected;
  expected["&New\tCtrl+N"] = "Ctrl+N";
  expected["&Open...\tCtrl+O"] = "Ctrl+O";
  expected["&Save\tCtrl+S"] = "Ctrl+S";
  QCOMPARE(shortcuts, expected);
}

void MainFrameTest::CtrlNStartsANewDocument() {
  AppFixture f;
  f.frame()->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(f.frame()));
  f.Add(2000);
  f.ui.QueueSaveAnswer(SaveAnswer::kNo);
  QTest::keyClick(f.frame(), Qt::Key_N, Qt::ControlModifier);
  QCOMPARE(f.ui.questions(), std::vector<std::string>{"Save changes to Untitled?"});
  QCOMPARE(f.doc()->SampleCount(), 0);
  QVERIFY(!f.doc()->IsModified());
  // Ctrl+S saves: the save dialog is asked for a name.
  f.ui.QueueSavePath(f.folder / "keys.txt");
  QTest::keyClick(f.frame(), Qt::Key_S, Qt::ControlModifier);
  QCOMPARE(f.ui.saveSuggestions(), std::vector<std::string>{"OvixLog"});
  QCOMPARE(f.frame()->windowTitle(), QString("keys.txt - Ovix Log"));
}

void MainFrameTest::EditPaneAndOpenKeysDoNothing_data() {
  QTest::addColumn<int>("key");
  QTest::addColumn<int>("modifiers");
  QTest::newRow("Ctrl+C") << int(Qt::Key_C) << int(Qt::ControlModifier);
  QTest::newRow("Ctrl+V") << int(Qt::Key_V) << int(Qt::ControlModifier);
  QTest::newRow("Ctrl+X") << int(Qt::Key_X) << int(Qt::ControlModifier);
  QTest::newRow("Shift+Delete") << int(Qt::Key_Delete) << int(Qt::ShiftModifier);
  QTest::newRow("Ctrl+Insert") << int(Qt::Key_Insert) << int(Qt::ControlModifier);
  QTest::newRow("Shift+Insert") << int(Qt::Key_Insert) << int(Qt::ShiftModifier);
  QTest::newRow("F6") << int(Qt::Key_F6) << int(Qt::NoModifier);
  QTest::newRow("Shift+F6") << int(Qt::Key_F6) << int(Qt::ShiftModifier);
}

void MainFrameTest::EditPaneAndOpenKeysDoNothing() {
  QFETCH(int, key);
  QFETCH(int, modifiers);
  AppFixture f;
  f.frame()->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(f.frame()));
  f.Add(2100);
  const QString title = f.frame()->windowTitle();
  QTest::keyClick(f.frame(), static_cast<Qt::Key>(key), Qt::KeyboardModifiers(modifiers));
  QVERIFY(f.ui.calls().empty());
  QCOMPARE(f.doc()->SampleCount(), 1);
  QCOMPARE(f.frame()->windowTitle(), title);
  QVERIFY(f.frame()->isVisible());
  QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void MainFrameTest::CommandsCarryPromptsAndToolTips_data() {
  QTest::addColumn<int>("id");
  QTest::addColumn<QString>("prompt");
  QTest::addColumn<QString>("toolTip");
  QTest::newRow("New") << int(kIdFileNew) << "Create a new document"
                       << "New";
  QTest::newRow("Save") << int(kIdFileSave) << "Save the active document"
                        << "Save";
  QTest::newRow("Save As") << int(kIdFileSaveAs) << "Save the active document with a new name"
                           << "Save As";
  QTest::newRow("Exit") << int(kIdAppExit) << "Quit the application; prompts to save documents"
                        << "Exit";
  QTest::newRow("Open EFIS DEMO") << int(kIdOpenDemoLog) << "Open an EFIS DEMO for Ovix data"
                                  << "Open EFIS DEMO";
  QTest::newRow("Open Serial File")
      << int(kIdOpenSerialFile) << "Open a file containing an Ovix data stream"
      << "Open Serial File";
  QTest::newRow("Toolbar") << int(kIdViewToolbar) << "Show or hide the toolbar"
                           << "Toggle ToolBar";
  QTest::newRow("Status Bar") << int(kIdViewStatusBar) << "Show or hide the status bar"
                              << "Toggle StatusBar";
  QTest::newRow("5100") << int(kIdModel5100)
                        << "Configure for the serial format of an Ovix Model 5100"
                        << "Read from Ovix Model 5100";
  QTest::newRow("3100") << int(kIdModel3100)
                        << "Configure for the serial format of an Ovix Model 3100"
                        << "Read from Ovix Model 3100";
  QTest::newRow("7100") << int(kIdModel7100)
                        << "Configure for the serial format of an Ovix Model 7100"
                        << "Read from Ovix Model 7100";
  QTest::newRow("8100") << int(kIdModel8100)
                        << "Configure for the serial format of an Ovix Model 8100"
                        << "Read from Ovix Model 8100";
  QTest::newRow("v3.9") << int(kIdReadV39)
                        << "Configure for the serial format of an Ovix with version 3.9 software"
                        << "Read from Ovix version 3.9";
  QTest::newRow("COM1") << int(kIdCom1) << "Read data from COM1"
                        << "";
  QTest::newRow("COM5") << int(kIdCom5) << "Read data from COM5"
                        << "";
  QTest::newRow("COM8") << int(kIdCom8) << "Read data from COM8"
                        << "";
  QTest::newRow("keep all") << int(kIdKeepAllSamples)
                            << "Stores all samples instead of one per second"
                            << "";
  QTest::newRow("system time") << int(kIdShowSystemTime)
                               << "Show the current system time with each sample"
                               << "";
  QTest::newRow("newest") << int(kIdNewestFirst) << "Show newest entries first"
                          << "";
  QTest::newRow("oldest") << int(kIdOldestFirst) << "Show oldest entries first"
                          << "";
  QTest::newRow("About") << int(kIdAppAbout)
                         << "Display program information, version number and copyright"
                         << "About";
}

void MainFrameTest::CommandsCarryPromptsAndToolTips() {
  QFETCH(int, id);
  QFETCH(QString, prompt);
  QFETCH(QString, toolTip);
  AppFixture f;
  QAction* action = f.frame()->Action(id);
  QVERIFY(action != nullptr);
  QCOMPARE(action->statusTip(), prompt);
  if (!toolTip.isEmpty())
    QCOMPARE(action->toolTip(), toolTip);
}

void MainFrameTest::MessagePaneShowsReadyAndPrompts() {
  AppFixture f;
  QStatusBar* bar = f.frame()->statusBar();
  QCOMPARE(f.frame()->messagePane()->text(), QString("Ready"));
  QVERIFY(f.frame()->messagePane()->isVisible());
  // What a menu does while the pointer rests on an item.
  QVERIFY(f.frame()->Action(kIdCom3)->showStatusText(f.frame()));
  QCOMPARE(bar->currentMessage(), QString("Read data from COM3"));
  QVERIFY(!f.frame()->messagePane()->isVisible());
  QStatusTipEvent leave(QString{});
  QApplication::sendEvent(f.frame(), &leave);
  QCOMPARE(bar->currentMessage(), QString());
  QVERIFY(f.frame()->messagePane()->isVisible());
}

// The window's user interface puts the document's import report in the message pane, until
// File New starts a new log.
void MainFrameTest::MessagePaneShowsWhatAnImportRead() {
  AppFixture f;
  QtUserInterface windowUi;
  windowUi.SetParent(f.frame());
  f.doc()->SetUserInterface(&windowUi);
  const std::string path = f.folder / "capture.bin";
  std::vector<uint8_t> bytes(7, 0x00);
  const std::vector<uint8_t> frames = Capture(1300);
  bytes.insert(bytes.end(), frames.begin(), frames.end());
  WriteFile(path, bytes);
  QVERIFY(f.doc()->ImportSerialFile(path));
  QCOMPARE(f.frame()->messagePane()->text(),
           QString("Imported 1,300 frames from capture.bin (7 bytes skipped)"));
  WriteFile(path, std::vector<uint8_t>(100, 0x20));
  QVERIFY(f.doc()->ImportSerialFile(path));
  QCOMPARE(f.frame()->messagePane()->text(),
           QString::fromUtf8("No frames found in capture.bin \u2014 is the monitor model right?"));
  f.doc()->SetUserInterface(&f.ui);
  f.ui.QueueSaveAnswer(SaveAnswer::kNo);
  f.frame()->Action(kIdFileNew)->trigger();
  QCOMPARE(f.frame()->messagePane()->text(), QString("Ready"));
}

void MainFrameTest::MarksFollowStartupOptions_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<QStringList>("checked");
  QTest::newRow("none") << QStringList{}
                        << Options(
                               {"Ovix Model &5100", "COM1", "&Record Live Data", "Newest First"});
  QTest::newRow("m 7100") << QStringList{"m", "7100"}
                          << Options(
                                 {"Ovix Model &7100", "COM1", "&Record Live Data", "Newest First"});
  QTest::newRow("-m -8100") << QStringList{"-m", "-8100"}
                            << Options({"Ovix Model &8100", "COM1", "&Record Live Data",
                                        "Newest First"});
  QTest::newRow("6") << QStringList{"6"}
                     << Options({"Ovix Model &5100", "COM6", "&Record Live Data", "Newest First"});
  QTest::newRow("/3") << QStringList{"/3"}
                      << Options({"Ovix Model &5100", "COM3", "&Record Live Data", "Newest First"});
  QTest::newRow("a t oldest") << QStringList{"a", "t", "oldest"}
                              << Options({"Ovix Model &5100", "COM1", "Keep &All Samples",
                                          "Show System Time", "&Record Live Data", "Oldest First"});
  QTest::newRow("m 3100 8 oldest newest")
      << QStringList{"m", "3100", "8", "oldest", "newest"}
      << Options({"Ovix Model &3100", "COM8", "&Record Live Data", "Newest First"});
}

void MainFrameTest::MarksFollowStartupOptions() {
  QFETCH(QStringList, args);
  QFETCH(QStringList, checked);
  std::vector<std::string> argv;
  for (const QString& arg : args)
    argv.push_back(arg.toStdString());
  AppFixture f(argv);
  QVERIFY(!f.code.has_value());
  emit f.frame()->optionsMenu()->aboutToShow();
  QCOMPARE(f.CheckedOptions(), checked);
}

void MainFrameTest::MarksFollowSettingsCommands_data() {
  QTest::addColumn<QList<int>>("commands");
  QTest::addColumn<QStringList>("checked");
  QTest::newRow("3100") << QList<int>{kIdModel3100}
                        << Options(
                               {"Ovix Model &3100", "COM1", "&Record Live Data", "Newest First"});
  QTest::newRow("7100") << QList<int>{kIdModel7100}
                        << Options(
                               {"Ovix Model &7100", "COM1", "&Record Live Data", "Newest First"});
  QTest::newRow("8100 then 5100") << QList<int>{kIdModel8100, kIdModel5100}
                                  << Options({"Ovix Model &5100", "COM1", "&Record Live Data",
                                              "Newest First"});
  QTest::newRow("v3.9") << QList<int>{kIdReadV39}
                        << Options({"Ovix Model &5100", "Read Ovix v3.9", "COM1",
                                    "&Record Live Data", "Newest First"});
  QTest::newRow("v3.9 stays with another model")
      << QList<int>{kIdReadV39, kIdModel3100}
      << Options(
             {"Ovix Model &3100", "Read Ovix v3.9", "COM1", "&Record Live Data", "Newest First"});
  QTest::newRow("v3.9 twice") << QList<int>{kIdReadV39, kIdReadV39}
                              << Options({"Ovix Model &5100", "COM1", "&Record Live Data",
                                          "Newest First"});
  QTest::newRow("COM6") << QList<int>{kIdCom6}
                        << Options(
                               {"Ovix Model &5100", "COM6", "&Record Live Data", "Newest First"});
  QTest::newRow("COM4 then COM8") << QList<int>{kIdCom4, kIdCom8}
                                  << Options({"Ovix Model &5100", "COM8", "&Record Live Data",
                                              "Newest First"});
  QTest::newRow("keep all") << QList<int>{kIdKeepAllSamples}
                            << Options({"Ovix Model &5100", "COM1", "Keep &All Samples",
                                        "&Record Live Data", "Newest First"});
  QTest::newRow("keep all twice") << QList<int>{kIdKeepAllSamples, kIdKeepAllSamples}
                                  << Options({"Ovix Model &5100", "COM1", "&Record Live Data",
                                              "Newest First"});
  QTest::newRow("system time") << QList<int>{kIdShowSystemTime}
                               << Options({"Ovix Model &5100", "COM1", "Show System Time",
                                           "&Record Live Data", "Newest First"});
  QTest::newRow("oldest") << QList<int>{kIdOldestFirst}
                          << Options(
                                 {"Ovix Model &5100", "COM1", "&Record Live Data", "Oldest First"});
  QTest::newRow("oldest then newest")
      << QList<int>{kIdOldestFirst, kIdNewestFirst}
      << Options({"Ovix Model &5100", "COM1", "&Record Live Data", "Newest First"});
  QTest::newRow("newest again") << QList<int>{kIdNewestFirst}
                                << Options({"Ovix Model &5100", "COM1", "&Record Live Data",
                                            "Newest First"});
}

void MainFrameTest::MarksFollowSettingsCommands() {
  QFETCH(QList<int>, commands);
  QFETCH(QStringList, checked);
  AppFixture f;
  for (int id : commands)
    f.frame()->Action(id)->trigger();
  // Marked straight after the command, and again when the menu opens.
  QCOMPARE(f.CheckedOptions(), checked);
  emit f.frame()->optionsMenu()->aboutToShow();
  QCOMPARE(f.CheckedOptions(), checked);
  QVERIFY(f.ui.calls().empty());
}

void MainFrameTest::CancelledPortSwitchKeepsTheMark() {
  AppFixture f;
  f.Add(2200);
  f.ui.QueueSaveAnswer(SaveAnswer::kCancel);
  f.frame()->Action(kIdCom3)->trigger();
  QCOMPARE(f.ui.questions(), std::vector<std::string>{"Save changes to Untitled?"});
  QCOMPARE(f.doc()->commPort.load(), 1);
  QCOMPARE(f.doc()->SampleCount(), 1);
  QCOMPARE(f.CheckedOptions(),
           Options({"Ovix Model &5100", "COM1", "&Record Live Data", "Newest First"}));
}

void MainFrameTest::MarksFollowTheDocumentWhenAMenuOpens() {
  AppFixture f;
  f.doc()->model = kModel8100;
  f.doc()->commPort = 7;
  f.doc()->oldestFirst = 1;
  f.doc()->keepAllSamples = 1;
  emit f.frame()->optionsMenu()->aboutToShow();
  QCOMPARE(f.CheckedOptions(), Options({"Ovix Model &8100", "COM7", "Keep &All Samples",
                                        "&Record Live Data", "Oldest First"}));
}

void MainFrameTest::MarksFollowDemoLogSettings() {
  AppFixture f;
  std::vector<uint8_t> frames;
  for (int i = 0; i < 3; ++i)
    FrameBuilder::Append(frames, SampleWithTach(1500 + i, 0), kModel7100);
  DemoLogBuilder log;
  log.Setting(0, "58=7").Setting(0, "723=1");
  for (int i = 0; i < 3; ++i) {
    const auto begin = frames.begin() + i * kLongFrameLength;
    log.Stream(static_cast<uint32_t>(i) * 1000U,
               std::vector<uint8_t>(begin, begin + kLongFrameLength));
  }
  const std::string path = f.folder / "flight.log";
  WriteFile(path, log.bytes());
  f.ui.QueueOpenPath(path);
  f.frame()->Action(kIdOpenDemoLog)->trigger();
  QCOMPARE(f.ui.errors(), std::vector<ScriptedUserInterface::Message>{});
  QCOMPARE(f.CheckedOptions(), Options({"Ovix Model &7100", "Read Ovix v3.9", "COM1",
                                        "&Record Live Data", "Newest First"}));
  QCOMPARE(f.doc()->SampleCount(), 3);
  QTRY_COMPARE(f.view()->rowsWritten().size(), size_t{5});
}

void MainFrameTest::ImportThroughTheFileMenuFillsTheView() {
  AppFixture f({"a"});  // every sample kept: a capture's frames are 83 ms apart
  f.frame()->flightsDock()->hide();  // the whole height for the table
  const std::string path = f.folder / "capture.bin";
  WriteFile(path, Capture(8));
  f.ui.QueueOpenPath(path);
  f.frame()->Action(kIdOpenSerialFile)->trigger();
  QCOMPARE(f.ui.calls().size(), size_t{1});
  QCOMPARE(f.ui.calls()[0].title, std::string("Open Serial File"));
  QCOMPARE(f.doc()->SampleCount(), 8);
  QTRY_COMPARE(f.view()->rowsWritten().size(), size_t{10});
  std::vector<std::string> rows;
  f.doc()->FormatDisplayRows(0, 10, rows);
  QCOMPARE(f.view()->rowsWritten(), rows);
  QCOMPARE(f.doc()->SampleAt(7).tach, int16_t{1007});
  QCOMPARE(f.view()->verticalMax(), 9);
}

void MainFrameTest::ViewItemsToggleTheBars_data() {
  QTest::addColumn<int>("id");
  QTest::newRow("toolbar") << int(kIdViewToolbar);
  QTest::newRow("status bar") << int(kIdViewStatusBar);
}

void MainFrameTest::ViewItemsToggleTheBars() {
  QFETCH(int, id);
  AppFixture f;
  QWidget* bar = id == kIdViewToolbar ? static_cast<QWidget*>(f.frame()->toolBar())
                                      : static_cast<QWidget*>(f.frame()->statusBar());
  QAction* item = f.frame()->Action(id);
  emit f.frame()->viewMenu()->aboutToShow();
  QVERIFY(item->isCheckable());
  QVERIFY(item->isChecked());
  QVERIFY(bar->isVisible());
  item->trigger();
  QVERIFY(!bar->isVisible());
  QVERIFY(!item->isChecked());
  emit f.frame()->viewMenu()->aboutToShow();
  QVERIFY(!item->isChecked());
  item->trigger();
  QVERIFY(bar->isVisible());
  QVERIFY(item->isChecked());
}

void MainFrameTest::ToolbarHasNewAndSave() {
  AppFixture f;
  QToolBar* bar = f.frame()->toolBar();
  QCOMPARE(bar->actions().size(), 4);
  QCOMPARE(bar->actions()[0], f.frame()->Action(kIdFileNew));
  QCOMPARE(bar->actions()[1], f.frame()->Action(kIdFileSave));
  QVERIFY(bar->actions()[2]->isSeparator());
  QCOMPARE(bar->actions()[3], f.frame()->Action(kIdConnectMonitor));
  QCOMPARE(bar->actions()[0]->toolTip(), QString("New"));
  QCOMPARE(bar->actions()[1]->toolTip(), QString("Save"));
  QCOMPARE(bar->actions()[0]->icon().pixmap(16).size(), QSize(16, 16));
  QCOMPARE(bar->actions()[1]->icon().pixmap(16).size(), QSize(16, 16));
  QVERIFY(bar->isMovable());
  QVERIFY(bar->isFloatable());
  QCOMPARE(bar->allowedAreas(), Qt::AllToolBarAreas);
  QCOMPARE(f.frame()->toolBarArea(bar), Qt::TopToolBarArea);
  QCOMPARE(f.frame()->windowIcon().pixmap(32).size(), QSize(32, 32));
}

void MainFrameTest::AboutBoxTexts() {
  AboutDialog about;
  QCOMPARE(about.windowTitle(), QString("About OvixLog"));
  QCOMPARE(about.releaseLabel()->text(), QString("OvixLog release 11 (2015-03-09)"));
  QCOMPARE(about.releaseLabel()->textFormat(), Qt::PlainText);
  QVERIFY(about.copyrightLabel()->text().startsWith("Copyright"));
  QCOMPARE(about.okButton()->text(), QString("OK"));
  QVERIFY(about.okButton()->isDefault());
  QCOMPARE(about.findChildren<QPushButton*>().size(), 1);
}

void MainFrameTest::HelpAboutShowsTheBoxModally() {
  AppFixture f;
  QString caption;
  QStringList labels;
  QTimer::singleShot(0, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr)
      return;
    caption = modal->windowTitle();
    for (QLabel* label : modal->findChildren<QLabel*>())
      labels << label->text();
    QTest::keyClick(modal, Qt::Key_Return);  // the default button
  });
  f.frame()->Action(kIdAppAbout)->trigger();
  QCOMPARE(caption, QString("About OvixLog"));
  QCOMPARE(labels, (QStringList{AboutDialog::kReleaseText, AboutDialog::kCopyrightText}));
  QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void MainFrameTest::TitleNamesTheSavedFile() {
  AppFixture f;
  QCOMPARE(f.frame()->windowTitle(), QString("Untitled - Ovix Log"));
  f.Add(2300);
  f.Add(2310);
  const std::string path = f.folder / "flight.txt";
  f.ui.QueueSavePath(path);
  f.frame()->Action(kIdFileSave)->trigger();
  QCOMPARE(f.frame()->windowTitle(), QString("flight.txt - Ovix Log"));
  QCOMPARE(ReadWholeFile(path), f.Table());
  // Save As asks again, proposing the current name.
  const std::string other = f.folder / "second.txt";
  f.ui.QueueSavePath(other);
  f.frame()->Action(kIdFileSaveAs)->trigger();
  QCOMPARE(f.ui.saveSuggestions(), (std::vector<std::string>{"OvixLog", "flight.txt"}));
  QCOMPARE(f.frame()->windowTitle(), QString("second.txt - Ovix Log"));
  // File New goes back to an untitled document.
  f.frame()->Action(kIdFileNew)->trigger();
  QCOMPARE(f.frame()->windowTitle(), QString("Untitled - Ovix Log"));
}

void MainFrameTest::PortPaneText_data() {
  QTest::addColumn<QString>("port");
  QTest::addColumn<bool>("open");
  QTest::addColumn<QString>("error");
  QTest::addColumn<int>("accepted");
  QTest::addColumn<int>("dropped");
  QTest::addColumn<bool>("receiving");
  QTest::addColumn<QString>("text");
  QTest::newRow("receiving") << "COM1:" << true << "" << 123 << 0 << true
                             << QString::fromUtf8(
                                    "COM1 /dev/ttyS0 \u2014 receiving 123 frames, 0 dropped");
  QTest::newRow("one frame") << "COM1:" << true << "" << 1 << 2 << true
                             << QString::fromUtf8(
                                    "COM1 /dev/ttyS0 \u2014 receiving 1 frame, 2 dropped");
  QTest::newRow("quiet") << "COM1:" << true << "" << 123 << 0 << false
                         << QString::fromUtf8("COM1 /dev/ttyS0 \u2014 no data");
  QTest::newRow("error") << "COM1:" << false
                         << "Permission denied: add your user to the dialout group" << 0 << 0
                         << false
                         << QString::fromUtf8(
                                "COM1 /dev/ttyS0 \u2014 Permission denied: add "
                                "your user to the dialout group");
  QTest::newRow("closed") << "COM1:" << false << "" << 0 << 0 << false
                          << QString::fromUtf8("COM1 /dev/ttyS0 \u2014 closed");
  QTest::newRow("no port") << "" << false << "" << 0 << 0 << false << "No port";
}

void MainFrameTest::PortPaneText() {
  QFETCH(QString, port);
  QFETCH(bool, open);
  QFETCH(QString, error);
  QFETCH(int, accepted);
  QFETCH(int, dropped);
  QFETCH(bool, receiving);
  QFETCH(QString, text);
  SerialStatus status;
  status.portName = port.toStdString();
  status.devicePath = "/dev/ttyS0";
  status.open = open;
  status.lastError = error.toStdString();
  status.framesAccepted = static_cast<uint64_t>(accepted);
  status.framesDropped = static_cast<uint64_t>(dropped);
  QCOMPARE(ovixlog::PortPaneText(status, receiving), text);
}

void MainFrameTest::PanesWithoutPortOrLockState() {
  AppFixture f;
  QCOMPARE(f.frame()->portPane()->text(), QString("No port"));
  // The offscreen platform cannot tell the lock states: the panes stay disabled.
  QCOMPARE(f.frame()->capsPane()->text(), QString("CAP"));
  QCOMPARE(f.frame()->numPane()->text(), QString("NUM"));
  QCOMPARE(f.frame()->scrollPane()->text(), QString("SCRL"));
  QVERIFY(!f.frame()->capsPane()->isEnabled());
  QVERIFY(!f.frame()->numPane()->isEnabled());
  QVERIFY(!f.frame()->scrollPane()->isEnabled());
}

}  // namespace ovixlog::test

QTEST_MAIN(ovixlog::test::MainFrameTest)
#include "main_frame_test.moc"
