// The log view: the document's display rows (titles, rule, samples) in a fixed-pitch font, one
// row per text line, scrolled by whole rows and by characters and painted through a back buffer.
#pragma once

#include <QAbstractScrollArea>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/view.h"

namespace ovixlog {

class COvixLogDoc;

class COvixLogView : public QAbstractScrollArea, public View {
  Q_OBJECT

 public:
  // The scroll requests that the scroll bars, the wheel and the keys are turned into.
  enum class ScrollRequest {
    kLineUp,         // also line left
    kLineDown,       // also line right
    kPageUp,         // also page left
    kPageDown,       // also page right
    kThumbPosition,  // the position carried by the request
    kThumbTrack,
    kTop,        // also leftmost
    kBottom,     // also rightmost
    kEndScroll,  // the end of a scrolling gesture: moves nothing, repaints
  };

  static constexpr int kPageColumns = 10;

  explicit COvixLogView(QWidget* parent = nullptr);
  ~COvixLogView() override;

  // The document whose rows are shown; null detaches the view (pending updates then do nothing).
  // The caller also adds the view to the document.
  void SetDocument(COvixLogDoc* document) { document_ = document; }
  COvixLogDoc* GetDocument() const { return document_; }

  // Makes the back buffer at the current client size and shows both scroll bars. Scroll
  // positions survive.
  void OnInitialUpdate() override;
  // Resets the scroll ranges when the row count changed and asks for a repaint.
  void OnUpdate(View* sender, long hint) override;
  void OnVScroll(ScrollRequest request, int thumbPosition = 0);
  void OnHScroll(ScrollRequest request, int thumbPosition = 0);

  // Paints the visible rows into the back buffer and copies it to `screen` at (0, 0).
  void OnDraw(QPainter& screen);

  // The window's reading aids: the two title rows stay at the top while the rows scroll under
  // them, End shows a full last page, and the horizontal range ends where the widest row ends
  // on screen. Off by default.
  void SetTitlesPinned(bool pinned);
  bool titlesPinned() const { return titlesPinned_; }

  // --- The column titles ------------------------------------------------------------------
  // What the column titled `title` holds, with its unit ("Oil pressure (psi)"), for `model`;
  // empty for a title the table does not have.
  static QString ColumnToolTip(const QString& title, int32_t model);
  // The tooltip of the column title under `point` (viewport coordinates): empty where no title
  // row is shown there.
  QString TitleToolTipAt(QPoint point) const;

  // --- The selected row (the sample the charts' cursor is on) -------------------------------
  // Selects sample `index` (0 = oldest stored; -1 for none) and, with `scroll`, scrolls its row
  // into view. Does not emit sampleSelected.
  void SelectSample(int index, bool scroll = true);
  int selectedSample() const { return selectedSample_; }
  // The display row of a sample, and the sample of a display row (-1 for the title rows).
  int RowOfSample(int index) const;
  int SampleOfRow(int row) const;
  // Says whether the stream paused before sample `index`; such rows get a thin rule above
  // (below, oldest first) them. Empty: no rules.
  void SetBreakQuery(std::function<bool(int index)> query) { breakQuery_ = std::move(query); }
  // Samples first .. count - 1 arrived: newest first, a view scrolled away from the top keeps
  // the same rows on screen; oldest first, a view showing the last row follows the new ones.
  // Call before the update that repaints.
  void OnSamplesAppended(int first, int count);

  int firstRow() const { return firstRow_; }
  int firstColumn() const { return firstColumn_; }
  int knownRowCount() const { return knownRowCount_; }
  int pageRows() const { return pageRows_; }
  bool bufferReady() const { return bufferReady_; }
  // The pixel height of every row in the row font.
  int RowHeight() const { return rowHeight_; }
  const QFont& rowFont() const { return rowFont_; }
  const QImage& backBuffer() const { return backBuffer_; }
  // The scroll ranges as last set from the document (the bars themselves never go below min).
  int verticalMin() const { return 0; }
  int verticalMax() const { return verticalMax_; }
  int horizontalMax() const { return horizontalMax_; }
  // The texts written by the last paint, top to bottom, as drawn (after the column offset).
  const std::vector<std::string>& rowsWritten() const { return rows_; }
  // How many repaints were asked for and how many paints ran; for tests and benchmarks.
  int64_t repaintRequests() const { return repaintRequests_; }
  int64_t paintCount() const { return paintCount_; }

 signals:
  // The user selected a sample's row (click, or the arrow keys while a row is selected).
  void sampleSelected(int index);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool viewportEvent(QEvent* event) override;

 private:
  void OnScrollBarAction(Qt::Orientation orientation, int action);
  // The request table, shared by both directions.
  static int NewPosition(ScrollRequest request, int current, int thumb, int min, int max, int page,
                         bool* store);
  void MakeBackBuffer();
  void RequestRepaint();

  COvixLogDoc* document_ = nullptr;
  int firstRow_ = 0;
  int firstColumn_ = 0;
  int knownRowCount_ = 0;
  int pageRows_ = 0;
  int verticalMax_ = 0;
  int horizontalMax_ = 0;
  bool bufferReady_ = false;
  QFont rowFont_;
  int rowHeight_ = 1;
  int rowAscent_ = 0;
  QImage backBuffer_;
  int clientWidth_ = 0;
  int clientHeight_ = 0;
  // Reused by every paint: the rows fetched, then clipped in place.
  std::vector<std::string> rows_;
  // Accumulated wheel rotation not yet turned into whole line steps.
  int wheelRemainderV_ = 0;
  int wheelRemainderH_ = 0;
  int64_t repaintRequests_ = 0;
  int64_t paintCount_ = 0;
  int selectedSample_ = -1;
  bool titlesPinned_ = false;
  int charWidth_ = 1;
  // The display row of each line written by the last paint.
  std::vector<int> rowNumbers_;
  std::function<bool(int)> breakQuery_;
};

}  // namespace ovixlog
