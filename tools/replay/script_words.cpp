#include "script_words.h"

#include <cerrno>
#include <cstdlib>

#include "replay_session.h"

namespace replay {

Words SplitScriptLine(int line, std::string_view text) {
  Words words;
  size_t i = 0;
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (i < text.size()) {
    while (i < text.size() && blank(text[i])) ++i;
    if (i >= text.size() || text[i] == '#') break;
    Word word;
    const size_t start = i;
    if (text[i] == '"') {
      word.quoted = true;
      ++i;
      bool closed = false;
      while (i < text.size()) {
        char c = text[i++];
        if (c == '"') {
          closed = true;
          break;
        }
        if (c == '\\' && i < text.size()) c = text[i++];
        word.text += c;
      }
      if (!closed) throw ScriptError(line, "unterminated string");
    } else {
      while (i < text.size() && !blank(text[i])) word.text += text[i++];
    }
    // The rest of the line from this word, without a comment or trailing blanks.
    std::string_view rest = text.substr(start);
    if (!word.quoted) {
      const size_t hash = rest.find('#');
      if (hash != std::string_view::npos) rest = rest.substr(0, hash);
    }
    while (!rest.empty() && blank(rest.back())) rest.remove_suffix(1);
    word.rest = std::string(rest);
    words.push_back(word.text);
    words.detail.push_back(std::move(word));
  }
  return words;
}

std::optional<long long> ParseInteger(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno == ERANGE || end != text.c_str() + text.size()) return std::nullopt;
  return value;
}

std::optional<double> ParseDecimal(const std::string& text) {
  size_t i = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
  size_t digits = 0;
  bool point = false;
  for (; i < text.size(); ++i) {
    if (text[i] >= '0' && text[i] <= '9') {
      ++digits;
    } else if (text[i] == '.' && !point) {
      point = true;
    } else {
      return std::nullopt;
    }
  }
  if (digits == 0) return std::nullopt;
  return std::strtod(text.c_str(), nullptr);
}

}  // namespace replay
