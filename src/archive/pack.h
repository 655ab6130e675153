#pragma once

#include <filesystem>
#include <string>

#include "archive/folder_walk.h"
#include "archive/progress.h"

namespace tessapak::archive {

// The output path rule: ".rdb" is appended unless the text already ends in
// ".rdb" in any letter case.
std::filesystem::path archivePathFor(const std::filesystem::path& output);

// Writes the archive for a walked list: header, directory and data, front to
// back, into a temporary file beside output that replaces output only when it
// is complete and flushed. On failure the temporary file is removed and a file
// that was at output is left exactly as it was. Throws ArchiveError.
void writeArchive(const std::filesystem::path& root, const PackList& list,
                  const std::filesystem::path& output, const ProgressCallback& progress = {});

// Walk and write in one call (for the command-line tool): lists root, leaving
// out output and its temporary file, and writes the archive. Returns the count
// of files packed.
std::int64_t packFolder(const std::filesystem::path& root, const std::filesystem::path& output,
                        const ProgressCallback& progress = {});

}  // namespace tessapak::archive
