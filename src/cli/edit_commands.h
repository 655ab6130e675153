#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace tessapak::cli {

// diff, update and remove: comparing versions of a skin and changing the
// entries of an archive in place.
struct EditCommands {
    CLI::App* diff = nullptr;
    CLI::App* update = nullptr;
    CLI::App* remove = nullptr;
    std::string first;               // A or ARCHIVE
    std::string second;              // B
    std::vector<std::string> items;  // NAME=FILE or NAME
    bool json = false;

    // Adds the three commands to app; their arguments land in this object.
    void addTo(CLI::App& app);
    // Runs whichever of them was parsed and returns its exit status; nothing
    // when none was. Throws on failure, like the other commands.
    std::optional<int> run(const CommandOptions& options, std::ostream& out) const;
    // The exit status of a failure: diff's is 2, as diff(1)'s, since 1 means
    // that the two differ.
    int failureStatus(int usual) const;
};

}  // namespace tessapak::cli
