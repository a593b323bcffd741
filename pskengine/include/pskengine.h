/*
 * pskengine.h — the C interface of the PSK engine library (libpskengine.so).
 *
 * The engine owns the audio input (sound card, WAV file or its built-in test
 * signal), does all signal processing and posts notifications to a window.
 * Every operation is called from one thread (the program's GUI thread); the
 * engine posts its notifications from its own thread through the message sink
 * it was given at start.
 *
 * Conventions
 *  - Arguments and results are 32-bit signed integers.  Arguments documented
 *    as "reserved" are passed as 0 by the program and ignored by the engine.
 *  - Arrays are owned by the caller; the engine never writes past the size
 *    stated for each operation.
 *  - Audio runs at 8000 samples per second; the spectrum has 2048 points, so
 *    one FFT bin is 8000 / 2048 = 3.90625 Hz wide (bin = floor(Hz / 3.90625)).
 *  - Every getter is safe before start and after stop; it then reports zeros
 *    (fnGetRXFrequency reports the frequency kept, which settings change at
 *    any time, running or not).
 *  - An operation given a null array writes nothing and returns -1.
 *  - Settings are refused with -1 when out of range (the setting is then kept
 *    as it was) and return 0 when taken.
 */
#ifndef PSKENGINE_H
#define PSKENGINE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define PSKENGINE_API __declspec(dllexport)
#else
#define PSKENGINE_API __attribute__((visibility("default")))
#endif

/* ---- Window handles and notifications ------------------------------------ */

/* A window handle is the address of a message sink owned by the window.
 * post() must be safe to call from any thread; it queues the message for the
 * window and returns at once.  The sink stays valid from fnStartSoundCard
 * until fnStopSoundCard has returned. */
typedef struct PskMessageSink {
  void (*post)(void* context, uint32_t msg, int32_t wParam, int32_t lParam);
  void* context;
} PskMessageSink;
typedef PskMessageSink* PskWindowHandle;

#define PSK_WM_USER 1024
/* New spectrum, raw, vector and level data can be fetched.  About ten a
 * second (one per 800 samples); never a second one while the first has not
 * been handled.  It counts as handled once the program fetches display data
 * (fnGetVectorData, fnGetSignalLevel, fnGetFFTData or fnGetRawData).
 * wParam, lParam: 0. */
#define WM_ENGINE_DISPLAY (PSK_WM_USER + 1000) /* 2024 */
/* One received byte.  wParam: the byte 0..255 (Shift-JIS bytes are sent one
 * at a time); lParam: 0. */
#define WM_ENGINE_RXCHAR (PSK_WM_USER + 1001) /* 2025 */
/* Input status.  wParam: 0 the input runs (posted when samples first flow,
 * and again when they flow after a fault); 1 the input is lost, overruns (held
 * for at least a second) or a file has ended.  lParam: 0. */
#define WM_ENGINE_STATUS (PSK_WM_USER + 1002) /* 2026 */
/* One IMD reading of the idle signal.  wParam: IMD in whole dB (negative for
 * a clean signal); lParam: 0. */
#define WM_ENGINE_IMD (PSK_WM_USER + 1003) /* 2027 */
/* Sound-card clock error.  wParam: whole ppm, positive when the sound card
 * samples faster than nominal; lParam: 0. */
#define WM_ENGINE_CLOCKERR (PSK_WM_USER + 1004) /* 2028 */

/* ---- Start codes of fnStartSoundCard ------------------------------------- */
#define PSK_START_OK 0          /* input opened */
#define PSK_START_NOT_OPEN 11   /* the input could not be opened */
#define PSK_START_BUSY 18       /* the device is busy */
#define PSK_START_BAD_DEVICE 21 /* no such device */

/* ---- Receive modes of fnSetRXPSKMode ------------------------------------- */
#define PSK_MODE_BPSK31 0
#define PSK_MODE_QPSK31 1
#define PSK_MODE_BPSK63 8
#define PSK_MODE_QPSK63 9
#define PSK_MODE_BPSK125 16
#define PSK_MODE_QPSK125 17

/* ---- Operations used by the program -------------------------------------- */

/* Opens the input and starts processing.  device: -1 the default input;
 * 0..n-1 the capture devices in the order of the shared device list; n the
 * built-in test signal.  flags: 1 (reserved).  Returns a start code.  A start
 * while running first stops the running input.  A null window (or a sink
 * without post) runs without notifications.  post() must not wait for the
 * window's thread: fnStopSoundCard waits for the engine's thread. */
PSKENGINE_API int32_t fnStartSoundCard(PskWindowHandle window, int32_t device, int32_t flags);
/* Stops processing and closes the input; safe twice and without a start.
 * When it returns, nothing more is posted. */
PSKENGINE_API int32_t fnStopSoundCard(void);
/* Receive frequency in whole Hz; values outside 100..3000 are taken as the
 * nearer limit.  reserved1, reserved2: 0.  Returns 0. */
PSKENGINE_API int32_t fnSetRXFrequency(int32_t hz, int32_t reserved1, int32_t reserved2);
/* Returns the receive frequency in whole Hz (100..3000); it moves under AFC. */
PSKENGINE_API int32_t fnGetRXFrequency(int32_t reserved);
/* Receive mode: one of the PSK_MODE_* codes.  Unknown codes are refused (-1). */
PSKENGINE_API int32_t fnSetRXPSKMode(int32_t mode, int32_t reserved);
/* AFC: the furthest the receiver may move, in Hz, from the frequency last
 * set, 0..3000; 0 switches AFC off (the setting before the first call). */
