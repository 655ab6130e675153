#pragma once

namespace tessapak::cli {

// Exit statuses of the tool.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // the operation failed
inline constexpr int kExitUsage = 2;    // the command line was wrong

}  // namespace tessapak::cli
