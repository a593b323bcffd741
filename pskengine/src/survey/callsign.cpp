#include "survey/callsign.h"

#include <algorithm>
#include <cctype>

namespace psk {
namespace {

bool is_letter(char c) {
  return c >= 'A' && c <= 'Z';
}
bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// The callsign proper: up to three characters of prefix (at least one letter
// among them or a digit followed by a letter), the area digit, and one to
// four letters.  The prefix is everything before the last digit.
bool is_base_call(std::string_view w) {
  if (w.size() < 3 || w.size() > 8) return false;
  size_t last_digit = std::string_view::npos;
  for (size_t i = 0; i < w.size(); ++i) {
    if (!is_letter(w[i]) && !is_digit(w[i])) return false;
    if (is_digit(w[i])) last_digit = i;
  }
  if (last_digit == std::string_view::npos || last_digit == 0) return false;
  const size_t suffix = w.size() - last_digit - 1;
  if (suffix < 1 || suffix > 4) return false;
  const std::string_view prefix = w.substr(0, last_digit);
  if (prefix.size() > 3) return false;
  return std::any_of(prefix.begin(), prefix.end(), is_letter);
}

bool is_portable_suffix(std::string_view s) {
  static constexpr std::string_view kSuffixes[] = {"P", "M", "MM", "AM", "QRP", "A"};
  if (s.size() == 1 && is_digit(s[0])) return true;
  return std::find(std::begin(kSuffixes), std::end(kSuffixes), s) != std::end(kSuffixes);
}

bool is_country_prefix(std::string_view s) {
  if (s.empty() || s.size() > 4) return false;
  bool letter = false;
  for (char c : s) {
    if (!is_letter(c) && !is_digit(c)) return false;
    letter = letter || is_letter(c);
  }
  return letter;
}

std::vector<std::string> words_of(std::string_view text) {
  std::vector<std::string> words;
  std::string word;
  for (char c : text) {
    const char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (is_letter(u) || is_digit(u) || u == '/') {
      word += u;
    } else if (!word.empty()) {
      words.push_back(std::move(word));
      word.clear();
    }
  }
  if (!word.empty()) words.push_back(std::move(word));
  return words;
}

}  // namespace

bool is_callsign(std::string_view word) {
  const size_t first = word.find('/');
  if (first == std::string_view::npos) return is_base_call(word);
  const size_t second = word.find('/', first + 1);
  if (second != std::string_view::npos && word.find('/', second + 1) != std::string_view::npos)
    return false;
  const std::string_view a = word.substr(0, first);
  if (second == std::string_view::npos) {
    const std::string_view b = word.substr(first + 1);
    // DL/G4XYZ or G4XYZ/P; a base call on both sides (rare) counts as prefixed.
    return (is_country_prefix(a) && is_base_call(b)) || (is_base_call(a) && is_portable_suffix(b));
  }
  const std::string_view b = word.substr(first + 1, second - first - 1);
  const std::string_view c = word.substr(second + 1);
  return is_country_prefix(a) && is_base_call(b) && is_portable_suffix(c);
}

CallsignsHeard find_callsigns(std::string_view text) {
  CallsignsHeard heard;
  const std::vector<std::string> words = words_of(text);
  bool after_de = false;  // the words since "de" have all been callsigns
  for (const std::string& word : words) {
    if (word == "DE") {
      after_de = true;
      continue;
    }
    if (!is_callsign(word)) {
      after_de = false;
      continue;
    }
    (after_de ? heard.senders : heard.others).push_back(word);
  }
  return heard;
}

std::string sender_of(std::string_view text) {
  const CallsignsHeard heard = find_callsigns(text);
  std::string best;
  std::pair<long, long> best_score{0, 0};
  for (const std::string& call : heard.senders) {
    // Named after "de" most often; of equals, the one named most in all.
    const long as_sender = std::count(heard.senders.begin(), heard.senders.end(), call);
    const std::pair<long, long> score{
        as_sender, as_sender + std::count(heard.others.begin(), heard.others.end(), call)};
    if (score > best_score) {
      best = call;
      best_score = score;
    }
  }
  return best;
}

}  // namespace psk