PSKENGINE_API int32_t fnSetAFCLimit(int32_t limit_hz, int32_t reserved);
/* Squelch threshold 0..99 on the scale of fnGetSignalLevel: below it no
 * characters are posted.  0 before the first call. */
PSKENGINE_API int32_t fnSetSquelchThreshold(int32_t threshold, int32_t reserved1,
                                            int32_t reserved2);
/* Spectrum display: smoothing 1..10 (number of spectra averaged), scale 100
 * (reserved, not checked), bias 1..90; 3 and 1 before the first call.
 * Levels: each spectrum is a 2048-point FFT of the newest samples under a
 * Blackman-Harris window, taken every 800 samples; the levels come from the
 * mean P of the last `smoothing` spectra and the noise reference N, the
 * median of that mean over 300..2700 Hz:
 *   level = clamp(round(20 + 1.25 * 10 log10(P / N) - (bias - 1) / 4), 0, 100)
 * so the noise floor sits near 20 whatever the audio gain, a level step is
 * 0.8 dB, and each bias step lowers the whole trace by a quarter level.
 * Digital silence reads 0. */
PSKENGINE_API int32_t fnSetFFTMode(int32_t smoothing, int32_t scale, int32_t bias);
/* Writes the levels 0..100 of bins first..last into data[first..last]; data
 * has 1024 elements.  Bins outside 0..1023 are not written. */
PSKENGINE_API int32_t fnGetFFTData(int32_t* data, int32_t first, int32_t last);
/* Writes the newest raw samples (signed 16-bit range), oldest first, into
 * data from element 0; *count holds the number wanted and returns the number
 * delivered: min(*count, 2047), or 0 for a count of 0 or less. */
PSKENGINE_API int32_t fnGetRawData(int32_t* data, int32_t reserved, int32_t* count);
/* Writes the last eight symbols as phase vectors, oldest first: x at even, y
 * at odd index of data[0..15].  Each is the phase change from the symbol
 * before, rotated so that no change points up (+y, a reversal down, +90
 * degrees left); a clean signal has radius about 1000.  Zeros before any
 * signal. */
PSKENGINE_API int32_t fnGetVectorData(int32_t* data, int32_t reserved);
/* Signal level 0..100 at the receive frequency, the scale of the squelch:
 * the SNR in 2500 Hz estimated from the power within +-baud of the receive
 * frequency over the noise beside it (3..6 baud away), as
 *   level = clamp(round(40 + 2 * SNR in dB), 0, 100)
 * alike for every mode: noise alone reads below 15, a 0 dB signal about 40,
 * 30 dB and more 100.  Averaged over about half a second at 31 baud (an
 * eighth of that at 125 baud). */
PSKENGINE_API int32_t fnGetSignalLevel(int32_t reserved);

/* ---- The device list ----------------------------------------------------- */
/* The entries that fnStartSoundCard numbers 0..n: the capture devices, then
 * the built-in test signal, always last.  The start-up dialog shows this list.
 *
 * pskengine_device_count enumerates the devices afresh and returns the number
 * of entries (at least 1: the built-in signal), or -1 when the audio system
 * cannot be reached.
 *
 * pskengine_device_name copies the name of entry index (0..count-1 of the list
 * taken by the last pskengine_device_count, which it calls itself when there
 * was none) into buffer as UTF-8, always NUL-terminated; a name longer than
 * size-1 bytes is cut at the last whole character that fits.  Returns the
 * name's full length in bytes without the NUL, so a result of size or more
 * means it was cut.  Returns -1 and writes nothing for an index outside the
 * list, a null buffer or a size below 1. */
PSKENGINE_API int32_t pskengine_device_count(void);
PSKENGINE_API int32_t pskengine_device_name(int32_t index, char* buffer, int32_t size);

/* ---- Declared for completeness; the program never calls these ------------ */
/* The engine is receive-only: the transmit operations and fnGetSyncData
 * return -1.  fnGetClosestPeak returns the frequency (whole Hz) of the
 * strongest spectrum bin within range_hz of hz, or -1 when not running. */
PSKENGINE_API int32_t fnGetClosestPeak(int32_t hz, int32_t range_hz);
PSKENGINE_API int32_t fnGetSyncData(int32_t* data, int32_t reserved);
PSKENGINE_API int32_t fnStartTX(int32_t reserved);
PSKENGINE_API int32_t fnStopTX(int32_t reserved);
PSKENGINE_API int32_t fnAbortTX(int32_t reserved);
PSKENGINE_API int32_t fnSetTXFrequency(int32_t hz, int32_t reserved);
PSKENGINE_API int32_t fnSetCWIDString(const char* text, int32_t reserved);
PSKENGINE_API int32_t fnSendTXCharacter(int32_t byte, int32_t reserved);
PSKENGINE_API int32_t fnSendTXString(const char* text, int32_t reserved);
PSKENGINE_API int32_t fnGetTXCharsRemaining(int32_t reserved);
PSKENGINE_API int32_t fnClearTXBuffer(int32_t reserved);
PSKENGINE_API int32_t fnSetCWIDSpeed(int32_t wpm, int32_t reserved);
PSKENGINE_API int32_t fnSetComPort(int32_t port, int32_t mode);

#ifdef __cplusplus
}
#endif

#endif /* PSKENGINE_H */
