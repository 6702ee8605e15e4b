#include "view/ovixlog_view.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <climits>

#include "document/ovixlog_doc.h"

namespace ovixlog {
namespace {

constexpr int kWheelNotch = 120;  // angle delta of one wheel notch, in eighths of a degree

int ClampToInt(int64_t value) {
  return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

}  // namespace

COvixLogView::COvixLogView(QWidget* parent) : QAbstractScrollArea(parent) {
  rowFont_ = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  rowFont_.setPixelSize(13);
  rowFont_.setFixedPitch(true);
  rowFont_.setStyleHint(QFont::Monospace);
  const QFontMetrics metrics(rowFont_);
  rowHeight_ = std::max(metrics.height(), 1);
  charWidth_ = std::max(metrics.horizontalAdvance(QLatin1Char('0')), 1);
  rowAscent_ = metrics.ascent();

  // Every paint covers the whole client area from the back buffer, so nothing is erased first.
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  viewport()->setAttribute(Qt::WA_NoSystemBackground);
  viewport()->setAutoFillBackground(false);
  setFocusPolicy(Qt::StrongFocus);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  horizontalScrollBar()->setPageStep(kPageColumns);
  verticalScrollBar()->setRange(0, 0);
  horizontalScrollBar()->setRange(0, 0);

  connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
          [this](int action) { OnScrollBarAction(Qt::Vertical, action); });
  connect(horizontalScrollBar(), &QAbstractSlider::actionTriggered, this,
          [this](int action) { OnScrollBarAction(Qt::Horizontal, action); });
  connect(verticalScrollBar(), &QAbstractSlider::sliderReleased, this,
          [this] { OnVScroll(ScrollRequest::kEndScroll); });
  connect(horizontalScrollBar(), &QAbstractSlider::sliderReleased, this,
          [this] { OnHScroll(ScrollRequest::kEndScroll); });
}

COvixLogView::~COvixLogView() = default;

void COvixLogView::OnInitialUpdate() {
  OnUpdate(nullptr, 0);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  MakeBackBuffer();
  bufferReady_ = true;
}

void COvixLogView::OnUpdate(View* sender, long hint) {
  (void)sender;
  (void)hint;
  if (document_ != nullptr) {
    const int rows = document_->GetRowCount();
    if (rows != knownRowCount_) {
      verticalMax_ = rows - 1;
      horizontalMax_ = document_->GetMaxRowWidth() - 1;
      if (titlesPinned_) {
        // Scrolling stops once the widest row's end is on screen.
        const int visibleColumns = std::max(clientWidth_ / charWidth_, 1);
        horizontalMax_ = std::max(document_->GetMaxRowWidth() - visibleColumns, 0);
      }
      // A bar cannot show a maximum below its minimum; the arithmetic uses the values as set.
      verticalScrollBar()->setRange(0, std::max(verticalMax_, 0));
      horizontalScrollBar()->setRange(0, std::max(horizontalMax_, 0));
      // The positions are not moved into a shrunken range; the thumbs show them as well as
      // the new range allows.
      verticalScrollBar()->setValue(firstRow_);
      horizontalScrollBar()->setValue(firstColumn_);
      knownRowCount_ = rows;
    }
  }
  RequestRepaint();
}

int COvixLogView::NewPosition(ScrollRequest request, int current, int thumb, int min, int max,
                              int page, bool* store) {
  const int64_t c = current;
  *store = true;
  switch (request) {
    case ScrollRequest::kLineUp:
      if (c > 0)
        return ClampToInt(c - 1);
      break;
    case ScrollRequest::kLineDown:
      if (c < max)
        return ClampToInt(c + 1);
      break;
    case ScrollRequest::kPageUp: {
      const int64_t p = c - page;
      return p < 0 ? min : ClampToInt(p);
    }
    case ScrollRequest::kPageDown: {
      const int64_t p = c + page;
      if (p < max)
        return ClampToInt(p);
      return max > 0 ? max - 1 : ClampToInt(p);
    }
    case ScrollRequest::kThumbPosition:
    case ScrollRequest::kThumbTrack:
      return thumb;
    case ScrollRequest::kTop:
      return min;
    case ScrollRequest::kBottom:
      return max > 0 ? max - 1 : 0;
    case ScrollRequest::kEndScroll:
      break;
  }
  *store = false;
  return current;
}

void COvixLogView::OnVScroll(ScrollRequest request, int thumbPosition) {
  bool store = false;
  int p = NewPosition(request, firstRow_, thumbPosition, 0, verticalMax_, pageRows_, &store);
  if (titlesPinned_ && (request == ScrollRequest::kBottom || (request == ScrollRequest::kPageDown &&
                                                              p > verticalMax_ + 1 - pageRows_))) {
    // A full last page under the titles.
    p = std::max(verticalMax_ + 1 - std::max(pageRows_, 1), 0);
    store = true;
  }
  if (store)
    firstRow_ = p;
  // The bar may already have moved itself for the action; it always shows the stored position.
  verticalScrollBar()->setValue(firstRow_);
  RequestRepaint();
}

void COvixLogView::OnHScroll(ScrollRequest request, int thumbPosition) {
  bool store = false;
  const int p =
      NewPosition(request, firstColumn_, thumbPosition, 0, horizontalMax_, kPageColumns, &store);
  if (store)
    firstColumn_ = p;
  horizontalScrollBar()->setValue(firstColumn_);
  RequestRepaint();
}

void COvixLogView::OnScrollBarAction(Qt::Orientation orientation, int action) {
  QScrollBar* bar = orientation == Qt::Vertical ? verticalScrollBar() : horizontalScrollBar();
  ScrollRequest request = ScrollRequest::kEndScroll;
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
      request = ScrollRequest::kLineUp;
      break;
    case QAbstractSlider::SliderSingleStepAdd:
      request = ScrollRequest::kLineDown;
      break;
    case QAbstractSlider::SliderPageStepSub:
      request = ScrollRequest::kPageUp;
      break;
    case QAbstractSlider::SliderPageStepAdd:
      request = ScrollRequest::kPageDown;
      break;
    case QAbstractSlider::SliderToMinimum:
      request = ScrollRequest::kTop;
      break;
    case QAbstractSlider::SliderToMaximum:
      request = ScrollRequest::kBottom;
      break;
    case QAbstractSlider::SliderMove:
      request = ScrollRequest::kThumbTrack;
      break;
    default:
      return;
  }
  if (orientation == Qt::Vertical) {
    OnVScroll(request, bar->sliderPosition());
  } else {
    OnHScroll(request, bar->sliderPosition());
  }
}

