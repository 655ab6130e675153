#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tessapak::archive {

// How two versions of a skin differ, entry by entry. Names are compared
// exactly, in their stored form: a name whose letter case changed is one
// entry removed and one added, as an archive holds them.
struct EntryDifference {
    std::vector<std::u16string> added;    // only in after, in its order
    std::vector<std::u16string> removed;  // only in before, in its order
    std::vector<std::u16string> changed;  // in both, other size or bytes, in after's order
    std::int64_t unchanged = 0;

    bool same() const { return added.empty() && removed.empty() && changed.empty(); }
};

// Compares before with after, each an archive or a folder (walked as a pack
// walks it; of several entries of one name in an archive, the last counts, as
// an unpack leaves it). Entries of equal size are compared byte for byte.
// Throws ArchiveError naming the archive, folder or file that cannot be read.
EntryDifference compareEntries(const std::filesystem::path& before,
                               const std::filesystem::path& after);

}  // namespace tessapak::archive
