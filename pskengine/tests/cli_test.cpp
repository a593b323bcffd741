// tonvista-cli as a program: statuses, messages, generated WAVs, measure's JSON lines and the
// survey's lines and CSV.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "sim/imd_truth.h"
#include "sources/wav_writer.h"
#include "survey/simulated_band.h"
#include "test_signal.h"

namespace {

using psk::test::run_cli;
using Result = psk::test::CliResult;

std::string temp_wav(const char* name) {
  return (std::filesystem::temp_directory_path() / (std::string("tonvista_cli_") + name)).string();
}

TEST(Cli, MeasurePrintsReceivedTextAsUtf8ThroughCodePage932) {
  // 0x88 0x9F is one character; a lead byte before a space or at the end is U+FFFD, and the
  // space stays.
  const std::string path = temp_wav("text.wav");
  for (auto [bytes, utf8] : {std::pair{"A\\210\\237B\\201 C",
                                       "\"text\":\"A\xE4\xBA\x9C"
                                       "B\xEF\xBF\xBD"
                                       " C\"}"},
                             {"Z\\210", "\"text\":\"Z\xEF\xBF\xBD\"}"}}) {
    ASSERT_EQ(
        run_cli("generate " + path + " --snr 30 --idle 2 --text \"$(printf '" + bytes + "')\"")
            .status,
        0);
    const Result r = run_cli("measure " + path);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find(utf8), std::string::npos) << r.out;
  }
  std::filesystem::remove(path);
}

// 20 s of QPSK63 idle (-24 dB, +40 ppm, SNR 25 dB) in a 16-bit file: its truth within 0.3 dB
// of the IMD asked for; the tuned frequency first, then imd within 1 dB of the truth and
// clock_ppm within 3 ppm, all inside the idle.
TEST(Cli, MeasurePrintsImdAndClockErrorLines) {
  const std::string path = temp_wav("measure_idle.wav");
  ASSERT_EQ(run_cli("generate " + path +
                    " --mode qpsk63 --freq 1200 --imd -24 --snr 25 --ppm 40 --idle 20 --text tnx")
                .status,
            0);
  // Truth from 19 s of the idle (the noise in bins that narrow is 40 dB down).
  const std::vector<float> x = psk::test::read_wav(path);
  ASSERT_GE(x.size(), 20u * 8000u);
  const double truth = psk::measure_idle_imd(std::span<const float>(x).subspan(4000, 19 * 8000),
                                             1200, 62.5, 8000 * (1 + 40e-6))
                           .imd_db;
  EXPECT_NEAR(truth, -24.0, 0.3);
  const std::string out = run_cli("measure " + path + " --mode qpsk63 --freq 1200").out;
  EXPECT_EQ(out.substr(0, out.find('\n')), "{\"t\":0.00,\"freq\":1200}");
  const std::regex line("\\{\"t\":([0-9.]+),\"(imd|clock_ppm)\":(-?[0-9]+)\\}");
  int imd = 0, clock = 0;
  for (auto it = std::sregex_iterator(out.begin(), out.end(), line); it != std::sregex_iterator();
       ++it) {
    EXPECT_LE(std::stod((*it)[1]), 20.5) << it->str();  // only while the idle lasts
    const bool is_imd = (*it)[2] == "imd";
    (is_imd ? imd : clock)++;
    EXPECT_NEAR(std::stoi((*it)[3]), is_imd ? truth : 40.0, is_imd ? 1.0 : 3.0) << it->str();
  }
  EXPECT_GE(imd, 12) << out;
  EXPECT_GE(clock, 1) << out;
  std::filesystem::remove(path);
}

// Without a sound server the tests' ALSA configuration has no capture device:
// the list is the built-in signal alone, which measure and survey --device can listen to;
// measure --demo listens to the same signal.
TEST(Cli, DevicesEndWithTheBuiltInSignalWhichMeasureAndSurveyListenTo) {
  const Result list = run_cli("devices");
  EXPECT_EQ(list.status, 0) << list.out;
  const std::regex line("\\{\"index\":(\\d+),\"name\":\"([^\"]*)\",\"rate\":(\\d+)\\}");
  std::smatch last;
  int lines = 0;
  for (auto it = std::sregex_iterator(list.out.begin(), list.out.end(), line);
       it != std::sregex_iterator(); ++it, ++lines) {
    EXPECT_EQ(std::stoi((*it)[1]), lines);
    last = *it;
  }
  ASSERT_GE(lines, 1) << list.out;
  EXPECT_EQ(last[2], "Built-in test signal (BPSK31 at 1500 Hz)");
  EXPECT_EQ(last[3], "8000");
  const Result live = run_cli("measure --device " + last[1].str() + " --seconds 1.5");
  EXPECT_EQ(live.status, 0) << live.out;
  EXPECT_NE(live.out.find(R"("status":"running"})"), std::string::npos) << live.out;
  const Result survey = run_cli("survey --device " + last[1].str());
  EXPECT_EQ(survey.status, 0) << survey.out;
  EXPECT_NE(survey.out.find("\"station\":\"JA1DEMO\""), std::string::npos) << survey.out;
  const Result demo = run_cli("measure --demo --seconds 2");
  EXPECT_EQ(demo.status, 0);
  EXPECT_EQ(demo.out.substr(0, demo.out.find('\n')), "{\"t\":0.00,\"freq\":1500}");
}

