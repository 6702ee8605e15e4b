#include "view/trend_charts_widget.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace ovixlog {
namespace {

constexpr int kLeftMargin = 52;
constexpr int kRightMargin = 44;
constexpr int kGap = 6;  // between charts

QFont SmallFont(const QFont& base) {
  QFont font = base;
  font.setPointSizeF(std::max(base.pointSizeF() - 1.0, 7.0));
  return font;
}

QString Number(float value) {
  return QString::number(static_cast<double>(value), 'f', std::fabs(value) < 20.0f ? 1 : 0);
}

}  // namespace

TrendChartsWidget::TrendChartsWidget(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumHeight(200);
}

void TrendChartsWidget::SetModel(const TrendChartModel* model, int last) {
  model_ = model;
  const int flights = model == nullptr ? 0 : static_cast<int>(model->ids.size());
  count_ = last > 0 ? std::min(last, flights) : flights;
  first_ = flights - count_;
  hover_ = -1;
  update();
}

QRect TrendChartsWidget::PlotRect(int plot) const {
  if (model_ == nullptr || model_->plots.empty()) return QRect();
  const int plots = static_cast<int>(model_->plots.size());
  const int axisHeight = QFontMetrics(SmallFont(font())).height() + 6;
  const int usable = height() - axisHeight - kGap;
  const int each = std::max((usable - kGap * (plots - 1)) / plots, 20);
  return QRect(kLeftMargin, kGap + plot * (each + kGap), std::max(width() - kLeftMargin - kRightMargin, 10),
               each);
}

int TrendChartsWidget::PlotAt(QPoint point) const {
  if (model_ == nullptr) return -1;
  for (int p = 0; p < static_cast<int>(model_->plots.size()); ++p) {
    if (PlotRect(p).contains(point)) return p;
  }
  return -1;
}

int TrendChartsWidget::FlightAt(QPoint point) const {
  if (model_ == nullptr || count_ == 0 || PlotAt(point) < 0) return -1;
  return TrendChartPainter::FlightAt(point.x(), PlotRect(0), first_, count_);
}

QString TrendChartsWidget::HoverText(int index, int plot) const {
  if (model_ == nullptr || index < 0 || index >= static_cast<int>(model_->ids.size())) return QString();
  const auto f = static_cast<std::size_t>(index);
  QString text = QStringLiteral("Flight %1, %2")
                     .arg(model_->ids[f])
                     .arg(QString::fromStdString(model_->starts[f]));
  if (plot < 0 || plot >= static_cast<int>(model_->plots.size())) return text;
  const TrendPlot& shown = model_->plots[static_cast<std::size_t>(plot)];
  for (const TrendSeries& series : shown.series) {
    const QString name = QString::fromStdString(series.name);
    if (std::isnan(series.value[f])) {
      text += QStringLiteral("\n%1: none").arg(name);
      continue;
    }
    text += QStringLiteral("\n%1: %2").arg(name, Number(series.value[f]));
    if (!std::isnan(series.p10[f])) {
      text += QStringLiteral(" (normal %1 to %2, median %3)")
                  .arg(Number(series.p10[f]), Number(series.p90[f]), Number(series.p50[f]));
    }
  }
  for (const TrendChartMark& mark : model_->marks) {
    if (mark.confirmed == f) text += QStringLiteral("\n") + QString::fromStdString(mark.sentence);
  }
  return text;
}

std::vector<int> TrendChartsWidget::Ticks() const {
  // About one date every 110 pixels, on flights evenly spread.
  std::vector<int> ticks;
  if (count_ == 0) return ticks;
  const int wanted = std::clamp(PlotRect(0).width() / 110, 1, count_);
  for (int t = 0; t < wanted; ++t) ticks.push_back(first_ + static_cast<int>(int64_t{t} * count_ / wanted));
  return ticks;
}

void TrendChartsWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  if (model_ == nullptr || model_->plots.empty() || count_ == 0) return;
  TrendPlotScene scene;
  scene.first = first_;
  scene.count = count_;
  scene.hover = hover_;
  scene.ticks = Ticks();
  scene.font = SmallFont(font());
  scene.leftMargin = kLeftMargin;
  scene.rightMargin = kRightMargin;
  for (std::size_t p = 0; p < model_->plots.size(); ++p) {
    painter_.Paint(painter, PlotRect(static_cast<int>(p)), *model_, p, scene);
  }
  // The dates under the last chart.
  const QRect last = PlotRect(static_cast<int>(model_->plots.size()) - 1);
  painter.setFont(scene.font);
  painter.setPen(palette().windowText().color());
  const QFontMetrics metrics(scene.font);
  int freeFrom = 0;
  for (int tick : scene.ticks) {
    const QString date = QString::fromStdString(model_->starts[static_cast<std::size_t>(tick)].substr(0, 10));
    const int x = static_cast<int>(std::lround(TrendChartPainter::XOf(tick, last, first_, count_)));
    const int left = std::max(x - metrics.horizontalAdvance(date) / 2, 0);
    if (left < freeFrom) continue;
    painter.drawText(left, last.bottom() + 3 + metrics.ascent(), date);
    freeFrom = left + metrics.horizontalAdvance(date) + 8;
  }
}

void TrendChartsWidget::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  const int flight = FlightAt(at);
  if (flight != hover_) {
    hover_ = flight;
    update();
  }
  if (flight >= 0) {
    QToolTip::showText(event->globalPosition().toPoint(), HoverText(flight, PlotAt(at)), this);
  } else {
    QToolTip::hideText();
  }
}

void TrendChartsWidget::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const int flight = FlightAt(event->position().toPoint());
  if (flight >= 0) emit flightPicked(model_->ids[static_cast<std::size_t>(flight)]);
}

void TrendChartsWidget::leaveEvent(QEvent*) {
  if (hover_ >= 0) {
    hover_ = -1;
    update();
  }
}

}  // namespace ovixlog
