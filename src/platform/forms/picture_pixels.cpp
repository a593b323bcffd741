// One-pixel drawing straight into a picture box's backing image.  Points
// and line ends go to the nearest pixel; lines include both end pixels; a
// filled box covers every pixel from corner to corner.
#include <cmath>

#include "platform/forms/picture_impl.h"

namespace forms {
namespace {

int Nearest(double v) {
  return static_cast<int>(std::floor(v + 0.5));
}

// Nearest() for values of -1 and up (clipped coordinates): no floor needed.
int NearestClipped(double v) {
  return static_cast<int>(v + 2.5) - 2;
}

}  // namespace

namespace detail {

// Cohen-Sutherland: a cut end is placed exactly on the edge it crosses and
// only the other coordinate is interpolated, so a level line from far away
// keeps its height exactly.
bool ClipSegment(double& ax, double& ay, double& bx, double& by, double x0, double y0, double x1,
                 double y1) {
  auto code = [&](double x, double y) {
    return (x < x0 ? 1 : 0) | (x > x1 ? 2 : 0) | (y < y0 ? 4 : 0) | (y > y1 ? 8 : 0);
  };
  int ca = code(ax, ay), cb = code(bx, by);
  for (int step = 0; step < 8; ++step) {
    if ((ca | cb) == 0) return true;
    if ((ca & cb) != 0) return false;
    const bool first = ca != 0;
    const int c = first ? ca : cb;
    double& x = first ? ax : bx;
    double& y = first ? ay : by;
    const double ox = first ? bx : ax, oy = first ? by : ay;
    if (c & 1) {
      y += (oy - y) * ((x0 - x) / (ox - x));
      x = x0;
    } else if (c & 2) {
      y += (oy - y) * ((x1 - x) / (ox - x));
      x = x1;
    } else if (c & 4) {
      x += (ox - x) * ((y0 - y) / (oy - y));
      y = y0;
    } else {
      x += (ox - x) * ((y1 - y) / (oy - y));
      y = y1;
    }
    (first ? ca : cb) = code(x, y);
  }
  return (ca | cb) == 0;
}

}  // namespace detail

bool PictureBox::Impl::DirectReady() {
  if (bits != nullptr && widget != nullptr && widget->width() == width_px &&
      widget->height() == height_px)
    return true;
  EnsureImageSize();
  if (image.isNull()) return false;
  bits = image.bits();  // the image is not shared: no copy is made
  bytes_per_line = image.bytesPerLine();
  width_px = image.width();
  height_px = image.height();
  return true;
}

void PictureBox::Impl::DirectPoint(double x, double y, QRgb colour) {
  if (!std::isfinite(x) || !std::isfinite(y)) return;
  if (std::fabs(x) > 1e9 || std::fabs(y) > 1e9) return;
  SetPixel(Nearest(x), Nearest(y), colour);
}

void PictureBox::Impl::DirectLine(double x1, double y1, double x2, double y2, QRgb colour) {
  if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) return;
  // Only the part that can reach a pixel of the image is stepped through.
  const double w = width_px, h = height_px;
  const bool inside =
      x1 >= -1 && x1 <= w && x2 >= -1 && x2 <= w && y1 >= -1 && y1 <= h && y2 >= -1 && y2 <= h;
  if (!inside && !detail::ClipSegment(x1, y1, x2, y2, -1, -1, w, h)) return;
  int x = NearestClipped(x1), y = NearestClipped(y1);
  const int xe = NearestClipped(x2), ye = NearestClipped(y2);
  if (x == xe) {  // upright: the waterfall's strokes, grid and cursor lines
    if (static_cast<unsigned>(x) >= static_cast<unsigned>(width_px)) return;
    const int end = std::min(std::max(y, ye), height_px - 1);
    for (int v = std::max(std::min(y, ye), 0); v <= end; ++v)
      reinterpret_cast<QRgb*>(bits + v * bytes_per_line)[x] = colour;
    return;
  }
  const int dx = std::abs(xe - x), sx = x < xe ? 1 : -1;
  const int dy = -std::abs(ye - y), sy = y < ye ? 1 : -1;
  int err = dx + dy;
  for (;;) {
    SetPixel(x, y, colour);
    if (x == xe && y == ye) break;
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

void PictureBox::Impl::DirectFill(double x1, double y1, double x2, double y2, QRgb colour) {
  if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) return;
  const double w = width_px, h = height_px;
  const int left = NearestClipped(std::clamp(std::min(x1, x2), -1.0, w));
  const int right = NearestClipped(std::clamp(std::max(x1, x2), -1.0, w));
  const int top = NearestClipped(std::clamp(std::min(y1, y2), -1.0, h));
  const int bottom = NearestClipped(std::clamp(std::max(y1, y2), -1.0, h));
  const int x0 = std::max(left, 0), xn = std::min(right, width_px - 1);
  for (int y = std::max(top, 0); y <= std::min(bottom, height_px - 1); ++y) {
    QRgb* row = reinterpret_cast<QRgb*>(bits + y * bytes_per_line);
    for (int x = x0; x <= xn; ++x) row[x] = colour;
  }
}

}  // namespace forms
