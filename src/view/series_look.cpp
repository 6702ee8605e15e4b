#include "view/series_look.h"

#include <QPainter>
#include <QPolygonF>

#include <cmath>
#include <cstdlib>

#include "view/plot_painter.h"

namespace ovixlog {
namespace {

// A plus of arms a third of `size` thick, turned by `degrees`.
QPolygonF Plus(QPointF at, double size, double degrees) {
  const double h = size / 2;
  const double t = size / 6;
  const QPointF corners[] = {{-t, -h}, {t, -h}, {t, -t}, {h, -t}, {h, t},   {t, t},
                             {t, h},   {-t, h}, {-t, t}, {-h, t}, {-h, -t}, {-t, -t}};
  const double a = degrees * M_PI / 180.0;
  QPolygonF polygon;
  for (const QPointF& c : corners) {
    polygon << QPointF(at.x() + c.x() * std::cos(a) - c.y() * std::sin(a),
                       at.y() + c.x() * std::sin(a) + c.y() * std::cos(a));
  }
  return polygon;
}

}  // namespace

SeriesLook SeriesLook::For(int n) {
  static const Qt::PenStyle kDashes[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine,
                                         Qt::DashDotLine, Qt::DashDotDotLine};
  const int k = std::abs(n);
  return SeriesLook{SeriesColor(k), kDashes[k % 5],
                    static_cast<SeriesMarker>(k % kSeriesMarkerCount)};
}

void DrawSeriesMarker(QPainter& painter, QPointF at, SeriesMarker marker, double size) {
  const double h = size / 2;
  switch (marker) {
    case SeriesMarker::kCircle:
      painter.drawEllipse(at, h, h);
      break;
    case SeriesMarker::kSquare:
      painter.drawRect(QRectF(at.x() - h, at.y() - h, size, size));
      break;
    case SeriesMarker::kTriangleUp: {
      const QPointF points[] = {{at.x(), at.y() - h}, {at.x() + h, at.y() + h},
                                {at.x() - h, at.y() + h}};
      painter.drawPolygon(points, 3);
      break;
    }
    case SeriesMarker::kDiamond: {
      const QPointF points[] = {{at.x(), at.y() - h}, {at.x() + h, at.y()},
                                {at.x(), at.y() + h}, {at.x() - h, at.y()}};
      painter.drawPolygon(points, 4);
      break;
    }
    case SeriesMarker::kTriangleDown: {
      const QPointF points[] = {{at.x(), at.y() + h}, {at.x() + h, at.y() - h},
                                {at.x() - h, at.y() - h}};
      painter.drawPolygon(points, 3);
      break;
    }
    case SeriesMarker::kPlus:
      painter.drawPolygon(Plus(at, size, 0.0));
      break;
    case SeriesMarker::kCross:
      painter.drawPolygon(Plus(at, size * 1.15, 45.0));
      break;
    case SeriesMarker::kStar: {
      // Five points, the inner corners at under half the outer radius.
      QPolygonF star;
      for (int i = 0; i < 10; ++i) {
        const double radius = i % 2 == 0 ? h * 1.1 : h * 0.5;
        const double a = (-90.0 + 36.0 * i) * M_PI / 180.0;
        star << QPointF(at.x() + radius * std::cos(a), at.y() + radius * std::sin(a));
      }
      painter.drawPolygon(star);
      break;
    }
    case SeriesMarker::kTriangleRight: {
      const QPointF points[] = {{at.x() + h, at.y()}, {at.x() - h, at.y() - h},
                                {at.x() - h, at.y() + h}};
      painter.drawPolygon(points, 3);
      break;
    }
  }
}

}  // namespace ovixlog
