// The chart pane in the window: one cursor shared with the table's selected row, zoom and fit on
// the shared time axis, pauses drawn as breaks, the model choosing the series, and the table's
// reading aids (its place kept while rows arrive, pinned title rows, a full last page).
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QSplitter>
#include <QTest>
#include <QXmlStreamReader>

#include <algorithm>
#include <set>

#include "app/command_ids.h"
#include "gui/gui_fixture.h"
#include "view/chart_view.h"
#include "view/flights_panel.h"

namespace ovixlog::test {

namespace {

// The window with every sample kept, big enough for charts and a table of some rows.
struct ChartFixture : AppFixture {
  ChartFixture() : AppFixture({"a"}) {
    frame()->resize(1000, 800);
    frame()->splitter()->setSizes({450, 250});
    // These tests judge the data lines by their pixels: no engine limits, so no limit lines or
    // exceedance shading cross the plots.
    frame()->flights()->SetLimits(Limits());
    frame()->UpdateChartMarks();
    QCoreApplication::processEvents();
  }
  ChartView* charts() const { return frame()->charts(); }
  // Stores samples a second apart (or `stepMs`) with EGTs at `egt` and updates the views.
  void Store(int count, int egt = 1400, uint32_t stepMs = 1000) {
    for (int i = 0; i < count; ++i) {
      EngineSample s = SampleWithTach(1000 + stored, nextStamp);
      for (int16_t& e : s.egt)
        e = static_cast<int16_t>(egt);
      doc()->AddSample(std::make_unique<EngineSample>(s), nullptr);
      nextStamp += stepMs;
      ++stored;
    }
    doc()->UpdateAllViews(nullptr);
  }
  QPoint InPlot(int plot, int64_t timeMs) const {
    const QRect r = charts()->PlotRect(plot);
    return QPoint(charts()->XForTime(timeMs), r.center().y());
  }
  int stored = 0;
};

// How many pixels of column `x` inside `r` (frame excluded) are coloured, not grey.
int ColouredPixels(const QImage& image, int x, const QRect& r) {
  int n = 0;
  for (int y = r.top() + 2; y < r.bottom() - 1; ++y) {
    const QColor c = image.pixelColor(x, y);
    if (std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()}) > 40)
      ++n;
  }
  return n;
}

QStringList Titles(const std::vector<int>& channels) {
  QStringList titles;
  for (int channel : channels)
    titles << QString::fromLatin1(ChannelTitle(channel));
  return titles;
}

}  // namespace

class ChartViewTest : public QObject {
  Q_OBJECT

 private slots:
  void ClickingAChartSelectsTheRow();
  void SelectingARowMovesTheCursor();
  void ZoomPanAndFitShareOneAxis();
  void BackspaceTakesViewChangesBack();
  void LegendHidesAndSolosPerModel();
  void NormaliseAndFromCursorToggle();
  void SavesAndCopiesPictures();
  void FollowKeepsTheNewestSampleInView();
  void AGapBreaksTheLineAndMarksTheTable();
  void TheModelChoosesTheSeries_data();
  void TheModelChoosesTheSeries();
  void TableKeepsItsPlaceWhileRowsArrive();
  void TitleRowsStayAndEndShowsAFullPage();
  void ViewChartsHidesAndShowsThePane();
};

void ChartViewTest::ClickingAChartSelectsTheRow() {
  ChartFixture f;
  f.Store(100);
  QTRY_COMPARE(f.charts()->summary().size(), 100);
  QCOMPARE(f.charts()->viewStartMs(), int64_t{0});
  QCOMPARE(f.charts()->viewEndMs(), int64_t{99000});
  for (int plot : {ChartView::kEgtPlot, ChartView::kOtherPlot}) {
    const QPoint at = f.InPlot(plot, 40000);
    const int expected = f.charts()->summary().Nearest(f.charts()->TimeAtX(at.x()));
    QVERIFY(expected >= 39 && expected <= 41);
    QTest::mouseClick(f.charts(), Qt::LeftButton, {}, at);
    QCOMPARE(f.charts()->cursorSample(), expected);
    QCOMPARE(f.view()->selectedSample(), expected);
    // Newest first: sample k is row 2 + 99 - k, and it is in view under the titles.
    const int row = f.view()->RowOfSample(expected);
    QCOMPARE(row, 2 + 99 - expected);
    QVERIFY(row >= f.view()->firstRow() + 2);
    QVERIFY(row < f.view()->firstRow() + f.view()->pageRows());
  }
  // A click on the last sample scrolls the table to the top again.
  QTest::mouseClick(f.charts(), Qt::LeftButton, {}, f.InPlot(ChartView::kChtPlot, 98800));
  QCOMPARE(f.view()->selectedSample(), 99);
  QCOMPARE(f.view()->RowOfSample(99), 2);
  QVERIFY(f.view()->firstRow() == 0);
}

