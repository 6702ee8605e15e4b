// The adapter between the document and the window's panes: which signals each kind of change
// of the document gives, and that notifications from the reading thread coalesce.
#include <QTest>

#include <functional>
#include <thread>

#include "gui/gui_fixture.h"
#include "view/document_signals.h"

namespace ovixlog::test {

namespace {

// A document without ports with the adapter attached, and every signal written down in order.
struct SignalsFixture {
  explicit SignalsFixture(StartupSettings settings = {}) : startup(std::move(settings)) {
    doc = std::make_unique<COvixLogDoc>(&ui, startup);
    doc->SetPortsEnabled(false);
    adapter.SetDocument(doc.get());
    doc->AddView(&adapter);
    doc->OnNewDocument();
    QObject::connect(&adapter, &DocumentSignals::contentsReset, [this] { log << "reset"; });
    QObject::connect(&adapter, &DocumentSignals::settingsChanged, [this] { log << "settings"; });
    QObject::connect(&adapter, &DocumentSignals::samplesAppended, [this](int first, int count) {
      log << QStringLiteral("appended %1..%2").arg(first).arg(count);
    });
    QObject::connect(&adapter, &DocumentSignals::documentChanged, [this] { log << "changed"; });
    adapter.OnInitialUpdate();
    log.clear();
  }
  ~SignalsFixture() {
    doc->RemoveView(&adapter);
    adapter.SetDocument(nullptr);
    doc.reset();
  }
  void Store(int count) {
    for (int i = 0; i < count; ++i) {
      doc->AddSample(std::make_unique<EngineSample>(SampleWithTach(1000 + i, stamp)), nullptr);
      stamp += 1000;
    }
  }

  StartupSettings startup;
  ScriptedUserInterface ui;
  std::unique_ptr<COvixLogDoc> doc;
  DocumentSignals adapter;
  uint32_t stamp = 0;
  QStringList log;
};

using Step = std::function<void(SignalsFixture&)>;

}  // namespace

class DocumentSignalsTest : public QObject {
  Q_OBJECT

 private slots:
  void EachChangeGivesItsSignals_data();
  void EachChangeGivesItsSignals();
  void NotificationsFromTheReadingThreadCoalesce();
  void DetachedAdapterEmitsNothingForAPendingUpdate();
};

void DocumentSignalsTest::EachChangeGivesItsSignals_data() {
  QTest::addColumn<Step>("before");
  QTest::addColumn<Step>("step");
  QTest::addColumn<QStringList>("expected");
  const Step nothing = [](SignalsFixture&) {};
  const auto update = [](SignalsFixture& f) { f.doc->UpdateAllViews(nullptr); };
  QTest::newRow("an update without change") << nothing << Step(update) << QStringList{"changed"};
  QTest::newRow("first samples") << nothing << Step([&](SignalsFixture& f) {
    f.Store(3);
    update(f);
  }) << QStringList{"appended 0..3", "changed"};
  QTest::newRow("more samples") << Step([&](SignalsFixture& f) {
    f.Store(3);
    update(f);
  }) << Step([&](SignalsFixture& f) {
    f.Store(2);
    update(f);
  }) << QStringList{"appended 3..5", "changed"};
  QTest::newRow("model") << nothing << Step([](SignalsFixture& f) { f.doc->OnModel(kModel7100); })
                         << QStringList{"settings", "changed"};
  QTest::newRow("same model again")
      << Step([](SignalsFixture& f) { f.doc->OnModel(kModel7100); })
      << Step([](SignalsFixture& f) { f.doc->OnModel(kModel7100); }) << QStringList{"changed"};
  QTest::newRow("order") << nothing << Step([](SignalsFixture& f) { f.doc->OnOldestFirst(); })
                         << QStringList{"settings", "changed"};
  QTest::newRow("system time") << nothing
                               << Step([](SignalsFixture& f) { f.doc->OnShowSystemTime(); })
                               << QStringList{"settings", "changed"};
  QTest::newRow("v3.9 frames") << nothing << Step([](SignalsFixture& f) { f.doc->OnReadV39(); })
                               << QStringList{"settings", "changed"};
  QTest::newRow("keep all") << nothing << Step([](SignalsFixture& f) { f.doc->OnKeepAllSamples(); })
                            << QStringList{"settings", "changed"};
  QTest::newRow("new document") << Step([&](SignalsFixture& f) {
    f.Store(4);
    update(f);
  }) << Step([&](SignalsFixture& f) {
    f.doc->OnNewDocument();
    update(f);
  }) << QStringList{"reset", "changed"};
  // Emptied and refilled with as many samples before the adapter heard of it.
  QTest::newRow("refilled to the same count") << Step([&](SignalsFixture& f) {
    f.Store(4);
    update(f);
  }) << Step([&](SignalsFixture& f) {
    f.doc->DeleteContents();
    f.Store(4);
    update(f);
  }) << QStringList{"reset", "appended 0..4", "changed"};
  QTest::newRow("capture imported over samples") << Step([&](SignalsFixture& f) {
    f.Store(2);
    update(f);
  }) << Step([](SignalsFixture& f) {
    TempFolder folder;
    const std::string path = folder.path() + "/five.bin";
    WriteFile(path, Capture(5));
    // Five frames 83 ms apart: one sample a second keeps only the first.
    QVERIFY(f.doc->ImportSerialFile(path));
  }) << QStringList{"reset", "appended 0..1", "changed"};
}

void DocumentSignalsTest::EachChangeGivesItsSignals() {
  QFETCH(Step, before);
  QFETCH(Step, step);
  QFETCH(QStringList, expected);
  SignalsFixture f;
  before(f);
  f.log.clear();
  step(f);
  QCOMPARE(f.log, expected);
}

void DocumentSignalsTest::NotificationsFromTheReadingThreadCoalesce() {
  StartupSettings keepAll;
  keepAll.keepAllSamples = 1;
  SignalsFixture f(keepAll);
  constexpr int kSamples = 5000;
  // The user-interface thread runs no events meanwhile: one update is posted for all of them.
  std::thread reader([&] {
    for (int i = 0; i < kSamples; ++i) {
      f.doc->AddSample(std::make_unique<EngineSample>(SampleWithTach(i, 0)), &f.adapter);
    }
  });
  reader.join();
  QCOMPARE(f.adapter.postedUpdates(), int64_t{1});
  QTRY_COMPARE(f.log, (QStringList{QStringLiteral("appended 0..%1").arg(kSamples), "changed"}));
  f.doc->AddSample(std::make_unique<EngineSample>(SampleWithTach(1, 0)), &f.adapter);
  QCOMPARE(f.adapter.postedUpdates(), int64_t{2});
  QTRY_COMPARE(f.adapter.knownSampleCount(), kSamples + 1);
}

void DocumentSignalsTest::DetachedAdapterEmitsNothingForAPendingUpdate() {
  SignalsFixture f;
  f.doc->AddSample(std::make_unique<EngineSample>(SampleWithTach(1, 0)), &f.adapter);
  f.adapter.SetDocument(nullptr);
  QCoreApplication::processEvents();
  QCOMPARE(f.log, QStringList{});
  f.adapter.SetDocument(f.doc.get());
}

}  // namespace ovixlog::test

QTEST_MAIN(ovixlog::test::DocumentSignalsTest)
#include "document_signals_test.moc"
