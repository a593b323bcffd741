// The running engine with scripted sources: notifications, pacing, status,
// start and stop.  Sources are paced in real time, so these tests take about
// a second each.
#include "runtime/engine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace psk {
namespace {

using namespace std::chrono_literals;

// A file-like source: n samples of a tone, then the end.
class FiniteSource : public AudioSource {
 public:
  explicit FiniteSource(size_t n) : left_(n) {}
  size_t read(std::span<float> out) override {
    const size_t n = std::min(out.size(), left_);
    for (size_t i = 0; i < n; ++i) out[i] = 0.1f * static_cast<float>((pos_++ % 16) < 8 ? 1 : -1);
    left_ -= n;
    return n;
  }
  bool live() const override { return false; }
  SourceState state() const override {
    return left_ == 0 ? SourceState::Ended : SourceState::Running;
  }

 private:
  size_t left_;
  size_t pos_ = 0;
};

// A device-like source the test controls: delivers 10 ms of silence per read
// (after waiting 10 ms), and reports overruns and loss when told to.
class ScriptedDevice : public AudioSource {
 public:
  size_t read(std::span<float> out) override {
    std::this_thread::sleep_for(10ms);
    const size_t n = std::min<size_t>(out.size(), 80);
    std::fill_n(out.begin(), n, 0.0f);
    return lost ? 0 : n;
  }
  bool live() const override { return true; }
  SourceState state() const override { return lost ? SourceState::Lost : SourceState::Running; }
  uint64_t overruns() const override { return overrun_count.load(); }
  std::atomic<uint64_t> overrun_count{0};
  std::atomic<bool> lost{false};
};

// Records what the engine posts; optionally fetches display data on every
// display notification, as the program's handler does.
struct Recorder {
  std::mutex mutex;
  std::vector<std::pair<uint32_t, int32_t>> messages;
  Engine* fetch_from = nullptr;
  PskMessageSink sink{&Recorder::post, this};

