// Sound files (a clear message or a correct result, never a crash) and resampling.
#include "sources/wav_source.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <vector>

#include "core/receiver.h"
#include "dsp/resampler.h"
#include "sources/wav_writer.h"

namespace psk {
namespace {

std::vector<float> tone(double hz, double rate, size_t n, double amplitude = 1, double phase = 0) {
  std::vector<float> x(n);
  for (size_t i = 0; i < n; ++i)
    x[i] = static_cast<float>(amplitude * std::cos(2 * M_PI * hz * i / rate + phase));
  return x;
}

std::vector<float> resample(double rate, const std::vector<float>& x, size_t block) {
  Resampler r(rate);
  std::vector<float> y;
  for (size_t pos = 0; pos < x.size(); pos += block)
    r.process(std::span<const float>(x).subspan(pos, std::min(block, x.size() - pos)), y);
  return y;
}

// Gain (dB) of a full-scale tone through the resampler, over the middle half.
double gain_db(double rate, double hz) {
  const std::vector<float> y = resample(rate, tone(hz, rate, size_t(0.3 * rate)), 4096);
  double p = 0;
  for (size_t i = y.size() / 4; i < 3 * y.size() / 4; ++i) p += static_cast<double>(y[i]) * y[i];
  return 10 * std::log10(p / static_cast<double>(3 * y.size() / 4 - y.size() / 4) / 0.5 + 1e-30);
}

// Passband within 0.02 dB to 3000 Hz; what folds into 0..3300 Hz 85 dB down.
TEST(Resampler, PassesTheBandAndStopsWhatWouldFoldIntoIt) {
  EXPECT_FALSE(Resampler::rate_supported(999));
  EXPECT_FALSE(Resampler::rate_supported(1e6));
  EXPECT_TRUE(Resampler::rate_supported(192000));
  for (double rate : {4000.0, 11025.0, 22050.0, 44100.0, 48000.0, 96000.0}) {
    for (double hz = 300; hz <= std::min(3000.0, 0.4 * rate); hz += 450)
      EXPECT_NEAR(gain_db(rate, hz), 0.0, 0.02) << rate << " Hz, tone " << hz;
    if (rate <= 8000) continue;
    for (double hz = 4700; hz<rate / 2; hz += rate / 2> 20000 ? 3100 : 700)
      EXPECT_LT(gain_db(rate, hz), -85.0) << rate << " Hz, tone " << hz;
  }
}

TEST(Resampler, KeepsTimeAndLengthWhateverTheBlocks) {
  const double rate = 44100;
  const std::vector<float> x = tone(1234, rate, 22050, 1, 0.7);
  const std::vector<float> whole = resample(rate, x, x.size()), pieces = resample(rate, x, 37);
  ASSERT_EQ(whole.size(), pieces.size());
  for (size_t i = 0; i < whole.size(); ++i) ASSERT_NEAR(whole[i], pieces[i], 1e-6f) << i;
  // Output runs to the last input less half the filter; output k is the input at k / 8000 s.
  Resampler r(rate);
  EXPECT_NEAR(static_cast<double>(whole.size()), (x.size() - r.half_length()) / r.step(), 2.0);
  for (size_t k = whole.size() / 4; k < whole.size() / 2; ++k)
    ASSERT_NEAR(whole[k], std::cos(2 * M_PI * 1234 * k / 8000.0 + 0.7), 1e-3) << k;
}

class WavSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* unit = ::testing::UnitTest::GetInstance();
    dir_ = std::filesystem::temp_directory_path() /
           ("tonvista_wav_" + std::to_string(unit->random_seed()) + "_" +
            unit->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string path(const char* name) const { return (dir_ / name).string(); }
  // Writes a 16-bit file and opens it; fails the test when it cannot.
  std::unique_ptr<WavSource> open16(const char* name, const std::vector<float>& x, int rate,
                                    int channels = 1) {
    std::string error;
    EXPECT_TRUE(write_wav16(path(name), x, rate, channels, &error)) << error;
    auto source = WavSource::open_file(path(name), &error);
    EXPECT_NE(source, nullptr) << error;
    return source;
  }
  static std::vector<float> read_all(WavSource& s) {
    std::vector<float> out, block(1000);
    while (size_t n = s.read(block)) out.insert(out.end(), block.begin(), block.begin() + n);
    return out;
  }
  std::filesystem::path dir_;  // this test's files
};

TEST_F(WavSourceTest, MissingNonAudioEmptyAndSlowFilesAreRefusedInPlainWords) {
  std::ofstream(path("text.wav")) << "This is a text file, not audio.\n";
  std::ofstream(path("empty.wav")).flush();
  std::string error;
  ASSERT_TRUE(write_wav16(path("slow.wav"), std::vector<float>(100, 0.1f), 500, 1, &error));
  for (auto [file, message] : {std::pair{path("absent.wav"), "no such file"},
                               {dir_.string(), "not a file"},
                               {path("text.wav"), "as audio"},
                               {path("empty.wav"), "as audio"},
                               {path("slow.wav"), "sample rate 500"}}) {
    EXPECT_EQ(WavSource::open_file(file, &error), nullptr) << file;
    EXPECT_NE(error.find(message), std::string::npos) << error;
  }
}

TEST_F(WavSourceTest, TruncatedAndOneSampleFilesGiveWhatTheyHoldThenEnd) {
  const std::vector<float> x = tone(1000, 8000, 8000, 0.5, 0.3);
  ASSERT_NE(open16("full.wav", x, 8000), nullptr);
  std::ifstream in(path("full.wav"), std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), {}};
  std::ofstream(path("cut.wav"), std::ios::binary)
      << bytes.substr(0, 44 + 2 * 3000 + 1);  // 3000.5 samples
  std::string error;
  auto cut = WavSource::open_file(path("cut.wav"), &error);
  ASSERT_NE(cut, nullptr) << error;
  const std::vector<float> got = read_all(*cut);
  ASSERT_TRUE(got.size() == 3000u || got.size() == 3001u) << got.size();
  for (size_t i = 0; i < 3000; ++i) ASSERT_NEAR(got[i], x[i], 1.0 / 32768) << i;
  EXPECT_EQ(cut->state(), SourceState::Ended);

