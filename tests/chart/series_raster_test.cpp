// The charts' line rasterizer, drawn into small buffers and compared with hand-drawn pictures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "chart/series_raster.h"

namespace ovixlog {
namespace {

constexpr int kWidth = 6;
constexpr int kHeight = 5;
constexpr int kStride = 8;  // two pixels of padding per row that must stay untouched
constexpr uint32_t kInk = 0xff123456u;
constexpr uint32_t kPaper = 0xffffffffu;

// Draws into a padded 6 x 5 buffer and returns it as rows of '#' (ink) and '.' (paper); a
// padding pixel written shows as '!'.
std::string Picture(const std::function<void(SeriesRaster&)>& draw) {
  std::vector<uint32_t> pixels(kStride * kHeight, kPaper);
  SeriesRaster raster(pixels.data(), kWidth, kHeight, kStride);
  raster.SetColor(kInk);
  draw(raster);
  std::string out;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kStride; ++x) {
      const bool inked = pixels[static_cast<size_t>(y * kStride + x)] == kInk;
      if (x < kWidth)
        out += inked ? '#' : '.';
      else if (inked)
        out += '!';
    }
    out += '\n';
  }
  return out;
}

struct Case {
  const char* name;
  std::function<void(SeriesRaster&)> draw;
  const char* picture;
};

TEST(SeriesRaster, DrawsLinesAndRunsClipped) {
  constexpr double kFar = 1e12;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Case cases[] = {
      {"run in either order, clipped to the buffer",
       [](SeriesRaster& r) {
         r.Run(5, 3, 1);
         r.Run(0, -7, 1);
         r.Run(2, 4, 99);
         r.Run(-1, 0, 4);
         r.Run(kWidth, 0, 4);
       },
       "#.....\n#....#\n.....#\n.....#\n..#...\n"},
      {"shallow line: one row per column",
       [](SeriesRaster& r) { r.Line(0.5, 0.5, 5.5, 0.5); },
       "######\n......\n......\n......\n......\n"},
      {"steep line: one column per row, no row doubled at the column edge",
       [](SeriesRaster& r) { r.Line(0.5, 0.5, 1.5, 4.5); },
       "#.....\n#.....\n.#....\n.#....\n.#....\n"},
      {"the same line drawn from its other end",
       [](SeriesRaster& r) { r.Line(1.5, 4.5, 0.5, 0.5); },
       "#.....\n#.....\n.#....\n.#....\n.#....\n"},
      {"diagonal",
       [](SeriesRaster& r) { r.Line(0.5, 0.5, 4.5, 4.5); },
       "#.....\n.#....\n..#...\n...#..\n....#.\n"},
      {"ends far outside on both sides",
       [&](SeriesRaster& r) {
         r.Line(-kFar, 2.5, 2.5, 2.5);
         r.Line(3.5, 2.5, kFar, 2.5);
       },
       "......\n......\n######\n......\n......\n"},
      {"rows far outside are clipped",
       [&](SeriesRaster& r) { r.Line(3.5, -kFar, 3.5, kFar); },
       "...#..\n...#..\n...#..\n...#..\n...#..\n"},
      {"a line wholly outside, and one that is not a number, draw nothing",
       [&](SeriesRaster& r) {
         r.Line(-3.0, 1.0, -0.5, 3.0);
         r.Line(6.0, 1.0, 9.0, 3.0);
         r.Line(0.5, nan, 4.5, 2.0);
         r.Line(0.5, 1.0, nan, 2.0);
       },
       "......\n......\n......\n......\n......\n"},
      {"column runs between far or missing heights",
       [&](SeriesRaster& r) {
         r.Run(1, r.Row(-kFar), r.Row(1.9));
         r.Run(4, r.Row(3.0), r.Row(kFar));
         r.Run(5, r.Row(nan), r.Row(nan));
       },
       ".#....\n.#....\n......\n....#.\n....#.\n"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Picture(c.draw), c.picture) << c.name;
}

}  // namespace
}  // namespace ovixlog
