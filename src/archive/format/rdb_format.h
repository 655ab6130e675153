#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tessapak::archive {

// The archive starts with these 16 ASCII characters, one byte each.
inline constexpr std::string_view RdbMagic = "531E98204F8542F0";

inline constexpr std::size_t kHeaderSize = 36;
inline constexpr std::size_t kEntryFixedSize = 18;  // terminator + four 32-bit words
inline constexpr std::int32_t kFormatLimit = 2147483647;
// The limit as messages write it, and the sentence that explains it.
inline constexpr std::string_view kFormatLimitText = "2,147,483,647";
inline constexpr std::string_view kFormatLimitNote =
    "the RDB format is limited to 2 GiB (2,147,483,647 bytes)";

// Field offsets within the header.
inline constexpr std::size_t kMagicOffset = 0;
inline constexpr std::size_t kMagicSize = 16;
inline constexpr std::size_t kEntryCountOffset = 16;
inline constexpr std::size_t kDirOffsetOffset = 20;
inline constexpr std::size_t kHeaderReserved1Offset = 24;
inline constexpr std::size_t kDirSizeOffset = 28;
inline constexpr std::size_t kHeaderReserved2Offset = 32;

// Field offsets within an entry, counted from the name's terminator.
inline constexpr std::size_t kTerminatorSize = 2;
inline constexpr std::size_t kDataOffsetOffset = 2;
inline constexpr std::size_t kEntryReserved1Offset = 6;
inline constexpr std::size_t kDataSizeOffset = 10;
inline constexpr std::size_t kEntryReserved2Offset = 14;

struct RdbHeader {
    std::array<char, 16> Magic{};
    std::int32_t EntryCount = 0;
    std::int32_t DirOffset = static_cast<std::int32_t>(kHeaderSize);
    std::uint32_t Reserved1 = 0;
    std::int32_t DirSize = 0;
    std::uint32_t Reserved2 = 0;
};

struct RdbEntry {
    std::u16string Name;  // UTF-16 code units as stored, "\" between folders
    std::int32_t DataOffset = 0;
    std::uint32_t Reserved1 = 0;
    std::int32_t DataSize = 0;
    std::uint32_t Reserved2 = 0;
};

// A header with the magic and the given counts, reserved words 0.
RdbHeader makeHeader(std::int32_t entryCount, std::int32_t dirSize);

// Little-endian encoding of the 36-byte header.
std::array<std::uint8_t, kHeaderSize> encodeHeader(const RdbHeader& header);
// Decoding ignores the reserved words' meaning but keeps their values.
RdbHeader decodeHeader(std::span<const std::uint8_t, kHeaderSize> bytes);

// True when the 16 bytes equal the magic, letter case ignored.
bool magicMatches(std::span<const std::uint8_t> first16);

// Size of an entry in the directory: 2n + 18 for a name of n code units.
std::int64_t entrySize(const std::u16string& name);

// Appends the encoded entry (name, terminator, four words) to out.
void appendEntry(std::string& out, const RdbEntry& entry);

// Why decodeEntry could not read an entry.
enum class EntryDecodeFailure {
    None,
    NoTerminator,  // the name runs to the end of the bytes
    CutShort,      // the four words after the terminator do not fit
};

// Decodes the entry starting at pos within bytes into entry and advances pos
// past it. Never reads outside bytes.
EntryDecodeFailure decodeEntry(std::span<const std::uint8_t> bytes, std::size_t& pos,
                               RdbEntry& entry);

}  // namespace tessapak::archive
