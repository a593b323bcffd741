// tonvista-cli measure prints the engine's measurements: a generated WAV of
// 20 s of idle (QPSK63, IMD -24 dB, +40 ppm, SNR 25 dB) gives "imd" lines
// within +-1 dB of the file's truth (a long DFT of its idle part) and
// "clock_ppm" lines within +-3 ppm, each at a time inside the idle.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "sim/imd_truth.h"
#include "sources/wav_source.h"

namespace {

std::string run(const std::string& args) {
  const std::string command = std::string(TONVISTA_CLI) + " " + args + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  std::string out;
  if (pipe == nullptr) return out;
  std::array<char, 4096> buffer;
  while (size_t n = fread(buffer.data(), 1, buffer.size(), pipe)) out.append(buffer.data(), n);
  pclose(pipe);
  return out;
}

TEST(CliMeasure, PrintsImdAndClockErrorLines) {
  const std::string path =
      (std::filesystem::temp_directory_path() / "tonvista_cli_measure_idle.wav").string();
  run("generate " + path +
      " --mode qpsk63 --freq 1200 --imd -24 --snr 25 --ppm 40 --idle 20 --text tnx");
  std::string error;
  auto source = psk::WavSource::open_file(path, &error);
  ASSERT_NE(source, nullptr) << error;
  std::vector<float> x(static_cast<size_t>(source->total_samples()));
  source->read(x);
  // The file's truth, from 19 s of its idle part (the noise in a bin that
  // narrow is 40 dB below the products).
  const double truth = psk::measure_idle_imd(std::span<const float>(x).subspan(4000, 19 * 8000),
                                             1200, 62.5, 8000 * (1 + 40e-6))
                           .imd_db;

  const std::string out = run("measure " + path + " --mode qpsk63 --freq 1200");
  // {"t":12.34,"imd":-24} or {"t":...,"clock_ppm":40}
  const std::regex line("\\{\"t\":([0-9.]+),\"(imd|clock_ppm)\":(-?[0-9]+)\\}");
  int imd = 0, clock = 0;
  for (auto it = std::sregex_iterator(out.begin(), out.end(), line); it != std::sregex_iterator();
       ++it) {
    const double t = std::stod((*it)[1]);
    const int value = std::stoi((*it)[3]);
    EXPECT_LE(t, 20.5) << it->str();  // only while the idle lasts
    if ((*it)[2] == "imd") {
      ++imd;
      EXPECT_NEAR(value, truth, 1.0) << it->str();
    } else {
      ++clock;
      EXPECT_NEAR(value, 40, 3) << it->str();
    }
  }
  EXPECT_GE(imd, 12) << out;
  EXPECT_GE(clock, 1) << out;
  std::filesystem::remove(path);
}

}  // namespace
