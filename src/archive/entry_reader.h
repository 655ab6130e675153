#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "archive/unpack.h"

namespace tessapak::archive {

// Reads the bytes of single entries of an archive whose directory a reader
// has read and checked. It opens the archive file again on its own handle, so
// that every thread can have one; the reader must outlive it. Every read is
// bounded by the entry's stored size and checked against what the file really
// holds: a file that became shorter is reported as damaged, never read as
// zeros.
class EntryReader {
  public:
    explicit EntryReader(const ArchiveReader& reader);
    ~EntryReader();
    EntryReader(const EntryReader&) = delete;
    EntryReader& operator=(const EntryReader&) = delete;

    // Copies up to size bytes of the entry at index, starting from byte from
    // of its data, into buffer; returns how many were copied (0 at the end of
    // the entry). For entries too large to hold at once.
    std::size_t readPart(std::size_t index, std::int64_t from, void* buffer,
                         std::size_t size) const;

    // The whole entry. One larger than limit bytes is refused as
    // LimitExceeded before anything is allocated.
    std::string readAll(std::size_t index, std::int64_t limit) const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace tessapak::archive
