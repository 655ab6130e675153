// Writes the reader fuzzer's first archives into the folder given as the only
// argument: the worked example, an empty archive and a few shapes worth
// mutating from. Built byte by byte from the layout, without the engine.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Entry {
    std::u16string name;
    std::string data;
    // Where the entry points, when not at its own data (negative: there).
    std::int64_t offset = -1;
    std::int64_t size = -1;
};

void putWord(std::string& out, std::uint32_t value) {
    for (int k = 0; k < 4; ++k) {
        out.push_back(static_cast<char>((value >> (8 * k)) & 0xFF));
    }
}

// magic, then count, directory offset, 0, directory size, 0; gap bytes go
// between header and directory.
std::string archive(const std::vector<Entry>& entries,
                    const std::string& magic = "531E98204F8542F0", const std::string& gap = "") {
    std::string directory;
    std::string data;
    for (const Entry& e : entries) {
        for (const char16_t unit : e.name) {
            directory.push_back(static_cast<char>(unit & 0xFF));
            directory.push_back(static_cast<char>(unit >> 8));
        }
        directory.append(2, '\0');
        putWord(directory, static_cast<std::uint32_t>(
                               e.offset < 0 ? static_cast<std::int64_t>(data.size()) : e.offset));
        putWord(directory, 0);
        putWord(directory, static_cast<std::uint32_t>(
                               e.size < 0 ? static_cast<std::int64_t>(e.data.size()) : e.size));
        putWord(directory, 0);
        data += e.data;
    }
    std::string out = magic;
    putWord(out, static_cast<std::uint32_t>(entries.size()));
    putWord(out, static_cast<std::uint32_t>(36 + gap.size()));
    putWord(out, 0);
    putWord(out, static_cast<std::uint32_t>(directory.size()));
    putWord(out, 0);
    return out + gap + directory + data;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    const std::vector<std::pair<const char*, std::string>> seeds = {
        {"example.rdb", archive({{u"a.txt", "abc"}, {u"img\\b.png", "hi"}})},
        {"empty.rdb", archive({})},
        {"nested.rdb",
         archive({{u"a\\b\\c\\d.bmp", "deep"}, {u"a\\b\\e.ini", "[x]"}, {u"a\\f", ""}})},
        {"duplicates.rdb", archive({{u"same.png", "longer first"}, {u"same.png", "short"}})},
        {"chinese.rdb", archive({{u"皮肤\\按钮.png", "\x89PNG"}, {u"主窗口.xml", "<x/>"}})},
        {"lowercase-magic.rdb", archive({{u"a", "1"}}, "531e98204f8542f0")},
        {"directory-after-a-gap.rdb", archive({{u"x\\y", "z"}}, "531E98204F8542F0", "gap!")},
        // Ranges that share bytes, which a reader must refuse.
        {"shared-range.rdb",
         archive({{u"one", "shared bytes"}, {u"two", "", 0, 12}, {u"three", "", 0, 12}})},
        {"overlapping-ranges.rdb",
         archive({{u"a", "0123456789"}, {u"b", "", 4, 6}, {u"c", "", 9, 0}, {u"d", "", 3, 1}})},
    };
    for (const auto& [name, bytes] : seeds) {
        std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::fprintf(stderr, "make_seeds: cannot write %s\n", name);
            return 1;
        }
    }
    return 0;
}
