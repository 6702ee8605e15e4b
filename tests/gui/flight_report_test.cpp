// The flight report: rendered to PDF from the simulator's lean-test flight, its pages, paper
// size and text read back with poppler's pdfinfo and pdftotext; a folder that is not there;
// File > Export Report in the window; and ovixlog-convert --report without a window.
#include <QPrinter>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "acquisition/frame_builder.h"
#include "analysis/lean_test_curves.h"
#include "analysis/summary_writer.h"
#include "app/report_controller.h"
#include "gui/gui_fixture.h"
#include "ovixlog-sim/flight_generator.h"
#include "ovixlog-sim/recording_writer.h"
#include "ovixlog-sim/scenario.h"
#include "recording/live_recorder.h"
#include "support/temp_folder.h"
#include "view/flight_report.h"

namespace ovixlog::test {

namespace {

constexpr int kFramesPerSecond = sim::FlightGenerator::kFramesPerSecond;

// A scenario's flight once through, every frame.
std::vector<EngineSample> LeanTestFrames(sim::Scenario scenario = sim::Scenario::kLeanTest) {
  sim::FlightGenerator flight(kModel5100, 1, scenario);
  std::vector<EngineSample> frames;
  const int count = flight.ScenarioSeconds() * kFramesPerSecond;
  for (int i = 0; i < count; ++i)
    frames.push_back(flight.Next());
  return frames;
}

// One sample a second, stamped.
std::vector<EngineSample> LeanTestSeconds(sim::Scenario scenario = sim::Scenario::kLeanTest) {
  std::vector<EngineSample> seconds;
  const std::vector<EngineSample> frames = LeanTestFrames(scenario);
  for (size_t i = 0; i < frames.size(); i += kFramesPerSecond) {
    EngineSample s = frames[i];
    s.tickMs = static_cast<uint32_t>(i / kFramesPerSecond * 1000);
    seconds.push_back(s);
  }
  return seconds;
}

// What a program printed on standard output.
std::string Run(const std::string& command) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr)
    return out;
  char buffer[4096];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
    out.append(buffer, n);
  ::pclose(pipe);
  return out;
}

std::string InfoLine(const std::string& pdf, const std::string& key) {
  const std::string info = Run("pdfinfo '" + pdf + "'");
  const size_t at = info.find(key + ":");
  if (at == std::string::npos)
    return std::string();
  size_t start = info.find_first_not_of(' ', at + key.size() + 1);
  return info.substr(start, info.find('\n', start) - start);
}

// The text of the PDF as laid out on its pages, each run of blanks and line ends one blank.
QString Text(const std::string& pdf) {
  return QString::fromStdString(Run("pdftotext -layout '" + pdf + "' -")).simplified();
}

// The lean-test flight as the recorder writes a port's stream, with the aircraft kept for the
// port and the reader's wall clock: 1 June 2026, 07:14:03 UTC at the first byte, two hours ahead
// of UTC. Returns the recording's path.
std::string RecordFlight(const std::string& folder, const std::string& aircraft) {
  LiveRecorder recorder(folder, true);
  recorder.BeginPort("/dev/ttyUSB0");
  recorder.SetAircraft(aircraft);
  recorder.WallClockSet(WallClockAnchor{0, 1780298043000, 7200});
  const std::vector<EngineSample> frames = LeanTestFrames();
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < frames.size(); ++i) {
    bytes.clear();
    FrameBuilder::Append(bytes, frames[i], kModel5100);
    recorder.BytesReceived(sim::FrameStamp(i), bytes.data(), bytes.size(), kModel5100, 0);
  }
  recorder.EndSession(true);
  return folder + "/" + recorder.lastSessionName();
}

}  // namespace

class FlightReportTest : public QObject {
  Q_OBJECT

 private slots:
  void RendersPagesAndText();
  void LetterPaper();
  void PrintsTheSamePages();
  void ReportsOneRun();
  void AnEmptyLogGivesAnEmptyReport();
  void AFolderThatIsNotThereFails();
  void ExportsFromTheWindow();
  void ConverterWritesTheReportWithoutAWindow();
  void ListsEachRunsFindings();
  void NamesTheAircraftAndDateOfARecording_data();
  void NamesTheAircraftAndDateOfARecording();
  void NamesTheAircraftOfLiveData();
  void NineCylindersFitTheLegend();
};

