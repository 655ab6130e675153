#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <vector>

#include "archive/pack_list.h"

namespace tessapak::archive {

// Throws, as ListFiles would, for a folder path that is missing or names
// something else, so that a caller can say so before other checks.
void requireFolderToWalk(const std::filesystem::path& folder);

// Appends every regular file below folder to list: the files of a folder first,
// then each subfolder walked completely. Within a folder, entries are ordered by
// their UTF-16 names with ASCII letters upper-cased, code unit by code unit.
// Hidden files are listed; sockets, FIFOs and devices are skipped; links to
// folders are followed, but a link back to a folder on the current path is
// not, and a folder reached a second time through links ends the walk
// naming both paths (packing it twice could multiply the tree without end).
// Files in excluded, and the temporary files that writeArchive writes for
// each of them, are left out (recognised by identity or by their name
// pattern), so that an output archive inside folder is never packed into
// itself. A name the format cannot hold throws ArchiveError
// (NameNotRepresentable); a list that would pass the 2 GiB limit throws
// (ArchiveTooLarge) as soon as it does. A folder, the root included, that
// does not exist, is not a folder, or cannot be opened or listed throws
// ArchiveError (FileSystem / CannotOpen; for a root that is missing or not a
// folder, code() is std::errc::no_such_file_or_directory or
// std::errc::not_a_directory), so that no archive passes for complete without
// its files. Holds a bounded number of descriptors and memory in proportion
// to the tree, whatever its depth. listed, when given, is called on the
// walking thread each time files were appended, with the index of the first
// new one, so that a reader can start on them before the walk ends.
using ListedCallback = std::function<void(const PackList& list, std::size_t first)>;
void ListFiles(const std::filesystem::path& folder, PackList& list,
               const std::vector<std::filesystem::path>& excluded = {},
               const ListedCallback& listed = {});

}  // namespace tessapak::archive
