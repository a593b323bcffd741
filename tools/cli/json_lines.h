// The JSON lines that tonvista-cli prints: one object per line, the time in
// seconds first, then one named value.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace tonvista::cli {

// {"t":12.34,"name":value}
std::string json_number_line(double t, std::string_view name, long long value);
// {"t":12.34,"name":"text"}, text given as UTF-8 and escaped for JSON.
std::string json_text_line(double t, std::string_view name, std::string_view utf8);
// The JSON string literal of utf8 (quotes, backslashes and control characters escaped).
std::string json_quote(std::string_view utf8);

}  // namespace tonvista::cli
