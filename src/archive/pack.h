#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "archive/folder_walk.h"
#include "archive/progress.h"

namespace tessapak::archive {

// The output path rule: ".rdb" is appended unless the text already ends in
// ".rdb" in any letter case.
std::filesystem::path archivePathFor(const std::filesystem::path& output);

// Every run writes its own temporary file beside output and renames it to
// output when it is complete: a hidden file named prefix, a random part,
// suffix. Ones left by a run that was killed are removed by a later run,
// never one that a live run is writing.
std::pair<std::filesystem::path::string_type, std::filesystem::path::string_type>
temporaryNamePattern(const std::filesystem::path& output);

// A path of that pattern with a fresh random part, as a run might use.
std::filesystem::path temporaryPathFor(const std::filesystem::path& output);

// What a walk must leave out when output may lie inside the packed folder:
// output itself (the walk also leaves out the temporary files of every
// excluded path).
std::vector<std::filesystem::path> excludedPathsFor(const std::filesystem::path& output);

// Writes the archive for a walked list: header, directory and data, front to
// back, into a temporary file beside output that replaces output only when it
// is complete and flushed; a replaced archive's permission bits (0777 only)
// carry over. On failure the temporary file is removed and a file that was
// at output is left exactly as it was. Throws ArchiveError.
void writeArchive(const std::filesystem::path& root, const PackList& list,
                  const std::filesystem::path& output, const ProgressCallback& progress = {});

// Walk and write in one call (for the command-line tool): lists root, leaving
// out output and its temporary file, and writes the archive to output as
// given (apply archivePathFor first for the ".rdb" rule). A root that is not a
// folder fails with FileSystem / CannotOpen. Returns the count of files packed.
std::int64_t packFolder(const std::filesystem::path& root, const std::filesystem::path& output,
                        const ProgressCallback& progress = {});

// For programs: makes SIGINT, SIGTERM and SIGHUP (Ctrl-C and closing the
// console on Windows) remove the temporary file of a run in progress, then
// end the process as the signal would have (exit status 128 + signal).
void removeTemporaryFilesOnInterrupt();

}  // namespace tessapak::archive
