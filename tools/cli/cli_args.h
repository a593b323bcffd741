// Command-line options of tonvista-cli: "--name value" pairs and positional
// arguments, with checked conversions.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "modem/modes.h"

namespace tonvista::cli {

class Args {
 public:
  // Splits argv[first..] into options and positionals.  Options named in
  // flags take no value.  Returns nullopt with *error on a malformed line.
  static std::optional<Args> parse(int argc, char** argv, int first,
                                   const std::vector<std::string>& known,
                                   const std::vector<std::string>& flags, std::string* error);

  const std::vector<std::string>& positionals() const { return positionals_; }
  bool has(const std::string& name) const { return options_.count(name) != 0; }
  std::optional<std::string> text(const std::string& name) const;
  // A finite number, or nullopt (absent); *error is set when present but bad.
  std::optional<double> number(const std::string& name, double min, double max,
                               std::string* error) const;
  // A mode name (bpsk31 ...); bpsk31 when absent; nullopt with *error when bad.
  std::optional<psk::PskMode> mode(std::string* error) const;

 private:
  std::map<std::string, std::string> options_;  // name (without --) to value
  std::vector<std::string> positionals_;        // other arguments, in order
};

}  // namespace tonvista::cli
