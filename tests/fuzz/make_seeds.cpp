// Writes the reader fuzzer's first archives into the folder given as the only
// argument: the worked example, an empty archive and a few shapes worth
// mutating from. Written by the tests' own archive writer, without the engine.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/archive_writer.h"

namespace {

using tessapak::testing::RawArchive;
using tessapak::testing::RawEntry;

std::string archive(std::vector<RawEntry> entries) {
    RawArchive raw;
    raw.entries = std::move(entries);
    return raw.bytes();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    std::vector<std::pair<const char*, std::string>> seeds = {
        {"example.rdb", tessapak::testing::exampleArchive().bytes()},
        {"empty.rdb", archive({})},
        {"nested.rdb",
         archive({{u"a\\b\\c\\d.bmp", "deep"}, {u"a\\b\\e.ini", "[x]"}, {u"a\\f", ""}})},
        {"duplicates.rdb", archive({{u"same.png", "longer first"}, {u"same.png", "short"}})},
        {"chinese.rdb", archive({{u"皮肤\\按钮.png", "\x89PNG"}, {u"主窗口.xml", "<x/>"}})},
        // Ranges that share bytes, which a reader must refuse.
        {"shared-range.rdb",
         archive({{u"one", "shared bytes"}, {u"two", "", 0, 12}, {u"three", "", 0, 12}})},
        {"overlapping-ranges.rdb",
         archive({{u"a", "0123456789"}, {u"b", "", 4, 6}, {u"c", "", 9, 0}, {u"d", "", 3, 1}})},
    };
    RawArchive lowercase;
    lowercase.entries = {{u"a", "1"}};
    lowercase.magic = "531e98204f8542f0";
    seeds.emplace_back("lowercase-magic.rdb", lowercase.bytes());
    RawArchive gap;
    gap.entries = {{u"x\\y", "z"}};
    gap.gap = "gap!";
    seeds.emplace_back("directory-after-a-gap.rdb", gap.bytes());
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