void COvixLogView::MakeBackBuffer() {
  const QSize size = viewport()->size();
  const qreal ratio = devicePixelRatioF();
  backBuffer_ = QImage(size * ratio, QImage::Format_RGB32);
  backBuffer_.setDevicePixelRatio(ratio);
  clientWidth_ = size.width();
  clientHeight_ = size.height();
}

void COvixLogView::RequestRepaint() {
  ++repaintRequests_;
  viewport()->update();
}

void COvixLogView::OnDraw(QPainter& screen) {
  ++paintCount_;
  QPainter painter;
  if (!backBuffer_.isNull())
    painter.begin(&backBuffer_);
  if (painter.isActive())
    painter.fillRect(0, 0, clientWidth_, clientHeight_, Qt::white);

  // Enough rows to fill the client height, the last one possibly cut off; all read under one
  // lock of the store, so a screenful never mixes two states of it.
  const int wanted = clientHeight_ > 0 ? (clientHeight_ + rowHeight_ - 1) / rowHeight_ : 0;
  rowNumbers_.clear();
  if (document_ != nullptr && wanted > 0) {
    if (titlesPinned_ && firstRow_ > 0) {
      // The titles depend on the settings only, so they and the body may be read apart.
      std::vector<std::string> body;
      document_->FormatDisplayRows(0, std::min(wanted, 2), rows_);
      document_->FormatDisplayRows(firstRow_ + 2, wanted - 2, body);
      for (int i = 0; i < static_cast<int>(rows_.size()); ++i)
        rowNumbers_.push_back(i);
      for (int i = 0; i < static_cast<int>(body.size()); ++i)
        rowNumbers_.push_back(firstRow_ + 2 + i);
      for (std::string& text : body)
        rows_.push_back(std::move(text));
    } else {
      document_->FormatDisplayRows(firstRow_, wanted, rows_);
      for (int i = 0; i < static_cast<int>(rows_.size()); ++i)
        rowNumbers_.push_back(std::max(firstRow_, 0) + i);
    }
  } else {
    rows_.clear();
  }

  if (painter.isActive()) {
    painter.setFont(rowFont_);
    painter.setPen(Qt::black);
    painter.setBackground(Qt::white);
    painter.setBackgroundMode(Qt::OpaqueMode);
  }
  const int selectedRow = selectedSample_ >= 0 ? RowOfSample(selectedSample_) : -1;
  const bool oldestFirst = document_ != nullptr && document_->oldestFirst.load() != 0;
  int y = 0;
  size_t line = 0;
  for (std::string& text : rows_) {
    const int row = rowNumbers_[line++];
    if (firstColumn_ > 0) {
      text.erase(0, std::min(text.size(), static_cast<size_t>(firstColumn_)));
    }
    const bool selected = row == selectedRow;
    if (painter.isActive() && selected) {
      painter.fillRect(0, y, clientWidth_, rowHeight_, QColor(204, 224, 255));
      painter.setBackground(QColor(204, 224, 255));
    }
    if (painter.isActive() && !text.empty()) {
      painter.drawText(0, y + rowAscent_,
                       QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    }
    if (painter.isActive() && selected)
      painter.setBackground(Qt::white);
    // A pause in the stream: a thin rule on the side of the row that faces the earlier sample.
    const int sample = SampleOfRow(row);
    if (painter.isActive() && breakQuery_ && sample > 0 && breakQuery_(sample)) {
      const int ruleY = oldestFirst ? y : y + rowHeight_ - 1;
      painter.fillRect(0, ruleY, clientWidth_, 1, QColor(220, 60, 40));
    }
    if (painter.isActive() && titlesPinned_ && firstRow_ > 0 && row == 1)
      painter.fillRect(0, y + rowHeight_ - 1, clientWidth_, 1, QColor(120, 120, 120));
    y += rowHeight_;
  }
  // Every row has the font's height, so the page is known even when no row was written.
  pageRows_ = clientHeight_ / rowHeight_;
  if (verticalScrollBar()->pageStep() != std::max(pageRows_, 1)) {
    verticalScrollBar()->setPageStep(std::max(pageRows_, 1));
  }
  if (painter.isActive())
    painter.end();
  screen.drawImage(0, 0, backBuffer_);
}

void COvixLogView::SetTitlesPinned(bool pinned) {
  titlesPinned_ = pinned;
  knownRowCount_ = -1;  // the ranges are set again by the next update
  OnUpdate(nullptr, 0);
}

QString COvixLogView::ColumnToolTip(const QString& title, int32_t model) {
  // A numbered title names one of several columns: cylinder 3's, the second aux input's.
  qsizetype digits = title.size();
  while (digits > 0 && title[digits - 1].isDigit())
    --digits;
  const QString stem = title.left(digits);
  const QString number = title.mid(digits);
  if (!number.isEmpty()) {
    if (stem == QLatin1String("CHT"))
      return QStringLiteral("Cylinder head temperature, cylinder %1 (\u00b0F)").arg(number);
    if (stem == QLatin1String("EGT"))
      return QStringLiteral("Exhaust gas temperature, cylinder %1 (\u00b0F)").arg(number);
    if (stem == QLatin1String("Aux"))
      return QStringLiteral("Auxiliary input %1, as the monitor sends it (no unit)").arg(number);
    return QString();
  }
  static const struct {
    const char* title;
    const char* tip;
  } kTips[] = {
      {"Sys-Time", "The computer's clock when the sample arrived (hh:mm:ss.mmm)"},
      {"Flt-Time", "The monitor's flight timer (hh:mm:ss)"},
      {"Tach", "Engine speed (rpm)"},
      {"OilT", "Oil temperature (\u00b0F)"},
      {"OilP", "Oil pressure (psi)"},
      {"Volt", "Bus voltage (V)"},
      {"Unit", "A code the monitor sends with every frame (no unit)"},
      {"Flow", "Fuel flow (gph)"},
      {"Fuel", "Fuel on board as the monitor reckons it (gal)"},
      {"Hours", "Engine hours: the monitor's tach time (h)"},
      {"Carb", "Carburettor air temperature (\u00b0C)"},
      {"Cool", "How fast the cylinder heads cool, as the monitor reckons it (\u00b0F a minute)"},
      {"Aspd", "Airspeed (kt)"},
      {"Alt", "Altitude (ft)"},
      {"VSI", "Vertical speed (ft/min)"},
      {"Baro", "Altimeter setting (inHg)"},
  };
  if (title == QLatin1String("OAT")) {
    // The short frame carries it in Fahrenheit, the long one in Celsius.
    return model == kModel3100 ? QStringLiteral("Outside air temperature (\u00b0F)")
                               : QStringLiteral("Outside air temperature (\u00b0C)");
  }
  for (const auto& tip : kTips) {
    if (title == QLatin1String(tip.title))
      return QString::fromUtf8(tip.tip);
  }
  return QString();
}

QString COvixLogView::TitleToolTipAt(QPoint point) const {
  if (document_ == nullptr || point.x() < 0 || point.y() < 0)
    return QString();
  // Line l shows row firstRow_ + l, except under pinned titles, which cover lines 0 and 1.
  const int line = point.y() / rowHeight_;
  const int row = titlesPinned_ && firstRow_ > 0 && line < 2 ? line : firstRow_ + line;
  if (row > 1)
    return QString();
  std::vector<std::string> titles;
  document_->FormatDisplayRows(0, 1, titles);
  if (titles.empty())
    return QString();
  // The fields stand right-aligned under their titles, each after its blank: a blank belongs
  // to the title after it. Only the computer's time stands left-aligned, 12 characters wide.
  const std::string& text = titles.front();
  size_t at = static_cast<size_t>(firstColumn_ + point.x() / charWidth_);
  if (text.rfind("Sys-Time", 0) == 0 && at < 12)
    at = 0;
  while (at < text.size() && text[at] == ' ')
    ++at;
  if (at >= text.size())
    return QString();
  const size_t before = text.rfind(' ', at);
  const size_t start = before == std::string::npos ? 0 : before + 1;
  const size_t end = std::min(text.find(' ', at), text.size());
  return ColumnToolTip(QString::fromLatin1(text.data() + start, static_cast<qsizetype>(end - start)),
                       document_->model.load());
}

bool COvixLogView::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(event);
    const QString tip = TitleToolTipAt(help->pos());
    if (tip.isEmpty()) {
      QToolTip::hideText();
      event->ignore();
    } else {
      QToolTip::showText(help->globalPos(), tip, viewport());
    }
    return true;
  }
  return QAbstractScrollArea::viewportEvent(event);
}