  static void post(void* context, uint32_t msg, int32_t wparam, int32_t) {
    auto* self = static_cast<Recorder*>(context);
    {
      std::lock_guard lock(self->mutex);
      self->messages.emplace_back(msg, wparam);
    }
    if (msg == WM_ENGINE_DISPLAY && self->fetch_from != nullptr) {
      int32_t vectors[16];
      self->fetch_from->vector_data(vectors);
    }
  }
  std::vector<std::pair<uint32_t, int32_t>> snapshot() {
    std::lock_guard lock(mutex);
    return messages;
  }
  int count(uint32_t msg) {
    int n = 0;
    for (auto& m : snapshot()) n += m.first == msg;
    return n;
  }
  std::vector<int32_t> statuses() {
    std::vector<int32_t> s;
    for (auto& m : snapshot()) {
      if (m.first == WM_ENGINE_STATUS) s.push_back(m.second);
    }
    return s;
  }
};

bool wait_until(const std::function<bool()>& done, std::chrono::milliseconds limit = 3000ms) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

TEST(Engine, FileIsPacedInRealTimeAndItsEndIsReported) {
  Engine engine;
  Recorder recorder;
  recorder.fetch_from = &engine;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(engine.start_source(&recorder.sink, std::make_unique<FiniteSource>(6400)),
            PSK_START_OK);
  ASSERT_TRUE(wait_until([&] { return recorder.statuses().size() == 2; }));
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GT(seconds, 0.7);  // 0.8 s of audio
  EXPECT_EQ(recorder.statuses(), (std::vector<int32_t>{0, 1}));
  // Every display notification was handled at once, so each was posted.
  EXPECT_EQ(recorder.count(WM_ENGINE_DISPLAY), 8);
  EXPECT_EQ(recorder.snapshot().front().first, static_cast<uint32_t>(WM_ENGINE_STATUS));
  engine.stop();
  EXPECT_FALSE(engine.running());
}

TEST(Engine, UnhandledDisplayNotificationIsNeverFollowedByASecond) {
  Engine engine;
  Recorder recorder;  // never fetches
  engine.start_source(&recorder.sink, std::make_unique<FiniteSource>(4000));
  ASSERT_TRUE(wait_until([&] { return recorder.statuses().size() == 2; }));
  EXPECT_EQ(recorder.count(WM_ENGINE_DISPLAY), 1);
  // Handling it (a fetch) lets the next one through.
  engine.stop();
  engine.start_source(&recorder.sink, std::make_unique<FiniteSource>(8000));
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(recorder.count(WM_ENGINE_DISPLAY), 2);
  int32_t level_ignored = engine.signal_level();
  (void)level_ignored;
  ASSERT_TRUE(wait_until([&] { return recorder.count(WM_ENGINE_DISPLAY) == 3; }));
  engine.stop();
}

TEST(Engine, DeviceOverrunAndLossSetTheStatusLamp) {
  Engine engine;
  Recorder recorder;
  recorder.fetch_from = &engine;
  auto device = std::make_unique<ScriptedDevice>();
  ScriptedDevice* d = device.get();
  engine.start_source(&recorder.sink, std::move(device));
  ASSERT_TRUE(wait_until([&] { return recorder.statuses().size() == 1; }));
  d->overrun_count = 5;
  ASSERT_TRUE(wait_until([&] { return recorder.statuses().size() == 2; }));
  // Held for a second, then back to running.
  ASSERT_TRUE(wait_until([&] { return recorder.statuses().size() == 3; }));
  d->lost = true;
  ASSERT_TRUE(wait_until([&] { return recorder.statuses().size() == 4; }));
  EXPECT_EQ(recorder.statuses(), (std::vector<int32_t>{0, 1, 0, 1}));
  engine.stop();
}

TEST(Engine, OperationsAreSafeBeforeDuringAndAfterARun) {
  Engine engine;
  engine.stop();  // without a start
  std::vector<int32_t> fft(1024, -1);
  EXPECT_EQ(engine.fft_data(fft.data(), 100, 200), 0);
  EXPECT_EQ(fft[99], -1);
  EXPECT_EQ(fft[100], 0);
  EXPECT_EQ(fft[200], 0);
  EXPECT_EQ(fft[201], -1);
  EXPECT_EQ(engine.fft_data(fft.data(), -50, 5000), 0);  // kept within 0..1023
  EXPECT_EQ(engine.fft_data(nullptr, 0, 10), -1);
  std::vector<int32_t> raw(2049, -1);
  int32_t count = 2049;
  EXPECT_EQ(engine.raw_data(raw.data(), &count), 0);
  EXPECT_EQ(count, 2047);
  EXPECT_EQ(raw[2046], 0);
  EXPECT_EQ(raw[2047], -1);
  count = 0;
  engine.raw_data(raw.data(), &count);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(engine.raw_data(raw.data(), nullptr), -1);
  EXPECT_EQ(engine.vector_data(nullptr), -1);
  EXPECT_EQ(engine.signal_level(), 0);
  EXPECT_EQ(engine.closest_peak(1500, 100), -1);
  // Settings are kept without a run.
  engine.set_rx_frequency(1234);
  EXPECT_EQ(engine.rx_frequency(), 1234);
  EXPECT_EQ(engine.set_mode(3), -1);

  Recorder recorder;
  engine.start_source(&recorder.sink, std::make_unique<FiniteSource>(80000));
  ASSERT_TRUE(wait_until([&] { return recorder.count(WM_ENGINE_DISPLAY) >= 1; }));
  engine.fft_data(fft.data(), 0, 1023);
  EXPECT_GT(*std::max_element(fft.begin(), fft.end()), 50);
  EXPECT_EQ(engine.closest_peak(500, 40), 500);  // the square wave's fundamental
  // A second start replaces the running input.
  EXPECT_EQ(engine.start_source(nullptr, std::make_unique<FiniteSource>(800)), PSK_START_OK);
  EXPECT_TRUE(engine.running());
  engine.stop();
  engine.stop();
  engine.fft_data(fft.data(), 0, 1023);
  EXPECT_EQ(*std::max_element(fft.begin(), fft.end()), 0);
  EXPECT_EQ(engine.rx_frequency(), 1234);
}

}  // namespace
}  // namespace psk
