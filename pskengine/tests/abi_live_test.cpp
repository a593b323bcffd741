// Live capture through a PulseAudio server of the test's own: a null sink
// whose monitor is the default input, a generated signal played into it, the
// engine on it through the C interface and tonvista-cli on it.  Waits are
// bounded; the server is stopped by its pid.  Skipped only where pulseaudio
// is not installed.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "abi_window.h"
#include "pskengine.h"
#include "test_signal.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr const char* kSink = "tonvista_test";
constexpr const char* kText = "CQ de TONVISTA live test";

bool run_quietly(const std::string& command) {
  return std::system(("(" + command + ") >/dev/null 2>&1").c_str()) == 0;
}

// ALSA unloads the PulseAudio bridge's modules after each device list, and
// LeakSanitizer cannot scan what an unloaded module kept; loaded once here
// for good, they stay.
void keep_pulse_modules_loaded() {
  void* alsa = dlopen("libasound.so.2", RTLD_NOW);
  Dl_info info{};
  if (alsa == nullptr || dladdr(dlsym(alsa, "snd_pcm_open"), &info) == 0) return;
  const fs::path modules = fs::path(info.dli_fname).parent_path() / "alsa-lib";
  for (const char* m : {"libasound_module_pcm_pulse.so", "libasound_module_ctl_pulse.so"})
    dlopen((modules / m).c_str(), RTLD_NOW | RTLD_NODELETE);
}

// A PulseAudio server in a private runtime folder, with a null sink whose
// monitor is the default source.  The process's environment points PulseAudio
// clients (and ALSA's bridge) at it, never at a server of the host.
class SoundServer {
 public:
  SoundServer() {
    char pattern[] = "/tmp/tonvista_pulse_XXXXXX";
    root_ = mkdtemp(pattern);
    fs::create_directories(root_ / "run");
    fs::create_directories(root_ / "home");
    fs::permissions(root_ / "run", fs::perms::owner_all);
    std::ofstream(root_ / "client.conf") << "autospawn = no\n";
    setenv("XDG_RUNTIME_DIR", (root_ / "run").c_str(), 1);
    setenv("HOME", (root_ / "home").c_str(), 1);
    setenv("PULSE_CLIENTCONFIG", (root_ / "client.conf").c_str(), 1);
    setenv("ALSA_CONFIG_PATH",
           (std::string(TONVISTA_TEST_ALSA_CONF) + ":" + TONVISTA_TEST_PULSE_CONF).c_str(), 1);
  }
  ~SoundServer() {
    stop();
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  // Starts the server with its sink and nothing else (no sound card is
  // touched); false when it did not come up.  The server ends itself after
  // 20 s without clients, should this test process die before it can stop it.
  bool start() {
    if (!run_quietly(std::string("timeout 20 pulseaudio --start --exit-idle-time=20 -n "
                                 "--load=module-native-protocol-unix "
                                 "'--load=module-null-sink sink_name=") +
                     kSink + "'"))
      return false;
    std::ifstream(root_ / "run" / "pulse" / "pid") >> pid_;
    return pid_ > 0 &&
           run_quietly(std::string("timeout 10 pactl set-default-source ") + kSink + ".monitor");
  }
  // Stops the server by its pid: SIGTERM, then SIGKILL after 5 s.
  void stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    for (auto end = Clock::now() + 5s; kill(pid_, 0) == 0 && Clock::now() < end;)
      std::this_thread::sleep_for(20ms);
    if (kill(pid_, 0) == 0) kill(pid_, SIGKILL);
    pid_ = 0;
  }
  // Plays a WAV file into the sink to its end (what arrives meanwhile queues).
  bool play(const std::string& wav) {
    return run_quietly(std::string("timeout 60 paplay --device=") + kSink + " " + wav);
  }
  fs::path folder() const { return root_; }

 private:
  fs::path root_;  // private runtime and home folders
  pid_t pid_ = 0;  // the server's process
};

using psk::test::Window;

// Every display reads zero: spectrum, signal level and raw samples.
bool displays_read_zero() {
  std::vector<int32_t> fft(1024, -1), raw(2049, -1);
  int32_t count = 2047;
  fnGetFFTData(fft.data(), 0, 1023);
  fnGetRawData(raw.data(), 0, &count);
  return fnGetSignalLevel(0) == 0 &&
         std::all_of(fft.begin(), fft.end(), [](int v) { return v == 0; }) &&
         std::all_of(raw.begin(), raw.begin() + count, [](int v) { return v == 0; });
}

