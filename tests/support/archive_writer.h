#pragma once

// Archives written byte by byte from the layout, independent of the engine,
// with every header and directory word open to tampering.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessapak::testing {

struct RawEntry {
    RawEntry(std::u16string n, std::string d) : name(std::move(n)), data(std::move(d)) {}
    RawEntry(std::u16string n, std::string d, std::int32_t offset, std::int32_t size)
        : name(std::move(n)), data(std::move(d)), dataOffset(offset), dataSize(size) {}

    std::u16string name;  // "\" between folders, as stored
    std::string data;
    std::optional<std::int32_t> dataOffset;  // default: right after the previous entry's data
    std::optional<std::int32_t> dataSize;    // default: the length of data
};

struct RawArchive {
    std::string magic = "531E98204F8542F0";
    std::vector<RawEntry> entries;
    std::optional<std::int32_t> entryCount;  // default: the number of entries
    std::optional<std::int32_t> dirOffset;   // default: right after the header and gap
    std::optional<std::int32_t> dirSize;     // default: the real directory size
    std::uint32_t reserved = 0;              // every reserved word, header and entries
    std::string gap;                         // bytes between header and directory

    std::string bytes() const;
};

// a.txt ("abc") and img\b.png ("hi"): the 105-byte worked example.
RawArchive exampleArchive();

}  // namespace tessapak::testing
