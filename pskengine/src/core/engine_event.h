// One notification of the receiver, as a plain value: the message code of
// pskengine.h (WM_ENGINE_*) and its two parameters.
#pragma once

#include <cstdint>

namespace psk {

struct EngineEvent {
  uint32_t msg = 0;    // WM_ENGINE_* code of pskengine.h
  int32_t wparam = 0;  // first parameter (a byte, dB, ppm or status)
  int32_t lparam = 0;  // second parameter, 0 unless documented otherwise
  bool operator==(const EngineEvent&) const = default;
};

}  // namespace psk
