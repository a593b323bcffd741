// The six receive/transmit modes of the engine and their parameters.
#pragma once

#include <optional>
#include <string_view>

namespace psk {

enum class PskMode { Bpsk31, Qpsk31, Bpsk63, Qpsk63, Bpsk125, Qpsk125 };

struct ModeInfo {
  double baud;       // symbols per second
  bool qpsk;         // true: QPSK with the rate-1/2 K=5 code; false: BPSK
  int engine_code;   // the code of fnSetRXPSKMode (0, 1, 8, 9, 16, 17)
  const char* name;  // lower-case name used by the tools ("bpsk31" ... "qpsk125")
};

const ModeInfo& mode_info(PskMode mode);
std::optional<PskMode> mode_from_engine_code(int code);
std::optional<PskMode> mode_from_name(std::string_view name);

}  // namespace psk
