#include "sources/builtin_signal.h"

#include <array>
#include <cmath>
#include <vector>

#include "dsp/sample_rate.h"

namespace psk {
namespace {
constexpr std::array<std::string_view, 5> kOvers = {
    "CQ CQ CQ de JA1DEMO JA1DEMO JA1DEMO pse k\r\n",
    "JA1DEMO de W1DEMO W1DEMO pse k\r\n",
    "W1DEMO de JA1DEMO\r\nGood evening and thanks for the call.\r\n"
    "Your signal is 599 here with a clean trace.\r\n"
    // "こんにちは。名前は太郎、ＱＴＨは東京です。" in Shift-JIS
    "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd\x81\x42\x96\xbc\x91\x4f\x82\xcd\x91\xbe\x98\x59\x81"
    "\x41\x82\x70\x82\x73\x82\x67\x82\xcd\x93\x8c\x8b\x9e\x82\xc5\x82\xb7\x81\x42\r\n"
    "W1DEMO de JA1DEMO k\r\n",
    "JA1DEMO de W1DEMO\r\nThanks for the report. The rig here is 50 W into a dipole.\r\n"
    "73 and good DX. JA1DEMO de W1DEMO sk\r\n",
    "W1DEMO de JA1DEMO 73 tu sk\r\n",
};

constexpr double kRenderRateHz = kEngineRateHz * (1.0 + BuiltinSignal::kClockPpm * 1e-6);
}  // namespace

std::span<const std::string_view> BuiltinSignal::overs() {
  return kOvers;
}

void BuiltinSignal::render_clean(PskModulator& modulator, CubicAmplifier& amplifier,
                                 size_t& next_over, std::span<float> out) {
  size_t done = 0;
  while (done < out.size()) {
    if (modulator.done()) {
      modulator.append_idle(kIdleSymbols);
      modulator.append_text(kOvers[next_over]);
      next_over = (next_over + 1) % kOvers.size();
    }
    done += modulator.render(out.subspan(done));
  }
  for (float& s : out) s = kGain * amplifier.process(s);
}

double BuiltinSignal::loop_signal_power() {
  // One full loop of the QSO, rendered once per process.
  static const double power = [] {
    PskModulator modulator(PskMode::Bpsk31, kCarrierHz, kRenderRateHz);
    for (std::string_view over : kOvers) {
      modulator.append_idle(kIdleSymbols);
      modulator.append_text(over);
    }
    CubicAmplifier amplifier(kImdDb);
    std::vector<float> block(4096);
    double sum = 0;
    uint64_t count = 0;
    while (!modulator.done()) {
      const size_t n = modulator.render(block);
      for (size_t i = 0; i < n; ++i) {
        const double s = kGain * amplifier.process(block[i]);
        sum += s * s;
      }
      count += n;
    }
    return sum / static_cast<double>(count);
  }();
  return power;
}

double BuiltinSignal::noise_sigma() {
  // Noise power in 2500 Hz is kSnrDb below the signal; white noise spreads
  // over 4000 Hz.
  const double in_2500 = loop_signal_power() / std::pow(10.0, kSnrDb / 10.0);
  return std::sqrt(in_2500 * 4000.0 / 2500.0);
}

BuiltinSignal::BuiltinSignal(uint32_t noise_seed)
    : modulator_(PskMode::Bpsk31, kCarrierHz, kRenderRateHz),
      amplifier_(kImdDb),
      rng_(noise_seed),
      noise_(0.0f, static_cast<float>(noise_sigma())) {}

size_t BuiltinSignal::read(std::span<float> out) {
  render_clean(modulator_, amplifier_, next_over_, out);
  for (float& s : out) s += noise_(rng_);
  return out.size();
}

}  // namespace psk
