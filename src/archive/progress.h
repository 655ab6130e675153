#pragma once

#include <cstdint>
#include <functional>

namespace tessapak::archive {

// Called once per file or entry, on the thread that started the run, with
// number rising from 1 to total (the files or entries of the run). Pack calls
// it before a file's bytes are written; unpack, whose entries are written on
// worker threads, as entries are done. A window sets its label and pumps
// events here.
using ProgressCallback = std::function<void(std::int64_t number, std::int64_t total)>;

}  // namespace tessapak::archive
