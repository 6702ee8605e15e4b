// Start-up and closing: the command line's outcomes, the program's exit status, the file named
// on the command line, the save question on closing and the silent save to the output file.
#include <signal.h>
#include <sys/ioctl.h>

#include <QProcess>
#include <QDockWidget>
#include <QTest>

#include <filesystem>
#include <fstream>

#include "acquisition/demo_log_builder.h"
#include "app/command_ids.h"
#include "app/termination_signals.h"
#include "reading/demo_log_parser.h"
#include "framework/command_line_info.h"
#include "gui/gui_fixture.h"

namespace ovixlog::test {

class AppTest : public QObject {
  Q_OBJECT

 private slots:
  void CommandLineOutcomes_data();
  void CommandLineOutcomes();
  void ProgramExitStatus_data();
  void ProgramExitStatus();
  void StartupFileIsImported_data();
  void StartupFileIsImported();
  void FailedStartupImportEndsWithStatusOne();
  void ClosingAModifiedDocumentAsks_data();
  void ClosingAModifiedDocumentAsks();
  void ClosingAnUnmodifiedDocumentAsksNothing();
  void OutputFileIsSavedSilentlyOnClose();
  void TerminationSignalClosesThroughTheSaveQuestion();
  void FailedSilentSaveKeepsTheWindowUntilASecondSignal();
  void ProgramKeepsTheOutputFileWhenNothingWasRecorded_data();
  void ProgramKeepsTheOutputFileWhenNothingWasRecorded();
  void ProgramStaysUpAfterAFailedSilentSaveOnSignal();
  void ProgramReadsAPortThatAppearsLater();
  void FileNewAsksThenClears();
};

namespace {

// Whether process `pid` has a handler for `signal` (the SigCgt mask of /proc/PID/status).
bool CatchesSignal(qint64 pid, int signal) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("SigCgt:", 0) == 0) {
      const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
      return ((mask >> (signal - 1)) & 1U) != 0;
    }
  }
  return false;
}

// The window program on the offscreen platform, its port on a device that does not exist, its
// kept settings and recordings in `home`.
void StartProgram(QProcess& program, const TempFolder& home, const QStringList& args,
                  const std::string& port = std::string()) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("OVIXLOG_COM1", QString::fromStdString(port.empty() ? home / "no-such-port" : port));
  env.insert("XDG_CONFIG_HOME", QString::fromStdString(home / "config"));
  env.insert("XDG_DATA_HOME", QString::fromStdString(home / "data"));
  env.insert("OVIXLOG_RECORDINGS", QString::fromStdString(home / "recordings"));
  program.setProcessEnvironment(env);
  program.start(OVIXLOG_EXE, args);
  QVERIFY(program.waitForStarted(30000));
}

// The stream bytes of every live recording in `folder`.
size_t RecordedStreamBytes(const std::string& folder) {
  struct Counter : DemoLogParser::Listener {
    void OnStreamBytes(uint32_t, const uint8_t*, size_t count) override { bytes += count; }
    void OnSetting(int, int) override {}
    size_t bytes = 0;
  } counter;
  for (const std::string& name : TempFolder::EntriesOf(folder)) {
    const std::string bytes = ReadWholeFile(folder + "/" + name);
    DemoLogParser parser(counter);
    parser.Parse(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    parser.Finish();
  }
  return counter.bytes;
}

}  // namespace

