#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "archive/folder_walk.h"
#include "archive/output_names.h"
#include "archive/pack_list.h"
#include "archive/progress.h"

namespace tessapak::archive {

// Writes the archive for a walked list: header, directory and data, front to
// back, into a temporary file beside output that replaces output only when it
// is complete and flushed; a replaced archive's permission bits (0777 only)
// carry over. On failure the temporary file is removed and a file that was
// at output is left exactly as it was. Throws ArchiveError.
void writeArchive(const std::filesystem::path& root, const PackList& list,
                  const std::filesystem::path& output, const ProgressCallback& progress = {});

// Walk and write in one call: lists root into list (which the caller emptied),
// leaving out output and its temporary file, and writes the archive to output
// as given (apply archivePathFor first for the ".rdb" rule), the files being
// read while the walk goes on. The output's place is checked before the walk;
// a root that is missing or not a folder fails as ListFiles says. The archive
// is the one writeArchive writes for the list.
void packFolder(const std::filesystem::path& root, PackList& list,
                const std::filesystem::path& output, const ProgressCallback& progress = {});
// The same with a list of its own; returns the count of files packed.
std::int64_t packFolder(const std::filesystem::path& root, const std::filesystem::path& output,
                        const ProgressCallback& progress = {});

// For programs: makes SIGINT, SIGTERM and SIGHUP (Ctrl-C and closing the
// console on Windows) remove the temporary file of a run in progress, then
// end the process as the signal would have (exit status 128 + signal).
void removeTemporaryFilesOnInterrupt();

// Text that such an interruption writes to standard error as it ends the
// process, for a run whose end leaves something the user must be told of;
// empty for none. Only the first few kilobytes are kept.
void setInterruptNote(std::string_view text);

}  // namespace tessapak::archive
