#include "view/chart_view.h"

#include <QElapsedTimer>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <map>

#include "document/ovixlog_doc.h"
#include "trend/series_raster.h"
#include "view/document_signals.h"

namespace ovixlog {
namespace {

constexpr int kStripHeight = 26;  // the buttons above the plots
constexpr int kLeftMargin = 58;
constexpr int kRightMargin = 58;
constexpr int kAxisHeight = 34;
constexpr int kPlotGap = 6;
constexpr int kCatchUpChunk = 4096;
constexpr int kWheelNotch = 120;
constexpr int kDragThreshold = 4;

constexpr int kTickSteps[] = {1,   2,    5,    10,   15,    30,    60,    120,   300,   600,
                              900, 1800, 3600, 7200, 10800, 21600, 43200, 86400, 172800};

QString Clock(int64_t seconds) {
  const int64_t s = std::max<int64_t>(seconds, 0);
  return QStringLiteral("%1:%2:%3")
      .arg(s / 3600, 2, 10, QLatin1Char('0'))
      .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
      .arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString ValueText(int channel, float value) {
  const TrendUnit unit = ChannelUnit(channel);
  if (unit == TrendUnit::kVolts || unit == TrendUnit::kFlow || unit == TrendUnit::kFuel)
    return QString::number(static_cast<double>(value), 'f', 1);
  return QString::number(static_cast<double>(value), 'f', 0);
}

// A rounded value axis over [low, high]: about `ticks` steps of 1, 2 or 5 times a power of ten.
struct Scale {
  double low = 0.0;
  double high = 1.0;
  double step = 1.0;
};
Scale NiceScale(double low, double high, int ticks) {
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
  return Scale{std::floor(low / step) * step, std::ceil(high / step) * step, step};
}

}  // namespace

ChartView::ChartView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setMinimumSize(320, 240);
  otherChoice_ = {kChannelTach, kChannelFlow};

  followButton_ = new QToolButton(this);
  followButton_->setText(QStringLiteral("Follow"));
  followButton_->setCheckable(true);
  followButton_->setChecked(true);
  followButton_->setToolTip(QStringLiteral("Keep the newest sample at the right edge"));
  connect(followButton_, &QToolButton::clicked, this, [this](bool on) { SetFollowing(on); });

