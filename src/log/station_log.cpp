#include "log/station_log.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/Module1.h"
#include "engine/PskEngine.h"

namespace station_log {
namespace {

constexpr int kSameFrequencyHz = 10;    // a callsign belongs to readings this near
constexpr size_t kMaxFrequencies = 64;  // frequencies whose callsigns are kept
constexpr size_t kMaxWord = 16;         // longer words are no callsigns

struct Heard {
  int32_t hz;        // receive frequency when it was heard
  std::string call;  // callsign after "de"
};

struct State {
  std::optional<std::string> path;  // the log file, while open
  bool reported = false;            // the unwritable file has been reported
  std::string word;                 // received word in progress, upper case
  std::string last_word;            // the word before it
  std::vector<Heard> heard;         // newest last
  std::function<std::time_t()> now = [] { return std::time(nullptr); };
  std::function<void(const std::string&)> sink = [](const std::string& m) {
    std::fprintf(stderr, "tonvista: %s\n", m.c_str());
  };
};

State& state() {
  static State s;
  return s;
}

bool IsLetter(char c) {
  return c >= 'A' && c <= 'Z';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// A callsign proper: a prefix of up to three letters and digits with at least
// one letter, the area digit, one to four letters.
bool IsBaseCall(const std::string& w) {
  const size_t digit = w.find_last_of("0123456789");
  if (digit == std::string::npos || digit == 0 || digit > 3) return false;
  const size_t suffix = w.size() - digit - 1;
  if (suffix < 1 || suffix > 4) return false;
  bool letter = false;
  for (size_t i = 0; i < w.size(); ++i) {
    if (!IsLetter(w[i]) && !IsDigit(w[i])) return false;
    if (i < digit) letter = letter || IsLetter(w[i]);
    if (i > digit && !IsLetter(w[i])) return false;
  }
  return letter;
}

// Callsign shapes: CALL, PREFIX/CALL, CALL/SUFFIX, PREFIX/CALL/SUFFIX, with
// portable suffixes P, M, MM, AM, QRP, A or one digit.
bool IsCallsign(const std::string& w) {
  std::vector<std::string> parts(1);
  for (char c : w) {
    if (c == '/')
      parts.emplace_back();
    else
      parts.back().push_back(c);
  }
  auto prefix = [](const std::string& p) {
    return !p.empty() && p.size() <= 4 && std::strpbrk(p.c_str(), "ABCDEFGHIJKLMNOPQRSTUVWXYZ") &&
           p.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789") == std::string::npos;
  };
  auto suffix = [](const std::string& s) {
    return s == "P" || s == "M" || s == "MM" || s == "AM" || s == "QRP" || s == "A" ||
           (s.size() == 1 && IsDigit(s[0]));
  };
  switch (parts.size()) {
    case 1:
      return IsBaseCall(parts[0]);
    case 2:
      return (prefix(parts[0]) && IsBaseCall(parts[1])) ||
             (IsBaseCall(parts[0]) && suffix(parts[1]));
    case 3:
      return prefix(parts[0]) && IsBaseCall(parts[1]) && suffix(parts[2]);
    default:
      return false;
  }
}

void Remember(int32_t hz, const std::string& call) {
  auto& heard = state().heard;
  std::erase_if(heard, [&](const Heard& h) { return std::abs(h.hz - hz) <= kSameFrequencyHz; });
  heard.push_back({hz, call});
  if (heard.size() > kMaxFrequencies) heard.erase(heard.begin());
}

std::string CallNear(int32_t hz) {
  const auto& heard = state().heard;
  for (auto it = heard.rbegin(); it != heard.rend(); ++it)
    if (std::abs(it->hz - hz) <= kSameFrequencyHz) return it->call;
  return {};
}

const char* ModeName(int16_t code) {
  switch (code) {
    case 0:
      return "bpsk31";
    case 1:
      return "qpsk31";
    case 8:
      return "bpsk63";
    case 9:
      return "qpsk63";
    case 16:
      return "bpsk125";
    case 17:
      return "qpsk125";
    default:
      return "";
  }
}

// Appends text to the log file (a header row first when it is empty);
// reports the first failure.
void Append(const std::string& row) {
  State& s = state();
  std::FILE* f = std::fopen(s.path->c_str(), "a");
  bool ok = f != nullptr;
  const std::string reason = ok ? "" : std::strerror(errno);
  if (ok) {
    if (std::ftell(f) == 0) ok = std::fputs("utc,freq_hz,mode,imd_db,snr_db,call\n", f) >= 0;
    ok = ok && std::fputs(row.c_str(), f) >= 0;
    ok = std::fclose(f) == 0 && ok;
  }
  if (!ok && !s.reported) {
    s.reported = true;
    s.sink("cannot write the station log " + *s.path + (reason.empty() ? "" : " (" + reason + ")") +
           "; IMD readings are not being logged");
  }
}

}  // namespace

std::optional<std::string> PathFromArguments(int argc, char** argv, std::string* error) {
  std::optional<std::string> path;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--log") != 0) continue;
    if (i + 1 >= argc || argv[i + 1][0] == '\0') {
      *error = "--log needs a file name";
      return std::nullopt;
    }
    path = argv[++i];
  }
  return path;
}

void Open(const std::string& path) {
  Close();
  State& s = state();
  s.path = path;
  std::FILE* f = std::fopen(path.c_str(), "a");
  if (f) {
    std::fclose(f);
  } else {
    s.reported = true;
    s.sink("cannot write the station log " + path + " (" + std::strerror(errno) +
           "); IMD readings are not being logged");
  }
}

void Close() {
  State& s = state();
  s.path.reset();
  s.reported = false;
  s.word.clear();
  s.last_word.clear();
  s.heard.clear();
}

bool IsOpen() {
  return state().path.has_value();
}

void ReceivedByte(int32_t byte) {
  State& s = state();
  if (!s.path) return;
  const char c = static_cast<char>(byte >= 'a' && byte <= 'z' ? byte - 'a' + 'A' : byte);
  if (byte >= 0 && byte < 128 && (IsLetter(c) || IsDigit(c) || c == '/')) {
    if (s.word.size() < kMaxWord) s.word += c;
    return;
  }
  if (s.word.empty()) return;
  if (s.last_word == "DE" && IsCallsign(s.word)) Remember(PskEngine::fnGetRXFrequency(0), s.word);
  s.last_word = std::move(s.word);
  s.word.clear();
}

void ImdReading(int16_t db) {
  State& s = state();
  if (!s.path) return;
  const int32_t hz = PskEngine::fnGetRXFrequency(0);
  // The signal level is 40 + 2 dB of S/N in 2500 Hz (0 and 100 are its ends).
  const double snr = (PskEngine::fnGetSignalLevel(0) - 40) / 2.0;
  const std::time_t now = s.now();
  std::tm utc{};
  gmtime_r(&now, &utc);
  char time_text[32];
  std::strftime(time_text, sizeof time_text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  char row[160];
  std::snprintf(row, sizeof row, "%s,%d,%s,%d,%.1f,%s\n", time_text, hz, ModeName(PskMode), db, snr,
                CallNear(hz).c_str());
  Append(row);
}

void SetClock(std::function<std::time_t()> now) {
  state().now = std::move(now);
}

void SetMessageSink(std::function<void(const std::string&)> sink) {
  state().sink = std::move(sink);
}

}  // namespace station_log