class LiveCapture : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!run_quietly("command -v pulseaudio && command -v pactl && command -v paplay"))
      GTEST_SKIP() << "pulseaudio, pactl or paplay is not installed";
    keep_pulse_modules_loaded();
    ASSERT_TRUE(server_.start()) << "the private PulseAudio server did not start";
    wav_ = (server_.folder() / "signal.wav").string();
    // 6 s of idle at a known IMD, then the text, 30 dB over the noise.
    ASSERT_TRUE(run_quietly(std::string(TONVISTA_CLI) + " generate " + wav_ +
                            " --imd -28 --snr 30 --idle 6 --seconds 13 --text '" + kText + "'"));
    const std::vector<float> x = psk::test::read_wav(wav_);
    ASSERT_GE(x.size(), 6u * 8000u);
    truth_imd_ =
        psk::measure_idle_imd(std::span<const float>(x).subspan(4000, 40000), 1500, 31.25).imd_db;
    fnSetRXFrequency(1500, 0, 0);
    fnSetRXPSKMode(PSK_MODE_BPSK31, 0);
    fnSetAFCLimit(0, 0);
  }
  void TearDown() override { fnStopSoundCard(); }

  SoundServer server_;
  Window window_;           // outlives the engine's run (stopped in TearDown)
  std::string wav_;         // the signal played
  double truth_imd_ = 0.0;  // its idle IMD, dB
};

TEST_F(LiveCapture, DefaultAndNamedDeviceGiveExactTextAndImdWithinOneDb) {
  const int32_t count = pskengine_device_count();
  int32_t pulse = -1;
  char name[256];
  for (int32_t i = 0; i < count; ++i) {
    if (pskengine_device_name(i, name, sizeof name) >= 0 && std::string(name) == "pulse") pulse = i;
  }
  ASSERT_GE(pulse, 0) << "the server's ALSA device is not listed";
  for (int32_t device : {-1, pulse}) {
    SCOPED_TRACE(device);
    Window window;
    ASSERT_EQ(fnStartSoundCard(&window.sink, device, 1), PSK_START_OK);
    ASSERT_TRUE(window.pump_until([&] { return !window.status.empty(); }, 10s));
    EXPECT_TRUE(server_.play(wav_));
    window.pump_until([&] { return window.text.find(kText) != std::string::npos; }, 5s);
    fnStopSoundCard();
    EXPECT_NE(window.text.find(kText), std::string::npos) << window.text;
    EXPECT_EQ(window.status, std::vector<int32_t>{0});
    ASSERT_FALSE(window.imd.empty());
    for (int32_t imd : window.imd) EXPECT_NEAR(imd, truth_imd_, 1.0);
  }
}

// The server killed: status 1 and every display at zero; the server back:
// status 0 and exact text again, in the same run.
TEST_F(LiveCapture, KilledServerIsReportedAndCaptureResumesWhenItReturns) {
  ASSERT_EQ(fnStartSoundCard(&window_.sink, -1, 1), PSK_START_OK);
  ASSERT_TRUE(window_.pump_until([&] { return window_.status == std::vector<int32_t>{0}; }, 10s));
  const auto killed = Clock::now();
  server_.stop();
  ASSERT_TRUE(window_.pump_until([&] { return window_.status.size() == 2; }, 10s));
  const double lost_after = std::chrono::duration<double>(Clock::now() - killed).count();
  EXPECT_EQ(window_.status.back(), 1);
  EXPECT_TRUE(displays_read_zero());

  ASSERT_TRUE(server_.start());
  const auto restarted = Clock::now();
  ASSERT_TRUE(window_.pump_until([&] { return window_.status.size() == 3; }, 15s));
  const double back_after = std::chrono::duration<double>(Clock::now() - restarted).count();
  EXPECT_EQ(window_.status.back(), 0);
  EXPECT_TRUE(server_.play(wav_));
  EXPECT_TRUE(window_.pump_until([&] { return window_.text.find(kText) != std::string::npos; }, 5s))
      << window_.text;
  RecordProperty("lost_after_ms", static_cast<int>(lost_after * 1000));
  RecordProperty("running_again_after_ms", static_cast<int>(back_after * 1000));
}

// tonvista-cli listens to the default device until SIGINT (after 20 s), then
// ends at once (a second later timeout would kill it: status 137) with its
// last lines printed and exit status 0.
TEST_F(LiveCapture, CliMeasuresTheDefaultDeviceUntilInterrupted) {
  // ALSA's unloaded modules would only trip the sanitized tool's leak check
  // (see keep_pulse_modules_loaded).
  FILE* out =
      popen(("ASAN_OPTIONS=detect_leaks=0 timeout --preserve-status -k 1 -s INT 20 " +
             std::string(TONVISTA_CLI) + " measure --device default --afc off; echo \"exit $?\"")
                .c_str(),
            "r");
  ASSERT_NE(out, nullptr);
  std::string lines;
  bool played = false;  // the tool's output waits in the pipe while the signal plays
  char line[1024];
  while (std::fgets(line, sizeof line, out) != nullptr) {
    lines += line;
    if (!played && std::strstr(line, R"("status":"running")")) played = server_.play(wav_);
  }
  pclose(out);
  EXPECT_TRUE(played) << lines;
  EXPECT_NE(lines.find(kText), std::string::npos) << lines;
  EXPECT_NE(lines.find("\nexit 0\n"), std::string::npos) << lines;
  int imd_lines = 0;
  for (size_t at = lines.find("\"imd\":"); at != std::string::npos;
       at = lines.find("\"imd\":", at + 1), ++imd_lines)
    EXPECT_NEAR(std::stoi(lines.substr(at + 6)), truth_imd_, 1.0) << lines.substr(at, 12);
  EXPECT_GE(imd_lines, 1) << lines;
}

}  // namespace
