// The painters of the chart pane's plots, one class per kind of plot: each says which channels
// it draws for a model and how its legend and unit read, and the base draws the common parts
// (background, shaded stretches, grid, value axes, limit lines, the series, frame and legend)
// from the summary's envelopes into the plot's rectangle.
#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QRect>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "chart/chart_series.h"
#include "view/time_axis.h"

class QPainter;

namespace ovixlog {

// A horizontal line across a plot at a value of `channel`'s unit (a limit).
struct ChartLimitLine {
  int channel = kChannelCht1;
  double value = 0.0;
  QColor color = Qt::red;
  QString label;
};

// A stretch of time shaded across every plot (an exceedance), in elapsed milliseconds.
struct ChartShadedRange {
  int64_t startMs = 0;
  int64_t endMs = 0;
  QColor color = QColor(255, 0, 0, 40);
};

// A finding's span, marked by a bar along the foot of the plot that draws `channel` (of every
// plot when `channel` is -1: the engine as a whole), in elapsed milliseconds.
struct ChartSpanMark {
  int64_t startMs = 0;
  int64_t endMs = 0;
  int channel = -1;
  QColor color = Qt::red;
};

// What every plot of one paint shares.
struct PlotScene {
  const ChartSeries* summary = nullptr;
  ChartSeries::RawAccess raw;
  TimeAxis axis;
  // The envelope's columns (one per device pixel across a plot) and device pixels per
  // logical pixel.
  int columns = 1;
  qreal ratio = 1.0;
  std::vector<int64_t> ticks;
  const std::vector<ChartLimitLine>* limits = nullptr;
  const std::vector<ChartShadedRange>* shaded = nullptr;
  const std::vector<ChartSpanMark>* marks = nullptr;
  QFont font;  // the plots' small text
  // Where a plot's inside is drawn at device resolution before it is copied to the screen;
  // shared by the plots of a paint so that one buffer stays warm. Null: the painter's own.
  QImage* scratch = nullptr;
  // Everything as shapes, the series as paths rather than pixels: for a vector picture (SVG).
  bool vector = false;
  // The margins beside the plots, where the value axes are written.
  int leftMargin = 0;
  int rightMargin = 0;
};

// A rounded value axis over [low, high]: about `ticks` steps of 1, 2 or 5 times a power of ten.
struct ValueScale {
  double low = 0.0;
  double high = 1.0;
  double step = 1.0;
};
ValueScale NiceScale(double low, double high, int ticks);

// The value axis of every unit among `channels` in a plot `height` pixels tall: each unit over
// the envelopes of its shown channels (`envelopes[i]` is `channels[i]`'s) and the limit lines of
// those channels, so that no series is read against another unit's numbers. A unit with
// nothing to show spans 0 to 1.
std::map<ChartUnit, ValueScale> UnitScales(const std::vector<int>& channels,
                                           const std::vector<ChartSeries::Envelope>& envelopes,
                                           const std::set<int>& hidden,
                                           const std::vector<ChartLimitLine>& limits, int height);
// Where `value` lies on `scale` in a plot `rows` rows tall, in rows from its top: 0 at the
// scale's high end, rows - 1 at its low end.
double ValueRow(const ValueScale& scale, double value, int rows);

// The colour of the `n`-th series of a plot.
QColor SeriesColor(int n);
// Whether the `n`-th series is drawn in device column `column`: the first three series are
// solid, the next three dashed and the last three dotted, so that nine cylinders stay apart.
bool SeriesDrawsColumn(int n, int column);

// Where the texts inside a plot's rectangle go: the legend along the top with the unit text at
// its right end, the value axes of the third and later units inside the right edge, and each
// limit's label by its line, clear of all of them.
struct PlotTextLayout {
  // The texts of plot `r` in the font of `metrics`; `axes`: how many units beyond the second
  // the plot draws.
  PlotTextLayout(const QRect& r, const QFontMetrics& metrics, int axes);

  // The band along the top that the legend and the unit text take.
  QRect LegendBand() const;
  // The unit text, `width` wide, at the band's right end.
  QRect UnitTextRect(int width) const;
  // The box a value of inside axis `k` (0: the third unit's, rightmost) is written in, for the
  // value at row `y`.
  QRect InsideAxisRect(int k, int y) const;
  // The label of a limit whose line lies at row `y`, `width` wide: left of the inside axes,
  // above the line, below it where above would reach into the legend band, and under the band
  // where the line runs through it.
  QRect LimitLabelRect(int y, int width) const;

