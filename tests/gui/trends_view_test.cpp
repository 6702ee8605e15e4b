// The Trends view: the charts built from an aircraft's trends (series, bands, normalised
// values, the change marked with its sentence), the last 10 / 50 / all flights, too few
// flights, hover and click on a flight, what is painted, and the view in the window opening a
// clicked flight.
#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QImage>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QtTest>

#include <cmath>
#include <cstdlib>

#include "app/library_controller.h"
#include "app/main_frame.h"
#include "app/trends_controller.h"
#include "document/ovixlog_doc.h"
#include "gui_fixture.h"
#include "library/flight_library.h"
#include "library/trends.h"
#include "view/flights_panel.h"
#include "view/trend_charts_widget.h"
#include "view/trends_view.h"

namespace ovixlog {
namespace {

// Flight `id` of a four-cylinder engine, a day apart; cylinder 3's EGT `extra` hotter.
TrendFlightRow Flight(int64_t id, double extra, const char* aircraft = "D-EABC") {
  TrendFlightRow row;
  row.id = id;
  row.aircraft = aircraft;
  row.startUtcMs = id * 86'400'000;
  char start[32];
  std::snprintf(start, sizeof start, "2026-06-%02dT09:00:00+02:00", static_cast<int>(id % 28 + 1));
  row.start = start;
  row.order = id;
  row.hasCruise = true;
  for (int c = 1; c <= 4; ++c) {
    const double wobble = static_cast<double>((id * 7 + c * 3) % 5);  // 0 to 4
    row.figures.emplace_back("cruise_EGT" + std::to_string(c), 1300 + wobble + (c == 3 ? extra : 0));
    row.figures.emplace_back("cruise_CHT" + std::to_string(c), 350 + wobble);
  }
  row.figures.emplace_back("cruise_OilT", 190);
  row.figures.emplace_back("cruise_OilP", 60 + static_cast<double>(id % 3));
  row.figures.emplace_back("cruise_Volt", 14.1);
  row.figures.emplace_back("cruise_Flow", 9.5);
  row.figures.emplace_back("egt_spread_cruise", 20);
  row.figures.emplace_back("cht_spread_cruise", 8);
  row.figures.emplace_back("max_CHT", 380);
  return row;
}

// `count` flights, cylinder 3 80 F hotter from flight `step` on (none for 0).
Trends Fleet(int count, int step) {
  std::vector<TrendFlightRow> rows;
  for (int id = 1; id <= count; ++id) rows.push_back(Flight(id, step > 0 && id >= step ? 80 : 0));
  return ComputeTrends(rows);
}

double Percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  const double rank = p * static_cast<double>(values.size() - 1);
  const auto low = static_cast<size_t>(rank);
  if (low + 1 >= values.size()) return values[low];
  return values[low] + (rank - static_cast<double>(low)) * (values[low + 1] - values[low]);
}

bool IsWhite(QRgb pixel) { return qRed(pixel) > 250 && qGreen(pixel) > 250 && qBlue(pixel) > 250; }

}  // namespace

class TrendsViewTest : public QObject {
  Q_OBJECT

 private slots:
  void ChartsEveryFigureGroupAndMarksTheChange() {
    TrendsView view;
    view.SetTrends(Fleet(12, 8));
    const TrendChartModel& model = view.model();
    QCOMPARE(model.ids.size(), size_t{12});
    QStringList headings;
    QStringList labels;
    for (const TrendPlot& plot : model.plots) {
      headings << QString::fromStdString(plot.heading);
      QStringList names;
      for (const TrendSeries& series : plot.series) names << QString::fromStdString(series.label);
      labels << names.join(QLatin1Char(' '));
    }
    QCOMPARE(headings, QStringList({"EGT", "CHT", "Spread", "Oil", "", ""}));
    QCOMPARE(labels, QStringList({"1 2 3 4", "1 2 3 4 max", "EGT CHT", "OilT OilP", "Volt", "Flow"}));
    // Flight 7 (index 6) has a band over the six before it; the first five have none.
    const TrendSeries& egt3 = model.plots[0].series[2];
    QVERIFY(std::isnan(egt3.p50[4]));
    std::vector<double> earlier;
    for (int f = 0; f < 6; ++f) earlier.push_back(egt3.value[static_cast<size_t>(f)]);
    QCOMPARE(egt3.p10[6], static_cast<float>(Percentile(earlier, 0.1)));
    QCOMPARE(egt3.p90[6], static_cast<float>(Percentile(earlier, 0.9)));
    QCOMPARE(egt3.value[9], 1380.0f + static_cast<float>((10 * 7 + 9) % 5));

    QCOMPARE(model.marks.size(), size_t{1});
    QCOMPARE(model.marks[0].plot, size_t{0});
    QCOMPARE(model.marks[0].from, size_t{7});
    QCOMPARE(model.marks[0].confirmed, size_t{9});
    QCOMPARE(view.changesText(), QString::fromStdString(model.marks[0].sentence));
    QVERIFY(view.changesText().startsWith(QStringLiteral("EGT3 runs ")));
    QVERIFY(view.changesText().endsWith(
        QStringLiteral(" F hotter than the other cylinders since flight 8 (2026-06-09), confirmed "
                       "on flight 10 (2026-06-11)")));
    QCOMPARE(view.message(), QString());
  }

