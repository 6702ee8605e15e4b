#include "view/chart_view.h"

#include <QBuffer>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPaintEngine>
#include <QSaveFile>
#include <QSvgGenerator>
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
#include "view/chart_cursor.h"
#include "view/document_signals.h"

namespace ovixlog {
namespace {

constexpr int kStripHeight = 26;  // the buttons above the plots
constexpr int kLeftMargin = 58;
constexpr int kRightMargin = 58;
constexpr int kAxisHeight = 34;
constexpr int kPlotGap = 6;
constexpr int kCatchUpChunk = 4096;

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
  const ChartUnit unit = ChannelUnit(channel);
  if (unit == ChartUnit::kVolts || unit == ChartUnit::kFlow || unit == ChartUnit::kFuel)
    return QString::number(static_cast<double>(value), 'f', 1);
  return QString::number(static_cast<double>(value), 'f', 0);
}

}  // namespace

ChartView::ChartView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setMinimumSize(320, 240);
  plots_.push_back(std::make_unique<CylinderPlotPainter>(kChannelEgt1, QStringLiteral("EGT")));
  plots_.push_back(std::make_unique<CylinderPlotPainter>(kChannelCht1, QStringLiteral("CHT")));
  auto other = std::make_unique<ColumnsPlotPainter>();
  other->SetChoice({kChannelTach, kChannelFlow});
  otherPlot_ = other.get();
  plots_.push_back(std::move(other));
  ownCursor_ = new ChartCursor(this);
  SetCursor(ownCursor_);

  followButton_ = new QToolButton(this);
  followButton_->setText(QStringLiteral("Follow"));
  followButton_->setCheckable(true);
  followButton_->setChecked(true);
  followButton_->setToolTip(QStringLiteral("Keep the newest sample at the right edge"));
  connect(followButton_, &QToolButton::clicked, this, [this](bool on) { SetFollowing(on); });

  normaliseButton_ = new QToolButton(this);
  normaliseButton_->setText(QStringLiteral("Normalise"));
  normaliseButton_->setCheckable(true);
  normaliseButton_->setToolTip(
      QStringLiteral("EGT and CHT relative to the mean of the cylinders at each moment"));
  connect(normaliseButton_, &QToolButton::clicked, this,
          [this](bool on) { SetRelative(on ? Relative::kMean : Relative::kNone); });
  fromCursorButton_ = new QToolButton(this);
  fromCursorButton_->setText(QStringLiteral("From Cursor"));
  fromCursorButton_->setCheckable(true);
  fromCursorButton_->setToolTip(
      QStringLiteral("EGT and CHT as the difference from each cylinder's value at the cursor"));
  connect(fromCursorButton_, &QToolButton::clicked, this,
          [this](bool on) { SetRelative(on ? Relative::kReference : Relative::kNone); });

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
  cursor_->SetSample(-1);
  zooms_.Clear();
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
  cursor_->SetSample(-1);
  zooms_.Clear();
  FitAll();
}