  QRect plot;
  int ascent = 0;
  int height = 0;
  int insideAxes = 0;
  int insideAxisWidth = 0;
};

class PlotPainter {
 public:
  virtual ~PlotPainter();

  // The channels drawn for `model`, in legend order.
  virtual std::vector<int> Channels(EngineModel model) const = 0;

  // Draws the plot into `r` of `painter`.
  void Paint(QPainter& painter, const QRect& r, const PlotScene& scene, EngineModel model);

  // Series the user hid from the legend: not drawn, not scaled for, their legend entry hollow.
  const std::set<int>& hidden() const { return hidden_; }
  void SetHidden(std::set<int> channels) { hidden_ = std::move(channels); }
  // A legend click: hides a shown channel, shows a hidden one.
  void ToggleHidden(int channel);
  // A legend double-click: shows `channel` alone among `all`.
  void Solo(int channel, const std::vector<int>& all);
  // The channel whose legend entry lies under `point`, as last painted; -1 for none.
  int LegendChannelAt(QPoint point) const;
  // Where `channel`'s legend entry was last painted; empty when it was not.
  QRect LegendBoxOf(int channel) const;

 protected:
  // The word in front of the legend ("EGT"), empty for none.
  virtual QString Heading() const = 0;
  // A channel's name in the legend.
  virtual QString LegendName(int channel) const = 0;
  // The unit text at the legend's right end, for the units drawn (first on the left axis).
  virtual QString UnitText(const std::vector<ChartUnit>& units) const = 0;
  // Turns the envelopes of `channels` (as read) into what is drawn; the default draws them as
  // they are. Returns false when the values are no longer the readings (no limit lines then).
  virtual bool Adjust(const std::vector<int>& channels,
                      std::vector<ChartSeries::Envelope>& envelopes) const;

 private:
  // A length in logical pixels as whole device pixels, at least one.
  static int DevicePixels(int logical, qreal ratio);
  // The series of the last envelopes as paths in `r`, `columns` envelope columns across;
  // `yFor` gives a value's height in the plot.
  void DrawSeriesShapes(QPainter& painter, const QRect& r, int columns,
                        const std::vector<int>& channels,
                        const std::function<double(ChartUnit, double)>& yFor) const;

  std::vector<ChartSeries::Envelope> envelopes_;
  QImage ownImage_;
  std::set<int> hidden_;
  std::vector<std::pair<int, QRect>> legendBoxes_;
};

// One line per cylinder of one temperature (EGT or CHT), named by cylinder number; shown as
// read, relative to the mean of the cylinders at each moment (normalised), or relative to each
// cylinder's own value at a chosen moment.
class CylinderPlotPainter : public PlotPainter {
 public:
  enum class Relative { kNone, kMean, kReference };

  // `firstChannel` is kChannelEgt1 or kChannelCht1.
  CylinderPlotPainter(int firstChannel, QString heading);
  std::vector<int> Channels(EngineModel model) const override;

  Relative relative() const { return relative_; }
  void SetRelative(Relative relative) { relative_ = relative; }
  // The values kReference subtracts, one per channel (by channel number; kChannelCount long).
  void SetReference(std::vector<float> values) { reference_ = std::move(values); }

 protected:
  QString Heading() const override { return heading_; }
  QString LegendName(int channel) const override;
  QString UnitText(const std::vector<ChartUnit>& units) const override;
  bool Adjust(const std::vector<int>& channels,
              std::vector<ChartSeries::Envelope>& envelopes) const override;

 private:
  int firstChannel_;
  QString heading_;
  Relative relative_ = Relative::kNone;
  std::vector<float> reference_;
};

// The units of a plot, in axis order: "rpm | gph | F | ft".
QString UnitsText(const std::vector<ChartUnit>& units);

// A chosen set of the other columns, those the model lacks skipped; every unit on an axis of
// its own (the first left, the second right, further ones inside the right edge).
class ColumnsPlotPainter : public PlotPainter {
 public:
  void SetChoice(std::vector<int> channels) { choice_ = std::move(channels); }
  const std::vector<int>& choice() const { return choice_; }
  std::vector<int> Channels(EngineModel model) const override;

 protected:
  QString Heading() const override { return QString(); }
  QString LegendName(int channel) const override;
  QString UnitText(const std::vector<ChartUnit>& units) const override;

 private:
  std::vector<int> choice_;
};

}  // namespace ovixlog
