#pragma once

#include <filesystem>
#include <optional>
#include <ostream>

#include "cli/commands.h"

namespace tessapak::cli {

// pack --watch: packs folder, then again each time something below it has
// changed and then stayed still for a moment, until the process is
// interrupted, which leaves the last complete archive. Prints one line per
// pack on out; a pack that fails is told on err, leaves the archive as it was
// and is tried again on the next change. Throws when the folder cannot be
// watched (any more).
void runPackWatch(const std::filesystem::path& folder,
                  const std::optional<std::filesystem::path>& archiveArg,
                  const CommandOptions& options, std::ostream& out, std::ostream& err);

}  // namespace tessapak::cli
