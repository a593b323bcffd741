// Runs tonvista-cli (TONVISTA_CLI, the path the build gives the test) with
// arguments, through the shell, and keeps what it printed.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace psk::test {

struct CliResult {
  int status;       // exit status, -1 when it did not exit
  std::string out;  // stdout and stderr
};

inline CliResult run_cli(const std::string& args) {
  FILE* pipe = popen((std::string(TONVISTA_CLI) + " " + args + " 2>&1").c_str(), "r");
  CliResult r{-1, ""};
  if (pipe == nullptr) return r;
  std::array<char, 4096> buffer;
  while (size_t n = fread(buffer.data(), 1, buffer.size(), pipe)) r.out.append(buffer.data(), n);
  const int status = pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

}  // namespace psk::test
