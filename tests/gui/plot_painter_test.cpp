// The plot painters alone: which channels each kind of plot draws per model, and where a
// painter puts each series, its limit lines and the shaded stretches in a plot's rectangle.
#include <QPainter>
#include <QTest>

#include <array>
#include <set>
#include <tuple>
#include <vector>

#include "format/column_set.h"
#include "support/test_support.h"
#include "view/plot_painter.h"
#include "view/series_look.h"

namespace ovixlog::test {

namespace {

QStringList Titles(const std::vector<int>& channels) {
  QStringList titles;
  for (int channel : channels)
    titles << QString::fromLatin1(ChannelTitle(channel));
  return titles;
}

// The rows of column `x` inside `r` whose pixel is `colour`, from the plot's top.
std::vector<int> RowsOf(const QImage& image, int x, const QRect& r, const QColor& colour) {
  std::vector<int> rows;
  for (int y = r.top(); y <= r.bottom(); ++y) {
    if (image.pixelColor(x, y) == colour)
      rows.push_back(y - r.top());
  }
  return rows;
}

// A minute of samples a second apart, by default EGT1 at 1100, EGT2 at 1500, EGT3 and EGT4
// at 1300.
struct Flight {
  explicit Flight(std::array<int16_t, 4> egt = {1100, 1500, 1300, 1300}) {
    for (int i = 0; i < 61; ++i) {
      EngineSample s = ExampleSample();
      s.tickMs = 1000 * static_cast<uint32_t>(i);
      for (size_t c = 0; c < 4; ++c)
        s.egt[c] = egt[c];
      samples.push_back(s);
    }
    for (const EngineSample& s : samples)
      summary.Append(s);
  }
  PlotScene Scene(int columns) const {
    PlotScene scene;
    scene.summary = &summary;
    scene.raw = [this](int index) { return &samples[static_cast<size_t>(index)]; };
    scene.axis = TimeAxis::Span(0, 60000);
    scene.columns = columns;
    scene.leftMargin = 58;
    scene.rightMargin = 58;
    return scene;
  }
  std::vector<EngineSample> samples;
  ChartSeries summary;
};

}  // namespace

class PlotPainterTest : public QObject {
  Q_OBJECT

