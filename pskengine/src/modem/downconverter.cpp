#include "modem/downconverter.h"

#include <complex>
// liquid-dsp must follow <complex>.
#include <liquid/liquid.h>

#include <cmath>
#include <numbers>
#include <numeric>

namespace psk {

std::optional<Downconverter> Downconverter::make(int decimation, double passband_hz,
                                                 double sample_rate_hz) {
  if (decimation < 1 || !(sample_rate_hz > 0) || !(passband_hz > 0) ||
      !(passband_hz < 0.5 * sample_rate_hz / decimation))
    return std::nullopt;
  return Downconverter(decimation, passband_hz, sample_rate_hz);
}

Downconverter::Downconverter(int decimation, double passband_hz, double sample_rate_hz)
    : decimation_(decimation), rate_(sample_rate_hz) {
  const double out_rate = rate_ / decimation_;
  // Transition from passband_hz to out_rate - passband_hz, 60 dB stop band.
  const double transition = std::max(out_rate - 2.0 * passband_hz, out_rate * 0.1) / rate_;
  const double cutoff = 0.5 * out_rate / rate_;
  int n = static_cast<int>(std::ceil((60.0 - 8.0) / (2.285 * 2.0 * std::numbers::pi * transition)));
  n |= 1;  // odd length: a whole-sample delay
  taps_.resize(static_cast<size_t>(n));
  liquid_firdes_kaiser(static_cast<unsigned>(n), static_cast<float>(cutoff), 60.0f, 0.0f,
                       taps_.data());
  const float sum = std::accumulate(taps_.begin(), taps_.end(), 0.0f);
  for (float& t : taps_) t *= 2.0f / sum;
  history_.assign(2 * taps_.size(), {0.0f, 0.0f});
  reset();
}

void Downconverter::reset() {
  phase_ = 0.0;
  countdown_ = decimation_;
  pos_ = 0;
  std::fill(history_.begin(), history_.end(), std::complex<float>{0.0f, 0.0f});
}

void Downconverter::process(std::span<const float> in, std::vector<std::complex<float>>& out) {
  const size_t len = taps_.size();
  const double step = frequency_ / rate_;
  // The mixer phasor advances by multiplication and is renewed from the
  // phase at each block, so rounding never accumulates.
  const double two_pi = 2.0 * std::numbers::pi;
  std::complex<double> rot(std::cos(two_pi * step), -std::sin(two_pi * step));
  std::complex<double> osc(std::cos(two_pi * phase_), -std::sin(two_pi * phase_));
  size_t since_renew = 0;
  for (float x : in) {
    const std::complex<float> mixed(static_cast<float>(x * osc.real()),
                                    static_cast<float>(x * osc.imag()));
    history_[pos_] = mixed;
    history_[pos_ + len] = mixed;
    pos_ = (pos_ + 1 == len) ? 0 : pos_ + 1;
    osc *= rot;
    phase_ += step;
    phase_ -= std::floor(phase_);
    if (++since_renew == 1024) {
      osc = {std::cos(two_pi * phase_), -std::sin(two_pi * phase_)};
      since_renew = 0;
    }
    if (--countdown_ > 0) continue;
    countdown_ = decimation_;
    // history_[pos_ .. pos_+len) holds the last len samples, oldest first.
    const std::complex<float>* h = &history_[pos_];
    float re = 0.0f, im = 0.0f;
    for (size_t i = 0; i < len; ++i) {
      re += taps_[i] * h[i].real();
      im += taps_[i] * h[i].imag();
    }
    out.emplace_back(re, im);
  }
}

}  // namespace psk
