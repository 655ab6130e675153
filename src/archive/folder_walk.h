#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tessapak::archive {

// The files to pack, in walk order, with the directory size summed on the way.
// Belongs to its caller (the main window keeps one); the walk only appends.
struct PackList {
    std::vector<std::u16string> FileNames;  // relative stored names
    std::vector<std::int64_t> FileSizes;    // lengths at walk time
    std::int64_t FileCount = 0;
    std::int64_t DirTotal = 0;  // sum of 2n + 18 over the names
    std::int64_t RootLen = 0;   // code units of the packed folder's path with its separator

    void reset() { *this = PackList{}; }
};

// Appends every regular file below folder to list: the files of a folder first,
// then each subfolder walked completely. Within a folder, entries are ordered by
// their UTF-16 names with ASCII letters upper-cased, code unit by code unit.
// Hidden files are listed; sockets, FIFOs and devices are skipped; links to
// folders are followed unless the folder is already on the current path.
// Files in excluded, and the temporary file that writeArchive would write for
// each of them, are left out (recognised by identity, whatever the spelling),
// so that an output archive inside folder is never packed into itself.
// A name the format cannot hold throws ArchiveError (NameNotRepresentable).
// A folder path that names no folder contributes nothing; a folder inside
// it that cannot be opened or listed throws ArchiveError (FileSystem /
// CannotOpen), so that no archive passes for complete without its files.
void ListFiles(const std::filesystem::path& folder, PackList& list,
               const std::vector<std::filesystem::path>& excluded = {});

}  // namespace tessapak::archive
