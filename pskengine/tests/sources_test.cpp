// The shared device list and the built-in test signal.  Tolerances: the
// built-in signal's IMD within 1 dB of -26 dB (it carries noise), its noise
// within 5 % of 20 dB below the signal in 2500 Hz, its clock error within
// 2 ppm of +30.
#include <gtest/gtest.h>

#include <vector>

#include "devices/device_list.h"
#include "sim/amplifier.h"
#include "sim/imd_truth.h"
#include "test_signal.h"

namespace psk {
namespace {

TEST(DeviceList, EndsWithTheBuiltInSignal) {
  const DeviceList list = list_devices();
  ASSERT_TRUE(list.ok) << list.error;  // PortAudio initialises even without a sound card
  const std::vector<std::string> names = list.names();
  ASSERT_EQ(names.size(), list.capture.size() + 1);
  EXPECT_EQ(names.back(), "Built-in test signal (BPSK31 at 1500 Hz)");
  EXPECT_EQ(list.builtin_index(), static_cast<int>(list.capture.size()));
  for (const CaptureDevice& d : list.capture) EXPECT_GE(d.max_input_channels, 1) << d.name;
}

TEST(BuiltinSignal, HasItsIdleImdNoiseAndClockError) {
  const std::vector<float> x = test::builtin_samples(5);  // the first idle lasts 5.1 s
  const double rate = 8000 * (1 + 30e-6);
  const std::span<const float> idle = std::span<const float>(x).subspan(2000, 36000);
  EXPECT_NEAR(measure_idle_imd(idle, 1500, 31.25, rate).imd_db, -26.0, 1.0);
  EXPECT_NEAR(test::tone_ppm(idle, 1515.625), 30.0, 2.0);  // the upper idle tone
  // The difference from the same transmitter without noise is the noise.
  PskModulator modulator(PskMode::Bpsk31, 1500, rate);
  modulator.append_idle(BuiltinSignal::kIdleSymbols);
  modulator.append_text(BuiltinSignal::overs()[0]);
  CubicAmplifier amplifier(BuiltinSignal::kImdDb);
  std::vector<float> clean(x.size());
  modulator.render(clean);
  double noise = 0;
  for (size_t i = 0; i < 38000; ++i) {
    const double d = x[i] - BuiltinSignal::kGain * amplifier.process(clean[i]);  // in order
    if (i >= 2000) noise += d * d / 36000;
  }
  const double expected = BuiltinSignal::loop_signal_power() / 100.0 * 4000.0 / 2500.0;
  EXPECT_NEAR(noise, expected, 0.05 * expected);  // the spread of 36000 samples is 0.8 %
}

TEST(BuiltinSignal, IsEndlessDeterministicAndWithinFullScale) {
  const std::vector<float> a = test::builtin_samples(20), b = test::builtin_samples(20);
  EXPECT_EQ(a, b);
  BuiltinSignal other_seed(2);
  std::vector<float> c(8000);
  other_seed.read(c);
  EXPECT_NE(std::vector<float>(a.begin(), a.begin() + 8000), c);
  EXPECT_LT(*std::max_element(a.begin(), a.end()), 1.0f);
  EXPECT_GT(*std::max_element(a.begin(), a.end()), 0.2f);
  EXPECT_EQ(other_seed.state(), SourceState::Running);
  EXPECT_FALSE(other_seed.live());
  // The QSO holds a line of Shift-JIS (a lead byte 0x81..0x9f) among ASCII.
  bool shift_jis = false;
  for (std::string_view over : BuiltinSignal::overs())
    for (unsigned char ch : over) shift_jis |= ch >= 0x81 && ch <= 0x9f;
  EXPECT_TRUE(shift_jis);
}

}  // namespace
}  // namespace psk
