#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "archive/progress.h"
#include "archive/unpack.h"

namespace tessapak::archive {

// The entries a list of names picks, in archive order. A name (stored form,
// "\" between folders) picks the entry of that name and, as a folder, every
// entry below it; a name ending in "\" picks only the folder's entries. Of
// several entries of one name only the last is picked, since it is the one
// an unpack leaves. Names that pick nothing are added to unmatched; an empty
// list of names picks every entry.
std::vector<std::size_t> selectEntries(const std::vector<RdbEntry>& entries,
                                       const std::vector<std::u16string>& names,
                                       std::vector<std::u16string>& unmatched);

// Something on disk where a picked entry would go.
struct Obstacle {
    std::filesystem::path path;
    // A file (or a link) where the entry's file goes: overwriting replaces it
    // (a link itself, never what it points to). Otherwise something that is
    // not a folder stands where a folder must be, or a folder where the file
    // must be, and nothing can be written there.
    bool replaceable = false;
};

// Everything in the way of writing the picked entries below folder.
std::vector<Obstacle> findObstacles(const ArchiveReader& reader,
                                    const std::vector<std::size_t>& picked,
                                    const std::filesystem::path& folder);

struct SelectionOptions {
    bool overwrite = false;  // replace files that are in the way
    ProgressCallback progress;
    // Asked between entries and between pieces of a large one; true stops
    // the run, leaving only the files completed before.
    std::function<bool()> cancelled;
};

// What a run wrote, filled in as each file lands, so that it is true also
// after a failure or a cancel.
struct SelectionOutcome {
    std::vector<std::size_t> written;  // entries, in the order they landed
    std::int64_t bytes = 0;
    bool cancelled = false;
};

// Writes the picked entries below folder, which must exist, at their paths
// inside the archive. Before anything is written every obstacle is looked
// for: one that overwriting cannot remove, or any when not overwriting, fails
// the run with nothing written. Folders are made as needed and never entered
// through a link. Each file is written under a temporary name and renamed
// into place once complete, so that it is there whole or not at all, also
// when the run fails, is cancelled or is interrupted. Throws ArchiveError.
void extractSelection(const ArchiveReader& reader, const std::vector<std::size_t>& picked,
                      const std::filesystem::path& folder, const SelectionOptions& options,
                      SelectionOutcome& outcome);

// Where entry index lies below the folder it is extracted into. Throws
// ArchiveError for a name that could leave it.
std::filesystem::path relativeHostPath(const ArchiveReader& reader, std::size_t index);

}  // namespace tessapak::archive
