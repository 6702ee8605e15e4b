// The stacked charts of the Trends view, one per figure group, over the same flights: a date
// under every few flights, the flight under the mouse marked across all of them with its date
// and values in a tooltip, and a click on a flight asking for it to be opened.
#pragma once

#include <QWidget>

#include <vector>

#include "view/trend_chart_model.h"
#include "view/trend_chart_painter.h"

namespace ovixlog {

class TrendChartsWidget : public QWidget {
  Q_OBJECT

 public:
  explicit TrendChartsWidget(QWidget* parent = nullptr);

  // Shows `model`'s last `last` flights (all for 0 or more than there are). The model must
  // outlive its use here; nullptr shows nothing.
  void SetModel(const TrendChartModel* model, int last);
  int first() const { return first_; }
  int count() const { return count_; }

  // Where chart `plot` is drawn at the widget's present size.
  QRect PlotRect(int plot) const;
  // The flight (index into the model) under `point`, -1 outside the charts.
  int FlightAt(QPoint point) const;
  // The chart under `point`, -1 for none.
  int PlotAt(QPoint point) const;
  // The tooltip for flight `index` over chart `plot`: its id and start, then each series'
  // value with its band of normal.
  QString HoverText(int index, int plot) const;
  int hover() const { return hover_; }

  QSize sizeHint() const override { return QSize(640, 560); }

 signals:
  // A flight was clicked.
  void flightPicked(qint64 id);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  std::vector<int> Ticks() const;

  const TrendChartModel* model_ = nullptr;
  int first_ = 0;
  int count_ = 0;
  int hover_ = -1;
  TrendChartPainter painter_;
};

}  // namespace ovixlog