void AppTest::CommandLineOutcomes_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<int>("code");  // -1: the program goes on
  QTest::addColumn<QString>("out");
  QTest::addColumn<QString>("err");
  QTest::addColumn<QString>("file");
  const QString usage = QString::fromStdString(UsageText());
  QTest::newRow("nothing") << QStringList{} << -1 << ""
                           << ""
                           << "";
  QTest::newRow("--help") << QStringList{"--help"} << 0 << usage << ""
                          << "";
  QTest::newRow("-h after options") << QStringList{"5", "-h"} << 0 << usage << ""
                                    << "";
  QTest::newRow("--version") << QStringList{"--version"} << 0 << "OvixLog release 11 (2015-03-09)\n"
                             << ""
                             << "";
  QTest::newRow("unknown flag") << QStringList{"-x"} << 2 << ""
                                << "ovixlog: unknown option -x\n" + usage << "";
  QTest::newRow("o without a file") << QStringList{"o"} << 1 << ""
                                    << "ovixlog: the option o needs the name of the output "
                                       "file after it\n"
                                    << "";
  QTest::newRow("file to import") << QStringList{"6", "flight.log"} << -1 << ""
                                  << ""
                                  << "flight.log";
  QTest::newRow("o takes the first name") << QStringList{"o", "out.txt", "in.bin"} << -1 << ""
                                          << ""
                                          << "in.bin";
}

void AppTest::CommandLineOutcomes() {
  QFETCH(QStringList, args);
  QFETCH(int, code);
  QFETCH(QString, out);
  QFETCH(QString, err);
  QFETCH(QString, file);
  TheStartupSettings() = StartupSettings{};
  std::vector<std::string> argv;
  for (const QString& arg : args)
    argv.push_back(arg.toStdString());
  std::ostringstream outText;
  std::ostringstream errText;
  std::string fileToImport = "unchanged";
  const std::optional<int> result =
      COvixLogApp::ReadCommandLine(argv, outText, errText, &fileToImport);
  QCOMPARE(result.value_or(-1), code);
  QCOMPARE(QString::fromStdString(outText.str()), out);
  QCOMPARE(QString::fromStdString(errText.str()), err);
  if (code == -1)
    QCOMPARE(QString::fromStdString(fileToImport), file);
  TheStartupSettings() = StartupSettings{};
}

void AppTest::ProgramExitStatus_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<int>("status");
  QTest::addColumn<QString>("out");
  QTest::newRow("--help") << QStringList{"--help"} << 0 << QString::fromStdString(UsageText());
  QTest::newRow("--version") << QStringList{"--version"} << 0
                             << "OvixLog release 11 (2015-03-09)\n";
  QTest::newRow("usage error") << QStringList{"--bogus"} << 2 << "";
  QTest::newRow("o at the end") << QStringList{"3", "o"} << 1 << "";
}

void AppTest::ProgramExitStatus() {
  QFETCH(QStringList, args);
  QFETCH(int, status);
  QFETCH(QString, out);
  QProcess program;
  // No display at all: these outcomes must not need one.
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("DISPLAY");
  env.remove("WAYLAND_DISPLAY");
  env.remove("QT_QPA_PLATFORM");
  program.setProcessEnvironment(env);
  program.start(OVIXLOG_EXE, args);
  QVERIFY(program.waitForFinished(60000));
  QCOMPARE(program.exitStatus(), QProcess::NormalExit);
  QCOMPARE(program.exitCode(), status);
  QCOMPARE(QString::fromLocal8Bit(program.readAllStandardOutput()), out);
}

void AppTest::StartupFileIsImported_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<int>("samples");
  QTest::newRow("serial capture") << "capture.bin" << 6;
  QTest::newRow("demo log, upper-case suffix") << "FLIGHT.LOG" << 4;
}

