// The shared device list and the built-in test signal.  Tolerances: the
// built-in signal's IMD within 1 dB of -26 dB (it carries noise), its clock
// error within 2 ppm of +30.
#include <gtest/gtest.h>

#include <complex>
#include <vector>

#include "devices/device_list.h"
#include "modulator.h"
#include "sim/amplifier.h"
#include "sim/imd_truth.h"
#include "sources/builtin_signal.h"

namespace psk {
namespace {

TEST(DeviceList, EndsWithTheBuiltInSignal) {
  const DeviceList list = list_devices();
  // Without a sound card PortAudio still initialises, with no devices.
  ASSERT_TRUE(list.ok) << list.error;
  const std::vector<std::string> names = list.names();
  ASSERT_EQ(names.size(), list.capture.size() + 1);
  EXPECT_EQ(names.back(), "Built-in test signal (BPSK31 at 1500 Hz)");
  EXPECT_EQ(list.builtin_index(), static_cast<int>(list.capture.size()));
  for (const CaptureDevice& d : list.capture) EXPECT_GE(d.max_input_channels, 1) << d.name;
}

std::vector<float> render(BuiltinSignal& s, size_t n) {
  std::vector<float> x(n);
  for (size_t pos = 0; pos < n; pos += 997)
    s.read(std::span<float>(x).subspan(pos, std::min<size_t>(997, n - pos)));
  return x;
}

TEST(BuiltinSignal, HasItsIdleImdNoiseAndClockError) {
  BuiltinSignal source;
  const std::vector<float> x = render(source, 8000 * 5);  // the first idle lasts 5.1 s
  const double rate = 8000 * (1 + 30e-6);
  const std::span<const float> idle = std::span<const float>(x).subspan(2000, 36000);
  EXPECT_NEAR(measure_idle_imd(idle, 1500, 31.25, rate).imd_db, -26.0, 1.0);
  // Noise: the difference from the same transmitter without noise is white
  // noise whose share of 2500 Hz is 20 dB below the loop's mean signal power
  // (within 5 %, the spread of 36000 samples is 0.8 %).
  PskModulator modulator(PskMode::Bpsk31, 1500, rate);
  modulator.append_idle(BuiltinSignal::kIdleSymbols);
  modulator.append_text(BuiltinSignal::overs()[0]);
  CubicAmplifier amplifier(BuiltinSignal::kImdDb);
  std::vector<float> clean(x.size());
  modulator.render(clean);
  for (float& v : clean) v = BuiltinSignal::kGain * amplifier.process(v);
  double noise = 0;
  for (size_t i = 2000; i < 38000; ++i) {
    const double d = x[i] - clean[i];
    noise += d * d;
  }
  noise /= 36000;
  const double expected = BuiltinSignal::loop_signal_power() / 100.0 * 4000.0 / 2500.0;
  EXPECT_NEAR(noise, expected, 0.05 * expected);

  // Clock: the upper idle tone's phase against 1515.625 Hz turns at -30 ppm.
  std::complex<double> previous = 0, turn = 0;
  for (size_t start = 0; start + 8000 <= idle.size(); start += 8000) {
    std::complex<double> acc = 0;
    for (size_t i = 0; i < 8000; ++i) {
      const double w = 0.5 - 0.5 * std::cos(2 * M_PI * i / 8000.0);
      acc += w * idle[start + i] * std::polar(1.0, -2 * M_PI * 1515.625 * (start + i) / 8000.0);
    }
    if (start > 0) turn += acc * std::conj(previous);
    previous = acc;
  }
  const double df = std::arg(turn) / (2 * M_PI);
  EXPECT_NEAR((1515.625 / (1515.625 + df) - 1) * 1e6, 30.0, 2.0);
}

TEST(BuiltinSignal, IsEndlessDeterministicAndWithinFullScale) {
  BuiltinSignal a, b, c(2);
  const std::vector<float> xa = render(a, 8000 * 20), xb = render(b, 8000 * 20),
                           xc = render(c, 8000);
  EXPECT_EQ(xa, xb);
  EXPECT_NE(std::vector<float>(xa.begin(), xa.begin() + 8000), xc);
  EXPECT_LT(*std::max_element(xa.begin(), xa.end()), 1.0f);
  EXPECT_GT(*std::max_element(xa.begin(), xa.end()), 0.2f);
  EXPECT_EQ(a.state(), SourceState::Running);
  EXPECT_FALSE(a.live());
  // The QSO holds a line of Shift-JIS (a lead byte 0x81..0x9f) among ASCII.
  bool shift_jis = false;
  for (std::string_view over : BuiltinSignal::overs()) {
    for (unsigned char ch : over) shift_jis |= ch >= 0x81 && ch <= 0x9f;
  }
  EXPECT_TRUE(shift_jis);
}

}  // namespace
}  // namespace psk
