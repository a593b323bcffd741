#include "modem/modes.h"

#include <array>

namespace psk {
namespace {

constexpr std::array<ModeInfo, 6> kModes{{
    {31.25, false, 0, "bpsk31"},
    {31.25, true, 1, "qpsk31"},
    {62.5, false, 8, "bpsk63"},
    {62.5, true, 9, "qpsk63"},
    {125.0, false, 16, "bpsk125"},
    {125.0, true, 17, "qpsk125"},
}};

constexpr std::array<PskMode, 6> kAll{PskMode::Bpsk31, PskMode::Qpsk31,  PskMode::Bpsk63,
                                      PskMode::Qpsk63, PskMode::Bpsk125, PskMode::Qpsk125};

}  // namespace

const ModeInfo& mode_info(PskMode mode) {
  return kModes[static_cast<size_t>(mode)];
}

std::optional<PskMode> mode_from_engine_code(int code) {
  for (PskMode m : kAll)
    if (mode_info(m).engine_code == code) return m;
  return std::nullopt;
}

std::optional<PskMode> mode_from_name(std::string_view name) {
  for (PskMode m : kAll)
    if (name == mode_info(m).name) return m;
  return std::nullopt;
}

}  // namespace psk
