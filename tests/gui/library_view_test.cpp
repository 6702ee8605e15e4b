// The Library view in the window: files indexed off the GUI thread, the rows and totals, the
// aircraft filter, and a double-clicked flight opened at its run.
#include <QComboBox>
#include <QDockWidget>
#include <QInputDialog>
#include <QTableView>
#include <QtTest>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "app/kept_settings.h"
#include "app/library_controller.h"
#include "app/main_frame.h"
#include "document/ovixlog_doc.h"
#include "gui_fixture.h"
#include "view/chart_view.h"
#include "view/finding_style.h"
#include "view/library_view.h"

namespace ovixlog {

namespace {

// Three thousand frames of a simulated monitor line, as the reading thread would hand them to
// the recorder.
std::string SimulatedLine(const test::AppFixture& fixture) {
  const std::string capture = fixture.folder / "line.bin";
  const std::string command =
      std::string(OVIXLOG_SIM_EXE) + " --frames 3000 --capture '" + capture + "'";
  if (std::system(command.c_str()) != 0)
    return {};
  return test::ReadWholeFile(capture);
}

constexpr size_t kRead = 4 * 73;  // four frames a read

// Hands the recorder bytes `from` to `to` of the line, a read at a time, a third of a second
// apart.
void FeedRecorder(LiveRecorder& recorder, const std::string& bytes, size_t from, size_t to) {
  for (size_t at = from; at < to; at += kRead) {
    const size_t n = std::min(kRead, to - at);
    recorder.BytesReceived(static_cast<uint32_t>(at / kRead * 333),
                           reinterpret_cast<const uint8_t*>(bytes.data() + at), n, kModel5100, 0);
  }
}

}  // namespace

class LibraryViewTest : public QObject {
  Q_OBJECT

 private slots:
  void IndexesAndOpensAFlightAtItsRun() {
    test::AppFixture fixture;
    LibraryController* library = fixture.frame()->library();
    QVERIFY(library != nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(!library->Busy(), 60000);  // the start-up scan of no recordings
    const std::string path = fixture.folder / "two flights.bin";
    const std::string command =
        std::string(OVIXLOG_SIM_EXE) + " --scenario two-flights --capture '" + path + "'";
    QCOMPARE(std::system(command.c_str()), 0);

    QSignalSpy indexed(library, &LibraryController::indexed);
    QVERIFY(library->Index({path}));
    QVERIFY(indexed.wait(60000));
    QCOMPARE(indexed.front().front().toString(),
             QStringLiteral("1 file: 2 flights added, 0 unchanged, 0 duplicates, 0 not read"));

    LibraryView* view = library->view();
    QTableView* table = view->table();
    QCOMPARE(table->model()->rowCount(), 2);
    QCOMPARE(view->TotalsText(), QStringLiteral("2 flights, 1:51 h, 1.72 tach h, 14.9 fuel"));
    table->selectRow(1);
    QCOMPARE(view->TotalsText(), QStringLiteral("1 flight, 0:55 h, 0.86 tach h, 7.5 fuel"));

    // The second run, double-clicked, is read into the window and framed on the charts.
    library->dock()->show();
    library->dock()->raise();
    QTRY_VERIFY(table->isVisible());
    const QModelIndex second = table->model()->index(1, LibraryView::kDate);
    table->scrollTo(second);
    const QRect cell = table->visualRect(second);
    QSignalSpy opened(view, &LibraryView::flightOpened);
    // A double-click follows a click on the same cell, as it does under a real mouse.
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened.front().at(1).toString(), QString::fromStdString(path));
    QVERIFY(fixture.doc()->SampleCount() > 0);
    ChartView* charts = fixture.frame()->charts();
    QVERIFY(charts->viewStartMs() > 3000000);
  }

  void IndexesEachLiveRecordingAsItCloses() {
    test::AppFixture fixture;
    LibraryController* library = fixture.frame()->library();
    QTRY_VERIFY_WITH_TIMEOUT(!library->Busy(), 60000);
    const std::string bytes = SimulatedLine(fixture);
    QVERIFY(!bytes.empty());

    // The live recorder is handed the line's bytes as the reading thread hands them over.
    LiveRecorder& recorder = fixture.doc()->recorder();
    recorder.SetEnabled(true);
    recorder.BeginPort("COM1:");
    FeedRecorder(recorder, bytes, 0, bytes.size());
    QSignalSpy indexed(library, &LibraryController::indexed);
    recorder.EndSession(true);
    QVERIFY(indexed.wait(60000));
    QCOMPARE(indexed.front().front().toString(),
             QStringLiteral("1 file: 1 flights added, 0 unchanged, 0 duplicates, 0 not read"));
    QCOMPARE(library->view()->table()->model()->rowCount(), 1);
  }