int COvixLogView::RowOfSample(int index) const {
  if (document_ == nullptr || index < 0)
    return -1;
  const int count = knownRowCount_ - 2;
  if (index >= count)
    return -1;
  return document_->oldestFirst.load() != 0 ? 2 + index : 2 + count - 1 - index;
}

int COvixLogView::SampleOfRow(int row) const {
  if (document_ == nullptr || row < 2)
    return -1;
  const int count = knownRowCount_ - 2;
  const int k = row - 2;
  if (k >= count)
    return -1;
  return document_->oldestFirst.load() != 0 ? k : count - 1 - k;
}

void COvixLogView::SelectSample(int index, bool scroll) {
  selectedSample_ = index;
  const int row = RowOfSample(index);
  if (scroll && row >= 0) {
    const int page = std::max(pageRows_, 1);
    // Under pinned titles the rows from firstRow_ + 2 on are the ones in view.
    const int top = titlesPinned_ ? firstRow_ + 2 : firstRow_;
    if (row < top) {
      OnVScroll(ScrollRequest::kThumbPosition, std::max(row - (top - firstRow_), 0));
    } else if (row >= firstRow_ + page) {
      OnVScroll(ScrollRequest::kThumbPosition, std::max(row - page + 1, 0));
    }
  }
  RequestRepaint();
}