void ChartViewTest::SelectingARowMovesTheCursor() {
  ChartFixture f;
  f.Store(100);
  QTRY_COMPARE(f.charts()->summary().size(), 100);
  f.view()->viewport()->repaint();
  // The sixth line of the table is row 5: sample 99 - 3 = 96.
  const int y = 5 * f.view()->RowHeight() + 2;
  QTest::mouseClick(f.view()->viewport(), Qt::LeftButton, {}, QPoint(30, y));
  QCOMPARE(f.view()->selectedSample(), 96);
  QCOMPARE(f.charts()->cursorSample(), 96);
  // The arrow keys move the selection, and the cursor with it: down is older, newest first.
  QTest::keyClick(f.view(), Qt::Key_Down);
  QCOMPARE(f.view()->selectedSample(), 95);
  QCOMPARE(f.charts()->cursorSample(), 95);
  QTest::keyClick(f.view(), Qt::Key_Up);
  QTest::keyClick(f.view(), Qt::Key_Up);
  QCOMPARE(f.charts()->cursorSample(), 97);
  // A title row selects nothing.
  QTest::mouseClick(f.view()->viewport(), Qt::LeftButton, {}, QPoint(30, 2));
  QCOMPARE(f.view()->selectedSample(), 97);
  // Oldest first, the same sample sits in another row, and down is newer.
  f.frame()->OnCommand(kIdOldestFirst);
  QCOMPARE(f.view()->RowOfSample(97), 99);
  QTest::keyClick(f.view(), Qt::Key_Down);
  QCOMPARE(f.charts()->cursorSample(), 98);
}

