#include "json_lines.h"

#include <cstdio>

namespace tonvista::cli {
namespace {
std::string time_prefix(double t, std::string_view name) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "{\"t\":%.2f,", t);
  return std::string(buffer) + json_quote(name) + ":";
}
}  // namespace

std::string json_quote(std::string_view utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
      out += buffer;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string json_number_line(double t, std::string_view name, long long value) {
  return time_prefix(t, name) + std::to_string(value) + "}";
}

std::string json_text_line(double t, std::string_view name, std::string_view utf8) {
  return time_prefix(t, name) + json_quote(utf8) + "}";
}

}  // namespace tonvista::cli