void COvixLogView::OnSamplesAppended(int first, int count) {
  if (document_ == nullptr || count <= first)
    return;
  const int added = count - first;
  if (document_->oldestFirst.load() == 0) {
    // The newest row is at the top: everything below it moves down by the new rows.
    if (firstRow_ > 0)
      firstRow_ += added;
    return;
  }
  // Oldest first: a view that showed the last row goes on showing it.
  const int oldRows = first + 2;
  if (pageRows_ > 0 && firstRow_ + pageRows_ >= oldRows && count + 2 > pageRows_)
    firstRow_ = std::max(count + 2 - pageRows_, 0);
}

void COvixLogView::mousePressEvent(QMouseEvent* event) {
  setFocus(Qt::MouseFocusReason);
  // Line l shows row firstRow_ + l, also under pinned titles (which cover lines 0 and 1).
  const int line = static_cast<int>(event->position().y()) / rowHeight_;
  const int row = titlesPinned_ && firstRow_ > 0 && line < 2 ? line : firstRow_ + line;
  const int sample = SampleOfRow(row);
  if (sample >= 0 && event->button() == Qt::LeftButton) {
    SelectSample(sample, false);
    emit sampleSelected(sample);
  }
  event->accept();
}

void COvixLogView::paintEvent(QPaintEvent* event) {
  (void)event;
  QPainter screen(viewport());
  if (!bufferReady_) {
    screen.fillRect(viewport()->rect(), Qt::white);
    return;
  }
  OnDraw(screen);
}

