// The Flights panel's run card beside the list, and the panel shown from the first start and
// kept as the user leaves it.
#include <QDockWidget>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeWidget>

#include "../analysis/analysis_fixture.h"
#include "analysis/run_card.h"
#include "gui/gui_fixture.h"
#include "view/document_signals.h"
#include "view/flights_panel.h"

namespace ovixlog::test {

class FlightsCardTest : public QObject {
  Q_OBJECT

 private slots:
  void CardShowsTheLatestRunThenThePickedOne();
  void PanelShownAtFirstStartAndKeptAsLeft();
};

void FlightsCardTest::CardShowsTheLatestRunThenThePickedOne() {
  ViewFixture f;
  DocumentSignals signals_;
  signals_.SetDocument(f.doc.get());
  f.doc->AddView(&signals_);
  FlightsPanel panel;
  QCOMPARE(panel.card()->toPlainText(), QString());
  panel.SetDocument(f.doc.get(), &signals_);
  // Two runs of two minutes, the engine off for two minutes between them.
  for (const EngineSample& s : Seconds(0, 480, [](EngineSample& x, int t) {
         if (t > 120 && t < 240)
           x.tach = 0;
         if (t >= 60 && t < 70)
           x.cht[1] = 450;  // an exceedance in the first run
       })) {
    f.doc->AddSample(std::make_unique<EngineSample>(s), &signals_);
  }
  QTreeWidget* tree = panel.tree();
  QTRY_COMPARE(tree->topLevelItemCount(), 2);
  const auto cardOf = [&panel](int run) {
    QString text;
    for (const std::string& line :
         RunCardLines(panel.runs()[static_cast<size_t>(run)], static_cast<size_t>(run) + 1, 2))
      text += QString::fromStdString(line) + QLatin1Char('\n');
    return text;
  };
  QTRY_COMPARE(panel.card()->toPlainText(), cardOf(1));
  tree->setCurrentItem(tree->topLevelItem(0));
  QCOMPARE(panel.card()->toPlainText(), cardOf(0));
  QVERIFY(panel.card()->toPlainText().startsWith(QStringLiteral("Run 1 of 2: from 0:00:00")));
  QVERIFY(panel.card()->toPlainText().contains(QStringLiteral("1 exceedance:")));
  // An exceedance picked: the card is its run's.
  tree->setCurrentItem(tree->topLevelItem(1));
  tree->setCurrentItem(tree->topLevelItem(0)->child(0));
  QCOMPARE(panel.card()->toPlainText(), cardOf(0));
  panel.SetDocument(nullptr, nullptr);
  f.doc->RemoveView(&signals_);
  signals_.SetDocument(nullptr);
}

void FlightsCardTest::PanelShownAtFirstStartAndKeptAsLeft() {
  TempFolder config;
  {
    AppFixture first({}, {}, false, config.path());
    QVERIFY(first.frame()->flightsDock()->isVisible());
    first.frame()->flightsDock()->toggleViewAction()->trigger();
    QVERIFY(!first.frame()->flightsDock()->isVisible());
    QVERIFY(first.frame()->close());
  }
  {
    AppFixture second({}, {}, false, config.path());
    QVERIFY(!second.frame()->flightsDock()->isVisible());
    second.frame()->flightsDock()->toggleViewAction()->trigger();
    QVERIFY(second.frame()->close());
  }
  AppFixture third({}, {}, false, config.path());
  QVERIFY(third.frame()->flightsDock()->isVisible());
}

}  // namespace ovixlog::test

QTEST_MAIN(ovixlog::test::FlightsCardTest)
#include "flights_card_test.moc"
