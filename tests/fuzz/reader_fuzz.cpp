// Arbitrary bytes as an archive, through everything a reading command does:
// open, readDirectory, checkData and extractTo into a fresh folder. Refusing
// is always allowed; what is accepted must hold up against a reading of the
// bytes made here without the engine, and nothing may land outside the
// target folder.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "archive/archive_error.h"
#include "archive/format/names.h"
#include "archive/unpack.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;
using tessapak::archive::ArchiveError;
using tessapak::archive::ArchiveReader;
using tessapak::archive::RdbEntry;

namespace {

// One folder per process, so that parallel fuzzers never share files; it
// goes at exit.
std::optional<tessapak::testing::TempFolder> temp;
fs::path workFolder;

void require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "reader_fuzz: %s\n", what);
        std::abort();
    }
}

std::int64_t word(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int k = 3; k >= 0; --k) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(k)]);
    }
    return static_cast<std::int32_t>(value);
}

// The safety rules stated independently of names.cpp.
bool plainlySafe(const std::u16string& name) {
    if (name.empty() || name.front() == u'\\') {
        return false;
    }
    if (name.size() >= 2 && name[1] == u':') {
        return false;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t end = std::min(name.find(u'\\', start), name.size());
        const std::u16string_view part = std::u16string_view(name).substr(start, end - start);
        if (part.empty() || part == u"." || part == u"..") {
            return false;
        }
        for (const char16_t unit : part) {
            if (unit < 0x20 || unit == u'/' || unit == u':' || unit == 0x7F) {
                return false;
            }
        }
        if (end == name.size()) {
            return true;
        }
        start = end + 1;
    }
}

// Everything below root: regular files with their bytes, and folders. Any
// other kind of entry (a link above all) fails the run.
void collectTree(const fs::path& root, std::map<std::string, std::string>& files,
                 std::set<std::string>& folders) {
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        const std::string relative = fs::relative(item.path(), root).generic_string();
        const auto type = item.symlink_status().type();
        if (type == fs::file_type::directory) {
            folders.insert(relative);
        } else {
            require(type == fs::file_type::regular, "extraction made something not a file");
            std::ifstream in(item.path(), std::ios::binary);
            files[relative] = std::string(std::istreambuf_iterator<char>(in), {});
        }
    }
}

void checkAccepted(std::string_view bytes, ArchiveReader& reader) {
    const auto size = static_cast<std::int64_t>(bytes.size());
    const auto& header = reader.header();
    const auto& entries = reader.entries();
    require(size >= 36, "a file shorter than the header was accepted");
    const std::int64_t count = word(bytes, 16);
    const std::int64_t dirOffset = word(bytes, 20);
    const std::int64_t dirSize = word(bytes, 28);
    require(
        header.EntryCount == count && header.DirOffset == dirOffset && header.DirSize == dirSize,
        "the header differs from the bytes");
    require(dirOffset >= 0 && dirSize >= 0 && dirOffset + dirSize <= size,
            "the directory lies outside the file");
    require(static_cast<std::int64_t>(entries.size()) == count, "not every entry was read");

    // Each entry read again from the bytes: it must lie inside the directory
    // and agree with what the reader took from it.
    const std::int64_t dirEnd = dirOffset + dirSize;
    const std::int64_t dataStart = dirEnd;
    std::int64_t pos = dirOffset;
    std::map<std::string, std::string> expected;
    std::set<std::string> expectedFolders;
    for (const RdbEntry& entry : entries) {
        std::u16string name;
        while (true) {
            require(pos + 2 <= dirEnd, "a name runs past the directory");
            const auto unit =
                static_cast<char16_t>(static_cast<unsigned char>(bytes[pos]) |
                                      static_cast<unsigned char>(bytes[pos + 1]) << 8);
            pos += 2;
            if (unit == 0) {
                break;
            }
            name.push_back(unit);
        }
        require(pos + 16 <= dirEnd, "an entry runs past the directory");
        const std::int64_t offset = word(bytes, static_cast<std::size_t>(pos));
        const std::int64_t length = word(bytes, static_cast<std::size_t>(pos + 8));
        pos += 16;
        require(entry.Name == name && entry.DataOffset == offset && entry.DataSize == length,
                "an entry differs from the bytes");
        require(offset >= 0 && length >= 0 && dataStart + offset + length <= size,
                "an entry's data lies outside the file");
        require(tessapak::archive::unsafeNameReason(name).empty() && plainlySafe(name),
                "an unsafe name was accepted");
        const auto host = tessapak::archive::hostPathFor(name);
        require(host.has_value() && host->is_relative(), "an accepted name has no host path");
        const std::string relative = host->generic_string();
        expected[relative] = std::string(bytes.substr(static_cast<std::size_t>(dataStart + offset),
                                                      static_cast<std::size_t>(length)));
        for (std::size_t slash = relative.find('/'); slash != std::string::npos;
             slash = relative.find('/', slash + 1)) {
            expectedFolders.insert(relative.substr(0, slash));
        }
    }

    reader.checkData();

    const fs::path sandbox = workFolder / "sandbox";
    fs::create_directory(sandbox);
    const fs::path target = reader.extractTo(sandbox);
    // The sandbox holds the target folder and nothing else; the work folder
    // holds the archive and the sandbox.
    std::vector<fs::path> inSandbox(fs::directory_iterator(sandbox), {});
    require(inSandbox.size() == 1 && inSandbox[0] == target &&
                fs::symlink_status(target).type() == fs::file_type::directory,
            "the sandbox holds more than the target folder");
    require(std::distance(fs::directory_iterator(workFolder), {}) == 2,
            "something was written beside the archive");

    std::map<std::string, std::string> files;
    std::set<std::string> folders;
    collectTree(target, files, folders);
    require(files == expected, "the extracted files differ from the entries");
    require(folders == expectedFolders, "the extracted folders differ from the entries");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    workFolder = temp.emplace().path();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const fs::path archive = workFolder / "in.rdb";
    {
        std::ofstream out(archive, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        require(out.good(), "cannot write the input");
    }
    std::optional<ArchiveReader> reader;
    try {
        reader.emplace(archive);
        reader->readDirectory();
    } catch (const ArchiveError&) {
        reader.reset();  // refused: always allowed
    }
    if (reader) {
        try {
            checkAccepted(bytes, *reader);
        } catch (const ArchiveError& error) {
            std::fprintf(stderr, "reader_fuzz: %s\n", error.what());
            require(false, "an accepted archive failed later");
        }
    }
    std::error_code ec;
    fs::remove_all(workFolder / "sandbox", ec);
    fs::remove(archive, ec);
    return 0;
}