void COvixLogView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  if (!bufferReady_)
    return;
  if (viewport()->width() != clientWidth_ || viewport()->height() != clientHeight_ ||
      backBuffer_.devicePixelRatio() != devicePixelRatioF()) {
    MakeBackBuffer();
    if (titlesPinned_) {
      knownRowCount_ = -1;  // the horizontal range depends on the width
      OnUpdate(nullptr, 0);
    }
  }
}

void COvixLogView::scrollContentsBy(int dx, int dy) {
  // The positions live in firstRow_ and firstColumn_ and every scroll request repaints; the
  // bars' own value changes move no pixels.
  (void)dx;
  (void)dy;
}

void COvixLogView::wheelEvent(QWheelEvent* event) {
  const QPoint delta = event->angleDelta();
  const bool horizontal =
      (delta.x() != 0 && delta.y() == 0) || (event->modifiers() & Qt::ShiftModifier);
  const int amount = horizontal ? (delta.x() != 0 ? delta.x() : delta.y()) : delta.y();
  int& remainder = horizontal ? wheelRemainderH_ : wheelRemainderV_;
  remainder += amount;
  const int notches = remainder / kWheelNotch;
  remainder -= notches * kWheelNotch;
  const int lines = notches * QApplication::wheelScrollLines();
  // Turning the wheel away from the user scrolls towards the top.
  const ScrollRequest request = lines > 0 ? ScrollRequest::kLineUp : ScrollRequest::kLineDown;
  for (int i = 0; i < std::abs(lines); ++i) {
    if (horizontal) {
      OnHScroll(request);
    } else {
      OnVScroll(request);
    }
  }
  event->accept();
}

void COvixLogView::keyPressEvent(QKeyEvent* event) {
  // With a row selected, the arrow keys move the selection up and down the table.
  if (selectedSample_ >= 0 && (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)) {
    const int row = RowOfSample(selectedSample_) + (event->key() == Qt::Key_Up ? -1 : 1);
    const int sample = SampleOfRow(row);
    if (sample >= 0) {
      SelectSample(sample, true);
      emit sampleSelected(sample);
    }
    event->accept();
    return;
  }
  switch (event->key()) {
    case Qt::Key_Up:
      OnVScroll(ScrollRequest::kLineUp);
      break;
    case Qt::Key_Down:
      OnVScroll(ScrollRequest::kLineDown);
      break;
    case Qt::Key_PageUp:
      OnVScroll(ScrollRequest::kPageUp);
      break;
    case Qt::Key_PageDown:
      OnVScroll(ScrollRequest::kPageDown);
      break;
    case Qt::Key_Home:
      OnVScroll(ScrollRequest::kTop);
      break;
    case Qt::Key_End:
      OnVScroll(ScrollRequest::kBottom);
      break;
    case Qt::Key_Left:
      OnHScroll(ScrollRequest::kLineUp);
      break;
    case Qt::Key_Right:
      OnHScroll(ScrollRequest::kLineDown);
      break;
    default:
      QAbstractScrollArea::keyPressEvent(event);
      return;
  }
  event->accept();
}

}  // namespace ovixlog
