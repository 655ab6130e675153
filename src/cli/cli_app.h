#pragma once

namespace tessapak::cli {

// Exit statuses of the tool.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // the operation failed
inline constexpr int kExitUsage = 2;    // the command line was wrong

// Parses the command line, runs one command and returns the exit status.
// Results go to standard output; progress and failures to standard error.
int runCommandLine(int argc, char** argv);

}  // namespace tessapak::cli
