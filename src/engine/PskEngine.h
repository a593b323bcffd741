// The PSK engine's operations as the program calls them.  Each is bound by
// name from the engine library at its first call; a missing library or
// operation is reported in plain words and the program ends.
#pragma once

#include <cstdint>
#include <string>

#include "pskengine.h"

namespace PskEngine {

int32_t fnStartSoundCard(PskWindowHandle window, int32_t device, int32_t flags);
int32_t fnStopSoundCard();
int32_t fnSetRXFrequency(int32_t hz, int32_t reserved1, int32_t reserved2);
int32_t fnGetRXFrequency(int32_t reserved);
int32_t fnSetRXPSKMode(int32_t mode, int32_t reserved);
int32_t fnSetAFCLimit(int32_t limit_hz, int32_t reserved);
int32_t fnSetSquelchThreshold(int32_t threshold, int32_t reserved1, int32_t reserved2);
int32_t fnSetFFTMode(int32_t smoothing, int32_t scale, int32_t bias);
int32_t fnGetFFTData(int32_t* data, int32_t first, int32_t last);       // data: 1024 elements
int32_t fnGetRawData(int32_t* data, int32_t reserved, int32_t* count);  // data: 2049 elements
int32_t fnGetVectorData(int32_t* data, int32_t reserved);               // data: 16 elements
int32_t fnGetSignalLevel(int32_t reserved);
// The device list the start-up dialog shows.
int32_t pskengine_device_count();
int32_t pskengine_device_name(int32_t index, char* buffer, int32_t size);

// Declared for completeness; the program never calls these.
int32_t fnGetClosestPeak(int32_t hz, int32_t range_hz);
int32_t fnGetSyncData(int32_t* data, int32_t reserved);
int32_t fnStartTX(int32_t reserved);
int32_t fnStopTX(int32_t reserved);
int32_t fnAbortTX(int32_t reserved);
int32_t fnSetTXFrequency(int32_t hz, int32_t reserved);
int32_t fnSetCWIDString(const char* text, int32_t reserved);
int32_t fnSendTXCharacter(int32_t byte, int32_t reserved);
int32_t fnSendTXString(const char* text, int32_t reserved);
int32_t fnGetTXCharsRemaining(int32_t reserved);
int32_t fnClearTXBuffer(int32_t reserved);
int32_t fnSetCWIDSpeed(int32_t wpm, int32_t reserved);
int32_t fnSetComPort(int32_t port, int32_t mode);

// The engine library's file.  By default "libpskengine.so" in the folder of
// the running executable; tests and the replay tool name another one before
// the first call.
void SetLibraryPath(const std::string& path);
const std::string& LibraryPath();
// The loaded library (loading it if need be), for looking up extra symbols
// of a test engine.
void* LibraryHandle();
// Looks a symbol up in the engine library; nullptr when it is missing.
void* FindSymbol(const char* name);

}  // namespace PskEngine
