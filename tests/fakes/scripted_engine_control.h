/* The controls of the scripted engine: a stand-in for the PSK engine whose
 * answers are set by a test and which records every operation called, with
 * its arguments.  Looked up by name in the same library as the operations. */
#ifndef SCRIPTED_ENGINE_CONTROL_H
#define SCRIPTED_ENGINE_CONTROL_H

#include <stdint.h>

#include "pskengine.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Back to the start: no calls recorded, default answers (start code 0,
 * frequency following fnSetRXFrequency from 1500, level 0, zero spectrum,
 * vectors and raw samples, raw count 2047, the built-in signal alone). */
PSKENGINE_API void scripted_reset(void);
PSKENGINE_API void scripted_set_start_code(int32_t code);
/* Pins the frequency fnGetRXFrequency reports; fnSetRXFrequency no longer
 * changes it until scripted_follow_frequency. */
PSKENGINE_API void scripted_set_frequency(int32_t hz);
PSKENGINE_API void scripted_follow_frequency(void);
PSKENGINE_API void scripted_set_level(int32_t level);
PSKENGINE_API void scripted_set_fft_all(int32_t level);
PSKENGINE_API void scripted_set_fft_bin(int32_t bin, int32_t level); /* bin 0..1023 */
PSKENGINE_API void scripted_set_vectors(const int32_t* xy16);        /* 16 values */
PSKENGINE_API void scripted_set_raw_count(int32_t count);
PSKENGINE_API void scripted_set_raw(int32_t index, int32_t value); /* index 0..2048 */

/* The device list: count names (UTF-8), the last one standing for the
 * built-in signal; count -1 for an audio system that cannot be reached.  One
 * entry, "Built-in test signal (BPSK31 at 1500 Hz)", after a reset. */
PSKENGINE_API void scripted_set_devices(int32_t count, const char* const* names);

/* The recorded calls since the last scripted_clear_calls, oldest first. */
PSKENGINE_API int32_t scripted_call_count(void);
PSKENGINE_API const char* scripted_call_name(int32_t call);
PSKENGINE_API int32_t scripted_call_argc(int32_t call);
/* 1 when argument arg was an array (or a pointer), else 0. */
PSKENGINE_API int32_t scripted_call_arg_is_array(int32_t call, int32_t arg);
PSKENGINE_API int64_t scripted_call_arg(int32_t call, int32_t arg);
/* 1 when the operation returns a result the program uses. */
PSKENGINE_API int32_t scripted_call_has_result(int32_t call);
PSKENGINE_API int32_t scripted_call_result(int32_t call);
PSKENGINE_API void scripted_clear_calls(void);

#ifdef __cplusplus
}
#endif

#endif