void AppTest::StartupFileIsImported() {
  QFETCH(QString, name);
  QFETCH(int, samples);
  TempFolder folder;
  const std::string path = folder / name.toStdString();
  if (name.endsWith(".bin")) {
    WriteFile(path, Capture(samples));
  } else {
    DemoLogBuilder log;
    for (int i = 0; i < samples; ++i) {
      std::vector<uint8_t> frame;
      FrameBuilder::Append(frame, SampleWithTach(1200 + i, 0), kModel5100);
      log.Stream(static_cast<uint32_t>(i) * 1000U, frame);
    }
    WriteFile(path, log.bytes());
  }
  AppFixture f({"a", path});
  QVERIFY(!f.code.has_value());
  f.frame()->flightsDock()->hide();  // the whole height for the table
  QTRY_COMPARE(f.doc()->SampleCount(), samples);
  QVERIFY(f.ui.calls().empty());  // no dialog
  QTRY_COMPARE(f.view()->rowsWritten().size(), static_cast<size_t>(samples + 2));
  std::vector<std::string> rows;
  f.doc()->FormatDisplayRows(0, samples + 2, rows);
  QCOMPARE(f.view()->rowsWritten(), rows);
  QVERIFY(f.frame()->isVisible());
  QCOMPARE(f.app->exitCode(), 0);
  // The title names the file shown.
  QCOMPARE(f.frame()->windowTitle(), name + " - Ovix Log");
}

void AppTest::FailedStartupImportEndsWithStatusOne() {
  TempFolder folder;
  const std::string path = folder / "missing.bin";
  AppFixture f({path});
  QTRY_COMPARE(f.ui.errors().size(), size_t{1});
  QCOMPARE(f.ui.errors()[0], (ScriptedUserInterface::Message{
                                 "Unable to Open File",
                                 "Unable to open file: " + path + " (No such file or directory)"}));
  QTRY_VERIFY(!f.frame()->isVisible());
  QCOMPARE(f.app->exitCode(), 1);
  QCOMPARE(f.app->Run(), 1);
}

void AppTest::ClosingAModifiedDocumentAsks_data() {
  QTest::addColumn<int>("answer");
  QTest::addColumn<bool>("closes");
  QTest::addColumn<bool>("saves");
  QTest::newRow("Cancel keeps the window") << int(SaveAnswer::kCancel) << false << false;
  QTest::newRow("No closes without saving") << int(SaveAnswer::kNo) << true << false;
  QTest::newRow("Yes saves, then closes") << int(SaveAnswer::kYes) << true << true;
}

void AppTest::ClosingAModifiedDocumentAsks() {
  QFETCH(int, answer);
  QFETCH(bool, closes);
  QFETCH(bool, saves);
  AppFixture f;
  f.Add(2500);
  f.Add(2600);
  const std::string table = f.Table();
  const std::string path = f.folder / "closing.txt";
  f.ui.QueueSaveAnswer(static_cast<SaveAnswer>(answer));
  f.ui.QueueSavePath(path);
  QCOMPARE(f.frame()->close(), closes);
  QCOMPARE(f.ui.questions(), std::vector<std::string>{"Save changes to Untitled?"});
  QCOMPARE(f.frame()->isVisible(), !closes);
  QCOMPARE(std::filesystem::exists(path), saves);
  if (saves)
    QCOMPARE(ReadWholeFile(path), table);
  f.app->ExitInstance();
  QVERIFY(f.app->document() == nullptr);
}

void AppTest::ClosingAnUnmodifiedDocumentAsksNothing() {
  AppFixture f;
  QVERIFY(f.frame()->close());
  QVERIFY(f.ui.calls().empty());
}

void AppTest::OutputFileIsSavedSilentlyOnClose() {
  TempFolder folder;
  const std::string path = folder / "auto.txt";
  AppFixture f({"o", path});
  f.Add(2700);
  f.Add(2800);
  const std::string table = f.Table();
  QVERIFY(f.frame()->close());
  QVERIFY(f.ui.calls().empty());
  QCOMPARE(ReadWholeFile(path), table);
}

void AppTest::TerminationSignalClosesThroughTheSaveQuestion() {
  AppFixture f;
  QVERIFY(CloseOnTerminationSignals(f.frame()));
  f.Add(2900);
  f.ui.QueueSaveAnswer(SaveAnswer::kCancel);
  ::raise(SIGTERM);
  QTRY_COMPARE(f.ui.questions().size(), size_t{1});
  QVERIFY(f.frame()->isVisible());  // Cancel keeps it open
  f.ui.QueueSaveAnswer(SaveAnswer::kNo);
  ::raise(SIGHUP);
  QTRY_VERIFY(!f.frame()->isVisible());
  QCOMPARE(f.ui.questions().size(), size_t{2});
}

