// The chart pane: stacked plots of the per-cylinder EGTs, the CHTs and a choice of the other
// columns over one shared time axis, with one cursor, wheel zoom, drag pan, rubber-band zoom and
// a "Follow" mode that keeps the newest sample at the right edge. Drawn with QPainter from a
// per-pixel-column envelope of a TrendSummary that grows beside the document's store.
#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <vector>

#include "trend/trend_summary.h"

class QToolButton;
class QMenu;

namespace ovixlog {

class COvixLogDoc;
class DocumentSignals;

class ChartView : public QWidget {
  Q_OBJECT

 public:
  enum Plot { kEgtPlot = 0, kChtPlot = 1, kOtherPlot = 2, kPlotCount = 3 };
  // A horizontal line across one plot at a value of `channel`'s unit (a limit).
  struct LimitLine {
    int channel = kChannelCht1;
    double value = 0.0;
    QColor color = Qt::red;
    QString label;
  };
  // A stretch of time shaded across every plot (an exceedance), in elapsed milliseconds.
  struct ShadedRange {
    int64_t startMs = 0;
    int64_t endMs = 0;
    QColor color = QColor(255, 0, 0, 40);
  };

  // The narrowest view, in milliseconds.
  static constexpr int64_t kMinSpanMs = 2000;

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
  int64_t viewStartMs() const { return viewStartMs_; }
  int64_t viewEndMs() const { return viewEndMs_; }
  // While following, the right edge stays on the newest sample.
  bool following() const { return following_; }
  void SetFollowing(bool follow);

  // --- The cursor ---------------------------------------------------------------------------
  // Puts the cursor on the sample nearest to `timeMs` (elapsed), or on sample `index`; -1 hides
  // it. Neither emits sampleClicked.
  void SetCursorTime(int64_t timeMs);
  void SetCursorSample(int index);
  int cursorSample() const { return cursorSample_; }

  // --- What is drawn ------------------------------------------------------------------------
  void SetLimitLines(std::vector<LimitLine> lines);
  void SetShadedRanges(std::vector<ShadedRange> ranges);
  // The channels of the third plot (default Tach and Flow); those the model lacks are skipped.
  void SetOtherChannels(std::vector<int> channels);
  const std::vector<int>& otherChannels() const { return otherChoice_; }
  // The channels each plot draws for the current model.
  std::vector<int> PlotChannels(int plot) const;

  // --- Geometry, for the window and the tests ----------------------------------------------
  QRect PlotRect(int plot) const;
  int XForTime(int64_t timeMs) const;
  int64_t TimeAtX(int x) const;
  const TrendSummary& summary() const { return summary_; }
  // The colour of the `n`-th series of a plot.
  static QColor SeriesColor(int n);
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
  void SetView(int64_t startMs, int64_t endMs, bool byUser);
  int64_t FlightEndMs() const;
  void ZoomAround(int64_t timeMs, double factor);
  int PlotAt(QPoint point) const;
  void RebuildSeriesMenu();
  // A length in logical pixels as whole device pixels of the paint under way, at least one.
  int DevicePixels(int logical) const;
  // The envelope's columns: one per device pixel across a plot.
  int EnvelopeColumns() const;
  void DrawPlot(QPainter& painter, int plot);
  void DrawTimeAxis(QPainter& painter);
  // The times of the axis' ticks in view, a round step apart (the step in *stepMs).
  std::vector<int64_t> TimeTicks(int64_t* stepMs) const;
  void DrawCursor(QPainter& painter);
  // Whether the samples' PC times are the flight's own (live data), not an import's.
  bool LocalTimeKnown();
  // The sample at `index`, from the samples fetched for this paint or from the document.
  const EngineSample* RawSample(int index);

  COvixLogDoc* document_ = nullptr;
  DocumentSignals* adapter_ = nullptr;
  TrendSummary summary_;
  int known_ = 0;  // samples read into the summary
  int32_t model_ = 0;
  std::vector<int> otherChoice_;

  int64_t viewStartMs_ = 0;
  int64_t viewEndMs_ = 60000;
  bool following_ = true;
  // Following the whole flight (after a fit), as opposed to a fixed span at the newest end.
  bool fitAll_ = true;
  int cursorSample_ = -1;
  std::vector<LimitLine> limits_;
  std::vector<ShadedRange> shaded_;

  // The pointer gestures.
  enum class Drag { kNone, kPending, kPan, kBand };
  Drag drag_ = Drag::kNone;
  QPoint pressPoint_;
  QPoint dragPoint_;
  int64_t pressStartMs_ = 0;
  int64_t pressEndMs_ = 0;
  bool bandGesture_ = false;
  int wheelRemainder_ = 0;

  QToolButton* followButton_ = nullptr;
  QToolButton* seriesButton_ = nullptr;
  QMenu* seriesMenu_ = nullptr;

  // Per paint: the samples the envelope reads at full resolution, and the envelopes, reused.
  int rawFirst_ = 0;
  std::vector<const EngineSample*> raw_;
  std::vector<EngineSample> looseSamples_;
  std::vector<TrendSummary::Envelope> envelopes_;
  // The device pixels per logical pixel of the paint under way, and the image each plot's
  // inside is drawn into before it is copied to the screen.
  qreal paintRatio_ = 1.0;
  QImage plotImage_;
  int64_t lastPaintNs_ = 0;
  int64_t paintCount_ = 0;
};

}  // namespace ovixlog
