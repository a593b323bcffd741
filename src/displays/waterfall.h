// The waterfall step of the spectrum display, and what the two share: the
// spectrum of one display notification and the bin range shown.
#pragma once

#include <cstdint>

// FFT bin width, Hz.
constexpr double kBinHz = 3.90625;
// Bins the engine delivers per spectrum (0..1023, up to 4000 Hz).
constexpr int kSpectrumBins = 1024;

// One run's spectrum: the levels the engine wrote into bins 0..1023, and
// the displayed range FirstBin..LastBin (whole numbers held as doubles,
// which may reach past the bins the engine has).
struct SpectrumView {
  const int32_t* data;  // kSpectrumBins levels, 0 bottom .. 100 top of the box
  double first_bin;     // Int(DisplayLowHz / kBinHz)
  double last_bin;      // Int(DisplayHighHz / kBinHz)

  // The level of a bin; a bin the engine has no data for (below 0 or past
  // 1023) reads as level 0, no signal.
  int32_t Level(long long bin) const { return bin >= 0 && bin < kSpectrumBins ? data[bin] : 0; }
};

// The waterfall (Picture7): on every second call scrolls WaterfallHistory by
// one row, adds this spectrum as the newest row relative to its floor and
// repaints the box from the history; the calls between only flip
// WaterfallPhase.
void DrawWaterfallStep(const SpectrumView& spectrum);