  auto one = open16("one.wav", {0.25f}, 8000);
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(read_all(*one), std::vector<float>{0.25f});
  EXPECT_EQ(one->state(), SourceState::Ended);
}

// Left: 1000 Hz tone; right: silence; mono is their mean.  Silence reads as silence.
TEST_F(WavSourceTest, StereoAt96kHzBecomesMonoAt8kHzAndSilenceReadsAsSilence) {
  const std::vector<float> left = tone(1000, 96000, 96000, 0.8);
  std::vector<float> x(2 * 96000);
  for (size_t i = 0; i < 96000; ++i) x[2 * i] = left[i];
  auto source = open16("stereo.wav", x, 96000, 2);
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(source->channels(), 2);
  EXPECT_EQ(source->file_rate_hz(), 96000);
  const std::vector<float> got = read_all(*source);
  EXPECT_EQ(got.size(), 8000u);
  for (size_t k = 2000; k < 6000; ++k)
    ASSERT_NEAR(got[k], 0.4 * std::cos(2 * M_PI * 1000.0 * k / 8000), 2e-3) << k;
  auto silence = open16("silence.wav", std::vector<float>(16000, 0.0f), 8000);
  ASSERT_NE(silence, nullptr);
  Receiver receiver;
  receiver.process(read_all(*silence));
  for (int32_t level : receiver.fft_levels()) ASSERT_EQ(level, 0);
  EXPECT_EQ(receiver.signal_level(), 0);
}

TEST_F(WavSourceTest, FloatFileWithNanAndHugeValuesStaysFinite) {
  // A float WAV image in memory: 0.5, NaN, infinity, 1e30.
  std::string image = "RIFF";
  auto u32 = [&](uint32_t v) { image.append(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [&](uint16_t v) { image.append(reinterpret_cast<const char*>(&v), 2); };
  u32(36 + 16);
  image += "WAVEfmt ";
  u32(16), u16(3), u16(1), u32(8000), u32(32000), u16(4), u16(32);
  image += "data";
  u32(16);
  const float samples[4] = {0.5f, NAN, INFINITY, 1e30f};
  image.append(reinterpret_cast<const char*>(samples), sizeof samples);
  std::string error;
  auto source = WavSource::open_memory(std::vector<uint8_t>(image.begin(), image.end()), &error);
  ASSERT_NE(source, nullptr) << error;
  const std::vector<float> got = read_all(*source);
  ASSERT_EQ(got.size(), 4u);
  EXPECT_FLOAT_EQ(got[0], 0.5f);
  EXPECT_EQ(got[1], 0.0f);
  EXPECT_EQ(got[2], 0.0f);
  EXPECT_LE(got[3], 16.0f);
}

}  // namespace
}  // namespace psk