void AppTest::FailedSilentSaveKeepsTheWindowUntilASecondSignal() {
  TempFolder folder;
  const std::string out = folder / "missing/out.csv";
  AppFixture f({"o", out});
  QVERIFY(CloseOnTerminationSignals(f.frame()));
  f.Add(2900);
  f.Add(3000);
  ::raise(SIGTERM);
  QTRY_COMPARE(f.ui.errors().size(), size_t{1});
  QCOMPARE(f.ui.errors()[0],
           (ScriptedUserInterface::Message{"Save Failed", "Unable to write CSV file: " + out +
                                                              " (No such file or directory)"}));
  QVERIFY(f.frame()->isVisible());
  QCOMPARE(f.doc()->SampleCount(), 2);
  QVERIFY(f.doc()->IsModified());
  // Commands that would save first keep the log as well.
  f.frame()->Action(kIdFileNew)->trigger();
  f.frame()->Action(kIdCom5)->trigger();
  QCOMPARE(f.doc()->SampleCount(), 2);
  QCOMPARE(f.doc()->commPort.load(), 1);
  QCOMPARE(f.ui.errors().size(), size_t{3});
  ::raise(SIGTERM);
  QTRY_VERIFY(!f.frame()->isVisible());
  QCOMPARE(f.ui.errors().size(), size_t{3});  // the second signal does not try again
  QCOMPARE(f.app->Run(), 1);
}

void AppTest::ProgramKeepsTheOutputFileWhenNothingWasRecorded_data() {
  QTest::addColumn<bool>("failedImport");
  QTest::newRow("quit at once") << false;
  QTest::newRow("start-up import that fails") << true;
}

void AppTest::ProgramKeepsTheOutputFileWhenNothingWasRecorded() {
  QFETCH(bool, failedImport);
  TempFolder folder;
  const std::string previous = folder / "prev.csv";
  std::string earlier;
  for (int i = 0; i < 629; ++i)
    earlier += "an earlier flight's row " + std::to_string(i) + "\r\n";
  WriteWholeFile(previous, earlier);
  QStringList args{"o", QString::fromStdString(previous)};
  if (failedImport)
    args << QString::fromStdString(folder / "missing.bin");
  QProcess program;
  TempFolder home;
  StartProgram(program, home, args);
  QTRY_VERIFY_WITH_TIMEOUT(CatchesSignal(program.processId(), SIGTERM), 30000);
  if (failedImport) {
    // The import's error box waits for an answer that the signal stands in for.
    QByteArray err;
    const QByteArray error =
        QByteArray::fromStdString("ovixlog: Unable to open file: " + (folder / "missing.bin") +
                                  " (No such file or directory)\n");
    QTRY_VERIFY_WITH_TIMEOUT((err += program.readAllStandardError()).contains(error), 30000);
  }
  ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
  QVERIFY(program.waitForFinished(60000));
  QCOMPARE(program.exitStatus(), QProcess::NormalExit);
  QCOMPARE(program.exitCode(), failedImport ? 1 : 0);
  QCOMPARE(ReadWholeFile(previous), earlier);
  QCOMPARE(folder.Entries(), std::vector<std::string>{"prev.csv"});
}

