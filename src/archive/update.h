#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "archive/progress.h"

namespace tessapak::archive {

// One change to an archive's entries.
struct EntryUpdate {
    // Stored form ("\" between folders). With a source it names the entry to
    // replace or add; without, the entry to remove or, as a folder, every
    // entry below it (as selectEntries picks them).
    std::u16string name;
    // The file whose bytes become the entry's; none removes.
    std::optional<std::filesystem::path> source;
};

struct UpdateSummary {
    std::int64_t replaced = 0;
    std::int64_t added = 0;
    std::int64_t removed = 0;
    std::int64_t kept = 0;  // entries whose bytes were copied unchanged
};

// Writes archive anew with the changes applied, through the same temporary
// file as a pack, which replaces archive only when it is complete and
// flushed: a failure leaves archive exactly as it was. Every other entry
// keeps its name and bytes; a replaced entry keeps its place, an added one
// goes where a pack of the folder would put it. Names are judged by the
// pack's rules; a change naming nothing to remove, an unsafe name or a source
// that cannot be read fails the whole update, naming it. Throws ArchiveError.
UpdateSummary updateArchive(const std::filesystem::path& archive,
                            const std::vector<EntryUpdate>& changes,
                            const ProgressCallback& progress = {});

}  // namespace tessapak::archive