void ChartViewTest::ZoomPanAndFitShareOneAxis() {
  ChartFixture f;
  f.Store(100);
  QTRY_COMPARE(f.charts()->summary().size(), 100);
  ChartView* c = f.charts();
  for (int plot = 1; plot < ChartView::kPlotCount; ++plot) {
    QCOMPARE(c->PlotRect(plot).left(), c->PlotRect(0).left());
    QCOMPARE(c->PlotRect(plot).width(), c->PlotRect(0).width());
  }
  QVERIFY(c->following());

  // One notch away from the user zooms in by 0.8 around the time under the pointer.
  const QPoint at = f.InPlot(ChartView::kChtPlot, 30000);
  const int64_t t = c->TimeAtX(at.x());
  QWheelEvent wheel(at, c->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(c, &wheel);
  const double td = static_cast<double>(t);
  QCOMPARE(c->viewStartMs(), std::llround(td - td * 0.8));
  QCOMPARE(c->viewEndMs(), std::llround(td + (99000.0 - td) * 0.8));
  QVERIFY(!c->following());
  QCOMPARE(c->TimeAtX(at.x()), t);

  // A drag to the right by 100 pixels shows earlier time.
  const int64_t start = c->viewStartMs();
  const int64_t end = c->viewEndMs();
  const double msPerPixel = static_cast<double>(end - start) / c->PlotRect(0).width();
  const QPoint from = f.InPlot(ChartView::kEgtPlot, (start + end) / 2);
  QTest::mousePress(c, Qt::LeftButton, {}, from);
  QTest::mouseMove(c, from + QPoint(50, 0));
  QTest::mouseMove(c, from + QPoint(100, 0));
  QTest::mouseRelease(c, Qt::LeftButton, {}, from + QPoint(100, 0));
  QCOMPARE(c->viewStartMs(), start - std::llround(100 * msPerPixel));
  QCOMPARE(c->viewEndMs(), end - std::llround(100 * msPerPixel));

  // A rubber band (right-button drag) zooms to the stretch under it.
  const QPoint a = f.InPlot(ChartView::kOtherPlot, c->viewStartMs() + 1000);
  const QPoint b = a + QPoint(200, 0);
  const int64_t ta = c->TimeAtX(a.x());
  const int64_t tb = c->TimeAtX(b.x());
  QTest::mousePress(c, Qt::RightButton, {}, a);
  QTest::mouseMove(c, a + QPoint(100, 0));
  QTest::mouseMove(c, b);
  QTest::mouseRelease(c, Qt::RightButton, {}, b);
  QCOMPARE(c->viewStartMs(), ta);
  QCOMPARE(c->viewEndMs(), tb);

  // Home fits everything again and follows; so does a double click.
  QTest::keyClick(c, Qt::Key_Home);
  QCOMPARE(c->viewStartMs(), int64_t{0});
  QCOMPARE(c->viewEndMs(), int64_t{99000});
  QVERIFY(c->following());
  c->FitRange(10000, 20000);
  QVERIFY(!c->following());
  QTest::mouseDClick(c, Qt::LeftButton, {}, f.InPlot(ChartView::kEgtPlot, 15000));
  QCOMPARE(c->viewEndMs(), int64_t{99000});
  QVERIFY(c->following());
}

void ChartViewTest::BackspaceTakesViewChangesBack() {
  ChartFixture f;
  f.Store(100);
  QTRY_COMPARE(f.charts()->summary().size(), 100);
  ChartView* c = f.charts();
  QTest::keyClick(c, Qt::Key_Plus);
  QCOMPARE(c->viewStartMs(), int64_t{9900});
  QCOMPARE(c->viewEndMs(), int64_t{89100});
  c->FitRange(20000, 30000);
  QTest::keyClick(c, Qt::Key_Home);
  QVERIFY(c->following());

  // Back through the fit, the range and the zoom to the flight followed as it was.
  QTest::keyClick(c, Qt::Key_Backspace);
  QCOMPARE(c->viewStartMs(), int64_t{20000});
  QCOMPARE(c->viewEndMs(), int64_t{30000});
  QVERIFY(!c->following());
  QTest::keyClick(c, Qt::Key_Backspace);
  QCOMPARE(c->viewEndMs(), int64_t{89100});
  QTest::keyClick(c, Qt::Key_Backspace);
  QCOMPARE(c->viewStartMs(), int64_t{0});
  QCOMPARE(c->viewEndMs(), int64_t{99000});
  QVERIFY(c->following());
  QVERIFY(!c->UndoView());
  // The view undone to follows the flight as it grows.
  f.Store(10);
  QTRY_COMPARE(c->viewEndMs(), int64_t{109000});
  // And forward again.
  QTest::keyClick(c, Qt::Key_Backspace, Qt::ShiftModifier);
  QCOMPARE(c->viewStartMs(), int64_t{9900});
  QCOMPARE(c->viewEndMs(), int64_t{89100});
  QVERIFY(!c->following());
}

void ChartViewTest::LegendHidesAndSolosPerModel() {
  ChartFixture f;
  f.Store(100);
  QTRY_COMPARE(f.charts()->summary().size(), 100);
  ChartView* c = f.charts();
  c->repaint();
  const int egt2 = kChannelEgt1 + 1;
  QTest::mouseClick(c, Qt::LeftButton, {}, c->LegendBox(ChartView::kEgtPlot, egt2).center());
  QCOMPARE(c->HiddenSeries(ChartView::kEgtPlot), std::set<int>{egt2});
  QCOMPARE(c->HiddenSeries(ChartView::kChtPlot), std::set<int>{});
  // A legend click is not a pick: the cursor and the table stay.
  QCOMPARE(c->cursorSample(), -1);
  QTest::mouseDClick(c, Qt::LeftButton, {},
                     c->LegendBox(ChartView::kEgtPlot, kChannelEgt1 + 2).center());
  QCOMPARE(c->HiddenSeries(ChartView::kEgtPlot),
           (std::set<int>{kChannelEgt1, egt2, kChannelEgt1 + 3}));
  // Another model has its own choice; coming back restores this one.
  f.frame()->OnCommand(kIdModel3100);
  QCOMPARE(c->HiddenSeries(ChartView::kEgtPlot), std::set<int>{});
  c->ToggleSeries(ChartView::kEgtPlot, kChannelEgt1);
  f.frame()->OnCommand(kIdModel5100);
  QCOMPARE(c->HiddenSeries(ChartView::kEgtPlot),
           (std::set<int>{kChannelEgt1, egt2, kChannelEgt1 + 3}));
  f.frame()->OnCommand(kIdModel3100);
  QCOMPARE(c->HiddenSeries(ChartView::kEgtPlot), std::set<int>{kChannelEgt1});
}

void ChartViewTest::NormaliseAndFromCursorToggle() {
  ChartFixture f;
  f.Store(100);
  QTRY_COMPARE(f.charts()->summary().size(), 100);
  ChartView* c = f.charts();
  QCOMPARE(c->relative(), ChartView::Relative::kNone);
  // Without a cursor there is no moment to measure from.
  QVERIFY(!c->SetRelative(ChartView::Relative::kReference));
  QCOMPARE(c->relative(), ChartView::Relative::kNone);
  QVERIFY(c->SetRelative(ChartView::Relative::kMean));
  QCOMPARE(c->relative(), ChartView::Relative::kMean);
  c->SetCursorSample(40);
  QVERIFY(c->SetRelative(ChartView::Relative::kReference));
  QCOMPARE(c->relative(), ChartView::Relative::kReference);
  QVERIFY(c->SetRelative(ChartView::Relative::kNone));
  QCOMPARE(c->relative(), ChartView::Relative::kNone);
}

void ChartViewTest::SavesAndCopiesPictures() {
  ChartFixture f;
  f.Store(100);
  QTRY_COMPARE(f.charts()->summary().size(), 100);
  ChartView* c = f.charts();
  QCOMPARE(c->Picture().size(), c->size());
  const std::string png = f.folder / "charts.png";
  QVERIFY(c->SavePicture(QString::fromStdString(png), QSize(1200, 900)));
  QCOMPARE(QImage(QString::fromStdString(png)).size(), QSize(1200, 900));
  // The pane itself keeps its size and layout.
  QCOMPARE(c->PlotRect(0).width(), c->width() - 116);
  const std::string svg = f.folder / "charts.svg";
  QVERIFY(c->SavePicture(QString::fromStdString(svg), QSize(800, 600)));
  QFile file(QString::fromStdString(svg));
  QVERIFY(file.open(QIODevice::ReadOnly));
  const QByteArray text = file.readAll();
  // A vector drawing: the series are strokes in their colours, not an embedded picture.
  QXmlStreamReader xml(text);
  QStringList strokes;
  QString size;
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement)
      continue;
    const QStringView name = xml.name();
    QVERIFY2(name != QLatin1String("image"), "an embedded picture");
    if (name == QLatin1String("svg")) {
      size = xml.attributes().value("viewBox").toString();
    } else if (name == QLatin1String("path") || name == QLatin1String("polyline")) {
      // QSvgGenerator writes the pen's colour on the enclosing group.
      strokes << xml.attributes().value("stroke").toString();
    } else if (name == QLatin1String("g") && xml.attributes().hasAttribute("stroke")) {
      strokes << QStringLiteral("g:") + xml.attributes().value("stroke").toString();
    }
  }
  QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
  QCOMPARE(size, QStringLiteral("0 0 800 600"));
  QVERIFY(text.contains("<path") || text.contains("<polyline"));
  // Every EGT and CHT series' colour strokes something.
  for (int n = 0; n < 4; ++n) {
    const QString colour = ChartView::SeriesColor(n).name();
    QVERIFY2(strokes.contains(colour) || strokes.contains(QStringLiteral("g:") + colour),
             qPrintable(colour + QLatin1Char(' ') + strokes.join(QLatin1Char(','))));
  }
  QVERIFY(!c->SavePicture(QString::fromStdString(f.folder / "missing/charts.svg")));
  c->CopyPicture();
  QCOMPARE(QGuiApplication::clipboard()->image().size(), c->size());
}

