#include "archive/format/rdb_format.h"

#include <algorithm>

namespace tessapak::archive {

namespace {

std::uint32_t readLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void writeLe32(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
    p[2] = static_cast<std::uint8_t>(value >> 16);
    p[3] = static_cast<std::uint8_t>(value >> 24);
}

void appendLe32(std::string& out, std::uint32_t value) {
    std::uint8_t bytes[4];
    writeLe32(bytes, value);
    out.append(reinterpret_cast<const char*>(bytes), 4);
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

RdbHeader makeHeader(std::int32_t entryCount, std::int32_t dirSize) {
    RdbHeader header;
    std::copy(RdbMagic.begin(), RdbMagic.end(), header.Magic.begin());
    header.EntryCount = entryCount;
    header.DirOffset = static_cast<std::int32_t>(kHeaderSize);
    header.DirSize = dirSize;
    return header;
}

std::array<std::uint8_t, kHeaderSize> encodeHeader(const RdbHeader& header) {
    std::array<std::uint8_t, kHeaderSize> bytes{};
    for (std::size_t i = 0; i < kMagicSize; ++i) {
        bytes[kMagicOffset + i] = static_cast<std::uint8_t>(header.Magic[i]);
    }
    writeLe32(&bytes[kEntryCountOffset], static_cast<std::uint32_t>(header.EntryCount));
    writeLe32(&bytes[kDirOffsetOffset], static_cast<std::uint32_t>(header.DirOffset));
    writeLe32(&bytes[kHeaderReserved1Offset], header.Reserved1);
    writeLe32(&bytes[kDirSizeOffset], static_cast<std::uint32_t>(header.DirSize));
    writeLe32(&bytes[kHeaderReserved2Offset], header.Reserved2);
    return bytes;
}

RdbHeader decodeHeader(std::span<const std::uint8_t, kHeaderSize> bytes) {
    RdbHeader header;
    for (std::size_t i = 0; i < kMagicSize; ++i) {
        header.Magic[i] = static_cast<char>(bytes[kMagicOffset + i]);
    }
    header.EntryCount = static_cast<std::int32_t>(readLe32(&bytes[kEntryCountOffset]));
    header.DirOffset = static_cast<std::int32_t>(readLe32(&bytes[kDirOffsetOffset]));
    header.Reserved1 = readLe32(&bytes[kHeaderReserved1Offset]);
    header.DirSize = static_cast<std::int32_t>(readLe32(&bytes[kDirSizeOffset]));
    header.Reserved2 = readLe32(&bytes[kHeaderReserved2Offset]);
    return header;
}

bool magicMatches(std::span<const std::uint8_t> first16) {
    if (first16.size() < kMagicSize) {
        return false;
    }
    for (std::size_t i = 0; i < kMagicSize; ++i) {
        if (asciiLower(static_cast<char>(first16[i])) != asciiLower(RdbMagic[i])) {
            return false;
        }
    }
    return true;
}

std::int64_t entrySize(const std::u16string& name) {
    return 2 * static_cast<std::int64_t>(name.size()) + static_cast<std::int64_t>(kEntryFixedSize);
}

void appendEntry(std::string& out, const RdbEntry& entry) {
    out.reserve(out.size() + static_cast<std::size_t>(entrySize(entry.Name)));
    for (char16_t unit : entry.Name) {
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>(unit >> 8));
    }
    out.append(kTerminatorSize, '\0');
    appendLe32(out, static_cast<std::uint32_t>(entry.DataOffset));
    appendLe32(out, entry.Reserved1);
    appendLe32(out, static_cast<std::uint32_t>(entry.DataSize));
    appendLe32(out, entry.Reserved2);
}

EntryDecodeFailure decodeEntry(std::span<const std::uint8_t> bytes, std::size_t& pos,
                               RdbEntry& entry) {
    std::size_t end = pos;
    while (true) {
        if (bytes.size() < kTerminatorSize || end > bytes.size() - kTerminatorSize) {
            return EntryDecodeFailure::NoTerminator;
        }
        if (bytes[end] == 0 && bytes[end + 1] == 0) {
            break;
        }
        end += 2;
    }
    const std::size_t words = end;  // the terminator starts here
    if (bytes.size() - words < kEntryFixedSize) {
        return EntryDecodeFailure::CutShort;
    }
    entry.Name.resize((end - pos) / 2);
    for (std::size_t i = 0; i < entry.Name.size(); ++i) {
        entry.Name[i] = static_cast<char16_t>(bytes[pos + 2 * i] | bytes[pos + 2 * i + 1] << 8);
    }
    const std::uint8_t* p = bytes.data() + words;
    entry.DataOffset = static_cast<std::int32_t>(readLe32(p + kDataOffsetOffset));
    entry.Reserved1 = readLe32(p + kEntryReserved1Offset);
    entry.DataSize = static_cast<std::int32_t>(readLe32(p + kDataSizeOffset));
    entry.Reserved2 = readLe32(p + kEntryReserved2Offset);
    pos = words + kEntryFixedSize;
    return EntryDecodeFailure::None;
}

}  // namespace tessapak::archive
