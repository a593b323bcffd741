// The running engine: one receiver core, one input and one processing thread,
// and the notifications posted to the program's message sink.
//
// Threads.  The program calls every operation from its GUI thread.  The
// processing thread reads the input (a device delivers at its own pace; a
// file or the built-in signal is paced here by the clock, in real time),
// feeds the receiver core and posts the core's events.  A capture device's
// audio callback only fills the source's lock-free ring.  The core sits
// behind one mutex, held by the processing thread while it processes one
// block (at most 10 ms of audio) and by the operations for a copy.
//
// Notifications.  WM_ENGINE_DISPLAY comes with every 800 samples (ten a
// second) but is never posted while the previous one is unhandled; a display
// notification counts as handled once the program fetches display data
// (fnGetVectorData, fnGetSignalLevel, fnGetFFTData or fnGetRawData), as its
// handler does.  WM_ENGINE_STATUS 0 is posted when samples first flow and
// again when they flow after a fault; 1 when the input is lost, overruns
// (held for a second so the lamp is seen) or a file ends.  All other events
// are posted as they come, none dropped.
//
// A lost device.  The signal state is cleared at once, so levels, spectrum
// and raw samples read 0 while it is lost.  Given a way to reopen it, the
// engine closes the lost input and tries to open it again about once a
// second; once it opens, samples flow and status 0 follows.
//
// Time.  Pacing, the status hold and the retries run by an EngineClock: the
// steady clock unless the engine is constructed with another.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/receiver.h"
#include "pskengine.h"
#include "runtime/engine_clock.h"
#include "sources/audio_source.h"

namespace psk {

// Opens a lost input again; null while it cannot be opened.
using InputReopener = std::function<std::unique_ptr<AudioSource>()>;

class Engine {
 public:
  Engine();
  // An engine on the given clock, which must outlive it.
  explicit Engine(EngineClock& clock);
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Opens device (see open_input.h) and starts; returns a start code.  A
  // start while running first stops the running input.  A null sink, or one
  // without a post function, runs without notifications.
  int32_t start_device(const PskMessageSink* sink, int32_t device);
  // Starts on an opened source (tests, tools); returns PSK_START_OK.  With
  // reopen, a lost source is closed and reopened by it about once a second.
  int32_t start_source(const PskMessageSink* sink, std::unique_ptr<AudioSource> source,
                       InputReopener reopen = {});
  // Stops and joins the processing thread and closes the input.  After it
  // returns nothing more is posted.  Safe when not running.
  void stop();
  bool running() const { return running_.load(); }

  // Settings: stored by the core whether or not the engine runs.
  int32_t set_rx_frequency(int32_t hz);
  int32_t rx_frequency() const;
  int32_t set_mode(int32_t code);
  int32_t set_afc_limit(int32_t hz);
  int32_t set_squelch(int32_t threshold);
  int32_t set_fft_mode(int32_t smoothing, int32_t scale, int32_t bias);

  // Display data; zeros while not running.  Results: 0, or -1 for a null array.
  int32_t fft_data(int32_t* data, int32_t first, int32_t last);
  int32_t raw_data(int32_t* data, int32_t* count);
  int32_t vector_data(int32_t* data);
  int32_t signal_level();
  // The strongest spectrum bin within range_hz of hz, as a frequency in Hz,
  // or -1 when not running or the range holds no bin.
  int32_t closest_peak(int32_t hz, int32_t range_hz);

 private:
  void run();
  void post(uint32_t msg, int32_t wparam);
  void post_events(const std::vector<EngineEvent>& events);
  // Clears the signal state: levels, spectrum and raw samples read 0.
  void clear_signal();
  void display_fetched() { display_pending_.store(false, std::memory_order_release); }

  std::unique_ptr<EngineClock> own_clock_;    // the steady clock, unless one was given
  EngineClock* clock_;                        // pacing, hold and retry times
  mutable std::mutex core_mutex_;             // guards receiver_
  Receiver receiver_;                         // the synchronous core
  std::unique_ptr<AudioSource> source_;       // the open input (null while a lost one is closed)
  InputReopener reopen_;                      // reopens a lost input (may be empty)
  PskMessageSink sink_{};                     // where notifications go (post may be null)
  std::thread thread_;                        // processing thread
  std::atomic<bool> stop_requested_{false};   // the processing thread must end
  std::atomic<bool> running_{false};          // started and not stopped
  std::atomic<bool> display_pending_{false};  // a display notification awaits handling
};

}  // namespace psk
