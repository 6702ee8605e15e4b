// The charts' time axis as a value: spans held to the narrowest width, following the flight's
// end, zoom and pan, pixel mapping; and the zoom stack that takes view changes back.
#include <QTest>

#include "view/time_axis.h"
#include "view/zoom_stack.h"

Q_DECLARE_METATYPE(ovixlog::TimeAxis)

namespace ovixlog::test {

class TimeAxisTest : public QObject {
  Q_OBJECT

 private slots:
  void MakesAxes_data();
  void MakesAxes();
  void MapsPixelsBothWays();
  void StackTakesChangesBackAndAgain();
  void StackForgetsRedoOnANewChangeAndStaysBounded();
};

void TimeAxisTest::MakesAxes_data() {
  QTest::addColumn<TimeAxis>("axis");
  QTest::addColumn<qint64>("start");
  QTest::addColumn<qint64>("end");
  QTest::addColumn<bool>("following");
  QTest::addColumn<bool>("wholeFlight");
  const TimeAxis hour = TimeAxis::Span(0, 3600000);
  QTest::newRow("span") << hour << qint64{0} << qint64{3600000} << false << false;
  QTest::newRow("narrow span widened about its middle")
      << TimeAxis::Span(10000, 10500) << qint64{9250} << qint64{11250} << false << false;
  QTest::newRow("reversed span widened") << TimeAxis::Span(5000, 1000) << qint64{2000}
                                         << qint64{4000} << false << false;
  QTest::newRow("whole flight") << TimeAxis::WholeFlight(5400000) << qint64{0} << qint64{5400000}
                                << true << true;
  QTest::newRow("empty flight shows the narrowest span about half a second")
      << TimeAxis::WholeFlight(0) << qint64{-500} << qint64{1500} << true << true;
  QTest::newRow("whole flight grows") << TimeAxis::WholeFlight(60000).Followed(90000)
                                      << qint64{0} << qint64{90000} << true << true;
  QTest::newRow("a followed span keeps its width at the end")
      << TimeAxis::Span(0, 60000).Following(true).Followed(250000) << qint64{190000}
      << qint64{250000} << true << false;
  QTest::newRow("a fixed span stays") << hour.Followed(9000000) << qint64{0} << qint64{3600000}
                                      << false << false;
  QTest::newRow("following off and on again follows the whole flight")
      << TimeAxis::WholeFlight(60000).Following(false).Following(true).Followed(70000)
      << qint64{0} << qint64{70000} << true << true;
  QTest::newRow("zoom in about a time") << hour.Zoomed(900000, 0.5) << qint64{450000}
                                        << qint64{2250000} << false << false;
  QTest::newRow("zoom out about a time") << hour.Zoomed(3600000, 1.25) << qint64{-900000}
                                         << qint64{3600000} << false << false;
  QTest::newRow("zooming stops following")
      << TimeAxis::WholeFlight(60000).Zoomed(30000, 0.5) << qint64{15000} << qint64{45000}
      << false << false;
  QTest::newRow("zoom held to the narrowest span")
      << TimeAxis::Span(0, 4000).Zoomed(1000, 0.1) << qint64{100} << qint64{2100} << false
      << false;
  QTest::newRow("pan earlier") << hour.Panned(-5000) << qint64{-5000} << qint64{3595000} << false
                               << false;
  QTest::newRow("panning stops following")
      << TimeAxis::WholeFlight(60000).Panned(1000) << qint64{1000} << qint64{61000} << false
      << false;
}

void TimeAxisTest::MakesAxes() {
  QFETCH(TimeAxis, axis);
  QFETCH(qint64, start);
  QFETCH(qint64, end);
  QFETCH(bool, following);
  QFETCH(bool, wholeFlight);
  QCOMPARE(axis.startMs(), start);
  QCOMPARE(axis.endMs(), end);
  QCOMPARE(axis.following(), following);
  QCOMPARE(axis.following() && axis.wholeFlight(), following && wholeFlight);
}

void TimeAxisTest::MapsPixelsBothWays() {
  const TimeAxis axis = TimeAxis::Span(0, 60000);  // 100 ms per pixel over 600 pixels
  QCOMPARE(axis.XForTime(0, 58, 600), 58);
  QCOMPARE(axis.XForTime(30000, 58, 600), 358);
  QCOMPARE(axis.XForTime(30099, 58, 600), 358);
  QCOMPARE(axis.XForTime(-1, 58, 600), 57);
  QCOMPARE(axis.TimeAtX(358, 58, 600), qint64{30050});
  QCOMPARE(axis.TimeAtX(58, 58, 600), qint64{50});
  for (int x = 58; x < 658; ++x)
    QCOMPARE(axis.XForTime(axis.TimeAtX(x, 58, 600), 58, 600), x);
}

void TimeAxisTest::StackTakesChangesBackAndAgain() {
  const TimeAxis a = TimeAxis::WholeFlight(100000);
  const TimeAxis b = a.Zoomed(50000, 0.5);
  const TimeAxis c = b.Panned(10000);
  ZoomStack stack;
  QVERIFY(!stack.Undo(a).has_value());
  stack.Push(a);
  stack.Push(b);
  stack.Push(b);  // the same view twice is one step
  QCOMPARE(stack.undoDepth(), size_t{2});
  QCOMPARE(stack.Undo(c), std::optional<TimeAxis>(b));
  QCOMPARE(stack.Undo(b), std::optional<TimeAxis>(a));
  QVERIFY(!stack.Undo(a).has_value());
  QCOMPARE(stack.Redo(a), std::optional<TimeAxis>(b));
  QCOMPARE(stack.Redo(b), std::optional<TimeAxis>(c));
  QVERIFY(!stack.Redo(c).has_value());
  // The view undone to still follows the flight as it did.
  stack.Clear();
  stack.Push(a);
  const std::optional<TimeAxis> back = stack.Undo(c);
  QVERIFY(back.has_value() && back->following() && back->wholeFlight());
}

void TimeAxisTest::StackForgetsRedoOnANewChangeAndStaysBounded() {
  ZoomStack stack;
  stack.Push(TimeAxis::Span(0, 10000));
  QVERIFY(stack.Undo(TimeAxis::Span(0, 5000)).has_value());
  QCOMPARE(stack.redoDepth(), size_t{1});
  stack.Push(TimeAxis::Span(0, 7000));
  QCOMPARE(stack.redoDepth(), size_t{0});
  stack.Clear();
  for (int i = 0; i < 100; ++i)
    stack.Push(TimeAxis::Span(0, 10000 + i * 1000));
  QCOMPARE(stack.undoDepth(), ZoomStack::kDepth);
  TimeAxis oldest = TimeAxis::Span(0, 1);
  TimeAxis current = TimeAxis::Span(0, 500000);
  while (std::optional<TimeAxis> back = stack.Undo(current)) {
    oldest = *back;
    current = *back;
  }
  QCOMPARE(oldest, TimeAxis::Span(0, 10000 + 36 * 1000));
}

}  // namespace ovixlog::test

QTEST_GUILESS_MAIN(ovixlog::test::TimeAxisTest)
#include "time_axis_test.moc"
