// How the series of a printed chart and the cylinders of a lean test tell themselves apart
// where colour is lost (a black-and-white print, a reader who cannot tell the colours): each
// has a dash style and a marker shape besides its colour, and the first nine (the most
// cylinders a monitor has) differ in their shape alone.
#pragma once

#include <QColor>
#include <QPointF>
#include <Qt>

class QPainter;

namespace ovixlog {

enum class SeriesMarker {
  kCircle,
  kSquare,
  kTriangleUp,
  kDiamond,
  kTriangleDown,
  kPlus,
  kCross,
  kStar,
  kTriangleRight,
};
inline constexpr int kSeriesMarkerCount = 9;

struct SeriesLook {
  QColor color;
  Qt::PenStyle dash = Qt::SolidLine;
  SeriesMarker marker = SeriesMarker::kCircle;

  // The `n`-th series (0 up): the charts' colour of that series, one of five dash styles in
  // turn and one of nine marker shapes in turn.
  static SeriesLook For(int n);
};

// Draws `marker` centred on `at`, `size` across, with the painter's pen and brush.
void DrawSeriesMarker(QPainter& painter, QPointF at, SeriesMarker marker, double size);

}  // namespace ovixlog
