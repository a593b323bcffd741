// Weighted running sums for a straight-line fit y = a + b x: observations
// are added one by one (or a batch of them at once), and the centred sums
// that the fit needs are read at any time without keeping the observations.
#pragma once

namespace psk {

struct LineSums {
  double w = 0, x = 0, y = 0, xx = 0, xy = 0, yy = 0;  // weighted sums
  int count = 0;                                       // observations added

  void add(double weight, double xv, double yv) {
    w += weight;
    x += weight * xv;
    y += weight * yv;
    xx += weight * xv * xv;
    xy += weight * xv * yv;
    yy += weight * yv * yv;
    ++count;
  }
  void add(const LineSums& o) {
    w += o.w;
    x += o.x;
    y += o.y;
    xx += o.xx;
    xy += o.xy;
    yy += o.yy;
    count += o.count;
  }
  // Weighted means and centred sums; meaningful once w > 0.
  double mean_x() const { return x / w; }
  double mean_y() const { return y / w; }
  double sxx() const { return xx - w * mean_x() * mean_x(); }
  double sxy() const { return xy - w * mean_x() * mean_y(); }
  double syy() const { return yy - w * mean_y() * mean_y(); }
};

}  // namespace psk
