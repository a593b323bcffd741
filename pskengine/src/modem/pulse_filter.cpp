#include "modem/pulse_filter.h"

#include <cmath>
#include <numbers>

namespace psk {

std::vector<float> zero_isi_matched_filter(int sps) {
  // The filter is a combination of the pulse shifted by -2..2 symbols (the
  // least-norm solution of the five zero/one constraints): h = C * lambda
  // with (C C^T) lambda = e_centre.
  constexpr int kShifts = 5;
  const int pulse_len = 2 * sps;
  const int len = pulse_len + (kShifts - 1) * sps;
  std::vector<double> pulse(static_cast<size_t>(pulse_len));
  for (int n = 0; n < pulse_len; ++n) {
    const double s = std::sin(std::numbers::pi * (n + 0.5) / pulse_len);
    pulse[static_cast<size_t>(n)] = s * s;
  }
  auto column = [&](int j, int n) {
    const int i = n - j * sps;
    return (i >= 0 && i < pulse_len) ? pulse[static_cast<size_t>(i)] : 0.0;
  };
  double g[kShifts][kShifts + 1] = {};
  for (int i = 0; i < kShifts; ++i) {
    for (int j = 0; j < kShifts; ++j)
      for (int n = 0; n < len; ++n) g[i][j] += column(i, n) * column(j, n);
    g[i][kShifts] = (i == kShifts / 2) ? 1.0 : 0.0;
  }
  for (int i = 0; i < kShifts; ++i)  // Gauss-Jordan; the Gram matrix is positive definite
    for (int r = 0; r < kShifts; ++r) {
      if (r == i) continue;
      const double f = g[r][i] / g[i][i];
      for (int c = 0; c <= kShifts; ++c) g[r][c] -= f * g[i][c];
    }
  std::vector<float> taps(static_cast<size_t>(len), 0.0f);
  for (int j = 0; j < kShifts; ++j) {
    const double lambda = g[j][kShifts] / g[j][j];
    for (int n = 0; n < len; ++n)
      taps[static_cast<size_t>(n)] += static_cast<float>(lambda * column(j, n));
  }
  return taps;
}

ComplexFir::ComplexFir(std::vector<float> taps) : taps_(std::move(taps)) {
  if (taps_.empty()) taps_.push_back(1.0f);
  history_.assign(2 * taps_.size(), {0.0f, 0.0f});
}

void ComplexFir::reset() {
  std::fill(history_.begin(), history_.end(), std::complex<float>{0.0f, 0.0f});
  pos_ = 0;
}

std::complex<float> ComplexFir::process(std::complex<float> x) {
  const size_t len = taps_.size();
  history_[pos_] = x;
  history_[pos_ + len] = x;
  pos_ = (pos_ + 1 == len) ? 0 : pos_ + 1;
  const std::complex<float>* h = &history_[pos_];  // oldest first
  float re = 0.0f, im = 0.0f;
  for (size_t i = 0; i < len; ++i) {
    const float t = taps_[len - 1 - i];
    re += t * h[i].real();
    im += t * h[i].imag();
  }
  return {re, im};
}

}  // namespace psk
