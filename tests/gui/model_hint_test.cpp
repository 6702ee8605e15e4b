// The window's offer of another model or layout, from a capture's bytes and readings and from
// live data, over the four models; and the table read again under the accepted choice.
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "acquisition/frame_builder.h"
#include "app/command_ids.h"
#include "app/status_offer.h"
#include "gui/gui_fixture.h"

namespace ovixlog::test {
namespace {

// What a monitor of `model` sends: the 7100 fills six cylinders, the 8100 also sends exhaust
// temperatures in the slots of CHT4-6 (its EGT7-9).
EngineSample SentBy(EngineModel model, int tach) {
  EngineSample s = SampleWithTach(tach, 0);
  for (int c = 0; c < 6; ++c) {
    const bool filled = model == kModel7100 || model == kModel8100;
    s.cht[c] = static_cast<int16_t>(c < 2 || (c < 4 && model != kModel3100) || filled ? 350 + c
                                                                                       : 0);
    s.egt[c] = static_cast<int16_t>(s.cht[c] != 0 ? 1300 + c : 0);
    if (model == kModel8100 && c >= 3)
      s.cht[c] = static_cast<int16_t>(1350 + c);
  }
  return s;
}

constexpr int kFrames = 120;

std::vector<uint8_t> CaptureOf(EngineModel model) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < kFrames; ++i)
    FrameBuilder::Append(bytes, SentBy(model, 1000 + i), model, 0);
  return bytes;
}

QString ModelArg(EngineModel model) {
  return QString::number(ModelNumber(model));
}

// Writes one frame of `model` to the line every 83 ms, as a monitor does.
class Monitor {
 public:
  Monitor(const Pty& pty, EngineModel model) {
    QObject::connect(&timer_, &QTimer::timeout, [&pty, model, this] {
      std::vector<uint8_t> frame;
      FrameBuilder::Append(frame, SentBy(model, 1000 + sent_++), model, 0);
      pty.WriteAll(frame);
    });
    timer_.start(83);
  }

 private:
  QTimer timer_;
  int sent_ = 0;
};

}  // namespace

class ModelHintTest : public QObject {
  Q_OBJECT

 private slots:
  void CaptureReadAsEveryModel_data();
  void CaptureReadAsEveryModel();
  void LiveReadingsOfferTheModelAndKeepTheSamples();
  void SwitchOfLayoutDropsLiveSamplesReadUnderTheOld();
  void SwitchOfLayoutReadsTheRecordingAgain();
  void RecordingMadeUnderAnotherModelIsReadAgainAsTheModelChosen_data();
  void RecordingMadeUnderAnotherModelIsReadAgainAsTheModelChosen();
  void AnOfferOfTwoCommandsReadsTheFileOnce();
};

void ModelHintTest::CaptureReadAsEveryModel_data() {
  QTest::addColumn<int>("sent");
  QTest::addColumn<int>("chosen");
  QTest::addColumn<QString>("firstOffer");  // empty: none
  QTest::addColumn<int>("finalModel");
  const QString longLayout = "These frames look like a long-layout model (73-byte frames)";
  const QString shortLayout = "These frames look like Model 3100 (48-byte frames)";
  const auto readings = [](const char* model, const char* chosen, const char* what) {
    return QStringLiteral("These readings look like Model %1, not Model %2: %3")
        .arg(QLatin1String(model), QLatin1String(chosen), QLatin1String(what));
  };
  const char* six = "readings in CHT5-6 and EGT5-6";
  const char* nine = "exhaust temperatures in the EGT7-9 slots";
  struct Row {
    EngineModel sent;
    EngineModel chosen;
    QString offer;
    EngineModel final;
  };
  const Row rows[] = {
      {kModel5100, kModel5100, "", kModel5100},
      {kModel5100, kModel3100, longLayout, kModel5100},
      {kModel5100, kModel7100, "", kModel7100},
      {kModel5100, kModel8100, "", kModel8100},
      {kModel3100, kModel5100, shortLayout, kModel3100},
      {kModel3100, kModel3100, "", kModel3100},
      {kModel3100, kModel7100, shortLayout, kModel3100},
      {kModel3100, kModel8100, shortLayout, kModel3100},
      {kModel7100, kModel5100, readings("7100", "5100", six), kModel7100},
      // The layout first; then the readings point from the 5100 it chose to the 7100.
      {kModel7100, kModel3100, longLayout, kModel7100},
      {kModel7100, kModel7100, "", kModel7100},
      {kModel7100, kModel8100, "", kModel8100},
      {kModel8100, kModel5100, readings("8100", "5100", nine), kModel8100},
      {kModel8100, kModel3100, longLayout, kModel8100},
      {kModel8100, kModel7100, readings("8100", "7100", nine), kModel8100},
      {kModel8100, kModel8100, "", kModel8100},
  };
  for (const Row& r : rows) {
    QTest::addRow("%d read as %d", ModelNumber(r.sent), ModelNumber(r.chosen))
        << int(r.sent) << int(r.chosen) << r.offer << int(r.final);
  }
}

