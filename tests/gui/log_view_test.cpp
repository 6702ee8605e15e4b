// The log view: scroll arithmetic, the rows a paint writes, clipping by the column offset,
// scroll ranges, and how live notifications coalesce.
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>


#include "gui/gui_fixture.h"

namespace ovixlog::test {
namespace {

using Request = COvixLogView::ScrollRequest;

// True when every pixel of `image` in rows [top, bottom) is white.
bool AllWhite(const QImage& image, int top, int bottom) {
  for (int y = std::max(top, 0); y < std::min(bottom, image.height()); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixel(x, y) != qRgb(255, 255, 255))
        return false;
    }
  }
  return true;
}

}  // namespace

class LogViewTest : public QObject {
  Q_OBJECT

 private slots:
  void VerticalRequestsFollowTheTable_data();
  void VerticalRequestsFollowTheTable();
  void HorizontalRequestsFollowTheTable_data();
  void HorizontalRequestsFollowTheTable();
  void ScrollBarActionsUseTheTableNotQtsSteps_data();
  void ScrollBarActionsUseTheTableNotQtsSteps();
  void WheelAndKeysScroll_data();
  void WheelAndKeysScroll();
  void EndScrollMovesNothingButRepaints();
  void TopRequestRepaintsFromTheHeader();
  void PaintFillsTheClientHeightAndCutsTheLastRow();
  void ColumnOffsetClipsEveryRow();
  void OffsetBeyondTheRowsWritesEmptyRows();
  void EmptyDocumentShowsHeaderAndRule();
  void FirstRowBeyondTheTableWritesNothing();
  void PaintWithoutHeightDividesByNothing();
  void RangesChangeOnlyWithTheRowCount();
  void ModelChangeRedrawsNarrowerRowsWithTheSameRanges();
  void NewestFirstShowsEachNewSampleUnderTheRule();
  void BackBufferFollowsTheClientSize();
};

void LogViewTest::VerticalRequestsFollowTheTable_data() {
  QTest::addColumn<int>("start");
  QTest::addColumn<int>("request");
  QTest::addColumn<int>("thumb");
  QTest::addColumn<int>("expected");
  // 10 samples: 12 rows, range 0..11; page 20 rows.
  const auto row = [](const char* name, int start, Request request, int thumb, int expected) {
    QTest::newRow(name) << start << static_cast<int>(request) << thumb << expected;
  };
  row("line down from 9", 9, Request::kLineDown, 0, 10);
  row("line down from 10 reaches max", 10, Request::kLineDown, 0, 11);
  row("line down at max stays", 11, Request::kLineDown, 0, 11);
  row("line up from 5", 5, Request::kLineUp, 0, 4);
  row("line up at 0 stays", 0, Request::kLineUp, 0, 0);
  row("page down from 9 stops at max - 1", 9, Request::kPageDown, 0, 10);
  row("page down from 0 stops at max - 1", 0, Request::kPageDown, 0, 10);
  row("page up from 3 goes to min", 3, Request::kPageUp, 0, 0);
  row("top", 7, Request::kTop, 0, 0);
  row("bottom is rows - 2", 0, Request::kBottom, 0, 10);
  row("thumb position", 2, Request::kThumbPosition, 7, 7);
  row("thumb track", 9, Request::kThumbTrack, 4, 4);
  row("end scroll keeps", 9, Request::kEndScroll, 3, 9);
}

void LogViewTest::VerticalRequestsFollowTheTable() {
  QFETCH(int, start);
  QFETCH(int, request);
  QFETCH(int, thumb);
  QFETCH(int, expected);
  ViewFixture f;
  f.Add(10);
  SetClientHeight(f.view, 20 * f.view.RowHeight());
  f.Paint();
  QCOMPARE(f.view.pageRows(), 20);
  QCOMPARE(f.view.verticalMax(), 11);
  f.view.OnVScroll(Request::kThumbPosition, start);
  QCOMPARE(f.view.firstRow(), start);

  f.view.OnVScroll(static_cast<Request>(request), thumb);
  QCOMPARE(f.view.firstRow(), expected);
  QCOMPARE(f.view.verticalScrollBar()->value(), expected);
  QCOMPARE(f.view.firstColumn(), 0);
}

