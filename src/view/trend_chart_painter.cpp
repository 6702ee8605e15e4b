#include "view/trend_chart_painter.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <limits>

#include "view/plot_painter.h"

namespace ovixlog {
namespace {

constexpr float kNone = std::numeric_limits<float>::quiet_NaN();
const QColor kGrid(232, 232, 232);
const QColor kMark(200, 30, 30);

// The flight charts' dashes: the first three series solid, the next three dashed, the last
// three dotted.
Qt::PenStyle SeriesStyle(int n) {
  switch (std::abs(n) / 3 % 3) {
    case 1:
      return Qt::DashLine;
    case 2:
      return Qt::DotLine;
    default:
      return Qt::SolidLine;
  }
}

QColor WithAlpha(QColor color, int alpha) {
  color.setAlpha(alpha);
  return color;
}

}  // namespace

double TrendChartPainter::XOf(int index, const QRect& r, int first, int count) {
  if (count <= 0) return r.left();
  return r.left() + (index - first + 0.5) * r.width() / count;
}

int TrendChartPainter::FlightAt(int x, const QRect& r, int first, int count) {
  if (count <= 0 || r.width() <= 0) return -1;
  const int offset = static_cast<int>(std::floor(static_cast<double>(x - r.left()) * count / r.width()));
  return first + std::clamp(offset, 0, count - 1);
}

void TrendChartPainter::Paint(QPainter& painter, const QRect& r, const TrendChartModel& model,
                              std::size_t plotIndex, const TrendPlotScene& scene) {
  const TrendPlot& plot = model.plots[plotIndex];
  const int first = std::max(scene.first, 0);
  const int count = std::min(scene.count, static_cast<int>(model.ids.size()) - first);
  painter.save();
  painter.fillRect(r, Qt::white);
  painter.setFont(scene.font);
  const QFontMetrics metrics(scene.font);

  // Each series reduced to device columns: one per flight while they fit.
  const int buckets = std::max(std::min(count, r.width()), 0);
  reduced_.resize(plot.series.size());
  double low[2] = {1e30, 1e30};
  double high[2] = {-1e30, -1e30};
  for (std::size_t s = 0; s < plot.series.size(); ++s) {
    const TrendSeries& series = plot.series[s];
    std::vector<Column>& columns = reduced_[s];
    columns.assign(static_cast<std::size_t>(buckets), Column{kNone, kNone, kNone, kNone, kNone});
    const int axis = series.axis == 1 ? 1 : 0;
    for (int b = 0; b < buckets; ++b) {
      const auto from = static_cast<std::size_t>(first + static_cast<int>(int64_t{b} * count / buckets));
      const auto to = static_cast<std::size_t>(first + static_cast<int>(int64_t{b + 1} * count / buckets));
      Column& c = columns[static_cast<std::size_t>(b)];
      float p50Sum = 0.0f;
      int p50Count = 0;
      for (std::size_t f = from; f < to; ++f) {
        const float v = series.value[f];
        if (!std::isnan(v)) {
          c.low = std::isnan(c.low) ? v : std::min(c.low, v);
          c.high = std::isnan(c.high) ? v : std::max(c.high, v);
        }
        if (!std::isnan(series.p10[f])) {
          c.bandLow = std::isnan(c.bandLow) ? series.p10[f] : std::min(c.bandLow, series.p10[f]);
          c.bandHigh = std::isnan(c.bandHigh) ? series.p90[f] : std::max(c.bandHigh, series.p90[f]);
          p50Sum += series.p50[f];
          ++p50Count;
        }
      }
      if (p50Count > 0) c.p50 = p50Sum / static_cast<float>(p50Count);
      if (!std::isnan(c.low)) {
        low[axis] = std::min(low[axis], static_cast<double>(c.low));
        high[axis] = std::max(high[axis], static_cast<double>(c.high));
      }
      if (!std::isnan(c.bandLow)) {
        low[axis] = std::min(low[axis], static_cast<double>(c.bandLow));
        high[axis] = std::max(high[axis], static_cast<double>(c.bandHigh));
      }
    }
  }
  ValueScale scales[2];
  for (int a = 0; a < 2; ++a) {
    if (low[a] > high[a]) {
      low[a] = 0.0;
      high[a] = 1.0;
    }
    // A little room above and below, so that no point sits on the frame.
    // A flat series gets a hundredth of its value either side, so that the axis reads.
    const double room = std::max({(high[a] - low[a]) * 0.06,
                                  std::max(std::fabs(high[a]), std::fabs(low[a])) * 0.01, 1e-3});
    scales[a] = NiceScale(low[a] - room, high[a] + room, std::max(r.height() / 40, 2));
  }
  const auto yOf = [&](int axis, double value) {
    const ValueScale& s = scales[axis == 1 ? 1 : 0];
    return r.top() + (s.high - value) / (s.high - s.low) * (r.height() - 1);
  };
  const auto xOfBucket = [&](int b) { return r.left() + (b + 0.5) * r.width() / std::max(buckets, 1); };

  // Grid: a line per date tick and per value step of the left axis; the axes in the margins.
  painter.setPen(kGrid);
  for (int tick : scene.ticks) {
    if (tick < first || tick >= first + count) continue;
    const int x = static_cast<int>(std::lround(XOf(tick, r, first, count)));
    painter.drawLine(x, r.top() + 1, x, r.bottom() - 1);
  }
  for (int a = 0; a < 2; ++a) {
    if (plot.units[a].empty()) continue;
    const ValueScale& s = scales[a];
    for (double v = s.low; v <= s.high + s.step / 2; v += s.step) {
      const int y = static_cast<int>(std::lround(yOf(a, v)));
      if (a == 0) {
        painter.setPen(kGrid);
        painter.drawLine(r.left(), y, r.right(), y);
      }
      painter.setPen(Qt::black);
      const QString text = QString::number(v, 'g', 6);
      if (a == 0) {
        painter.drawText(QRect(r.left() - scene.leftMargin, y - 8, scene.leftMargin - 4, 16),
                         Qt::AlignRight | Qt::AlignVCenter, text);
      } else {
        painter.drawText(QRect(r.right() + 4, y - 8, scene.rightMargin - 4, 16),
                         Qt::AlignLeft | Qt::AlignVCenter, text);
      }
    }
  }
  painter.setClipRect(r);

  // The changes: the flights from the first shifted one to the confirming one shaded, a line
  // at the confirming one.
  for (const TrendChartMark& mark : model.marks) {
    if (mark.plot != plotIndex) continue;
    const int from = static_cast<int>(mark.from);
    const int confirmed = static_cast<int>(mark.confirmed);
    if (confirmed < first || from >= first + count) continue;
    const double x0 = XOf(std::max(from, first), r, first, count);
    const double x1 = XOf(std::min(confirmed, first + count - 1), r, first, count);
    painter.fillRect(QRectF(x0 - 1, r.top(), x1 - x0 + 2, r.height()), WithAlpha(kMark, 28));
    painter.setPen(QPen(kMark, 1, Qt::DashLine));
    painter.drawLine(QPointF(x1, r.top()), QPointF(x1, r.bottom()));
  }

  // Bands under the readings: each series' p10 to p90 shaded in its colour, its p50 a thin line.
  const bool smooth = buckets <= 400;
  painter.setRenderHint(QPainter::Antialiasing, smooth);
  QPolygonF upper;
  QPolygonF lower;
  QPolygonF line;
  for (std::size_t s = 0; s < plot.series.size(); ++s) {
    const TrendSeries& series = plot.series[s];
    const std::vector<Column>& columns = reduced_[s];
    const QColor color = SeriesColor(series.color);
    const auto flushBand = [&] {
      if (upper.size() > 0) {
        QPolygonF area = upper;
        for (auto it = lower.crbegin(); it != lower.crend(); ++it) area << *it;
        painter.setPen(Qt::NoPen);
        painter.setBrush(WithAlpha(color, 40));
        painter.drawPolygon(area);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(WithAlpha(color, 150), 1, Qt::DotLine));
        painter.drawPolyline(line);
      }
      upper.clear();
      lower.clear();
      line.clear();
    };
    for (int b = 0; b < buckets; ++b) {
      const Column& c = columns[static_cast<std::size_t>(b)];
      if (std::isnan(c.bandLow)) {
        flushBand();
        continue;
      }
      const double x = xOfBucket(b);
      // A lone column still shows as a short bar.
      const double half = upper.isEmpty() && (b + 1 == buckets || std::isnan(columns[static_cast<std::size_t>(b + 1)].bandLow))
                              ? 1.5
                              : 0.0;
      upper << QPointF(x - half, yOf(series.axis, c.bandHigh));
      lower << QPointF(x - half, yOf(series.axis, c.bandLow));
      line << QPointF(x - half, yOf(series.axis, c.p50));
      if (half > 0.0) {
        upper << QPointF(x + half, yOf(series.axis, c.bandHigh));
        lower << QPointF(x + half, yOf(series.axis, c.bandLow));
        line << QPointF(x + half, yOf(series.axis, c.p50));
      }
    }
    flushBand();
  }

