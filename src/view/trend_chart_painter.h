// Paints one chart of the Trends view in the flight charts' look (white plot, light grid,
// value axes in the margins, legend along the top, the same series colours and dashes): one
// point per flight across the plot, each series' band of normal as a shaded p10 to p90 area
// with its p50 line, and the changes marked where they were confirmed with their sentence.
// More flights than device columns are reduced to each column's lowest and highest value.
#pragma once

#include <QFont>
#include <QRect>

#include <vector>

#include "view/trend_chart_model.h"

class QPainter;

namespace ovixlog {

// What the charts of one paint share.
struct TrendPlotScene {
  int first = 0;   // the first flight shown (index into the model's flights)
  int count = 0;   // flights shown
  int hover = -1;  // the flight under the cursor, -1 for none
  std::vector<int> ticks;  // flights with a grid line
  QFont font;
  int leftMargin = 0;
  int rightMargin = 0;
};

class TrendChartPainter {
 public:
  // The x of flight `index` in `r` when `count` flights from `first` are shown.
  static double XOf(int index, const QRect& r, int first, int count);
  // The flight nearest to `x`, clamped to those shown.
  static int FlightAt(int x, const QRect& r, int first, int count);

  // Draws `plot` (plot number `plotIndex` of `model`) into `r`.
  void Paint(QPainter& painter, const QRect& r, const TrendChartModel& model,
             std::size_t plotIndex, const TrendPlotScene& scene);

 private:
  // One device column's reduction of a series: lowest and highest value, widest band, mean
  // p50; NaN where no flight of the column has it.
  struct Column {
    float low, high, bandLow, bandHigh, p50;
  };
  std::vector<std::vector<Column>> reduced_;  // per series, kept warm between paints
};

}  // namespace ovixlog
