// The PSK receiver: mixing to baseband, decimation to 16 samples per symbol,
// the zero-ISI matched filter, symbol timing, differential detection,
// soft-decision Viterbi decoding for QPSK (both sideband senses), Varicode
// decoding, AFC, squelch, signal level and phase vectors.  Synchronous and
// deterministic: process() takes 8000 Hz samples and updates the getters.
#pragma once

#include <array>
#include <complex>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "modem/modes.h"

namespace psk {

// One received symbol.
struct SymbolInfo {
  double position;        // its instant, input samples since reset (fractional)
  std::complex<float> z;  // phase change from the previous symbol; |z| about 1 when clean
  bool reversal;          // the phase turned by about 180 degrees
  // The receiver held the signal: the AFC was not acquiring one, and neither
  // this symbol nor the one before reaches back to input from before the
  // start or a retune.
  bool locked = true;
};

// Which phase reference the decisions use.
enum class Detector {
  Automatic,     // per signal, whichever of the two decides more cleanly (the default)
  Differential,  // the previous symbol alone, the AFC on the changes raised to a power
  Reference,     // a reference averaged over past symbols
};

class PskDemodulator {
 public:
  static constexpr int kSps = 16;         // samples per symbol after decimation
  static constexpr double kMinHz = 100;   // lowest receive frequency
  static constexpr double kMaxHz = 3000;  // highest receive frequency

  explicit PskDemodulator(PskMode mode = PskMode::Bpsk31, double frequency_hz = 1500.0);
  ~PskDemodulator();
  PskDemodulator(PskDemodulator&&) noexcept;
  PskDemodulator& operator=(PskDemodulator&&) noexcept;
  // Clears all signal state; keeps mode, frequency and settings.
  void reset();
  void set_mode(PskMode mode);      // restarts the signal state
  void set_frequency(double hz);    // retunes (kept within 100..3000) and restarts the AFC search
  void set_afc_limit(double hz);    // furthest AFC move from the set frequency; 0 = AFC off
  void set_squelch(int threshold);  // 0..99: no characters while level() is below it
  void set_detector(Detector detector) { detector_ = detector; }
  // Processes 8000 Hz samples.  decoded() and symbols() then hold what this
  // call produced.
  void process(std::span<const float> in);

  PskMode mode() const { return mode_; }  // current mode
  double frequency() const;               // receive frequency now (moves under AFC), Hz
  double set_frequency_hz() const { return set_hz_; }  // frequency last set, Hz
  double afc_limit() const { return afc_limit_; }      // AFC limit, Hz (0 = off)
  int squelch() const { return squelch_; }             // squelch threshold 0..99
  Detector detector() const { return detector_; }      // detector setting
  bool using_reference() const;  // the last decisions came from the averaged reference
  // Signal level 0..100 (the squelch's scale): 40 + 2 * snr_db(), so noise
  // alone reads about 0..10, a 0 dB signal 40 and a 30 dB signal 100.
  int level() const { return level_; }
  // Power within +-baud of the receive frequency over the noise there, dB.
  double band_snr_db() const { return band_snr_db_; }
  // The SNR in 2500 Hz estimated from band_snr_db(), dB.
  double snr_db() const { return snr_db_; }
  // Bytes decoded by the last process(), squelched.
  const std::vector<uint8_t>& decoded() const { return decoded_; }
  // Symbols of the last process(), oldest first.
  const std::vector<SymbolInfo>& symbols() const { return symbols_; }
  // The last eight symbols as phase vectors (x, y), oldest first, rotated so
  // that no phase change points up (+y); radius about 1000 when clean.
  std::array<std::array<int, 2>, 8> vectors() const;
  bool idle() const;  // an idle run (>= 32 reversals) is in progress
  // The idle run in progress, else the last finished one (0 before any):
  double idle_start() const;       // its first symbol (before the first reversal), input samples
  double idle_end() const;         // its last reversal (so far), input samples
  int64_t idle_runs() const;       // idle runs begun since reset
  bool afc_tracking() const;       // the AFC is centred on a signal
  bool inverted_sideband() const;  // QPSK: decoding the opposite sideband sense
  int64_t samples() const { return samples_; }  // input samples since reset

 private:
  struct Chain;
  void handle_frame();
  void handle_symbol(std::complex<float> y, double time);
  void apply_correction(double hz);

  PskMode mode_;                             // current mode
  double set_hz_;                            // frequency last set, Hz
  double afc_limit_ = 0;                     // AFC limit, Hz
  int squelch_ = 0;                          // squelch threshold 0..99
  Detector detector_ = Detector::Automatic;  // detector setting
  int level_ = 0;                            // signal level 0..100
  double band_snr_db_ = -99;                 // in-band SNR, dB
  double snr_db_ = -99;                      // estimated SNR in 2500 Hz, dB
  double pending_hz_ = 0;            // AFC's new frequency, waiting for a chunk boundary, Hz
  bool has_pending_ = false;         // pending_hz_ is waiting
  int64_t samples_ = 0;              // input samples since reset
  std::unique_ptr<Chain> chain_;     // the mode's DSP state
  std::vector<uint8_t> decoded_;     // bytes of the last process()
  std::vector<SymbolInfo> symbols_;  // symbols of the last process()
};

}  // namespace psk