 private slots:
  void EachKindChoosesItsChannels_data();
  void EachKindChoosesItsChannels();
  void DrawsEachCylinderAtItsValueInItsColour();
  void DrawsLimitsAndShadesStretches();
  void DrawsCylindersRelativeToTheirMeanOrAMark();
  void HiddenSeriesAreNeitherDrawnNorScaled();
  void NineSeriesKeepApartByColourAndStyle();
  void EachCylinderLooksItsOwn_data();
  void EachCylinderLooksItsOwn();
  void LimitLabelsKeepClearOfTheUnitTextAndTheAxes_data();
  void LimitLabelsKeepClearOfTheUnitTextAndTheAxes();
  void DrawsALimitLabelWhereTheLayoutPutsIt();
};

void PlotPainterTest::EachKindChoosesItsChannels_data() {
  QTest::addColumn<int>("model");
  QTest::addColumn<QStringList>("egt");
  QTest::addColumn<QStringList>("cht");
  QTest::addColumn<QStringList>("other");
  const QStringList choice{"Flow", "Carb", "Tach", "Aux3"};
  QTest::newRow("5100") << int{kModel5100} << QStringList{"EGT1", "EGT2", "EGT3", "EGT4"}
                        << QStringList{"CHT1", "CHT2", "CHT3", "CHT4"}
                        << QStringList{"Flow", "Carb", "Tach", "Aux3"};
  QTest::newRow("3100") << int{kModel3100} << QStringList{"EGT1", "EGT2"}
                        << QStringList{"CHT1", "CHT2"} << QStringList{"Flow", "Tach"};
  QTest::newRow("8100") << int{kModel8100}
                        << QStringList{"EGT1", "EGT2", "EGT3", "EGT4", "EGT5", "EGT6", "EGT7",
                                       "EGT8", "EGT9"}
                        << QStringList{"CHT1", "CHT2", "CHT3"}
                        << QStringList{"Flow", "Carb", "Tach", "Aux3"};
}

void PlotPainterTest::EachKindChoosesItsChannels() {
  QFETCH(int, model);
  QFETCH(QStringList, egt);
  QFETCH(QStringList, cht);
  QFETCH(QStringList, other);
  const CylinderPlotPainter egtPlot(kChannelEgt1, QStringLiteral("EGT"));
  const CylinderPlotPainter chtPlot(kChannelCht1, QStringLiteral("CHT"));
  ColumnsPlotPainter columns;
  columns.SetChoice({kChannelFlow, kChannelCarb, kChannelTach, kChannelAux1 + 2});
  QCOMPARE(Titles(egtPlot.Channels(model)), egt);
  QCOMPARE(Titles(chtPlot.Channels(model)), cht);
  QCOMPARE(Titles(columns.Channels(model)), other);
}

void PlotPainterTest::DrawsEachCylinderAtItsValueInItsColour() {
  const Flight flight;
  QImage image(420, 200, QImage::Format_RGB32);
  image.fill(Qt::black);
  const QRect r(58, 20, 300, 150);
  CylinderPlotPainter painter(kChannelEgt1, QStringLiteral("EGT"));
  {
    QPainter p(&image);
    painter.Paint(p, r, flight.Scene(r.width()), kModel5100);
  }
  // The scale runs 1000 to 1600 over 150 rows: a value v sits (1600 - v) / 600 * 149 rows down.
  const int x = r.left() + 200;
  QCOMPARE(RowsOf(image, x, r, SeriesColor(0)), std::vector<int>{124});
  QCOMPARE(RowsOf(image, x, r, SeriesColor(1)), std::vector<int>{24});
  // Cylinders 3 and 4 share a value: the later one is drawn over the earlier.
  QCOMPARE(RowsOf(image, x, r, SeriesColor(2)), std::vector<int>{});
  QCOMPARE(RowsOf(image, x, r, SeriesColor(3)), std::vector<int>{74});
  // Left of the plot, the value axis; nothing is drawn right of the margin.
  QCOMPARE(image.pixelColor(r.right() + 59, 100), QColor(Qt::black));
}

void PlotPainterTest::DrawsLimitsAndShadesStretches() {
  const Flight flight;
  const std::vector<ChartLimitLine> limits{{kChannelEgt1 + 1, 1700.0, QColor(200, 0, 0), {}},
                                           {kChannelCht1, 100.0, QColor(0, 0, 200), {}}};
  const std::vector<ChartShadedRange> shaded{{30000, 45000, QColor(255, 200, 0)}};
  PlotScene scene = flight.Scene(300);
  scene.limits = &limits;
  scene.shaded = &shaded;
  QImage image(420, 200, QImage::Format_RGB32);
  const QRect r(58, 20, 300, 150);
  CylinderPlotPainter painter(kChannelEgt1, QStringLiteral("EGT"));
  {
    QPainter p(&image);
    painter.Paint(p, r, scene, kModel5100);
  }
  // The EGT limit widens the scale to 1000..1800 and lies a row under the top; the CHT limit is
  // not this plot's.
  const int x = r.left() + 150;
  QCOMPARE(RowsOf(image, x, r, QColor(200, 0, 0)), std::vector<int>{19});
  QCOMPARE(RowsOf(image, x, r, QColor(0, 0, 200)), std::vector<int>{});
  QCOMPARE(RowsOf(image, x, r, SeriesColor(1)), std::vector<int>{55});
  // The shaded stretch covers columns 150 to 225 of the plot.
  QCOMPARE(image.pixelColor(r.left() + 149, r.top() + 100), QColor(Qt::white));
  QCOMPARE(image.pixelColor(r.left() + 150, r.top() + 100), QColor(255, 200, 0));
  QCOMPARE(image.pixelColor(r.left() + 225, r.top() + 100), QColor(255, 200, 0));
  QCOMPARE(image.pixelColor(r.left() + 226, r.top() + 100), QColor(Qt::white));
}

void PlotPainterTest::DrawsCylindersRelativeToTheirMeanOrAMark() {
  // Mean 1310: the cylinders stand at -210, +190, -10 and +30; the scale runs -400 to 200.
  const Flight flight({1100, 1500, 1300, 1340});
  const std::vector<ChartLimitLine> limits{{kChannelEgt1, 1450.0, QColor(200, 0, 0), {}}};
  PlotScene scene = flight.Scene(300);
  scene.limits = &limits;
  const QRect r(58, 20, 300, 150);
  const int x = r.left() + 153;  // where the dashed fourth series is drawn
  CylinderPlotPainter painter(kChannelEgt1, QStringLiteral("EGT"));
  painter.SetRelative(CylinderPlotPainter::Relative::kMean);
  QImage image(420, 200, QImage::Format_RGB32);
  {
    QPainter p(&image);
    painter.Paint(p, r, scene, kModel5100);
  }
  QCOMPARE(RowsOf(image, x, r, SeriesColor(0)), std::vector<int>{101});
  QCOMPARE(RowsOf(image, x, r, SeriesColor(1)), std::vector<int>{2});
  QCOMPARE(RowsOf(image, x, r, SeriesColor(2)), std::vector<int>{52});
  QCOMPARE(RowsOf(image, x, r, SeriesColor(3)), std::vector<int>{42});
  // A limit is a reading: no line where the values are differences.
  QCOMPARE(RowsOf(image, x, r, QColor(200, 0, 0)), std::vector<int>{});

  // From a mark at 1050, 1450, 1310, 1300: +50, +50, -10, +40 on a scale of -20 to 60.
  std::vector<float> mark(kChannelCount, 0.0f);
  mark[kChannelEgt1] = 1050;
  mark[kChannelEgt1 + 1] = 1450;
  mark[kChannelEgt1 + 2] = 1310;
  mark[kChannelEgt1 + 3] = 1300;
  painter.SetRelative(CylinderPlotPainter::Relative::kReference);
  painter.SetReference(mark);
  {
    QPainter p(&image);
    painter.Paint(p, r, scene, kModel5100);
  }
  QCOMPARE(RowsOf(image, x, r, SeriesColor(0)), std::vector<int>{});  // under cylinder 2
  QCOMPARE(RowsOf(image, x, r, SeriesColor(1)), std::vector<int>{18});
  QCOMPARE(RowsOf(image, x, r, SeriesColor(2)), std::vector<int>{130});
  QCOMPARE(RowsOf(image, x, r, SeriesColor(3)), std::vector<int>{37});
}

void PlotPainterTest::HiddenSeriesAreNeitherDrawnNorScaled() {
  // With cylinder 2 (1500) hidden the scale runs 1100 to 1400.
  const Flight flight({1120, 1500, 1300, 1340});
  const QRect r(58, 20, 300, 150);
  const int x = r.left() + 153;  // where the dashed fourth series is drawn
  CylinderPlotPainter painter(kChannelEgt1, QStringLiteral("EGT"));
  painter.ToggleHidden(kChannelEgt1 + 1);
  QCOMPARE(painter.hidden(), std::set<int>{kChannelEgt1 + 1});
  QImage image(420, 200, QImage::Format_RGB32);
  {
    QPainter p(&image);
    painter.Paint(p, r, flight.Scene(300), kModel5100);
  }
  QCOMPARE(RowsOf(image, x, r, SeriesColor(0)), std::vector<int>{139});
  QCOMPARE(RowsOf(image, x, r, SeriesColor(1)), std::vector<int>{});
  QCOMPARE(RowsOf(image, x, r, SeriesColor(2)), std::vector<int>{49});
  QCOMPARE(RowsOf(image, x, r, SeriesColor(3)), std::vector<int>{29});
  // The legend keeps every entry; a hidden one is a hollow box.
  const QRect box = painter.LegendBoxOf(kChannelEgt1 + 1);
  QVERIFY(!box.isEmpty());
  QCOMPARE(painter.LegendChannelAt(box.center()), kChannelEgt1 + 1);
  QCOMPARE(painter.LegendChannelAt(QPoint(r.right() - 2, r.bottom() - 2)), -1);
  // Shown again; then alone.
  painter.ToggleHidden(kChannelEgt1 + 1);
  QCOMPARE(painter.hidden(), std::set<int>{});
  painter.Solo(kChannelEgt1 + 2, painter.Channels(kModel5100));
  QCOMPARE(painter.hidden(), (std::set<int>{kChannelEgt1, kChannelEgt1 + 1, kChannelEgt1 + 3}));
}

void PlotPainterTest::NineSeriesKeepApartByColourAndStyle() {
  for (int a = 0; a < 9; ++a) {
    for (int b = a + 1; b < 9; ++b)
      QVERIFY(SeriesColor(a) != SeriesColor(b));
  }
  QCOMPARE(SeriesColor(9), SeriesColor(0));
  // Which of the first nine columns each series draws: solid, dashed, dotted by threes.
  const QString expected[] = {"111111111", "111111111", "111111111", "111111000", "111111000",
                              "111111000", "110011001", "110011001", "110011001"};
  for (int n = 0; n < 9; ++n) {
    QString columns;
    for (int c = 0; c < 9; ++c)
      columns += SeriesDrawsColumn(n, c) ? QLatin1Char('1') : QLatin1Char('0');
    QCOMPARE(columns, expected[n]);
  }
}

void PlotPainterTest::EachCylinderLooksItsOwn_data() {
  QTest::addColumn<int>("model");
  QTest::newRow("3100") << int{kModel3100};
  QTest::newRow("5100") << int{kModel5100};
  QTest::newRow("7100") << int{kModel7100};
  QTest::newRow("8100") << int{kModel8100};
}

// Within a chart no two cylinders look alike: in the window by colour and dash, and in the
// report and the lean test by dash and marker shape alone, which is what a print in black and
// white keeps. Each marker shape also comes out as a picture of its own.
void PlotPainterTest::EachCylinderLooksItsOwn() {
  QFETCH(int, model);
  const ColumnSet columns = ColumnSetFor(model);
  for (const int count : {columns.egtCount, columns.chtCount}) {
    std::set<std::pair<QRgb, QString>> window;
    std::set<std::pair<int, int>> print;
    std::set<std::tuple<QRgb, int, int>> printInColour;
    std::vector<QImage> shapes;
    for (int n = 0; n < count; ++n) {
      QString dashes;
      for (int c = 0; c < 36; ++c)
        dashes += SeriesDrawsColumn(n, c) ? QLatin1Char('1') : QLatin1Char('0');
      QVERIFY2(window.emplace(SeriesColor(n).rgb(), dashes).second, qPrintable(QString::number(n)));
      const SeriesLook look = SeriesLook::For(n);
      QCOMPARE(look.color, SeriesColor(n));
      QVERIFY2(print.emplace(int(look.dash), int(look.marker)).second,
               qPrintable(QString::number(n)));
      QVERIFY(printInColour.emplace(look.color.rgb(), int(look.dash), int(look.marker)).second);
      QImage shape(24, 24, QImage::Format_RGB32);
      shape.fill(Qt::white);
      {
        QPainter p(&shape);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        DrawSeriesMarker(p, QPointF(12, 12), look.marker, 16.0);
      }
      for (const QImage& other : shapes)
        QVERIFY2(shape != other, qPrintable(QString::number(n)));
      shapes.push_back(shape);
    }
  }
}

void PlotPainterTest::LimitLabelsKeepClearOfTheUnitTextAndTheAxes_data() {
  QTest::addColumn<int>("height");
  QTest::addColumn<int>("insideAxes");
  for (const int height : {60, 150, 400}) {
    for (const int axes : {0, 1, 2, 3}) {
      QTest::addRow("%d high, %d inside axes", height, axes) << height << axes;
    }
  }
}

// Wherever a limit's line lies, its label stays by it and clear of the legend band with the
// unit text, and of every value written on an inside axis.
void PlotPainterTest::LimitLabelsKeepClearOfTheUnitTextAndTheAxes() {
  QFETCH(int, height);
  QFETCH(int, insideAxes);
  const QFont font;
  const QFontMetrics metrics(font);
  const QRect r(58, 20, 600, height);
  const PlotTextLayout layout(r, metrics, insideAxes);
  const QRect band = layout.LegendBand();
  const QRect unitText = layout.UnitTextRect(metrics.horizontalAdvance(QStringLiteral("rpm | gph | V | F")));
  QVERIFY(band.contains(unitText));
  for (int y = r.top(); y <= r.bottom(); ++y) {
    for (const QString& label : {QStringLiteral("V"), QStringLiteral("Volt max 15"),
                                 QStringLiteral("OilT max 245 (hot)")}) {
      const QRect box = layout.LimitLabelRect(y, metrics.horizontalAdvance(label));
      const QString where = QStringLiteral("%1 at %2").arg(label).arg(y);
      QVERIFY2(!box.intersects(band), qPrintable(where));
      QVERIFY2(!box.intersects(unitText), qPrintable(where));
      QVERIFY2(box.left() > r.left() && box.right() < r.right(), qPrintable(where));
      for (int k = 0; k < insideAxes; ++k) {
        for (int value = r.top(); value <= r.bottom(); ++value)
          QVERIFY2(!box.intersects(layout.InsideAxisRect(k, value)), qPrintable(where));
      }
      // Just above its line, else just below it, else just under the band it runs through.
      const bool above = box.top() == y - 2 - metrics.ascent();
      const bool below = box.top() == y + 1;
      const bool underBand = box.top() == band.bottom() + 1 && y + 1 <= band.bottom();
      QVERIFY2(above || below || underBand, qPrintable(where));
      QCOMPARE(above, y - 2 - metrics.ascent() > band.bottom());
    }
  }
}

// The painter draws a limit's label inside the rectangle the layout gives: here on the third
// unit's line, at the top of its scale, where the unit text and the inside axis are too.
void PlotPainterTest::DrawsALimitLabelWhereTheLayoutPutsIt() {
  const Flight flight;
  const QColor colour(250, 0, 250);
  const QRect r(58, 20, 500, 150);
  ColumnsPlotPainter painter;
  painter.SetChoice({kChannelTach, kChannelFlow, kChannelVolt});
  QImage with(620, 200, QImage::Format_RGB32);
  QImage without(620, 200, QImage::Format_RGB32);
  for (const QString& label : {QStringLiteral("Volt max 15"), QString()}) {
    const std::vector<ChartLimitLine> limits{{kChannelVolt, 15.0, colour, label}};
    PlotScene scene = flight.Scene(r.width());
    scene.limits = &limits;
    QImage& image = label.isEmpty() ? without : with;
    image.fill(Qt::black);
    QPainter p(&image);
    painter.Paint(p, r, scene, kModel5100);
  }
  const QFontMetrics metrics{QFont()};
  const PlotTextLayout layout(r, metrics, 1);
  // The volts run 14.1 to the limit's 15 on a scale of 14 to 15: the line lies on the top row,
  // under the frame, and its label under the legend band.
  const QRect box = layout.LimitLabelRect(r.top(), metrics.horizontalAdvance(QStringLiteral("Volt max 15")));
  QCOMPARE(box.top(), layout.LegendBand().bottom() + 1);
  QRect drawn;
  for (int y = 0; y < with.height(); ++y) {
    for (int x = 0; x < with.width(); ++x) {
      if (with.pixel(x, y) != without.pixel(x, y))
        drawn |= QRect(x, y, 1, 1);
    }
  }
  QVERIFY(!drawn.isEmpty());
  QVERIFY2(box.contains(drawn), qPrintable(QStringLiteral("drawn %1,%2 %3x%4")
                                               .arg(drawn.x())
                                               .arg(drawn.y())
                                               .arg(drawn.width())
                                               .arg(drawn.height())));
  QVERIFY(!drawn.intersects(layout.UnitTextRect(metrics.horizontalAdvance(QStringLiteral("rpm | gph | V")))));
}

}  // namespace ovixlog::test

QTEST_MAIN(ovixlog::test::PlotPainterTest)
#include "plot_painter_test.moc"