void FlightReportTest::RendersPagesAndText() {
  TempFolder folder;
  const std::vector<EngineSample> samples = LeanTestSeconds();
  FlightReportInput input;
  input.source = "lean.log";
  input.count = static_cast<int>(samples.size());
  input.sample = [&samples](int i) { return &samples[static_cast<size_t>(i)]; };
  const FlightReport report(input);
  QCOMPARE(report.runs().size(), size_t{1});
  const RunSummary& run = report.runs()[0];
  QCOMPARE(run.leanTests.size(), size_t{2});

  const std::string pdf = folder / "report.pdf";
  QString error;
  QVERIFY(report.WritePdf(QString::fromStdString(pdf), QPageSize::A4, &error));
  QVERIFY(error.isEmpty());
  // The facts, the tables; two pages of charts (three each); both sweeps on the last page.
  QCOMPARE(InfoLine(pdf, "Pages"), std::string("4"));
  QCOMPARE(InfoLine(pdf, "Page size"), std::string("595 x 842 pts (A4)"));
  QCOMPARE(InfoLine(pdf, "Title"), std::string("Flight report"));
  const QString text = Text(pdf);
  const QStringList facts = report.FactLines();
  QCOMPARE(facts.size(), 9);
  QCOMPARE(facts[0], QStringLiteral("Aircraft: not recorded in the log"));
  QCOMPARE(facts[1], QStringLiteral("Engine monitor: Ovix Model 5100"));
  QCOMPARE(facts[2], QStringLiteral("Recording: lean.log"));
  QCOMPARE(facts[3], QStringLiteral("Date: not recorded in the log"));
  QCOMPARE(facts[4], QStringLiteral("Recorded: 0:36:04 (2165 samples)"));
  QCOMPARE(facts[5], QStringLiteral("Engine runs: 1, engine running 0:35:14, airborne 0:28:09"));
  QCOMPARE(facts[6], QStringLiteral("Hobbs time: 0.6 h"));
  QCOMPARE(facts[7], QStringLiteral("Tach time: 0.6 h (engine hours 1372.5 to 1373.1)"));
  QCOMPARE(facts[8], QStringLiteral("Fuel used: 4.3 gal"));
  QVERIFY2(text.startsWith(QStringLiteral("Flight report ") + facts.join(QLatin1Char(' '))),
           qPrintable(text.left(600)));
  for (const QString& expected :
       {QStringLiteral("Engine runs Run Start Duration Airborne Fuel Hottest CHT EGT spread "
                       "Exceedances Lean tests 1 0:00:21 0:35:14 0:28:09 4.3 CHT2 402"),
        QStringLiteral("Lean tests Run Start Duration The test in words Balance 1 0:13:09 "
                       "0:03:52 ") +
            QString::fromStdString(LeanTestWords(run.leanTests[0])) +
            QStringLiteral(" well balanced 1 0:17:39 0:03:52 ") +
            QString::fromStdString(LeanTestWords(run.leanTests[1])) +
            QStringLiteral(" well balanced"),
        QStringLiteral("Exceedances Run Reading Start Duration Peak None. Findings Run Severity "
                       "Reading Time What was found 1 No findings."),
        QStringLiteral("EGT (F)"), QStringLiteral("CHT (F)"),
        QStringLiteral("Oil temperature (F) and pressure"), QStringLiteral("Volts"),
        QStringLiteral("Fuel flow"), QStringLiteral("Altitude and airspeed"),
        QStringLiteral("Lean sweep at 0:13:09, 0:03:52 long"),
        QStringLiteral("Rich sweep at 0:17:39, 0:03:52 long"),
        QStringLiteral("GAMI spread 0.5 gph: well balanced; order of peaking 1-3-4-2"),
        QStringLiteral("OvixLog flight report \u2014 lean.log Page 1"),
        QStringLiteral("OvixLog flight report \u2014 lean.log Page 4")}) {
    QVERIFY2(text.contains(expected), qPrintable(expected));
  }
  QCOMPARE(QString::fromStdString(LeanTestWords(run.leanTests[0])),
           QStringLiteral("lean, 0.5 gph spread, order 1-3-4-2"));
}

