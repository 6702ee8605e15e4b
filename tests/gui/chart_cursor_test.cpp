// The window's one cursor: moves are announced once, picks always, a hidden cursor is -1.
#include <QSignalSpy>
#include <QTest>

#include "view/chart_cursor.h"

namespace ovixlog::test {

class ChartCursorTest : public QObject {
  Q_OBJECT

 private slots:
  void AnnouncesMovesOnceAndPicksAlways();
};

void ChartCursorTest::AnnouncesMovesOnceAndPicksAlways() {
  ChartCursor cursor;
  QSignalSpy moved(&cursor, &ChartCursor::moved);
  QSignalSpy picked(&cursor, &ChartCursor::picked);
  QCOMPARE(cursor.sample(), -1);
  cursor.SetSample(7);
  cursor.SetSample(7);
  QCOMPARE(cursor.sample(), 7);
  QCOMPARE(moved.count(), 1);
  QCOMPARE(picked.count(), 0);
  cursor.Pick(7);  // standing there already: no move, still a pick
  cursor.Pick(9);
  QCOMPARE(moved.count(), 2);
  QCOMPARE(picked.count(), 2);
  QCOMPARE(picked.at(0).at(0).toInt(), 7);
  QCOMPARE(picked.at(1).at(0).toInt(), 9);
  cursor.SetSample(-5);
  QCOMPARE(cursor.sample(), -1);
  QCOMPARE(moved.last().at(0).toInt(), -1);
  cursor.Pick(-1);  // nothing to pick
  QCOMPARE(picked.count(), 2);
}

}  // namespace ovixlog::test

QTEST_GUILESS_MAIN(ovixlog::test::ChartCursorTest)
#include "chart_cursor_test.moc"
