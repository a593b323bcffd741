// The engine's audio rate: every source delivers it (resampling when its own
// rate differs) and every part of the receiver works at it.
#pragma once

namespace psk {

inline constexpr int kEngineRateHz = 8000;  // samples a second

}  // namespace psk
