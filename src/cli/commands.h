#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>

namespace tessapak::cli {

inline constexpr const char* kProgramName = "tessapak-cli";

// A failure the tool itself detects before the engine is called; what() is
// "<path>: <detail>", the same shape as the engine's errors.
class CommandError : public std::runtime_error {
  public:
    CommandError(const std::filesystem::path& path, const std::string& detail);
};

struct CommandOptions {
    bool quiet = false;
    bool showProgress = false;  // standard error is a terminal and not quiet
};

// Each command writes its results to out and throws on failure. An unpack
// that stops after making its folder names that folder in its failure, or
// on standard error when interrupted.
void runPack(const std::filesystem::path& folder,
             const std::optional<std::filesystem::path>& archiveArg, const CommandOptions& options,
             std::ostream& out);
void runUnpack(const std::filesystem::path& archive,
               const std::optional<std::filesystem::path>& outputFolder,
               const CommandOptions& options, std::ostream& out);
void runList(const std::filesystem::path& archive, std::ostream& out);
void runVerify(const std::filesystem::path& archive, const CommandOptions& options,
               std::ostream& out);

// The archive a pack run writes: ARCHIVE under the ".rdb" rule, or FOLDER's
// own name followed by ".rdb" beside it (trailing "/", "." and ".." resolved).
std::filesystem::path packOutputFor(const std::filesystem::path& folder,
                                    const std::optional<std::filesystem::path>& archiveArg);

// packOutputFor after checking that folder is one and that the archive's
// path does not name a folder; throws CommandError.
std::filesystem::path checkedPackOutput(const std::filesystem::path& folder,
                                        const std::optional<std::filesystem::path>& archiveArg);

}  // namespace tessapak::cli