void ModelHintTest::CaptureReadAsEveryModel() {
  QFETCH(int, sent);
  QFETCH(int, chosen);
  QFETCH(QString, firstOffer);
  QFETCH(int, finalModel);
  TempFolder folder;
  const std::string path = folder / "capture.bin";
  WriteFile(path, CaptureOf(sent));
  AppFixture f({"a", "m", ModelArg(chosen).toStdString(), path});
  QCOMPARE(f.doc()->model.load(), chosen);
  CMainFrame* frame = f.frame();
  const auto shown = [frame]() -> StatusOffer* {
    frame->RefreshPanes();
    for (StatusOffer* offer : {frame->layoutOffer(), frame->modelOffer()}) {
      if (offer->offered())
        return offer;
    }
    return nullptr;
  };
  StatusOffer* offer = shown();
  QCOMPARE(offer != nullptr ? offer->label()->text() : QString(), firstOffer);
  // Each accepted offer reads the capture again; at most a layout and then a model.
  for (int answered = 0; offer != nullptr && answered < 3; ++answered) {
    offer->button()->click();
    offer = shown();
  }
  QCOMPARE(offer, nullptr);
  QCOMPARE(f.doc()->model.load(), finalModel);
  // Every frame read under the final choice, none left from the first.
  QCOMPARE(f.doc()->SampleCount(), kFrames);
  for (int i = 0; i < kFrames; ++i) {
    const EngineSample want = FrameBuilder::Expected(SentBy(sent, 1000 + i), finalModel);
    QVERIFY2(SameEngineValues(f.doc()->SampleAt(i), want), qPrintable(QString::number(i)));
  }
  QCOMPARE(f.doc()->importedPath(), path);
}

void ModelHintTest::LiveReadingsOfferTheModelAndKeepTheSamples() {
  Pty pty;
  QVERIFY(!pty.slavePath.empty());
  AppFixture f({"a", "--port", pty.slavePath}, {}, true);
  QVERIFY(f.doc()->PortStatus().open);
  Monitor monitor(pty, kModel7100);
  StatusOffer* offer = f.frame()->modelOffer();
  QTRY_VERIFY_WITH_TIMEOUT((f.frame()->RefreshPanes(), offer->offered()), 20000);
  QCOMPARE(offer->label()->text(),
           QStringLiteral("These readings look like Model 7100, not Model 5100: readings in "
                          "CHT5-6 and EGT5-6"));
  QCOMPARE(offer->button()->text(), QStringLiteral("Switch to 7100"));
  const int before = f.doc()->SampleCount();
  offer->button()->click();
  QCOMPARE(f.doc()->model.load(), kModel7100);
  // The same layout decodes alike: what was received stays, and shows its six cylinders.
  QVERIFY(f.doc()->SampleCount() >= before);
  QCOMPARE(f.doc()->SampleAt(0).cht[5], int16_t{355});
  f.frame()->RefreshPanes();
  QCOMPARE(offer->offered(), false);
}

void ModelHintTest::SwitchOfLayoutDropsLiveSamplesReadUnderTheOld() {
  Pty pty;
  QVERIFY(!pty.slavePath.empty());
  AppFixture f({"a", "--port", pty.slavePath}, {}, true);
  // Without a recording there is nothing to read again: what was misread goes.
  f.frame()->OnCommand(kIdRecordLiveData);
  QVERIFY(!f.doc()->recorder().enabled());
  // A sample that stands for what a wrong layout made of the line.
  f.Add(14080);
  QCOMPARE(f.doc()->SampleCount(), 1);
  Monitor monitor(pty, kModel3100);
  StatusOffer* offer = f.frame()->layoutOffer();
  QTRY_VERIFY_WITH_TIMEOUT((f.frame()->RefreshPanes(), offer->offered()), 20000);
  offer->button()->click();
  QCOMPARE(f.doc()->model.load(), kModel3100);
  QTRY_VERIFY_WITH_TIMEOUT(f.doc()->SampleCount() >= 3, 20000);
  for (int i = 0; i < f.doc()->SampleCount(); ++i)
    QVERIFY(f.doc()->SampleAt(i).tach != 14080);
}

void ModelHintTest::SwitchOfLayoutReadsTheRecordingAgain() {
  Pty pty;
  QVERIFY(!pty.slavePath.empty());
  AppFixture f({"a", "--port", pty.slavePath}, {}, true);
  QVERIFY(f.doc()->recorder().enabled());
  Monitor monitor(pty, kModel3100);
  StatusOffer* offer = f.frame()->layoutOffer();
  QTRY_VERIFY_WITH_TIMEOUT((f.frame()->RefreshPanes(), offer->offered()), 20000);
  offer->button()->click();
  QCOMPARE(f.doc()->model.load(), kModel3100);
  // What came before the switch is read again from the recording, from the first frame on,
  // and the live frames follow in order.
  QTRY_VERIFY_WITH_TIMEOUT(f.doc()->SampleCount() >= 40, 20000);
  QCOMPARE(f.doc()->SampleAt(0).tach, int16_t{1000});
  for (int i = 1; i < f.doc()->SampleCount(); ++i) {
    QVERIFY2(f.doc()->SampleAt(i).tach > f.doc()->SampleAt(i - 1).tach,
             qPrintable(QString::number(i)));
  }
  QVERIFY(f.doc()->SamplesKeptElsewhere());
}

