// The Flights panel over a document: the runs it lists and their figures, growth while samples
// arrive, selection, new limits, a store emptied; and the limits editor.
#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include <fstream>
#include <memory>

#include "../analysis/analysis_fixture.h"
#include "app/limits_dialog.h"
#include "document/ovixlog_doc.h"
#include "gui/gui_fixture.h"
#include "support/scripted_user_interface.h"
#include "support/temp_folder.h"
#include "chart/chart_channel.h"
#include "view/chart_view.h"
#include "view/document_signals.h"
#include "view/flight_chart_marks.h"
#include "view/finding_style.h"
#include "view/flights_panel.h"

namespace ovixlog::test {
namespace {

QStringList Row(const QTreeWidgetItem* item) {
  QStringList texts;
  for (int c = 0; c < item->columnCount(); ++c)
    texts << item->text(c);
  return texts;
}

QStringList List(std::initializer_list<const char*> texts) {
  QStringList list;
  for (const char* t : texts)
    list << QString::fromUtf8(t);
  return list;
}

struct PanelFixture {
  PanelFixture() {
    doc = std::make_unique<COvixLogDoc>(&ui, startup);
    doc->SetPortsEnabled(false);
    signals_.SetDocument(doc.get());
    doc->AddView(&signals_);
    doc->OnNewDocument();
    panel.SetDocument(doc.get(), &signals_);
  }
  ~PanelFixture() {
    panel.SetDocument(nullptr, nullptr);
    doc->RemoveView(&signals_);
    signals_.SetDocument(nullptr);
  }
  // Stores samples from `fromS` to `toS`, one a second, and lets the panel know.
  void Add(int fromS, int toS, const std::function<void(EngineSample&, int)>& change = {}) {
    for (const EngineSample& s : Seconds(fromS, toS, [&](EngineSample&x, int t) {
           x.flow = 8.0f;
           if (change)
             change(x, t);
         })) {
      doc->AddSample(std::make_unique<EngineSample>(s), &signals_);
    }
  }

  StartupSettings startup;
  ScriptedUserInterface ui;
  std::unique_ptr<COvixLogDoc> doc;
  DocumentSignals signals_;
  FlightsPanel panel;
};

}  // namespace

class FlightsPanelTest : public QObject {
  Q_OBJECT

