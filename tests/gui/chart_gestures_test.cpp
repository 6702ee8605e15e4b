// The charts' gestures read apart from any widget: what a press, drag, release, wheel turn or
// key asks the chart to do, over a plot 600 pixels wide from x = 58 showing a minute.
#include <QTest>

#include "view/chart_gestures.h"

namespace ovixlog::test {

namespace {

using Intent = ChartGestures::Intent;

const TimeAxis kMinute = TimeAxis::Span(0, 60000);  // 100 ms per pixel

ChartGestures Gestures() {
  ChartGestures g;
  g.SetPlotColumns(58, 600);
  return g;
}

}  // namespace

class ChartGesturesTest : public QObject {
  Q_OBJECT

 private slots:
  void PressOffThePlotIsNotAGesture();
  void ClickPicksAndSmallMovesHover();
  void DragPansFromWhereItStartedInOneStep();
  void BandBecomesTheView();
  void WheelZoomsWholeNotchesAroundThePointer();
  void Keys_data();
  void Keys();
  void DoubleClickFitsAndEndsADrag();
};

void ChartGesturesTest::PressOffThePlotIsNotAGesture() {
  ChartGestures g = Gestures();
  QCOMPARE(g.Press(QPoint(10, 10), false, Qt::LeftButton, {}, kMinute).kind, Intent::kIgnored);
  QCOMPARE(g.Release(QPoint(10, 10), Qt::LeftButton).kind, Intent::kNone);
  QCOMPARE(g.Move(QPoint(10, 10), false).kind, Intent::kNone);
}

void ChartGesturesTest::ClickPicksAndSmallMovesHover() {
  ChartGestures g = Gestures();
  const Intent hover = g.Move(QPoint(200, 50), true);
  QCOMPARE(hover.kind, Intent::kHover);
  QCOMPARE(hover.x, 200);
  QCOMPARE(g.Press(QPoint(300, 50), true, Qt::LeftButton, {}, kMinute).kind, Intent::kNone);
  const Intent small = g.Move(QPoint(302, 51), true);  // below the drag threshold
  QCOMPARE(small.kind, Intent::kHover);
  const Intent pick = g.Release(QPoint(302, 51), Qt::LeftButton);
  QCOMPARE(pick.kind, Intent::kPick);
  QCOMPARE(pick.x, 302);
  // A right click without a drag picks nothing: it opens the menu where it was.
  g.Press(QPoint(300, 50), true, Qt::RightButton, {}, kMinute);
  const Intent menu = g.Release(QPoint(301, 50), Qt::RightButton);
  QCOMPARE(menu.kind, Intent::kMenu);
  QCOMPARE(menu.point, QPoint(301, 50));
}

void ChartGesturesTest::DragPansFromWhereItStartedInOneStep() {
  ChartGestures g = Gestures();
  g.Press(QPoint(300, 50), true, Qt::LeftButton, {}, kMinute);
  const Intent first = g.Move(QPoint(310, 50), true);
  QCOMPARE(first.kind, Intent::kView);
  QVERIFY(first.newStep);
  QCOMPARE(first.axis, TimeAxis::Span(-1000, 59000));
  const Intent second = g.Move(QPoint(250, 90), true);
  QCOMPARE(second.kind, Intent::kView);
  QVERIFY(!second.newStep);
  QCOMPARE(second.axis, TimeAxis::Span(5000, 65000));
  QCOMPARE(g.Release(QPoint(250, 90), Qt::LeftButton).kind, Intent::kNone);
  QCOMPARE(g.Move(QPoint(260, 90), true).kind, Intent::kHover);
}

void ChartGesturesTest::BandBecomesTheView() {
  for (bool shift : {false, true}) {
    ChartGestures g = Gestures();
    g.Press(QPoint(358, 50), true, shift ? Qt::LeftButton : Qt::RightButton,
            shift ? Qt::ShiftModifier : Qt::NoModifier, kMinute);
    QVERIFY(!g.banding());
    QCOMPARE(g.Move(QPoint(200, 60), true).kind, Intent::kBand);
    QVERIFY(g.banding());
    QCOMPARE(g.dragPoint(), QPoint(200, 60));
    const Intent band = g.Release(QPoint(158, 60), shift ? Qt::LeftButton : Qt::RightButton);
    QCOMPARE(band.kind, Intent::kView);
    QVERIFY(band.newStep);
    QCOMPARE(band.axis, TimeAxis::Span(10050, 30050));
    QVERIFY(!g.banding());
  }
}

void ChartGesturesTest::WheelZoomsWholeNotchesAroundThePointer() {
  ChartGestures g = Gestures();
  QCOMPARE(g.Wheel(60, 358, kMinute).kind, Intent::kNone);
  const Intent in = g.Wheel(60, 358, kMinute);
  QCOMPARE(in.kind, Intent::kView);
  QVERIFY(in.newStep);
  QCOMPARE(in.axis, kMinute.Zoomed(30050, 0.8));
  QCOMPARE(in.axis, TimeAxis::Span(6010, 54010));
  const Intent out = g.Wheel(-240, 58, kMinute);
  QCOMPARE(out.axis, TimeAxis::Span(50 - 78, 50 + 93672));
}

void ChartGesturesTest::Keys_data() {
  QTest::addColumn<int>("key");
  QTest::addColumn<bool>("shift");
  QTest::addColumn<int>("kind");
  QTest::addColumn<qint64>("start");
  QTest::addColumn<qint64>("end");
  QTest::newRow("Home") << int{Qt::Key_Home} << false << int{Intent::kFitAll} << qint64{}
                        << qint64{};
  QTest::newRow("plus") << int{Qt::Key_Plus} << false << int{Intent::kView} << qint64{6000}
                        << qint64{54000};
  QTest::newRow("equals") << int{Qt::Key_Equal} << false << int{Intent::kView} << qint64{6000}
                          << qint64{54000};
  QTest::newRow("minus") << int{Qt::Key_Minus} << false << int{Intent::kView} << qint64{-7500}
                         << qint64{67500};
  QTest::newRow("Backspace") << int{Qt::Key_Backspace} << false << int{Intent::kUndo}
                             << qint64{} << qint64{};
  QTest::newRow("Shift+Backspace") << int{Qt::Key_Backspace} << true << int{Intent::kRedo}
                                   << qint64{} << qint64{};
  QTest::newRow("another key") << int{Qt::Key_A} << false << int{Intent::kIgnored} << qint64{}
                               << qint64{};
}

void ChartGesturesTest::Keys() {
  QFETCH(int, key);
  QFETCH(bool, shift);
  QFETCH(int, kind);
  QFETCH(qint64, start);
  QFETCH(qint64, end);
  ChartGestures g = Gestures();
  const Intent intent = g.Key(key, shift ? Qt::ShiftModifier : Qt::NoModifier, kMinute);
  QCOMPARE(int{intent.kind}, kind);
  if (intent.kind == Intent::kView) {
    QCOMPARE(intent.axis, TimeAxis::Span(start, end));
    QVERIFY(intent.newStep);
  }
}

void ChartGesturesTest::DoubleClickFitsAndEndsADrag() {
  ChartGestures g = Gestures();
  g.Press(QPoint(300, 50), true, Qt::RightButton, {}, kMinute);
  g.Move(QPoint(400, 50), true);
  QVERIFY(g.banding());
  QCOMPARE(g.DoubleClick().kind, Intent::kFitAll);
  QVERIFY(!g.banding());
  QCOMPARE(g.Release(QPoint(400, 50), Qt::RightButton).kind, Intent::kNone);
}

}  // namespace ovixlog::test

QTEST_GUILESS_MAIN(ovixlog::test::ChartGesturesTest)
#include "chart_gestures_test.moc"
