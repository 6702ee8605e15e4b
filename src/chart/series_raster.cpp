#include "chart/series_raster.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace ovixlog {

SeriesRaster::SeriesRaster(uint32_t* pixels, int width, int height, int stride)
    : pixels_(pixels), width_(width), height_(height), stride_(stride) {}

void SeriesRaster::Run(int x, int y0, int y1) {
  if (x < 0 || x >= width_)
    return;
  if (y0 > y1)
    std::swap(y0, y1);
  y0 = std::max(y0, 0);
  y1 = std::min(y1, height_ - 1);
  uint32_t* pixel = pixels_ + static_cast<ptrdiff_t>(y0) * stride_ + x;
  for (int y = y0; y <= y1; ++y, pixel += stride_)
    *pixel = color_;
}

int SeriesRaster::Row(double y) const {
  if (!std::isfinite(y))
    return -1;
  return static_cast<int>(std::floor(std::clamp(y, -1.0, static_cast<double>(height_))));
}

void SeriesRaster::Line(double x0, double y0, double x1, double y1) {
  if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1))
    return;
  if (x0 > x1) {
    std::swap(x0, x1);
    std::swap(y0, y1);
  }
  const double firstColumn = std::floor(x0);
  const double lastColumn = std::floor(x1);
  if (lastColumn < 0.0 || firstColumn >= width_)
    return;
  // Columns beyond either edge are clipped; `last` past the right edge means the line runs on.
  const int last = lastColumn >= width_ ? width_ : static_cast<int>(lastColumn);
  const double dx = x1 - x0;
  if (dx < 1e-9) {
    Run(last, Row(y0), Row(y1));
    return;
  }
  const double slope = (y1 - y0) / dx;
  const int from = firstColumn < 0.0 ? 0 : static_cast<int>(firstColumn);
  const int to = std::min(last, width_ - 1);
  for (int c = from; c <= to; ++c) {
    const double a = std::max(x0, static_cast<double>(c));
    const double b = std::min(x1, static_cast<double>(c) + 1.0);
    const int ra = Row(y0 + (a - x0) * slope);
    int rb = Row(y0 + (b - x0) * slope);
    if (c != last && rb != ra)
      rb += rb > ra ? -1 : 1;
    Run(c, ra, rb);
  }
}

}  // namespace ovixlog
