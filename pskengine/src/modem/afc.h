// Automatic frequency control.  Searching: from the baseband spectrum,
// averaged over a block of frames, it finds the strongest signal within
// about +-baud of the receive frequency and jumps to its centre (the centroid
// of its power above the noise), measuring again after each jump.
// Tracking: once centred within baud/8 it follows the carrier with the
// phase drift of the differential symbols raised to the 2nd (BPSK) or 4th
// (QPSK) power, which removes the modulation.  Without a signal clearly above
// the noise it never moves.
#pragma once

#include <array>
#include <complex>

#include "modem/baseband_spectrum.h"

namespace psk {

class Afc {
 public:
  static constexpr int kBlockFrames = 6;  // spectrum frames per search measurement
  static constexpr int kHalfBand = 4;     // bins either side of a band's centre (one baud)
  static constexpr double kBandBins = 2 * kHalfBand + 1;  // bins in a band
  static constexpr double kDetectRatio =
      2;  // in-band power over noise that counts as a signal (3 dB)
  static constexpr double kJumpRatio = 10;  // ... that is clear enough to jump to (10 dB)

  Afc(double baud, bool qpsk);
  void reset();  // search again (after a retune)
  // One spectrum frame; returns the correction to apply, Hz (0 for none).
  double on_frame(const BasebandSpectrum& spectrum);
  // One differential symbol (current times conjugate previous) while a signal
  // is present; returns the correction to apply, Hz.
  // modulation_removed: z is a change whose data turn was taken out (from
  // the decoded bits), so it shows the carrier without raising to a power.
  double on_symbol(std::complex<float> z, bool signal_present, bool modulation_removed = false);

  bool tracking() const { return tracking_; }  // centred on a signal, following it
  // After a retune or a jump, until a measurement shows the receiver centred
  // or no signal at all: decoded text would be garbage meanwhile.
  bool acquiring() const { return acquiring_; }

 private:
  static constexpr int kSpan = 3 * kHalfBand;  // bins kept either side of the centre
  // Noise bins: beyond the kept span on both sides, out to twice its width.
  static constexpr int kNoiseFirst = kSpan + 1;
  static constexpr int kNoiseLast = 2 * kSpan;
  double on_block();

  double baud_;                              // symbols per second
  double bin_hz_;                            // spectrum bin width, Hz (baud/4)
  int power_;                                // 2 for BPSK, 4 for QPSK
  bool tracking_ = false;                    // fine tracking active
  bool acquiring_ = true;                    // not yet measured since the last retune or jump
  int strikes_ = 0;                          // blocks in a row that found the tracker off-centre
  int skip_ = 0;                             // frames to ignore after a jump
  int frames_ = 0;                           // frames in the current block
  std::array<double, 2 * kSpan + 1> sum_{};  // block sum of powers, bins -kSpan..kSpan
  double noise_sum_ = 0;                     // block sum of noise-bin means
  std::complex<double> drift_{0, 0};         // running mean of z^power (scaled to |z|)
  bool unmodulated_ = false;                 // drift_ averages changes with the data removed
  double magnitude_ = 0;                     // running mean of |z|
};

}  // namespace psk
