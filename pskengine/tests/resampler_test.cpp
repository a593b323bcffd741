// The resampler against pure tones.  Tolerances: passband gain within
// 0.02 dB up to 3000 Hz; whatever folds into 0..3300 Hz at least 85 dB down;
// no added delay (output sample k is the input at k/8000 s, within 1e-3).
#include "dsp/resampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace psk {
namespace {

std::vector<float> tone(double hz, double rate, double seconds, double phase = 0) {
  std::vector<float> x(static_cast<size_t>(rate * seconds));
  for (size_t i = 0; i < x.size(); ++i)
    x[i] = static_cast<float>(std::cos(2 * M_PI * hz * i / rate + phase));
  return x;
}

// Mean power of y over its middle half (away from the start and the end).
double middle_power(const std::vector<float>& y) {
  double p = 0;
  const size_t a = y.size() / 4, b = 3 * y.size() / 4;
  for (size_t i = a; i < b; ++i) p += static_cast<double>(y[i]) * y[i];
  return p / static_cast<double>(b - a);
}

std::vector<float> resample(double rate, const std::vector<float>& x, size_t block) {
  Resampler r(rate);
  std::vector<float> y;
  for (size_t pos = 0; pos < x.size(); pos += block) {
    r.process(std::span<const float>(x).subspan(pos, std::min(block, x.size() - pos)), y);
  }
  return y;
}

TEST(Resampler, PassesTheBandAndStopsWhatWouldFoldIntoIt) {
  for (double rate : {4000.0, 11025.0, 22050.0, 44100.0, 48000.0, 96000.0}) {
    const double top = std::min(3000.0, 0.4 * rate);
    for (double hz = 300; hz <= top; hz += 450) {
      const double gain_db =
          10 * std::log10(middle_power(resample(rate, tone(hz, rate, 0.3), 4096)) / 0.5);
      EXPECT_NEAR(gain_db, 0.0, 0.02) << rate << " Hz, tone " << hz;
    }
    if (rate <= 8000) continue;
    for (double hz = 4700; hz<rate / 2; hz += rate / 2> 20000 ? 3100 : 700) {
      const double gain_db =
          10 * std::log10(middle_power(resample(rate, tone(hz, rate, 0.3), 4096)) / 0.5 + 1e-30);
      EXPECT_LT(gain_db, -85.0) << rate << " Hz, tone " << hz;
    }
  }
}

TEST(Resampler, KeepsTimeAndLengthWhateverTheBlocks) {
  const double rate = 44100;
  const std::vector<float> x = tone(1234, rate, 0.5, 0.7);
  const std::vector<float> whole = resample(rate, x, x.size());
  const std::vector<float> pieces = resample(rate, x, 37);
  ASSERT_EQ(whole.size(), pieces.size());
  for (size_t i = 0; i < whole.size(); ++i) ASSERT_NEAR(whole[i], pieces[i], 1e-6f) << i;
  // The output runs to the last input sample less half the filter.
  Resampler r(rate);
  EXPECT_NEAR(static_cast<double>(whole.size()), (x.size() - r.half_length()) / r.step(), 2.0);
  // Output k is the tone at k / 8000 s.
  for (size_t k = whole.size() / 4; k < whole.size() / 2; ++k) {
    ASSERT_NEAR(whole[k], std::cos(2 * M_PI * 1234 * k / 8000.0 + 0.7), 1e-3) << k;
  }
}

TEST(Resampler, EqualRatesPassThroughAndRatesAreBounded) {
  Resampler same(8000);
  std::vector<float> y;
  const std::vector<float> x = {0.1f, -0.2f, 0.3f};
  same.process(x, y);
  EXPECT_EQ(y, x);
  EXPECT_FALSE(Resampler::rate_supported(999));
  EXPECT_FALSE(Resampler::rate_supported(1e6));
  EXPECT_TRUE(Resampler::rate_supported(192000));
}

}  // namespace
}  // namespace psk
