#include "app/numbers.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

// Half-to-even rounding of a finite value.
double RoundHalfEven(double value) {
  return std::nearbyint(value);
}

}  // namespace

int16_t CInt(double value) {
  if (std::isnan(value)) return 0;
  const double r = RoundHalfEven(value);
  if (r < -32768.0) return -32768;
  if (r > 32767.0) return 32767;
  return static_cast<int16_t>(r);
}

std::optional<int16_t> ToInt16(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  const double r = RoundHalfEven(value);
  if (r < -32768.0 || r > 32767.0) return std::nullopt;
  return static_cast<int16_t>(r);
}

std::optional<int32_t> ToInt32(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  const double r = RoundHalfEven(value);
  if (r < -2147483648.0 || r > 2147483647.0) return std::nullopt;
  return static_cast<int32_t>(r);
}

int16_t ClampInt16(long long value) {
  if (value < -32768) return -32768;
  if (value > 32767) return 32767;
  return static_cast<int16_t>(value);
}

std::string SignedText(long long value) {
  return value < 0 ? std::to_string(value) : " " + std::to_string(value);
}

std::string PlainText(long long value) {
  return std::to_string(value);
}

std::optional<double> ParseNumber(std::string_view text) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  // Only decimal notation: sign, digits, point, exponent.
  bool digits = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      digits = true;
    } else if (c != '+' && c != '-' && c != '.' && c != 'e' && c != 'E') {
      return std::nullopt;
    }
  }
  if (!digits) return std::nullopt;
  const std::string copy(text);
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || errno == ERANGE || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}
