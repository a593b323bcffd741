// Module-wide settings and state shared by the program's subsystems.  All
// start at 0 when the program starts; the main window's load handler gives
// most of them their working values.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/winproc/winproc.h"

extern int16_t SoundCardID;    // -1 the default device, else the device number
extern int16_t DisplayLowHz;   // displayed audio range, Hz
extern int16_t DisplayHighHz;  // displayed audio range, Hz
extern int16_t GridDivisions;  // vertical grid lines of the spectrum
extern int16_t KanjiMode;      // 1: assemble double-byte characters
extern int16_t AfcOn;          // 1: automatic frequency control on
extern int16_t PskMode;        // engine mode code (0 BPSK31 ... 17 QPSK125)
extern int16_t SquelchLevel;   // 0..99
extern int16_t WaterfallGain;  // 1..5, colour intensity of the waterfall
extern int16_t FftSmoothing;   // 1..10, FFT smoothing the engine was last given
extern int16_t FftBias;        // 1..90, FFT bias the engine was last given
extern int16_t ScopeSweepPos;  // raw-scope segment drawn last, 1..S

// The IMD statistics since the last reset.
extern int16_t ImdBest;     // lowest reading, dB (9999 when none)
extern int16_t ImdWorst;    // highest reading, dB (-9999 when none)
extern int16_t ImdAverage;  // rounded mean, dB
extern int16_t ImdCount;    // readings, 0..1000
// Sum of the readings, dB.  Wider than the other fields: 1000 readings of
// -33 dB would not fit 16 bits.
extern int32_t ImdSum;

extern int16_t EngineStatus;     // last engine status, 0 or 1
extern int16_t WaterfallPhase;   // 0: the next waterfall pass draws
extern uint8_t PendingLeadByte;  // held first byte of a double-byte character, 0 none

// The waterfall's history: 16 rows of 1024 bin columns; column 0 of a row is
// its floor (see the waterfall display).
constexpr int kWaterfallRows = 16;
constexpr int kWaterfallColumns = 1024;
extern int16_t WaterfallHistory[kWaterfallRows][kWaterfallColumns];

// The main window's replaced window procedure.
extern winproc::LONG_PTR PrevWndProc;

// Every setting above (but the waterfall table and PrevWndProc) by name, for
// the replay tool.
struct ModuleSetting {
  std::string name;
  std::function<long long()> get;
  std::function<void(long long)> set;  // stores the value as the field's type holds it
};
const std::vector<ModuleSetting>& ModuleSettings();

// Puts every module-wide value back to its program-start value (0).
void ResetModuleState();