TEST(Cli, BadInputGivesAMessageAndANonZeroStatus) {
  const std::string x = temp_wav("x.wav");
  const std::tuple<std::string, int, const char*> cases[] = {
      {"measure /nonexistent/file.wav", 1, "no such file"},
      {"measure --demo --mode psk99", 2, "unknown mode"},
      {"generate", 2, "needs one output file"},
      {"generate " + x + " --imd 5", 2, "--imd"},
      {"generate " + x + " --snr", 2, "--snr needs a value"},
      {"generate /nonexistent/dir/x.wav", 1, "cannot write"},
      {"frobnicate", 2, "usage"},
      // Devices as the dialog numbers them: the built-in signal is the last.
      {"measure --device 999", 1, "no device \"999\""},
      {"measure --device \"No such card\"", 1, "no device \"No such card\""},
      {"measure --device -3", 1, "no device \"-3\""},
      {"measure --device 0 --demo", 2, "one WAV file, --demo or --device"},
      {"devices extra", 2, "takes no arguments"}};
  for (const auto& [args, status, message] : cases) {
    const Result r = run_cli(args);
    EXPECT_EQ(r.status, status) << args;
    EXPECT_NE(r.out.find(message), std::string::npos) << args << ": " << r.out;
  }
}

TEST(SurveyCli, BadInputGivesMeasuresMessagesOrAClearOne) {
  const std::string broken = temp_wav("broken.wav");
  std::ofstream(broken) << "RIFF\x10\x00\x00\x00WAVEnot really";
  for (const std::string& file : {std::string("/nonexistent/file.wav"), broken}) {
    const Result measure = run_cli("measure " + file);
    const Result survey = run_cli("survey " + file);
    EXPECT_EQ(survey.status, 1) << file;
    EXPECT_EQ(survey.out, "tonvista-cli survey" + measure.out.substr(measure.out.find(':')));
  }
  std::filesystem::remove(broken);
  const std::pair<const char*, const char*> ranges[] = {
      {"--from 50", "--from must be a number from 100 to 3000"},
      {"--to 3500", "--to must be a number from 100 to 3000"},
      {"--from 2000 --to 1000", "--from (2000 Hz) must be below --to (1000 Hz)"},
      {"--from 1500 --to 1500", "must be below"},
      {"--threads 0", "--threads"},
  };
  for (const auto& [args, message] : ranges) {
    const Result r = run_cli(std::string("survey --demo-band ") + args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_NE(r.out.find(message), std::string::npos) << args << ": " << r.out;
  }
  const Result no_device = run_cli("survey --device 999");
  EXPECT_EQ(no_device.status, 1);
  EXPECT_NE(no_device.out.find("no device \"999\""), std::string::npos) << no_device.out;
}

TEST(SurveyCli, NoSignalGivesNoLinesAndTheDemoBandItsStations) {
  const std::string quiet = temp_wav("quiet.wav");
  std::string error;
  ASSERT_TRUE(psk::write_wav16(quiet, psk::render_band({}, 6, 2), 8000, 1, &error)) << error;
  const Result none = run_cli("survey " + quiet);
  EXPECT_EQ(none.status, 0);
  EXPECT_EQ(none.out, "");
  std::filesystem::remove(quiet);

  // Two of the demo band's stations lie within 400..1000 Hz.
  const std::string csv = temp_wav("band.csv");
  const Result demo = run_cli("survey --demo-band --from 400 --to 1000 --threads 2 --csv " + csv);
  EXPECT_EQ(demo.status, 0) << demo.out;
  EXPECT_NE(demo.out.find("{\"station\":\"DL1ABC\",\"freq\":520.0,\"mode\":\"bpsk31\""),
            std::string::npos)
      << demo.out;
  EXPECT_NE(demo.out.find("{\"station\":\"G4XYZ/P\",\"freq\":829.9,\"mode\":\"bpsk63\""),
            std::string::npos)
      << demo.out;
  std::ifstream in(csv);
  std::vector<std::string> rows;
  for (std::string line; std::getline(in, line);) rows.push_back(line);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0],
            "call,freq_hz,mode,imd_median_db,imd_readings,snr_db,clock_ppm,first_heard_s,"
            "last_heard_s");
  EXPECT_EQ(rows[1].rfind("DL1ABC,520.0,bpsk31,", 0), 0u) << rows[1];
  EXPECT_EQ(rows[2].rfind("G4XYZ/P,829.9,bpsk63,", 0), 0u) << rows[2];
  std::filesystem::remove(csv);
}

}  // namespace
