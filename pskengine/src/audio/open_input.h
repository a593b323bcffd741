// Opens the input that an engine device number names: -1 the default capture
// device, 0..n-1 the capture devices of the shared device list, n the
// built-in test signal.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "sources/audio_source.h"

namespace psk {

struct OpenedInput {
  std::unique_ptr<AudioSource> source;  // null unless code is PSK_START_OK
  int32_t code = 0;                     // start code of pskengine.h
  std::string message;                  // what went wrong, for logs and tests
  std::string device_name;              // the capture device's name; empty for the default
};

OpenedInput open_input(int32_t device);
// Opens the capture device of that name in a fresh device list, or the
// default capture device for an empty name.
OpenedInput open_input_named(const std::string& device_name);

}  // namespace psk
