// The Flights panel against the converter: the simulator's test flights opened in the window
// list the same runs, exceedances and lean tests, with the same figures, as
// `ovixlog-convert --summary --json` finds in the same file.
#include <QTest>
#include <QTreeWidget>

#include <nlohmann/json.hpp>

#include <string>
#include <utility>
#include <vector>

#include "analysis/summary_writer.h"
#include "app/flights_controller.h"
#include "gui/gui_fixture.h"
#include "view/flights_panel.h"

namespace ovixlog::test {
namespace {

using nlohmann::json;

// What a command printed on standard output.
std::string Output(const std::string& command) {
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

}  // namespace

class FlightsMatchConvertTest : public QObject {
  Q_OBJECT

 private slots:
  void PanelListsWhatTheConverterFinds_data();
  void PanelListsWhatTheConverterFinds();
  void PickingScrollsTheTable();
};

void FlightsMatchConvertTest::PanelListsWhatTheConverterFinds_data() {
  QTest::addColumn<QString>("scenario");
  QTest::addColumn<QString>("simArgs");
  QTest::addColumn<bool>("keepAll");
  QTest::addColumn<int>("runs");
  QTest::addColumn<int>("leanTests");
  QTest::addColumn<int>("exceedances");
  QTest::newRow("lean test") << "lean-test" << "--capture" << false << 1 << 2 << 0;
  // Every frame kept: a third, incomplete sweep in the climb, found by both.
  QTest::newRow("lean test, every frame") << "lean-test" << "--capture" << true << 1 << 3 << 0;
  // The file ends while the engine runs: the import ends the run, as the converter does.
  QTest::newRow("lean test cut short")
      << "lean-test" << "--frames 20000 --capture" << false << 1 << 2 << 0;
  QTest::newRow("hot cylinder") << "hot-cylinder" << "--capture" << false << 1 << 0 << 1;
  QTest::newRow("bad plug") << "bad-plug" << "--capture" << false << 1 << 0 << 0;
  QTest::newRow("stuck valve, every frame") << "stuck-valve" << "--capture" << true << 1 << 0 << 0;
  QTest::newRow("two flights, demo log") << "two-flights" << "--demo-log" << false << 2 << 0 << 0;
}

void FlightsMatchConvertTest::PanelListsWhatTheConverterFinds() {
  QFETCH(QString, scenario);
  QFETCH(QString, simArgs);
  QFETCH(bool, keepAll);
  QFETCH(int, runs);
  QFETCH(int, leanTests);
  QFETCH(int, exceedances);
  AppFixture f(keepAll ? std::vector<std::string>{"a"} : std::vector<std::string>{});
  const std::string path =
      f.folder / (simArgs.endsWith(QStringLiteral("demo-log")) ? "flight.log" : "flight.bin");
  Output(std::string("'") + OVIXLOG_SIM_EXE + "' --scenario " + scenario.toStdString() + " " +
         simArgs.toStdString() + " '" + path + "'");
  // Both read the limits from the same (absent) file in the fixture's own config folder.
  const json converted =
      json::parse(Output(std::string("'") + OVIXLOG_CONVERT_EXE + "' --summary --json " +
                         (keepAll ? "--all '" : "'") + path + "' 2>/dev/null"));

  QVERIFY(f.doc()->ImportByContent(path));
  FlightsPanel* panel = f.frame()->flights();
  QTRY_VERIFY(panel->caughtUp());
  const json shown = json::parse(SummaryJson(panel->runs()));

  const json& want = converted["runs"];
  QCOMPARE(static_cast<int>(want.size()), runs);
  QCOMPARE(static_cast<int>(shown["runs"].size()), runs);
  int leanSeen = 0;
  int exceedancesSeen = 0;
  for (int r = 0; r < runs; ++r) {
    const json& mine = shown["runs"][static_cast<size_t>(r)];
    const json& theirs = want[static_cast<size_t>(r)];
    // Every figure of the run, the lists included, one field at a time.
    for (const auto& [key, value] : theirs.items()) {
      QVERIFY2(mine.contains(key), key.c_str());
      QVERIFY2(mine[key] == value, (std::to_string(r + 1) + " " + key + ": " + mine[key].dump() +
                                    " against " + value.dump())
                                       .c_str());
    }
    QCOMPARE(mine.size(), theirs.size());
    for (size_t i = 0; i < theirs["lean_tests"].size(); ++i) {
      for (const auto& [key, value] : theirs["lean_tests"][i].items())
        QVERIFY2(mine["lean_tests"][i][key] == value, ("lean test " + key).c_str());
    }
    leanSeen += static_cast<int>(theirs["lean_tests"].size());
    exceedancesSeen += static_cast<int>(theirs["exceedances"].size());

    // The list: the run finished, then its exceedances and lean tests in that order.
    const RunSummary& run = panel->runs()[static_cast<size_t>(r)];
    QVERIFY(run.finished);
    const QTreeWidgetItem* item = panel->tree()->topLevelItem(r);
    QVERIFY(item != nullptr);
    QCOMPARE(item->text(0), QString::number(r + 1));
    QCOMPARE(item->childCount(),
             static_cast<int>(theirs["exceedances"].size() + theirs["lean_tests"].size() +
                              theirs["findings"].size()));
    int child = 0;
    for (const Exceedance& e : run.exceedances)
      QCOMPARE(item->child(child++)->text(1), QString::fromStdString(ClockText(e.startMs)));
    for (const json& t : theirs["lean_tests"]) {
      QCOMPARE(item->child(child)->text(0), t["direction"] == "lean"
                                                ? QStringLiteral("Lean sweep")
                                                : QStringLiteral("Rich sweep"));
      QCOMPARE(item->child(child++)->text(1),
               QString::fromStdString(ClockText(t["start_s"].get<int64_t>() * 1000)));
    }
    // Then the findings: what, where, when, how severe and the sentence.
    for (const json& found : theirs["findings"]) {
      const QTreeWidgetItem* row = item->child(child++);
      std::string what = FindingKindTitle(found["kind"].get<std::string>());
      if (!found["column"].is_null())
        what += " " + found["column"].get<std::string>();
      QCOMPARE(row->text(0).toStdString(), what);
      QCOMPARE(row->text(1).toStdString(),
               ClockText(static_cast<int64_t>(found["start_s"].get<double>() * 1000.0)));
      QCOMPARE(row->text(6).toStdString(), found["severity"].get<std::string>());
      QCOMPARE(row->text(7).toStdString(), found["text"].get<std::string>());
    }
  }
  QCOMPARE(leanSeen, leanTests);
  QCOMPARE(exceedancesSeen, exceedances);
}

// Picking a run, an exceedance or a lean test selects the sample at its start in the table and
// scrolls the table to it.
void FlightsMatchConvertTest::PickingScrollsTheTable() {
  AppFixture f;
  const std::string path = f.folder / "flight.bin";
  Output(std::string("'") + OVIXLOG_SIM_EXE + "' --scenario hot-cylinder --capture '" + path +
         "'");
  QVERIFY(f.doc()->ImportByContent(path));
  FlightsPanel* panel = f.frame()->flights();
  QTRY_VERIFY(panel->caughtUp());
  QTreeWidget* tree = panel->tree();
  QCOMPARE(tree->topLevelItemCount(), 1);
  QTreeWidgetItem* run = tree->topLevelItem(0);
  // The exceedance, then the findings: CHT3 climbing alone, and cooling fast after it.
  QCOMPARE(run->childCount(), 3);
  const Finding& runaway = panel->runs()[0].findings[0];
  QCOMPARE(runaway.kind, std::string("cht_runaway"));
  // One sample a second from 0:00:00: the run starts with sample 21, the exceedance at 517.
  const std::vector<std::pair<QTreeWidgetItem*, int>> picks = {
      {run->child(0), 517},
      {run->child(1), static_cast<int>(runaway.startMs / 1000)},
      {run, 21}};
  for (const auto& [item, sample] : picks) {
    tree->setCurrentItem(item);
    QCOMPARE(f.view()->selectedSample(), sample);
    const int row = f.view()->RowOfSample(sample);
    QVERIFY2(row >= f.view()->firstRow() && row < f.view()->firstRow() + f.view()->pageRows(),
             qPrintable(QStringLiteral("row %1 first %2").arg(row).arg(f.view()->firstRow())));
  }
}

}  // namespace ovixlog::test

QTEST_MAIN(ovixlog::test::FlightsMatchConvertTest)
#include "flights_match_convert_test.moc"
