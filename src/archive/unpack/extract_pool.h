#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "archive/progress.h"

namespace tessapak::archive {

// The entries of one folder. One worker writes all of them, in the order
// given, so that of two entries with one name the later still wins.
struct ExtractGroup {
    std::vector<std::size_t> entries;
    // Relative work (bytes plus a share per file): larger groups are handed
    // out first, so that the workers finish at about the same time.
    std::int64_t cost = 0;
};

// Workers for a host with this many hardware threads: one each, at most four
// (more only queue up on the disk), and at least one.
unsigned extractWorkerCount(unsigned hardwareThreads);

// Calls write(worker, entry) for every entry of every group, on `workers`
// threads (worker counts from 0, for per-thread state). progress(number,
// total) runs on the calling thread once per written entry, number rising
// from 1. The first exception thrown by write or progress stops the other
// workers before their next entry and is rethrown here after all of them
// stopped. With one worker everything runs on the calling thread, in entry
// order.
void runExtractPool(std::vector<ExtractGroup> groups, unsigned workers,
                    const std::function<void(unsigned worker, std::size_t entry)>& write,
                    const ProgressCallback& progress);

}  // namespace tessapak::archive
