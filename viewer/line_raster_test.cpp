// Lines written into pixels: ends reached, nothing outside the image.

#include <gtest/gtest.h>

#include <vector>

#include "viewer/line_raster.h"

namespace vostrel::gui {
namespace {

TEST(LineRaster, ReachesItsEndsAndNeverWritesOutsideTheImage) {
  // A 20 x 10 image inside a larger buffer: the margin must stay clear.
  constexpr int kWidth = 20, kHeight = 10, kStride = 40, kRows = 30, kTop = 10;
  struct Case {
    double x0, y0, x1, y1;
    int firstX, firstY, lastX, lastY;  // pixels that must be set; -1: none set at all
  } cases[] = {
      {2.5, 3.5, 15.5, 7.5, 2, 3, 15, 7},         // inside
      {15.5, 9.5, 0.5, 0.5, 15, 9, 0, 0},         // backwards, steep-ish
      {-1e6, -1e6, 1e6, 1e6, 0, 0, 9, 9},         // through the image from far outside
      {5.5, -50, 5.5, 50, 5, 0, 5, 9},            // vertical, clipped at both ends
      {-10, -10, -1, 30, -1, -1, -1, -1},         // wholly left of the image
      {30, 2, 60, 8, -1, -1, -1, -1},             // wholly right of it
  };
  for (const Case& c : cases) {
    std::vector<std::uint32_t> buffer(kStride * kRows, 0);
    const PixelImage image{buffer.data() + kTop * kStride, kWidth, kHeight, kStride};
    RasterLine(image, c.x0, c.y0, c.x1, c.y1, 1, false);
    int set = 0;
    for (int row = 0; row < kRows; ++row)
      for (int x = 0; x < kStride; ++x) {
        if (!buffer[row * kStride + x]) continue;
        ++set;
        EXPECT_TRUE(row >= kTop && row < kTop + kHeight && x < kWidth) << c.x0 << "," << c.y0 << ": " << x << "," << row;
      }
    if (c.firstX < 0) {
      EXPECT_EQ(set, 0) << c.x0;
      continue;
    }
    EXPECT_EQ(image.bits[c.firstY * kStride + c.firstX], 1u) << c.x0 << "," << c.y0;
    EXPECT_EQ(image.bits[c.lastY * kStride + c.lastX], 1u) << c.x0 << "," << c.y0;
  }
}

}  // namespace
}  // namespace vostrel::gui