void LogViewTest::HorizontalRequestsFollowTheTable_data() {
  QTest::addColumn<int>("start");
  QTest::addColumn<bool>("startFromMax");  // start is then an offset from the range's max
  QTest::addColumn<int>("request");
  QTest::addColumn<int>("expected");
  QTest::addColumn<bool>("expectedFromMax");
  const auto row = [](const char* name, int start, bool startFromMax, Request request, int expected,
                      bool expectedFromMax) {
    QTest::newRow(name) << start << startFromMax << static_cast<int>(request) << expected
                        << expectedFromMax;
  };
  row("page right by 10", 0, false, Request::kPageDown, 10, false);
  row("page right from 25", 25, false, Request::kPageDown, 35, false);
  row("page left from 25", 25, false, Request::kPageUp, 15, false);
  row("page left from 4 goes to 0", 4, false, Request::kPageUp, 0, false);
  row("line right", 3, false, Request::kLineDown, 4, false);
  row("line left", 3, false, Request::kLineUp, 2, false);
  row("leftmost", 17, false, Request::kTop, 0, false);
  row("rightmost is max - 1", 0, false, Request::kBottom, -1, true);
  row("page right near the end stops at max - 1", -5, true, Request::kPageDown, -1, true);
  row("line right reaches max", -1, true, Request::kLineDown, 0, true);
  row("line right at max stays", 0, true, Request::kLineDown, 0, true);
}

void LogViewTest::HorizontalRequestsFollowTheTable() {
  QFETCH(int, start);
  QFETCH(bool, startFromMax);
  QFETCH(int, request);
  QFETCH(int, expected);
  QFETCH(bool, expectedFromMax);
  ViewFixture f;
  f.Add(10);
  const int max = f.doc->GetMaxRowWidth() - 1;
  QCOMPARE(f.view.horizontalMax(), max);
  QCOMPARE(f.view.horizontalScrollBar()->maximum(), max);
  QVERIFY(max > 40);
  f.view.OnHScroll(Request::kThumbPosition, startFromMax ? max + start : start);
  f.view.OnHScroll(static_cast<Request>(request));
  const int want = expectedFromMax ? max + expected : expected;
  QCOMPARE(f.view.firstColumn(), want);
  QCOMPARE(f.view.horizontalScrollBar()->value(), want);
  QCOMPARE(f.view.firstRow(), 0);
}

void LogViewTest::ScrollBarActionsUseTheTableNotQtsSteps_data() {
  QTest::addColumn<int>("start");
  QTest::addColumn<int>("action");
  QTest::addColumn<int>("expected");
  QTest::newRow("page down from 9") << 9 << int(QAbstractSlider::SliderPageStepAdd) << 10;
  QTest::newRow("page up from 3") << 3 << int(QAbstractSlider::SliderPageStepSub) << 0;
  QTest::newRow("line down from 10") << 10 << int(QAbstractSlider::SliderSingleStepAdd) << 11;
  QTest::newRow("line up from 10") << 10 << int(QAbstractSlider::SliderSingleStepSub) << 9;
  QTest::newRow("to maximum") << 0 << int(QAbstractSlider::SliderToMaximum) << 10;
  QTest::newRow("to minimum") << 6 << int(QAbstractSlider::SliderToMinimum) << 0;
}

void LogViewTest::ScrollBarActionsUseTheTableNotQtsSteps() {
  QFETCH(int, start);
  QFETCH(int, action);
  QFETCH(int, expected);
  ViewFixture f;
  f.Add(10);
  SetClientHeight(f.view, 20 * f.view.RowHeight());
  f.Paint();
  f.view.OnVScroll(Request::kThumbPosition, start);
  f.view.verticalScrollBar()->triggerAction(static_cast<QAbstractSlider::SliderAction>(action));
  QCOMPARE(f.view.firstRow(), expected);
  QCOMPARE(f.view.verticalScrollBar()->value(), expected);
}

