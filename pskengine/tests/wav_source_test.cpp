// Reading sound files: damaged and unusual files give a clear message or a
// correct result, never a crash.
#include "sources/wav_source.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "core/receiver.h"
#include "sources/wav_writer.h"

namespace psk {
namespace {

class WavSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("tonvista_wav_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string path(const char* name) const { return (dir_ / name).string(); }
  void write_bytes(const std::string& p, const std::string& bytes) const {
    std::ofstream(p, std::ios::binary) << bytes;
  }
  std::vector<float> read_all(WavSource& s) {
    std::vector<float> out, block(1000);
    while (size_t n = s.read(block)) out.insert(out.end(), block.begin(), block.begin() + n);
    return out;
  }
  std::filesystem::path dir_;
};

std::string file_text(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(WavSourceTest, MissingNonAudioAndEmptyFilesAreRefusedInPlainWords) {
  std::string error;
  EXPECT_EQ(WavSource::open_file(path("absent.wav"), &error), nullptr);
  EXPECT_NE(error.find("no such file"), std::string::npos) << error;

  EXPECT_EQ(WavSource::open_file(dir_.string(), &error), nullptr);
  EXPECT_NE(error.find("not a file"), std::string::npos) << error;

  write_bytes(path("text.wav"), "This is a text file, not audio.\n");
  EXPECT_EQ(WavSource::open_file(path("text.wav"), &error), nullptr);
  EXPECT_NE(error.find("as audio"), std::string::npos) << error;

  write_bytes(path("empty.wav"), "");
  EXPECT_EQ(WavSource::open_file(path("empty.wav"), &error), nullptr);
  EXPECT_NE(error.find("as audio"), std::string::npos) << error;
}

TEST_F(WavSourceTest, TruncatedFileGivesWhatItHoldsThenEnds) {
  std::vector<float> x(8000);
  for (size_t i = 0; i < x.size(); ++i) x[i] = 0.5f * static_cast<float>(std::sin(i * 0.3));
  std::string error;
  ASSERT_TRUE(write_wav16(path("full.wav"), x, 8000, 1, &error)) << error;
  const std::string bytes = file_text(path("full.wav"));
  write_bytes(path("cut.wav"), bytes.substr(0, 44 + 2 * 3000 + 1));  // header, 3000.5 samples
  auto source = WavSource::open_file(path("cut.wav"), &error);
  ASSERT_NE(source, nullptr) << error;
  const std::vector<float> got = read_all(*source);
  ASSERT_GE(got.size(), 3000u);
  ASSERT_LE(got.size(), 3001u);
  for (size_t i = 0; i < 3000; ++i) ASSERT_NEAR(got[i], x[i], 1.0 / 32768) << i;
  EXPECT_EQ(source->state(), SourceState::Ended);
}

TEST_F(WavSourceTest, OneSampleFileGivesOneSample) {
  std::string error;
  ASSERT_TRUE(write_wav16(path("one.wav"), std::vector<float>{0.25f}, 8000, 1, &error));
  auto source = WavSource::open_file(path("one.wav"), &error);
  ASSERT_NE(source, nullptr) << error;
  const std::vector<float> got = read_all(*source);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_FLOAT_EQ(got[0], 0.25f);
  EXPECT_EQ(source->state(), SourceState::Ended);
}

TEST_F(WavSourceTest, StereoAt96kHzBecomesMonoAt8kHz) {
  // Left: 1000 Hz tone; right: silence.  Mono is their mean.
  std::vector<float> x(2 * 96000);
  for (size_t i = 0; i < 96000; ++i)
    x[2 * i] = 0.8f * static_cast<float>(std::cos(2 * M_PI * 1000.0 * i / 96000));
  std::string error;
  ASSERT_TRUE(write_wav16(path("stereo.wav"), x, 96000, 2, &error));
  auto source = WavSource::open_file(path("stereo.wav"), &error);
  ASSERT_NE(source, nullptr) << error;
  EXPECT_EQ(source->channels(), 2);
  EXPECT_EQ(source->file_rate_hz(), 96000);
  const std::vector<float> got = read_all(*source);
  EXPECT_EQ(got.size(), 8000u);
  for (size_t k = 2000; k < 6000; ++k) {
    ASSERT_NEAR(got[k], 0.4 * std::cos(2 * M_PI * 1000.0 * k / 8000), 2e-3) << k;
  }
}

TEST_F(WavSourceTest, SilenceReadsAsSilenceInTheReceiver) {
  std::string error;
  ASSERT_TRUE(write_wav16(path("silence.wav"), std::vector<float>(16000, 0.0f), 8000, 1, &error));
  auto source = WavSource::open_file(path("silence.wav"), &error);
  ASSERT_NE(source, nullptr);
  Receiver receiver;
  receiver.process(read_all(*source));
  for (int32_t level : receiver.fft_levels()) ASSERT_EQ(level, 0);
  EXPECT_EQ(receiver.signal_level(), 0);
}

TEST_F(WavSourceTest, FloatFileWithNanAndHugeValuesStaysFinite) {
  std::string error;
  // A float WAV image in memory: 4 samples, one NaN, one infinity, one huge.
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
  auto source = WavSource::open_memory(std::vector<uint8_t>(image.begin(), image.end()), &error);
  ASSERT_NE(source, nullptr) << error;
  const std::vector<float> got = read_all(*source);
  ASSERT_EQ(got.size(), 4u);
  EXPECT_FLOAT_EQ(got[0], 0.5f);
  EXPECT_EQ(got[1], 0.0f);
  EXPECT_EQ(got[2], 0.0f);
  EXPECT_LE(got[3], 16.0f);
}

TEST_F(WavSourceTest, UnsupportedRateIsRefused) {
  std::string error;
  ASSERT_TRUE(write_wav16(path("slow.wav"), std::vector<float>(100, 0.1f), 500, 1, &error));
  EXPECT_EQ(WavSource::open_file(path("slow.wav"), &error), nullptr);
  EXPECT_NE(error.find("sample rate 500"), std::string::npos) << error;
}

}  // namespace
}  // namespace psk
