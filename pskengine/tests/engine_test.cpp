// The running engine on a hand-moved clock with scripted sources, and the audio callback's ring.
#include "runtime/engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/spsc_ring.h"

namespace psk {
namespace {

using namespace std::chrono_literals;

// A clock that moves only when the test moves it.  advance() lets the
// processing thread run until it waits for a later time again, so every step
// is deterministic and nothing waits for real time to pass.
class ManualClock : public EngineClock {
 public:
  time_point now() const override {
    std::lock_guard lock(mutex_);
    return now_;
  }
  bool wait_until(time_point deadline) override {
    std::unique_lock lock(mutex_);
    parked_ = true;
    parked_until_ = deadline;
    cv_.notify_all();
    cv_.wait(lock, [&] { return interrupted_ || now_ >= deadline; });
    parked_ = false;
    return interrupted_;
  }
  void interrupt() override {
    std::lock_guard lock(mutex_);
    interrupted_ = true;
    cv_.notify_all();
  }
  void clear_interrupt() override {
    std::lock_guard lock(mutex_);
    interrupted_ = false;
  }
  // Moves time on by d in steps of at most `step`; after each step, waits
  // (a real-time guard of 10 s against a stuck thread) until the processing
  // thread waits for a time beyond the new now.
  bool advance(duration d, duration step = 100ms) {
    for (duration done{}; done < d;) {
      const duration s = std::min(step, d - done);
      done += s;
      std::unique_lock lock(mutex_);
      now_ += s;
      cv_.notify_all();
      if (!cv_.wait_for(lock, 10s, [&] { return parked_ && parked_until_ > now_; })) return false;
    }
    return true;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  time_point now_{};           // the time the engine sees
  bool parked_ = false;        // the processing thread is waiting
  time_point parked_until_{};  // ... until this time
  bool interrupted_ = false;   // stop requested
};

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

// A sound server stand-in: while up, each device opened on it delivers a
// 1000 Hz tone at the clock's pace; when it goes down, its devices are lost
// and reopening fails.  Attempts to reopen are timed by the clock.
struct FakeServer {
  explicit FakeServer(const ManualClock& c) : clock(c) {}
  class Device : public AudioSource {
   public:
    explicit Device(FakeServer& server) : server_(server), opened_(server.clock.now()) {}
    size_t read(std::span<float> out) override {
      if (!server_.up) return 0;
      const double due =
          std::chrono::duration<double>(server_.clock.now() - opened_).count() * 8000;
      const size_t n = std::min(out.size(), static_cast<size_t>(std::max(0.0, due - pos_)));
      for (size_t i = 0; i < n; ++i, ++pos_)
        out[i] = 0.3f * std::sin(2 * M_PI * 1000 * pos_ / 8000);
      return n;
    }
    bool live() const override { return true; }
    SourceState state() const override {
      return server_.up ? SourceState::Running : SourceState::Lost;
    }
    uint64_t overruns() const override { return server_.overruns; }

