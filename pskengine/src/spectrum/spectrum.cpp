#include "spectrum/spectrum.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace psk {
namespace {
// Below this mean power per bin (about -150 dB of full scale) a bin counts as
// silent, so digital silence reads 0 rather than noise amplified to the floor.
constexpr float kSilentPower = 1e-15f;
}  // namespace

Spectrum::Spectrum() : fft_(kFftSize) {
  double sum = 0;
  for (int n = 0; n < kFftSize; ++n) {
    const double x = 2.0 * std::numbers::pi * n / kFftSize;
    window_[n] = static_cast<float>(0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2 * x) -
                                    0.01168 * std::cos(3 * x));
    sum += window_[n];
  }
  // A sine of amplitude a centred on a bin gives |X| = a * sum / 2; scale so
  // that it reads as its mean power a^2 / 2.
  power_scale_ = static_cast<float>(2.0 / (sum * sum));
  reset();
}

void Spectrum::reset() {
  samples_.fill(0.0f);
  sample_pos_ = 0;
  history_count_ = 0;
  history_next_ = 0;
  newest_.fill(0.0f);
  mean_.fill(0.0f);
  noise_reference_ = 0.0f;
  levels_.fill(0);
}

int32_t Spectrum::set_smoothing(int32_t n) {
  if (n < 1 || n > kMaxSmoothing) return -1;
  smoothing_ = n;
  recompute_mean();
  recompute_levels();
  return 0;
}

int32_t Spectrum::set_bias(int32_t bias) {
  if (bias < 1 || bias > 90) return -1;
  bias_ = bias;
  recompute_levels();
  return 0;
}

void Spectrum::push(std::span<const float> samples) {
  for (float s : samples) {
    samples_[sample_pos_] = s;
    sample_pos_ = (sample_pos_ + 1) % kFftSize;
  }
}

void Spectrum::update() {
  std::span<float> in = fft_.input();
  for (int n = 0; n < kFftSize; ++n) {
    in[n] = samples_[(sample_pos_ + n) % kFftSize] * window_[n];
  }
  fft_.execute();
  std::span<const std::complex<float>> out = fft_.output();
  std::array<float, kBins>& slot = history_[history_next_];
  for (int k = 0; k < kBins; ++k) slot[k] = std::norm(out[k]) * power_scale_;
  newest_ = slot;
  history_next_ = (history_next_ + 1) % kMaxSmoothing;
  history_count_ = std::min(history_count_ + 1, kMaxSmoothing);
  recompute_mean();
  recompute_levels();
}

void Spectrum::recompute_mean() {
  const int n = std::min(smoothing_, history_count_);
  mean_.fill(0.0f);
  if (n == 0) return;
  for (int i = 1; i <= n; ++i) {
    const auto& spectrum = history_[(history_next_ - i + kMaxSmoothing) % kMaxSmoothing];
    for (int k = 0; k < kBins; ++k) mean_[k] += spectrum[k];
  }
  for (float& p : mean_) p /= static_cast<float>(n);
}

void Spectrum::recompute_levels() {
  std::array<float, kNoiseLastBin - kNoiseFirstBin + 1> band{};
  std::copy(mean_.begin() + kNoiseFirstBin, mean_.begin() + kNoiseLastBin + 1, band.begin());
  auto middle = band.begin() + band.size() / 2;
  std::nth_element(band.begin(), middle, band.end());
  noise_reference_ = *middle;
  for (int k = 0; k < kBins; ++k) levels_[k] = level_of(mean_[k], noise_reference_, bias_);
}

int32_t Spectrum::level_of(float power, float noise_reference, int32_t bias) {
  if (power < kSilentPower) return 0;
  const double reference = std::max(noise_reference, kSilentPower);
  const double level =
      kFloorLevel + kLevelsPerDb * 10.0 * std::log10(power / reference) - kBiasStep * (bias - 1);
  return static_cast<int32_t>(std::clamp(std::lround(level), 0L, 100L));
}

}  // namespace psk
