#include "support/archive_writer.h"

namespace tessapak::testing {

namespace {

void putWord(std::string& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
    }
}

void putSigned(std::string& out, std::int32_t value) {
    putWord(out, static_cast<std::uint32_t>(value));
}

}  // namespace

std::string RawArchive::bytes() const {
    std::string directory;
    std::string data;
    for (const RawEntry& entry : entries) {
        for (const char16_t unit : entry.name) {
            directory.push_back(static_cast<char>(unit & 0xFF));
            directory.push_back(static_cast<char>(unit >> 8));
        }
        directory.append(2, '\0');
        putSigned(directory, entry.dataOffset.value_or(static_cast<std::int32_t>(data.size())));
        putWord(directory, reserved);
        putSigned(directory, entry.dataSize.value_or(static_cast<std::int32_t>(entry.data.size())));
        putWord(directory, reserved);
        data += entry.data;
    }
    std::string out = magic;
    putSigned(out, entryCount.value_or(static_cast<std::int32_t>(entries.size())));
    putSigned(out, dirOffset.value_or(static_cast<std::int32_t>(36 + gap.size())));
    putWord(out, reserved);
    putSigned(out, dirSize.value_or(static_cast<std::int32_t>(directory.size())));
    putWord(out, reserved);
    return out + gap + directory + data;
}

RawArchive exampleArchive() {
    RawArchive archive;
    archive.entries = {{u"a.txt", "abc"}, {u"img\\b.png", "hi"}};
    return archive;
}

}  // namespace tessapak::testing
