#include "core/signal_level.h"

#include <algorithm>
#include <cmath>

namespace psk {

void SignalLevel::reset() {
  count_ = 0;
  next_ = 0;
  level_ = 0;
}

void SignalLevel::update(std::span<const float> power, float noise_reference, double rx_hz,
                         double baud) {
  constexpr double kBinHz = 8000.0 / 2048.0;
  std::copy_n(power.begin(), std::min<size_t>(power.size(), 1024), history_[next_].begin());
  next_ = (next_ + 1) % kSpectraAveraged;
  count_ = std::min(count_ + 1, kSpectraAveraged);

  const int first = std::clamp(static_cast<int>(std::ceil((rx_hz - baud) / kBinHz)), 0, 1023);
  const int last = std::clamp(static_cast<int>(std::floor((rx_hz + baud) / kBinHz)), 0, 1023);
  double signal = 0;
  for (int i = 0; i < count_; ++i) {
    for (int k = first; k <= last; ++k) signal += history_[i][k];
  }
  signal /= count_;
  const double noise = static_cast<double>(noise_reference) * (last - first + 1);
  const double silent = 1e-15 * (last - first + 1);
  if (signal <= silent) {  // digital silence reads 0
    level_ = 0;
    return;
  }
  if (noise <= silent) {  // a signal without any noise beside it reads full scale
    level_ = 100;
    return;
  }
  level_ =
      static_cast<int32_t>(std::clamp(std::lround(30.0 * std::log10(signal / noise)), 0L, 100L));
}

}  // namespace psk