  // The pilot is asked once which aircraft a port's monitor is on; the answer names the flight
  // under way and is kept, so that the port is not asked about again.
  void AsksForThePortsAircraftOnceAndLabelsItsFlights() {
    test::AppFixture fixture;
    LibraryController* library = fixture.frame()->library();
    QTRY_VERIFY_WITH_TIMEOUT(!library->Busy(), 60000);
    const std::string bytes = SimulatedLine(fixture);
    QVERIFY(!bytes.empty());

    LiveRecorder& recorder = fixture.doc()->recorder();
    recorder.SetEnabled(true);
    recorder.BeginPort("COM1:");
    const size_t half = bytes.size() / 2 / kRead * kRead;
    FeedRecorder(recorder, bytes, 0, half);

    library->PortSeen("COM1:", false);
    QVERIFY(library->aircraftPrompt() == nullptr);  // no frames yet: nobody to ask about
    library->PortSeen("COM1:", true);
    QInputDialog* prompt = library->aircraftPrompt();
    QVERIFY(prompt != nullptr);
    QVERIFY(!prompt->isModal());  // the window stays in use while it asks
    prompt->setTextValue(QStringLiteral(" N123AB "));
    prompt->accept();
    QVERIFY(library->aircraftPrompt() == nullptr);
    QCOMPARE(KeptSettings::KeptPortAircraft("COM1").value_or("?"), std::string("N123AB"));

    // Asked once: the same port, or the port again after another, is never asked again; a
    // prompt dismissed without a name is an answer too.
    library->PortSeen("COM1:", true);
    QVERIFY(library->aircraftPrompt() == nullptr);
    library->PortSeen("COM2:", true);
    QVERIFY(library->aircraftPrompt() != nullptr);
    library->aircraftPrompt()->reject();
    QCOMPARE(KeptSettings::KeptPortAircraft("COM2:").value_or("?"), std::string());
    library->PortSeen("COM1:", true);
    QVERIFY(library->aircraftPrompt() == nullptr);

    // The name given while the flight was recorded labels it in the library.
    FeedRecorder(recorder, bytes, half, bytes.size());
    QSignalSpy indexed(library, &LibraryController::indexed);
    recorder.EndSession(true);
    QVERIFY(indexed.wait(60000));
    QAbstractItemModel* rows = library->view()->table()->model();
    QCOMPARE(rows->rowCount(), 1);
    QCOMPARE(rows->index(0, LibraryView::kAircraft).data().toString(), QStringLiteral("N123AB"));
  }

  void FiltersByAircraft() {
    test::AppFixture fixture;
    LibraryController* library = fixture.frame()->library();
    QTRY_VERIFY_WITH_TIMEOUT(!library->Busy(), 60000);
    const std::string path = fixture.folder / "flight.bin";
    const std::string command =
        std::string(OVIXLOG_SIM_EXE) + " --frames 3000 --capture '" + path + "'";
    QCOMPARE(std::system(command.c_str()), 0);
    QSignalSpy indexed(library, &LibraryController::indexed);
    QVERIFY(library->Index({path}));
    QVERIFY(indexed.wait(60000));
    FlightLibrary direct;
    std::string error;
    std::string notice;
    QVERIFY(direct.Open(fixture.folder / "library.sqlite", error, notice));
    QVERIFY(direct.Label({1}, "D-EABC", error));
    library->Refresh();
    LibraryView* view = library->view();
    QCOMPARE(view->aircraftFilter()->count(), 2);
    QCOMPARE(view->aircraftFilter()->itemText(1), QStringLiteral("D-EABC"));
    view->aircraftFilter()->setCurrentIndex(1);
    QCOMPARE(view->table()->model()->rowCount(), 1);
    QCOMPARE(view->table()->model()->index(0, LibraryView::kAircraft).data().toString(),
             QStringLiteral("D-EABC"));
  }

  void ShowsHowManyFindingsAndTheWorst() {
    test::AppFixture fixture;
    LibraryController* library = fixture.frame()->library();
    QTRY_VERIFY_WITH_TIMEOUT(!library->Busy(), 60000);
    const std::string plug = fixture.folder / "plug.bin";
    const std::string valve = fixture.folder / "valve.bin";
    for (const auto& [scenario, path] : {std::pair{"bad-plug", plug}, std::pair{"stuck-valve", valve}}) {
      const std::string command = std::string(OVIXLOG_SIM_EXE) + " --scenario " + scenario +
                                  " --capture '" + path + "'";
      QCOMPARE(std::system(command.c_str()), 0);
    }
    QSignalSpy indexed(library, &LibraryController::indexed);
    QVERIFY(library->Index({plug, valve}));
    QVERIFY(indexed.wait(60000));
    QTableView* table = library->view()->table();
    QCOMPARE(table->model()->rowCount(), 2);
    // The bad plug's mag check is a warning; the stuck valve's run has a normal mag check and
    // the valve's dropout, a caution.
    QStringList cells;
    for (int row = 0; row < 2; ++row) {
      const QModelIndex cell = table->model()->index(row, LibraryView::kFindings);
      cells << cell.data().toString() + QLatin1Char(' ') +
                   cell.data(Qt::ForegroundRole).value<QBrush>().color().name();
    }
    cells.sort();
    QCOMPARE(cells, QStringList({QStringLiteral("1 (warning) ") +
                                     SeverityColor(FindingSeverity::kWarning).name(),
                                 QStringLiteral("2 (caution) ") +
                                     SeverityColor(FindingSeverity::kCaution).name()}));
  }
};

}  // namespace ovixlog

QTEST_MAIN(ovixlog::LibraryViewTest)
#include "library_view_test.moc"