void ModelHintTest::RecordingMadeUnderAnotherModelIsReadAgainAsTheModelChosen_data() {
  // The model the window was set to while a 7100 was recorded, and how 7100 is chosen: "offer"
  // (the readings' Switch to 7100) or "menu" (Options, as Choose Model... opens it).
  QTest::addColumn<int>("recorded");
  QTest::addColumn<QString>("by");
  QTest::newRow("5100, offer") << int(kModel5100) << "offer";
  QTest::newRow("5100, menu") << int(kModel5100) << "menu";
  QTest::newRow("3100, menu") << int(kModel3100) << "menu";
  QTest::newRow("8100, menu") << int(kModel8100) << "menu";
}

void ModelHintTest::RecordingMadeUnderAnotherModelIsReadAgainAsTheModelChosen() {
  QFETCH(int, recorded);
  QFETCH(QString, by);
  TempFolder folder;
  std::vector<std::vector<uint8_t>> frames;
  for (int i = 0; i < kFrames; ++i)
    frames.push_back(FrameBuilder::Build(SentBy(kModel7100, 1000 + i), kModel7100));
  const std::string path = folder / "2026-12-09_15-03-22_ttyUSB0.log";
  WriteFile(path, UnclosedRecording(frames, recorded, 0, 1796825002500, 3600));
  AppFixture f({"a", path});
  QCOMPARE(f.doc()->model.load(), recorded);
  QVERIFY(f.doc()->reviewing());
  const size_t reads = f.ui.statuses().size();
  if (by == "offer") {
    StatusOffer* offer = f.frame()->modelOffer();
    f.frame()->RefreshPanes();
    QVERIFY(offer->offered());
    QCOMPARE(offer->button()->text(), QStringLiteral("Switch to 7100"));
    offer->button()->click();
  } else {
    f.frame()->OnCommand(kIdModel7100);
  }
  QCOMPARE(f.doc()->model.load(), kModel7100);
  QVERIFY(f.doc()->reviewing());
  QCOMPARE(f.doc()->importedPath(), path);
  // Read again only when the layout changed: the long-layout models decode a frame alike.
  QCOMPARE(f.ui.statuses().size() - reads, size_t{recorded == kModel3100 ? 1u : 0u});
  // Every frame of the recording, each with its six cylinders; nothing read under the model
  // the recording names is left.
  QCOMPARE(f.doc()->SampleCount(), kFrames);
  for (int i = 0; i < kFrames; ++i) {
    const EngineSample& got = f.doc()->SampleAt(i);
    QVERIFY2(SameEngineValues(got, FrameBuilder::Expected(SentBy(kModel7100, 1000 + i),
                                                          kModel7100)),
             qPrintable(QString::number(i)));
    QCOMPARE(got.cht[5], int16_t{355});
    QCOMPARE(got.egt[5], int16_t{1305});
  }
  std::string header;
  f.doc()->FormatCsvRow(0, header);
  QVERIFY2(header.find("CHT5,CHT6,EGT1") != std::string::npos, header.c_str());
  QVERIFY2(header.find("EGT5,EGT6,") != std::string::npos, header.c_str());
}

// From the 3100 to the 5100 in the v3.9 format takes two menu commands, each a change of
// layout; the file is read once, under the final choice.
void ModelHintTest::AnOfferOfTwoCommandsReadsTheFileOnce() {
  TempFolder folder;
  const std::string path = folder / "capture.bin";
  std::vector<uint8_t> bytes;
  for (int i = 0; i < kFrames; ++i)
    FrameBuilder::Append(bytes, SentBy(kModel5100, 1000 + i), kModel5100, 1);
  WriteFile(path, bytes);
  AppFixture f({"a", "m", "3100", path});
  StatusOffer* offer = f.frame()->layoutOffer();
  f.frame()->RefreshPanes();
  QVERIFY(offer->offered());
  QCOMPARE(offer->label()->text(),
           QStringLiteral("These frames look like Model 5100 with v3.9 software (77-byte frames)"));
  const size_t reads = f.ui.statuses().size();
  offer->button()->click();
  QCOMPARE(f.doc()->model.load(), kModel5100);
  QCOMPARE(f.doc()->altFrameFormat.load(), 1);
  QCOMPARE(f.ui.statuses().size(), reads + 1);
  QCOMPARE(f.doc()->SampleCount(), kFrames);
}

}  // namespace ovixlog::test

QTEST_MAIN(ovixlog::test::ModelHintTest)
#include "model_hint_test.moc"
