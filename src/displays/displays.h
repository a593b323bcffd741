// The picture-box displays.  Each reads the settings and control values it
// needs afresh and fetches its own data from the engine.
#pragma once

#include <cstdint>

// IMD bar graph (Picture5): the four quality bands, and the bar for ImdAverage.
void DrawImdScale();
void DrawImdBar();

// Spectrum with grid and tuning cursor (Picture2), the AFC follow of the
// tuning scroll bar, then every second time the waterfall (Picture7).
void DrawSpectrumAndWaterfall();

// Vector scope (Picture1), then the signal-level meter (Picture3).
void DrawVectorScope();
void DrawSignalLevel(int16_t level);

// Raw-signal scope (Picture6): one sweep segment.
void DrawRawScope();
