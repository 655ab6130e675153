#pragma once

#include <cstdint>
#include <functional>

namespace tessapak::archive {

// Called once before each file or entry is copied: number counts from 1,
// total is the number of files or entries of the run. A window sets its label
// and pumps events here; the engine does nothing else between calls.
using ProgressCallback = std::function<void(std::int64_t number, std::int64_t total)>;

}  // namespace tessapak::archive
