// The painters of the chart pane's plots, one class per kind of plot: each says which channels
// it draws for a model and how its legend and unit read, and the base draws the common parts
// (background, shaded stretches, grid, value axes, limit lines, the series, frame and legend)
// from the summary's envelopes into the plot's rectangle.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>

#include <cstdint>
#include <vector>

#include "trend/trend_summary.h"
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

// What every plot of one paint shares.
struct PlotScene {
  const TrendSummary* summary = nullptr;
  TrendSummary::RawAccess raw;
  TimeAxis axis;
  // The envelope's columns (one per device pixel across a plot) and device pixels per
  // logical pixel.
  int columns = 1;
  qreal ratio = 1.0;
  std::vector<int64_t> ticks;
  const std::vector<ChartLimitLine>* limits = nullptr;
  const std::vector<ChartShadedRange>* shaded = nullptr;
  QFont font;  // the plots' small text
  // Where a plot's inside is drawn at device resolution before it is copied to the screen;
  // shared by the plots of a paint so that one buffer stays warm. Null: the painter's own.
  QImage* scratch = nullptr;
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

// The colour of the `n`-th series of a plot.
QColor SeriesColor(int n);

class PlotPainter {
 public:
  virtual ~PlotPainter();

  // The channels drawn for `model`, in legend order.
  virtual std::vector<int> Channels(EngineModel model) const = 0;

  // Draws the plot into `r` of `painter`.
  void Paint(QPainter& painter, const QRect& r, const PlotScene& scene, EngineModel model);

 protected:
  // The word in front of the legend ("EGT"), empty for none.
  virtual QString Heading() const = 0;
  // A channel's name in the legend.
  virtual QString LegendName(int channel) const = 0;
  // The unit text at the legend's right end, for the units drawn (first on the left axis).
  virtual QString UnitText(const std::vector<TrendUnit>& units) const = 0;

 private:
  // A length in logical pixels as whole device pixels, at least one.
  static int DevicePixels(int logical, qreal ratio);

  std::vector<TrendSummary::Envelope> envelopes_;
  QImage ownImage_;
};

// One line per cylinder of one temperature (EGT or CHT), named by cylinder number.
class CylinderPlotPainter : public PlotPainter {
 public:
  // `firstChannel` is kChannelEgt1 or kChannelCht1.
  CylinderPlotPainter(int firstChannel, QString heading);
  std::vector<int> Channels(EngineModel model) const override;

 protected:
  QString Heading() const override { return heading_; }
  QString LegendName(int channel) const override;
  QString UnitText(const std::vector<TrendUnit>& units) const override;

 private:
  int firstChannel_;
  QString heading_;
};

// The units of a plot, in axis order: "rpm | gph | F | ft".
QString UnitsText(const std::vector<TrendUnit>& units);

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
  QString UnitText(const std::vector<TrendUnit>& units) const override;

 private:
  std::vector<int> choice_;
};

}  // namespace ovixlog