void FlightReportTest::LetterPaper() {
  TempFolder folder;
  const std::vector<EngineSample> samples = LeanTestSeconds();
  FlightReportInput input;
  input.source = "lean.log";
  input.count = static_cast<int>(samples.size());
  input.sample = [&samples](int i) { return &samples[static_cast<size_t>(i)]; };
  const std::string pdf = folder / "letter.pdf";
  QVERIFY(FlightReport(input).WritePdf(QString::fromStdString(pdf), QPageSize::Letter, nullptr));
  QCOMPARE(InfoLine(pdf, "Page size"), std::string("612 x 792 pts (letter)"));
  QCOMPARE(InfoLine(pdf, "Pages"), std::string("4"));
}

void FlightReportTest::PrintsTheSamePages() {
  TempFolder folder;
  const std::vector<EngineSample> samples = LeanTestSeconds();
  FlightReportInput input;
  input.source = "lean.log";
  input.count = static_cast<int>(samples.size());
  input.sample = [&samples](int i) { return &samples[static_cast<size_t>(i)]; };
  // A printer that prints into a file: the pages File > Print... sends.
  const std::string pdf = folder / "printed.pdf";
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(pdf));
  printer.setPageSize(QPageSize(QPageSize::A4));
  QCOMPARE(FlightReport(input).Paint(printer), 4);
  QCOMPARE(InfoLine(pdf, "Pages"), std::string("4"));
  QVERIFY(Text(pdf).contains(QStringLiteral("Flight report Aircraft: not recorded in the log")));
}

void FlightReportTest::ReportsOneRun() {
  TempFolder folder;
  const std::vector<EngineSample> samples = LeanTestSeconds(sim::Scenario::kTwoFlights);
  FlightReportInput input;
  input.source = "two.log";
  input.count = static_cast<int>(samples.size());
  input.sample = [&samples](int i) { return &samples[static_cast<size_t>(i)]; };
  const FlightReport whole(input);
  QCOMPARE(whole.runs().size(), size_t{2});
  input.run = 1;
  const FlightReport second(input);
  QVERIFY(second.runFound());
  QCOMPARE(second.totalRuns(), 2);
  QCOMPARE(second.runs().size(), size_t{1});
  QCOMPARE(second.runs()[0], whole.runs()[1]);
  const QString running = QString::fromStdString(ClockText(whole.runs()[1].DurationMs()));
  QVERIFY2(second.FactLines()[5].startsWith(QStringLiteral("Engine run 2 of 2: engine running ") +
                                            running),
           qPrintable(second.FactLines()[5]));
  const std::string pdf = folder / "second.pdf";
  QVERIFY(second.WritePdf(QString::fromStdString(pdf), QPageSize::A4, nullptr));
  const QString start = QString::fromStdString(ClockText(whole.runs()[1].startMs));
  QVERIFY(Text(pdf).contains(QStringLiteral("Exceedances Lean tests 2 ") + start + QLatin1Char(' ') +
                             running));
  input.run = 2;
  QVERIFY(!FlightReport(input).runFound());
}

void FlightReportTest::AnEmptyLogGivesAnEmptyReport() {
  TempFolder folder;
  const std::string pdf = folder / "empty.pdf";
  FlightReportInput input;
  input.source = "Untitled";
  QVERIFY(FlightReport(input).WritePdf(QString::fromStdString(pdf), QPageSize::A4, nullptr));
  // The facts and empty tables, then the charts' page with empty plots.
  QCOMPARE(InfoLine(pdf, "Pages"), std::string("3"));
  const QString text = Text(pdf);
  for (const QString& expected :
       {QStringLiteral("Recorded: 0:00:00 (0 samples) Engine runs: 0, engine running 0:00:00, "
                       "airborne 0:00:00 Hobbs time: 0.0 h Tach time: 0.0 h (from rpm, 2400 rpm "
                       "to the hour) Fuel used: 0 gal"),
        QStringLiteral("Lean tests Run Start Duration The test in words Balance None."),
        QStringLiteral("Exceedances Run Reading Start Duration Peak None. Findings Run Severity "
                       "Reading Time What was found None.")})
    QVERIFY2(text.contains(expected), qPrintable(text.left(800)));
}

