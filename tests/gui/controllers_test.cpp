// The main window's controllers, each on a bare window: the menus route and mark, the status bar
// shows the port and the recording, the offers offer and answer, the flight review docks its
// panel and drives the charts.
#include <QAction>
#include <QDockWidget>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

#include <vector>

#include "app/command_ids.h"
#include "app/flights_controller.h"
#include "app/menu_controller.h"
#include "app/offer_controller.h"
#include "app/state_banner.h"
#include "app/status_controller.h"
#include "app/status_offer.h"
#include "gui/gui_fixture.h"
#include "view/chart_view.h"
#include "view/document_signals.h"
#include "view/flights_panel.h"

namespace ovixlog::test {

class ControllersTest : public QObject {
  Q_OBJECT

 private slots:
  void MenuItemsRouteTheirCommandNumbers_data();
  void MenuItemsRouteTheirCommandNumbers();
  void MenuMarksFollowTheDocument();
  void MenuMarksWithoutADocumentStay();
  void StatusPanesShowPortAndRecording();
  void StatusMessagePaneShowsTheReport();
  void LayoutOfferOffersAndAnswers();
  void LayoutOfferWithdrawnOnceTheChoiceMatches();
  void FlightReviewDocksThePanelAndAddsItsItems();
  void FlightReviewFitsTheChartsToAPickedRun();
};

void ControllersTest::MenuItemsRouteTheirCommandNumbers_data() {
  QTest::addColumn<int>("id");
  for (int id : {kIdFileNew, kIdOpenDemoLog, kIdOpenRecording, kIdFileSaveAs, kIdAppExit,
                 kIdViewCharts, kIdModel8100, kIdReadV39, kIdCom7, kIdSerialPortDialog,
                 kIdRecordLiveData, kIdOldestFirst, kIdAppAbout}) {
    QTest::addRow("%d", id) << id;
  }
}

void ControllersTest::MenuItemsRouteTheirCommandNumbers() {
  QFETCH(int, id);
  QMainWindow window;
  std::vector<int> routed;
  MenuController menus(&window, [&](int command) { routed.push_back(command); });
  QVERIFY(menus.Action(id) != nullptr);
  menus.Action(id)->trigger();
  QCOMPARE(routed, std::vector<int>{id});
  QCOMPARE(menus.Action(12345), nullptr);
}

void ControllersTest::MenuMarksFollowTheDocument() {
  ViewFixture f;
  QMainWindow window;
  MenuController menus(&window, [](int) {});
  f.doc->model = kModel7100;
  f.doc->commPort = 6;
  f.doc->keepAllSamples = 1;
  f.doc->showSystemTime = 0;
  f.doc->oldestFirst = 1;
  f.doc->altFrameFormat = 1;
  menus.toolBar()->hide();
  menus.UpdateMarks(f.doc.get(), false, "/");
  QVERIFY(menus.Action(kIdModel7100)->isChecked());
  QVERIFY(!menus.Action(kIdModel5100)->isChecked());
  QVERIFY(menus.Action(kIdCom6)->isChecked());
  QVERIFY(!menus.Action(kIdCom1)->isChecked());
  QVERIFY(menus.Action(kIdKeepAllSamples)->isChecked());
  QVERIFY(!menus.Action(kIdShowSystemTime)->isChecked());
  QVERIFY(menus.Action(kIdOldestFirst)->isChecked());
  QVERIFY(!menus.Action(kIdNewestFirst)->isChecked());
  QVERIFY(menus.Action(kIdReadV39)->isChecked());
  QVERIFY(!menus.Action(kIdViewToolbar)->isChecked());
  QVERIFY(!menus.Action(kIdViewCharts)->isChecked());
  QVERIFY(menus.Action(kIdViewStatusBar)->isChecked());
}

void ControllersTest::MenuMarksWithoutADocumentStay() {
  QMainWindow window;
  MenuController menus(&window, [](int) {});
  menus.UpdateMarks(nullptr, true, "/");
  QVERIFY(menus.Action(kIdModel5100)->isChecked());
  QVERIFY(menus.Action(kIdCom1)->isChecked());
  QVERIFY(menus.Action(kIdNewestFirst)->isChecked());
  QVERIFY(menus.Action(kIdViewCharts)->isChecked());
}

void ControllersTest::StatusPanesShowPortAndRecording() {
  ViewFixture f;
  QMainWindow window;
  StatusController status(window.statusBar());
  SerialStatus port;
  port.portName = "COM2:";
  port.devicePath = "/dev/ttyUSB0";
  port.open = true;
  port.framesAccepted = 12;
  port.framesDropped = 1;
  status.Refresh(f.doc.get(), port);
  QVERIFY(status.receiving());
  QCOMPARE(status.portPane()->text(),
           QStringLiteral("COM2 /dev/ttyUSB0 \u2014 receiving 12 frames, 1 dropped"));
  QCOMPARE(status.recordingPane()->text(),
           RecordingPaneText(f.doc->recorder().status(), f.doc->reviewing()));
  port.open = false;
  port.lastError = "Device lost (the line hung up)";
  status.Refresh(f.doc.get(), port);
  QCOMPARE(status.portPane()->text(),
           QStringLiteral("COM2 /dev/ttyUSB0 \u2014 Device lost (the line hung up)"));
}

void ControllersTest::StatusMessagePaneShowsTheReport() {
  QMainWindow window;
  StatusController status(window.statusBar());
  QCOMPARE(status.messagePane()->text(), QStringLiteral("Ready"));
  status.ShowMessage(QStringLiteral("Imported 2 frames"));
  QCOMPARE(status.messagePane()->text(), QStringLiteral("Imported 2 frames"));
}

void ControllersTest::LayoutOfferOffersAndAnswers() {
  ViewFixture f;
  StateBanner banner;
  OfferController offers(&banner);
  std::vector<FrameFormat> accepted;
  connect(&offers, &OfferController::layoutAccepted, this,
          [&](FrameFormat layout) { accepted.push_back(layout); });
  SerialStatus port;
  port.open = true;
  port.suggestedLayout = FrameFormat::kShort;
  offers.RefreshLayoutOffer(*f.doc, port);
  QVERIFY(offers.layoutOffer()->offered());
  QCOMPARE(offers.layoutOffer()->label()->text(),
           QStringLiteral("These frames look like Model 3100 (48-byte frames)"));
  QCOMPARE(offers.layoutOffer()->button()->text(), QStringLiteral("Switch"));
  offers.layoutOffer()->button()->click();
  QCOMPARE(accepted, std::vector<FrameFormat>{FrameFormat::kShort});
  QVERIFY(!offers.layoutOffer()->offered());
}

void ControllersTest::LayoutOfferWithdrawnOnceTheChoiceMatches() {
  ViewFixture f;
  StateBanner banner;
  OfferController offers(&banner);
  SerialStatus port;
  port.open = true;
  port.suggestedLayout = FrameFormat::kShort;
  offers.RefreshLayoutOffer(*f.doc, port);
  QVERIFY(offers.layoutOffer()->offered());
  f.doc->model = kModel3100;
  offers.RefreshLayoutOffer(*f.doc, port);
  QVERIFY(!offers.layoutOffer()->offered());
  f.doc->model = kModel5100;
  port.open = false;
  offers.RefreshLayoutOffer(*f.doc, port);
  QVERIFY(!offers.layoutOffer()->offered());
}

void ControllersTest::FlightReviewDocksThePanelAndAddsItsItems() {
  ViewFixture f;
  QMainWindow window;
  DocumentSignals signals_;
  signals_.SetDocument(f.doc.get());
  ChartView charts;
  QMenu viewMenu;
  QMenu optionsMenu;
  FlightsController review(&window, f.doc.get(), &signals_, &charts, &viewMenu, &optionsMenu);
  QCOMPARE(window.dockWidgetArea(review.dock()), Qt::BottomDockWidgetArea);
  QCOMPARE(review.dock()->widget(), review.panel());
  QCOMPARE(viewMenu.actions().size(), 2);
  QCOMPARE(viewMenu.actions().front(), review.dock()->toggleViewAction());
  QCOMPARE(viewMenu.actions().front()->text(), QStringLiteral("&Flights"));
  QCOMPARE(viewMenu.actions().back()->text(), QStringLiteral("&Lean Test"));
  QCOMPARE(optionsMenu.actions().size(), 2);
  QVERIFY(optionsMenu.actions().front()->isSeparator());
  QCOMPARE(optionsMenu.actions().back()->text(), QStringLiteral("&Limits..."));
  review.DetachDocument();
}

void ControllersTest::FlightReviewFitsTheChartsToAPickedRun() {
  ViewFixture f;
  f.Add(600);
  QMainWindow window;
  DocumentSignals signals_;
  signals_.SetDocument(f.doc.get());
  ChartView charts;
  charts.SetDocument(f.doc.get(), &signals_);
  QMenu viewMenu;
  QMenu optionsMenu;
  FlightsController review(&window, f.doc.get(), &signals_, &charts, &viewMenu, &optionsMenu);
  emit review.panel()->runSelected(120000, 240000);
  QCOMPARE(charts.viewStartMs(), int64_t{120000});
  QCOMPARE(charts.viewEndMs(), int64_t{240000});
  review.DetachDocument();
  charts.SetDocument(nullptr, nullptr);
}

}  // namespace ovixlog::test

QTEST_MAIN(ovixlog::test::ControllersTest)
#include "controllers_test.moc"