 private slots:
  void ListsRunsAndGrowsWithTheFlight();
  void SelectingAsksForTheRunOrTheTime();
  void NewLimitsAndAnEmptiedStore();
  void ReadsALargeStoreInSlices();
  void LimitsEditorChecksBeforeSaving();
  void ChartsShowLimitsAndExceedances();
  void LimitsAreShownExactly();
  void SelectionMovesTheCharts();
  void ListsFindingsWithTheirSeverity();
  void ChartsMarkFindingsOnTheirChannel();
  void PickingAFindingMovesTheCursorToIt();
};

void FlightsPanelTest::ListsRunsAndGrowsWithTheFlight() {
  PanelFixture f;
  f.Add(0, 90, [](EngineSample& s, int t) {
    if (t >= 20 && t <= 30)
      s.cht[0] = 440;
  });
  f.Add(200, 300, [](EngineSample& s, int) { s.aspd = 0; });
  QTreeWidget* tree = f.panel.tree();
  QTRY_COMPARE(tree->topLevelItemCount(), 2);
  QCOMPARE(Row(tree->topLevelItem(0)),
           List({"1", "0:00:00", "0:01:30", "0:01:30", "0.2", "CHT1 440", "1", ""}));
  // The exceedance, then the finding of the head cooling 90 degrees a minute after it.
  QCOMPARE(tree->topLevelItem(0)->childCount(), 2);
  QCOMPARE(Row(tree->topLevelItem(0)->child(0)),
           List({"CHT1 above 435", "0:00:20", "0:00:10", "", "", "peak 440", "", ""}));
  QCOMPARE(Row(tree->topLevelItem(0)->child(1)),
           List({"Fast cooling CHT1", "0:00:20", "0:01:10", "", "", "", "info",
                 "CHT1 cools at 90 a minute: cooling faster than 60 a minute strains the "
                 "cylinder heads"}));
  // The second run has not ended: no sample has come 30 s after its last running one.
  QCOMPARE(Row(tree->topLevelItem(1)),
           List({"2 (running)", "0:03:20", "0:01:40", "0:00:00", "0.22", "CHT1 350", "0", ""}));

  f.Add(301, 400);
  QTRY_COMPARE(tree->topLevelItem(1)->text(2), QStringLiteral("0:03:20"));
  QCOMPARE(tree->topLevelItem(1)->text(3), QStringLiteral("0:01:39"));  // airborne from 301
  QCOMPARE(f.panel.runs().size(), size_t{2});
}

void FlightsPanelTest::SelectingAsksForTheRunOrTheTime() {
  PanelFixture f;
  f.Add(0, 90, [](EngineSample& s, int t) {
    if (t >= 20 && t <= 30)
      s.cht[0] = 440;
  });
  QTreeWidget* tree = f.panel.tree();
  QTRY_COMPARE(tree->topLevelItemCount(), 1);
  QSignalSpy runs(&f.panel, &FlightsPanel::runSelected);
  QSignalSpy times(&f.panel, &FlightsPanel::timeSelected);
  tree->setCurrentItem(tree->topLevelItem(0));
  QCOMPARE(runs.count(), 1);
  QCOMPARE(runs.at(0).at(0).toLongLong(), 0);
  QCOMPARE(runs.at(0).at(1).toLongLong(), 90000);
  tree->setCurrentItem(tree->topLevelItem(0)->child(0));
  QCOMPARE(times.count(), 1);
  QCOMPARE(times.at(0).at(0).toLongLong(), 20000);
  // The run grows; the selected exceedance stays selected.
  f.Add(91, 100);
  QTRY_COMPARE(tree->topLevelItem(0)->text(2), QStringLiteral("0:01:40"));
  QCOMPARE(tree->currentItem(), tree->topLevelItem(0)->child(0));
}

void FlightsPanelTest::NewLimitsAndAnEmptiedStore() {
  PanelFixture f;
  f.Add(0, 90, [](EngineSample& s, int t) {
    if (t >= 20 && t <= 30)
      s.cht[0] = 440;
  });
  QTreeWidget* tree = f.panel.tree();
  QTRY_COMPARE(tree->topLevelItemCount(), 1);
  QCOMPARE(tree->topLevelItem(0)->text(6), QStringLiteral("1"));
  Limits limits = Limits::Defaults();
  limits.Set("CHT1", LimitKind::kMax, 440);
  f.panel.SetLimits(limits);
  QCOMPARE(tree->topLevelItemCount(), 1);  // the old list stays until the new one is ready
  QTRY_COMPARE(tree->topLevelItem(0)->text(6), QStringLiteral("0"));
  // The finding stays: it does not depend on the limits.
  QCOMPARE(tree->topLevelItem(0)->childCount(), 1);
  QCOMPARE(tree->topLevelItem(0)->child(0)->text(0), QStringLiteral("Fast cooling CHT1"));
  f.doc->OnNewDocument();
  f.signals_.OnUpdate(nullptr, 0);  // as the window's File New does
  QTRY_COMPARE(tree->topLevelItemCount(), 0);
}

void FlightsPanelTest::ReadsALargeStoreInSlices() {
  PanelFixture f;
  f.panel.SetDocument(nullptr, nullptr);
  f.doc->OnKeepAllSamples();
  const int count = FlightsPanel::kSliceSamples * 3 + 7;
  for (int i = 0; i < count; ++i) {
    EngineSample s = Plain(static_cast<uint32_t>(i) * 83u);
    f.doc->AddSample(std::make_unique<EngineSample>(s), nullptr);
  }
  f.panel.SetDocument(f.doc.get(), &f.signals_);
  QVERIFY(!f.panel.caughtUp());  // nothing read before the event loop runs
  QTRY_VERIFY(f.panel.caughtUp());
  QTRY_COMPARE(f.panel.tree()->topLevelItemCount(), 1);
  QCOMPARE(f.panel.runs()[0].samples, count);
}

void FlightsPanelTest::LimitsEditorChecksBeforeSaving() {
  TempFolder folder;
  const std::string path = folder / "sub/limits.ini";
  LimitsDialog dialog(path);
  QCOMPARE(dialog.editor()->toPlainText().toStdString(), DefaultLimitsText());
  QCOMPARE(dialog.limits(), Limits::Defaults());

  dialog.editor()->setPlainText(QStringLiteral("[limits]\nCHT.max = 420\nFOO.max = 1\n"));
  dialog.accept();
  QVERIFY(dialog.result() != QDialog::Accepted);
  QCOMPARE(dialog.message()->text().toStdString(), path + ":3: unknown column 'FOO'");
  QVERIFY(!std::ifstream(path));

  const std::string good = "[limits]\nCHT.max = 420\nCHT3.max = 400\n";
  dialog.editor()->setPlainText(QString::fromStdString(good));
  dialog.accept();
  QCOMPARE(dialog.result(), int(QDialog::Accepted));
  std::ifstream in(path);
  std::string saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  QCOMPARE(saved, good);
  QCOMPARE(dialog.limits().Get("CHT3", LimitKind::kMax), std::optional<double>(400.0));
  QCOMPARE(dialog.limits().Get("OilP", LimitKind::kMin), std::optional<double>(25.0));

  LimitsDialog again(path);
  QCOMPARE(again.editor()->toPlainText().toStdString(), good);
  QCOMPARE(again.limits().Get("CHT", LimitKind::kMax), std::optional<double>(420.0));
}

// A limit reads as it was set, however small or precise: never rounded to 0 or to three places.
void FlightsPanelTest::LimitsAreShownExactly() {
  const std::pair<double, QString> cases[] = {{1e-9, QStringLiteral("0.000000001")},
                                              {0.1, QStringLiteral("0.1")},
                                              {12.3456789, QStringLiteral("12.3456789")},
                                              {-99999.5, QStringLiteral("-99999.5")}};
  for (const auto& [value, text] : cases) {
    const Exceedance e{{SampleColumn::Field::kOilT, 0}, LimitKind::kMax, value, 1000, 2000, 250};
    QCOMPARE(ExceedanceRowTexts(e).at(0), QStringLiteral("OilT above ") + text);
    Limits limits = Limits::Defaults();
    QVERIFY(limits.Set("OilT", LimitKind::kMax, value));
    QStringList labels;
    for (const ChartView::LimitLine& line : LimitLinesFor(limits, kModel5100))
      labels << line.label;
    QVERIFY2(labels.contains(QStringLiteral("OilT max ") + text), qPrintable(labels.join('|')));
  }
}

void FlightsPanelTest::ChartsShowLimitsAndExceedances() {
  Limits limits = Limits::Defaults();
  limits.Set("CHT3", LimitKind::kMax, 420);
  limits.Set("Tach", LimitKind::kMax, 2700);
  QStringList lines;
  for (const ChartView::LimitLine& line : LimitLinesFor(limits, kModel5100))
    lines << QStringLiteral("%1 @%2 %3").arg(line.label).arg(line.channel).arg(line.value);
  QCOMPARE(lines, List({"Tach max 2700 @15 2700", "CHT max 435 @0 435", "CHT3 max 420 @2 420",
                        "EGT max 1650 @6 1650", "OilT max 245 @16 245", "OilP min 25 @17 25",
                        "Volt max 15 @19 15", "Volt min 12 @19 12"}));

  RunSummary a;
  a.exceedances = {{{SampleColumn::Field::kCht, 0}, LimitKind::kMax, 435, 1000, 9000, 440},
                   {{SampleColumn::Field::kVolt, 0}, LimitKind::kMin, 12, 5000, 12000, 11.5}};
  RunSummary b;
  b.exceedances = {{{SampleColumn::Field::kOilP, 0}, LimitKind::kMin, 25, 70000, 80000, 20}};
  QStringList ranges;
  for (const ChartView::ShadedRange& r : ShadedRangesFor({a, RunSummary{}, b}))
    ranges << QStringLiteral("%1-%2").arg(r.startMs).arg(r.endMs);
  QCOMPARE(ranges, List({"1000-9000", "5000-12000", "70000-80000"}));
}

void FlightsPanelTest::SelectionMovesTheCharts() {
  AppFixture f;
  for (const EngineSample& s : Seconds(0, 300, [](EngineSample&x, int t) {
         if (t >= 200 && t <= 230)
           x.cht[0] = 440;
       })) {
    f.doc()->AddSample(std::make_unique<EngineSample>(s), nullptr);
  }
  f.doc()->UpdateAllViews(nullptr);
  QTreeWidget* tree = f.frame()->flights()->tree();
  QTRY_COMPARE(tree->topLevelItemCount(), 1);
  // The exceedance, then the findings of CHT1 climbing alone and cooling fast.
  QTRY_COMPARE(tree->topLevelItem(0)->childCount(), 3);
  ChartView* charts = f.frame()->charts();
  tree->setCurrentItem(tree->topLevelItem(0));
  QCOMPARE(charts->viewStartMs(), 0);
  QCOMPARE(charts->viewEndMs(), 300000);
  QVERIFY(!charts->following());
  charts->FitRange(0, 60000);
  tree->setCurrentItem(tree->topLevelItem(0)->child(0));
  QCOMPARE(charts->cursorSample(), 200);
  // The exceedance lay outside the view, which moves to it and keeps its span.
  QCOMPARE(charts->viewStartMs(), 170000);
  QCOMPARE(charts->viewEndMs(), 230000);
}

// The icon as an image, to compare icons made at different times.
QImage IconImage(const QIcon& icon) {
  return icon.pixmap(16, 16).toImage();
}

void FlightsPanelTest::ListsFindingsWithTheirSeverity() {
  PanelFixture f;
  f.Add(0, 120, [](EngineSample& s, int t) {
    if (t >= 10 && t <= 50)
      s.volt = 12.0f;
    if (t >= 60 && t <= 70)
      s.egt[1] = 0;
  });
  QTreeWidget* tree = f.panel.tree();
  QTRY_COMPARE(tree->topLevelItemCount(), 1);
  QTRY_COMPARE(tree->topLevelItem(0)->childCount(), 2);
  const QTreeWidgetItem* low = tree->topLevelItem(0)->child(0);
  const QTreeWidgetItem* probe = tree->topLevelItem(0)->child(1);
  QCOMPARE(Row(low), List({"Low voltage Volt", "0:00:10", "0:00:40", "", "", "", "warning",
                           "Volt stays below 13 for 40 s with the engine at 1500 rpm or more, "
                           "down to 12: the alternator is not charging"}));
  QCOMPARE(Row(probe), List({"Probe fault EGT2", "0:01:00", "0:00:10", "", "", "", "caution",
                             "EGT2 reads 0 for 10 s while the others read normally: an open or "
                             "shorted probe"}));
  const struct {
    const QTreeWidgetItem* item;
    FindingSeverity severity;
  } shown[] = {{low, FindingSeverity::kWarning}, {probe, FindingSeverity::kCaution}};
  for (const auto& [item, severity] : shown) {
    QCOMPARE(IconImage(item->icon(0)), IconImage(SeverityIcon(severity)));
    for (int c = 0; c < item->columnCount(); ++c)
      QCOMPARE(item->foreground(c).color(), SeverityColor(severity));
  }
  QVERIFY(SeverityColor(FindingSeverity::kWarning) != SeverityColor(FindingSeverity::kCaution));
  QVERIFY(IconImage(SeverityIcon(FindingSeverity::kWarning)) !=
          IconImage(SeverityIcon(FindingSeverity::kCaution)));

  QSignalSpy times(&f.panel, &FlightsPanel::timeSelected);
  tree->setCurrentItem(tree->topLevelItem(0)->child(1));
  QCOMPARE(times.count(), 1);
  QCOMPARE(times.at(0).at(0).toLongLong(), 60000);
}

void FlightsPanelTest::ChartsMarkFindingsOnTheirChannel() {
  using Field = SampleColumn::Field;
  Finding probe;
  probe.column = SampleColumn{Field::kEgt, 1};
  probe.startMs = 1000;
  probe.endMs = 9000;
  probe.severity = FindingSeverity::kCaution;
  Finding volt = probe;
  volt.column = SampleColumn{Field::kVolt, 0};
  volt.severity = FindingSeverity::kWarning;
  Finding engine = probe;
  engine.column.reset();
  engine.startMs = 70000;
  engine.endMs = 80000;
  engine.severity = FindingSeverity::kInfo;
  RunSummary a;
  a.findings = {probe, volt};
  RunSummary b;
  b.findings = {engine};
  QStringList marks;
  for (const ChartView::SpanMark& m : SpanMarksFor({a, RunSummary{}, b}))
    marks << QStringLiteral("%1-%2 @%3 %4").arg(m.startMs).arg(m.endMs).arg(m.channel).arg(m.color.name());
  QCOMPARE(marks, QStringList({QStringLiteral("1000-9000 @%1 %2")
                                   .arg(kChannelEgt1 + 1)
                                   .arg(SeverityColor(FindingSeverity::kCaution).name()),
                               QStringLiteral("1000-9000 @%1 %2")
                                   .arg(kChannelVolt)
                                   .arg(SeverityColor(FindingSeverity::kWarning).name()),
                               QStringLiteral("70000-80000 @-1 %1")
                                   .arg(SeverityColor(FindingSeverity::kInfo).name())}));
}

void FlightsPanelTest::PickingAFindingMovesTheCursorToIt() {
  AppFixture f;
  for (const EngineSample& s : Seconds(0, 300, [](EngineSample& x, int t) {
         if (t >= 200 && t <= 240)
           x.volt = 12.5f;
       })) {
    f.doc()->AddSample(std::make_unique<EngineSample>(s), nullptr);
  }
  f.doc()->UpdateAllViews(nullptr);
  QTreeWidget* tree = f.frame()->flights()->tree();
  QTRY_COMPARE(tree->topLevelItemCount(), 1);
  QTRY_COMPARE(tree->topLevelItem(0)->childCount(), 1);
  QCOMPARE(tree->topLevelItem(0)->child(0)->text(0), QStringLiteral("Low voltage Volt"));
  ChartView* charts = f.frame()->charts();
  QTRY_COMPARE(charts->spanMarks().size(), size_t{1});
  QCOMPARE(charts->spanMarks()[0].channel, kChannelVolt);
  QCOMPARE(charts->spanMarks()[0].startMs, 200000);
  QCOMPARE(charts->spanMarks()[0].endMs, 240000);
  charts->FitRange(0, 60000);
  tree->setCurrentItem(tree->topLevelItem(0)->child(0));
  QCOMPARE(charts->cursorSample(), 200);
  QCOMPARE(charts->viewStartMs(), 170000);
  QCOMPARE(charts->viewEndMs(), 230000);
}

}  // namespace ovixlog::test

QTEST_MAIN(ovixlog::test::FlightsPanelTest)
#include "flights_panel_test.moc"
