// The chart pane: stacked plots of the per-cylinder EGTs, the CHTs and a choice of the other
// columns over one shared time axis, with the window's cursor, wheel zoom, drag pan,
// rubber-band zoom, undo of view changes and a "Follow" mode that keeps the newest sample at
// the right edge. The pane holds the state and lays the plots out; the axis is a TimeAxis
// value, each plot a PlotPainter, the pointer and keys read by ChartGestures, the cursor a
// ChartCursor that the table shares. The plots are drawn from a per-pixel-column envelope of a
// ChartSeries that grows beside the document's store.
#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "acquisition/engine_sample.h"
#include "chart/chart_series.h"
#include "view/chart_gestures.h"
#include "view/plot_painter.h"
#include "view/time_axis.h"
#include "view/zoom_stack.h"

class QToolButton;
class QMenu;

namespace ovixlog {

class COvixLogDoc;
class ChartCursor;
class DocumentSignals;

// The cursor's value box: "Elapsed 00:00:33" (from the first sample), "Flt-Time 00:00:17"
// (the monitor's timer, as the table shows it), then "<column> <value>" for each channel.
inline constexpr int kCursorTimeLines = 2;
QStringList CursorBoxLines(const EngineSample& sample, int64_t elapsedMs,
                           const std::vector<int>& channels);
// Where a box of `size` goes for the cursor at `x` in `plot`: beside the cursor, turned back
// from the right edge, and moved whole inside `widget`.
QRect CursorBoxRect(const QRect& widget, const QRect& plot, int x, const QSize& size);

class ChartView : public QWidget {
  Q_OBJECT

 public:
  enum Plot { kEgtPlot = 0, kChtPlot = 1, kOtherPlot = 2, kPlotCount = 3 };
  using LimitLine = ChartLimitLine;
  using ShadedRange = ChartShadedRange;
  using SpanMark = ChartSpanMark;

  // The narrowest view, in milliseconds.
  static constexpr int64_t kMinSpanMs = TimeAxis::kMinSpanMs;

  explicit ChartView(QWidget* parent = nullptr);
  ~ChartView() override;

  // The document the samples come from, and the adapter whose signals say when they change.
  // Reads every sample already stored. Null detaches.
  void SetDocument(COvixLogDoc* document, DocumentSignals* adapter);

  // --- The view -----------------------------------------------------------------------------
  // Shows the whole flight and follows it as it grows.
  void FitAll();
  // Shows [startMs, endMs) of elapsed time and stops following.
  void FitRange(int64_t startMs, int64_t endMs);
  int64_t viewStartMs() const { return axis_.startMs(); }
  int64_t viewEndMs() const { return axis_.endMs(); }
  const TimeAxis& axis() const { return axis_; }
  // While following, the right edge stays on the newest sample.
  bool following() const { return axis_.following(); }
  void SetFollowing(bool follow);
  // Takes the last zoom or pan back, or does it again; false when there is none.
  bool UndoView();
  bool RedoView();
  const ZoomStack& zoomStack() const { return zooms_; }

  // --- The cursor ---------------------------------------------------------------------------
  // The cursor the pane marks: its own until the window hands it a shared one (not owned).
  void SetCursor(ChartCursor* cursor);
  ChartCursor* cursor() const { return cursor_; }
  // Puts the cursor on the sample nearest to `timeMs` (elapsed), or on sample `index`; -1 hides
  // it. Neither emits sampleClicked.
  void SetCursorTime(int64_t timeMs);
  void SetCursorSample(int index);
  int cursorSample() const;

  // --- What is drawn ------------------------------------------------------------------------
  void SetLimitLines(std::vector<LimitLine> lines);
  void SetShadedRanges(std::vector<ShadedRange> ranges);
  void SetSpanMarks(std::vector<SpanMark> marks);
  const std::vector<SpanMark>& spanMarks() const { return marks_; }
  // The channels of the third plot (default Tach and Flow); those the model lacks are skipped.
  void SetOtherChannels(std::vector<int> channels);
  const std::vector<int>& otherChannels() const { return otherPlot_->choice(); }
  // The channels each plot draws for the current model.
  std::vector<int> PlotChannels(int plot) const;

  // --- Cylinders ------------------------------------------------------------------------------
  // EGT and CHT as read, relative to the mean of the cylinders, or relative to each cylinder's
  // value at the cursor (taken when this is chosen; false without a cursor).
  using Relative = CylinderPlotPainter::Relative;
  bool SetRelative(Relative relative);
  Relative relative() const { return relative_; }
  // The legend's switches: hide or show one series of a plot, or show it alone. The choice is
  // kept for each model.
  void ToggleSeries(int plot, int channel);
  void SoloSeries(int plot, int channel);
  std::set<int> HiddenSeries(int plot) const;
  // Every model's hidden series (channel numbers), for keeping them between runs.
  std::map<int32_t, std::set<int>> HiddenByModel();
  void SetHiddenByModel(std::map<int32_t, std::set<int>> hidden);
  // Where a series' legend entry was last painted (empty before a paint).
  QRect LegendBox(int plot, int channel) const;