  void LastTenFiftyOrAllFlights() {
    TrendsView view;
    view.SetTrends(Fleet(60, 0));
    struct Case {
      int range;
      int first;
      int count;
    };
    for (const Case& c : {Case{TrendsView::kLast10, 50, 10}, Case{TrendsView::kLast50, 10, 50},
                          Case{TrendsView::kAll, 0, 60}}) {
      view.rangeChooser()->setCurrentIndex(c.range);
      QCOMPARE(view.charts()->first(), c.first);
      QCOMPARE(view.charts()->count(), c.count);
    }
    QCOMPARE(view.changesText(), QStringLiteral("No changes of the engine's normal."));
  }

  void NormalisedIsEachCylinderLessTheMeanOfTheOthers() {
    TrendsView view;
    view.SetTrends(Fleet(12, 8));
    view.normalisedBox()->setChecked(true);
    const TrendChartModel& model = view.model();
    QCOMPARE(QString::fromStdString(model.plots[0].units[0]), QStringLiteral("F from the others"));
    QCOMPARE(model.plots[1].series.size(), size_t{4});  // no highest CHT among relative values
    std::vector<TrendFlightRow> rows;
    for (int id = 1; id <= 12; ++id) rows.push_back(Flight(id, id >= 8 ? 80 : 0));
    std::vector<double> relative3;
    for (size_t f = 0; f < 12; ++f) {
      double egt[4];
      for (int c = 0; c < 4; ++c) egt[c] = rows[f].figures[static_cast<size_t>(2 * c)].second;
      const double expected = egt[2] - (egt[0] + egt[1] + egt[3]) / 3.0;
      QCOMPARE(model.plots[0].series[2].value[f], static_cast<float>(expected));
      relative3.push_back(expected);
    }
    // The band of the relative values, over the flights before.
    const std::vector<double> before(relative3.begin(), relative3.begin() + 8);
    QCOMPARE(model.plots[0].series[2].p50[8], static_cast<float>(Percentile(before, 0.5)));
    QCOMPARE(model.marks.size(), size_t{1});
  }

  void FewFlightsAreNotEnoughAndUndatedOnesAreLeftOut() {
    struct Case {
      int flights;
      bool undated;
      QString message;
    };
    const Case cases[] = {
        {1, false, QStringLiteral("Not enough flights yet")},
        {4, true, QStringLiteral("Not enough flights yet; 1 flight without a clock not shown")},
        {5, false, QStringLiteral("Not enough flights yet")},
        {6, true, QStringLiteral("1 flight without a clock not shown")},
    };
    for (const Case& c : cases) {
      std::vector<TrendFlightRow> rows;
      for (int id = 1; id <= c.flights; ++id) rows.push_back(Flight(id, 0));
      if (c.undated) {
        TrendFlightRow undated = Flight(99, 0);
        undated.startUtcMs.reset();
        rows.push_back(undated);
      }
      TrendsView view;
      view.SetTrends(ComputeTrends(rows));
      QCOMPARE(view.message(), c.message);
      QCOMPARE(view.charts()->count(), c.flights);
    }
    TrendsView empty;
    empty.SetTrends(Trends{});
    QCOMPARE(empty.message(), QStringLiteral("No flights in the library yet"));
  }

  void ChoosesAircraftAndKeepsTheChoice() {
    std::vector<TrendFlightRow> rows;
    for (int id = 1; id <= 6; ++id) rows.push_back(Flight(id, 0, id % 2 ? "D-EABC" : "N123"));
    TrendFlightRow unnamed = Flight(7, 0);
    unnamed.aircraft.reset();
    rows.push_back(unnamed);
    TrendsView view;
    view.SetTrends(ComputeTrends(rows));
    QCOMPARE(view.aircraftChooser()->count(), 3);
    QCOMPARE(view.aircraftChooser()->itemText(2), QStringLiteral("(no aircraft)"));
    QVERIFY(view.ChooseAircraft(std::string("N123")));
    QCOMPARE(view.model().ids, (std::vector<int64_t>{2, 4, 6}));
    view.SetTrends(ComputeTrends(rows));
    QCOMPARE(view.aircraftChooser()->currentText(), QStringLiteral("N123"));
    QVERIFY(view.ChooseAircraft(std::nullopt));
    QCOMPARE(view.model().ids, (std::vector<int64_t>{7}));
    QVERIFY(!view.ChooseAircraft(std::string("G-NONE")));
  }