  seriesButton_ = new QToolButton(this);
  seriesButton_->setText(QStringLiteral("Series"));
  seriesButton_->setToolTip(QStringLiteral("The columns drawn in the lowest plot"));
  seriesButton_->setPopupMode(QToolButton::InstantPopup);
  seriesMenu_ = new QMenu(seriesButton_);
  seriesButton_->setMenu(seriesMenu_);
  RebuildSeriesMenu();
}

ChartView::~ChartView() = default;

void ChartView::SetDocument(COvixLogDoc* document, DocumentSignals* adapter) {
  if (adapter_ != nullptr)
    disconnect(adapter_, nullptr, this, nullptr);
  adapter_ = adapter;
  document_ = document;
  summary_.Clear();
  known_ = 0;
  cursorSample_ = -1;
  if (document_ == nullptr) {
    update();
    return;
  }
  model_ = document_->model.load();
  if (adapter_ != nullptr) {
    connect(adapter_, &DocumentSignals::contentsReset, this, &ChartView::OnContentsReset);
    connect(adapter_, &DocumentSignals::settingsChanged, this, &ChartView::OnSettingsChanged);
    connect(adapter_, &DocumentSignals::samplesAppended, this, &ChartView::OnSamplesAppended);
    connect(adapter_, &DocumentSignals::documentChanged, this, [this] { update(); });
  }
  RebuildSeriesMenu();
  CatchUp();
  FitAll();
}

void ChartView::OnContentsReset() {
  summary_.Clear();
  known_ = 0;
  cursorSample_ = -1;
  FitAll();
}

void ChartView::OnSettingsChanged() {
  if (document_ == nullptr)
    return;
  if (document_->model.load() != model_) {
    model_ = document_->model.load();
    RebuildSeriesMenu();
  }
  update();
}

void ChartView::OnSamplesAppended(int first, int count) {
  (void)first;
  (void)count;
  CatchUp();
  ApplyFollowing();
}

void ChartView::CatchUp() {
  if (document_ == nullptr)
    return;
  // In bounded chunks: each fetch holds the store's lock only for one chunk of addresses.
  std::vector<const EngineSample*> chunk;
  while (document_->GetSamples(known_, kCatchUpChunk, chunk) > 0) {
    for (const EngineSample* sample : chunk)
      summary_.Append(*sample);
    known_ += static_cast<int>(chunk.size());
  }
}

int64_t ChartView::FlightEndMs() const {
  return summary_.LastTimeMs();
}

void ChartView::ApplyFollowing() {
  if (!following_) {
    update();
    return;
  }
  const int64_t end = std::max(FlightEndMs(), int64_t{1000});
  if (fitAll_) {
    SetView(0, end, false);
  } else {
    const int64_t span = viewEndMs_ - viewStartMs_;
    SetView(end - span, end, false);
  }
}

void ChartView::FitAll() {
  fitAll_ = true;
  following_ = true;
  followButton_->setChecked(true);
  emit followingChanged(true);
  ApplyFollowing();
}

void ChartView::FitRange(int64_t startMs, int64_t endMs) {
  SetView(startMs, endMs, true);
}

void ChartView::SetFollowing(bool follow) {
  following_ = follow;
  followButton_->setChecked(follow);
  emit followingChanged(follow);
  if (follow)
    ApplyFollowing();
}

void ChartView::SetView(int64_t startMs, int64_t endMs, bool byUser) {
  if (endMs - startMs < kMinSpanMs) {
    const int64_t middle = (startMs + endMs) / 2;
    startMs = middle - kMinSpanMs / 2;
    endMs = startMs + kMinSpanMs;
  }
  if (byUser && following_) {
    following_ = false;
    fitAll_ = false;
    followButton_->setChecked(false);
    emit followingChanged(false);
  }
  const bool changed = startMs != viewStartMs_ || endMs != viewEndMs_;
  viewStartMs_ = startMs;
  viewEndMs_ = endMs;
  if (changed)
    emit viewChanged(startMs, endMs);
  update();
}

void ChartView::ZoomAround(int64_t timeMs, double factor) {
  const double start =
      static_cast<double>(timeMs) - static_cast<double>(timeMs - viewStartMs_) * factor;
  const double end =
      static_cast<double>(timeMs) + static_cast<double>(viewEndMs_ - timeMs) * factor;
  SetView(std::llround(start), std::llround(end), true);
}

void ChartView::SetCursorTime(int64_t timeMs) {
  SetCursorSample(summary_.Nearest(timeMs));
}

void ChartView::SetCursorSample(int index) {
  const int wanted = index >= 0 && index < summary_.size() ? index : -1;
  if (wanted == cursorSample_)
    return;
  cursorSample_ = wanted;
  update();
}

void ChartView::SetLimitLines(std::vector<LimitLine> lines) {
  limits_ = std::move(lines);
  update();
}

void ChartView::SetShadedRanges(std::vector<ShadedRange> ranges) {
  shaded_ = std::move(ranges);
  update();
}

void ChartView::SetOtherChannels(std::vector<int> channels) {
  otherChoice_ = std::move(channels);
  RebuildSeriesMenu();
  update();
}

std::vector<int> ChartView::PlotChannels(int plot) const {
  switch (plot) {
    case kEgtPlot:
      return EgtChannels(model_);
    case kChtPlot:
      return ChtChannels(model_);
    default: {
      std::vector<int> shown;
      const std::vector<int> carried = OtherChannels(model_);
      for (int channel : otherChoice_) {
        if (std::find(carried.begin(), carried.end(), channel) != carried.end())
          shown.push_back(channel);
      }
      return shown;
    }
  }
}

void ChartView::RebuildSeriesMenu() {
  seriesMenu_->clear();
  for (int channel : OtherChannels(model_)) {
    QAction* action = seriesMenu_->addAction(QString::fromLatin1(ChannelTitle(channel)));
    action->setCheckable(true);
    action->setChecked(std::find(otherChoice_.begin(), otherChoice_.end(), channel) !=
                       otherChoice_.end());
    connect(action, &QAction::toggled, this, [this, channel](bool on) {
      std::vector<int> choice = otherChoice_;
      choice.erase(std::remove(choice.begin(), choice.end(), channel), choice.end());
      if (on)
        choice.push_back(channel);
      otherChoice_ = std::move(choice);
      update();
    });
  }
}

// ----- Geometry -----

QRect ChartView::PlotRect(int plot) const {
  const int top = kStripHeight;
  const int available = std::max(height() - top - kAxisHeight - kPlotGap * (kPlotCount - 1), 30);
  const int each = available / kPlotCount;
  const int width = std::max(this->width() - kLeftMargin - kRightMargin, 10);
  return QRect(kLeftMargin, top + plot * (each + kPlotGap), width, each);
}

int ChartView::XForTime(int64_t timeMs) const {
  const QRect r = PlotRect(0);
  const double span = static_cast<double>(std::max<int64_t>(viewEndMs_ - viewStartMs_, 1));
  return r.left() + static_cast<int>(
                        std::floor(static_cast<double>(timeMs - viewStartMs_) * r.width() / span));
}

int64_t ChartView::TimeAtX(int x) const {
  const QRect r = PlotRect(0);
  const double span = static_cast<double>(viewEndMs_ - viewStartMs_);
  return viewStartMs_ + std::llround((static_cast<double>(x - r.left()) + 0.5) * span / r.width());
}

int ChartView::PlotAt(QPoint point) const {
  for (int plot = 0; plot < kPlotCount; ++plot) {
    const QRect r = PlotRect(plot);
    if (point.y() >= r.top() && point.y() <= r.bottom() && point.x() >= r.left() &&
        point.x() <= r.right())
      return plot;
  }
  return -1;
}

QColor ChartView::SeriesColor(int n) {
  static const QColor kColors[] = {
      QColor(31, 119, 180),  QColor(255, 127, 14),  QColor(44, 160, 44),
      QColor(214, 39, 40),   QColor(148, 103, 189), QColor(140, 86, 75),
      QColor(227, 119, 194), QColor(127, 127, 127), QColor(188, 189, 34)};
  return kColors[static_cast<size_t>(std::abs(n)) % (sizeof kColors / sizeof kColors[0])];
}

// ----- Painting -----

const EngineSample* ChartView::RawSample(int index) {
  if (index >= rawFirst_ && index < rawFirst_ + static_cast<int>(raw_.size()))
    return raw_[static_cast<size_t>(index - rawFirst_)];
  if (document_ == nullptr)
    return nullptr;
  std::vector<const EngineSample*> one;
  return document_->GetSamples(index, 1, one) == 1 ? one.front() : nullptr;
}

void ChartView::paintEvent(QPaintEvent* event) {
  (void)event;
  QPainter painter(this);
  Render(painter);
}

void ChartView::Render(QPainter& painter) {
  QElapsedTimer timer;
  timer.start();
  ++paintCount_;
  paintRatio_ = painter.device() != nullptr ? painter.device()->devicePixelRatio() : 1.0;
  painter.fillRect(rect(), palette().window());
  raw_.clear();
  rawFirst_ = 0;
  if (document_ != nullptr) {
    const TrendSummary::Plan plan = summary_.PlanFor(viewStartMs_, viewEndMs_, EnvelopeColumns());
    if (plan.level == 0 && plan.rawEnd > plan.rawFirst) {
      rawFirst_ = plan.rawFirst;
      document_->GetSamples(plan.rawFirst, plan.rawEnd - plan.rawFirst, raw_);
    }
  }
  for (int plot = 0; plot < kPlotCount; ++plot)
    DrawPlot(painter, plot);
  DrawTimeAxis(painter);
  DrawCursor(painter);
  if (drag_ == Drag::kBand) {
    const int left = std::min(pressPoint_.x(), dragPoint_.x());
    const int right = std::max(pressPoint_.x(), dragPoint_.x());
    const QRect all = PlotRect(0).united(PlotRect(kPlotCount - 1));
    painter.fillRect(QRect(left, all.top(), right - left, all.height()), QColor(0, 90, 200, 50));
    painter.setPen(QColor(0, 90, 200));
    painter.drawRect(QRect(left, all.top(), right - left, all.height()));
  }
  // The envelope reads these only within this paint; a later reset may free them.
  raw_.clear();
  lastPaintNs_ = timer.nsecsElapsed();
}

int ChartView::DevicePixels(int logical) const {
  return std::max(static_cast<int>(std::lround(logical * paintRatio_)), 1);
}

int ChartView::EnvelopeColumns() const { return DevicePixels(PlotRect(0).width()); }

void ChartView::DrawPlot(QPainter& painter, int plot) {
  const QRect r = PlotRect(plot);
  const std::vector<int> channels = PlotChannels(plot);
  const int columns = EnvelopeColumns();

  // What lies inside the frame is drawn into an image of the plot at device resolution: the
  // background with QPainter, then the series straight into its pixels.
  const QSize deviceSize(columns, DevicePixels(r.height()));
  if (plotImage_.size() != deviceSize || plotImage_.devicePixelRatio() != paintRatio_) {
    plotImage_ = QImage(deviceSize, QImage::Format_RGB32);
    plotImage_.setDevicePixelRatio(paintRatio_);
  }
  QPainter inside(&plotImage_);
  inside.translate(-r.topLeft());
  inside.fillRect(r, Qt::white);

  // The shaded stretches first, under everything.
  for (const ShadedRange& range : shaded_) {
    const int x0 = std::max(XForTime(range.startMs), r.left());
    const int x1 = std::min(XForTime(range.endMs), r.right());
    if (x1 >= x0)
      inside.fillRect(QRect(x0, r.top(), x1 - x0 + 1, r.height()), range.color);
  }

  inside.setPen(QColor(232, 232, 232));
  for (int64_t tick : TimeTicks(nullptr)) {
    const int x = XForTime(tick);
    inside.drawLine(x, r.top() + 1, x, r.bottom() - 1);
  }

  // Every series' envelope, then the value range of each unit over what is shown.
  const TrendSummary::Plan plan = summary_.PlanFor(viewStartMs_, viewEndMs_, columns);
  const TrendSummary::RawAccess raw = [this](int index) { return RawSample(index); };
  if (envelopes_.size() < channels.size())
    envelopes_.resize(channels.size());
  std::vector<TrendUnit> units;
  std::map<TrendUnit, std::pair<double, double>> ranges;
  for (size_t i = 0; i < channels.size(); ++i) {
    summary_.Fill(plan, channels[i], viewStartMs_, viewEndMs_, columns, raw, envelopes_[i]);
    const TrendUnit unit = ChannelUnit(channels[i]);
    if (std::find(units.begin(), units.end(), unit) == units.end())
      units.push_back(unit);
    auto [it, fresh] = ranges.try_emplace(unit, 1e30, -1e30);
    auto& [low, high] = it->second;
    for (const TrendSummary::Column& c : envelopes_[i].columns) {
      if (c.first < 0)
        continue;
      low = std::min(low, static_cast<double>(c.min));
      high = std::max(high, static_cast<double>(c.max));
    }
    (void)fresh;
  }
  for (const LimitLine& limit : limits_) {
    if (std::find(channels.begin(), channels.end(), limit.channel) == channels.end())
      continue;
    auto found = ranges.find(ChannelUnit(limit.channel));
    if (found != ranges.end()) {
      found->second.first = std::min(found->second.first, limit.value);
      found->second.second = std::max(found->second.second, limit.value);
    }
  }
  std::map<TrendUnit, Scale> scales;
  for (auto& [unit, range] : ranges) {
    if (range.first > range.second)
      range = {0.0, 1.0};
    scales[unit] = NiceScale(range.first, range.second, std::max(r.height() / 40, 2));
  }
  // A value's height in the plot's own rows from its top: 0 at the scale's high end, the last
  // row at its low end.
  const auto rowFor = [&](TrendUnit unit, double value, int rows) {
    const Scale& s = scales[unit];
    return (s.high - value) / (s.high - s.low) * (rows - 1);
  };
  const auto yFor = [&](TrendUnit unit, double value) {
    return r.top() + rowFor(unit, value, r.height());
  };

  // Grid and value axes: the first unit on the left, the second on the right.
  QFont small = font();
  small.setPointSizeF(std::max(small.pointSizeF() - 1.0, 6.0));
  painter.setFont(small);
  inside.setFont(small);
  const QFontMetrics metrics(small);
  for (size_t u = 0; u < units.size() && u < 2; ++u) {
    const Scale& s = scales[units[u]];
    for (double v = s.low; v <= s.high + s.step / 2; v += s.step) {
      const int y = static_cast<int>(std::lround(yFor(units[u], v)));
      if (u == 0) {
        inside.setPen(QColor(232, 232, 232));
        inside.drawLine(r.left(), y, r.right(), y);
      }
      painter.setPen(Qt::black);
      const QString text = QString::number(v, 'g', 6);
      if (u == 0) {
        painter.drawText(QRect(0, y - 8, kLeftMargin - 4, 16), Qt::AlignRight | Qt::AlignVCenter,
                         text);
      } else {
        painter.drawText(QRect(r.right() + 4, y - 8, kRightMargin - 4, 16),
                         Qt::AlignLeft | Qt::AlignVCenter, text);
      }
    }
  }

  // Limit lines.
  for (const LimitLine& limit : limits_) {
    if (std::find(channels.begin(), channels.end(), limit.channel) == channels.end())
      continue;
    const int y = static_cast<int>(std::lround(yFor(ChannelUnit(limit.channel), limit.value)));
    inside.setPen(QPen(limit.color, 1, Qt::DashLine));
    inside.drawLine(r.left(), y, r.right(), y);
    if (!limit.label.isEmpty()) {
      inside.drawText(r.right() - metrics.horizontalAdvance(limit.label) - 4, y - 2, limit.label);
    }
  }
  inside.end();

  // The series: one vertical run per column from min to max, joined to the previous column
  // unless a break lies between them. Rows grow downwards: a column's max is its top.
  const int rows = plotImage_.height();
  SeriesRaster raster(reinterpret_cast<uint32_t*>(plotImage_.bits()), plotImage_.width(), rows,
                      static_cast<int>(plotImage_.bytesPerLine() / 4));
  for (size_t i = 0; i < channels.size(); ++i) {
    const TrendSummary::Envelope& e = envelopes_[i];
    const TrendUnit unit = ChannelUnit(channels[i]);
    raster.SetColor(SeriesColor(static_cast<int>(i)).rgb());
    double lastX = 0.0;
    double lastBottom = 0.0;
    double lastTop = 0.0;
    bool have = false;
    if (e.before.present) {
      lastX = e.before.x;
      lastBottom = lastTop = rowFor(unit, e.before.value, rows);
      have = true;
    }
    for (size_t c = 0; c < e.columns.size(); ++c) {
      const TrendSummary::Column& col = e.columns[c];
      if (col.first < 0)
        continue;
      const double x = static_cast<double>(c) + 0.5;
      const double top = rowFor(unit, col.max, rows);
      const double bottom = rowFor(unit, col.min, rows);
      if (have && col.connected) {
        if (lastBottom < top)
          raster.Line(lastX, lastBottom, x, top);
        else if (lastTop > bottom)
          raster.Line(lastX, lastTop, x, bottom);
        else
          raster.Line(lastX, (lastTop + lastBottom) / 2, x, (top + bottom) / 2);
      }
      raster.Run(static_cast<int>(c), raster.Row(top), raster.Row(bottom));
      lastX = x;
      lastTop = top;
      lastBottom = bottom;
      have = true;
    }
    if (e.after.present && e.after.connected && have)
      raster.Line(lastX, (lastTop + lastBottom) / 2, e.after.x, rowFor(unit, e.after.value, rows));
  }
  painter.drawImage(r.topLeft(), plotImage_);

  // Frame and legend.
  painter.setPen(QColor(160, 160, 160));
  painter.drawRect(r.adjusted(0, 0, -1, -1));
  static const char* const kNames[] = {"EGT", "CHT", ""};
  int x = r.left() + 6;
  const int y = r.top() + metrics.ascent() + 3;
  painter.setPen(Qt::black);
  if (plot != kOtherPlot) {
    painter.drawText(x, y, QString::fromLatin1(kNames[plot]));
    x += metrics.horizontalAdvance(QStringLiteral("EGT ")) + 2;
  }
  for (size_t i = 0; i < channels.size(); ++i) {
    const QString name =
        plot == kOtherPlot
            ? QString::fromLatin1(ChannelTitle(channels[i]))
            : QString::number(channels[i] - (plot == kEgtPlot ? kChannelEgt1 : kChannelCht1) + 1);
    painter.fillRect(QRect(x, y - metrics.ascent() + 2, 8, 8), SeriesColor(static_cast<int>(i)));
    painter.setPen(Qt::black);
    painter.drawText(x + 10, y, name);
    x += 10 + metrics.horizontalAdvance(name) + 8;
  }
  if (plot == kOtherPlot && !units.empty()) {
    QString unitText = QString::fromLatin1(UnitName(units[0]));
    if (units.size() > 1)
      unitText += QStringLiteral(" | ") + QString::fromLatin1(UnitName(units[1]));
    painter.drawText(r.right() - metrics.horizontalAdvance(unitText) - 6, y, unitText);
  } else if (!units.empty()) {
    painter.drawText(r.right() - metrics.horizontalAdvance(QStringLiteral("F")) - 6, y,
                     QStringLiteral("F"));
  }
}

std::vector<int64_t> ChartView::TimeTicks(int64_t* stepMsOut) const {
  const QRect r = PlotRect(0);
  const int64_t span = std::max<int64_t>(viewEndMs_ - viewStartMs_, 1);
  int64_t stepS = kTickSteps[sizeof kTickSteps / sizeof kTickSteps[0] - 1];
  for (int s : kTickSteps) {
    if (static_cast<double>(s) * 1000.0 * r.width() / static_cast<double>(span) >= 90.0) {
      stepS = s;
      break;
    }
  }
  const int64_t stepMs = stepS * 1000;
  if (stepMsOut != nullptr)
    *stepMsOut = stepMs;
  std::vector<int64_t> ticks;
  for (int64_t tick = std::max<int64_t>((viewStartMs_ + stepMs - 1) / stepMs, 0) * stepMs;
       tick <= viewEndMs_; tick += stepMs) {
    const int x = XForTime(tick);
    if (x >= r.left() && x <= r.right())
      ticks.push_back(tick);
  }
  return ticks;
}

void ChartView::DrawTimeAxis(QPainter& painter) {
  const QRect last = PlotRect(kPlotCount - 1);
  const int top = last.bottom() + 2;
  const bool localKnown = LocalTimeKnown();
  QFont small = font();
  small.setPointSizeF(std::max(small.pointSizeF() - 1.0, 6.0));
  painter.setFont(small);
  const QFontMetrics metrics(small);
  for (int64_t tick : TimeTicks(nullptr)) {
    const int x = XForTime(tick);
    painter.setPen(Qt::black);
    painter.drawLine(x, top, x, top + 3);
    const QString elapsed = Clock(tick / 1000);
    painter.drawText(x - metrics.horizontalAdvance(elapsed) / 2, top + 4 + metrics.ascent(),
                     elapsed);
    // The PC's clock where the nearest sample carries it.
    const int nearest = localKnown ? summary_.Nearest(tick) : -1;
    const EngineSample* sample = nearest >= 0 ? RawSample(nearest) : nullptr;
    if (sample != nullptr && sample->localTime.year != 0) {
      const LocalTime& lt = sample->localTime;
      const int64_t seconds = (lt.hour * 3600 + lt.minute * 60 + lt.second) * int64_t{1000} +
                              lt.milliseconds + (tick - summary_.TimeMs(nearest));
      const int64_t day = 86400 * int64_t{1000};
      const QString local = Clock(((seconds % day) + day) % day / 1000);
      painter.setPen(QColor(90, 90, 90));
      painter.drawText(x - metrics.horizontalAdvance(local) / 2,
                       top + 4 + metrics.ascent() + metrics.height(), local);
    }
  }
}

bool ChartView::LocalTimeKnown() {
  if (summary_.size() < 2)
    return false;
  const EngineSample* first = RawSample(0);
  const EngineSample* last = RawSample(summary_.size() - 1);
  if (first == nullptr || last == nullptr || first->localTime.year == 0 ||
      last->localTime.year == 0)
    return false;
  // An import stamps every sample with the moment it was read, so its PC times stand still
  // while the stamps move on: only a clock that kept pace with the stamps was the flight's.
  const auto dayMs = [](const LocalTime& t) {
    return ((t.day * int64_t{24} + t.hour) * 60 + t.minute) * 60000 + t.second * 1000 +
           t.milliseconds;
  };
  const int64_t clock = dayMs(last->localTime) - dayMs(first->localTime);
  const int64_t stamps = summary_.LastTimeMs();
  return std::llabs(clock - stamps) <= 2000 + stamps / 10;
}

void ChartView::DrawCursor(QPainter& painter) {
  if (cursorSample_ < 0 || cursorSample_ >= summary_.size())
    return;
  const int64_t t = summary_.TimeMs(cursorSample_);
  const int x = XForTime(t);
  const QRect first = PlotRect(0);
  if (x < first.left() || x > first.right())
    return;
  const EngineSample* sample = RawSample(cursorSample_);
  QFont small = font();
  small.setPointSizeF(std::max(small.pointSizeF() - 1.0, 6.0));
  painter.setFont(small);
  const QFontMetrics metrics(small);
  for (int plot = 0; plot < kPlotCount; ++plot) {
    const QRect r = PlotRect(plot);
    painter.setPen(QPen(QColor(0, 0, 0, 160), 1));
    painter.drawLine(x, r.top(), x, r.bottom());
    if (sample == nullptr)
      continue;
    // The value box: the time on top, then each series' value in its colour.
    const std::vector<int> channels = PlotChannels(plot);
    QStringList lines;
    lines << Clock(t / 1000);
    int width = metrics.horizontalAdvance(lines.front());
    for (int channel : channels) {
      const QString line = QString::fromLatin1(ChannelTitle(channel)) + QLatin1Char(' ') +
                           ValueText(channel, ChannelValue(*sample, channel));
      width = std::max(width, metrics.horizontalAdvance(line));
      lines << line;
    }
    const int height =
        std::min(static_cast<int>(lines.size()) * metrics.height() + 4, r.height() - 4);
    QRect box(x + 8, r.top() + 18, width + 10, height);
    if (box.right() > r.right())
      box.moveRight(x - 8);
    painter.fillRect(box, QColor(255, 255, 255, 225));
    painter.setPen(QColor(120, 120, 120));
    painter.drawRect(box);
    int y = box.top() + 2 + metrics.ascent();
    for (qsizetype i = 0; i < lines.size() && y < box.bottom(); ++i) {
      painter.setPen(i == 0 ? QColor(Qt::black) : SeriesColor(static_cast<int>(i - 1)));
      painter.drawText(box.left() + 5, y, lines[i]);
      y += metrics.height();
    }
  }
}

// ----- Input -----

void ChartView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int h = kStripHeight - 4;
  followButton_->setGeometry(kLeftMargin, 2, 64, h);
  seriesButton_->setGeometry(kLeftMargin + 68, 2, 72, h);
}