  // The readings: a line through the flights, a dot on each while they are few, a column's
  // lowest to highest value as a bar when flights share a column.
  const bool dots = buckets == count && count <= 60;
  for (std::size_t s = 0; s < plot.series.size(); ++s) {
    const TrendSeries& series = plot.series[s];
    const std::vector<Column>& columns = reduced_[s];
    const QColor color = SeriesColor(series.color);
    painter.setPen(QPen(color, smooth ? 1.5 : 1.0, SeriesStyle(series.color)));
    line.clear();
    for (int b = 0; b < buckets; ++b) {
      const Column& c = columns[static_cast<std::size_t>(b)];
      if (std::isnan(c.low)) continue;  // a flight without the figure: joined across
      const double x = xOfBucket(b);
      if (c.high > c.low) {
        painter.drawLine(QPointF(x, yOf(series.axis, c.low)), QPointF(x, yOf(series.axis, c.high)));
      }
      line << QPointF(x, yOf(series.axis, (static_cast<double>(c.low) + c.high) / 2.0));
    }
    painter.drawPolyline(line);
    if (dots) {
      painter.setBrush(color);
      painter.setPen(Qt::NoPen);
      for (const QPointF& point : line) painter.drawEllipse(point, 2.5, 2.5);
      painter.setBrush(Qt::NoBrush);
    }
  }
  painter.setRenderHint(QPainter::Antialiasing, false);

