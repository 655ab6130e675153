#pragma once

// How the files a run writes are named: the archive a pack writes, the
// temporary file beside it, and the folder an unpack creates.

#include <cstdint>
#include <filesystem>
#include <utility>
#include <vector>

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

// Folder name for an archive: its file name cut before the last ".", or the
// whole file name when it has no "." or the cut leaves nothing, "." or "..".
std::filesystem::path baseNameFor(const std::filesystem::path& archive);

// First free name among base, "base (1)", "base (2)" ... inside outputFolder;
// a file of that name makes the name taken as well. Creates nothing.
std::filesystem::path chooseTargetFolder(const std::filesystem::path& outputFolder,
                                         const std::filesystem::path& baseName);

// baseName for the first attempt, then "baseName (1)", "baseName (2)" ...
std::filesystem::path targetFolderName(const std::filesystem::path& baseName, std::int64_t attempt);

}  // namespace tessapak::archive
