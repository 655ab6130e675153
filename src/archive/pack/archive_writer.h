#pragma once

// Writing an archive whose entries come from files or, unchanged, out of an
// earlier archive: the one writer behind pack and update.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

#include "archive/host/host_fs.h"
#include "archive/pack/read_pipeline.h"
#include "archive/pack_list.h"
#include "archive/progress.h"

namespace tessapak::archive {

struct EntrySources {
    // Entries read on the reader thread, called with their place in the list.
    PipelineSource files;
    // Entries copied in the kernel out of an earlier archive: the offset of
    // each one's bytes in from, or -1 for one read through files. Empty when
    // every entry is read through files.
    std::vector<std::int64_t> copiedAt;
    // Closed once copied from, before the new archive takes its place:
    // Windows refuses to replace a file that is open.
    host::File from;
    std::filesystem::path fromPath;  // for messages
};

// The path a message about entry index names.
using EntryPlace = std::function<std::filesystem::path(std::size_t index)>;

// Checks the list (names by Windows' rules, clashes, the 2 GiB limits), then
// writes header, directory and data into a temporary file beside output that
// replaces output once complete and flushed. Throws ArchiveError; a failure
// removes the temporary file and leaves output as it was.
void writeEntries(const PackList& list, const std::filesystem::path& output, EntrySources sources,
                  const EntryPlace& placeOf, const ProgressCallback& progress);

}  // namespace tessapak::archive
