#include "modem/modulator.h"

#include <cmath>
#include <numbers>

#include "coding/varicode.h"
#include "dsp/sample_rate.h"

namespace psk {
namespace {

constexpr std::complex<double> kQuarter[4] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};

}  // namespace

PskModulator::PskModulator(PskMode mode, double carrier_hz, double sample_rate_hz)
    : qpsk_(mode_info(mode).qpsk),
      baud_(mode_info(mode).baud),
      carrier_(carrier_hz),
      rate_(sample_rate_hz > 0 ? sample_rate_hz : kEngineRateHz) {}

void PskModulator::reset() {
  encoder_.reset();
  changes_.clear();
  next_ = 0;
  symbol_ = -1;
  sample_ = 0;
  phase_ = 0;
  prev_ = cur_ = {0, 0};
}

void PskModulator::push_bit(int bit) {
  // BPSK: a 0 reverses the phase, a 1 keeps it.  QPSK: the coded output.
  const int turns = qpsk_ ? kQuarterTurnsOfOutput[encoder_.push(bit)] : (bit ? 0 : 2);
  changes_.push_back(static_cast<uint8_t>(turns));
}

void PskModulator::append_idle(int symbols) {
  for (int i = 0; i < symbols; ++i) push_bit(0);
}

void PskModulator::append_carrier(int symbols) {
  // All ones keep the phase in both modes (the code's output for 11111 is 0 degrees).
  for (int i = 0; i < symbols; ++i) push_bit(1);
}

void PskModulator::append_text(std::string_view bytes) {
  for (char c : varicode_encode(bytes)) push_bit(c == '1');
}

bool PskModulator::advance_to(int64_t k) {
  while (symbol_ < k) {
    if (next_ >= changes_.size()) return false;
    phase_ = (phase_ + changes_[next_++]) & 3;
    prev_ = cur_;
    cur_ = kQuarter[phase_];
    ++symbol_;
  }
  if (next_ >= 4096 && next_ * 2 >= changes_.size()) {  // drop what was rendered
    changes_.erase(changes_.begin(), changes_.begin() + static_cast<std::ptrdiff_t>(next_));
    next_ = 0;
  }
  return true;
}

size_t PskModulator::render(std::span<float> out) {
  const double symbols_per_sample = baud_ / rate_;
  const double cycles_per_sample = carrier_ / rate_;
  size_t written = 0;
  for (; written < out.size(); ++written) {
    const double t = static_cast<double>(sample_) * symbols_per_sample;
    const double k = std::floor(t);
    if (!advance_to(static_cast<int64_t>(k))) break;
    // Cosine-shaped change from the previous symbol's value to this one's.
    const double w = 0.5 * (1.0 - std::cos(std::numbers::pi * (t - k)));
    const std::complex<double> b = prev_ * (1.0 - w) + cur_ * w;
    const double n = static_cast<double>(sample_);
    const double cycles = n * cycles_per_sample + 0.5 * drift_ * n * n / (rate_ * rate_);
    const double theta = 2.0 * std::numbers::pi * (cycles - std::floor(cycles));
    out[written] = static_cast<float>(b.real() * std::cos(theta) - b.imag() * std::sin(theta));
    ++sample_;
  }
  return written;
}

bool PskModulator::done() const {
  if (next_ < changes_.size()) return false;
  const double t = static_cast<double>(sample_) * baud_ / rate_;
  return static_cast<int64_t>(std::floor(t)) > symbol_;
}

}  // namespace psk