void AppTest::ProgramStaysUpAfterAFailedSilentSaveOnSignal() {
  TempFolder folder;
  const std::string capture = folder / "capture.bin";
  WriteFile(capture, Capture(24));
  QProcess program;
  TempFolder home;
  StartProgram(program, home,
               {"a", "o", QString::fromStdString(folder / "missing/out.csv"),
                QString::fromStdString(capture)});
  // The start-up import is queued before the handler exists, so it runs before any signal.
  QTRY_VERIFY_WITH_TIMEOUT(CatchesSignal(program.processId(), SIGTERM), 30000);
  ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
  // The error box stays open, unanswered, and the program with it.
  QByteArray err;
  const QByteArray error = QByteArray::fromStdString(
      "ovixlog: Unable to write CSV file: " + (folder / "missing/out.csv") +
      " (No such file or directory)\n");
  QTRY_VERIFY_WITH_TIMEOUT((err += program.readAllStandardError()).contains(error), 30000);
  QCOMPARE(program.state(), QProcess::Running);
  ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
  QVERIFY(program.waitForFinished(60000));
  QCOMPARE(program.exitStatus(), QProcess::NormalExit);
  QCOMPARE(program.exitCode(), 1);
  QCOMPARE(folder.Entries(), (std::vector<std::string>{"capture.bin"}));
}

// The adapter is plugged in after the window started: the port is opened when it appears and
// the flight is recorded.
void AppTest::ProgramReadsAPortThatAppearsLater() {
  TempFolder folder;
  TempFolder home;
  Pty pty;
  QVERIFY(pty.slave >= 0);
  const std::string later = home / "ttyUSB-later";
  const std::string out = folder / "out.csv";
  QProcess program;
  StartProgram(program, home, {"a", "o", QString::fromStdString(out)}, later);
  QTRY_VERIFY_WITH_TIMEOUT(CatchesSignal(program.processId(), SIGTERM), 30000);
  QCOMPARE(::symlink(pty.slavePath.c_str(), later.c_str()), 0);
  // The reader claims the line (TIOCEXCL) as the last step of opening it.
  const auto exclusive = [&pty] {
    int on = 0;
    return ::ioctl(pty.slave, TIOCGEXCL, &on) == 0 && on == 1;
  };
  QTRY_VERIFY_WITH_TIMEOUT(exclusive(), 30000);
  const std::vector<uint8_t> frames = Capture(24);
  QVERIFY(pty.WriteAll(frames));
  // Read once the live recording holds every byte: the reading pass that hands the bytes to
  // the recording also frames them.
  QTRY_COMPARE_WITH_TIMEOUT(RecordedStreamBytes(home / "recordings"), frames.size(), 30000);
  ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
  QVERIFY(program.waitForFinished(60000));
  QCOMPARE(program.exitCode(), 0);

  // The same frames imported give the rows expected, apart from the stamps the line gave them.
  StartupSettings settings;
  settings.keepAllSamples = 1;
  ScriptedUserInterface ui;
  COvixLogDoc expected(&ui, settings);
  expected.SetPortsEnabled(false);
  expected.OnNewDocument();
  WriteFile(folder / "capture.bin", frames);
  QVERIFY(expected.ImportSerialFile(folder / "capture.bin"));
  std::string table;
  expected.WriteRows(true, [&table](std::string_view row) {
    table.append(row);
    return true;
  });
  const std::string saved = ReadWholeFile(out);
  QCOMPARE(saved, table);
}

void AppTest::FileNewAsksThenClears() {
  AppFixture f({"oldest"});
  f.Add(3000);
  f.view()->OnVScroll(COvixLogView::ScrollRequest::kThumbPosition, 1);
  f.ui.QueueSaveAnswer(SaveAnswer::kNo);
  f.frame()->Action(kIdFileNew)->trigger();
  QCOMPARE(f.ui.questions(), std::vector<std::string>{"Save changes to Untitled?"});
  QCOMPARE(f.doc()->SampleCount(), 0);
  QCOMPARE(f.doc()->oldestFirst.load(), 1);  // settings survive a new document
  QCOMPARE(f.view()->verticalMax(), 1);
  f.view()->OnVScroll(COvixLogView::ScrollRequest::kTop);
  QTRY_COMPARE(f.view()->rowsWritten().size(), size_t{2});
}

}  // namespace ovixlog::test

QTEST_MAIN(ovixlog::test::AppTest)
#include "app_test.moc"
