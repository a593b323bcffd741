#include "survey/band_scanner.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace psk {
namespace {

constexpr double kBauds[] = {31.25, 62.5, 125.0};
constexpr double kMinToneDb = 20.0;          // weaker tone over the noise per bin, at least
constexpr double kMaxImbalanceDb = 4.0;      // the two tones differ by at most this
constexpr double kMinGapDb = 12.0;           // midpoint below the weaker tone by at least this
constexpr double kSpacingToleranceHz = 1.5;  // spacing within this of a symbol rate
constexpr double kProductMarginHz = 4.0;     // around the products taken out

struct Peak {
  double hz;     // interpolated frequency
  double power;  // power of its bin
  bool used;     // taken by a pair or as a product
};

double db(double ratio) {
  return 10.0 * std::log10(std::max(ratio, 1e-30));
}

}  // namespace

BandSpectrum::BandSpectrum(int size)
    : fft_(size), window_(static_cast<size_t>(size)), power_(static_cast<size_t>(size / 2 + 1)) {
  for (int i = 0; i < size; ++i)
    window_[static_cast<size_t>(i)] =
        static_cast<float>(0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / size));
}

void BandSpectrum::compute(std::span<const float> x) {
  const size_t n = window_.size();
  const size_t have = std::min(n, x.size());
  const std::span<const float> newest = x.subspan(x.size() - have);
  std::span<float> in = fft_.input();
  std::fill(in.begin(), in.end(), 0.0f);
  for (size_t i = 0; i < have; ++i) in[n - have + i] = newest[i] * window_[n - have + i];
  fft_.execute();
  const auto out = fft_.output();
  for (size_t k = 0; k < power_.size(); ++k) power_[k] = std::norm(out[k]);
  // The noise from the bin at the 20th percentile over 200..3400 Hz: a busy
  // band's signals may fill half of it, but rarely four fifths.  The power
  // of a bin of noise alone is exponential, whose p-quantile is
  // -ln(1 - p) times its mean.
  const auto lo = static_cast<size_t>(200.0 / bin_hz());
  const auto hi = std::min(power_.size(), static_cast<size_t>(3400.0 / bin_hz()));
  std::vector<double> band(power_.begin() + static_cast<std::ptrdiff_t>(lo),
                           power_.begin() + static_cast<std::ptrdiff_t>(hi));
  auto at = band.begin() + static_cast<std::ptrdiff_t>(band.size() / 5);
  std::nth_element(band.begin(), at, band.end());
  noise_ = std::max(*at / -std::log(0.8), 1e-30);
}

std::vector<ToneCandidate> BandSpectrum::find_pairs(double from_hz, double to_hz) const {
  const double bin = bin_hz();
  const double threshold = noise_ * std::pow(10.0, kMinToneDb / 10.0);
  std::vector<Peak> peaks;
  const auto lo = static_cast<size_t>(std::max(2.0, (from_hz - 70.0) / bin));
  const auto hi = std::min(power_.size() - 2, static_cast<size_t>((to_hz + 70.0) / bin));
  for (size_t k = lo; k < hi; ++k) {
    const double p = power_[k];
    if (p < threshold || p <= power_[k - 1] || p < power_[k + 1]) continue;
    // Parabola through the log powers of the peak and its neighbours.
    const double a = std::log(power_[k - 1]), b = std::log(p), c = std::log(power_[k + 1]);
    const double denom = a - 2 * b + c;
    const double offset = denom < 0 ? std::clamp(0.5 * (a - c) / denom, -0.5, 0.5) : 0.0;
    peaks.push_back({(static_cast<double>(k) + offset) * bin, p, false});
  }
  std::sort(peaks.begin(), peaks.end(), [](const Peak& x, const Peak& y) {
    return x.power > y.power || (x.power == y.power && x.hz < y.hz);
  });

  std::vector<ToneCandidate> found;
  for (size_t i = 0; i < peaks.size(); ++i) {
    if (peaks[i].used) continue;
    // The best partner: the nearest spacing to a symbol rate, on either side.
    size_t best = peaks.size();
    double best_error = kSpacingToleranceHz, best_baud = 0;
    for (size_t j = 0; j < peaks.size(); ++j) {
      if (j == i || peaks[j].used) continue;
      if (std::abs(db(peaks[i].power / peaks[j].power)) > kMaxImbalanceDb) continue;
      for (double baud : kBauds) {
        const double error = std::abs(std::abs(peaks[j].hz - peaks[i].hz) - baud);
        if (error < best_error) {
          best = j;
          best_error = error;
          best_baud = baud;
        }
      }
    }
    if (best == peaks.size()) continue;
    const double centre = 0.5 * (peaks[i].hz + peaks[best].hz);
    const double weaker = std::min(peaks[i].power, peaks[best].power);
    const auto centre_bin = static_cast<size_t>(std::lround(centre / bin));
    if (db(weaker / power_[centre_bin]) < kMinGapDb) continue;
    peaks[i].used = peaks[best].used = true;
    // Take out the pair's third- and fifth-order products; a neighbour's
    // tones between them stay.
    for (Peak& p : peaks) {
      const double from_centre = std::abs(p.hz - centre);
      for (double order : {1.5, 2.5})
        if (std::abs(from_centre - order * best_baud) <= kProductMarginHz) p.used = true;
    }
    if (centre < from_hz || centre > to_hz) continue;
    found.push_back({centre, best_baud, db(weaker / noise_)});
  }
  return found;
}

ChannelPower BandSpectrum::channel_power(double centre_hz, double half_width_hz) const {
  const double bin = bin_hz();
  const auto lo = static_cast<size_t>(std::max(1.0, std::ceil((centre_hz - half_width_hz) / bin)));
  const auto hi = std::min(power_.size() - 1,
                           static_cast<size_t>(std::floor((centre_hz + half_width_hz) / bin)));
  double total = 0;
  size_t bins = 0;
  for (size_t k = lo; k <= hi; ++k, ++bins) total += power_[k];
  const double noise_in_channel = noise_ * static_cast<double>(std::max<size_t>(bins, 1));
  ChannelPower result;
  result.total = total;
  result.signal = std::max(0.0, total - noise_in_channel);
  result.noise_2500 = noise_ * 2500.0 / bin;
  result.in_band_db = db(total / noise_in_channel);
  return result;
}

}  // namespace psk
