#include "runtime/engine.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

#include "audio/open_input.h"

namespace psk {
namespace {
using TimePoint = EngineClock::time_point;
constexpr double kRate = Receiver::kSampleRateHz;
constexpr size_t kBlockSamples = 80;                      // 10 ms of audio per core call
constexpr auto kTick = std::chrono::milliseconds(10);     // pacing and polling step
constexpr auto kStatusHold = std::chrono::seconds(1);     // status 1 after an overrun, at least
constexpr auto kRetryInterval = std::chrono::seconds(1);  // between attempts to reopen a lost input
constexpr double kMaxCatchUpSeconds = 0.5;                // paced input never bursts more

EngineClock::duration seconds_of(double samples) {
  return std::chrono::duration_cast<EngineClock::duration>(
      std::chrono::duration<double>(samples / kRate));
}
}  // namespace

Engine::Engine() : own_clock_(std::make_unique<SteadyEngineClock>()), clock_(own_clock_.get()) {}

Engine::Engine(EngineClock& clock) : clock_(&clock) {}

Engine::~Engine() {
  stop();
}

int32_t Engine::start_device(const PskMessageSink* sink, int32_t device) {
  stop();
  OpenedInput input = open_input(device);
  if (input.code != PSK_START_OK) return input.code;
  InputReopener reopen;
  if (input.source->live()) {
    // Numbers can change while a device is away: it is found again by name.
    reopen = [name = input.device_name] { return open_input_named(name).source; };
  }
  return start_source(sink, std::move(input.source), std::move(reopen));
}

int32_t Engine::start_source(const PskMessageSink* sink, std::unique_ptr<AudioSource> source,
                             InputReopener reopen) {
  stop();
  sink_ = sink != nullptr ? *sink : PskMessageSink{};
  source_ = std::move(source);
  reopen_ = std::move(reopen);
  clear_signal();
  stop_requested_.store(false);
  clock_->clear_interrupt();
  display_pending_.store(false);
  running_.store(true);
  thread_ = std::thread(&Engine::run, this);
  return PSK_START_OK;
}

void Engine::stop() {
  stop_requested_.store(true);
  clock_->interrupt();
  if (thread_.joinable()) thread_.join();
  source_.reset();
  reopen_ = {};
  running_.store(false);
  sink_ = PskMessageSink{};
  clear_signal();
}

void Engine::clear_signal() {
  std::lock_guard lock(core_mutex_);
  receiver_.reset();
}

void Engine::post(uint32_t msg, int32_t wparam) {
  if (sink_.post != nullptr) sink_.post(sink_.context, msg, wparam, 0);
}

void Engine::post_events(const std::vector<EngineEvent>& events) {
  for (const EngineEvent& e : events) {
    if (e.msg == WM_ENGINE_DISPLAY) {
      if (display_pending_.exchange(true, std::memory_order_acq_rel)) continue;
    }
    if (sink_.post != nullptr) sink_.post(sink_.context, e.msg, e.wparam, e.lparam);
  }
}

void Engine::run() {
  std::vector<float> block(kBlockSamples);
  const bool live = source_->live();
  TimePoint origin = clock_->now();  // when paced sample 0 was due
  uint64_t delivered = 0;            // samples read since start
  int status = -1;                   // last status posted
  uint64_t overruns = source_->overruns();
  TimePoint hold_until{};
  TimePoint retry_at{};  // next attempt to reopen a closed lost input
  bool lost = false;     // the open input reported itself lost

  while (!stop_requested_.load()) {
    if (source_ == nullptr) {
      // A lost input, closed: try it again about once a second.
      if (clock_->now() >= retry_at) {
        source_ = reopen_();
        retry_at = clock_->now() + kRetryInterval;
        if (source_ != nullptr) {
          overruns = source_->overruns();
          continue;
        }
      }
      if (clock_->wait_until(retry_at)) break;
      continue;
    }
    size_t want = block.size();
    if (!live) {
      const double due_samples =
          std::chrono::duration<double>(clock_->now() - origin).count() * kRate -
          static_cast<double>(delivered);
      if (due_samples > kMaxCatchUpSeconds * kRate) {
        // Stalled (machine suspended, debugger): go on from now, no burst.
        origin = clock_->now() - seconds_of(static_cast<double>(delivered));
        continue;
      }
      if (due_samples < 1.0) {
        // Wake when the next sample is due, at most a tick from now.
        const TimePoint due = origin + seconds_of(static_cast<double>(delivered + 1));
        if (clock_->wait_until(std::min(due, clock_->now() + kTick))) break;
        continue;
      }
      want = std::min(want, static_cast<size_t>(due_samples));
    }
    const size_t n = source_->read(std::span<float>(block.data(), want));
    delivered += n;

    const SourceState state = source_->state();
    const bool newly_lost = state == SourceState::Lost && !lost;
    lost = state == SourceState::Lost;
    const uint64_t now_overruns = source_->overruns();
    const TimePoint now = clock_->now();
    int wanted_status = status;
    if (state != SourceState::Running) {
      wanted_status = 1;
    } else if (now_overruns != overruns) {
      overruns = now_overruns;
      hold_until = now + kStatusHold;
      wanted_status = 1;
    } else if (n > 0 && now >= hold_until) {
      wanted_status = 0;
    }
    // Status 0 goes before the block's events, status 1 after them, so that
    // what the last block of a file held arrives before "ended".
    const bool status_changes = wanted_status != status;
    status = wanted_status;
    if (status_changes && status == 0) post(WM_ENGINE_STATUS, 0);

    if (n > 0) {
      std::vector<EngineEvent> events;
      {
        std::lock_guard lock(core_mutex_);
        receiver_.process(std::span<const float>(block.data(), n));
        events = receiver_.take_events();
      }
      post_events(events);
    }
    if (status_changes && status != 0) post(WM_ENGINE_STATUS, status);

    if (newly_lost) {
      // Nothing stale is shown while the input is away.
      clear_signal();
      if (reopen_) {
        source_.reset();
        lost = false;
        retry_at = now + kRetryInterval;
        continue;
      }
    }
    if (n > 0) {
      // Go on reading.
    } else if (state == SourceState::Ended) {
      if (clock_->wait_until(TimePoint::max())) break;
    } else if (clock_->wait_until(now + (live ? kTick / 2 : kTick))) {
      break;
    }
  }
}

int32_t Engine::set_rx_frequency(int32_t hz) {
  std::lock_guard lock(core_mutex_);
  return receiver_.set_rx_frequency(hz);
}

int32_t Engine::rx_frequency() const {
  std::lock_guard lock(core_mutex_);
  return receiver_.rx_frequency();
}

int32_t Engine::set_mode(int32_t code) {
  std::lock_guard lock(core_mutex_);
  return receiver_.set_mode(code);
}

int32_t Engine::set_afc_limit(int32_t hz) {
  std::lock_guard lock(core_mutex_);
  return receiver_.set_afc_limit(hz);
}

int32_t Engine::set_squelch(int32_t threshold) {
  std::lock_guard lock(core_mutex_);
  return receiver_.set_squelch(threshold);
}

int32_t Engine::set_fft_mode(int32_t smoothing, int32_t scale, int32_t bias) {
  std::lock_guard lock(core_mutex_);
  return receiver_.set_fft_mode(smoothing, scale, bias);
}

int32_t Engine::fft_data(int32_t* data, int32_t first, int32_t last) {
  display_fetched();
  if (data == nullptr) return -1;
  first = std::max(first, 0);
  last = std::min(last, Spectrum::kBins - 1);
  if (first > last) return 0;
  std::lock_guard lock(core_mutex_);
  const auto& levels = receiver_.spectrum().levels();  // zeros after reset
  std::copy(levels.begin() + first, levels.begin() + last + 1, data + first);
  return 0;
}

int32_t Engine::raw_data(int32_t* data, int32_t* count) {
  display_fetched();
  if (data == nullptr || count == nullptr) return -1;
  // A count of 0 or less asks for nothing and gets nothing.
  const int32_t wanted = std::clamp(*count, 0, 2049);
  std::lock_guard lock(core_mutex_);
  *count = receiver_.raw_samples(std::span<int32_t>(data, static_cast<size_t>(wanted)));
  return 0;
}

int32_t Engine::vector_data(int32_t* data) {
  display_fetched();
  if (data == nullptr) return -1;
  std::lock_guard lock(core_mutex_);
  const auto vectors = receiver_.vectors();
  std::copy(vectors.begin(), vectors.end(), data);
  return 0;
}

int32_t Engine::signal_level() {
  display_fetched();
  std::lock_guard lock(core_mutex_);
  return receiver_.signal_level();
}

int32_t Engine::closest_peak(int32_t hz, int32_t range_hz) {
  if (!running() || range_hz < 0) return -1;
  std::lock_guard lock(core_mutex_);
  const auto power = receiver_.spectrum().mean_power();
  const double bin_hz = Spectrum::kBinHz;
  // The range's ends in 64 bits: hz +- range_hz leaves 32 bits at the extremes.
  const int64_t low = int64_t{hz} - range_hz, high = int64_t{hz} + range_hz;
  const int first = static_cast<int>(
      std::clamp(std::ceil(static_cast<double>(low) / bin_hz), 0.0, double{Spectrum::kBins}));
  const int last = static_cast<int>(std::clamp(std::floor(static_cast<double>(high) / bin_hz), -1.0,
                                               double{Spectrum::kBins - 1}));
  if (first > last) return -1;
  int best = first;
  for (int k = first; k <= last; ++k) {
    if (power[k] > power[best]) best = k;
  }
  if (power[best] <= 0) return -1;
  return static_cast<int32_t>(std::lround(best * bin_hz));
}

}  // namespace psk