  void HoverTellsTheFlightAndAClickPicksIt() {
    TrendsView view;
    view.SetTrends(Fleet(12, 8));
    view.resize(900, 700);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    TrendChartsWidget* charts = view.charts();
    const QRect plot = charts->PlotRect(0);
    const QPoint at(static_cast<int>(std::lround(TrendChartPainter::XOf(9, plot, 0, 12))),
                    plot.center().y());
    QCOMPARE(charts->FlightAt(at), 9);
    QTest::mouseMove(charts, at);
    QTRY_COMPARE(charts->hover(), 9);
    // EGT3 of flights 1 to 9: 1301 1303 1300 1302 1304 1301 1303, then 1380 1382.
    const QString change = QStringLiteral(
        "EGT3 runs 79 F hotter than the other cylinders since flight 8 (2026-06-09), confirmed "
        "on flight 10 (2026-06-11)");
    QCOMPARE(charts->HoverText(9, 0),
             QStringLiteral("Flight 10, 2026-06-11T09:00:00+02:00\n"
                            "EGT1: 1303 (normal 1300 to 1304, median 1302)\n"
                            "EGT2: 1301 (normal 1300 to 1304, median 1302)\n"
                            "EGT3: 1384 (normal 1301 to 1380, median 1303)\n"
                            "EGT4: 1302 (normal 1300 to 1304, median 1302)\n") +
                 change);
    QCOMPARE(charts->HoverText(9, 3),
             QStringLiteral("Flight 10, 2026-06-11T09:00:00+02:00\nOilT: 190 (normal 190 to 190, "
                            "median 190)\nOilP: 61 (normal 60 to 62, median 61)\n") +
                 change);
    QCOMPARE(charts->HoverText(0, 4), QStringLiteral("Flight 1, 2026-06-02T09:00:00+02:00\nVolt: 14.1"));
    QSignalSpy picked(&view, &TrendsView::flightPicked);
    QTest::mouseClick(charts, Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(picked.size(), 1);
    QCOMPARE(picked.front().front().toLongLong(), 10);
    // Between the charts and outside them nothing is picked.
    QCOMPARE(charts->FlightAt(QPoint(2, plot.center().y())), -1);
  }

  void PaintsBandsAndPointsForOneFlightOrTenThousand() {
    struct Case {
      int flights;
    };
    for (const Case& c : {Case{1}, Case{12}, Case{10000}}) {
      TrendsView view;
      view.SetTrends(Fleet(c.flights, c.flights >= 12 ? 8 : 0));
      view.rangeChooser()->setCurrentIndex(TrendsView::kAll);
      view.resize(900, 700);
      TrendChartsWidget* charts = view.charts();
      const QImage image = charts->grab().toImage();
      const QRect plot = charts->PlotRect(1);  // CHT: 350 to 354, the highest at 380
      // The last flight's CHT1 is drawn in its place, in the first series' colour or near it.
      const int x = static_cast<int>(std::lround(TrendChartPainter::XOf(c.flights - 1, plot, 0, c.flights)));
      int coloured = 0;
      for (int y = plot.top() + 20; y < plot.bottom(); ++y) {
        if (!IsWhite(image.pixel(x, y))) ++coloured;
      }
      QVERIFY2(coloured > 0, qPrintable(QString::number(c.flights)));
      // Far from any series, below the values and bands, the plot stays white.
      int whiteBelow = 0;
      for (int y = plot.bottom() - 6; y < plot.bottom() - 1; ++y) {
        if (IsWhite(image.pixel(plot.left() + plot.width() / 3 + 3, y))) ++whiteBelow;
      }
      QVERIFY2(whiteBelow > 0, qPrintable(QString::number(c.flights)));
    }
  }

  void DockedWithTheLibraryAndOpensAClickedFlight() {
    test::AppFixture fixture;
    LibraryController* library = fixture.frame()->library();
    TrendsController* trends = fixture.frame()->trends();
    QVERIFY(trends != nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(!library->Busy(), 60000);
    library->dock()->show();
    trends->dock()->show();
    QVERIFY(fixture.frame()->tabifiedDockWidgets(library->dock()).contains(trends->dock()));

    // Six dated flights of one recording, as indexing stores them.
    const std::string path = fixture.folder / "flight.bin";
    const std::string command =
        std::string(OVIXLOG_SIM_EXE) + " --frames 13000 --capture '" + path + "'";
    QCOMPARE(std::system(command.c_str()), 0);
    FlightLibrary direct;
    std::string error;
    std::string notice;
    QVERIFY(direct.Open(fixture.folder / "library.sqlite", error, notice));
    std::vector<IndexedRun> runs;
    for (int day = 1; day <= 6; ++day) {
      IndexedRun run;
      run.startMs = day * 1000;
      run.startUtcMs = int64_t{day} * 86'400'000;
      run.start = "2026-06-0" + std::to_string(day) + "T09:00:00+02:00";
      run.figures = R"({"start_s": 300, "end_s": 900, "cruise": {"EGT1": 1300, "CHT1": 350}})";
      runs.push_back(run);
    }
    IndexResult result;
    QVERIFY(direct.StoreFile({path, std::string(64, 'a'), 1, 1}, "5100", std::string("D-EABC"), runs,
                             result, error));

    trends->dock()->show();
    trends->dock()->raise();
    TrendsView* view = trends->view();
    QTRY_COMPARE(view->charts()->count(), 6);
    QTRY_VERIFY(view->charts()->isVisible());
    const QRect plot = view->charts()->PlotRect(0);
    const QPoint at(static_cast<int>(std::lround(TrendChartPainter::XOf(4, plot, 0, 6))),
                    plot.center().y());
    QTest::mouseClick(view->charts(), Qt::LeftButton, Qt::NoModifier, at);
    QTRY_VERIFY(fixture.doc()->SampleCount() > 0);
  }

  void FlightsPanelComparesAnOpenedFlightWithItsNormal() {
    test::AppFixture fixture;
    QTRY_VERIFY_WITH_TIMEOUT(!fixture.frame()->library()->Busy(), 60000);
    const std::string path = fixture.folder / "flight.bin";
    const std::string command =
        std::string(OVIXLOG_SIM_EXE) + " --frames 13000 --capture '" + path + "'";
    QCOMPARE(std::system(command.c_str()), 0);
    FlightLibrary direct;
    std::string error;
    std::string notice;
    QVERIFY(direct.Open(fixture.folder / "library.sqlite", error, notice));
    // Five earlier flights of the engine from another file, then the opened file's one run.
    auto run = [](int day, int egt1) {
      IndexedRun r;
      r.startMs = day;
      r.startUtcMs = int64_t{day} * 86'400'000;
      r.start = "2026-06-0" + std::to_string(day) + "T09:00:00+02:00";
      r.figures = R"({"cruise": {"EGT1": )" + std::to_string(egt1) + R"(, "CHT1": 350}})";
      return r;
    };
    std::vector<IndexedRun> earlier;
    for (int day = 1; day <= 5; ++day) earlier.push_back(run(day, 1299 + day));
    IndexResult result;
    QVERIFY(direct.StoreFile({fixture.folder / "earlier.bin", std::string(64, 'a'), 1, 1}, "5100",
                             std::string("D-EABC"), earlier, result, error));
    QVERIFY(direct.StoreFile({path, std::string(64, 'b'), 1, 1}, "5100", std::string("D-EABC"),
                             {run(6, 1420)}, result, error));

    QVERIFY(fixture.doc()->ImportByContent(path));
    FlightsPanel* panel = fixture.frame()->flights();
    QTRY_COMPARE(panel->runs().size(), size_t{1});
    QTRY_VERIFY(panel->card()->toPlainText().endsWith(
        QStringLiteral("\nAgainst this engine's normal:\n"
                       "  cruise EGT1 1420, above its normal 1300 to 1304\n")));

    // A file the library does not know: the card says nothing of a normal.
    const std::string other = fixture.folder / "other.bin";
    QCOMPARE(std::system((std::string(OVIXLOG_SIM_EXE) + " --seed 3 --frames 13000 --capture '" +
                          other + "'").c_str()),
             0);
    QVERIFY(fixture.doc()->ImportByContent(other));
    QTRY_VERIFY(!panel->card()->toPlainText().isEmpty() &&
                !panel->card()->toPlainText().contains(QStringLiteral("normal")));
  }
};

}  // namespace ovixlog

QTEST_MAIN(ovixlog::TrendsViewTest)
#include "trends_view_test.moc"
