// tonvista-cli as a program: exit statuses, messages, the WAV that generate
// writes (its idle IMD within 0.3 dB after 16-bit rounding) and the lines
// that measure prints.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "sim/imd_truth.h"
#include "sources/wav_source.h"

namespace {

struct Result {
  int status;
  std::string out;
};

Result run(const std::string& args) {
  const std::string command = std::string(TONVISTA_CLI) + " " + args + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  Result r{-1, ""};
  if (pipe == nullptr) return r;
  std::array<char, 4096> buffer;
  while (size_t n = fread(buffer.data(), 1, buffer.size(), pipe)) r.out.append(buffer.data(), n);
  const int status = pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::string temp_wav(const char* name) {
  return (std::filesystem::temp_directory_path() / (std::string("tonvista_cli_") + name)).string();
}

TEST(Cli, GenerateWritesTheImdAskedForInto16BitWav) {
  const std::string path = temp_wav("imd.wav");
  for (const char* imd : {"-10", "-25", "-40"}) {
    ASSERT_EQ(
        run("generate " + path + " --imd " + imd + " --idle 6 --mode qpsk63 --freq 1200").status,
        0);
    std::string error;
    auto source = psk::WavSource::open_file(path, &error);
    ASSERT_NE(source, nullptr) << error;
    std::vector<float> x(static_cast<size_t>(source->total_samples()));
    source->read(x);
    const auto idle = std::span<const float>(x).subspan(2000, 40000);
    EXPECT_NEAR(psk::measure_idle_imd(idle, 1200, 62.5).imd_db, std::stod(imd), 0.3) << imd;
  }
  std::filesystem::remove(path);
}

TEST(Cli, MeasurePrintsJsonLines) {
  const std::string path = temp_wav("measure.wav");
  ASSERT_EQ(run("generate " + path + " --snr 20 --text hello --seconds 4").status, 0);
  const Result r = run("measure " + path + " --freq 1400 --afc off");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "{\"t\":0.00,\"freq\":1400}");
  const Result demo = run("measure --demo --seconds 2");
  EXPECT_EQ(demo.status, 0);
  EXPECT_EQ(demo.out.substr(0, demo.out.find('\n')), "{\"t\":0.00,\"freq\":1500}");
  std::filesystem::remove(path);
}

TEST(Cli, MeasurePrintsReceivedTextAsUtf8ThroughCodePage932) {
  // 0x88 0x9F is one character in code page 932; 0x81 0x20 is no character
  // and becomes U+FFFD.
  const std::string path = temp_wav("text.wav");
  ASSERT_EQ(
      run("generate " + path + " --snr 30 --idle 2 --text \"$(printf 'A\\210\\237B\\201 C')\"")
          .status,
      0);
  const Result r = run("measure " + path);
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("\"text\":\"A\xE4\xBA\x9C"
                       "B\xEF\xBF\xBD"
                       "C\"}"),
            std::string::npos)
      << r.out;
  // A lead byte with nothing after it is printed as U+FFFD at the end.
  ASSERT_EQ(run("generate " + path + " --snr 30 --idle 2 --text \"$(printf 'Z\\210')\"").status, 0);
  const Result lone = run("measure " + path);
  EXPECT_NE(lone.out.find("\"text\":\"Z"), std::string::npos) << lone.out;
  EXPECT_NE(lone.out.find("\xEF\xBF\xBD\"}"), std::string::npos) << lone.out;
  std::filesystem::remove(path);
}

TEST(Cli, BadInputGivesAMessageAndANonZeroStatus) {
  Result r = run("measure /nonexistent/file.wav");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("no such file"), std::string::npos) << r.out;
  r = run("measure --demo --mode psk99");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("unknown mode"), std::string::npos) << r.out;
  r = run("generate");
  EXPECT_EQ(r.status, 2);
  r = run("generate " + temp_wav("x.wav") + " --imd 5");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("--imd"), std::string::npos) << r.out;
  r = run("generate " + temp_wav("x.wav") + " --snr");
  EXPECT_EQ(r.status, 2);
  r = run("generate /nonexistent/dir/x.wav");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("cannot write"), std::string::npos) << r.out;
  r = run("frobnicate");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("usage"), std::string::npos);
}

}  // namespace
