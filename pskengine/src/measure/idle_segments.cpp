#include "measure/idle_segments.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "dsp/sample_rate.h"

namespace psk {
namespace {

constexpr double kRate = kEngineRateHz;
// Analysed frequencies must lie this far inside 0..4000 Hz, so the mirror
// image of a real signal stays many bins away.
constexpr double kLowestHz = 20.0;
constexpr double kHighestHz = kRate / 2 - 20.0;
// At least this many symbols inside a stretch to estimate its carrier.
constexpr int kMinSymbols = 8;

bool in_band(double hz) {
  return hz >= kLowestHz && hz <= kHighestHz;
}

}  // namespace

IdleSegmenter::IdleSegmenter(PskMode mode)
    : baud_(mode_info(mode).baud),
      samples_per_symbol_(kRate / baud_),
      fade_bridge_(static_cast<int>(std::lround(kFadeBridgeSeconds * baud_))),
      hann_(kLength, kRate, ToneAnalyzer::Window::Hann),
      rect_(kLength, kRate, ToneAnalyzer::Window::Rectangular),
      half_rect_(kLength / 2, kRate, ToneAnalyzer::Window::Rectangular),
      noise_fft_(std::make_unique<RealFft>(kLength)),
      ring_(kHistory, 0.0f),
      stretch_(kLength, 0.0f) {
  reset();
}

void IdleSegmenter::reset() {
  std::fill(ring_.begin(), ring_.end(), 0.0f);
  samples_ = 0;
  recent_.clear();
  detector_.reset();
  run_ = 0;
  run_count_ = 0;
  runs_seen_ = 0;
  next_start_ = 0;
  gap_ = true;
  faded_ = 0;
  segments_.clear();
}

void IdleSegmenter::break_run() {
  detector_.reset();
  runs_seen_ = 0;
  run_ = 0;
  gap_ = true;
}

void IdleSegmenter::process(std::span<const float> samples, std::span<const SymbolInfo> symbols,
                            double mix_hz) {
  segments_.clear();
  for (float x : samples) {
    ring_[static_cast<size_t>(samples_ % kHistory)] = x;
    ++samples_;
  }
  for (const SymbolInfo& s : symbols) on_symbol(s, mix_hz);
}

void IdleSegmenter::on_symbol(const SymbolInfo& symbol, double mix_hz) {
  // A symbol far weaker than the running level (or not a number) marks a gap.
  const float level = std::abs(symbol.z);
  if (!(level >= kGapLevel)) gap_ = true;
  const bool steady = level >= kSteadyLow && level <= kSteadyHigh;
  recent_.push_back({symbol.position, mix_hz, symbol.z, steady});
  while (!recent_.empty() && recent_.front().position < static_cast<double>(samples_ - kHistory))
    recent_.pop_front();

  if (symbol.reversal && steady) {
    faded_ = 0;
    detector_.process(true, symbol.position);
  } else if (level < kFadedLevel && ++faded_ <= fade_bridge_) {
    // A weak symbol in a fade: neither continues the run nor ends it.
  } else {
    faded_ = 0;
    detector_.process(false, symbol.position);
  }
  if (!detector_.idle()) {
    run_ = 0;
    return;
  }
  if (detector_.runs() != runs_seen_) {  // a new idle run
    runs_seen_ = detector_.runs();
    run_ = ++run_count_;
    next_start_ = static_cast<int64_t>(
        std::ceil(detector_.start() + kStartGuardSymbols * samples_per_symbol_));
  }
  // Every stretch that now lies wholly inside the run, guards clear of its
  // start and of its latest reversal.
  const double end_guard = kEndGuardSymbols * samples_per_symbol_;
  while (static_cast<double>(next_start_ + kLength) + end_guard <= detector_.end() &&
         next_start_ + kLength <= samples_) {
    IdleSegment segment;
    if (next_start_ >= samples_ - kHistory && analyse(next_start_, segment)) {
      segment.run = run_;
      segment.baud = baud_;
      segment.continuous = !gap_;
      gap_ = false;
      segments_.push_back(segment);
    }
    next_start_ += kHop;
  }
}

bool IdleSegmenter::estimate_carrier(int64_t start, double& carrier_hz) const {
  const double from = static_cast<double>(start);
  const double to = from + kLength;
  double reference = 0.0;
  int count = 0;
  for (const SymbolRecord& s : recent_) {
    if (!s.steady || s.position < from || s.position > to) continue;
    reference += s.mix_hz;
    ++count;
  }
  if (count < kMinSymbols) return false;
  reference /= count;
  // Each symbol turns the phase by 180 degrees plus 2 pi (carrier - mix) /
  // baud; referred to one mixing frequency, the mean of those turns gives the
  // carrier.
  std::complex<double> sum{0.0, 0.0};
  double length = 0.0;
  for (const SymbolRecord& s : recent_) {
    if (!s.steady || s.position < from || s.position > to) continue;
    const std::complex<double> turn = -std::complex<double>(s.z);
    sum += turn * std::polar(1.0, 2.0 * std::numbers::pi * (s.mix_hz - reference) / baud_);
    length += std::abs(turn);
  }
  if (!(length > 0.0) || std::abs(sum) < kMinCoherence * length) return false;
  carrier_hz = reference + std::arg(sum) * baud_ / (2.0 * std::numbers::pi);
  return true;
}

double IdleSegmenter::refine_carrier(double carrier_hz) {
  // The fundamentals' phase from the first half of the stretch to the second
  // turns by 2 pi (error) (half a stretch): the symbols' estimate lags the
  // carrier while the AFC pulls in, and the rectangular window would let an
  // error of a few hundredths of a hertz leak the fundamentals into the other bins.
  const double b = baud_;
  const std::array<double, 2> hz = {carrier_hz - b / 2, carrier_hz + b / 2};
  std::array<std::complex<double>, 2> first{}, second{};
  const std::span<const float> whole(stretch_);
  half_rect_.process(whole.first(kLength / 2), hz, first);
  half_rect_.process(whole.last(kLength / 2), hz, second);
  std::complex<double> turn{0.0, 0.0};
  for (size_t k = 0; k < 2; ++k)
    turn += second[k] * std::conj(first[k]) *
            std::polar(1.0, -2.0 * std::numbers::pi * hz[k] * (kLength / 2) / kRate);
  if (!(std::abs(turn) > 0.0)) return carrier_hz;
  return carrier_hz + std::arg(turn) * kRate / (2.0 * std::numbers::pi * (kLength / 2));
}

void IdleSegmenter::analyse_tones(ToneAnalyzer& analyzer, double c, IdleTones& out) {
  const double b = baud_;
  const std::array<double, 4> hz = {c - b / 2, c + b / 2, c - 1.5 * b, c + 1.5 * b};
  std::array<std::complex<double>, 4> x{};
  analyzer.process(stretch_, hz, x);
  out.fundamentals = {x[0], x[1]};
  out.products = {x[2], x[3]};
}

bool IdleSegmenter::measure_noise(double c, double& hann_noise, int& bins) {
  // One Hann-windowed transform of the stretch; every bin within kNoiseSpan
  // symbol rates of the carrier that keeps kNoiseGuardBins from each tone
  // an idle signal may hold (the fundamentals and the odd-order products at
  // carrier +- (k + 1/2) baud) holds noise alone.
  const std::span<float> in = noise_fft_->input();
  const std::span<const double> window = hann_.window();
  for (size_t i = 0; i < in.size(); ++i)
    in[i] = static_cast<float>(window[i] * static_cast<double>(stretch_[i]));
  noise_fft_->execute();
  const std::span<const std::complex<float>> out = noise_fft_->output();
  const double bin = kRate / kLength;
  const double guard = kNoiseGuardBins * bin;
  double noise = 0.0;
  bins = 0;
  const auto first = static_cast<size_t>(std::max(1.0, std::ceil((c - kNoiseSpan * baud_) / bin)));
  const auto last = static_cast<size_t>(std::max(0.0, std::floor((c + kNoiseSpan * baud_) / bin)));
  for (size_t k = first; k <= last && k < out.size(); ++k) {
    const double f = static_cast<double>(k) * bin;
    if (!in_band(f)) continue;
    // Distance from the nearest carrier +- (k + 1/2) baud.
    const double from_tone = std::abs(std::remainder(f - c - baud_ / 2, baud_));
    if (from_tone < guard) continue;
    noise += std::norm(std::complex<double>(out[k])) / 2.0;
    ++bins;
  }
  hann_noise = bins > 0 ? noise / bins : 0.0;
  return bins >= kMinNoiseBins;
}

bool IdleSegmenter::analyse(int64_t start, IdleSegment& out) {
  double c = 0.0;
  if (!estimate_carrier(start, c)) return false;
  for (double f : {c - 1.5 * baud_, c + 1.5 * baud_}) {
    if (!in_band(f)) return false;
  }
  for (int i = 0; i < kLength; ++i)
    stretch_[static_cast<size_t>(i)] = ring_[static_cast<size_t>((start + i) % kHistory)];
  out.centre = start + kLength / 2;
  out.carrier_hz = c;
  double noise = 0.0;
  int bins = 0;
  if (!measure_noise(c, noise, bins)) return false;
  analyse_tones(hann_, c, out.hann);
  analyse_tones(rect_, refine_carrier(c), out.rect);
  // White noise puts 1.5 times less power into a bin of the rectangular window.
  out.hann.noise_power = noise;
  out.rect.noise_power = noise / kHannNoiseRatio;
  out.hann.noise_bins = out.rect.noise_bins =
      std::max(1, static_cast<int>(std::lround(bins / kHannBinDependence)));
  return true;
}

}  // namespace psk
