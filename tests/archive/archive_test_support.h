#pragma once

// Trees and archives built in code inside a temporary folder.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "archive/rdb_format.h"

namespace tessapak::archive::testing {

namespace fs = std::filesystem;

// A fresh folder, removed with everything in it at the end of the test.
class TempDir {
  public:
    TempDir() {
        std::random_device random;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            fs::path candidate =
                fs::temp_directory_path() / ("tessapak-" + std::to_string(random()));
            std::error_code ec;
            if (fs::create_directory(candidate, ec)) {
                path_ = std::move(candidate);
            }
        }
        if (path_.empty()) {
            ADD_FAILURE() << "cannot create a temporary folder";
        }
    }
    ~TempDir() {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const fs::path& path() const { return path_; }
    fs::path operator/(const fs::path& relative) const { return path_ / relative; }

  private:
    fs::path path_;
};

inline void writeFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

inline std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) {
        out.push_back(static_cast<char>(v));
    }
    return out;
}

// Every regular file below root, by relative path with "/", with its bytes.
inline std::map<std::string, std::string> treeContents(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), root).generic_string()] = readFile(entry.path());
        }
    }
    return files;
}

// Names of everything directly in folder.
inline std::vector<std::string> folderNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// One entry of a hand-made archive.
struct RawEntry {
    RawEntry(std::u16string n, std::string d) : name(std::move(n)), data(std::move(d)) {}
    RawEntry(std::u16string n, std::string d, std::int32_t offset, std::int32_t size)
        : name(std::move(n)), data(std::move(d)), dataOffset(offset), dataSize(size) {}

    std::u16string name;
    std::string data;
    std::optional<std::int32_t> dataOffset;  // default: right after the previous entry's data
    std::optional<std::int32_t> dataSize;    // default: the length of data
};

// Builds archive bytes the way the format lays them out, with every header
// word open to tampering.
struct RawArchive {
    std::vector<RawEntry> entries;
    std::optional<std::int32_t> entryCount;  // default: the number of entries
    std::int32_t dirOffset = 36;
    std::optional<std::int32_t> dirSize;  // default: the real directory size
    std::uint32_t reserved = 0;
    std::string gap;  // bytes between header and directory (for dirOffset != 36)

    std::string build() const {
        std::string directory;
        std::string data;
        for (const RawEntry& e : entries) {
            RdbEntry entry;
            entry.Name = e.name;
            entry.DataOffset = e.dataOffset.value_or(static_cast<std::int32_t>(data.size()));
            entry.DataSize = e.dataSize.value_or(static_cast<std::int32_t>(e.data.size()));
            entry.Reserved1 = reserved;
            entry.Reserved2 = reserved;
            appendEntry(directory, entry);
            data += e.data;
        }
        RdbHeader header =
            makeHeader(entryCount.value_or(static_cast<std::int32_t>(entries.size())),
                       dirSize.value_or(static_cast<std::int32_t>(directory.size())));
        header.DirOffset = dirOffset;
        header.Reserved1 = reserved;
        header.Reserved2 = reserved;
        const auto head = encodeHeader(header);
        return std::string(head.begin(), head.end()) + gap + directory + data;
    }
};

}  // namespace tessapak::archive::testing
