#pragma once
// One-pixel lines written straight into 32-bit pixels: for drawings of a
// million lines, where a general painter spends most of its time per pixel
// on blending and pen set-up. Lines are clipped to the image; a dashed line
// is four pixels on and three off along its longer axis.

#include <cstdint>

namespace vostrel::gui {

struct PixelImage {
  std::uint32_t* bits = nullptr;
  int width = 0;
  int height = 0;
  int stride = 0;  // pixels from one row to the next
};

void RasterLine(const PixelImage& image, double x0, double y0, double x1, double y1, std::uint32_t pixel,
                bool dashed);

}  // namespace vostrel::gui
