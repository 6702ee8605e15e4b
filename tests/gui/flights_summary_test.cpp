// The Flights panel and the converter's summary on the same flight: the simulator's lean-test
// flight opened in the window's document and given to `ovixlog-convert --summary --json`
// shows the same runs, lean tests and exceedances, figure for figure, and no run of an
// imported file is left running.
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include <cstdio>
#include <memory>
#include <sstream>

#include <nlohmann/json.hpp>

#include "analysis/summary_writer.h"
#include "converter.h"
#include "document/ovixlog_doc.h"
#include "ovixlog-sim/frame_stream.h"
#include "ovixlog-sim/recording_writer.h"
#include "ovixlog-sim/scenario.h"
#include "ovixlog-sim/sim_options.h"
#include "support/scripted_user_interface.h"
#include "support/temp_folder.h"
#include "view/document_signals.h"
#include "view/flights_panel.h"

namespace ovixlog::test {
namespace {

// The converter's standard output for `args`.
std::string ConverterOutput(const std::vector<std::string>& args) {
  std::FILE* out = std::tmpfile();
  std::ostringstream err;
  const int status = RunConverter(args, out, err);
  std::string text;
  std::rewind(out);
  char block[4096];
  size_t n = 0;
  while ((n = std::fread(block, 1, sizeof block, out)) > 0)
    text.append(block, n);
  std::fclose(out);
  return status == kConvertOk ? text : "status " + std::to_string(status) + ": " + err.str();
}

}  // namespace

class FlightsSummaryTest : public QObject {
  Q_OBJECT

 private slots:
  void PanelShowsWhatTheSummaryComputes();
};

void FlightsSummaryTest::PanelShowsWhatTheSummaryComputes() {
  for (const bool demoLog : {false, true}) {
    TempFolder folder;
    const sim::ParsedCommandLine parsed = sim::ParseCommandLine(
        {"--scenario", std::string(sim::ScenarioName(sim::Scenario::kLeanTest)), "--capture",
         "x"});
    sim::StreamOptions options;
    options.scenario = sim::Scenario::kLeanTest;
    sim::FrameStream stream(options);
    const std::string path = folder / (demoLog ? "flight.log" : "flight.bin");
    std::string error;
    QVERIFY(demoLog ? sim::WriteDemoLog(path, stream, parsed.options.frames, error)
                    : sim::WriteCapture(path, stream, parsed.options.frames, error));

    StartupSettings startup;
    ScriptedUserInterface ui;
    COvixLogDoc doc(&ui, startup);
    doc.SetPortsEnabled(false);
    DocumentSignals adapter;
    adapter.SetDocument(&doc);
    doc.AddView(&adapter);
    doc.OnNewDocument();
    FlightsPanel panel;
    panel.SetDocument(&doc, &adapter);
    QVERIFY(demoLog ? doc.ImportDemoLog(path) : doc.ImportSerialFile(path));
    QTRY_VERIFY(panel.caughtUp());
    QTest::qWait(0);
    QCoreApplication::processEvents();

    const std::string json = ConverterOutput({"--summary", "--json", path});
    const nlohmann::json summary = nlohmann::json::parse(json, nullptr, false);
    QVERIFY2(!summary.is_discarded(), json.c_str());
    const nlohmann::json& runs = summary.at("runs");
    const std::vector<RunSummary>& shown = panel.runs();
    QCOMPARE(shown.size(), runs.size());
    QVERIFY(!shown.empty());
    size_t leanTests = 0;
    for (size_t i = 0; i < shown.size(); ++i) {
      QVERIFY(shown[i].finished);
      QCOMPARE(shown[i].leanTests.size(), runs[i].at("lean_tests").size());
      QCOMPARE(shown[i].exceedances.size(), runs[i].at("exceedances").size());
      leanTests += shown[i].leanTests.size();
    }
    QCOMPARE(leanTests, size_t{2});
    // Every field, as the converter writes it.
    QCOMPARE(nlohmann::json::parse(SummaryJson(shown)), summary);
    for (int i = 0; i < panel.tree()->topLevelItemCount(); ++i)
      QVERIFY(!panel.tree()->topLevelItem(i)->text(0).contains(QStringLiteral("running")));

    panel.SetDocument(nullptr, nullptr);
    doc.RemoveView(&adapter);
    adapter.SetDocument(nullptr);
  }
}

}  // namespace ovixlog::test

QTEST_MAIN(ovixlog::test::FlightsSummaryTest)
#include "flights_summary_test.moc"
