#include "cli_args.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tonvista::cli {

std::optional<Args> Args::parse(int argc, char** argv, int first,
                                const std::vector<std::string>& known,
                                const std::vector<std::string>& flags, std::string* error) {
  Args args;
  for (int i = first; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--", 0) != 0 || arg.size() == 2) {
      args.positionals_.push_back(arg);
      continue;
    }
    const std::string name = arg.substr(2);
    if (std::find(flags.begin(), flags.end(), name) != flags.end()) {
      args.options_[name] = "";
      continue;
    }
    if (std::find(known.begin(), known.end(), name) == known.end()) {
      *error = "unknown option --" + name;
      return std::nullopt;
    }
    if (i + 1 >= argc) {
      *error = "option --" + name + " needs a value";
      return std::nullopt;
    }
    args.options_[name] = argv[++i];
  }
  return args;
}

std::optional<std::string> Args::text(const std::string& name) const {
  auto it = options_.find(name);
  if (it == options_.end()) return std::nullopt;
  return it->second;
}

std::optional<double> Args::number(const std::string& name, double min, double max,
                                   std::string* error) const {
  auto it = options_.find(name);
  if (it == options_.end()) return std::nullopt;
  const char* begin = it->second.c_str();
  char* end = nullptr;
  const double value = std::strtod(begin, &end);
  if (end == begin || *end != '\0' || !std::isfinite(value) || value < min || value > max) {
    *error = "--" + name + " must be a number from " + std::to_string(static_cast<long long>(min)) +
             " to " + std::to_string(static_cast<long long>(max)) + ", not '" + it->second + "'";
    return std::nullopt;
  }
  return value;
}

std::optional<psk::PskMode> Args::mode(std::string* error) const {
  auto name = text("mode");
  if (!name) return psk::PskMode::Bpsk31;
  auto mode = psk::mode_from_name(*name);
  if (!mode)
    *error = "unknown mode '" + *name + "' (bpsk31, qpsk31, bpsk63, qpsk63, bpsk125, qpsk125)";
  return mode;
}

}  // namespace tonvista::cli
