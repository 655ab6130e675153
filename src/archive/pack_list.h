#pragma once

#include <cstdint>
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

    void reset() { *this = PackList{}; }
};

}  // namespace tessapak::archive
