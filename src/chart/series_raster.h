// One-pixel series lines written straight into a 32-bit pixel buffer, one vertical run of rows
// per pixel column. A day's envelope is some twenty thousand column strokes and joins; handing
// each to a general line stroker costs several times the whole rest of a repaint, while a run of
// rows in one column is a handful of stores.
#pragma once

#include <cstdint>

namespace ovixlog {

class SeriesRaster {
 public:
  // `pixels` holds `height` rows of `stride` pixels, of which the first `width` are drawn.
  SeriesRaster(uint32_t* pixels, int width, int height, int stride);

  void SetColor(uint32_t pixel) { color_ = pixel; }

  // Column `x`, rows `y0` to `y1` (either order, both included), clipped to the buffer.
  void Run(int x, int y0, int y1);

  // A line between two points in pixel units, where column c covers [c, c + 1) and row r covers
  // [r, r + 1). Each column the line crosses gets the rows it passes over,
  // the row it leaves through excepted so that steep lines are not doubled at column edges;
  // a shallow line gets one row per column. Parts outside the buffer are clipped.
  void Line(double x0, double y0, double x1, double y1);

  // The row a height in pixel units falls in, held to one row beyond either edge so that far or
  // huge heights still convert safely; not finite heights give the row above the buffer.
  int Row(double y) const;

 private:
  uint32_t* pixels_;
  int width_;
  int height_;
  int stride_;
  uint32_t color_ = 0xff000000u;
};

}  // namespace ovixlog