  // The sentence of each change, beside its line, on a white ground so that it reads over the
  // series.
  int row = 0;
  for (const TrendChartMark& mark : model.marks) {
    const int confirmed = static_cast<int>(mark.confirmed);
    if (mark.plot != plotIndex || confirmed < first || confirmed >= first + count) continue;
    const int x = static_cast<int>(std::lround(XOf(confirmed, r, first, count)));
    const QString text = QString::fromStdString(mark.sentence);
    const int room = std::max(r.right() - x - 8, x - r.left() - 8);
    const QString shown = metrics.elidedText(text, Qt::ElideRight, room);
    const int width = metrics.horizontalAdvance(shown);
    const int left = r.right() - x - 8 >= width ? x + 4 : x - 4 - width;
    const int baseline = r.bottom() - 4 - row * (metrics.height() + 2);
    const QRect back(left - 2, baseline - metrics.ascent() - 1, width + 4, metrics.height() + 2);
    painter.fillRect(back, WithAlpha(Qt::white, 220));
    painter.setPen(kMark);
    painter.drawText(left, baseline, shown);
    ++row;
  }

  // The cursor of the flight under the mouse.
  if (scene.hover >= first && scene.hover < first + count) {
    const int x = static_cast<int>(std::lround(XOf(scene.hover, r, first, count)));
    painter.setPen(QColor(0, 0, 0, 140));
    painter.drawLine(x, r.top(), x, r.bottom());
  }
  painter.setClipping(false);

  // Frame and legend, as on the flight charts.
  painter.setPen(QColor(160, 160, 160));
  painter.drawRect(r.adjusted(0, 0, -1, -1));
  int x = r.left() + 6;
  const int y = r.top() + metrics.ascent() + 3;
  painter.setPen(Qt::black);
  if (!plot.heading.empty()) {
    const QString heading = QString::fromStdString(plot.heading);
    painter.drawText(x, y, heading);
    x += metrics.horizontalAdvance(heading + QLatin1Char(' ')) + 2;
  }
  for (const TrendSeries& series : plot.series) {
    const QString name = QString::fromStdString(series.label);
    painter.fillRect(QRect(x, y - metrics.ascent() + 2, 8, 8), SeriesColor(series.color));
    painter.drawText(x + 10, y, name);
    x += 18 + metrics.horizontalAdvance(name);
  }
  QString units = QString::fromStdString(plot.units[0]);
  if (!plot.units[1].empty()) units += QStringLiteral(" | ") + QString::fromStdString(plot.units[1]);
  painter.drawText(r.right() - metrics.horizontalAdvance(units) - 6, y, units);
  painter.restore();
}

}  // namespace ovixlog