void LogViewTest::WheelAndKeysScroll_data() {
  QTest::addColumn<QString>("input");
  QTest::addColumn<int>("start");
  QTest::addColumn<int>("expectedRow");
  QTest::addColumn<int>("expectedColumn");
  const int lines = QApplication::wheelScrollLines();
  QTest::newRow("wheel towards the user") << "wheel-down" << 0 << lines << 0;
  QTest::newRow("wheel away from the user") << "wheel-up" << 5 << 5 - lines << 0;
  QTest::newRow("half a notch does nothing") << "wheel-half" << 5 << 5 << 0;
  QTest::newRow("shift wheel scrolls sideways") << "wheel-shift" << 0 << 0 << lines;
  QTest::newRow("down arrow") << "Down" << 2 << 3 << 0;
  QTest::newRow("up arrow") << "Up" << 2 << 1 << 0;
  QTest::newRow("page down") << "PageDown" << 0 << 5 << 0;
  QTest::newRow("page up") << "PageUp" << 7 << 2 << 0;
  QTest::newRow("home") << "Home" << 7 << 0 << 0;
  QTest::newRow("end") << "End" << 0 << 30 << 0;
  QTest::newRow("right arrow") << "Right" << 0 << 0 << 1;
  QTest::newRow("left arrow at 0") << "Left" << 0 << 0 << 0;
}

