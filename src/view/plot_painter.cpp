#include "view/plot_painter.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <map>

#include "chart/series_raster.h"

namespace ovixlog {
namespace {

bool Contains(const std::vector<int>& channels, int channel) {
  return std::find(channels.begin(), channels.end(), channel) != channels.end();
}

}  // namespace

ValueScale NiceScale(double low, double high, int ticks) {
  if (!(high > low)) {
    low -= 1.0;
    high += 1.0;
  }
  const double raw = (high - low) / std::max(ticks, 1);
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  double step = power;
  for (double m : {1.0, 2.0, 5.0, 10.0}) {
    step = m * power;
    if (step >= raw)
      break;
  }
  return ValueScale{std::floor(low / step) * step, std::ceil(high / step) * step, step};
}

std::map<ChartUnit, ValueScale> UnitScales(const std::vector<int>& channels,
                                           const std::vector<ChartSeries::Envelope>& envelopes,
                                           const std::set<int>& hidden,
                                           const std::vector<ChartLimitLine>& limits, int height) {
  std::map<ChartUnit, std::pair<double, double>> ranges;
  for (size_t i = 0; i < channels.size(); ++i) {
    auto [it, fresh] = ranges.try_emplace(ChannelUnit(channels[i]), 1e30, -1e30);
    (void)fresh;
    if (hidden.count(channels[i]) != 0)
      continue;
    auto& [low, high] = it->second;
    for (const ChartSeries::Column& c : envelopes[i].columns) {
      if (c.first < 0)
        continue;
      low = std::min(low, static_cast<double>(c.min));
      high = std::max(high, static_cast<double>(c.max));
    }
  }
  for (const ChartLimitLine& limit : limits) {
    if (!Contains(channels, limit.channel))
      continue;
    auto found = ranges.find(ChannelUnit(limit.channel));
    if (found != ranges.end()) {
      found->second.first = std::min(found->second.first, limit.value);
      found->second.second = std::max(found->second.second, limit.value);
    }
  }
  std::map<ChartUnit, ValueScale> scales;
  for (auto& [unit, range] : ranges) {
    if (range.first > range.second)
      range = {0.0, 1.0};
    scales[unit] = NiceScale(range.first, range.second, std::max(height / 40, 2));
  }
  return scales;
}

namespace {

// Walks the `series`-th envelope as it is drawn, rows growing downwards so that a column's max
// is its top: each drawn column's range goes to `run(column, x, top, bottom, joined)`, and the
// joins to `join(x0, y0, x1, y1)`: a column to the previous one unless a break lies between
// them, and the edges before and after the view. `rowOf` gives a value's row.
template <typename RowOf, typename Join, typename Run>
void WalkEnvelope(const ChartSeries::Envelope& e, int series, RowOf rowOf, Join join, Run run) {
  double lastX = 0.0;
  double lastBottom = 0.0;
  double lastTop = 0.0;
  bool have = false;
  if (e.before.present) {
    lastX = e.before.x;
    lastBottom = lastTop = rowOf(e.before.value);
    have = true;
  }
  for (size_t c = 0; c < e.columns.size(); ++c) {
    const ChartSeries::Column& col = e.columns[c];
    if (col.first < 0)
      continue;
    const double x = static_cast<double>(c) + 0.5;
    const double top = rowOf(col.max);
    const double bottom = rowOf(col.min);
    const bool drawn = SeriesDrawsColumn(series, static_cast<int>(c));
    const bool joined = have && col.connected && drawn;
    if (joined) {
      if (lastBottom < top)
        join(lastX, lastBottom, x, top);
      else if (lastTop > bottom)
        join(lastX, lastTop, x, bottom);
      else
        join(lastX, (lastTop + lastBottom) / 2, x, (top + bottom) / 2);
    }
    if (drawn)
      run(c, x, top, bottom, joined);
    lastX = x;
    lastTop = top;
    lastBottom = bottom;
    have = true;
  }
  if (e.after.present && e.after.connected && have)
    join(lastX, (lastTop + lastBottom) / 2, e.after.x, rowOf(e.after.value));
}

}  // namespace

double ValueRow(const ValueScale& scale, double value, int rows) {
  return (scale.high - value) / (scale.high - scale.low) * (rows - 1);
}

QColor SeriesColor(int n) {
  // Nine colours that stay apart for the common kinds of colour blindness and on white, and
  // hold the same lightness so that none drowns the others at a full flight's view.
  static const QColor kColors[] = {
      QColor(51, 34, 136),  QColor(17, 119, 51),  QColor(204, 102, 119),
      QColor(136, 204, 238), QColor(153, 153, 51), QColor(170, 68, 153),
      QColor(68, 170, 153),  QColor(221, 204, 119), QColor(136, 34, 85)};
  return kColors[static_cast<size_t>(std::abs(n)) % (sizeof kColors / sizeof kColors[0])];
}

bool SeriesDrawsColumn(int n, int column) {
  switch (std::abs(n) / 3 % 3) {
    case 1:  // dashed: six on, three off
      return column % 9 < 6;
    case 2:  // dotted: two on, two off
      return column % 4 < 2;
    default:
      return true;
  }
}

PlotTextLayout::PlotTextLayout(const QRect& r, const QFontMetrics& metrics, int axes)
    : plot(r),
      ascent(metrics.ascent()),
      height(metrics.height()),
      insideAxes(std::max(axes, 0)),
      insideAxisWidth(metrics.horizontalAdvance(QStringLiteral("-00000")) + 6) {}

QRect PlotTextLayout::LegendBand() const {
  return QRect(plot.left(), plot.top(), plot.width(), height + 5);
}

QRect PlotTextLayout::UnitTextRect(int width) const {
  return QRect(plot.right() - width - 6, plot.top() + 3, width, height);
}

QRect PlotTextLayout::InsideAxisRect(int k, int y) const {
  const int right = plot.right() - 4 - k * insideAxisWidth;
  return QRect(right - insideAxisWidth, y - 8, insideAxisWidth, 16);
}

QRect PlotTextLayout::LimitLabelRect(int y, int width) const {
  const int right = insideAxes == 0 ? plot.right() - 4
                                    : InsideAxisRect(insideAxes - 1, y).left() - 3;
  const int bandBottom = LegendBand().bottom();
  int top = y - 2 - ascent;
  if (top <= bandBottom)
    top = y + 1;
  if (top <= bandBottom)
    top = bandBottom + 1;
  return QRect(right - width, top, width, height);
}

PlotPainter::~PlotPainter() = default;

int PlotPainter::DevicePixels(int logical, qreal ratio) {
  return std::max(static_cast<int>(std::lround(logical * ratio)), 1);
}

void PlotPainter::Paint(QPainter& painter, const QRect& r, const PlotScene& scene,
                        EngineModel model) {
  const std::vector<int> channels = Channels(model);
  const int columns = scene.columns;
  const TimeAxis& axis = scene.axis;
  const auto xFor = [&](int64_t t) { return axis.XForTime(t, r.left(), r.width()); };

  // What lies inside the frame is drawn into an image of the plot at device resolution: the
  // background with QPainter, then the series straight into its pixels. A vector picture gets
  // all of it as shapes instead, clipped to the plot.
  QImage& image = scene.scratch != nullptr ? *scene.scratch : ownImage_;
  QPainter rasterInside;
  if (scene.vector) {
    painter.save();
    painter.setClipRect(r);
  } else {
    const QSize deviceSize(columns, DevicePixels(r.height(), scene.ratio));
    if (image.size() != deviceSize || image.devicePixelRatio() != scene.ratio) {
      image = QImage(deviceSize, QImage::Format_RGB32);
      image.setDevicePixelRatio(scene.ratio);
    }
    rasterInside.begin(&image);
    rasterInside.translate(-r.topLeft());
  }
  QPainter& inside = scene.vector ? painter : rasterInside;
  inside.fillRect(r, Qt::white);

  // The shaded stretches first, under everything.
  if (scene.shaded != nullptr) {
    for (const ChartShadedRange& range : *scene.shaded) {
      const int x0 = std::max(xFor(range.startMs), r.left());
      const int x1 = std::min(xFor(range.endMs), r.right());
      if (x1 >= x0)
        inside.fillRect(QRect(x0, r.top(), x1 - x0 + 1, r.height()), range.color);
    }
  }

  inside.setPen(QColor(232, 232, 232));
  for (int64_t tick : scene.ticks) {
    const int x = xFor(tick);
    inside.drawLine(x, r.top() + 1, x, r.bottom() - 1);
  }

  // Every series' envelope, then the value range of each unit over what is shown.
  const ChartSeries& summary = *scene.summary;
  const ChartSeries::Plan plan = summary.PlanFor(axis.startMs(), axis.endMs(), columns);
  if (envelopes_.size() < channels.size())
    envelopes_.resize(channels.size());
  for (size_t i = 0; i < channels.size(); ++i) {
    summary.Fill(plan, channels[i], axis.startMs(), axis.endMs(), columns, scene.raw,
                 envelopes_[i]);
  }
  const bool readings = Adjust(channels, envelopes_);
  std::vector<ChartUnit> units;
  for (int channel : channels) {
    const ChartUnit unit = ChannelUnit(channel);
    if (std::find(units.begin(), units.end(), unit) == units.end())
      units.push_back(unit);
  }
  static const std::vector<ChartLimitLine> kNoLimits;
  // Limits are readings: they mean nothing on values relative to something else.
  const std::vector<ChartLimitLine>& limits =
      scene.limits != nullptr && readings ? *scene.limits : kNoLimits;
  std::map<ChartUnit, ValueScale> scales =
      UnitScales(channels, envelopes_, hidden_, limits, r.height());
  const auto rowFor = [&](ChartUnit unit, double value, int rows) {
    return ValueRow(scales[unit], value, rows);
  };
  const auto yFor = [&](ChartUnit unit, double value) {
    return r.top() + rowFor(unit, value, r.height());
  };

  // Grid and value axes, one per unit, so no series is read against another unit's numbers:
  // the first unit on the left, the second on the right, any further ones inside the plot's
  // right edge, each in the colour of its first series.
  painter.setFont(scene.font);
  inside.setFont(scene.font);
  const QFontMetrics metrics(scene.font);
  const auto unitColor = [&](size_t u) {
    for (size_t i = 0; i < channels.size(); ++i) {
      if (ChannelUnit(channels[i]) == units[u])
        return units.size() > 2 ? SeriesColor(static_cast<int>(i)) : QColor(Qt::black);
    }
    return QColor(Qt::black);
  };
  const PlotTextLayout layout(r, metrics, static_cast<int>(units.size()) - 2);
  for (size_t u = 0; u < units.size(); ++u) {
    const ValueScale& s = scales[units[u]];
    for (double v = s.low; v <= s.high + s.step / 2; v += s.step) {
      const int y = static_cast<int>(std::lround(yFor(units[u], v)));
      if (u == 0) {
        inside.setPen(QColor(232, 232, 232));
        inside.drawLine(r.left(), y, r.right(), y);
      }
      painter.setPen(unitColor(u));
      const QString text = QString::number(v, 'g', 6);
      if (u == 0) {
        painter.drawText(QRect(r.left() - scene.leftMargin, y - 8, scene.leftMargin - 4, 16),
                         Qt::AlignRight | Qt::AlignVCenter, text);
      } else if (u == 1) {
        painter.drawText(QRect(r.right() + 4, y - 8, scene.rightMargin - 4, 16),
                         Qt::AlignLeft | Qt::AlignVCenter, text);
      } else {
        inside.setPen(unitColor(u));
        inside.drawText(layout.InsideAxisRect(static_cast<int>(u - 2), y),
                        Qt::AlignRight | Qt::AlignVCenter, text);
      }
    }
  }

  // Limit lines.
  for (const ChartLimitLine& limit : limits) {
    if (!Contains(channels, limit.channel))
      continue;
    const int y = static_cast<int>(std::lround(yFor(ChannelUnit(limit.channel), limit.value)));
    inside.setPen(QPen(limit.color, 1, Qt::DashLine));
    inside.drawLine(r.left(), y, r.right(), y);
    if (!limit.label.isEmpty()) {
      const QRect box = layout.LimitLabelRect(y, metrics.horizontalAdvance(limit.label));
      inside.drawText(box.left(), box.top() + metrics.ascent(), limit.label);
    }
  }

  // The findings' spans along the foot, a bar each, at least a pixel wide.
  if (scene.marks != nullptr) {
    const int bar = std::clamp(r.height() / 25, 3, 6);
    for (const ChartSpanMark& mark : *scene.marks) {
      if (mark.channel >= 0 && !Contains(channels, mark.channel))
        continue;
      const int x0 = std::max(xFor(mark.startMs), r.left());
      const int x1 = std::min(xFor(mark.endMs), r.right());
      if (x1 >= x0)
        inside.fillRect(QRect(x0, r.bottom() - bar + 1, x1 - x0 + 1, bar), mark.color);
    }
  }
  if (scene.vector) {
    DrawSeriesShapes(painter, r, columns, channels,
                     [&](ChartUnit unit, double value) { return yFor(unit, value); });
    painter.restore();
  } else {
    rasterInside.end();

    // The series: one vertical run per column from min to max, joined to the previous column
    // unless a break lies between them. Rows grow downwards: a column's max is its top.
    const int rows = image.height();
    SeriesRaster raster(reinterpret_cast<uint32_t*>(image.bits()), image.width(), rows,
                        static_cast<int>(image.bytesPerLine() / 4));
    for (size_t i = 0; i < channels.size(); ++i) {
      if (hidden_.count(channels[i]) != 0)
        continue;
      const ChartSeries::Envelope& e = envelopes_[i];
      const ChartUnit unit = ChannelUnit(channels[i]);
      raster.SetColor(SeriesColor(static_cast<int>(i)).rgb());
      WalkEnvelope(
          e, static_cast<int>(i), [&](double value) { return rowFor(unit, value, rows); },
          [&](double x0, double y0, double x1, double y1) { raster.Line(x0, y0, x1, y1); },
          [&](size_t c, double, double top, double bottom, bool) {
            raster.Run(static_cast<int>(c), raster.Row(top), raster.Row(bottom));
          });
    }
    painter.drawImage(r.topLeft(), image);
  }

  // Frame and legend.
  painter.setPen(QColor(160, 160, 160));
  painter.drawRect(r.adjusted(0, 0, -1, -1));
  int x = r.left() + 6;
  const int y = r.top() + metrics.ascent() + 3;
  painter.setPen(Qt::black);
  const QString heading = Heading();
  if (!heading.isEmpty()) {
    painter.drawText(x, y, heading);
    x += metrics.horizontalAdvance(QStringLiteral("EGT ")) + 2;
  }
  // Each entry is a switch: a filled box for a shown series, a hollow one and grey text for a
  // hidden one.
  legendBoxes_.clear();
  for (size_t i = 0; i < channels.size(); ++i) {
    const QString name = LegendName(channels[i]);
    const bool shown = hidden_.count(channels[i]) == 0;
    const QRect box(x, y - metrics.ascent() + 2, 8, 8);
    if (shown) {
      painter.fillRect(box, SeriesColor(static_cast<int>(i)));
    } else {
      painter.fillRect(box, Qt::white);
      painter.setPen(SeriesColor(static_cast<int>(i)));
      painter.drawRect(box.adjusted(0, 0, -1, -1));
    }
    painter.setPen(shown ? QColor(Qt::black) : QColor(150, 150, 150));
    painter.drawText(x + 10, y, name);
    const int width = 10 + metrics.horizontalAdvance(name);
    legendBoxes_.emplace_back(channels[i],
                              QRect(x - 2, y - metrics.ascent() - 1, width + 4, metrics.height() + 2));
    x += width + 8;
  }
  const QString unitText = UnitText(units);
  if (!unitText.isEmpty()) {
    const QRect box = layout.UnitTextRect(metrics.horizontalAdvance(unitText));
    painter.drawText(box.left(), box.top() + metrics.ascent(), unitText);
  }
}

void PlotPainter::DrawSeriesShapes(QPainter& painter, const QRect& r, int columns,
                                   const std::vector<int>& channels,
                                   const std::function<double(ChartUnit, double)>& yFor) const {
  // The same strokes as the pixels the window draws, in the plot's own coordinates: each
  // column's range, joined to the previous column's unless a break lies between them.
  const double columnWidth = static_cast<double>(r.width()) / std::max(columns, 1);
  const auto xAt = [&](double column) { return r.left() + column * columnWidth; };
  for (size_t i = 0; i < channels.size(); ++i) {
    if (hidden_.count(channels[i]) != 0)
      continue;
    const ChartSeries::Envelope& e = envelopes_[i];
    const ChartUnit unit = ChannelUnit(channels[i]);
    QPainterPath path;
    const auto stroke = [&](double x0, double y0, double x1, double y1) {
      const QPointF from(xAt(x0), y0);
      if (path.elementCount() == 0 || path.currentPosition() != from)
        path.moveTo(from);
      path.lineTo(xAt(x1), y1);
    };
    WalkEnvelope(
        e, static_cast<int>(i), [&](double value) { return yFor(unit, value); }, stroke,
        [&](size_t, double x, double top, double bottom, bool joined) {
          // A lone reading still shows, as a short upright stroke.
          if (bottom > top || !joined)
            stroke(x, top, x, std::max(bottom, top + 0.5));
        });
    QPen pen(SeriesColor(static_cast<int>(i)), 1.0);
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
  }
}

void PlotPainter::ToggleHidden(int channel) {
  if (hidden_.erase(channel) == 0)
    hidden_.insert(channel);
}

void PlotPainter::Solo(int channel, const std::vector<int>& all) {
  hidden_.clear();
  for (int other : all) {
    if (other != channel)
      hidden_.insert(other);
  }
}

int PlotPainter::LegendChannelAt(QPoint point) const {
  for (const auto& [channel, box] : legendBoxes_) {
    if (box.contains(point))
      return channel;
  }
  return -1;
}

QRect PlotPainter::LegendBoxOf(int channel) const {
  for (const auto& [shown, box] : legendBoxes_) {
    if (shown == channel)
      return box;
  }
  return QRect();
}

bool PlotPainter::Adjust(const std::vector<int>& channels,
                         std::vector<ChartSeries::Envelope>& envelopes) const {
  (void)channels;
  (void)envelopes;
  return true;
}

// ----- Cylinder temperatures -----

CylinderPlotPainter::CylinderPlotPainter(int firstChannel, QString heading)
    : firstChannel_(firstChannel), heading_(std::move(heading)) {}

std::vector<int> CylinderPlotPainter::Channels(EngineModel model) const {
  return firstChannel_ == kChannelEgt1 ? EgtChannels(model) : ChtChannels(model);
}

QString CylinderPlotPainter::LegendName(int channel) const {
  return QString::number(channel - firstChannel_ + 1);
}

QString CylinderPlotPainter::UnitText(const std::vector<ChartUnit>& units) const {
  if (units.empty())
    return QString();
  switch (relative_) {
    case Relative::kMean:
      return QStringLiteral("F from the mean");
    case Relative::kReference:
      return QStringLiteral("F from the mark");
    case Relative::kNone:
      break;
  }
  return QStringLiteral("F");
}

bool CylinderPlotPainter::Adjust(const std::vector<int>& channels,
                                 std::vector<ChartSeries::Envelope>& envelopes) const {
  const size_t count = channels.size();
  if (relative_ == Relative::kNone || count == 0)
    return true;
  if (relative_ == Relative::kReference) {
    for (size_t i = 0; i < count; ++i) {
      const auto slot = static_cast<size_t>(channels[i]);
      const float base = slot < reference_.size() ? reference_[slot] : 0.0f;
      ChartSeries::Envelope& e = envelopes[i];
      for (ChartSeries::Column& c : e.columns) {
        c.min -= base;
        c.max -= base;
      }
      e.before.value -= base;
      e.after.value -= base;
    }
    return false;
  }
  // Normalised: each column's cylinders less their mean there (the middle of each one's range
  // in the column, which is its value where a column holds one sample).
  const size_t columns = envelopes[0].columns.size();
  for (size_t c = 0; c < columns; ++c) {
    double sum = 0.0;
    int n = 0;
    for (size_t i = 0; i < count; ++i) {
      const ChartSeries::Column& col = envelopes[i].columns[c];
      if (col.first >= 0) {
        sum += (static_cast<double>(col.min) + col.max) / 2.0;
        ++n;
      }
    }
    if (n == 0)
      continue;
    const auto mean = static_cast<float>(sum / n);
    for (size_t i = 0; i < count; ++i) {
      envelopes[i].columns[c].min -= mean;
      envelopes[i].columns[c].max -= mean;
    }
  }
  for (ChartSeries::Edge ChartSeries::Envelope::*edge :
       {&ChartSeries::Envelope::before, &ChartSeries::Envelope::after}) {
    double sum = 0.0;
    int n = 0;
    for (size_t i = 0; i < count; ++i) {
      if ((envelopes[i].*edge).present) {
        sum += static_cast<double>((envelopes[i].*edge).value);
        ++n;
      }
    }
    for (size_t i = 0; i < count && n > 0; ++i)
      (envelopes[i].*edge).value -= static_cast<float>(sum / n);
  }
  return false;
}

// ----- Chosen columns -----

std::vector<int> ColumnsPlotPainter::Channels(EngineModel model) const {
  std::vector<int> shown;
  const std::vector<int> carried = OtherChannels(model);
  for (int channel : choice_) {
    if (Contains(carried, channel))
      shown.push_back(channel);
  }
  return shown;
}

QString ColumnsPlotPainter::LegendName(int channel) const {
  return QString::fromLatin1(ChannelTitle(channel));
}

QString ColumnsPlotPainter::UnitText(const std::vector<ChartUnit>& units) const {
  return UnitsText(units);
}

QString UnitsText(const std::vector<ChartUnit>& units) {
  QStringList names;
  for (ChartUnit unit : units)
    names << QString::fromLatin1(UnitName(unit));
  return names.join(QStringLiteral(" | "));
}

}  // namespace ovixlog
