// The station log: one row per IMD reading shown, with the callsign last
// heard after "de" near the receive frequency; off by default; an unwritable
// file reported once while the window goes on.
#include "log/station_log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/Module1.h"
#include "app/form1.h"
#include "replay_test_support.h"

using namespace testing_support;

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The script lines that post received text, one byte per notification.
std::string PostText(const std::string& text) {
  std::string script;
  for (unsigned char c : text) script += "post 2025 " + std::to_string(c) + " 0\n";
  return script;
}

struct StationLog : LoadedMainWindow {
  void SetUp() override {
    LoadedMainWindow::SetUp();
    // A file of this test's own: CTest runs the tests side by side.
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    path = (std::filesystem::temp_directory_path() /
            ("tonvista_station_log_" + name + "_" + std::to_string(getpid()) + ".csv"))
               .string();
    std::filesystem::remove(path);
    station_log::SetClock([] { return std::time_t{1796000000}; });  // 2026-11-30T00:53:20Z
    station_log::SetMessageSink([this](const std::string& m) { messages.push_back(m); });
  }
  void TearDown() override {
    station_log::Close();
    std::filesystem::remove(path);
  }
  std::string path;
  std::vector<std::string> messages;
};

TEST_F(StationLog, RowsCarryFrequencyModeSnrAndTheCallLastHeardThere) {
  station_log::Open(path);
  struct Step {
    int freq;          // receive frequency the engine reports
    int level;         // signal level (40 + 2 dB per S/N step)
    int mode;          // PskMode code
    const char* text;  // received before the reading
    int imd;           // the reading posted
    const char* row;   // the row expected
  };
  const Step steps[] = {
      {1234, 64, 9, "CQ CQ de dl1abc/p pse k\r", -28,
       "2026-11-30T00:53:20Z,1234,qpsk63,-28,12.0,DL1ABC/P"},
      // Elsewhere, nothing heard yet; then back within 10 Hz of the first.
      {1500, 40, 0, "", -31, "2026-11-30T00:53:20Z,1500,bpsk31,-31,0.0,"},
      {1240, 70, 9, "", -27, "2026-11-30T00:53:20Z,1240,qpsk63,-27,15.0,DL1ABC/P"},
      // A newer call on that frequency replaces it; a call not after "de" does not.
      {1236, 50, 16, "DL1ABC de G4XYZ k ", -20, "2026-11-30T00:53:20Z,1236,bpsk125,-20,5.0,G4XYZ"},
      // The reading as the window shows it: clamped to 16 bits.
      {1236, 0, 16, "", 40000, "2026-11-30T00:53:20Z,1236,bpsk125,32767,-20.0,G4XYZ"},
  };
  std::string expected = "utc,freq_hz,mode,imd_db,snr_db,call\n";
  for (const Step& s : steps) {
    PskMode = static_cast<int16_t>(s.mode);
    session.Run("engine freq " + std::to_string(s.freq) + "\nengine level " +
                std::to_string(s.level) + "\n" + PostText(s.text) + "post 2027 " +
                std::to_string(s.imd) + " 0");
    expected += std::string(s.row) + "\n";
    EXPECT_EQ(ReadFile(path), expected) << s.row;
  }
  EXPECT_TRUE(messages.empty());
}

TEST_F(StationLog, OffByDefaultAndAnUnwritableFileIsReportedOnce) {
  session.Run(PostText("de DL1ABC ") + "post 2027 -28 0");
  EXPECT_FALSE(std::filesystem::exists(path));

  const std::string bad = "/nonexistent-folder/log.csv";
  station_log::Open(bad);
  session.Run("post 2027 -28 0\npost 2027 -27 0");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find(bad), std::string::npos);
  // The window goes on: its readouts took all three readings.
  EXPECT_EQ(Form1().Text1.Text(), "3");
}

TEST(StationLogArguments, LogOptionNamesTheFile) {
  struct Case {
    std::vector<const char*> args;
    std::optional<std::string> path;
    bool error;
  };
  const Case cases[] = {
      {{"tonvista"}, std::nullopt, false},
      {{"tonvista", "--log", "a.csv"}, "a.csv", false},
      {{"tonvista", "-style", "fusion", "--log", "b.csv"}, "b.csv", false},
      {{"tonvista", "--log"}, std::nullopt, true},
  };
  for (const Case& c : cases) {
    std::vector<char*> argv;
    for (const char* a : c.args) argv.push_back(const_cast<char*>(a));
    std::string error;
    EXPECT_EQ(station_log::PathFromArguments(static_cast<int>(argv.size()), argv.data(), &error),
              c.path);
    EXPECT_EQ(!error.empty(), c.error);
  }
}

}  // namespace