void LogViewTest::WheelAndKeysScroll() {
  QFETCH(QString, input);
  QFETCH(int, start);
  QFETCH(int, expectedRow);
  QFETCH(int, expectedColumn);
  ViewFixture f;
  f.Add(30);  // 32 rows
  SetClientHeight(f.view, 5 * f.view.RowHeight());
  f.Paint();
  QCOMPARE(f.view.pageRows(), 5);
  f.view.OnVScroll(Request::kThumbPosition, start);

  const auto wheel = [&](QPoint delta, Qt::KeyboardModifiers modifiers) {
    QWheelEvent event(QPointF(10, 10), f.view.viewport()->mapToGlobal(QPointF(10, 10)), QPoint(),
                      delta, Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(f.view.viewport(), &event);
  };
  if (input == "wheel-down") {
    wheel(QPoint(0, -120), Qt::NoModifier);
  } else if (input == "wheel-up") {
    wheel(QPoint(0, 120), Qt::NoModifier);
  } else if (input == "wheel-half") {
    wheel(QPoint(0, -60), Qt::NoModifier);
  } else if (input == "wheel-shift") {
    wheel(QPoint(0, -120), Qt::ShiftModifier);
  } else {
    const QMetaEnum keys = QMetaEnum::fromType<Qt::Key>();
    const int key = keys.keyToValue(("Key_" + input).toLatin1().constData());
    QVERIFY(key != -1);
    QTest::keyClick(&f.view, static_cast<Qt::Key>(key));
  }
  QCOMPARE(f.view.firstRow(), expectedRow);
  QCOMPARE(f.view.firstColumn(), expectedColumn);
}

void LogViewTest::EndScrollMovesNothingButRepaints() {
  ViewFixture f;
  f.Add(10);
  f.view.OnVScroll(Request::kThumbPosition, 9);
  f.view.OnHScroll(Request::kThumbPosition, 12);
  f.Paint();
  const int64_t requests = f.view.repaintRequests();
  const int64_t paints = f.view.paintCount();
  f.view.OnVScroll(Request::kEndScroll);
  QCOMPARE(f.view.firstRow(), 9);
  QCOMPARE(f.view.repaintRequests(), requests + 1);
  QTRY_VERIFY(f.view.paintCount() > paints);
  f.view.OnHScroll(Request::kEndScroll);
  QCOMPARE(f.view.firstColumn(), 12);
  QCOMPARE(f.view.repaintRequests(), requests + 2);
  // Releasing the thumb is the end of a scroll.
  emit f.view.verticalScrollBar()->sliderReleased();
  QCOMPARE(f.view.firstRow(), 9);
  QCOMPARE(f.view.repaintRequests(), requests + 3);
}

void LogViewTest::TopRequestRepaintsFromTheHeader() {
  ViewFixture f;
  f.Add(10);
  f.view.OnVScroll(Request::kThumbPosition, 6);
  f.Paint();
  QCOMPARE(f.view.rowsWritten(), f.DocRows(6, 6));
  f.view.OnVScroll(Request::kTop);
  QTRY_COMPARE(f.view.rowsWritten(), f.DocRows(0, 12));
}

void LogViewTest::PaintFillsTheClientHeightAndCutsTheLastRow() {
  ViewFixture f;
  f.Add(10);
  const int h = f.view.RowHeight();
  const int height = h * 25 / 4;  // 6.25 rows
  SetClientHeight(f.view, height);
  f.Paint();
  QCOMPARE(f.view.rowsWritten().size(), size_t{7});
  QCOMPARE(f.view.rowsWritten(), f.DocRows(0, 7));
  QCOMPARE(f.view.pageRows(), 6);
  QCOMPARE(f.view.backBuffer().height(), height);
  QVERIFY(!AllWhite(f.view.backBuffer(), 0, h));
  // Cut through the glyphs of the seventh row: its upper part shows at the bottom edge.
  const int deeper = 6 * h + h * 3 / 4;
  SetClientHeight(f.view, deeper);
  f.Paint();
  QCOMPARE(f.view.rowsWritten().size(), size_t{7});
  QCOMPARE(f.view.pageRows(), 6);
  QCOMPARE(f.view.backBuffer().height(), deeper);
  QVERIFY(!AllWhite(f.view.backBuffer(), 6 * h, deeper));
}

void LogViewTest::ColumnOffsetClipsEveryRow() {
  ViewFixture f;
  f.Add(3);
  f.view.OnHScroll(Request::kThumbPosition, 20);
  f.Paint();
  std::vector<std::string> expected = f.DocRows(0, 5);
  for (std::string& text : expected)
    text.erase(0, 20);
  QCOMPARE(f.view.rowsWritten(), expected);
  QVERIFY(expected[2].size() > 10);
}

void LogViewTest::OffsetBeyondTheRowsWritesEmptyRows() {
  ViewFixture f;
  f.Add(3);
  const int width = f.doc->GetMaxRowWidth();
  f.view.OnHScroll(Request::kThumbPosition, width);
  f.Paint();
  QCOMPARE(f.view.rowsWritten(), std::vector<std::string>(5, std::string()));
  QVERIFY(AllWhite(f.view.backBuffer(), 0, f.view.backBuffer().height()));
}

void LogViewTest::EmptyDocumentShowsHeaderAndRule() {
  ViewFixture f;
  f.Paint();
  QCOMPARE(f.view.rowsWritten(), f.DocRows(0, 2));
  QCOMPARE(f.view.rowsWritten().size(), size_t{2});
  QCOMPARE(f.view.verticalMin(), 0);
  QCOMPARE(f.view.verticalMax(), 1);
  QCOMPARE(f.view.verticalScrollBar()->minimum(), 0);
  QCOMPARE(f.view.verticalScrollBar()->maximum(), 1);
  QCOMPARE(f.view.knownRowCount(), 2);
  const int h = f.view.RowHeight();
  QVERIFY(!AllWhite(f.view.backBuffer(), 0, 2 * h));
  QVERIFY(AllWhite(f.view.backBuffer(), 2 * h, f.view.backBuffer().height()));
}

void LogViewTest::FirstRowBeyondTheTableWritesNothing() {
  ViewFixture f;
  f.Add(10);
  f.view.OnVScroll(Request::kThumbPosition, 11);
  f.doc->OnNewDocument();  // cleared while scrolled down
  f.doc->UpdateAllViews(nullptr);
  QCOMPARE(f.view.firstRow(), 11);  // not moved into the shrunken range
  QCOMPARE(f.view.verticalMax(), 1);
  SetClientHeight(f.view, 10 * f.view.RowHeight());
  f.Paint();
  QVERIFY(f.view.rowsWritten().empty());
  QCOMPARE(f.view.pageRows(), 10);
  QVERIFY(AllWhite(f.view.backBuffer(), 0, f.view.backBuffer().height()));
  // Scrolling back up shows the rows again.
  f.view.OnVScroll(Request::kTop);
  f.Paint();
  QCOMPARE(f.view.rowsWritten(), f.DocRows(0, 2));
}

void LogViewTest::PaintWithoutHeightDividesByNothing() {
  ViewFixture f;
  f.Add(2);
  SetClientHeight(f.view, 0);
  f.view.OnInitialUpdate();
  QImage screen(10, 10, QImage::Format_RGB32);
  QPainter painter(&screen);
  f.view.OnDraw(painter);
  QVERIFY(f.view.rowsWritten().empty());
  QCOMPARE(f.view.pageRows(), 0);
}

void LogViewTest::RangesChangeOnlyWithTheRowCount() {
  ViewFixture f;
  f.Add(4);
  QCOMPARE(f.view.verticalScrollBar()->maximum(), 5);
  QSignalSpy rangeChanges(f.view.verticalScrollBar(), &QAbstractSlider::rangeChanged);
  f.doc->UpdateAllViews(nullptr);
  f.doc->OnShowSystemTime();  // wider rows, same count
  QCOMPARE(rangeChanges.count(), 0);
  QCOMPARE(f.view.horizontalMax(), f.doc->GetMaxRowWidth() - 1);
  f.Add(1, 3000);
  QCOMPARE(rangeChanges.count(), 1);
  QCOMPARE(f.view.verticalScrollBar()->maximum(), 6);
  QCOMPARE(f.view.knownRowCount(), 7);
}

void LogViewTest::ModelChangeRedrawsNarrowerRowsWithTheSameRanges() {
  ViewFixture f;
  f.Add(5);
  f.Paint();
  const int horizontalMax = f.view.horizontalMax();
  const std::vector<std::string> wide = f.view.rowsWritten();
  const int64_t requests = f.view.repaintRequests();
  f.doc->OnModel(kModel3100);
  QCOMPARE(f.view.repaintRequests(), requests + 1);
  f.Paint();
  QCOMPARE(f.view.rowsWritten(), f.DocRows(0, 7));
  QVERIFY(f.view.rowsWritten()[0].size() < wide[0].size());
  QCOMPARE(f.view.horizontalMax(), horizontalMax);
  QCOMPARE(f.view.verticalMax(), 6);
}

void LogViewTest::NewestFirstShowsEachNewSampleUnderTheRule() {
  ViewFixture f;
  f.Add(3);
  f.Paint();
  const std::vector<std::string> before = f.view.rowsWritten();
  f.Add(1, 4321);
  QTRY_COMPARE(f.view.rowsWritten().size(), size_t{6});
  QCOMPARE(f.view.rowsWritten(), f.DocRows(0, 6));
  QVERIFY(f.view.rowsWritten()[2] != before[2]);
  QCOMPARE(f.view.rowsWritten()[3], before[2]);
}

void LogViewTest::BackBufferFollowsTheClientSize() {
  COvixLogView view;
  view.resize(300, 200);
  view.show();
  QVERIFY(QTest::qWaitForWindowExposed(&view));
  QVERIFY(!view.bufferReady());
  QVERIFY(view.backBuffer().isNull());  // a size change before the initial update makes none
  view.OnInitialUpdate();
  QVERIFY(view.bufferReady());
  QCOMPARE(view.backBuffer().size(), view.viewport()->size() * view.devicePixelRatioF());
  view.resize(500, 320);
  QTRY_COMPARE(view.backBuffer().size(), view.viewport()->size() * view.devicePixelRatioF());
  QCOMPARE(view.viewport()->width(), view.backBuffer().width());
}

}  // namespace ovixlog::test

QTEST_MAIN(ovixlog::test::LogViewTest)
#include "log_view_test.moc"