void ChartViewTest::FollowKeepsTheNewestSampleInView() {
  ChartFixture f;
  f.Store(61);
  QTRY_COMPARE(f.charts()->viewEndMs(), int64_t{60000});
  // Live data arriving through the reading thread's path: the whole flight stays in view.
  f.Add(5000);
  f.nextStamp = 0;  // (AppFixture's own stamps are not used below)
  f.Store(10);
  QTRY_COMPARE(f.charts()->summary().size(), 72);
  QCOMPARE(f.charts()->viewStartMs(), int64_t{0});
  // Zoomed in, the view stays where it is while samples arrive.
  f.charts()->FitRange(5000, 15000);
  f.Store(5);
  QTRY_COMPARE(f.charts()->summary().size(), 77);
  QCOMPARE(f.charts()->viewStartMs(), int64_t{5000});
  QCOMPARE(f.charts()->viewEndMs(), int64_t{15000});
  // Follow on again: the same span, ending at the newest sample.
  f.charts()->SetFollowing(true);
  const int64_t newest = f.charts()->summary().LastTimeMs();
  QCOMPARE(f.charts()->viewEndMs(), newest);
  QCOMPARE(f.charts()->viewStartMs(), newest - 10000);
  f.Store(1);
  QTRY_COMPARE(f.charts()->viewEndMs(), newest + 1000);
}

