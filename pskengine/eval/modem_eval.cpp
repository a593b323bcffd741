// Receiver evaluation: prints the character error rate against SNR (in
// 2500 Hz, 1 dB steps) for every mode beside the theoretical curve of
// differential BPSK, then AFC pull-in and hold, and the signal level and
// squelch on noise and signals.  Fixed seeds; results go to stdout.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "coding/varicode.h"
#include "modem/modes.h"
#include "modem/psk_demodulator.h"
#include "test_signal.h"

namespace {

using psk::PskDemodulator;
using psk::PskMode;
namespace test = psk::test;

constexpr PskMode kModes[] = {PskMode::Bpsk31, PskMode::Qpsk31,  PskMode::Bpsk63,
                              PskMode::Qpsk63, PskMode::Bpsk125, PskMode::Qpsk125};

const std::string kEnglish =
    "CQ CQ de JA1ZZZ JA1ZZZ pse k. Thanks for the call, your signal is 599 in Tokyo. "
    "The rig here is 100 W into a dipole at 12 m, and the weather is fine today. ";

std::string english(size_t n) {
  std::string s;
  while (s.size() < n) s += kEnglish;
  s.resize(n);
  return s;
}

// Differential BPSK with Eb/N0 = SNR * 2500 / baud: BER = exp(-Eb/N0) / 2;
// a character of b bits (its code and the "00" gap) survives with (1-BER)^b.
double theory_cer(double snr_db, double baud, double bits_per_char) {
  const double ebn0 = std::pow(10.0, snr_db / 10.0) * 2500.0 / baud;
  const double ber = 0.5 * std::exp(-ebn0);
  return 1.0 - std::pow(1.0 - ber, bits_per_char);
}

double measured_cer(PskMode mode, double snr_db, const std::string& text, uint32_t seed) {
  test::SignalParams params;
  params.mode = mode;
  params.text = text;
  params.lead_idle = static_cast<int>(psk::mode_info(mode).baud);
  auto x = test::make_signal(params);
  test::add_noise(x, test::mean_power(x), snr_db, seed);
  PskDemodulator demod(mode, 1500.0);
  demod.set_afc_limit(500);
  return test::cer(text, test::decode(demod, x));
}

void cer_tables(size_t chars) {
  const std::string text = english(chars);
  const double bits = static_cast<double>(psk::varicode_encode(text).size()) / text.size();
  std::printf(
      "== CER against SNR in 2500 Hz (%zu characters per point, AFC on, %.1f bits per "
      "character)\n",
      chars, bits);
  for (PskMode mode : kModes) {
    const double baud = psk::mode_info(mode).baud;
    std::printf("-- %s\n   SNR dB    CER %%   DBPSK theory %%\n", psk::mode_info(mode).name);
    // Start where the CER is above 10 % and go up until it is 0.
    double snr = -16.0 + 10.0 * std::log10(baud / 31.25);
    snr = std::floor(snr);
    while (measured_cer(mode, snr, text, 1) <= 0.10 && snr > -30) snr -= 1.0;
    for (int zeros = 0; zeros < 1 && snr < 20; snr += 1.0) {
      const double cer = measured_cer(mode, snr, text, 1);
      std::printf("   %6.1f  %6.2f   %6.2f\n", snr, 100.0 * cer,
                  100.0 * theory_cer(snr, baud, bits));
      if (cer == 0.0) ++zeros;
    }
  }
}

void afc_figures() {
  std::printf("== AFC\n");
  // Pull-in: time after which the frequency stays within 1 Hz of the carrier.
  for (PskMode mode : kModes) {
    const double baud = psk::mode_info(mode).baud;
    for (double offset : {25.0 * baud / 31.25, -baud, baud}) {
      test::SignalParams params;
      params.mode = mode;
      params.carrier_hz = 1500.0 + offset;
      params.lead_idle = 0;
      params.text = english(60);
      auto x = test::make_signal(params);
      x.resize(std::min<size_t>(x.size(), 15 * 8000));
      test::add_noise(x, test::mean_power(x), 10.0, 5);
      PskDemodulator demod(mode, 1500.0);
      demod.set_afc_limit(500);
      double last_outside = 0;
      for (size_t i = 0; i < x.size(); i += 80) {
        demod.process(std::span<const float>(x).subspan(i, std::min<size_t>(80, x.size() - i)));
        if (std::abs(demod.frequency() - params.carrier_hz) >= 1.0)
          last_outside = static_cast<double>(i + 80) / 8000.0;
      }
      std::printf("   %-8s offset %+6.1f Hz, 10 dB: within 1 Hz from %.2f s on\n",
                  psk::mode_info(mode).name, offset, last_outside);
    }
  }
  // Hold: noise alone for 60 s.
  for (PskMode mode : kModes) {
    const auto noise = test::make_noise(60 * 8000, 0.25, 77);
    PskDemodulator demod(mode, 1500.0);
    demod.set_afc_limit(500);
    double furthest = 0;
    for (size_t i = 0; i < noise.size(); i += 800) {
      demod.process(std::span<const float>(noise).subspan(i, 800));
      furthest = std::max(furthest, std::abs(demod.frequency() - 1500.0));
    }
    std::printf("   %-8s noise alone 60 s: furthest move %.2f Hz\n", psk::mode_info(mode).name,
                furthest);
  }
}

void level_figures() {
  std::printf("== Signal level (0..100) and squelch 30\n");
  for (PskMode mode : kModes) {
    const auto noise = test::make_noise(60 * 8000, 0.25, 91);
    PskDemodulator quiet(mode, 1500.0);
    quiet.set_afc_limit(500);
    quiet.set_squelch(30);
    int highest = 0;
    size_t printed = 0;
    for (size_t i = 0; i < noise.size(); i += 800) {
      quiet.process(std::span<const float>(noise).subspan(i, 800));
      if (i >= 8000) highest = std::max(highest, quiet.level());
      printed += quiet.decoded().size();
    }
    std::printf("   %-8s noise 60 s: highest level %d, characters printed %zu; level at SNR",
                psk::mode_info(mode).name, highest, printed);
    for (double snr : {-10.0, -5.0, 0.0, 10.0, 20.0, 30.0}) {
      test::SignalParams params;
      params.mode = mode;
      params.text = english(40);
      auto x = test::make_signal(params);
      test::add_noise(x, test::mean_power(x), snr, 93);
      PskDemodulator demod(mode, 1500.0);
      demod.set_afc_limit(500);
      demod.set_squelch(30);
      const std::string got = test::decode(demod, x, 800);
      std::printf(" %+.0f dB: %d%s", snr, demod.level(), got.empty() ? " (silent)" : "");
    }
    std::printf("\n");
  }
}

}  // namespace

int main(int argc, char** argv) {
  const size_t chars = argc > 1 ? static_cast<size_t>(std::atoi(argv[1])) : 600;
  cer_tables(chars > 0 ? chars : 600);
  afc_figures();
  level_figures();
  return 0;
}