void FlightReportTest::AFolderThatIsNotThereFails() {
  TempFolder folder;
  const std::string pdf = folder / "missing/report.pdf";
  QString error;
  QVERIFY(!FlightReport(FlightReportInput{}).WritePdf(QString::fromStdString(pdf), QPageSize::A4,
                                                      &error));
  QCOMPARE(error, QStringLiteral("Unable to write file: ") + QString::fromStdString(pdf));
  QVERIFY(!std::filesystem::exists(pdf));
}

void FlightReportTest::ExportsFromTheWindow() {
  AppFixture f;
  for (const EngineSample& s : LeanTestSeconds())
    f.doc()->AddSample(std::make_unique<EngineSample>(s), nullptr);
  const std::string pdf = f.folder / "window.pdf";
  QVERIFY(f.frame()->reports()->ExportTo(QString::fromStdString(pdf), QPageSize::A4));
  QCOMPARE(InfoLine(pdf, "Pages"), std::string("4"));
  QVERIFY(Text(pdf).contains(QStringLiteral("Recording: Untitled Date: not recorded")));
  QVERIFY(f.ui.errors().empty());
  // A report that cannot be written says so, and why.
  const std::string bad = f.folder / "missing/window.pdf";
  QVERIFY(!f.frame()->reports()->ExportTo(QString::fromStdString(bad), QPageSize::A4));
  QCOMPARE(f.ui.errors().size(), size_t{1});
  QCOMPARE(f.ui.errors()[0], (ScriptedUserInterface::Message{"Unable to Write Report",
                                                              "Unable to write file: " + bad}));
}

void FlightReportTest::ConverterWritesTheReportWithoutAWindow() {
  TempFolder folder;
  std::vector<uint8_t> capture;
  for (const EngineSample& s : LeanTestFrames())
    FrameBuilder::Append(capture, s, kModel5100);
  const std::string input = folder / "lean.bin";
  std::ofstream(input, std::ios::binary)
      .write(reinterpret_cast<const char*>(capture.data()),
             static_cast<std::streamsize>(capture.size()));
  const std::string pdf = folder / "lean.pdf";
  const std::string command = std::string("env -u DISPLAY -u QT_QPA_PLATFORM '") +
                              OVIXLOG_CONVERT_EXE + "' --report '" + pdf + "' --letter '" +
                              input + "' 2>/dev/null; echo $?";
  QCOMPARE(Run(command), std::string("0\n"));
  QCOMPARE(InfoLine(pdf, "Page size"), std::string("612 x 792 pts (letter)"));
  QCOMPARE(InfoLine(pdf, "Pages"), std::string("4"));
  const QString text = Text(pdf);
  QVERIFY2(text.contains(QStringLiteral("Recording: lean.bin")), qPrintable(text.left(400)));
  QVERIFY(text.contains(QStringLiteral("GAMI spread 0.5 gph: well balanced")));
  // A run the recording does not have.
  QCOMPARE(Run(std::string("'") + OVIXLOG_CONVERT_EXE + "' --report '" + pdf + "' --run 3 '" +
               input + "' 2>&1 >/dev/null | tail -n 1"),
           std::string("ovixlog-convert: there is no run 3: the recording has 1\n"));
  // Usage errors are the converter's own.
  QCOMPARE(Run(std::string("'") + OVIXLOG_CONVERT_EXE + "' --run 1 '" + input +
               "' 2>&1 >/dev/null | head -n 1"),
           std::string("ovixlog-convert: --run goes with --report\n"));
  QCOMPARE(Run(std::string("'") + OVIXLOG_CONVERT_EXE + "' --letter '" + input +
               "' 2>&1 >/dev/null | head -n 1"),
           std::string("ovixlog-convert: --letter goes with --report\n"));
  QCOMPARE(Run(std::string("'") + OVIXLOG_CONVERT_EXE + "' --report x.pdf --summary '" + input +
               "' 2>&1 >/dev/null | head -n 1"),
           std::string("ovixlog-convert: --report writes only the report, without --summary, "
                       "--csv or -o\n"));
}

