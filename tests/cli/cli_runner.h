#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tessapak::cli::test {

struct CliResult {
    int status = -1;  // exit status, or -1 when the tool did not exit normally
    std::string out;
    std::string err;

    // Standard error holds exactly one line.
    bool oneErrorLine() const;
};

enum class ErrorStream { File, Terminal };

// Whether ErrorStream::Terminal can be had here (a pseudo-terminal on POSIX;
// Windows tests have no console to give).
bool terminalAvailable();

// Runs the real tessapak-cli with args (UTF-8) in workdir. Standard input is
// empty; standard output always goes to a file; standard error goes to a
// file or, with ErrorStream::Terminal, to a pseudo-terminal that is read back.
CliResult runCli(const std::vector<std::string>& args, const std::filesystem::path& workdir,
                 ErrorStream errorStream = ErrorStream::File);

}  // namespace tessapak::cli::test
