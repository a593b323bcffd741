// The words of one replay script line.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace replay {

struct Word {
  std::string text;
  bool quoted = false;
  std::string rest;  // the line from this word on, unquoted words as written
};

class Words : public std::vector<std::string> {
 public:
  std::vector<Word> detail;
};

// Splits a line into words: blanks separate words, a double-quoted string
// (with \" and \\) is one word, "" an empty one, and # outside quotes starts
// a comment.  Throws ScriptError for an unterminated string.
Words SplitScriptLine(int line, std::string_view text);

// A decimal integer with an optional sign; nothing for anything else.
std::optional<long long> ParseInteger(const std::string& text);

// A decimal number with an optional sign and fraction ("4522.5", "-.25");
// nothing for anything else, exponents, infinities and NaN included.
std::optional<double> ParseDecimal(const std::string& text);

}  // namespace replay