void ChartView::OnSettingsChanged() {
  if (document_ == nullptr)
    return;
  if (document_->model.load() != model_) {
    KeepHiddenSeries();
    model_ = document_->model.load();
    RestoreHiddenSeries();
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
  if (!axis_.following()) {
    update();
    return;
  }
  ShowAxis(axis_.Followed(FlightEndMs()), false, false);
}

void ChartView::FitAll() {
  const bool was = axis_.following();
  ShowAxis(TimeAxis::WholeFlight(FlightEndMs()), false, false);
  if (was)
    emit followingChanged(true);
}

void ChartView::FitRange(int64_t startMs, int64_t endMs) {
  ShowAxis(TimeAxis::Span(startMs, endMs), true, true);
}

void ChartView::SetFollowing(bool follow) {
  const bool was = axis_.following();
  const TimeAxis axis = axis_.Following(follow);
  ShowAxis(follow ? axis.Followed(FlightEndMs()) : axis, false, false);
  if (was == follow)
    emit followingChanged(follow);
}

bool ChartView::UndoView() {
  const std::optional<TimeAxis> back = zooms_.Undo(axis_);
  if (!back)
    return false;
  ShowAxis(back->Followed(FlightEndMs()), false, false);
  return true;
}

bool ChartView::RedoView() {
  const std::optional<TimeAxis> again = zooms_.Redo(axis_);
  if (!again)
    return false;
  ShowAxis(again->Followed(FlightEndMs()), false, false);
  return true;
}

void ChartView::ShowAxis(const TimeAxis& axis, bool byUser, bool newStep) {
  if (byUser && newStep)
    zooms_.Push(axis_);
  const TimeAxis before = axis_;
  axis_ = axis;
  if (axis_.following() != before.following()) {
    UpdateFollowButton();
    emit followingChanged(axis_.following());
  }
  if (axis_.startMs() != before.startMs() || axis_.endMs() != before.endMs())
    emit viewChanged(axis_.startMs(), axis_.endMs());
  update();
}

void ChartView::UpdateFollowButton() {
  followButton_->setChecked(axis_.following());
}

void ChartView::SetCursor(ChartCursor* cursor) {
  if (cursor_ != nullptr)
    disconnect(cursor_, nullptr, this, nullptr);
  cursor_ = cursor != nullptr ? cursor : ownCursor_;
  connect(cursor_, &ChartCursor::moved, this, [this] { update(); });
  update();
}

int ChartView::cursorSample() const {
  const int index = cursor_->sample();
  return index < summary_.size() ? index : -1;
}

void ChartView::SetCursorTime(int64_t timeMs) {
  SetCursorSample(summary_.Nearest(timeMs));
}

void ChartView::SetCursorSample(int index) {
  cursor_->SetSample(index >= 0 && index < summary_.size() ? index : -1);
}

void ChartView::SetLimitLines(std::vector<LimitLine> lines) {
  limits_ = std::move(lines);
  update();
}

void ChartView::SetShadedRanges(std::vector<ShadedRange> ranges) {
  shaded_ = std::move(ranges);
  update();
}

void ChartView::SetSpanMarks(std::vector<SpanMark> marks) {
  marks_ = std::move(marks);
  update();
}

void ChartView::SetOtherChannels(std::vector<int> channels) {
  otherPlot_->SetChoice(std::move(channels));
  RebuildSeriesMenu();
  update();
}

std::vector<int> ChartView::PlotChannels(int plot) const {
  if (plot < 0 || plot >= static_cast<int>(plots_.size()))
    return {};
  return plots_[static_cast<size_t>(plot)]->Channels(model_);
}

void ChartView::RebuildSeriesMenu() {
  seriesMenu_->clear();
  for (int channel : OtherChannels(model_)) {
    QAction* action = seriesMenu_->addAction(QString::fromLatin1(ChannelTitle(channel)));
    action->setCheckable(true);
    const std::vector<int>& chosen = otherPlot_->choice();
    action->setChecked(std::find(chosen.begin(), chosen.end(), channel) != chosen.end());
    connect(action, &QAction::toggled, this, [this, channel](bool on) {
      std::vector<int> choice = otherPlot_->choice();
      choice.erase(std::remove(choice.begin(), choice.end(), channel), choice.end());
      if (on)
        choice.push_back(channel);
      otherPlot_->SetChoice(std::move(choice));
      update();
    });
  }
}

// ----- Geometry -----

QRect ChartView::PlotRect(int plot) const {
  const int top = kStripHeight;
  const QSize canvas = CanvasSize();
  const int available =
      std::max(canvas.height() - top - kAxisHeight - kPlotGap * (kPlotCount - 1), 30);
  const int each = available / kPlotCount;
  const int width = std::max(canvas.width() - kLeftMargin - kRightMargin, 10);
  return QRect(kLeftMargin, top + plot * (each + kPlotGap), width, each);
}

int ChartView::XForTime(int64_t timeMs) const {
  const QRect r = PlotRect(0);
  return axis_.XForTime(timeMs, r.left(), r.width());
}

int64_t ChartView::TimeAtX(int x) const {
  const QRect r = PlotRect(0);
  return axis_.TimeAtX(x, r.left(), r.width());
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
  painter.fillRect(QRect(QPoint(), CanvasSize()), palette().window());
  raw_.clear();
  rawFirst_ = 0;
  if (document_ != nullptr) {
    const ChartSeries::Plan plan =
        summary_.PlanFor(axis_.startMs(), axis_.endMs(), EnvelopeColumns());
    if (plan.level == 0 && plan.rawEnd > plan.rawFirst) {
      rawFirst_ = plan.rawFirst;
      document_->GetSamples(plan.rawFirst, plan.rawEnd - plan.rawFirst, raw_);
    }
  }
  PlotScene scene;
  scene.summary = &summary_;
  scene.raw = [this](int index) { return RawSample(index); };
  scene.axis = axis_;
  scene.columns = EnvelopeColumns();
  scene.ratio = paintRatio_;
  scene.ticks = TimeTicks();
  scene.limits = &limits_;
  scene.shaded = &shaded_;
  scene.marks = &marks_;
  scene.font = SmallFont();
  scene.scratch = &plotImage_;
  scene.vector = painter.paintEngine() != nullptr &&
                 painter.paintEngine()->type() == QPaintEngine::SVG;
  scene.leftMargin = kLeftMargin;
  scene.rightMargin = kRightMargin;
  for (size_t plot = 0; plot < plots_.size(); ++plot)
    plots_[plot]->Paint(painter, PlotRect(static_cast<int>(plot)), scene, model_);
  DrawTimeAxis(painter);
  DrawCursor(painter);
  if (gestures_.banding()) {
    const int left = std::min(gestures_.pressPoint().x(), gestures_.dragPoint().x());
    const int right = std::max(gestures_.pressPoint().x(), gestures_.dragPoint().x());
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

QFont ChartView::SmallFont() const {
  QFont small = font();
  small.setPointSizeF(std::max(small.pointSizeF() - 1.0, 6.0));
  return small;
}

std::vector<int64_t> ChartView::TimeTicks() const {
  const QRect r = PlotRect(0);
  const int64_t span = std::max<int64_t>(axis_.spanMs(), 1);
  int64_t stepS = kTickSteps[sizeof kTickSteps / sizeof kTickSteps[0] - 1];
  for (int s : kTickSteps) {
    if (static_cast<double>(s) * 1000.0 * r.width() / static_cast<double>(span) >= 90.0) {
      stepS = s;
      break;
    }
  }
  const int64_t stepMs = stepS * 1000;
  std::vector<int64_t> ticks;
  for (int64_t tick = std::max<int64_t>((axis_.startMs() + stepMs - 1) / stepMs, 0) * stepMs;
       tick <= axis_.endMs(); tick += stepMs) {
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
  const QFont small = SmallFont();
  painter.setFont(small);
  const QFontMetrics metrics(small);
  for (int64_t tick : TimeTicks()) {
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

QStringList CursorBoxLines(const EngineSample& sample, int64_t elapsedMs,
                           const std::vector<int>& channels) {
  QStringList lines;
  lines << QStringLiteral("Elapsed ") + Clock(elapsedMs / 1000);
  lines << QStringLiteral("Flt-Time %1:%2:%3")
               .arg(static_cast<int>(sample.fltHours), 2, 10, QLatin1Char('0'))
               .arg(static_cast<int>(sample.fltMinutes), 2, 10, QLatin1Char('0'))
               .arg(static_cast<int>(sample.fltSeconds), 2, 10, QLatin1Char('0'));
  for (int channel : channels) {
    lines << QString::fromLatin1(ChannelTitle(channel)) + QLatin1Char(' ') +
                 ValueText(channel, ChannelValue(sample, channel));
  }
  return lines;
}

QRect CursorBoxRect(const QRect& widget, const QRect& plot, int x, const QSize& size) {
  // Whole, and inside the pane: a short plot (the Flights panel open) lets the box reach over
  // its neighbours rather than cut its lines, and a box near an edge turns back from it.
  const QRect pane = widget.adjusted(1, 1, -1, -1);
  QRect box(x + 8, plot.top() + 18, size.width(), std::min(size.height(), pane.height()));
  if (box.right() > pane.right())
    box.moveRight(x - 8);
  if (box.left() < pane.left())
    box.moveLeft(pane.left());
  if (box.bottom() > pane.bottom())
    box.moveBottom(pane.bottom());
  if (box.top() < pane.top())
    box.moveTop(pane.top());
  return box;
}

void ChartView::DrawCursor(QPainter& painter) {
  const int shown = cursorSample();
  if (shown < 0)
    return;
  const int64_t t = summary_.TimeMs(shown);
  const int x = XForTime(t);
  const QRect first = PlotRect(0);
  if (x < first.left() || x > first.right())
    return;
  const EngineSample* sample = RawSample(shown);
  const QFont small = SmallFont();
  painter.setFont(small);
  const QFontMetrics metrics(small);
  for (int plot = 0; plot < kPlotCount; ++plot) {
    const QRect r = PlotRect(plot);
    painter.setPen(QPen(QColor(0, 0, 0, 160), 1));
    painter.drawLine(x, r.top(), x, r.bottom());
    if (sample == nullptr)
      continue;
    // The value box: the time from the first sample, the monitor's own flight timer, then
    // each series' value in its colour.
    const QStringList lines = CursorBoxLines(*sample, t, PlotChannels(plot));
    int width = 0;
    for (const QString& line : lines)
      width = std::max(width, metrics.horizontalAdvance(line));
    const QRect box = CursorBoxRect(QRect(QPoint(), CanvasSize()), r, x, QSize(width + 10, static_cast<int>(lines.size()) *
                                                                        metrics.height() + 4));
    painter.fillRect(box, QColor(255, 255, 255, 225));
    painter.setPen(QColor(120, 120, 120));
    painter.drawRect(box);
    int y = box.top() + 2 + metrics.ascent();
    for (qsizetype i = 0; i < lines.size() && y < box.bottom(); ++i) {
      painter.setPen(i < kCursorTimeLines ? QColor(Qt::black)
                                          : SeriesColor(static_cast<int>(i - kCursorTimeLines)));
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
  normaliseButton_->setGeometry(kLeftMargin + 144, 2, 76, h);
  fromCursorButton_->setGeometry(kLeftMargin + 224, 2, 96, h);
}

void ChartView::Carry(const ChartGestures::Intent& intent) {
  switch (intent.kind) {
    case ChartGestures::Intent::kHover:
      SetCursorTime(TimeAtX(intent.x));
      break;
    case ChartGestures::Intent::kPick:
      SetCursorTime(TimeAtX(intent.x));
      if (cursorSample() >= 0) {
        cursor_->Pick(cursorSample());
        emit sampleClicked(cursorSample());
      }
      break;
    case ChartGestures::Intent::kView:
      ShowAxis(intent.axis, true, intent.newStep);
      break;
    case ChartGestures::Intent::kBand:
      update();
      break;
    case ChartGestures::Intent::kFitAll:
      zooms_.Push(axis_);
      FitAll();
      break;
    case ChartGestures::Intent::kUndo:
      UndoView();
      break;
    case ChartGestures::Intent::kRedo:
      RedoView();
      break;
    case ChartGestures::Intent::kMenu:
      ShowMenu(intent.point);
      break;
    case ChartGestures::Intent::kNone:
    case ChartGestures::Intent::kIgnored:
      break;
  }
}

void ChartView::mousePressEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (event->button() == Qt::LeftButton) {
    for (size_t plot = 0; plot < plots_.size(); ++plot) {
      const int channel = plots_[plot]->LegendChannelAt(p);
      if (channel >= 0) {
        ToggleSeries(static_cast<int>(plot), channel);
        event->accept();
        return;
      }
    }
  }
  const QRect r = PlotRect(0);
  gestures_.SetPlotColumns(r.left(), r.width());
  const ChartGestures::Intent intent =
      gestures_.Press(p, PlotAt(p) >= 0, event->button(), event->modifiers(), axis_);
  if (intent.kind == ChartGestures::Intent::kIgnored) {
    QWidget::mousePressEvent(event);
    return;
  }
  setFocus(Qt::MouseFocusReason);
  Carry(intent);
  event->accept();
}

void ChartView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  Carry(gestures_.Move(p, PlotAt(p) >= 0));
  event->accept();
}

void ChartView::mouseReleaseEvent(QMouseEvent* event) {
  Carry(gestures_.Release(event->position().toPoint(), event->button()));
  update();
  event->accept();
}

void ChartView::mouseDoubleClickEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  for (size_t plot = 0; plot < plots_.size(); ++plot) {
    const int channel = plots_[plot]->LegendChannelAt(p);
    if (channel >= 0) {
      SoloSeries(static_cast<int>(plot), channel);
      event->accept();
      return;
    }
  }
  Carry(gestures_.DoubleClick());
  event->accept();
}

void ChartView::wheelEvent(QWheelEvent* event) {
  const QRect r = PlotRect(0);
  gestures_.SetPlotColumns(r.left(), r.width());
  Carry(gestures_.Wheel(event->angleDelta().y(), static_cast<int>(event->position().x()), axis_));
  event->accept();
}

void ChartView::keyPressEvent(QKeyEvent* event) {
  const ChartGestures::Intent intent = gestures_.Key(event->key(), event->modifiers(), axis_);
  if (intent.kind == ChartGestures::Intent::kIgnored) {
    QWidget::keyPressEvent(event);
    return;
  }
  Carry(intent);
  event->accept();
}

void ChartView::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
}

// ----- Cylinders -----

bool ChartView::SetRelative(Relative relative) {
  std::vector<float> reference(kChannelCount, 0.0f);
  if (relative == Relative::kReference) {
    const EngineSample* sample = cursorSample() >= 0 ? RawSample(cursorSample()) : nullptr;
    if (sample == nullptr) {
      UpdateRelativeButtons();
      return false;
    }
    ChannelValues(*sample, reference.data());
  }
  relative_ = relative;
  for (const std::unique_ptr<PlotPainter>& plot : plots_) {
    if (auto* cylinders = dynamic_cast<CylinderPlotPainter*>(plot.get())) {
      cylinders->SetRelative(relative);
      cylinders->SetReference(reference);
    }
  }
  UpdateRelativeButtons();
  update();
  return true;
}

void ChartView::UpdateRelativeButtons() {
  normaliseButton_->setChecked(relative_ == Relative::kMean);
  fromCursorButton_->setChecked(relative_ == Relative::kReference);
}

void ChartView::ToggleSeries(int plot, int channel) {
  if (plot < 0 || plot >= static_cast<int>(plots_.size()))
    return;
  plots_[static_cast<size_t>(plot)]->ToggleHidden(channel);
  KeepHiddenSeries();
  update();
}

void ChartView::SoloSeries(int plot, int channel) {
  if (plot < 0 || plot >= static_cast<int>(plots_.size()))
    return;
  plots_[static_cast<size_t>(plot)]->Solo(channel, PlotChannels(plot));
  KeepHiddenSeries();
  update();
}

std::set<int> ChartView::HiddenSeries(int plot) const {
  if (plot < 0 || plot >= static_cast<int>(plots_.size()))
    return {};
  return plots_[static_cast<size_t>(plot)]->hidden();
}

QRect ChartView::LegendBox(int plot, int channel) const {
  if (plot < 0 || plot >= static_cast<int>(plots_.size()))
    return QRect();
  return plots_[static_cast<size_t>(plot)]->LegendBoxOf(channel);
}

void ChartView::KeepHiddenSeries() {
  std::set<int>& kept = hiddenByModel_[model_];
  kept.clear();
  for (const std::unique_ptr<PlotPainter>& plot : plots_)
    kept.insert(plot->hidden().begin(), plot->hidden().end());
}

void ChartView::RestoreHiddenSeries() {
  const auto found = hiddenByModel_.find(model_);
  for (const std::unique_ptr<PlotPainter>& plot : plots_) {
    // Channel numbers are unique across the plots: each keeps those it draws.
    std::set<int> hidden;
    if (found != hiddenByModel_.end()) {
      for (int channel : PlotChannels(static_cast<int>(&plot - plots_.data()))) {
        if (found->second.count(channel) != 0)
          hidden.insert(channel);
      }
    }
    plot->SetHidden(std::move(hidden));
  }
}

std::map<int32_t, std::set<int>> ChartView::HiddenByModel() {
  KeepHiddenSeries();
  std::map<int32_t, std::set<int>> hidden;
  for (const auto& [model, channels] : hiddenByModel_) {
    if (!channels.empty())
      hidden[model] = channels;
  }
  return hidden;
}

void ChartView::SetHiddenByModel(std::map<int32_t, std::set<int>> hidden) {
  hiddenByModel_ = std::move(hidden);
  RestoreHiddenSeries();
  update();
}

// ----- Pictures -----

QSize ChartView::CanvasSize() const {
  return canvas_.isEmpty() ? size() : canvas_;
}

QImage ChartView::Picture(QSize size) {
  const QSize wanted = size.isEmpty() ? this->size() : size.boundedTo(QSize(8000, 8000));
  QImage image(wanted, QImage::Format_RGB32);
  canvas_ = wanted;
  {
    QPainter painter(&image);
    Render(painter);
  }
  canvas_ = QSize();
  return image;
}

bool ChartView::SavePicture(const QString& path, QSize size) {
  if (!path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive))
    return Picture(size).save(path, "PNG");
  // A vector picture: the plots' series go in as paths and the texts as text, so the picture
  // stays sharp at any scale.
  const QSize wanted = size.isEmpty() ? this->size() : size.boundedTo(QSize(8000, 8000));
  QBuffer svg;
  svg.open(QIODevice::WriteOnly);
  QSvgGenerator generator;
  generator.setOutputDevice(&svg);
  generator.setSize(wanted);
  generator.setViewBox(QRect(QPoint(), wanted));
  // The screen's resolution, so that the texts keep the size they have in the window.
  generator.setResolution(logicalDpiX());
  generator.setTitle(QStringLiteral("OvixLog charts"));
  canvas_ = wanted;
  bool drawn = false;
  {
    QPainter painter;
    if (painter.begin(&generator)) {
      Render(painter);
      drawn = painter.end();
    }
  }
  canvas_ = QSize();
  if (!drawn)
    return false;
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(svg.data()) != svg.size())
    return false;
  return file.commit();
}

void ChartView::CopyPicture() {
  QGuiApplication::clipboard()->setImage(Picture());
}

void ChartView::OnSaveImage(bool chooseSize) {
  QSize size = this->size();
  if (chooseSize) {
    bool ok = false;
    const QString text = QInputDialog::getText(
        this, QStringLiteral("Save Image"), QStringLiteral("Size in pixels (width x height):"),
        QLineEdit::Normal, QStringLiteral("%1 x %2").arg(size.width()).arg(size.height()), &ok);
    if (!ok)
      return;
    const QStringList parts = QString(text).remove(QLatin1Char(' ')).split(QLatin1Char('x'));
    const int w = parts.size() == 2 ? parts[0].toInt() : 0;
    const int h = parts.size() == 2 ? parts[1].toInt() : 0;
    if (w < 320 || h < 240 || w > 8000 || h > 8000) {
      QMessageBox::warning(this, QStringLiteral("Save Image"),
                           QStringLiteral("A size from 320 x 240 to 8000 x 8000, please."));
      return;
    }
    size = QSize(w, h);
  }
  QString filter = QStringLiteral("PNG image (*.png)");
  const QString path = QFileDialog::getSaveFileName(
      this, QStringLiteral("Save Image"), QStringLiteral("charts.png"),
      QStringLiteral("PNG image (*.png);;SVG image (*.svg)"), &filter);
  if (path.isEmpty())
    return;
  QString target = path;
  const bool svg = filter.startsWith(QStringLiteral("SVG"));
  if (!target.endsWith(svg ? QStringLiteral(".svg") : QStringLiteral(".png"), Qt::CaseInsensitive))
    target += svg ? QStringLiteral(".svg") : QStringLiteral(".png");
  if (!SavePicture(target, size)) {
    QMessageBox::critical(this, QStringLiteral("Unable to Save Image"),
                          QStringLiteral("Unable to write file: ") + target);
  }
}

void ChartView::ShowMenu(QPoint at) {
  QMenu menu(this);
  menu.addAction(QStringLiteral("Save Image..."), this, [this] { OnSaveImage(false); });
  menu.addAction(QStringLiteral("Save Image at Size..."), this, [this] { OnSaveImage(true); });
  menu.addAction(QStringLiteral("Copy"), this, [this] { CopyPicture(); });
  menu.addSeparator();
  menu.addAction(QStringLiteral("Lean Test at the Cursor"), this,
                 [this] { emit leanTestRequested(); });
  menu.addAction(QStringLiteral("Undo Zoom"), this, [this] { UndoView(); })
      ->setEnabled(zooms_.undoDepth() > 0);
  menu.exec(mapToGlobal(at));
}

}  // namespace ovixlog
