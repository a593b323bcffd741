#include "sim/hilbert.h"

#include <cmath>
#include <numbers>

namespace psk {
namespace {
constexpr int kLength = 2 * HilbertTransformer::kHalfLength + 1;

double bessel_i0(double x) {
  double sum = 1, term = 1;
  for (int k = 1; k < 60; ++k) {
    term *= (x / (2 * k)) * (x / (2 * k));
    sum += term;
  }
  return sum;
}
}  // namespace

HilbertTransformer::HilbertTransformer() {
  constexpr double kBeta = 8.0;
  for (int n = 1; n <= kHalfLength; n += 2) {
    const double ratio = static_cast<double>(n) / (kHalfLength + 1);
    const double window = bessel_i0(kBeta * std::sqrt(1 - ratio * ratio)) / bessel_i0(kBeta);
    taps_.push_back(static_cast<float>(2.0 / (std::numbers::pi * n) * window));
  }
  reset();
}

void HilbertTransformer::reset() {
  line_.assign(2 * kLength, 0.0f);
  pos_ = 0;
}

std::complex<float> HilbertTransformer::process(float x) {
  pos_ = pos_ == 0 ? kLength - 1 : pos_ - 1;
  line_[pos_] = x;
  line_[pos_ + kLength] = x;
  // line_[pos_ + i] is the input i samples ago; the centre is kHalfLength ago.
  const float* d = &line_[pos_];
  float imag = 0;
  for (size_t j = 0; j < taps_.size(); ++j) {
    const int n = 2 * static_cast<int>(j) + 1;
    imag += taps_[j] * (d[kHalfLength - n] - d[kHalfLength + n]);
  }
  return {d[kHalfLength], imag};
}

}  // namespace psk