void ChartView::mousePressEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (PlotAt(p) < 0) {
    QWidget::mousePressEvent(event);
    return;
  }
  setFocus(Qt::MouseFocusReason);
  drag_ = Drag::kPending;
  pressPoint_ = dragPoint_ = p;
  pressStartMs_ = viewStartMs_;
  pressEndMs_ = viewEndMs_;
  bandGesture_ =
      event->button() == Qt::RightButton || (event->modifiers() & Qt::ShiftModifier) != 0;
  event->accept();
}

void ChartView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (drag_ == Drag::kPending && (p - pressPoint_).manhattanLength() >= kDragThreshold)
    drag_ = bandGesture_ ? Drag::kBand : Drag::kPan;
  if (drag_ == Drag::kPan) {
    const double msPerPixel =
        static_cast<double>(pressEndMs_ - pressStartMs_) / PlotRect(0).width();
    const int64_t shift = std::llround((p.x() - pressPoint_.x()) * msPerPixel);
    SetView(pressStartMs_ - shift, pressEndMs_ - shift, true);
  } else if (drag_ == Drag::kBand) {
    dragPoint_ = p;
    update();
  } else if (PlotAt(p) >= 0) {
    SetCursorTime(TimeAtX(p.x()));
  }
  event->accept();
}

void ChartView::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  const Drag drag = drag_;
  drag_ = Drag::kNone;
  if (drag == Drag::kPending && event->button() == Qt::LeftButton) {
    SetCursorTime(TimeAtX(p.x()));
    if (cursorSample_ >= 0)
      emit sampleClicked(cursorSample_);
  } else if (drag == Drag::kBand) {
    const int left = std::min(pressPoint_.x(), p.x());
    const int right = std::max(pressPoint_.x(), p.x());
    SetView(TimeAtX(left), TimeAtX(right), true);
  }
  update();
  event->accept();
}

void ChartView::mouseDoubleClickEvent(QMouseEvent* event) {
  drag_ = Drag::kNone;
  FitAll();
  event->accept();
}

void ChartView::wheelEvent(QWheelEvent* event) {
  wheelRemainder_ += event->angleDelta().y();
  const int notches = wheelRemainder_ / kWheelNotch;
  wheelRemainder_ -= notches * kWheelNotch;
  if (notches != 0) {
    // Away from the user zooms in, around the time under the pointer.
    ZoomAround(TimeAtX(static_cast<int>(event->position().x())), std::pow(0.8, notches));
  }
  event->accept();
}

void ChartView::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Home:
      FitAll();
      break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      ZoomAround((viewStartMs_ + viewEndMs_) / 2, 0.8);
      break;
    case Qt::Key_Minus:
      ZoomAround((viewStartMs_ + viewEndMs_) / 2, 1.25);
      break;
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  event->accept();
}

void ChartView::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
}

}  // namespace ovixlog
