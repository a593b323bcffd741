// Finds idle: a run of at least 32 phase reversals.  It reports where the
// run starts and ends in input samples, so a measurement of the idle signal
// (IMD) never includes data.
#pragma once

#include <cstdint>

namespace psk {

class IdleDetector {
 public:
  static constexpr int kMinRun = 32;  // reversals that make a run idle

  IdleDetector() { reset(); }
  void reset();
  // One symbol: whether it reversed the phase and its instant (input samples).
  void process(bool reversal, double position);

  bool idle() const { return run_ >= kMinRun; }  // an idle run is in progress
  int run() const { return run_; }               // reversals in the current run
  // Instant of the symbol before the run's first reversal: the idle
  // waveform starts here (input samples).  Valid while run() > 0 and after.
  double start() const { return start_; }
  double end() const { return end_; }     // instant of the run's last reversal so far
  int64_t runs() const { return runs_; }  // idle runs begun since reset (a new one increments it)
  // The last finished idle run (for a reader that missed its end): start, end.
  double last_start() const { return last_start_; }
  double last_end() const { return last_end_; }

 private:
  int run_ = 0;               // consecutive reversals
  double prev_position_ = 0;  // instant of the previous symbol
  double start_ = 0;          // start of the current or last run
  double end_ = 0;            // last reversal of the current or last run
  int64_t runs_ = 0;          // idle runs begun since reset
  double last_start_ = 0;     // start of the last finished idle run
  double last_end_ = 0;       // end of the last finished idle run
};

}  // namespace psk
