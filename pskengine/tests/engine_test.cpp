// The running engine with scripted real-time sources, and the audio callback's ring.
#include "runtime/engine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/spsc_ring.h"

namespace psk {
namespace {

using namespace std::chrono_literals;

// A file-like source: n samples of a 500 Hz square wave, then the end.
class FiniteSource : public AudioSource {
 public:
  explicit FiniteSource(size_t n) : left_(n) {}
  size_t read(std::span<float> out) override {
    const size_t n = std::min(out.size(), left_);
    for (size_t i = 0; i < n; ++i) out[i] = (pos_++ % 16) < 8 ? 0.1f : -0.1f;
    left_ -= n;
    return n;
  }
  bool live() const override { return false; }
  SourceState state() const override { return left_ ? SourceState::Running : SourceState::Ended; }

 private:
  size_t left_, pos_ = 0;  // samples left, samples delivered
};

// A device-like source: 10 ms of silence per 10 ms read; overruns and loss when told.
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

// Records what the engine posts; with fetch_from set, handles each display
// notification by fetching display data.
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
    int32_t vectors[16];
    if (msg == WM_ENGINE_DISPLAY && self->fetch_from) self->fetch_from->vector_data(vectors);
  }
  // The wParams of every message msg posted so far.
  std::vector<int32_t> of(uint32_t msg) {
    std::lock_guard lock(mutex);
    std::vector<int32_t> out;
    for (auto [m, wparam] : messages)
      if (m == msg) out.push_back(wparam);
    return out;
  }
  // Waits up to 3 s until n messages msg have been posted.
  bool wait(uint32_t msg, size_t n) {
    for (auto end = std::chrono::steady_clock::now() + 3s; of(msg).size() < n;) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(5ms);
    }
    return of(msg).size() == n;
  }
};

TEST(Engine, FileIsPacedInRealTimeAndItsEndIsReported) {
  Engine engine;
  Recorder recorder;
  recorder.fetch_from = &engine;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(engine.start_source(&recorder.sink, std::make_unique<FiniteSource>(6400)),
            PSK_START_OK);
  ASSERT_TRUE(recorder.wait(WM_ENGINE_STATUS, 2));
  const auto seconds = std::chrono::steady_clock::now() - start;
  engine.stop();  // nothing is posted after it returns
  EXPECT_FALSE(engine.running());
  EXPECT_GT(seconds, 700ms);  // 0.8 s of audio
  EXPECT_EQ(recorder.of(WM_ENGINE_STATUS), (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(recorder.messages.front().first, static_cast<uint32_t>(WM_ENGINE_STATUS));
  // The end is reported after everything the last block held.
  EXPECT_EQ(recorder.messages.back(), std::make_pair(uint32_t{WM_ENGINE_STATUS}, int32_t{1}));
  // Every display notification was handled at once, so each was posted.
  EXPECT_EQ(recorder.of(WM_ENGINE_DISPLAY).size(), 8u);
}

TEST(Engine, UnhandledDisplayNotificationIsNeverFollowedByASecond) {
  Engine engine;
  Recorder recorder;  // never fetches
  engine.start_source(&recorder.sink, std::make_unique<FiniteSource>(4000));
  ASSERT_TRUE(recorder.wait(WM_ENGINE_STATUS, 2));
  EXPECT_EQ(recorder.of(WM_ENGINE_DISPLAY).size(), 1u);
  engine.stop();
  // Handling it (a fetch) lets the next one through.
  engine.start_source(&recorder.sink, std::make_unique<FiniteSource>(8000));
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(recorder.of(WM_ENGINE_DISPLAY).size(), 2u);
  engine.signal_level();
  ASSERT_TRUE(recorder.wait(WM_ENGINE_DISPLAY, 3));
  engine.stop();
}

TEST(Engine, DeviceOverrunAndLossSetTheStatusLamp) {
  Engine engine;
  Recorder recorder;
  recorder.fetch_from = &engine;
  auto device = std::make_unique<ScriptedDevice>();
  ScriptedDevice* d = device.get();
  engine.start_source(&recorder.sink, std::move(device));
  ASSERT_TRUE(recorder.wait(WM_ENGINE_STATUS, 1));
  d->overrun_count = 5;
  ASSERT_TRUE(recorder.wait(WM_ENGINE_STATUS, 2));
  ASSERT_TRUE(recorder.wait(WM_ENGINE_STATUS, 3));  // held for a second, then back to running
  d->lost = true;
  ASSERT_TRUE(recorder.wait(WM_ENGINE_STATUS, 4));
  EXPECT_EQ(recorder.of(WM_ENGINE_STATUS), (std::vector<int32_t>{0, 1, 0, 1}));
  engine.stop();
}

TEST(Engine, OperationsAreSafeBeforeDuringAndAfterARun) {
  Engine engine;
  engine.stop();  // without a start
  std::vector<int32_t> fft(1024, -1);
  EXPECT_EQ(engine.fft_data(fft.data(), 100, 200), 0);  // zeros in 100..200 only
  EXPECT_EQ(std::count(fft.begin(), fft.end(), 0), 101);
  EXPECT_EQ(std::count(fft.begin() + 100, fft.begin() + 201, 0), 101);
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
  engine.set_rx_frequency(1234);  // settings are kept without a run
  EXPECT_EQ(engine.rx_frequency(), 1234);

  Recorder recorder;
  engine.start_source(&recorder.sink, std::make_unique<FiniteSource>(80000));
  ASSERT_TRUE(recorder.wait(WM_ENGINE_DISPLAY, 1));
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

TEST(SpscRing, ConcurrentProducerAndConsumerKeepOrder) {
  SpscRing<uint32_t> ring(1000);  // rounded up to 1024
  EXPECT_EQ(ring.capacity(), 1024u);
  constexpr uint32_t kCount = 61 * 32768;  // whole chunks
  std::thread producer([&] {
    std::vector<uint32_t> chunk(61);
    for (uint32_t next = 0; next < kCount;) {
      for (auto& v : chunk) v = next++;
      for (size_t done = 0; done < chunk.size();)
        done += ring.push(std::span<const uint32_t>(chunk).subspan(done));
    }
  });
  std::vector<uint32_t> buffer(97);
  uint32_t expected = 0;
  bool in_order = true;
  while (expected < kCount) {
    const size_t n = ring.pop(buffer);
    for (size_t i = 0; i < n; ++i) in_order &= buffer[i] == expected++;
  }
  producer.join();
  EXPECT_TRUE(in_order);
}

TEST(SpscRing, FullRingRefusesNewItems) {
  SpscRing<float> ring(4);
  EXPECT_EQ(ring.push(std::vector<float>{1, 2, 3, 4, 5}), 4u);
  EXPECT_FALSE(ring.push_one(6.0f));
  std::vector<float> out(8);
  EXPECT_EQ(ring.pop(out), 4u);
  EXPECT_EQ(out[0], 1.0f);
  EXPECT_EQ(out[3], 4.0f);
  EXPECT_TRUE(ring.push_one(7.0f));
  EXPECT_EQ(ring.size(), 1u);
}

}  // namespace
}  // namespace psk