void ChartViewTest::AGapBreaksTheLineAndMarksTheTable() {
  ChartFixture f;
  f.Store(60);           // 0 .. 59 s
  f.nextStamp += 60000;  // the line is quiet for a minute
  f.Store(60);           // 120 .. 179 s
  QTRY_COMPARE(f.charts()->summary().size(), 120);
  QCOMPARE(f.charts()->summary().breaks(), std::vector<int>{60});
  const QImage image = f.charts()->grab().toImage();
  const QRect egt = f.charts()->PlotRect(ChartView::kEgtPlot);
  // Inside the gap nothing is drawn; where samples are, the lines are.
  QCOMPARE(ColouredPixels(image, f.charts()->XForTime(90000), egt), 0);
  QCOMPARE(ColouredPixels(image, f.charts()->XForTime(61000), egt), 0);
  QVERIFY(ColouredPixels(image, f.charts()->XForTime(30000), egt) > 0);
  QVERIFY(ColouredPixels(image, f.charts()->XForTime(150000), egt) > 0);
  // The same samples a second apart without the pause: the line runs through.
  ChartFixture g;
  g.Store(180);
  QTRY_COMPARE(g.charts()->summary().size(), 180);
  const QImage through = g.charts()->grab().toImage();
  QVERIFY(ColouredPixels(through, g.charts()->XForTime(90000), egt) > 0);

  // The table: a rule between the rows of samples 59 and 60 (newest first, under row 60's).
  f.view()->SelectSample(60, true);
  f.view()->viewport()->repaint();
  const int line = f.view()->RowOfSample(60) - f.view()->firstRow();
  const int h = f.view()->RowHeight();
  const QImage table = f.view()->backBuffer();
  QCOMPARE(table.pixelColor(table.width() - 3, line * h + h - 1), QColor(220, 60, 40));
  QVERIFY(table.pixelColor(table.width() - 3, line * h - 1) != QColor(220, 60, 40));
  QVERIFY(table.pixelColor(table.width() - 3, (line + 1) * h + h - 1) != QColor(220, 60, 40));
}

void ChartViewTest::TheModelChoosesTheSeries_data() {
  QTest::addColumn<int>("command");
  QTest::addColumn<QStringList>("egt");
  QTest::addColumn<QStringList>("cht");
  QTest::addColumn<QStringList>("other");
  QTest::newRow("3100") << int{kIdModel3100} << QStringList{"EGT1", "EGT2"}
                        << QStringList{"CHT1", "CHT2"} << QStringList{"Tach"};
  QTest::newRow("5100") << int{kIdModel5100} << QStringList{"EGT1", "EGT2", "EGT3", "EGT4"}
                        << QStringList{"CHT1", "CHT2", "CHT3", "CHT4"}
                        << QStringList{"Tach", "Carb"};
  QTest::newRow("8100") << int{kIdModel8100} << QStringList{"EGT1", "EGT2", "EGT3", "EGT4", "EGT5",
                                                            "EGT6", "EGT7", "EGT8", "EGT9"}
                        << QStringList{"CHT1", "CHT2", "CHT3"} << QStringList{"Tach", "Carb"};
}

void ChartViewTest::TheModelChoosesTheSeries() {
  QFETCH(int, command);
  QFETCH(QStringList, egt);
  QFETCH(QStringList, cht);
  QFETCH(QStringList, other);
  ChartFixture f;
  f.Store(20);
  f.charts()->SetOtherChannels({kChannelTach, kChannelCarb});
  QTRY_COMPARE(f.charts()->summary().size(), 20);
  f.frame()->OnCommand(kIdModel7100);
  QCOMPARE(f.charts()->PlotChannels(ChartView::kEgtPlot).size(), size_t{6});
  f.charts()->repaint();
  const int64_t paints = f.charts()->paintCount();
  f.frame()->OnCommand(command);
  QCOMPARE(Titles(f.charts()->PlotChannels(ChartView::kEgtPlot)), egt);
  QCOMPARE(Titles(f.charts()->PlotChannels(ChartView::kChtPlot)), cht);
  QCOMPARE(Titles(f.charts()->PlotChannels(ChartView::kOtherPlot)), other);
  QTRY_VERIFY(f.charts()->paintCount() > paints);
  // The default choice of the third plot.
  ChartView fresh;
  QCOMPARE(Titles(fresh.otherChannels()), (QStringList{"Tach", "Flow"}));
}