void FlightReportTest::ListsEachRunsFindings() {
  TempFolder folder;
  const std::vector<EngineSample> samples = LeanTestSeconds(sim::Scenario::kExhaustValve);
  FlightReportInput input;
  input.source = "valve.log";
  input.count = static_cast<int>(samples.size());
  input.sample = [&samples](int i) { return &samples[static_cast<size_t>(i)]; };
  const FlightReport report(input);
  QCOMPARE(report.runs().size(), size_t{1});
  const std::vector<Finding>& findings = report.runs()[0].findings;
  // What the flight was made to show is among them: "KIND COLUMN SEVERITY" a line.
  std::istringstream truth(sim::FindingTruthText(sim::Scenario::kExhaustValve, kModel5100));
  int truths = 0;
  for (std::string kind, column, severity; truth >> kind >> column >> severity; ++truths) {
    QVERIFY2(std::any_of(findings.begin(), findings.end(),
                         [&](const Finding& f) {
                           return f.kind == kind && f.column &&
                                  ColumnTitle(*f.column) == column &&
                                  FindingSeverityName(f.severity) == severity;
                         }),
             qPrintable(QString::fromStdString(kind + " " + column)));
  }
  QVERIFY(truths > 0);

  const std::string pdf = folder / "valve.pdf";
  QVERIFY(report.WritePdf(QString::fromStdString(pdf), QPageSize::A4, nullptr));
  // Each finding on a row of its own: severity, reading, time span, then the kind and the
  // sentence, which runs on over as many lines as it needs.
  QString expected = QStringLiteral("Findings Run Severity Reading Time What was found");
  for (const Finding& f : findings) {
    expected += QStringLiteral(" 1 %1 %2 %3 to %4 %5: %6")
                    .arg(QString::fromLatin1(FindingSeverityName(f.severity)),
                         f.column ? QString::fromStdString(ColumnTitle(*f.column))
                                  : QStringLiteral("Engine"),
                         QString::fromStdString(ClockText(f.startMs)),
                         QString::fromStdString(ClockText(f.endMs)),
                         QString::fromStdString(FindingKindTitle(f.kind)),
                         QString::fromStdString(f.text));
  }
  const QString text = Text(pdf);
  QVERIFY2(text.contains(expected), qPrintable(expected + QStringLiteral("\n---\n") + text.left(3000)));
  QVERIFY(!text.contains(QStringLiteral("No findings")));

  // A run without findings says so, beside one with them.
  const std::vector<EngineSample> two = LeanTestSeconds(sim::Scenario::kTwoFlights);
  input.count = static_cast<int>(two.size());
  input.sample = [&two](int i) { return &two[static_cast<size_t>(i)]; };
  const FlightReport both(input);
  QCOMPARE(both.runs().size(), size_t{2});
  const std::string twoPdf = folder / "two.pdf";
  QVERIFY(both.WritePdf(QString::fromStdString(twoPdf), QPageSize::A4, nullptr));
  QString perRun = QStringLiteral("Findings Run Severity Reading Time What was found");
  for (size_t r = 0; r < both.runs().size(); ++r) {
    if (both.runs()[r].findings.empty())
      perRun += QStringLiteral(" %1 No findings.").arg(r + 1);
    for (const Finding& f : both.runs()[r].findings) {
      perRun += QStringLiteral(" %1 %2 ").arg(r + 1).arg(FindingSeverityName(f.severity));
      perRun += f.column ? QString::fromStdString(ColumnTitle(*f.column)) : QStringLiteral("Engine");
      perRun += QStringLiteral(" %1 to %2 ").arg(QString::fromStdString(ClockText(f.startMs)),
                                                 QString::fromStdString(ClockText(f.endMs)));
      perRun += QString::fromStdString(FindingKindTitle(f.kind) + ": " + f.text);
    }
  }
  QVERIFY2(Text(twoPdf).contains(perRun), qPrintable(perRun));
}

