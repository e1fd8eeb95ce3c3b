#include "viewer/line_raster.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace vostrel::gui {

namespace {

// Liang-Barsky: the part of the line inside [0, w] x [0, h]; false when
// none is.
bool Clip(double& x0, double& y0, double& x1, double& y1, double w, double h) {
  double t0 = 0, t1 = 1;
  const double dx = x1 - x0, dy = y1 - y0;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x0, w - x0, y0, h - y0};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0) {
      if (t > t1) return false;
      if (t > t0) t0 = t;
    } else {
      if (t < t0) return false;
      if (t < t1) t1 = t;
    }
  }
  const double sx = x0, sy = y0;
  x0 = sx + t0 * dx, y0 = sy + t0 * dy;
  x1 = sx + t1 * dx, y1 = sy + t1 * dy;
  return true;
}

}  // namespace

void RasterLine(const PixelImage& image, double x0, double y0, double x1, double y1, std::uint32_t pixel,
                bool dashed) {
  if (image.width <= 0 || image.height <= 0) return;
  if (!Clip(x0, y0, x1, y1, image.width - 0.5, image.height - 0.5)) return;
  // The clipped ends lie inside the image: no pixel needs a check.
  const auto clampTo = [](double v, int size) { return std::min(std::max(static_cast<int>(v), 0), size - 1); };
  int ax = clampTo(x0, image.width), ay = clampTo(y0, image.height);
  const int bx = clampTo(x1, image.width), by = clampTo(y1, image.height);
  const int dx = std::abs(bx - ax), dy = std::abs(by - ay);
  const std::ptrdiff_t stepX = ax < bx ? 1 : -1, stepY = ay < by ? image.stride : -image.stride;
  // Along the longer axis one pixel a step, the other axis when the error
  // says so.
  const bool xMajor = dx >= dy;
  const int major = xMajor ? dx : dy, minor = xMajor ? dy : dx;
  const std::ptrdiff_t majorStep = xMajor ? stepX : stepY, minorStep = xMajor ? stepY : stepX;
  std::uint32_t* at = image.bits + static_cast<std::ptrdiff_t>(ay) * image.stride + ax;
  int error = major / 2;
  for (int i = 0;; ++i) {
    if (!dashed || i % 7 < 4) *at = pixel;
    if (i == major) break;
    at += majorStep;
    error -= minor;
    if (error < 0) error += major, at += minorStep;
  }
}

}  // namespace vostrel::gui
