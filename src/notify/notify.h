// Handling of the engine's notifications.
#pragma once

#include <cstdint>

#include "platform/winproc/winproc.h"

// The main window's procedure while the engine runs: handles the engine's
// five notifications, then passes every message on to PrevWndProc and
// returns its result.
winproc::LRESULT EngineWindowProc(winproc::HWND hWnd, winproc::UINT Msg, winproc::WPARAM wParam,
                                  winproc::LPARAM lParam);
// The status lamps: 0 input running, 1 input lost or overrunning.
void ShowEngineStatus(int32_t status);

// One received byte into the receive area.
void HandleReceivedByte(int32_t wParam, int32_t lParam);

// IMD readings, their statistics and readouts, and the clock error.
void RecordImdReading(int32_t reading);
void ShowClockError(int32_t ppm);
void ResetImdStatistics();
