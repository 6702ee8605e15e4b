// Every column title of the window's tables says what the column holds: the log table's titles
// (for every model, with and without the computer's time), the Flights panel's and the Library
// view's headers.
#include <QFontMetrics>
#include <QHeaderView>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>

#include <string>
#include <utility>
#include <vector>

#include "gui/gui_fixture.h"
#include "view/flights_panel.h"
#include "view/library_view.h"

namespace ovixlog::test {
namespace {

enum class View { kLog, kFlights, kLibrary };

using Tips = std::vector<std::pair<QString, QString>>;  // title, tooltip

Tips HeaderTips(const QAbstractItemModel& model) {
  Tips tips;
  for (int c = 0; c < model.columnCount(); ++c) {
    tips.emplace_back(model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(),
                      model.headerData(c, Qt::Horizontal, Qt::ToolTipRole).toString());
  }
  return tips;
}

}  // namespace

class ColumnTipsTest : public QObject {
  Q_OBJECT

 private slots:
  void EveryColumnTitleHasATip_data();
  void EveryColumnTitleHasATip();
  void LogTitlesSayWhatAndInWhatUnit_data();
  void LogTitlesSayWhatAndInWhatUnit();
  void OnlyTheTitleRowsHaveTips();
};

void ColumnTipsTest::EveryColumnTitleHasATip_data() {
  QTest::addColumn<int>("view");
  QTest::addColumn<int>("model");
  QTest::addColumn<bool>("systemTime");
  QTest::addColumn<int>("columns");
  QTest::newRow("log 3100") << int(View::kLog) << int{kModel3100} << false << 21;
  QTest::newRow("log 5100") << int(View::kLog) << int{kModel5100} << false << 30;
  QTest::newRow("log 7100") << int(View::kLog) << int{kModel7100} << false << 34;
  QTest::newRow("log 8100") << int(View::kLog) << int{kModel8100} << false << 34;
  QTest::newRow("log 5100 with the time") << int(View::kLog) << int{kModel5100} << true << 31;
  QTest::newRow("flights panel") << int(View::kFlights) << 0 << false << 8;
  QTest::newRow("library") << int(View::kLibrary) << 0 << false << 9;
}

// Each title has a tip of its own: none is empty, and no two columns share one.
void ColumnTipsTest::EveryColumnTitleHasATip() {
  QFETCH(int, view);
  QFETCH(int, model);
  QFETCH(bool, systemTime);
  QFETCH(int, columns);
  Tips tips;
  if (view == int(View::kFlights)) {
    FlightsPanel panel;
    tips = HeaderTips(*panel.tree()->model());
  } else if (view == int(View::kLibrary)) {
    LibraryView library;
    tips = HeaderTips(*library.table()->model());
  } else {
    // The tip under every character of the title row and of the rule below it, a blank
    // counting with the title after it.
    ViewFixture f;
    f.doc->model = model;
    f.doc->showSystemTime = systemTime ? 1 : 0;
    f.doc->UpdateAllViews(nullptr);
    const std::string titles = f.DocRows(0, 1).at(0);
    const int charWidth = QFontMetrics(f.view.rowFont()).horizontalAdvance(QLatin1Char('0'));
    QString title;
    QString lastTip;
    for (size_t at = 0; at < titles.size(); ++at) {
      const int x = static_cast<int>(at) * charWidth + charWidth / 2;
      const QString tip = f.view.TitleToolTipAt(QPoint(x, f.view.RowHeight() / 2));
      QCOMPARE(f.view.TitleToolTipAt(QPoint(x, f.view.RowHeight() * 3 / 2)), tip);
      QVERIFY2(!tip.isEmpty(), qPrintable(QStringLiteral("no tip at %1").arg(at)));
      if (titles[at] != ' ')
        title += QLatin1Char(titles[at]);
      if (at + 1 == titles.size() || (titles[at] != ' ' && titles[at + 1] == ' ')) {
        QCOMPARE(tip, COvixLogView::ColumnToolTip(title, model));
        tips.emplace_back(title, tip);
        title.clear();
        lastTip = tip;
      } else if (titles[at] == ' ' && !lastTip.isEmpty() && tips.back().first != "Sys-Time") {
        // A blank already belongs to the next title.
        QVERIFY(tip != lastTip);
      }
    }
  }
  QCOMPARE(static_cast<int>(tips.size()), columns);
  QStringList seen;
  for (const auto& [title, tip] : tips) {
    QVERIFY2(!title.isEmpty(), qPrintable(tip));
    QVERIFY2(!tip.isEmpty(), qPrintable(title));
    QVERIFY2(!seen.contains(tip), qPrintable(title + QStringLiteral(": ") + tip));
    seen << tip;
  }
}

void ColumnTipsTest::LogTitlesSayWhatAndInWhatUnit_data() {
  QTest::addColumn<QString>("title");
  QTest::addColumn<int>("model");
  QTest::addColumn<QString>("tip");
  QTest::newRow("Sys-Time") << "Sys-Time" << int{kModel5100}
                            << "The computer's clock when the sample arrived (hh:mm:ss.mmm)";
  QTest::newRow("Flt-Time") << "Flt-Time" << int{kModel5100}
                            << "The monitor's flight timer (hh:mm:ss)";
  QTest::newRow("Tach") << "Tach" << int{kModel5100} << "Engine speed (rpm)";
  QTest::newRow("CHT6") << "CHT6" << int{kModel7100}
                        << "Cylinder head temperature, cylinder 6 (\u00b0F)";
  QTest::newRow("EGT9") << "EGT9" << int{kModel8100}
                        << "Exhaust gas temperature, cylinder 9 (\u00b0F)";
  QTest::newRow("OilP") << "OilP" << int{kModel5100} << "Oil pressure (psi)";
  QTest::newRow("OAT 3100") << "OAT" << int{kModel3100} << "Outside air temperature (\u00b0F)";
  QTest::newRow("OAT 5100") << "OAT" << int{kModel5100} << "Outside air temperature (\u00b0C)";
  QTest::newRow("Volt") << "Volt" << int{kModel5100} << "Bus voltage (V)";
  QTest::newRow("Flow") << "Flow" << int{kModel5100} << "Fuel flow (gph)";
  QTest::newRow("Fuel") << "Fuel" << int{kModel5100}
                        << "Fuel on board as the monitor reckons it (gal)";
  QTest::newRow("Aux2") << "Aux2" << int{kModel5100}
                        << "Auxiliary input 2, as the monitor sends it (no unit)";
  QTest::newRow("VSI") << "VSI" << int{kModel5100} << "Vertical speed (ft/min)";
  QTest::newRow("Baro") << "Baro" << int{kModel5100} << "Altimeter setting (inHg)";
  QTest::newRow("unknown") << "EGT" << int{kModel5100} << "";
  QTest::newRow("unknown number") << "Oil2" << int{kModel5100} << "";
}

void ColumnTipsTest::LogTitlesSayWhatAndInWhatUnit() {
  QFETCH(QString, title);
  QFETCH(int, model);
  QFETCH(QString, tip);
  QCOMPARE(COvixLogView::ColumnToolTip(title, model), tip);
}

// Sample rows have no tips; scrolled away the titles have none, unless they are pinned.
void ColumnTipsTest::OnlyTheTitleRowsHaveTips() {
  ViewFixture f;
  f.Add(100);
  f.Paint();
  const int row = f.view.RowHeight();
  const QPoint tach(11 * QFontMetrics(f.view.rowFont()).horizontalAdvance(QLatin1Char('0')),
                    row / 2);
  QCOMPARE(f.view.TitleToolTipAt(tach), QStringLiteral("Engine speed (rpm)"));
  QCOMPARE(f.view.TitleToolTipAt(tach + QPoint(0, 2 * row)), QString());
  QCOMPARE(f.view.TitleToolTipAt(QPoint(100000, row / 2)), QString());
  f.view.OnVScroll(COvixLogView::ScrollRequest::kLineDown);
  f.view.OnVScroll(COvixLogView::ScrollRequest::kLineDown);
  QCOMPARE(f.view.TitleToolTipAt(tach), QString());
  f.view.SetTitlesPinned(true);
  QCOMPARE(f.view.TitleToolTipAt(tach), QStringLiteral("Engine speed (rpm)"));
  QCOMPARE(f.view.TitleToolTipAt(tach + QPoint(0, 2 * row)), QString());
}

}  // namespace ovixlog::test

QTEST_MAIN(ovixlog::test::ColumnTipsTest)
#include "column_tips_test.moc"
