#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "archive/folder_walk.h"
#include "archive/progress.h"

namespace tessapak::archive {

// The output path rule: ".rdb" is appended unless the text already ends in
// ".rdb" in any letter case.
std::filesystem::path archivePathFor(const std::filesystem::path& output);

// The temporary file that writeArchive writes before it renames it to output:
// a hidden file beside output. A stale one left by a crash is replaced.
std::filesystem::path temporaryPathFor(const std::filesystem::path& output);

// What a walk must leave out when output may lie inside the packed folder:
// output itself and its temporary file.
std::vector<std::filesystem::path> excludedPathsFor(const std::filesystem::path& output);

// Writes the archive for a walked list: header, directory and data, front to
// back, into a temporary file beside output that replaces output only when it
// is complete and flushed. On failure the temporary file is removed and a file
// that was at output is left exactly as it was. Throws ArchiveError.
void writeArchive(const std::filesystem::path& root, const PackList& list,
                  const std::filesystem::path& output, const ProgressCallback& progress = {});

// Walk and write in one call (for the command-line tool): lists root, leaving
// out output and its temporary file, and writes the archive to output as
// given (apply archivePathFor first for the ".rdb" rule). A root that is not a
// folder fails with FileSystem / CannotOpen. Returns the count of files packed.
std::int64_t packFolder(const std::filesystem::path& root, const std::filesystem::path& output,
                        const ProgressCallback& progress = {});

}  // namespace tessapak::archive
