// The commands of tonvista-cli.  Each returns the process exit status:
// 0 done, 1 failed (message on stderr), 2 bad command line.
#pragma once

namespace tonvista::cli {

int run_generate(int argc, char** argv);
int run_measure(int argc, char** argv);
int run_survey(int argc, char** argv);

}  // namespace tonvista::cli
