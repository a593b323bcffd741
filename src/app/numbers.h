// Number conversions shared by the whole program.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Rounds to the nearest integer, a half going to the even neighbour, into 16
// bits.  A value outside the 16-bit range is clamped to -32768 or 32767 and
// NaN gives 0: never undefined behaviour.
int16_t CInt(double value);
// The same rounding, or nothing when the result does not fit 16 bits (or the
// value is NaN): for callers that must leave a value alone rather than clamp.
std::optional<int16_t> ToInt16(double value);
// The same rounding into 32 bits, or nothing when it does not fit.
std::optional<int32_t> ToInt32(double value);
// Clamps a wide integer into the 16-bit range.
int16_t ClampInt16(long long value);

// The signed form: decimal digits, a minus sign when negative, one leading
// space when zero or positive (" 5", "-28").
std::string SignedText(long long value);
// The plain form: decimal digits with a minus sign when negative ("5", "-28").
std::string PlainText(long long value);

// Reads a whole text as a number the way the platform's numeric conversion
// does: blanks around it, an optional sign, digits with an optional fraction
// and exponent.  Nothing when the text is not a number (empty, letters,
// trailing characters, hexadecimal, infinities).
std::optional<double> ParseNumber(std::string_view text);
