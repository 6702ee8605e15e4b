// The lean-test view in the window: a sweep found by the analysis, opened from the Flights
// panel or at the charts' cursor, drawn against flow with each cylinder's peak, the spread's
// verdict and the order of peaking; and the panel saying the test in words.
#include <QAction>
#include <QTest>
#include <QTreeWidget>

#include <cmath>

#include "../analysis/analysis_fixture.h"
#include "gui/gui_fixture.h"
#include "view/chart_view.h"
#include "view/flights_panel.h"
#include "view/lean_test_view.h"
#include "view/plot_painter.h"

namespace ovixlog::test {

namespace {

// Whole degrees on a parabola: peak - (tenths - peakTenths)^2.
int16_t Parabola(int peak, int peakTenths, int tenths) {
  const int k = tenths - peakTenths;
  return static_cast<int16_t>(peak - k * k);
}

// Five minutes at 2400 rpm; from 40 s to 160 s the flow falls from 10.0 to 8.0 and the four
// cylinders peak at 9.0, 8.6, 9.3 and 8.8; after 200 s the mixture is richened to 9.0 again.
void StoreLeanSweep(COvixLogDoc* doc) {
  for (const EngineSample& s : Seconds(0, 300, [](EngineSample& x, int t) {
         const int tenths = t < 40 ? 100 : t > 200 ? 90 : t > 160 ? 80 : 100 - (t - 40) * 20 / 120;
         x.flow = static_cast<float>(tenths) * 0.1f;
         x.egt[0] = Parabola(1500, 90, tenths);
         x.egt[1] = Parabola(1480, 86, tenths);
         x.egt[2] = Parabola(1490, 93, tenths);
         x.egt[3] = Parabola(1470, 88, tenths);
       })) {
    doc->AddSample(std::make_unique<EngineSample>(s), nullptr);
  }
  doc->UpdateAllViews(nullptr);
}

QAction* ActionNamed(QWidget* window, const QString& text) {
  for (QAction* action : window->findChildren<QAction*>()) {
    if (action->text() == text)
      return action;
  }
  return nullptr;
}

}  // namespace

class LeanTestViewTest : public QObject {
  Q_OBJECT

 private slots:
  void OpensFromThePanelWithPeaksAndVerdict();
  void OpensAtTheCursorFromTheViewMenu();
};

void LeanTestViewTest::OpensFromThePanelWithPeaksAndVerdict() {
  AppFixture f;
  StoreLeanSweep(f.doc());
  QTreeWidget* tree = f.frame()->flights()->tree();
  QTRY_COMPARE(tree->topLevelItemCount(), 1);
  QTRY_COMPARE(tree->topLevelItem(0)->childCount(), 1);
  const QString words = QStringLiteral("lean, 0.7 gph spread, order 3-1-4-2");
  QCOMPARE(tree->topLevelItem(0)->text(7), words);
  QTreeWidgetItem* item = tree->topLevelItem(0)->child(0);
  QCOMPARE(item->text(0), QStringLiteral("Lean sweep"));
  QCOMPARE(item->text(7), words + QStringLiteral(": acceptable"));
  QCOMPARE(tree->headerItem()->toolTip(4), QStringLiteral("Fuel burnt during the run, from the flow"));

  QVERIFY(f.frame()->findChild<LeanTestView*>() == nullptr);
  emit tree->itemActivated(item, 0);
  auto* view = f.frame()->findChild<LeanTestView*>();
  QVERIFY(view != nullptr);
  QVERIFY(view->isVisible());
  QCOMPARE(LeanTestView::VerdictLine(view->test()),
           QStringLiteral("GAMI spread 0.7 gph: acceptable; order of peaking 3-1-4-2"));
  const LeanTestCurves& curves = view->curves();
  QCOMPARE(curves.cylinders.size(), size_t{4});
  const double peaks[] = {9.0, 8.6, 9.3, 8.8};
  const double tops[] = {1500, 1480, 1490, 1470};
  for (size_t n = 0; n < 4; ++n) {
    const LeanCurve& c = curves.cylinders[n];
    QVERIFY(c.fit.has_value());
    QVERIFY(std::fabs(*c.peakFlow - peaks[n]) < 1e-3);
    QVERIFY(std::fabs(*c.peakEgt - tops[n]) < 1e-2);
    QVERIFY(std::fabs(c.fit->At(peaks[n]) - tops[n]) < 1e-2);
    // The samples of the sweep only: from the last one at 10.0 (45 s) to the first at 8.0.
    QCOMPARE(c.flow.size(), size_t{116});
    QCOMPARE(c.flow.front(), 10.0);
  }

  // Each peak is marked in its cylinder's colour where its flow and EGT fall.
  const QImage image = view->grab().toImage();
  for (size_t n = 0; n < 4; ++n) {
    const QPointF p =
        LeanTestView::PointFor(view->rect(), curves, peaks[n], tops[n]) * image.devicePixelRatio();
    QCOMPARE(image.pixelColor(p.toPoint()), SeriesColor(static_cast<int>(n)));
  }
  // Richer flows stand on the left.
  QVERIFY(LeanTestView::PointFor(view->rect(), curves, 9.3, 1400).x() <
          LeanTestView::PointFor(view->rect(), curves, 8.6, 1400).x());
}

void LeanTestViewTest::OpensAtTheCursorFromTheViewMenu() {
  AppFixture f;
  QAction* open = ActionNamed(f.frame(), QStringLiteral("&Lean Test"));
  QVERIFY(open != nullptr);
  open->trigger();  // nothing to show yet
  QVERIFY(f.frame()->findChild<LeanTestView*>() == nullptr);
  StoreLeanSweep(f.doc());
  QTRY_COMPARE(f.frame()->flights()->runs().size(), size_t{1});
  QTRY_COMPARE(f.frame()->flights()->runs()[0].leanTests.size(), size_t{1});
  f.frame()->charts()->SetCursorTime(100000);
  open->trigger();
  auto* view = f.frame()->findChild<LeanTestView*>();
  QVERIFY(view != nullptr);
  QVERIFY(view->isVisible());
  QCOMPARE(view->test(), f.frame()->flights()->runs()[0].leanTests[0]);
}

}  // namespace ovixlog::test

QTEST_MAIN(ovixlog::test::LeanTestViewTest)
#include "lean_test_view_test.moc"