void ChartViewTest::TableKeepsItsPlaceWhileRowsArrive() {
  ChartFixture f;
  COvixLogView* v = f.view();
  f.Store(100);
  QTRY_COMPARE(v->knownRowCount(), 102);
  // Newest first, scrolled away from the top: the same rows stay on screen.
  v->OnVScroll(COvixLogView::ScrollRequest::kThumbPosition, 30);
  v->viewport()->repaint();
  const std::vector<std::string> before = v->rowsWritten();
  QVERIFY(before.size() > 5);
  f.Store(5);
  QTRY_COMPARE(v->knownRowCount(), 107);
  v->viewport()->repaint();
  QCOMPARE(v->firstRow(), 35);
  QCOMPARE(v->rowsWritten(), before);
  // Back at the top, the newest sample shows under the titles again.
  v->OnVScroll(COvixLogView::ScrollRequest::kTop);
  f.Store(1);
  QTRY_COMPARE(v->knownRowCount(), 108);
  v->viewport()->repaint();
  QCOMPARE(v->firstRow(), 0);
  QCOMPARE(
      v->rowsWritten()[2], f.Table().substr(0, 0) + [&] {
        std::string row;
        f.doc()->FormatDisplayRow(2, row);
        return row;
      }());

  // Oldest first at the end: the view follows the new rows.
  f.frame()->OnCommand(kIdOldestFirst);
  v->OnVScroll(COvixLogView::ScrollRequest::kBottom);
  v->viewport()->repaint();
  f.Store(3);
  QTRY_COMPARE(v->knownRowCount(), 111);
  v->viewport()->repaint();
  std::string last;
  f.doc()->FormatDisplayRow(110, last);
  QCOMPARE(v->rowsWritten().back(), last);
  // Oldest first, away from the end: nothing moves.
  v->OnVScroll(COvixLogView::ScrollRequest::kThumbPosition, 10);
  v->viewport()->repaint();
  const std::vector<std::string> away = v->rowsWritten();
  f.Store(3);
  QTRY_COMPARE(v->knownRowCount(), 114);
  v->viewport()->repaint();
  QCOMPARE(v->firstRow(), 10);
  QCOMPARE(v->rowsWritten(), away);
}

void ChartViewTest::TitleRowsStayAndEndShowsAFullPage() {
  ChartFixture f;
  COvixLogView* v = f.view();
  f.Store(200);
  QTRY_COMPARE(v->knownRowCount(), 202);
  QVERIFY(v->titlesPinned());
  std::string header;
  std::string rule;
  f.doc()->FormatDisplayRow(0, header);
  f.doc()->FormatDisplayRow(1, rule);
  v->OnVScroll(COvixLogView::ScrollRequest::kThumbPosition, 50);
  v->viewport()->repaint();
  QCOMPARE(v->rowsWritten()[0], header);
  QCOMPARE(v->rowsWritten()[1], rule);
  std::string row52;
  f.doc()->FormatDisplayRow(52, row52);
  QCOMPARE(v->rowsWritten()[2], row52);
  // End: the last row at the bottom of a full page, the titles above.
  QTest::keyClick(v, Qt::Key_End);
  v->viewport()->repaint();
  const int page = v->pageRows();
  QCOMPARE(v->firstRow(), 202 - page);
  QCOMPARE(v->rowsWritten()[0], header);
  std::string last;
  f.doc()->FormatDisplayRow(201, last);
  QCOMPARE(v->rowsWritten()[static_cast<size_t>(page - 1)], last);
  // Horizontally the range ends where the widest row's end comes into view.
  const int visibleColumns =
      v->viewport()->width() / QFontMetrics(v->rowFont()).horizontalAdvance(QLatin1Char('0'));
  QCOMPARE(v->horizontalMax(), std::max(f.doc()->GetMaxRowWidth() - visibleColumns, 0));
}

void ChartViewTest::ViewChartsHidesAndShowsThePane() {
  ChartFixture f;
  QVERIFY(f.charts()->isVisible());
  QVERIFY(f.frame()->Action(kIdViewCharts)->isChecked());
  f.frame()->Action(kIdViewCharts)->trigger();
  QVERIFY(f.charts()->isHidden());
  QVERIFY(!f.frame()->Action(kIdViewCharts)->isChecked());
  QVERIFY(f.view()->isVisible());
  f.frame()->Action(kIdViewCharts)->trigger();
  QVERIFY(f.charts()->isVisible());
}

}  // namespace ovixlog::test

QTEST_MAIN(ovixlog::test::ChartViewTest)
#include "chart_view_test.moc"