void FlightReportTest::NamesTheAircraftAndDateOfARecording_data() {
  QTest::addColumn<bool>("window");
  QTest::newRow("window") << true;
  QTest::newRow("converter") << false;
}

// A recording names the aircraft and carries the wall clock: the report gives both.
void FlightReportTest::NamesTheAircraftAndDateOfARecording() {
  QFETCH(bool, window);
  TempFolder folder;
  const std::string recording = RecordFlight(folder / "recordings", "D-EOVX");
  const std::string pdf = folder / "recorded.pdf";
  if (window) {
    AppFixture f;
    QVERIFY(f.doc()->ImportByContent(recording));
    QCOMPARE(f.doc()->ShownAircraft(), std::string("D-EOVX"));
    QVERIFY(f.frame()->reports()->ExportTo(QString::fromStdString(pdf), QPageSize::A4));
    QVERIFY(f.ui.errors().empty());
    // A new log forgets it.
    f.doc()->DeleteContents();
    QCOMPARE(f.doc()->ShownAircraft(), std::string());
  } else {
    const std::string command = std::string("env -u DISPLAY -u QT_QPA_PLATFORM '") +
                                OVIXLOG_CONVERT_EXE + "' --report '" + pdf + "' '" + recording +
                                "' 2>/dev/null; echo $?";
    QCOMPARE(Run(command), std::string("0\n"));
  }
  const QString text = Text(pdf);
  QVERIFY2(text.contains(QStringLiteral("Flight report Aircraft: D-EOVX Engine monitor: Ovix "
                                        "Model 5100 Recording: ")),
           qPrintable(text.left(400)));
  // 07:14:03 UTC two hours ahead, at the first frame.
  QVERIFY2(text.contains(QStringLiteral(" Date: 2026-06-01 09:14 Recorded: 0:36:04")),
           qPrintable(text.left(400)));
}

// Live data: the aircraft the recorder names for the port.
void FlightReportTest::NamesTheAircraftOfLiveData() {
  AppFixture f;
  f.doc()->recorder().SetAircraft("N123AB");
  for (const EngineSample& s : LeanTestSeconds())
    f.doc()->AddSample(std::make_unique<EngineSample>(s), nullptr);
  QCOMPARE(f.doc()->ShownAircraft(), std::string("N123AB"));
  const std::unique_ptr<FlightReport> report = f.frame()->reports()->BuildReport();
  QVERIFY(report != nullptr);
  QCOMPARE(report->FactLines()[0], QStringLiteral("Aircraft: N123AB"));
}

// A nine-cylinder engine's EGT legend stays on the page, every cylinder named.
void FlightReportTest::NineCylindersFitTheLegend() {
  TempFolder folder;
  sim::FlightGenerator flight(kModel8100, 1);
  std::vector<EngineSample> samples;
  for (int i = 0; i < 600 * kFramesPerSecond; ++i) {
    EngineSample s = flight.Next();
    if (i % kFramesPerSecond == 0) {
      s.tickMs = static_cast<uint32_t>(i / kFramesPerSecond * 1000);
      samples.push_back(s);
    }
  }
  FlightReportInput input;
  input.source = "nine.log";
  input.model = kModel8100;
  input.count = static_cast<int>(samples.size());
  input.sample = [&samples](int i) { return &samples[static_cast<size_t>(i)]; };
  const std::string pdf = folder / "nine.pdf";
  for (const QPageSize::PageSizeId page : {QPageSize::A4, QPageSize::Letter}) {
    QVERIFY(FlightReport(input).WritePdf(QString::fromStdString(pdf), page, nullptr));
    const QString text = Text(pdf);
    QVERIFY2(text.contains(QStringLiteral(
                 "EGT (F) EGT1 EGT2 EGT3 EGT4 EGT5 EGT6 EGT7 EGT8 EGT9 ")),
             qPrintable(text.mid(text.indexOf(QStringLiteral("EGT (F)")), 200)));
  }
}

}  // namespace ovixlog::test

QTEST_MAIN(ovixlog::test::FlightReportTest)
#include "flight_report_test.moc"
