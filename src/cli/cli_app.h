#pragma once

#include "cli/exit_status.h"

namespace tessapak::cli {

// Parses the command line, runs one command and returns the exit status.
// Results go to standard output; progress and failures to standard error.
int runCommandLine(int argc, char** argv);

}  // namespace tessapak::cli