   private:
    FakeServer& server_;
    EngineClock::time_point opened_;  // when sample 0 was captured
    double pos_ = 0;                  // samples delivered
  };
  std::unique_ptr<AudioSource> reopen() {
    attempts.push_back(clock.now());
    if (!up) return nullptr;
    return std::make_unique<Device>(*this);
  }
  const ManualClock& clock;
  std::atomic<bool> up{true};
  std::atomic<uint64_t> overruns{0};
  std::vector<EngineClock::time_point> attempts;  // processing thread only, read between steps
};

// Records what the engine posts; with fetch_from set, handles each display
// notification by fetching display data.
struct Recorder {
  psk::Engine* fetch_from;
  std::mutex mutex;
  std::vector<std::pair<uint32_t, int32_t>> messages;
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
};

// What the displays would show now: the peak spectrum level, the signal
// level and the peak raw sample.
struct Shown {
  int fft, level, raw;
  bool operator==(const Shown&) const = default;
};
Shown shown(psk::Engine& engine) {
  std::vector<int32_t> fft(1024), raw(2049);
  int32_t count = 2047;
  engine.fft_data(fft.data(), 0, 1023);
  engine.raw_data(raw.data(), &count);
  const int32_t raw_peak = *std::max_element(raw.begin(), raw.begin() + count);
  return {*std::max_element(fft.begin(), fft.end()), engine.signal_level(), raw_peak};
}

// The tests' fixture (psk::Engine is the engine): an engine on a hand-moved clock, whose
// notifications are recorded and handled at once.
class Engine : public ::testing::Test {
 protected:
  ManualClock clock;
  FakeServer server{clock};
  Recorder recorder{&engine};
  psk::Engine engine{clock};
};

TEST_F(Engine, FileIsPacedByTheClockAndItsEndIsReportedLast) {
  ASSERT_EQ(engine.start_source(&recorder.sink, std::make_unique<FiniteSource>(6400)),
            PSK_START_OK);
  ASSERT_TRUE(clock.advance(790ms, 10ms));  // 0.8 s of audio: not yet at its end
  EXPECT_EQ(recorder.of(WM_ENGINE_STATUS), (std::vector<int32_t>{0}));
  EXPECT_EQ(recorder.of(WM_ENGINE_DISPLAY).size(), 7u);
  ASSERT_TRUE(clock.advance(20ms, 10ms));
  engine.stop();  // nothing is posted after it returns
  EXPECT_FALSE(engine.running());
  EXPECT_EQ(recorder.of(WM_ENGINE_STATUS), (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(recorder.messages.front().first, static_cast<uint32_t>(WM_ENGINE_STATUS));
  // The end is reported after everything the last block held.
  EXPECT_EQ(recorder.messages.back(), std::make_pair(uint32_t{WM_ENGINE_STATUS}, int32_t{1}));
  // Every display notification was handled at once, so each was posted.
  EXPECT_EQ(recorder.of(WM_ENGINE_DISPLAY).size(), 8u);
}

TEST_F(Engine, UnhandledDisplayNotificationIsNeverFollowedByASecond) {
  recorder.fetch_from = nullptr;  // never fetches
  engine.start_source(&recorder.sink, std::make_unique<FiniteSource>(8000));
  ASSERT_TRUE(clock.advance(500ms));
  EXPECT_EQ(recorder.of(WM_ENGINE_DISPLAY).size(), 1u);
  engine.signal_level();  // handling it (a fetch) lets the next one through
  ASSERT_TRUE(clock.advance(300ms));
  EXPECT_EQ(recorder.of(WM_ENGINE_DISPLAY).size(), 2u);
  engine.stop();
}

TEST_F(Engine, OverrunHoldsStatusOneForASecond) {
  engine.start_source(&recorder.sink, server.reopen());
  ASSERT_TRUE(clock.advance(200ms));
  server.overruns = 5;
  ASSERT_TRUE(clock.advance(900ms));
  EXPECT_EQ(recorder.of(WM_ENGINE_STATUS), (std::vector<int32_t>{0, 1}));
  ASSERT_TRUE(clock.advance(200ms));
  EXPECT_EQ(recorder.of(WM_ENGINE_STATUS), (std::vector<int32_t>{0, 1, 0}));
  engine.stop();
}

// Twenty losses and returns: status 1 at once with nothing stale shown,
// attempts to reopen a second apart while the server is away, and status 0
// with a live signal after it returns, all in one run.
TEST_F(Engine, LostDeviceReadsZeroIsRetriedEverySecondAndResumesWithoutRestart) {
  engine.set_rx_frequency(1000);
  engine.start_source(&recorder.sink, server.reopen(), [&] { return server.reopen(); });
  ASSERT_TRUE(clock.advance(1s));
  std::vector<int32_t> expected_status{0};
  for (int cycle = 0; cycle < 20; ++cycle) {
    SCOPED_TRACE(cycle);
    const Shown before = shown(engine);
    EXPECT_GT(before.fft, 60);
    EXPECT_GT(before.level, 60);  // noise alone reads below 15
    EXPECT_GT(before.raw, 9000);  // 0.3 of full scale

    server.up = false;
    server.attempts.clear();
    ASSERT_TRUE(clock.advance(10ms));
    expected_status.push_back(1);
    EXPECT_EQ(recorder.of(WM_ENGINE_STATUS), expected_status);
    EXPECT_EQ(shown(engine), (Shown{0, 0, 0}));

    ASSERT_TRUE(clock.advance(3050ms));
    ASSERT_EQ(server.attempts.size(), 3u);
    for (size_t i = 1; i < server.attempts.size(); ++i) {
      const auto gap = server.attempts[i] - server.attempts[i - 1];
      EXPECT_GE(gap, 1s);
      EXPECT_LE(gap, 1100ms);
    }
    EXPECT_EQ(shown(engine).level, 0);
    EXPECT_EQ(recorder.of(WM_ENGINE_STATUS), expected_status);

    server.up = true;
    ASSERT_TRUE(clock.advance(1800ms));
    expected_status.push_back(0);
    EXPECT_EQ(recorder.of(WM_ENGINE_STATUS), expected_status);
  }
  engine.stop();
}

// Ranges and the stopped engine's zeros are checked through the C interface (AbiExtremes).
TEST_F(Engine, OperationsAreSafeBeforeDuringAndAfterARun) {
  engine.stop();  // without a start
  std::vector<int32_t> fft(1024);
  EXPECT_EQ(engine.raw_data(fft.data(), nullptr), -1);
  EXPECT_EQ(engine.vector_data(nullptr), -1);
  engine.set_rx_frequency(1234);  // settings are kept without a run
  EXPECT_EQ(engine.rx_frequency(), 1234);

  engine.start_source(&recorder.sink, std::make_unique<FiniteSource>(80000));
  ASSERT_TRUE(clock.advance(300ms));
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
