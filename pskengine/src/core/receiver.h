// The engine's synchronous receiver core.
//
// Fed blocks of 8000 Hz samples (full scale 1.0), it keeps everything the
// engine's getters report and produces notifications as plain values.  No
// threads, clocks or devices: the same input gives the same state and events,
// sample for sample, whatever the block sizes.
//
// Per sample it keeps the raw buffer and the spectrum's history; every 800
// samples (ten times a second of audio) it computes a spectrum, updates the
// signal level and emits WM_ENGINE_DISPLAY.  The demodulator (decoding,
// AFC, squelch, phase vectors, signal level) sees every sample in
// Receiver::process_span and each byte it decodes becomes a WM_ENGINE_RXCHAR
// event.  The measurements follow it there: IdleSegmenter cuts stretches of
// idle signal out of the input, using the demodulator's symbols, and the IMD
// meter and the clock-error estimator turn them into WM_ENGINE_IMD and
// WM_ENGINE_CLOCKERR events; the clock-error estimator also times the
// phase changes of text (every sample and symbol outside idle).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "core/engine_event.h"
#include "core/raw_buffer.h"
#include "core/receiver_settings.h"
#include "dsp/sample_rate.h"
#include "measure/clock_estimator.h"
#include "measure/idle_segments.h"
#include "measure/imd_meter.h"
#include "modem/psk_demodulator.h"
#include "spectrum/spectrum.h"

namespace psk {

class Receiver {
 public:
  static constexpr double kSampleRateHz = kEngineRateHz;  // input rate, samples/s
  static constexpr int kDisplayIntervalSamples = 800;     // samples between display events

  Receiver();
  // Forgets all signal state (spectrum, raw samples, level, vectors, pending
  // events); keeps the settings.
  void reset();
  // Processes a block of samples of any length.
  void process(std::span<const float> samples);
  // Hands over the events produced since the last call, oldest first.
  std::vector<EngineEvent> take_events();

  // Settings; each returns kSettingOk or kSettingRefused (see receiver_settings.h).
  int32_t set_rx_frequency(int32_t hz);
  int32_t set_mode(int32_t code);
  int32_t set_afc_limit(int32_t hz);
  int32_t set_squelch(int32_t threshold);
  int32_t set_fft_mode(int32_t smoothing, int32_t scale, int32_t bias);
  const ReceiverSettings& settings() const { return settings_; }
  // Receive frequency in whole Hz, 100..3000 (it moves under AFC).
  int32_t rx_frequency() const;

  // Display state, as copies.
  std::array<int32_t, Spectrum::kBins> fft_levels() const { return spectrum_.levels(); }
  // Newest raw samples, oldest first; see RawBuffer::copy_newest.
  int raw_samples(std::span<int32_t> out) const { return raw_.copy_newest(out); }
  // Last eight symbols as phase vectors (x, y) pairs; zeros until decoded.
  std::array<int32_t, 16> vectors() const;
  // Signal level 0..100, the squelch's scale (see PskDemodulator::level).
  int32_t signal_level() const { return demod_.level(); }
  const PskDemodulator& demodulator() const { return demod_; }
  const IdleSegmenter& idle_segmenter() const { return segmenter_; }
  const ImdMeter& imd_meter() const { return imd_; }
  const ClockErrorEstimator& clock_estimator() const { return clock_; }
  // Samples processed since construction or reset.
  uint64_t samples_processed() const { return samples_processed_; }
  const Spectrum& spectrum() const { return spectrum_; }

 private:
  // Processes samples that end at or before the next display tick.
  void process_span(std::span<const float> samples);
  void display_tick();
  // Feeds the measurements one block and the symbols the demodulator took
  // from it while mixing at mix_hz.
  void measure(std::span<const float> block, double mix_hz);
  // Starts the measurements afresh for mode (its symbol rate).
  void restart_measurements(PskMode mode);
  void emit(uint32_t msg, int32_t wparam, int32_t lparam = 0);

  ReceiverSettings settings_;                      // validated settings
  Spectrum spectrum_;                              // display spectrum and noise reference
  RawBuffer raw_;                                  // newest raw samples
  PskDemodulator demod_;                           // decoding, AFC, squelch, vectors, level
  IdleSegmenter segmenter_;                        // stretches of idle signal
  ImdMeter imd_;                                   // IMD readings
  ClockErrorEstimator clock_;                      // clock-error readings
  double measured_hz_ = 1500.0;                    // frequency set when the measurements began, Hz
  std::vector<EngineEvent> events_;                // events not yet taken
  uint64_t samples_processed_ = 0;                 // samples since reset
  int samples_to_tick_ = kDisplayIntervalSamples;  // samples until the next display tick
};

}  // namespace psk
