// Mended faults of the charts and the Flights panel: the cursor box gives the monitor's
// Flt-Time beside the elapsed time and stays whole inside the pane; every unit of the third
// plot has an axis of its own; new limits refresh an open run's exceedances at once.
#include <QTest>
#include <QTreeWidget>

#include "analysis/limits.h"
#include "gui/gui_fixture.h"
#include "chart/chart_channel.h"
#include "view/chart_view.h"
#include "view/document_signals.h"
#include "view/flights_panel.h"
#include "view/plot_painter.h"

namespace ovixlog::test {

class ChartFixesTest : public QObject {
  Q_OBJECT

 private slots:
  void CursorBoxGivesElapsedAndFltTime();
  void CursorBoxStaysWholeInsideThePane_data();
  void CursorBoxStaysWholeInsideThePane();
  void EveryUnitIsNamedOnTheThirdPlot();
  void OilTAndAltAreDrawnOnScalesOfTheirOwn_data();
  void OilTAndAltAreDrawnOnScalesOfTheirOwn();
  void NewLimitsRefreshAnExpandedRunAtOnce();
};

void ChartFixesTest::CursorBoxGivesElapsedAndFltTime() {
  EngineSample s = ExampleSample();
  s.fltHours = 0;
  s.fltMinutes = 0;
  s.fltSeconds = 17;
  s.oilT = 190;
  const QStringList lines = CursorBoxLines(s, 33000, {kChannelOilT});
  QCOMPARE(lines, QStringList({"Elapsed 00:00:33", "Flt-Time 00:00:17", "OilT 190"}));
}

void ChartFixesTest::CursorBoxStaysWholeInsideThePane_data() {
  QTest::addColumn<QRect>("plot");
  QTest::addColumn<int>("x");
  QTest::addColumn<QSize>("size");
  QTest::addColumn<QRect>("box");
  // A pane of 600 by 300: the box goes right of the cursor and 18 below the plot's top ...
  QTest::newRow("room") << QRect(50, 20, 500, 80) << 100 << QSize(90, 60)
                        << QRect(108, 38, 90, 60);
  // ... turns to the left near the right edge ...
  QTest::newRow("right edge") << QRect(50, 20, 500, 80) << 540 << QSize(90, 60)
                              << QRect(443, 38, 90, 60);
  // ... reaches up over the plot above when the plot is short and low in the pane ...
  QTest::newRow("short plot at the bottom") << QRect(50, 230, 500, 60) << 100 << QSize(90, 150)
                                            << QRect(108, 149, 90, 150);
  // ... and is never taller than the pane.
  QTest::newRow("taller than the pane") << QRect(50, 20, 500, 80) << 100 << QSize(90, 400)
                                        << QRect(108, 1, 90, 298);
}

void ChartFixesTest::CursorBoxStaysWholeInsideThePane() {
  QFETCH(QRect, plot);
  QFETCH(int, x);
  QFETCH(QSize, size);
  QFETCH(QRect, box);
  const QRect pane(0, 0, 600, 300);
  const QRect got = CursorBoxRect(pane, plot, x, size);
  QCOMPARE(got, box);
  QVERIFY(pane.contains(got));
}

void ChartFixesTest::EveryUnitIsNamedOnTheThirdPlot() {
  QCOMPARE(UnitsText({ChartUnit::kRpm, ChartUnit::kFlow, ChartUnit::kTemperature,
                      ChartUnit::kAltitude}),
           QStringLiteral("rpm | gph | F | ft"));
  QCOMPARE(UnitsText({ChartUnit::kRpm}), QStringLiteral("rpm"));
  QCOMPARE(UnitsText({}), QString());
}

void ChartFixesTest::OilTAndAltAreDrawnOnScalesOfTheirOwn_data() {
  // The third plot with OilT reading 100 to 200 F and Alt 0 to 10000 ft, 200 rows tall (five
  // steps of a scale): OilT 180 and Alt 2000 land where their own scales put them.
  QTest::addColumn<QList<double>>("oilTLimits");
  QTest::addColumn<QList<double>>("temperatureScale");  // low, high, step
  QTest::addColumn<double>("oilTRow");
  QTest::addColumn<double>("altRow");
  // 180 is a fifth down from 200 on 100-200; 2000 four fifths down from 10000 on 0-10000. On
  // one shared scale OilT would lie on the floor of the plot.
  QTest::newRow("readings only") << QList<double>{} << QList<double>{100, 200, 20}
                                 << 0.2 * 199 << 0.8 * 199;
  // A limit line widens its own unit's scale and leaves the altitude's as it was.
  QTest::newRow("OilT limit 240") << QList<double>{240} << QList<double>{100, 250, 50}
                                  << 70.0 / 150 * 199 << 0.8 * 199;
}

void ChartFixesTest::OilTAndAltAreDrawnOnScalesOfTheirOwn() {
  QFETCH(QList<double>, oilTLimits);
  QFETCH(QList<double>, temperatureScale);
  QFETCH(double, oilTRow);
  QFETCH(double, altRow);
  const auto envelope = [](float low, float high) {
    ChartSeries::Envelope e;
    e.columns = {{low, low, 0, 0, false}, {high, high, 1, 1, true}};
    return e;
  };
  const std::vector<int> channels = {kChannelOilT, kChannelAlt};
  const std::vector<ChartSeries::Envelope> envelopes = {envelope(100, 200), envelope(0, 10000)};
  std::vector<ChartLimitLine> limits;
  for (double value : oilTLimits)
    limits.push_back({kChannelOilT, value, Qt::red, QString()});
  // A limit of a channel not drawn here changes nothing.
  limits.push_back({kChannelCht1, 900, Qt::red, QString()});
  const int rows = 200;
  std::map<ChartUnit, ValueScale> scales = UnitScales(channels, envelopes, {}, limits, rows);
  QCOMPARE(scales.size(), size_t{2});
  const ValueScale oilT = scales[ChannelUnit(kChannelOilT)];
  const ValueScale alt = scales[ChannelUnit(kChannelAlt)];
  QCOMPARE((QList<double>{oilT.low, oilT.high, oilT.step}), temperatureScale);
  QCOMPARE((QList<double>{alt.low, alt.high, alt.step}), (QList<double>{0, 10000, 2000}));
  QCOMPARE(ValueRow(oilT, 180, rows), oilTRow);
  QCOMPARE(ValueRow(alt, 2000, rows), altRow);
  // A hidden series is not scaled for: its unit spans 0 to 1 when nothing else of it is shown.
  scales = UnitScales(channels, envelopes, {kChannelAlt}, limits, rows);
  QCOMPARE(scales[ChannelUnit(kChannelAlt)].high, 1.0);
  QCOMPARE((QList<double>{scales[ChannelUnit(kChannelOilT)].low,
                          scales[ChannelUnit(kChannelOilT)].high}),
           temperatureScale.mid(0, 2));
}

void ChartFixesTest::NewLimitsRefreshAnExpandedRunAtOnce() {
  ViewFixture f;
  DocumentSignals signals_;
  signals_.SetDocument(f.doc.get());
  f.doc->AddView(&signals_);
  FlightsPanel panel;
  panel.SetDocument(f.doc.get(), &signals_);
  // Ten minutes of running with six CHT1 peaks of twenty seconds: 440, 441, ... 445.
  for (int t = 0; t < 600; ++t) {
    EngineSample s = ExampleSample();
    s.tickMs = static_cast<uint32_t>(t) * 1000u;
    s.flow = 8.0f;
    s.cht[0] = static_cast<int16_t>(t % 100 < 20 ? 440 + t / 100 : 380);
    f.doc->AddSample(std::make_unique<EngineSample>(s), &signals_);
  }
  QTreeWidget* tree = panel.tree();
  Limits limits = Limits::Defaults();
  limits.Set("CHT1", LimitKind::kMax, 444);
  panel.SetLimits(limits);
  QTRY_COMPARE(tree->topLevelItemCount(), 1);
  QTRY_COMPARE(tree->topLevelItem(0)->text(6), QStringLiteral("1"));
  tree->expandItem(tree->topLevelItem(0));
  // The exceedances, then the findings (heads cooling fast after each peak), which the limits
  // do not change.
  const int findings = static_cast<int>(panel.runs()[0].findings.size());
  QCOMPARE(tree->topLevelItem(0)->childCount(), 1 + findings);
  limits.Set("CHT1", LimitKind::kMax, 439);
  panel.SetLimits(limits);
  QTRY_COMPARE(tree->topLevelItem(0)->text(6), QStringLiteral("6"));
  // The list under the open run says the same, without closing and opening it.
  QCOMPARE(tree->topLevelItem(0)->childCount(), 6 + findings);
  QVERIFY(tree->topLevelItem(0)->isExpanded());
  panel.SetDocument(nullptr, nullptr);
  f.doc->RemoveView(&signals_);
  signals_.SetDocument(nullptr);
}

}  // namespace ovixlog::test

QTEST_MAIN(ovixlog::test::ChartFixesTest)
#include "chart_fixes_test.moc"