  // --- Pictures -----------------------------------------------------------------------------
  // The pane drawn at `size` (its own size when empty), as the window paints it.
  QImage Picture(QSize size = QSize());
  // Writes the picture as PNG, or as an SVG vector drawing when the name ends in .svg; false
  // when it could not.
  bool SavePicture(const QString& path, QSize size = QSize());
  // Puts the picture on the clipboard.
  void CopyPicture();

  // --- Geometry, for the window and the tests ----------------------------------------------
  QRect PlotRect(int plot) const;
  int XForTime(int64_t timeMs) const;
  int64_t TimeAtX(int x) const;
  const ChartSeries& summary() const { return summary_; }
  // The colour of the `n`-th series of a plot.
  static QColor SeriesColor(int n) { return ovixlog::SeriesColor(n); }
  // How long the last paint took, in nanoseconds, and how many paints ran.
  int64_t lastPaintNs() const { return lastPaintNs_; }
  int64_t paintCount() const { return paintCount_; }
  // Reads samples the document stored since the last call into the summary.
  void CatchUp();
  // Renders the pane as it would paint, into `painter` (the benchmark's and screenshot's way).
  void Render(QPainter& painter);

 signals:
  // The user clicked a plot: the sample nearest to the click (0 = oldest).
  void sampleClicked(int index);
  // The shown time span changed (zoom, pan, fit, following).
  void viewChanged(int64_t startMs, int64_t endMs);
  void followingChanged(bool following);
  // The chart's menu asked for the lean test at the cursor.
  void leanTestRequested();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void OnContentsReset();
  void OnSettingsChanged();
  void OnSamplesAppended(int first, int count);
  // The view after new samples or a fit: follows the newest sample when following.
  void ApplyFollowing();
  // Shows `axis`; a change the user made first keeps the view it leaves on the undo steps when
  // `newStep` says so.
  void ShowAxis(const TimeAxis& axis, bool byUser, bool newStep);
  int64_t FlightEndMs() const;
  int PlotAt(QPoint point) const;
  void Carry(const ChartGestures::Intent& intent);
  void RebuildSeriesMenu();
  void UpdateFollowButton();
  void UpdateRelativeButtons();
  // The hidden series of the current model's plots, as the painters hold them, and back.
  void KeepHiddenSeries();
  void RestoreHiddenSeries();
  void ShowMenu(QPoint at);
  void OnSaveImage(bool chooseSize);
  QSize CanvasSize() const;
  // A length in logical pixels as whole device pixels of the paint under way, at least one.
  int DevicePixels(int logical) const;
  // The envelope's columns: one per device pixel across a plot.
  int EnvelopeColumns() const;
  QFont SmallFont() const;
  void DrawTimeAxis(QPainter& painter);
  // The times of the axis' ticks in view, a round step apart.
  std::vector<int64_t> TimeTicks() const;
  void DrawCursor(QPainter& painter);
  // Whether the samples' PC times are the flight's own (live data), not an import's.
  bool LocalTimeKnown();
  // The sample at `index`, from the samples fetched for this paint or from the document.
  const EngineSample* RawSample(int index);

  COvixLogDoc* document_ = nullptr;
  DocumentSignals* adapter_ = nullptr;
  ChartSeries summary_;
  int known_ = 0;  // samples read into the summary
  int32_t model_ = 0;

  TimeAxis axis_;
  ZoomStack zooms_;
  ChartCursor* ownCursor_ = nullptr;
  ChartCursor* cursor_ = nullptr;
  std::vector<LimitLine> limits_;
  std::vector<ShadedRange> shaded_;
  std::vector<SpanMark> marks_;
  // One painter per plot, top to bottom; the last one draws the chosen columns.
  std::vector<std::unique_ptr<PlotPainter>> plots_;
  ColumnsPlotPainter* otherPlot_ = nullptr;
  ChartGestures gestures_;

  Relative relative_ = Relative::kNone;
  // The legend's choices per model: the hidden channels of all its plots.
  std::map<int32_t, std::set<int>> hiddenByModel_;
  // While a picture is drawn at a size of its own, that size; else empty.
  QSize canvas_;

  QToolButton* followButton_ = nullptr;
  QToolButton* normaliseButton_ = nullptr;
  QToolButton* fromCursorButton_ = nullptr;
  QToolButton* seriesButton_ = nullptr;
  QMenu* seriesMenu_ = nullptr;

  // Per paint: the samples the envelope reads at full resolution.
  int rawFirst_ = 0;
  std::vector<const EngineSample*> raw_;
  // The device pixels per logical pixel of the paint under way, and the image each plot's
  // inside is drawn into before it is copied to the screen.
  qreal paintRatio_ = 1.0;
  QImage plotImage_;
  int64_t lastPaintNs_ = 0;
  int64_t paintCount_ = 0;
};

}  // namespace ovixlog
